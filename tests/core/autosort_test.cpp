#include "core/watching/autosort.h"
#include "platform/errors.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

QDateTime at(const char* time)
{
    return QDateTime(QDate(2024, 5, 1), QTime::fromString(QLatin1String(time), "HH:mm:ss.zzz"));
}

QTime interval(const char* time)
{
    return QTime::fromString(QLatin1String(time), "HH:mm:ss");
}

// The main window as an automatic run sees it, with a clock that the test sets. Each run
// is logged; it carries a plan out when `filesToMove`.
struct FakeWindow {
    QDateTime clock = at("10:55:30.000");
    bool filesToMove = false;
    bool busy = false;
    bool held = false;
    bool failing = false;
    std::function<void()> duringRun;
    QStringList log;

    TAutoSort sort { TAutoRunSteps {
        .busy = [this] { return busy; },
        .held = [this] { return held; },
        .run =
            [this] {
                log.append(QStringLiteral("run"));
                if (duringRun)
                    duringRun();
                if (failing)
                    throw IOError(QStringLiteral("Cannot read"), QStringLiteral("/media/usb"));
                return filesToMove;
            },
        .reportError =
            [this](const std::exception* error) {
                log.append(QStringLiteral("error: ") + QString::fromUtf8(error->what()));
            },
        .now = [this] { return clock; },
    } };

    // Ticks at `time`; returns the tick's outcome and the steps it took.
    std::pair<TAutoTick, QStringList> tickAt(const char* time, const char* every = "00:10:00")
    {
        clock = at(time);
        log.clear();
        const TAutoTick tick = sort.tick(interval(every));
        return { tick, log };
    }
};

} // namespace

TEST(AutoSort, DueAnIntervalAfterTheLastRunEnded)
{
    FakeWindow w;
    w.sort.restart(w.clock); // shown at 10:55:30
    EXPECT_EQ(w.tickAt("11:55:29.999", "01:00:00").first, TAutoTick::NotDue);
    // Nothing to move is still a run.
    EXPECT_EQ(
        w.tickAt("11:55:30.000", "01:00:00"), std::pair(TAutoTick::Ran, QStringList({ "run" })));
    EXPECT_EQ(w.sort.lastRun(), at("11:55:30.000"));

    w.filesToMove = true;
    w.duringRun = [&w] { w.clock = w.clock.addSecs(40); }; // the run takes 40 s
    EXPECT_EQ(w.tickAt("12:55:29.000", "01:00:00").first, TAutoTick::NotDue);
    EXPECT_EQ(
        w.tickAt("12:55:30.000", "01:00:00"), std::pair(TAutoTick::Moved, QStringList({ "run" })));
    EXPECT_EQ(w.sort.lastRun(), at("12:56:10.000")) << "timed from the end of the run";
    EXPECT_TRUE(w.sort.isDue(w.clock, interval("00:00:00"))) << "every tick";
}

// Other work, or a user typing a folder or setting options, keeps a due run waiting; it
// stays due and comes at the first tick after.
TEST(AutoSort, NoRunStartsInsideOtherWorkOrWhileTheUserHoldsItBack)
{
    FakeWindow w;
    w.filesToMove = true;
    w.sort.restart(w.clock);
    w.busy = true;
    EXPECT_EQ(w.tickAt("11:05:30.000"), std::pair(TAutoTick::Busy, QStringList()));
    w.busy = false;
    w.held = true;
    EXPECT_EQ(w.tickAt("11:05:31.000"), std::pair(TAutoTick::Held, QStringList()));
    EXPECT_EQ(w.sort.lastRun(), at("10:55:30.000"));
    w.held = false;
    // Ticks that arrive while the run itself lets events through start nothing either.
    std::vector<TAutoTick> nested;
    w.duringRun = [&w, &nested] { nested.push_back(w.sort.tick(interval("00:00:00"))); };
    EXPECT_EQ(w.tickAt("11:05:32.000").first, TAutoTick::Moved);
    EXPECT_EQ(nested, std::vector({ TAutoTick::Busy }));
    EXPECT_EQ(w.sort.lastRun(), at("11:05:32.000"));
}

TEST(AutoSort, FailedRunsRetryAfterADoublingWaitCappedAtTheInterval)
{
    const std::tuple<int, const char*, qint64> delays[]
        = { { 1, "00:10:00", 1000 }, { 2, "00:10:00", 2000 }, { 10, "00:10:00", 512000 },
              { 11, "00:10:00", 600000 }, { 1000, "23:59:59", 86399000 }, { 1, "00:00:00", 0 } };
    for (const auto& [failures, every, delayMs] : delays)
        EXPECT_EQ(RetryDelayMs(failures, interval(every)), delayMs) << failures << " " << every;

    FakeWindow w;
    w.filesToMove = true;
    w.sort.restart(w.clock);
    w.failing = true;
    EXPECT_EQ(w.tickAt("11:05:30.000"),
        std::pair(TAutoTick::Failed, QStringList({ "run", "error: Cannot read '/media/usb'" })));
    EXPECT_EQ(w.sort.lastRun(), at("10:55:30.000")) << "a failed run is no run";
    EXPECT_EQ(w.sort.failureText(),
        QStringLiteral("Automatic sorting failed: Cannot read '/media/usb'. Next attempt at "
                       "11:05:31."));
    EXPECT_EQ(w.tickAt("11:05:30.999").first, TAutoTick::NotDue);
    EXPECT_EQ(w.tickAt("11:05:31.000").first, TAutoTick::Failed);
    EXPECT_EQ(w.sort.retryAt(), at("11:05:33.000"));
    // The first run that ends returns to the interval.
    w.failing = false;
    EXPECT_EQ(w.tickAt("11:05:33.000").first, TAutoTick::Moved);
    EXPECT_EQ(w.tickAt("11:15:32.999").first, TAutoTick::NotDue);
    EXPECT_EQ(w.tickAt("11:15:33.000").first, TAutoTick::Moved);
}

// A file settled in the source folder asks for a run before the interval is over: the run
// still waits for other work and for the retry wait, and a request made during a run gets a
// run of its own.
TEST(AutoSort, ARequestedRunKeepsTheRulesOfTimedRuns)
{
    FakeWindow w;
    w.filesToMove = true;
    w.sort.restart(w.clock);
    EXPECT_EQ(w.tickAt("10:55:31.000").first, TAutoTick::NotDue);
    w.sort.requestRun();
    w.busy = true;
    EXPECT_EQ(w.tickAt("10:55:32.000").first, TAutoTick::Busy);
    w.busy = false;
    w.duringRun = [&w] { w.sort.requestRun(); };
    EXPECT_EQ(w.tickAt("10:55:33.000").first, TAutoTick::Moved);
    w.duringRun = nullptr;
    EXPECT_EQ(w.tickAt("10:55:34.000").first, TAutoTick::Moved);
    EXPECT_EQ(w.tickAt("10:55:35.000").first, TAutoTick::NotDue);

    w.failing = true;
    w.sort.requestRun();
    EXPECT_EQ(w.tickAt("10:55:36.000").first, TAutoTick::Failed);
    w.failing = false;
    w.sort.requestRun();
    EXPECT_EQ(w.tickAt("10:55:36.500").first, TAutoTick::NotDue) << "the retry wait holds";
    EXPECT_EQ(w.tickAt("10:55:37.000").first, TAutoTick::Moved);
}
