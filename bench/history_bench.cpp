// How fast `plumtide-cli history` answers with a large history: a history of 100,000 file
// records (1,000 runs of 100 files) is made, then the command runs in this process and as
// its own process; prints the medians of several runs.
//
//     bench_history [runs=1000] [files per run=100] [repeats=7]

#include "cli/commands.h"
#include "history/history.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace plumtide;

namespace
{

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int files = argc > 2 ? std::atoi(argv[2]) : 100;
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    QTemporaryDir home;
    qputenv("XDG_STATE_HOME", home.filePath(QStringLiteral("state")).toUtf8());
    {
        THistory history(THistory::DefaultPath(), THistory::Access::Write);
        for (int run = 0; run < runs; ++run) {
            const qint64 id = history.beginRun(
                TRunOrigin::Auto, QStringLiteral("/home/me/in"), QStringLiteral("/home/me/Music"));
            std::vector<THistoryRecord> records;
            for (int i = 0; i < files; ++i)
                records.push_back({ .outcome = TMoveOutcome::Moved,
                    .file = QStringLiteral("/home/me/in/%1 - Song %2.mp3").arg(run).arg(i),
                    .target
                    = QStringLiteral("/home/me/Music/Artist %1/%1 - Song %2.mp3").arg(run).arg(i),
                    .size = 5 << 20,
                    .modified = 1700000000000000000 + i });
            history.addRecords(id, records);
            history.endRun(id, TRunEnd::Completed);
        }
    }
    std::printf("%d runs of %d files: %d records\n", runs, files, runs * files);

    // In this process, the output thrown away.
    std::vector<double> inProcess;
    const int out = ::dup(1);
    std::fflush(stdout);
    if (!std::freopen("/dev/null", "w", stdout))
        return 1;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        cli::RunHistory(cli::ParsedCommand { QStringLiteral("history"), {}, {}, false });
        std::fflush(stdout);
        inProcess.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::fflush(stdout);
    ::dup2(out, 1);
    ::close(out);

    // The whole command, as a user starts it.
    std::vector<double> process;
    for (int i = 0; i < repeats; ++i) {
        QProcess cliProcess;
        cliProcess.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        cliProcess.start(QStringLiteral(PLUMTIDE_CLI), { QStringLiteral("history") });
        if (!cliProcess.waitForFinished(60000) || cliProcess.exitCode() != 0) {
            std::fprintf(stderr, "plumtide-cli history failed\n");
            return 1;
        }
        process.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("history, in process:       %8.1f ms (median of %d)\n", median(inProcess), repeats);
    std::printf("plumtide-cli history:      %8.1f ms (median of %d; target: under 100 ms)\n",
        median(process), repeats);
    return 0;
}
