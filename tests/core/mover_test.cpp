#include "core/moving/durablemove.h"
#include "core/moving/fileutils.h"
#include "core/pipeline.h"
#include "platform/errors.h"
#include "platform/lease.h"
#include "platform/locks.h"
#include "tests/support/otherprocess.h"
#include "tests/support/pumps.h"
#include "tests/support/unprivileged.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <map>
#include <optional>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace plumtide;

namespace
{

// A source folder, three artist folders and a doubles folder, made for one test.
class Library
{
public:
    Library()
    {
        for (const char* folder : { "in", "music/ABBA", "music/Queen", "doubles" })
            QDir().mkpath(path(QString::fromLatin1(folder)));
    }

    QString path(const QString& relative) const
    {
        return m_dir.path() + QLatin1Char('/') + relative;
    }

    QString write(const QString& relative, qint64 size, char fill = 'x') const
    {
        const QString full = path(relative);
        QFile file(full);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, fill));
        return full;
    }

    QByteArray read(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    bool exists(const QString& relative) const { return QFile::exists(path(relative)); }

    QStringList files(const QString& relative) const
    {
        return QDir(path(relative)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    TPlanRow row(const QString& file, const char* folder) const
    {
        return TPlanRow { path(file), 50.0, path(QString::fromLatin1(folder)) };
    }

    TMoveSettings settings() const
    {
        TMoveSettings s;
        s.doublesFolder = path(QStringLiteral("doubles"));
        return s;
    }

private:
    QTemporaryDir m_dir;
};

struct Outcome {
    TMoveOutcome outcome;
    TReason reason;
    bool operator==(const Outcome&) const = default;
};

TWorkSource work(const std::vector<TPlanRow>& rows)
{
    return WorkOf(std::vector<TWorkItem>(rows.begin(), rows.end()));
}

TCarryOut carryOut(const TMoveSettings& settings)
{
    TCarryOut how;
    how.move = settings;
    return how;
}

// The plan's rows carried out; false when the pump stopped them.
bool MovePlannedFiles(const std::vector<TPlanRow>& rows, const TMoveSettings& settings, Pump& pump,
    const MoveReporter& report)
{
    return CarryOut(carryOut(settings), work(rows), {}, pump, nullptr, report).end
        == TRunEnd::Completed;
}

std::vector<Outcome> move(const std::vector<TPlanRow>& rows, const TMoveSettings& settings)
{
    std::vector<Outcome> outcomes;
    NullPump pump;
    MovePlannedFiles(rows, settings, pump, [&](const TMoveEvent& e) {
        outcomes.push_back({ e.outcome, e.reason });
    });
    return outcomes;
}

} // namespace

TEST(MovePlannedFiles, FirstRowWinsAndLaterRowsOfTheFileAreSkipped)
{
    Library lib;
    lib.write(QStringLiteral("in/a.mp3"), 1000, 'a');
    const auto outcomes
        = move({ lib.row(QStringLiteral("in/a.mp3"), "music/ABBA"),
                   lib.row(QStringLiteral("in/a.mp3"), "music/Queen"),
                   lib.row(QStringLiteral("No corresponding artists found"), "music/ABBA") },
            lib.settings());
    EXPECT_EQ(outcomes,
        (std::vector<Outcome> { { TMoveOutcome::Moved, {} },
            { TMoveOutcome::Skipped, TReason::AlreadyMoved },
            { TMoveOutcome::Skipped, TReason::Missing } }));
    EXPECT_EQ(lib.read(QStringLiteral("music/ABBA/a.mp3")), QByteArray(1000, 'a'));
    EXPECT_FALSE(lib.exists(QStringLiteral("in/a.mp3")));
    EXPECT_FALSE(lib.exists(QStringLiteral("music/Queen/a.mp3")));
    // Nothing but the song itself is left in the folder: no temporary file.
    EXPECT_EQ(lib.files(QStringLiteral("music/ABBA")), QStringList { QStringLiteral("a.mp3") });
}

TEST(MovePlannedFiles, SmallFilesBelowTheLimitAreDeletedWhenAsked)
{
    for (const bool deleteSmall : { true, false }) {
        Library lib;
        lib.write(QStringLiteral("in/small.mp3"), 524287);
        lib.write(QStringLiteral("in/large.mp3"), 524288);
        TMoveSettings settings = lib.settings();
        settings.deleteSmallFiles = deleteSmall;
        settings.smallFileLimit = 512;
        const auto outcomes = move({ lib.row(QStringLiteral("in/small.mp3"), "music/ABBA"),
                                       lib.row(QStringLiteral("in/large.mp3"), "music/ABBA") },
            settings);
        EXPECT_EQ(
            outcomes[0].outcome, deleteSmall ? TMoveOutcome::SmallDeleted : TMoveOutcome::Moved);
        EXPECT_EQ(outcomes[1].outcome, TMoveOutcome::Moved);
        EXPECT_EQ(lib.exists(QStringLiteral("music/ABBA/small.mp3")), !deleteSmall);
        EXPECT_FALSE(lib.exists(QStringLiteral("in/small.mp3")));
        EXPECT_TRUE(lib.exists(QStringLiteral("music/ABBA/large.mp3")));
    }
}

// A double is the same song under a name its folder holds: it goes where the settings say.
// A different song of that name is filed under a numbered name whatever they say.
TEST(MovePlannedFiles, DoublesFollowTheSettingsAndTheDoublesFolderNeverLosesAFile)
{
    struct Case {
        bool moveDoubles;
        bool deleteDoubles;
        TMoveOutcome outcome;
        bool sourceStays;
    };
    for (const bool sameSong : { true, false }) {
        for (const Case& c : { Case { true, true, TMoveOutcome::DoubleMoved, false },
                 Case { false, true, TMoveOutcome::DoubleDeleted, false },
                 Case { false, false, TMoveOutcome::DoubleKept, true } }) {
            Library lib;
            const QByteArray stored = sameSong ? QByteArray(30, 'n') : QByteArray(10, 'o');
            lib.write(QStringLiteral("music/ABBA/Intro.mp3"), stored.size(), stored.at(0));
            lib.write(QStringLiteral("doubles/Intro.mp3"), 20, 'd'); // a different earlier double
            lib.write(QStringLiteral("in/Intro.mp3"), 30, 'n');
            TMoveSettings settings = lib.settings();
            settings.doubles = c.moveDoubles ? TDoubles::SetAside
                : c.deleteDoubles            ? TDoubles::Delete
                                             : TDoubles::Keep;
            std::vector<TMoveEvent> events;
            NullPump pump;
            MovePlannedFiles({ lib.row(QStringLiteral("in/Intro.mp3"), "music/ABBA") }, settings,
                pump, [&](const TMoveEvent& e) { events.push_back(e); });
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(lib.read(QStringLiteral("music/ABBA/Intro.mp3")), stored);
            EXPECT_EQ(lib.read(QStringLiteral("doubles/Intro.mp3")), QByteArray(20, 'd'));
            if (!sameSong) {
                EXPECT_EQ(events[0].outcome, TMoveOutcome::Moved);
                EXPECT_EQ(events[0].reason, TReason::NameTaken);
                EXPECT_EQ(
                    lib.read(QStringLiteral("music/ABBA/Intro (2).mp3")), QByteArray(30, 'n'));
                continue;
            }
            EXPECT_EQ(events[0].outcome, c.outcome);
            EXPECT_EQ(lib.exists(QStringLiteral("in/Intro.mp3")), c.sourceStays);
            if (c.moveDoubles) {
                EXPECT_EQ(events[0].target, lib.path(QStringLiteral("doubles/Intro (2).mp3")));
                EXPECT_EQ(lib.read(QStringLiteral("doubles/Intro (2).mp3")), QByteArray(30, 'n'));
            }
        }
    }
}

TEST(MovePlannedFiles, DoubleWithTheSameContentsAsTheStoredOneIsOnlyDeleted)
{
    Library lib;
    lib.write(QStringLiteral("music/ABBA/Intro.mp3"), 30, 'n');
    lib.write(QStringLiteral("doubles/Intro.mp3"), 20, 'd');
    lib.write(QStringLiteral("doubles/Intro (2).mp3"), 30, 'n');
    lib.write(QStringLiteral("in/Intro.mp3"), 30, 'n');
    const auto outcomes
        = move({ lib.row(QStringLiteral("in/Intro.mp3"), "music/ABBA") }, lib.settings());
    EXPECT_EQ(outcomes[0].outcome, TMoveOutcome::DoubleMoved);
    EXPECT_FALSE(lib.exists(QStringLiteral("in/Intro.mp3")));
    EXPECT_EQ(lib.files(QStringLiteral("doubles")),
        (QStringList { QStringLiteral("Intro (2).mp3"), QStringLiteral("Intro.mp3") }));
}

// On a first run the doubles folder is the program folder, which may be the very folder the
// file sits in: the file is then its own double and must stay, however the folder is spelt.
TEST(MovePlannedFiles, DoubleWhoseDoublesFolderIsItsOwnFolderStays)
{
    NullPump pumpless;
    for (const char* spelling : { "in", "in/", "in/." }) {
        Library lib;
        lib.write(QStringLiteral("music/ABBA/Vogue.mp3"), 30, 'n');
        lib.write(QStringLiteral("in/Vogue.mp3"), 30, 'n');
        TMoveSettings settings = lib.settings();
        settings.doublesFolder = lib.path(QString::fromLatin1(spelling));
        EXPECT_EQ(move({ lib.row(QStringLiteral("in/Vogue.mp3"), "music/ABBA"),
                           lib.row(QStringLiteral("in/Vogue.mp3"), "music/Queen") },
                      settings),
            (std::vector<Outcome> { { TMoveOutcome::DoubleKept, {} },
                { TMoveOutcome::Skipped, TReason::AlreadyHandled } }))
            << spelling;
        TMoveSummary byHand = CarryOut(carryOut(settings),
            WorkOf({ TSetAsideByHand { lib.path(QStringLiteral("in/Vogue.mp3")) } }), {}, pumpless,
            nullptr);
        EXPECT_EQ(byHand.doublesKept, 1);
        EXPECT_EQ(lib.read(QStringLiteral("in/Vogue.mp3")), QByteArray(30, 'n')) << spelling;
        EXPECT_EQ(lib.files(QStringLiteral("in")), QStringList { QStringLiteral("Vogue.mp3") });
    }
}

// One folder that refuses writes must not hold up the rest of the library, run after run.
TEST(MovePlannedFiles, UnwritableFolderSkipsItsFilesAndTheOthersMove)
{
    Library lib;
    const QStringList names { QStringLiteral("a.mp3"), QStringLiteral("b.mp3"),
        QStringLiteral("c.mp3") };
    for (const QString& name : names)
        ::chmod(QFile::encodeName(lib.write(QStringLiteral("in/") + name, 100)).constData(), 0666);
    for (const char* folder : { "", "in", "music", "music/Queen", "doubles" })
        ::chmod(QFile::encodeName(lib.path(QString::fromLatin1(folder))).constData(), 0777);
    ::chmod(QFile::encodeName(lib.path(QStringLiteral("music/ABBA"))).constData(), 0555);
    // a.mp3's best folder refuses it: it stays, rather than going to its next-best folder.
    const std::vector<TPlanRow> rows { lib.row(QStringLiteral("in/a.mp3"), "music/ABBA"),
        lib.row(QStringLiteral("in/a.mp3"), "music/Queen"),
        lib.row(QStringLiteral("in/b.mp3"), "music/Queen"),
        lib.row(QStringLiteral("in/c.mp3"), "music/ABBA") };

    const std::optional<QByteArray> outcomes = test::RunUnprivileged([&] {
        QStringList lines;
        NullPump pump;
        TMoveRun run(carryOut(lib.settings()), [&](const TMoveEvent& event) {
            lines.append(
                event.reason == TReason::None ? QStringLiteral("done") : ReasonText(event.reason));
        });
        run.run(work(rows), pump);
        lines.append(run.summary().text());
        return lines.join(QLatin1Char('\n')).toUtf8();
    });
    ASSERT_TRUE(outcomes);
    EXPECT_EQ(QString::fromUtf8(*outcomes),
        QStringLiteral("permission denied\nalready handled by an earlier row\ndone\n"
                       "permission denied\n1 file moved, 2 skipped (2 permission denied)"));
    EXPECT_TRUE(lib.exists(QStringLiteral("music/Queen/b.mp3")));
    EXPECT_TRUE(lib.exists(QStringLiteral("in/a.mp3")));
    EXPECT_TRUE(lib.exists(QStringLiteral("in/c.mp3")));
    EXPECT_TRUE(lib.files(QStringLiteral("music/ABBA")).isEmpty());
    EXPECT_EQ(lib.files(QStringLiteral("music/Queen")), QStringList { QStringLiteral("b.mp3") });
}

// A destination that disappears (an unplugged disk) ends the run instead of skipping every
// file that is left.
TEST(MovePlannedFiles, VanishedDestinationEndsTheRun)
{
    Library lib;
    lib.write(QStringLiteral("in/a.mp3"), 100);
    TMoveSettings settings = lib.settings();
    settings.destinationFolder = lib.path(QStringLiteral("gone"));
    TMoveRun run(carryOut(settings), [](const TMoveEvent&) {});
    NullPump pump;
    EXPECT_THROW(
        run.run(work({ lib.row(QStringLiteral("in/a.mp3"), "gone/ABBA") }), pump), IOError);
    EXPECT_EQ(run.summary().end, TRunEnd::Failed);
    EXPECT_TRUE(lib.exists(QStringLiteral("in/a.mp3")));
}

// A move keeps what mv keeps; a source that cannot go takes its copy back with it; nothing
// is moved or changed through a symbolic link.
TEST(MovePlannedFiles, KeepsModeTimesAndOwnerAndNeverLeavesAFileTwice)
{
    Library lib;
    const QByteArray privateFile
        = QFile::encodeName(lib.write(QStringLiteral("in/private.mp3"), 100));
    ::chmod(privateFile.constData(), 0600);
    const struct timespec times[2] = { { 1000000000, 0 }, { 1000000000, 0 } };
    ::utimensat(AT_FDCWD, privateFile.constData(), times, 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(privateFile.constData(), 65534, 65534), 0);
    }
    Library outside;
    const QString secret = outside.write(QStringLiteral("in/secret.mp3"), 100);
    ::chmod(QFile::encodeName(secret).constData(), 0400);
    QFile::link(secret, lib.path(QStringLiteral("in/link.mp3")));
    TMoveSettings settings = lib.settings();
    settings.deleteSmallFiles = true;
    settings.smallFileLimit = 0;
    EXPECT_EQ(move({ lib.row(QStringLiteral("in/private.mp3"), "music/ABBA"),
                       lib.row(QStringLiteral("in/link.mp3"), "music/ABBA") },
                  settings),
        (std::vector<Outcome> {
            { TMoveOutcome::Moved, {} }, { TMoveOutcome::Skipped, TReason::SymbolicLink } }));
    struct stat moved {
    };
    ASSERT_EQ(
        ::stat(QFile::encodeName(lib.path(QStringLiteral("music/ABBA/private.mp3"))).constData(),
            &moved),
        0);
    EXPECT_EQ(moved.st_mode & 07777, 0600u);
    EXPECT_EQ(moved.st_mtim.tv_sec, 1000000000);
    if (root) {
        EXPECT_EQ(moved.st_uid, 65534u);
    }
    EXPECT_FALSE(lib.exists(QStringLiteral("music/ABBA/link.mp3")));
    EXPECT_EQ(QFileInfo(secret).permissions() & QFileDevice::WriteOwner, 0);

    // A read-only source folder: the copy is made, the source cannot go, so the copy goes.
    Library locked;
    ::chmod(QFile::encodeName(locked.write(QStringLiteral("in/a.mp3"), 100)).constData(), 0666);
    for (const char* folder : { "", "music", "music/ABBA", "doubles" })
        ::chmod(QFile::encodeName(locked.path(QString::fromLatin1(folder))).constData(), 0777);
    ::chmod(QFile::encodeName(locked.path(QStringLiteral("in"))).constData(), 0555);
    const std::optional<QByteArray> outcome = test::RunUnprivileged([&] {
        NullPump pump;
        QByteArray said;
        MovePlannedFiles({ locked.row(QStringLiteral("in/a.mp3"), "music/ABBA") },
            locked.settings(), pump,
            [&](const TMoveEvent& e) { said = ReasonText(e.reason).toUtf8(); });
        return said;
    });
    ::chmod(QFile::encodeName(locked.path(QStringLiteral("in"))).constData(), 0755);
    EXPECT_EQ(outcome, QByteArray("permission denied"));
    EXPECT_TRUE(locked.exists(QStringLiteral("in/a.mp3")));
    EXPECT_TRUE(locked.files(QStringLiteral("music/ABBA")).isEmpty());
}

