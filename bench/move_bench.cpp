// Moves files of a few MB within one file system with the mover (durable copy, rename into
// place, delete), with the history recording the run and without, in alternating rounds,
// and copies the same files with `cp` followed by one `sync`; prints the medians and ratios.
//
//     bench_move [files=1000] [megabytes per file=5] [folder=current folder] [rounds=3]

#include "core/mover.h"
#include "history/recorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One move of every file of `source` into `target`, recorded in `history` unless it is empty;
// seconds.
double moveAll(const QString& source, const QString& target, const QString& history, int count)
{
    std::vector<TPlanRow> rows;
    for (const QString& name : QDir(source).entryList(QDir::Files, QDir::Name))
        rows.push_back({ source + QLatin1Char('/') + name, 100.0, target });
    NullPump pump;
    int moved = 0;
    const MoveReporter count_moved
        = [&](const TMoveEvent& e) { moved += e.outcome == TMoveOutcome::Moved; };
    QElapsedTimer timer;
    timer.start();
    if (history.isEmpty()) {
        MovePlannedFiles(rows, TMoveSettings {}, pump, count_moved);
    } else {
        TRunRecorder recorder(TRunOrigin::Cli, source, target, history);
        TRunRecorder::RecordingPump recording(recorder, pump);
        TMoveRun move(TMoveSettings {}, recorder.reporter(count_moved));
        move.run(rows, recording);
        recorder.finish(move.summary().end);
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

// Puts the files back without timing it: renames, then everything on disk.
void putBack(const QString& from, const QString& to)
{
    for (const QString& name : QDir(from).entryList(QDir::Files))
        QFile::rename(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name);
    ::sync();
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const qint64 megabytes = argc > 2 ? std::atoll(argv[2]) : 5;
    const QString base = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::currentPath();
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    QTemporaryDir work(base + QStringLiteral("/bench-move-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", qPrintable(base));
        return 1;
    }
    const double totalMB = double(count) * double(megabytes);
    std::printf("%d files of %lld MB in %s, %d rounds each\n", count,
        static_cast<long long>(megabytes), qPrintable(work.path()), rounds);

    const QString source = work.filePath(QStringLiteral("in"));
    const QString target = work.filePath(QStringLiteral("music/Artist"));
    const QString history = work.filePath(QStringLiteral("state/history.sqlite"));
    makeFiles(source, count, megabytes << 20);
    QDir().mkpath(target);
    std::vector<double> plain;
    std::vector<double> recorded;
    for (int round = 0; round < 2 * rounds; ++round) {
        const bool record = round % 2 == 1;
        (record ? recorded : plain)
            .push_back(moveAll(source, target, record ? history : QString(), count));
        putBack(target, source);
    }
    const double moveSeconds = median(plain);
    const double recordedSeconds = median(recorded);

    const QString copySource = work.filePath(QStringLiteral("in2"));
    const QString copyTarget = work.filePath(QStringLiteral("copy"));
    makeFiles(copySource, count, megabytes << 20);
    QDir().mkpath(copyTarget);
    const QByteArray command = "cp " + QFile::encodeName(copySource) + "/*.mp3 "
        + QFile::encodeName(copyTarget) + "/ && sync";
    QElapsedTimer timer;
    timer.restart();
    if (std::system(command.constData()) != 0) {
        std::fprintf(stderr, "cp failed\n");
        return 1;
    }
    const double copySeconds = timer.nsecsElapsed() / 1e9;

    std::printf(
        "mover:              %8.2f s  %8.1f MB/s (median)\n", moveSeconds, totalMB / moveSeconds);
    std::printf("mover with history: %8.2f s  %8.1f MB/s (median)\n", recordedSeconds,
        totalMB / recordedSeconds);
    std::printf("cp + sync:          %8.2f s  %8.1f MB/s\n", copySeconds, totalMB / copySeconds);
    std::printf(
        "with history / without: %.3f (target: at most 1.10)\n", recordedSeconds / moveSeconds);
    std::printf("mover / (cp + sync): %.2f\n", copySeconds / moveSeconds);
    return 0;
}
