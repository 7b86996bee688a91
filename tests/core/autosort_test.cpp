#include "core/autosort.h"
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

// The main window as an automatic run sees it, with a clock that the test sets. Each step
// is logged; the listing finds `filesOnDisk`, a plan enables moving when it found files.
struct FakeWindow {
    QDateTime clock = at("10:55:30.000");
    int filesOnDisk = 0;
    int listed = 0;
    bool moveEnabled = false;
    bool busy = false;
    bool failing = false;
    std::function<void()> duringPlan;
    QStringList log;

    TAutoSort sort { TAutoRunSteps {
        .busy = [this] { return busy; },
        .sourceRows = [this] { return listed; },
        .refresh = [this] { step("refresh"); },
        .plan =
            [this] {
                step("plan");
                moveEnabled = listed > 0;
                if (duringPlan)
                    duringPlan();
            },
        .moveEnabled = [this] { return moveEnabled; },
        .move = [this] { step("move"); },
        .reportError =
            [this](const std::exception* error) {
                log.append(QStringLiteral("error: ") + QString::fromUtf8(error->what()));
            },
        .now = [this] { return clock; },
    } };

    void step(const char* name)
    {
        log.append(QLatin1String(name));
        if (failing)
            throw IOError(QStringLiteral("Cannot read"), QStringLiteral("/media/usb"));
        listed = filesOnDisk;
    }

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

TEST(AutoSort, DueAnIntervalAfterTheLastRunEndedAndAnEmptyListIsListedFirst)
{
    FakeWindow w;
    w.sort.restart(w.clock); // shown at 10:55:30
    EXPECT_EQ(w.tickAt("11:55:29.999", "01:00:00").first, TAutoTick::NotDue);
    // Nothing there: listed afresh, nothing planned, and still a run.
    EXPECT_EQ(w.tickAt("11:55:30.000", "01:00:00"),
        std::pair(TAutoTick::Ran, QStringList({ "refresh" })));
    EXPECT_EQ(w.sort.lastRun(), at("11:55:30.000"));

    w.filesOnDisk = 2;
    w.duringPlan = [&w] { w.clock = w.clock.addSecs(40); }; // planning takes 40 s
    EXPECT_EQ(w.tickAt("12:55:29.000", "01:00:00").first, TAutoTick::NotDue);
    EXPECT_EQ(w.tickAt("12:55:30.000", "01:00:00"),
        std::pair(TAutoTick::Moved, QStringList({ "refresh", "plan", "move" })));
    EXPECT_EQ(w.sort.lastRun(), at("12:56:10.000"));
    EXPECT_TRUE(w.sort.isDue(w.clock, interval("00:00:00"))) << "every tick";
    // A listed file is planned without a refresh of its own (planning lists afresh).
    EXPECT_EQ(w.tickAt("13:56:10.000", "01:00:00").second, QStringList({ "plan", "move" }));
}

TEST(AutoSort, NoRunStartsInsideOtherWork)
{
    FakeWindow w;
    w.filesOnDisk = 1;
    w.sort.restart(w.clock);
    // A sort, move or refresh by hand is under way: the tick is dropped, the run stays due.
    w.busy = true;
    EXPECT_EQ(w.tickAt("11:05:30.000"), std::pair(TAutoTick::Busy, QStringList()));
    w.busy = false;
    // Ticks that arrive while the run itself lets events through start nothing either.
    std::vector<TAutoTick> nested;
    w.duringPlan = [&w, &nested] { nested.push_back(w.sort.tick(interval("00:00:00"))); };
    EXPECT_EQ(w.tickAt("11:05:31.000").first, TAutoTick::Moved);
    EXPECT_EQ(nested, std::vector({ TAutoTick::Busy }));
}

TEST(AutoSort, FailedRunsRetryAfterADoublingWaitCappedAtTheInterval)
{
    const std::tuple<int, const char*, qint64> delays[]
        = { { 1, "00:10:00", 1000 }, { 2, "00:10:00", 2000 }, { 10, "00:10:00", 512000 },
              { 11, "00:10:00", 600000 }, { 1000, "23:59:59", 86399000 }, { 1, "00:00:00", 0 } };
    for (const auto& [failures, every, delayMs] : delays)
        EXPECT_EQ(RetryDelayMs(failures, interval(every)), delayMs) << failures << " " << every;

    FakeWindow w;
    w.filesOnDisk = 1;
    w.sort.restart(w.clock);
    w.failing = true;
    EXPECT_EQ(w.tickAt("11:05:30.000"),
        std::pair(
            TAutoTick::Failed, QStringList({ "refresh", "error: Cannot read '/media/usb'" })));
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
    w.filesOnDisk = 1;
    w.sort.restart(w.clock);
    EXPECT_EQ(w.tickAt("10:55:31.000").first, TAutoTick::NotDue);
    w.sort.requestRun();
    w.busy = true;
    EXPECT_EQ(w.tickAt("10:55:32.000").first, TAutoTick::Busy);
    w.busy = false;
    w.duringPlan = [&w] { w.sort.requestRun(); };
    EXPECT_EQ(w.tickAt("10:55:33.000").first, TAutoTick::Moved);
    w.duringPlan = nullptr;
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