// Past a file-size limit a copy fails with its reason instead of the process being killed.
TEST(DurableMove, FileSizeLimitFailsTheCopyNotTheProcess)
{
    Library lib;
    const QString source = lib.write(QStringLiteral("in/big.mp3"), 300000);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PrepareProcessForSharedFiles();
        const struct rlimit limit {
            100000, 100000
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            TDurableMove moves;
            moves.add(source, lib.path(QStringLiteral("music/ABBA/big.mp3")), true);
        } catch (const IOError& error) {
            ::_exit(error.errnoValue() == EFBIG ? 0 : 2);
        }
        ::_exit(3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(lib.files(QStringLiteral("music/ABBA")).isEmpty());
    EXPECT_EQ(lib.read(QStringLiteral("in/big.mp3")).size(), 300000);
}

TEST(MovePlannedFiles, ReadOnlySourceIsMovedAndBusyOrHomelessFilesStay)
{
    Library lib;
    const QString readOnly = lib.write(QStringLiteral("in/ro.mp3"), 100);
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);
    const QString held = lib.write(QStringLiteral("in/held.mp3"), 100);
    lib.write(QStringLiteral("in/homeless.mp3"), 100);
    test::OtherProcess holder(
        [&] { return ::open(QFile::encodeName(held).constData(), O_RDONLY) >= 0; });
    ASSERT_TRUE(holder.ready());
    for (const bool deleteSmall : { false, true }) {
        TMoveSettings settings = lib.settings();
        settings.deleteSmallFiles = deleteSmall;
        settings.smallFileLimit = 0;
        const auto outcomes = move({ lib.row(QStringLiteral("in/held.mp3"), "music/ABBA"),
                                       lib.row(QStringLiteral("in/homeless.mp3"), "music/Gone") },
            settings);
        EXPECT_EQ(outcomes,
            (std::vector<Outcome> { { TMoveOutcome::Skipped, TReason::InUse },
                { TMoveOutcome::Skipped, TReason::FolderMissing } }));
    }
    EXPECT_EQ(
        move({ lib.row(QStringLiteral("in/ro.mp3"), "music/ABBA") }, lib.settings())[0].outcome,
        TMoveOutcome::Moved);
    EXPECT_FALSE(lib.exists(QStringLiteral("in/ro.mp3")));
    EXPECT_TRUE(lib.exists(QStringLiteral("in/held.mp3")));
    EXPECT_TRUE(lib.exists(QStringLiteral("in/homeless.mp3")));
}

