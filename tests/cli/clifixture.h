#pragma once

// A temporary folder and the built plumtide-cli run on it, for the end-to-end tests.

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include <sys/stat.h>

namespace plumtide::test
{

struct Result {
    int status = -1;
    QString out;
    QString err;
};

inline QByteArray syncsafe(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (7 * (3 - i))) & 0x7F);
    return bytes;
}

inline QByteArray textFrame(const char* id, const QString& text)
{
    const QByteArray data = QByteArray(1, '\3') + text.toUtf8(); // UTF-8 text
    return QByteArray(id, 4) + syncsafe(quint32(data.size())) + QByteArray(2, '\0') + data;
}

// An mp3 file's bytes: a version 4 tag with artist and title (none when both are empty),
// then `audioSize` bytes standing in for the audio.
inline QByteArray mp3(const QString& artist, const QString& title, int audioSize = 2000)
{
    QByteArray frames;
    if (!artist.isEmpty())
        frames += textFrame("TPE1", artist);
    if (!title.isEmpty())
        frames += textFrame("TIT2", title);
    QByteArray bytes;
    if (!frames.isEmpty())
        bytes = QByteArray("ID3\4\0\0", 6) + syncsafe(quint32(frames.size())) + frames;
    QByteArray audio(audioSize, '\x55');
    audio[0] = '\xFF';
    audio[1] = '\xFB';
    return bytes + audio;
}

class Cli : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QTemporaryDir home;
    // Where the program runs; the folder when empty.
    QString workingFolder;

    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }

    void write(const QString& relative, const QByteArray& bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void folder(const QString& relative) const { QDir().mkpath(path(relative)); }

    // What the program runs with: its settings in the folder, its history and Trash beside.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        // The default doubles folder lies below the home folder.
        environment.insert(QStringLiteral("HOME"), home.path());
        // Outside the tree the tests compare: the history and the Trash.
        environment.insert(
            QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        return environment;
    }

    QProcess* start(const QStringList& arguments, const QByteArray& input = {},
        const QProcessEnvironment& more = {})
    {
        auto* process = new QProcess();
        QProcessEnvironment environment = this->environment();
        environment.insert(more);
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(workingFolder.isEmpty() ? dir.path() : workingFolder);
        process->start(QStringLiteral(PLUMTIDE_CLI), arguments);
        process->write(input);
        process->closeWriteChannel();
        return process;
    }

    Result run(const QStringList& arguments, const QByteArray& input = {})
    {
        std::unique_ptr<QProcess> process(start(arguments, input));
        process->waitForFinished(60000);
        return { process->exitCode(), QString::fromUtf8(process->readAllStandardOutput()),
            QString::fromUtf8(process->readAllStandardError()) };
    }

    // The newest run of the history, as `plumtide-cli history` lists it: its nine fields.
    QStringList newestRun()
    {
        return run({ QStringLiteral("history") }).out.section(QLatin1Char('\n'), 0, 0).split('\t');
    }

    // A folder on another file system than the test's (in /dev/shm), so that moves there
    // copy; nothing when there is no such file system.
    std::unique_ptr<QTemporaryDir> farFolder() const
    {
        struct stat here {
        };
        struct stat there {
        };
        if (::stat(QFile::encodeName(dir.path()).constData(), &here) != 0
            || ::stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev)
            return nullptr;
        return std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/cli-test-XXXXXX"));
    }

    // Every file below the folder with a checksum of its contents.
    std::map<QString, QByteArray> tree() const
    {
        std::map<QString, QByteArray> files;
        QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QFile f(file);
            f.open(QIODevice::ReadOnly);
            files[file.mid(dir.path().size() + 1)]
                = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5);
        }
        return files;
    }

    // A small library: three tagged files and one untagged, three artist folders.
    void library()
    {
        write(QStringLiteral("in/a.mp3"), mp3(QStringLiteral("Madonna"), QStringLiteral("Vogue")));
        write(QStringLiteral("in/sub/b.mp3"),
            mp3(QStringLiteral("ABBA feat. Someone"), QStringLiteral("Waterloo")));
        write(QStringLiteral("in/c.MP3"), mp3(QStringLiteral("Metallica"), QStringLiteral("One")));
        write(QStringLiteral("in/001-Queen - Bohemian.mp3"), mp3(QString(), QString()));
        write(QStringLiteral("in/notes.txt"), "not music");
        folder(QStringLiteral("music/Pop/Madonna"));
        folder(QStringLiteral("music/Metalica"));
        folder(QStringLiteral("music/.hidden"));
        folder(QStringLiteral("doubles"));
    }
};

} // namespace plumtide::test
