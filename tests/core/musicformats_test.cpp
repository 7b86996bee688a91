// A download folder of mixed formats (files made by ffmpeg, scripts/make_format_samples.sh)
// listed, planned and sorted with every format on, with some, and with mp3 alone.

#include "core/pipeline.h"
#include "core/planning/listing.h"
#include "tests/support/formatsamplestest.h"
#include "tests/support/otherprocess.h"
#include "tests/support/pumps.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <memory>

using namespace plumtide;

namespace
{

class MixedFolder : public test::FormatSamplesTest
{
protected:
    void SetUp() override
    {
        FormatSamplesTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        fresh();
    }

    // in/: "tagged" (artist Abba) in every format, an untagged FLAC, a FLAC that is none
    // (named after its artist, 100 bytes), a text file; music/Abba/ already holding an M4A
    // of the same name.
    void fresh()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char* folder : { "in", "music/Abba", "doubles" })
            QDir().mkpath(path(QString::fromLatin1(folder)));
        for (const QString& extension : AudioExtensions())
            copy(QStringLiteral("tagged.") + extension, QStringLiteral("in/tagged.") + extension);
        copy(QStringLiteral("plain.flac"), QStringLiteral("in/plain.flac"));
        copy(QStringLiteral("plain.m4a"), QStringLiteral("music/Abba/tagged.m4a"));
        write(QStringLiteral("in/Abba - broken.flac"), QByteArray(100, 'x'));
        write(QStringLiteral("in/notes.txt"), "not music");
    }

    QString path(const QString& relative) const { return m_dir->filePath(relative); }
    void copy(const QString& sample, const QString& relative) const
    {
        ASSERT_TRUE(QFile::copy(Sample(sample), path(relative))) << qPrintable(sample);
    }
    void write(const QString& relative, const QByteArray& bytes) const
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QStringList files(const QString& relative) const
    {
        return QDir(path(relative)).entryList(QDir::Files, QDir::Name);
    }

    TSortRequest request(const TFileFormats& formats) const
    {
        TSortRequest request;
        request.source = path(QStringLiteral("in"));
        request.destination = path(QStringLiteral("music"));
        request.formats = formats;
        return request;
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

TFileFormats formats(const char* text)
{
    return *TFileFormats::FromText(QString::fromLatin1(text));
}

} // namespace

// Each format's tags are read through the listing's one open; a file without tags, or whose
// tags cannot be read, is keyed by its name; a file another program holds is left out before
// anything reads it; files of formats that are off are not listed at all.
TEST_F(MixedFolder, ListedByTheReaderOfTheirFormat)
{
    write(QStringLiteral("in/held.opus"), QByteArray(2000, 'x'));
    const QByteArray held = QFile::encodeName(path(QStringLiteral("in/held.opus")));
    test::OtherProcess holder([&] { return ::open(held.constData(), O_RDONLY) >= 0; });
    ASSERT_TRUE(holder.ready());

    const std::map<QString, const char*> keys {
        { QStringLiteral("tagged.mp3"), "ABBA" },
        { QStringLiteral("tagged.flac"), "ABBA" },
        { QStringLiteral("tagged.ogg"), "ABBA" },
        { QStringLiteral("tagged.oga"), "ABBA" },
        { QStringLiteral("tagged.opus"), "ABBA" },
        { QStringLiteral("tagged.m4a"), "ABBA" },
        { QStringLiteral("plain.flac"), "PLAIN.FLAC" },
        { QStringLiteral("Abba - broken.flac"), "ABBA" },
    };
    const struct {
        TFileFormats formats;
        QStringList listed;
        QStringList leftOut;
    } cases[] = {
        { TFileFormats(), { "tagged.mp3" }, {} },
        { formats("flac,M4A"), { "Abba - broken.flac", "plain.flac", "tagged.flac", "tagged.m4a" },
            {} },
        { TFileFormats::All(),
            { "Abba - broken.flac", "plain.flac", "tagged.flac", "tagged.m4a", "tagged.mp3",
                "tagged.oga", "tagged.ogg", "tagged.opus" },
            { "held.opus" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.formats.text().toStdString());
        NullPump pump;
        CollectingDetails details;
        QStringList listed;
        QStringList leftOut;
        ForEachSourceFile(
            path(QStringLiteral("in")), pump, details,
            [&](TSourceRow&& row) {
                const QString name = QFileInfo(row.path).fileName();
                listed << name;
                EXPECT_EQ(row.key, QString::fromLatin1(keys.at(name))) << qPrintable(name);
                EXPECT_EQ(row.title,
                    name.startsWith(QStringLiteral("tagged")) ? QStringLiteral("Waterloo")
                                                              : QString())
                    << qPrintable(name);
            },
            {},
            [&](const TLeftOut& file) {
                EXPECT_EQ(file.reason, TReason::InUse);
                leftOut << QFileInfo(file.file).fileName();
            },
            std::nullopt, c.formats);
        listed.sort();
        EXPECT_EQ(listed, c.listed);
        EXPECT_EQ(leftOut, c.leftOut);
    }
}

// Planned and carried out as mp3 files are: into the artist's folder, a double set aside, a
// small file deleted; a name standing in for an artist ("PLAIN.FLAC") proposes no folder.
// With mp3 alone nothing else is touched.
TEST_F(MixedFolder, SortedAsMp3FilesAreAndOnlyWhenAskedFor)
{
    const struct {
        TFileFormats formats;
        QStringList in;
        QStringList abba;
        QStringList doubles;
    } cases[] = {
        { TFileFormats(),
            { "Abba - broken.flac", "notes.txt", "plain.flac", "tagged.flac", "tagged.m4a",
                "tagged.oga", "tagged.ogg", "tagged.opus" },
            { "tagged.m4a", "tagged.mp3" }, {} },
        { TFileFormats::All(), { "notes.txt", "plain.flac" },
            { "tagged.flac", "tagged.m4a", "tagged.mp3", "tagged.oga", "tagged.ogg",
                "tagged.opus" },
            { "tagged.m4a" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.formats.text().toStdString());
        fresh();
        NullPump pump;
        CollectingDetails details;
        TPlanObserver observer;
        const TPlannedSort plan = PlanSortRun(request(c.formats), pump, details, observer);
        EXPECT_TRUE(plan.newArtists().isEmpty()) << qPrintable(plan.newArtists().join('|'));

        TCarryOut how;
        how.move.doublesFolder = path(QStringLiteral("doubles"));
        how.move.deleteSmallFiles = true;
        how.move.smallFileLimit = 1; // the broken FLAC only
        const TMoveSummary summary
            = CarryOut(how, plan.work(), plan.filePaths(), pump, nullptr, {}, nullptr);
        EXPECT_EQ(summary.end, TRunEnd::Completed);
        EXPECT_EQ(files(QStringLiteral("in")), c.in);
        EXPECT_EQ(files(QStringLiteral("music/Abba")), c.abba);
        EXPECT_EQ(files(QStringLiteral("doubles")), c.doubles);
    }
}
