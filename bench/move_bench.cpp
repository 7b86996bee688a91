// Moves files of a few MB with the mover, and the same files with `mv` followed by one
// `sync`, in the same run, and prints both times and the mover's speed as a share of mv's:
// within one file system (where the mover renames) and across two (where it copies), each
// the median of a few rounds with warm caches. Each round also moves the files with the
// history recording the run, and prints that time against the plain move's.
//
//     bench_move [files=300] [megabytes per file=5] [folder=current folder]
//                [folder on another file system=/dev/shm] [rounds=3]
//
// Targets: within one file system at least 0.5 x the speed of mv + sync, across file
// systems at least 0.8 x; with the history at most 1.10 x the time without.

#include "core/pipeline.h"
#include "history/recorder.h"
#include "tests/support/pumps.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace plumtide;

namespace
{

void makeFiles(const QString& folder, int count, qint64 bytes)
{
    QDir().mkpath(folder);
    QByteArray block(1 << 20, '\0');
    QRandomGenerator random(1);
    for (int i = 0; i < count; ++i) {
        QFile file(folder + QStringLiteral("/%1.mp3").arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            std::exit(1);
        }
        for (qint64 written = 0; written < bytes; written += block.size()) {
            random.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
            file.write(block.constData(), std::min<qint64>(block.size(), bytes - written));
        }
    }
    ::sync();
}

void run(const QByteArray& command)
{
    if (std::system(command.constData()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.constData());
        std::exit(1);
    }
}

QByteArray quoted(const QString& path)
{
    return "'" + QFile::encodeName(path) + "'";
}

// One move of every file of `source` into `target`, recorded in `history` unless it is empty;
// seconds.
double moverSeconds(
    const QString& source, const QString& target, int count, const QString& history = QString())
{
    std::vector<TPlanRow> rows;
    for (const QString& name : QDir(source).entryList(QDir::Files, QDir::Name))
        rows.push_back({ source + QLatin1Char('/') + name, 100.0, target });
    NullPump pump;
    int moved = 0;
    const MoveReporter countMoved
        = [&](const TMoveEvent& e) { moved += e.outcome == TMoveOutcome::Moved; };
    QElapsedTimer timer;
    timer.start();
    const TWorkSource work = WorkOf(std::vector<TWorkItem>(rows.begin(), rows.end()));
    if (history.isEmpty()) {
        CarryOut(TCarryOut {}, work, {}, pump, nullptr, countMoved);
    } else {
        TRunRecorder recorder(TRunOrigin::Cli, source, target, history);
        CarryOut(TCarryOut {}, work, {}, pump, &recorder, countMoved);
        if (!recorder.problem().isEmpty()) {
            std::fprintf(stderr, "not recorded: %s\n", qPrintable(recorder.problem()));
            std::exit(1);
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (moved != count) {
        std::fprintf(stderr, "only %d of %d files moved\n", moved, count);
        std::exit(1);
    }
    return seconds;
}

double mvSeconds(const QString& source, const QString& target)
{
    QElapsedTimer timer;
    timer.start();
    run("mv " + quoted(source) + "/*.mp3 " + quoted(target) + "/ && sync");
    return timer.nsecsElapsed() / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One comparison: files made in `sourceBase`, moved into a folder below `targetBase`.
void compare(const char* title, const QString& sourceBase, const QString& targetBase, int count,
    qint64 megabytes, int rounds, double target)
{
    QTemporaryDir from(sourceBase + QStringLiteral("/bench-move-XXXXXX"));
    QTemporaryDir to(targetBase + QStringLiteral("/bench-move-XXXXXX"));
    if (!from.isValid() || !to.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s or %s\n", qPrintable(sourceBase),
            qPrintable(targetBase));
        std::exit(1);
    }
    const QString in = from.filePath(QStringLiteral("in"));
    const QString music = to.filePath(QStringLiteral("music/Artist"));
    const QString moved = to.filePath(QStringLiteral("mv"));
    QDir().mkpath(music);
    QDir().mkpath(moved);
    const bool sameFileSystem = [&] {
        struct stat a {
        };
        struct stat b {
        };
        return ::stat(QFile::encodeName(from.path()).constData(), &a) == 0
            && ::stat(QFile::encodeName(to.path()).constData(), &b) == 0 && a.st_dev == b.st_dev;
    }();
    std::vector<double> mover;
    std::vector<double> recorded;
    std::vector<double> mv;
    const QString history = from.filePath(QStringLiteral("state/history.sqlite"));
    for (int round = 0; round < rounds; ++round) {
        // Within one file system the files are made once and put back by renames; across
        // file systems they are made again for each move.
        makeFiles(in, count, megabytes << 20);
        mover.push_back(moverSeconds(in, music, count));
        if (sameFileSystem) {
            run("mv " + quoted(music) + "/*.mp3 " + quoted(in) + "/ && sync");
        } else {
            run("rm -f " + quoted(music) + "/*.mp3 && sync");
            makeFiles(in, count, megabytes << 20);
        }
        recorded.push_back(moverSeconds(in, music, count, history));
        if (sameFileSystem) {
            run("mv " + quoted(music) + "/*.mp3 " + quoted(in) + "/ && sync");
        } else {
            run("rm -f " + quoted(music) + "/*.mp3 && sync");
            makeFiles(in, count, megabytes << 20);
        }
        mv.push_back(mvSeconds(in, moved));
        run("rm -f " + quoted(moved) + "/*.mp3 " + quoted(in) + "/*.mp3 && sync");
    }
    const double totalMB = double(count) * double(megabytes);
    const double ours = median(mover);
    const double theirs = median(mv);
    std::printf("%s: %d files of %lld MB, %s -> %s (%s), median of %d\n", title, count,
        static_cast<long long>(megabytes), qPrintable(from.path()), qPrintable(to.path()),
        sameFileSystem ? "one file system" : "two file systems", rounds);
    std::printf("  mover:     %8.3f s  %9.1f MB/s\n", ours, totalMB / ours);
    std::printf("  mv + sync: %8.3f s  %9.1f MB/s\n", theirs, totalMB / theirs);
    std::printf("  mover speed / (mv + sync) speed: %.2f x (target at least %.1f)\n", theirs / ours,
        target);
    std::printf("  mover with history: %8.3f s; with / without: %.3f (target at most 1.10)\n",
        median(recorded), median(recorded) / ours);
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 300;
    const qint64 megabytes = argc > 2 ? std::atoll(argv[2]) : 5;
    const QString base = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::currentPath();
    const QString other = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("/dev/shm");
    const int rounds = argc > 5 ? std::max(1, std::atoi(argv[5])) : 3;

    compare("within one file system", base, base, count, megabytes, rounds, 0.5);
    if (QFileInfo(other).isDir())
        compare("across file systems", base, other, count, megabytes, rounds, 0.8);
    else
        std::printf("across file systems: skipped, no folder %s\n", qPrintable(other));
    return 0;
}