TEST(MovePlannedFiles, AbortBeforeTheFirstRowPlacesNothing)
{
    Library lib;
    lib.write(QStringLiteral("in/a.mp3"), 10);
    AbortAfterPump pump(0);
    int events = 0;
    EXPECT_FALSE(MovePlannedFiles({ lib.row(QStringLiteral("in/a.mp3"), "music/ABBA") },
        lib.settings(), pump, [&](const TMoveEvent&) { ++events; }));
    EXPECT_EQ(events, 0);
    EXPECT_TRUE(lib.exists(QStringLiteral("in/a.mp3")));
}

// A doubles folder the user chose and that is missing keeps its doubles where they are and
// lets the other files move; the default one is made, with its parents, by the first double.
TEST(MovePlannedFiles, MissingDoublesFolderKeepsTheDoublesOrIsMadeWhenItIsTheDefault)
{
    for (const bool made : { false, true }) {
        Library lib;
        lib.write(QStringLiteral("music/ABBA/a.mp3"), 20);
        lib.write(QStringLiteral("in/a.mp3"), 20);
        lib.write(QStringLiteral("in/b.mp3"), 20);
        TMoveSettings settings = lib.settings();
        settings.doublesFolder = lib.path(QStringLiteral("Music/Plumtide doubles"));
        settings.makeDoublesFolder = made;
        TMoveSummary summary;
        NullPump pump;
        CarryOut(carryOut(settings),
            work({ lib.row(QStringLiteral("in/a.mp3"), "music/ABBA"),
                lib.row(QStringLiteral("in/b.mp3"), "music/ABBA") }),
            {}, pump, nullptr, {}, &summary);
        EXPECT_EQ(summary.end, TRunEnd::Completed);
        EXPECT_TRUE(lib.exists(QStringLiteral("music/ABBA/b.mp3"))) << made;
        EXPECT_EQ(lib.exists(QStringLiteral("in/a.mp3")), !made);
        EXPECT_EQ(lib.exists(QStringLiteral("Music/Plumtide doubles/a.mp3")), made);
        EXPECT_EQ(summary.text(),
            made ? QStringLiteral("1 file moved, 1 double set aside in %1")
                       .arg(settings.doublesFolder)
                 : QStringLiteral("1 file moved, 1 skipped (1 doubles folder missing)"));
    }
}

