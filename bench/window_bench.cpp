// The main window on large folders, offscreen: what its lists and its plan hold, and how
// long its refresh takes beside the CLI's for the same folders, in the same run.
//
// - A plan at percentage 0 of 2,000 files x 2,000 folders: the memory the plan holds per
//   row beyond the paths the two lists already have (target at most 16 bytes), and the
//   most the process grew while planning (target under 100 MB).
// - 100,000 listed files: the memory the source list holds per file beyond its path
//   strings (target at most 200 bytes).
// - The window's refresh (both folders, the Details lines shown as it goes) against
//   `plumtide-cli folders DEST` and `plumtide-cli list SOURCE` (target at most 1.1 x the
//   time), medians of a few rounds.
// - "Start sort" on those folders at 100 % (a refresh, then the plan), and the longest time the
//   window went without handling its events during the refresh and during "Start sort".
//
//     bench_window [files=100000] [folders=2000] [rounds=3]

#include "bench/library.h"
#include "settings/settingsstore.h"
#include "tests/support/memorysettings.h"
#include "ui/frmmain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace plumtide;

namespace
{

// Bytes the program has taken from the heap and not given back, large blocks included.
double heapBytes()
{
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd);
}

double residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toDouble() * double(::sysconf(_SC_PAGESIZE));
}

double peakBytes()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) * 1024;
}

// The heap a path's text takes: the string's header and its UTF-16 units, as malloc rounds.
double pathBytes(const QStringList& paths)
{
    double bytes = 0;
    for (const QString& path : paths)
        bytes += double(((16 + 2 * (path.size() + 1) + 8 + 15) / 16) * 16);
    return bytes;
}

template <typename Work> double secondsOf(Work work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

// The longest time between two turns of the event loop while `work` runs, in seconds: how
// long the window froze at worst.
template <typename Work> double longestFreezeOf(Work work)
{
    QElapsedTimer sinceTurn;
    qint64 longest = 0;
    QTimer turns;
    turns.setInterval(0);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTurn.nsecsElapsed());
        sinceTurn.start();
    });
    turns.start();
    sinceTurn.start();
    work();
    longest = std::max(longest, sinceTurn.nsecsElapsed());
    return double(longest) / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int fileCount = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int folderCount = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    QTemporaryDir root;

    // The plan first, while the process is small, so that its growth shows.
    {
        const QString source = root.filePath(QStringLiteral("plan/in"));
        const QString destination = root.filePath(QStringLiteral("plan/music"));
        bench::MakeLibrary(source, 2000, destination, 2000);
        TMemorySettingsStore store;
        store.WriteValue(QStringLiteral("Source"), source);
        store.WriteValue(QStringLiteral("Destination"), destination);
        TfrmMain window(store);
        window.startupTimer->stop();
        window.show();
        window.workingCopy().comparePercentage = 0;
        window.Refresh();
        QCoreApplication::processEvents();
        const double before = heapBytes();
        const double resident = residentBytes();
        window.btnSorterenClick();
        QCoreApplication::processEvents();
        const double grown = peakBytes() - resident;
        const double rows = window.planItems().count();
        const double held = heapBytes() - before;
        std::printf("plan at 0 %% of 2,000 files x 2,000 folders: %.0f rows, %.1f MB held "
                    "(%.1f bytes per row beyond the lists' paths, target at most 16), the "
                    "process grew by at most %.1f MB while planning (target under 100)\n",
            rows, held / 1e6, held / rows, grown / 1e6);
    }

    const QString source = root.filePath(QStringLiteral("in"));
    const QString destination = root.filePath(QStringLiteral("music"));
    const QStringList paths = bench::MakeLibrary(source, fileCount, destination, folderCount);
    const QString empty = root.filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    ::sync();

    TMemorySettingsStore store;
    store.WriteValue(QStringLiteral("Source"), source);
    store.WriteValue(QStringLiteral("Destination"), empty);
    TfrmMain window(store);
    window.startupTimer->stop();
    window.show();
    window.Refresh(); // warm caches
    window.sourceItems().clear();
    QCoreApplication::processEvents();
    {
        const double before = heapBytes();
        window.Refresh();
        QCoreApplication::processEvents();
        const double held = heapBytes() - before;
        const double listed = window.sourceItems().count();
        std::printf("%.0f listed files: %.1f MB held, %.0f bytes per file beyond its path "
                    "string (target at most 200)\n",
            listed, held / 1e6, (held - pathBytes(paths)) / listed);
    }

    window.edtDestination->setText(destination);
    const QByteArray cli = "'" PLUMTIDE_CLI "' folders '" + QFile::encodeName(destination)
        + "' >/dev/null && '" PLUMTIDE_CLI "' list '" + QFile::encodeName(source) + "' >/dev/null";
    std::vector<double> windowSeconds;
    std::vector<double> cliSeconds;
    for (int round = 0; round < rounds; ++round) {
        windowSeconds.push_back(secondsOf([&] {
            window.Refresh();
            QCoreApplication::processEvents();
        }));
        cliSeconds.push_back(secondsOf([&] {
            if (std::system(cli.constData()) != 0) {
                std::fprintf(stderr, "failed: %s\n", cli.constData());
                std::exit(1);
            }
        }));
    }
    std::printf("refresh of %d files and %d folders: window %.3f s, CLI (folders, list) %.3f s "
                "(median of %d)\n",
        fileCount, folderCount, median(windowSeconds), median(cliSeconds), rounds);
    std::printf("window refresh time / CLI refresh time: %.2f x (target at most 1.1)\n",
        median(windowSeconds) / median(cliSeconds));

    // Each file's own artist folder only: one plan row a file, as in a library.
    window.workingCopy().comparePercentage = 100;
    std::vector<double> sortSeconds;
    std::vector<double> refreshFreezes;
    std::vector<double> sortFreezes;
    for (int round = 0; round < rounds; ++round) {
        refreshFreezes.push_back(longestFreezeOf([&] { window.Refresh(); }));
        sortSeconds.push_back(secondsOf([&] {
            sortFreezes.push_back(longestFreezeOf([&] { window.btnSorterenClick(); }));
            QCoreApplication::processEvents();
        }));
    }
    std::printf("\"Start sort\" of %d files into %d folders: %.3f s (%d plan rows); longest "
                "freeze: refresh %.0f ms, \"Start sort\" %.0f ms (medians of %d)\n",
        fileCount, folderCount, median(sortSeconds), window.planItems().count(),
        median(refreshFreezes) * 1e3, median(sortFreezes) * 1e3, rounds);
    return 0;
}
