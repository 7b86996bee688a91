#pragma once

// A generated library for the benchmarks that run the programs on disk: source files with
// a small version 3 tag (artist and title) in folders of 1,000, and artist folders named
// like the tags' artists.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace plumtide::bench
{

inline QByteArray syncsafe(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (7 * (3 - i))) & 0x7F);
    return bytes;
}

// A version 3 tag with artist and title, then stand-in audio.
inline QByteArray song(const QByteArray& artist, const QByteArray& title)
{
    QByteArray body;
    for (const auto& [id, text] : { std::pair { "TPE1", artist }, std::pair { "TIT2", title } }) {
        const QByteArray data = QByteArray(1, '\0') + text;
        const quint32 size = quint32(data.size());
        body += QByteArray(id, 4) + char(size >> 24) + char(size >> 16) + char(size >> 8)
            + char(size) + QByteArray(2, '\0') + data;
    }
    return QByteArray("ID3\3\0\0", 6) + syncsafe(quint32(body.size())) + body
        + QByteArray(400, '\x55');
}

// Source files in folders of 1,000, and artist folders named like the tags' artists.
inline QStringList MakeLibrary(
    const QString& source, int files, const QString& destination, int folders)
{
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        const QString folder = source + QStringLiteral("/album %1").arg(i / 1000);
        if (i % 1000 == 0)
            QDir().mkpath(folder);
        const QString path
            = folder + QStringLiteral("/%1 - Track.mp3").arg(i, 6, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
        file.write(song("Artist " + QByteArray::number(i % 997), "Song " + QByteArray::number(i)));
        paths.append(path);
    }
    QDir().mkpath(destination);
    for (int i = 0; i < folders; ++i)
        QDir().mkpath(destination + QStringLiteral("/Artist %1").arg(i));
    return paths;
}

// An artist's name of one to three common words, now and then with a number: many names
// alike, as in a real library.
inline QString RandomArtistName(QRandomGenerator& random)
{
    static const char* const words[] = { "the", "Black", "Madonna", "Pink", "Floyd", "Rolling",
        "Stones", "Daft", "Punk", "Metallica", "Queen", "Sabbath", "Beatles", "Abba", "Orchestra",
        "Boys", "Jay", "Massive", "Attack", "de", "Los", "Velvet", "Underground", "Radiohead",
        "Cure", "Smiths", "Sonic", "Youth", "Kraftwerk", "Blondie", "Prince", "Bowie" };
    const int count = 1 + int(random.bounded(3));
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << QString::fromLatin1(words[random.bounded(int(std::size(words)))]);
    if (random.bounded(4) == 0)
        parts << QString::number(random.bounded(100));
    return parts.join(QLatin1Char(' ')).left(30);
}

#ifdef PLUMTIDE_CLI
// Runs the built plumtide-cli with `arguments`, its output thrown away, and waits for it;
// exits the benchmark when it fails. `usage` (when given) gets what the system counted.
inline void RunCli(const std::vector<QByteArray>& arguments, rusage* usage = nullptr)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> argv { const_cast<char*>(PLUMTIDE_CLI) };
        for (const QByteArray& argument : arguments)
            argv.push_back(const_cast<char*>(argument.constData()));
        argv.push_back(nullptr);
        ::execv(PLUMTIDE_CLI, argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage counted {};
    ::wait4(child, &status, 0, &counted);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "plumtide-cli %s failed\n",
            arguments.empty() ? "" : arguments.front().constData());
        std::exit(1);
    }
    if (usage)
        *usage = counted;
}
#endif

} // namespace plumtide::bench