TEST(MovePlannedFiles, DryRunReportsTheSameOutcomesAndChangesNothing)
{
    const auto build = [](Library& lib) {
        lib.write(QStringLiteral("music/ABBA/dup.mp3"), 10);
        lib.write(QStringLiteral("in/dup.mp3"), 10, 'n');
        lib.write(QStringLiteral("in/tiny.mp3"), 10);
        lib.write(QStringLiteral("in/song.mp3"), 5000);
        return std::vector<TPlanRow> { lib.row(QStringLiteral("in/dup.mp3"), "music/ABBA"),
            lib.row(QStringLiteral("in/tiny.mp3"), "music/ABBA"),
            lib.row(QStringLiteral("in/song.mp3"), "music/ABBA"),
            lib.row(QStringLiteral("in/song.mp3"), "music/Queen") };
    };
    Library dry, real;
    const auto dryRows = build(dry);
    const auto realRows = build(real);
    TMoveSettings settings = dry.settings();
    settings.deleteSmallFiles = true;
    settings.smallFileLimit = 1;
    std::vector<Outcome> decided;
    NullPump pump;
    TCarryOut dryRun = carryOut(settings);
    dryRun.dryRun = true;
    CarryOut(dryRun, work(dryRows), {}, pump, nullptr, [&](const TMoveEvent& event) {
        decided.push_back({ event.outcome, event.reason });
    });
    TMoveSettings forReal = real.settings();
    forReal.deleteSmallFiles = true;
    forReal.smallFileLimit = 1;
    EXPECT_EQ(decided, move(realRows, forReal));
    EXPECT_EQ(dry.files(QStringLiteral("in")).size(), 3);
    EXPECT_EQ(dry.files(QStringLiteral("music/ABBA")).size(), 1);
    EXPECT_TRUE(dry.files(QStringLiteral("doubles")).isEmpty());
}

