// Interoperability with an independent ID3 implementation (mutagen): real mp3 files made with
// lame, tagged by mutagen and read by the engine, and tagged by the engine and read by
// mutagen, with the audio bytes unchanged.
#include "id3/id3engine.h"
#include "tagbytes.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

using namespace plumtide;

namespace
{

const QString kScript = QStringLiteral(PLUMTIDE_SOURCE_DIR "/scripts/id3_mutagen.py");

QJsonObject RunMutagen(const QStringList& arguments)
{
    QByteArray command = "/usr/bin/python3 '" + QFile::encodeName(kScript) + "'";
    for (const QString& argument : arguments)
        command += " '" + QFile::encodeName(argument) + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.constData(), "r"), ::pclose);
    QByteArray output;
    char buffer[4096];
    size_t n = 0;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        output.append(buffer, static_cast<qsizetype>(n));
    return QJsonDocument::fromJson(output).object();
}

// The ID3v1 genre reads as its list entry ("(17) Rock"); mutagen gives the name alone.
QString WithoutGenreNumber(const QString& genre)
{
    return genre.startsWith(QLatin1Char('(')) ? genre.mid(genre.indexOf(QLatin1Char(')')) + 2)
                                              : genre;
}

class Interop : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        s_written = RunMutagen({ QStringLiteral("make"), s_dir->path() });
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString File(const QString& name) { return s_dir->filePath(name); }

    static QTemporaryDir* s_dir;
    static QJsonObject s_written;
};

QTemporaryDir* Interop::s_dir = nullptr;
QJsonObject Interop::s_written;

TEST_F(Interop, EngineReadsWhatMutagenWrote)
{
    ASSERT_EQ(s_written.size(), 5) << "lame and python3-mutagen are needed (scripts/setup.sh)";
    for (const QString& name : s_written.keys()) {
        const QJsonObject expected = s_written.value(name).toObject();
        TID3Engine engine;
        engine.SetFileName(File(name));
        engine.SetActive(true);
        ASSERT_TRUE(engine.Active()) << qPrintable(name);
        EXPECT_EQ(engine.Artist(), expected["artist"].toString()) << qPrintable(name);
        EXPECT_EQ(engine.Title(), expected["title"].toString()) << qPrintable(name);
        EXPECT_EQ(engine.Album(), expected["album"].toString()) << qPrintable(name);
        EXPECT_EQ(engine.Year(), expected["year"].toString()) << qPrintable(name);
        EXPECT_EQ(engine.Track(), expected["track"].toString()) << qPrintable(name);
        EXPECT_EQ(WithoutGenreNumber(engine.Genre()), expected["genre"].toString())
            << qPrintable(name);
    }
}

TEST_F(Interop, MutagenReadsWhatEngineWroteAndAudioIsUnchanged)
{
    ASSERT_EQ(s_written.size(), 5) << "lame and python3-mutagen are needed (scripts/setup.sh)";
    const QString artist = QString::fromUtf8("Motörhead 東京 Ωμέγα");
    const QString title = QString::fromUtf8("Ace of ♠");
    QStringList files;
    for (const QString& name : s_written.keys()) {
        const QString copy = File(QStringLiteral("engine_") + name);
        QFile::remove(copy);
        ASSERT_TRUE(QFile::copy(File(name), copy));
        TID3Engine engine;
        engine.SetFileName(copy);
        engine.SetActive(true);
        engine.SetArtist(artist);
        engine.SetTitle(title);
        engine.SetAlbum(name.startsWith("v4") ? QString(5000, 'L')
                                              : QStringLiteral("Short")); // rewrite / in place
        engine.SetYear(QStringLiteral("2001"));
        engine.SetTrack(QStringLiteral("4/9"));
        engine.SetGenre(QStringLiteral("Metal"));
        engine.Frames().Find("TIT2")->SetCompress(true);
        engine.AddComment(
            QStringLiteral("note"), QString::fromUtf8("größer als 日本"), QStringLiteral("eng"));
        engine.WriteTag();
        files << copy;
    }
    files << File(QStringLiteral("audio.mp3"));
    const QJsonObject read = RunMutagen(QStringList { QStringLiteral("read") } + files);
    const QString audioMd5 = read[files.last()].toObject()["audio_md5"].toString();
    ASSERT_FALSE(audioMd5.isEmpty());
    files.removeLast();
    for (const QString& file : files) {
        const QJsonObject tags = read[file].toObject();
        const QString name = QFileInfo(file).fileName();
        EXPECT_EQ(tags["audio_md5"].toString(), audioMd5) << qPrintable(name);
        EXPECT_EQ(tags["version"].toInt(), name.contains("v3") ? 3 : 4) << qPrintable(name);
        EXPECT_EQ(tags["artist"].toString(), artist) << qPrintable(name);
        EXPECT_EQ(tags["title"].toString(), title) << qPrintable(name);
        EXPECT_EQ(tags["album"].toString().size(), name.contains("v4") ? 5000 : 5)
            << qPrintable(name);
        EXPECT_EQ(tags["year"].toString(), "2001") << qPrintable(name);
        EXPECT_EQ(tags["track"].toString(), "4/9") << qPrintable(name);
        EXPECT_EQ(tags["genre"].toString(), "Metal") << qPrintable(name);
        EXPECT_TRUE(tags["comments"].toArray().contains(
            QJsonArray { "note", QString::fromUtf8("größer als 日本") }))
            << qPrintable(name);
    }
}

} // namespace
