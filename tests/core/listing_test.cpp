#include "core/planning/listing.h"
#include "tests/support/pumps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

QByteArray syncsafe(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (7 * (3 - i))) & 0x7F);
    return bytes;
}

// A version 3 tag holding the given frames (ID, text), then stand-in audio.
QByteArray taggedFile(const std::vector<std::pair<const char*, QByteArray>>& frames)
{
    QByteArray body;
    for (const auto& [id, text] : frames) {
        const QByteArray data = QByteArray(1, '\0') + text;
        const quint32 size = quint32(data.size());
        body += QByteArray(id, 4) + char(size >> 24) + char(size >> 16) + char(size >> 8)
            + char(size) + QByteArray(2, '\0') + data;
    }
    return QByteArray("ID3\3\0\0", 6) + syncsafe(quint32(body.size())) + body
        + QByteArray(500, '\x55');
}

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(ReadSourceRow, KeyFromTheTagElseFromTheFileName)
{
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray bytes;
        const char* key;
        const char* title;
    } cases[] = {
        { "tagged.mp3", taggedFile({ { "TPE1", "Abba & Friends" }, { "TIT2", "Waterloo" } }),
            "ABBA", "Waterloo" },
        { "001-Abba - Waterloo.mp3", QByteArray(400, '\x55'), "ABBA", "" },
        { "Waterloo.mp3", QByteArray(400, '\x55'), "WATERLOO.MP3", "" },
        { "Queen - title only.mp3", taggedFile({ { "TIT2", "Bohemian" } }), "QUEEN", "Bohemian" },
        // A tag whose frame claims more bytes than the file has still gives a row.
        { "Blur - broken.mp3", QByteArray("ID3\3\0\0\0\0\x7f\x7fTPE1\x7f\xff\xff\xff\0\0", 20),
            "BLUR", "" },
        { "Empty.mp3", QByteArray(), "EMPTY.MP3", "" },
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        write(path, c.bytes);
        const TSourceRow row = ReadSourceRow(path);
        EXPECT_EQ(row.path, path);
        EXPECT_EQ(row.key, QString::fromUtf8(c.key)) << c.name;
        EXPECT_EQ(row.title, QString::fromUtf8(c.title)) << c.name;
    }
}

// Doubles set aside inside the library are no artist's folder to file into.
TEST(Listing, TheDoublesFolderAndWhatIsInItAreNoDestinationFolders)
{
    QTemporaryDir dir;
    for (const char* name : { "music/ABBA/y.txt", "music/Plumtide doubles/ABBA/z.txt",
             "music/Plumtide doubles2/x.txt" })
        write(dir.filePath(QString::fromLatin1(name)), QByteArray(10, 'x'));
    CollectingDetails details;
    NullPump pump;
    std::vector<QString> names;
    for (const TFolderRow& row : ListDestinationFolders(dir.filePath(QStringLiteral("music")), pump,
             details, {}, dir.filePath(QStringLiteral("music/Plumtide doubles/"))))
        names.push_back(row.relativeName);
    EXPECT_EQ(names,
        (std::vector<QString> { QStringLiteral("ABBA"), QStringLiteral("Plumtide doubles2") }));
}

TEST(Listing, RowsWithProgressLinesAndAbortKeepsWhatWasListed)
{
    QTemporaryDir dir;
    for (const char* name :
        { "in/a.mp3", "in/b.mp3", "in/sub/c.mp3", "music/Pop/Madonna/x.txt", "music/ABBA/y.txt" })
        write(dir.filePath(QString::fromLatin1(name)), QByteArray(10, 'x'));

    CollectingDetails details;
    NullPump pump;
    std::vector<QString> seen;
    const auto folders = ListDestinationFolders(dir.filePath(QStringLiteral("music")), pump,
        details, [&](const TFolderRow& row) { seen.push_back(row.relativeName); });
    EXPECT_EQ(seen,
        (std::vector<QString> {
            QStringLiteral("ABBA"), QStringLiteral("Pop"), QStringLiteral("Pop/Madonna") }));
    EXPECT_EQ(folders.size(), 3u);
    EXPECT_EQ(details.lines(), QStringList { QStringLiteral("Folders: 2/4") });

    const auto files = ListSourceFiles(dir.filePath(QStringLiteral("in")), pump, details);
    EXPECT_EQ(files.size(), 3u);
    EXPECT_EQ(details.lines(), QStringList { QStringLiteral("Files: 2/3") });

    // The scan itself pumps once per folder and entry; stop during the rows.
    AbortAfterPump counting(1 << 30);
    ListSourceFiles(dir.filePath(QStringLiteral("in")), counting, details);
    AbortAfterPump stopping(counting.calls() - 1); // the last three calls are the rows
    EXPECT_EQ(ListSourceFiles(dir.filePath(QStringLiteral("in")), stopping, details).size(), 1u);

    EXPECT_TRUE(ListSourceFiles(dir.filePath(QStringLiteral("missing")), pump, details).empty());
    EXPECT_TRUE(
        ListDestinationFolders(dir.filePath(QStringLiteral("missing")), pump, details).empty());
}