// Nothing is ever written over a name that is taken, also when another program takes it
// after the move was decided; what dead runs left in a folder goes the first time each run
// touches it, what live ones hold stays, whatever the number in its name.
TEST(DurableMove, NeverReplacesAndEachRunCleansUpWhatKilledRunsLeft)
{
    Library lib;
    const QString a = lib.write(QStringLiteral("in/a.mp3"), 10, 'a');
    const QString taken = lib.write(QStringLiteral("music/ABBA/a.mp3"), 5, 'b');
    // A copy another move is writing, by a process whose number means nothing here (another
    // process namespace): it holds a lock on the file.
    const QString live = QStringLiteral(".plumtide-999999998-3.part");
    lib.write(QStringLiteral("music/Queen/") + live, 7);
    const FileDescriptor writing(
        ::open(QFile::encodeName(lib.path(QStringLiteral("music/Queen/") + live)), O_RDWR));
    ASSERT_TRUE(TryLockByte(writing, 0));
    for (bool keepSource : { false, true }) {
        SCOPED_TRACE(keepSource ? "copy" : "move");
        const QString b = lib.write(QStringLiteral("in/b.mp3"), 20, 'c');
        lib.write(QStringLiteral("music/Queen/.plumtide-999999999-3.gone"), 7);
        TDurableMove moves;
        for (const auto& [from, to] : { std::pair { a, taken },
                 std::pair { b, lib.path(QStringLiteral("music/Queen/b.mp3")) } })
            EXPECT_EQ(moves.add(from, to, keepSource).added, TDurableMove::TAdded::Added);
        const auto results = moves.commit();
        ASSERT_EQ(results.size(), 2u);
        EXPECT_EQ(results[0].done, TDurableMove::TDone::TargetTaken);
        EXPECT_EQ(results[1].done, TDurableMove::TDone::Moved);
        EXPECT_EQ(lib.files(QStringLiteral("music/ABBA")), QStringList { QStringLiteral("a.mp3") });
        EXPECT_EQ(lib.files(QStringLiteral("music/Queen")),
            (QStringList { live, QStringLiteral("b.mp3") }));
        EXPECT_EQ(lib.exists(QStringLiteral("in/b.mp3")), keepSource);
        QFile::remove(lib.path(QStringLiteral("music/Queen/b.mp3")));
    }
    EXPECT_EQ(lib.read(QStringLiteral("music/ABBA/a.mp3")), QByteArray(5, 'b'));
    EXPECT_EQ(lib.read(QStringLiteral("in/a.mp3")), QByteArray(10, 'a'));
}

// A file that follows another (a song's lyrics) is moved only when that one is: a song whose
// name another program took meanwhile keeps its lyrics beside it.
TEST(DurableMove, AFollowerMovesOnlyWithTheFileItFollows)
{
    Library lib;
    const auto in = [&](const char* name) { return lib.path(QStringLiteral("in/") + name); };
    const auto to = [&](const char* name) { return lib.path(QStringLiteral("music/") + name); };
    for (const char* name : { "a.mp3", "a.lrc", "b.mp3", "b.lrc" })
        lib.write(QStringLiteral("in/") + QLatin1String(name), 10);
    TDurableMove moves;
    EXPECT_EQ(
        moves.addFollower(in("a.lrc"), to("ABBA/a.lrc")).added, TDurableMove::TAdded::NotMoved)
        << "nothing to follow";
    EXPECT_EQ(moves.add(in("a.mp3"), to("ABBA/a.mp3")).added, TDurableMove::TAdded::Added);
    EXPECT_EQ(moves.addFollower(in("a.lrc"), to("ABBA/a.lrc")).added, TDurableMove::TAdded::Added);
    EXPECT_EQ(moves.add(in("b.mp3"), to("Queen/b.mp3")).added, TDurableMove::TAdded::Added);
    EXPECT_EQ(moves.addFollower(in("b.lrc"), to("Queen/b.lrc")).added, TDurableMove::TAdded::Added);
    lib.write(QStringLiteral("music/ABBA/a.mp3"), 5, 'z');
    std::vector<TDurableMove::TDone> done;
    for (const TDurableMove::TResult& result : moves.commit())
        done.push_back(result.done);
    EXPECT_EQ(done,
        (std::vector { TDurableMove::TDone::TargetTaken, TDurableMove::TDone::LeaderStayed,
            TDurableMove::TDone::Moved, TDurableMove::TDone::Moved }));
    EXPECT_EQ(lib.files(QStringLiteral("in")),
        (QStringList { QStringLiteral("a.lrc"), QStringLiteral("a.mp3") }));
    EXPECT_EQ(lib.files(QStringLiteral("music/ABBA")), QStringList { QStringLiteral("a.mp3") });
    EXPECT_EQ(lib.files(QStringLiteral("music/Queen")),
        (QStringList { QStringLiteral("b.lrc"), QStringLiteral("b.mp3") }));
}

TEST(NumberedFileName, NumberGoesBeforeTheExtension)
{
    EXPECT_EQ(NumberedFileName(QStringLiteral("01 - Intro.mp3"), 2),
        QStringLiteral("01 - Intro (2).mp3"));
    EXPECT_EQ(NumberedFileName(QStringLiteral("a.b.mp3"), 3), QStringLiteral("a.b (3).mp3"));
    EXPECT_EQ(NumberedFileName(QStringLiteral("noext"), 2), QStringLiteral("noext (2)"));
    EXPECT_EQ(NumberedFileName(QStringLiteral(".hidden"), 2), QStringLiteral(".hidden (2)"));
}

// A folder on another file system than the temporary folder (tmpfs), if there is one.
std::optional<QString> otherFileSystem(const Library& lib)
{
    struct stat here {
    };
    struct stat there {
    };
    if (::stat(QFile::encodeName(lib.path(QString())).constData(), &here) != 0
        || ::stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev)
        return std::nullopt;
    return QStringLiteral("/dev/shm");
}

// Within one file system a move is a rename (the file keeps its inode); across file systems
// a copy. Either way the file is whole at its target and gone from its source.
TEST(MovePlannedFiles, RenamedWithinOneFileSystemCopiedAcrossThem)
{
    Library lib;
    const QString file = lib.write(QStringLiteral("in/a.mp3"), 5000);
    const quint64 inode = StatusOf(file).inode;
    const std::vector<Outcome> moved { { TMoveOutcome::Moved, {} } };
    EXPECT_EQ(move({ lib.row(QStringLiteral("in/a.mp3"), "music/ABBA") }, lib.settings()), moved);
    EXPECT_EQ(StatusOf(lib.path(QStringLiteral("music/ABBA/a.mp3"))).inode, inode);

    const std::optional<QString> other = otherFileSystem(lib);
    if (!other)
        GTEST_SKIP() << "no second file system";
    QTemporaryDir far(*other + QStringLiteral("/mover-test-XXXXXX"));
    const QString farFile = far.filePath(QStringLiteral("b.mp3"));
    QFile::copy(lib.path(QStringLiteral("music/ABBA/a.mp3")), farFile);
    EXPECT_EQ(move({ { farFile, 50.0, lib.path(QStringLiteral("music/Queen")) } }, lib.settings()),
        moved);
    EXPECT_FALSE(QFile::exists(farFile));
    EXPECT_EQ(lib.read(QStringLiteral("music/Queen/b.mp3")), QByteArray(5000, 'x'));
}

// A move killed at random moments never loses or damages a file, and the next run finishes
// the job: renames within one file system, copies across two.
class KilledMidMove : public ::testing::TestWithParam<bool>
{
};

TEST_P(KilledMidMove, EveryFileIsWholeSomewhereAndTheNextRunCompletes)
{
    Library lib;
    std::optional<QTemporaryDir> far;
    if (GetParam()) {
        const std::optional<QString> other = otherFileSystem(lib);
        if (!other)
            GTEST_SKIP() << "no second file system";
        far.emplace(*other + QStringLiteral("/mover-test-XXXXXX"));
        // The sources live on the other file system, reached through a link.
        QDir(lib.path(QStringLiteral("in"))).removeRecursively();
        ASSERT_TRUE(QFile::link(far->path(), lib.path(QStringLiteral("in"))));
    }
    std::map<QString, QByteArray> checksums; // file name -> checksum
    std::vector<TPlanRow> rows;
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        const QString name = QStringLiteral("%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
        const QString path
            = lib.write(QStringLiteral("in/") + name, 20000 + i * 97, char('a' + i % 26));
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        checksums[name] = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
        rows.push_back(lib.row(QStringLiteral("in/") + name, i % 2 ? "music/ABBA" : "music/Queen"));
    }
    const auto checksumOf = [&](const QString& relative) {
        QFile file(lib.path(relative));
        return file.open(QIODevice::ReadOnly)
            ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
            : QByteArray();
    };
    const auto runMove = [&] {
        NullPump pump;
        MovePlannedFiles(rows, lib.settings(), pump, [](const TMoveEvent&) {});
    };

    for (int kill = 0; kill < 25; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            runMove();
            ::_exit(0);
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 4000)(random));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        for (const auto& [name, sum] : checksums) {
            const QString folder = name.mid(0, 3).toInt() % 2 ? QStringLiteral("music/ABBA/")
                                                              : QStringLiteral("music/Queen/");
            const bool atSource = checksumOf(QStringLiteral("in/") + name) == sum;
            const bool atTarget = checksumOf(folder + name) == sum;
            ASSERT_TRUE(atSource || atTarget)
                << "after kill " << kill << ": " << name.toStdString();
            // A name in the target folder is always a whole file.
            ASSERT_TRUE(!lib.exists(folder + name) || atTarget) << name.toStdString();
        }
    }
    runMove();
    EXPECT_TRUE(lib.files(QStringLiteral("in")).isEmpty());
    for (const auto& [name, sum] : checksums) {
        const QString folder = name.mid(0, 3).toInt() % 2 ? QStringLiteral("music/ABBA/")
                                                          : QStringLiteral("music/Queen/");
        EXPECT_EQ(checksumOf(folder + name), sum) << name.toStdString();
    }
    for (const char* folder : { "music/ABBA", "music/Queen" }) {
        RemoveStalePartialFiles(lib.path(QString::fromLatin1(folder)));
        for (const QString& name : lib.files(QString::fromLatin1(folder)))
            EXPECT_FALSE(IsPartialFileName(name)) << name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Moves, KilledMidMove, ::testing::Values(false, true),
    [](const auto& info) { return info.param ? "AcrossFileSystems" : "WithinOneFileSystem"; });

TEST(CreateArtistFolders, CreatesSkipsExistingAndGoesOnPastAnImpossibleName)
{
    Library lib;
    const QString music = lib.path(QStringLiteral("music"));
    QStringList made;
    QStringList failed;
    const QStringList keys { QStringLiteral("MADONNA"), QStringLiteral("ABBA"),
        QString(300, QLatin1Char('X')), QStringLiteral("QUEEN") };
    std::vector<TWorkItem> folders;
    for (const QString& key : keys)
        folders.push_back(TCreateFolder { music + QLatin1Char('/') + key });
    NullPump pump;
    CarryOut(TCarryOut(), WorkOf(folders), {}, pump, nullptr, [&](const TMoveEvent& event) {
        if (event.outcome == TMoveOutcome::Created)
            made << event.file;
        else
            failed << event.file + ": " + ReasonText(event.reason);
    });
    EXPECT_EQ(made,
        (QStringList { music + QStringLiteral("/MADONNA"), music + QStringLiteral("/QUEEN") }));
    EXPECT_EQ(failed,
        QStringList { music + QLatin1Char('/') + keys[2] + QStringLiteral(": path too long") });
    EXPECT_TRUE(QFileInfo(music + QStringLiteral("/QUEEN")).isDir());
}

// Copies are committed in groups; what the reporter hears stays in row order and true.
TEST(MovePlannedFiles, EventsArriveInRowOrderAcrossCommittedGroups)
{
    Library lib;
    std::vector<TPlanRow> rows;
    for (int i = 0; i < 40; ++i) {
        const QString name = QStringLiteral("in/%1.mp3").arg(i, 2, 10, QLatin1Char('0'));
        lib.write(name, 3000 + i);
        rows.push_back(lib.row(name, i % 5 == 0 ? "music/Gone" : "music/ABBA"));
    }
    std::vector<TMoveEvent> events;
    NullPump pump;
    MovePlannedFiles(rows, lib.settings(), pump, [&](const TMoveEvent& event) {
        // Each event is reported once its move is done: the source is gone by then.
        if (event.outcome == TMoveOutcome::Moved) {
            EXPECT_FALSE(QFile::exists(event.file)) << event.file.toStdString();
            EXPECT_TRUE(QFile::exists(event.target)) << event.target.toStdString();
        }
        events.push_back(event);
    });
    ASSERT_EQ(events.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(events[i].file, rows[i].file);
        EXPECT_EQ(events[i].outcome, i % 5 == 0 ? TMoveOutcome::Skipped : TMoveOutcome::Moved) << i;
    }
    EXPECT_EQ(lib.files(QStringLiteral("music/ABBA")).size(), 32);
    EXPECT_EQ(lib.files(QStringLiteral("in")).size(), 8);
}

// An artist folder renamed away while its files wait for their commit (renamed within one
// file system, copied across two): every file ends whole in exactly one place, the events
// say where, and no temporary file stays behind.
class FolderRenamedAway : public ::testing::TestWithParam<bool>
{
};

TEST_P(FolderRenamedAway, NoFileTwiceNoTemporaryFileAndTheRunGoesOn)
{
    Library lib;
    std::optional<QTemporaryDir> far;
    QString sources = lib.path(QStringLiteral("in"));
    if (GetParam()) {
        const std::optional<QString> other = otherFileSystem(lib);
        if (!other)
            GTEST_SKIP() << "no second file system";
        far.emplace(*other + QStringLiteral("/mover-test-XXXXXX"));
        sources = far->path();
    }
    std::vector<TPlanRow> rows;
    for (int i = 0; i < 12; ++i) {
        const QString file = sources + QStringLiteral("/%1.mp3").arg(i, 2, 10, QLatin1Char('0'));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(4000 + i, char('a' + i)));
        rows.push_back({ file, 50.0,
            lib.path(i < 6 ? QStringLiteral("music/ABBA") : QStringLiteral("music/Queen")) });
    }
    // Before the fifth file, the first four wait in the folder for their commit.
    class RenamingPump : public Pump
    {
    public:
        explicit RenamingPump(const Library& lib)
            : m_lib(lib)
        {
        }
        void processEvents() override
        {
            if (++m_calls == 5) {
                ASSERT_EQ(
                    ::rename(
                        QFile::encodeName(m_lib.path(QStringLiteral("music/ABBA"))).constData(),
                        QFile::encodeName(m_lib.path(QStringLiteral("music/ABBA 2"))).constData()),
                    0);
            }
        }
        bool abortRequested() const override { return false; }

    private:
        const Library& m_lib;
        int m_calls = 0;
    } pump(lib);
    std::vector<TMoveEvent> events;
    TMoveRun run(carryOut(lib.settings()), [&](const TMoveEvent& e) { events.push_back(e); });
    EXPECT_NO_THROW(run.run(work(rows), pump));
    EXPECT_EQ(run.summary().end, TRunEnd::Completed);
    ASSERT_EQ(events.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const QString name = QFileInfo(rows[i].file).fileName();
        const QByteArray bytes(4000 + int(i), char('a' + i));
        int places = 0;
        for (const QString& place : { rows[i].file, lib.path(QStringLiteral("music/ABBA/") + name),
                 lib.path(QStringLiteral("music/ABBA 2/") + name),
                 lib.path(QStringLiteral("music/Queen/") + name) }) {
            QFile file(place);
            if (file.open(QIODevice::ReadOnly)) {
                ++places;
                EXPECT_EQ(file.readAll(), bytes) << place.toStdString();
            }
        }
        EXPECT_EQ(places, 1) << name.toStdString();
        // What the events say is where the file is.
        const bool moved = events[i].outcome == TMoveOutcome::Moved;
        EXPECT_TRUE(QFile::exists(moved ? events[i].target : rows[i].file)) << name.toStdString();
    }
    EXPECT_EQ(lib.files(QStringLiteral("music/Queen")).size(), 6);
    for (const QString& folder :
        { sources, lib.path(QStringLiteral("music/ABBA 2")), lib.path(QStringLiteral("music")) }) {
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            EXPECT_FALSE(IsPartialFileName(name)) << (folder + '/' + name).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Moves, FolderRenamedAway, ::testing::Values(false, true),
    [](const auto& info) { return info.param ? "AcrossFileSystems" : "WithinOneFileSystem"; });
