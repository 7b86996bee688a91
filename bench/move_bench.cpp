// Moves files with the mover, and the same files with `mv` followed by one `sync`, in the
// same run, and prints both times and the mover's speed as a share of mv's, each the median
// of a few rounds with warm caches:
// - within one file system (where the mover renames): many small files, moved without and
//   with the history recording the run, and the undo of the recorded move;
// - across two (where it copies): fewer files of a few MB, without and with the history.
//
//     bench_move [files within=2000] [files across=300] [megabytes per file across=5]
//                [folder=current folder] [folder on another file system=/dev/shm] [rounds=3]
//
// Targets: within one file system, the move with the history and its undo each at least
// 0.5 x the speed of mv + sync; across file systems at least 0.8 x; with the history at
// most 1.10 x the time without.

#include "core/pipeline.h"
#include "session/recorder.h"
#include "session/undo.h"
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
    QByteArray block(int(std::min<qint64>(bytes, 1 << 20)), '\0');
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

void expectAll(int done, int count, const char* what)
{
    if (done != count) {
        std::fprintf(stderr, "only %d of %d files %s\n", done, count, what);
        std::exit(1);
    }
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
        // A history that cannot be written throws: the benchmark ends there.
        CarryOut(TCarryOut {}, work, {}, pump, &recorder, countMoved);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    expectAll(moved, count, "moved");
    return seconds;
}

// The undo of the newest run of `history`; seconds.
double undoSeconds(const QString& history, int count)
{
    const std::optional<qint64> last = THistory(history, THistory::Access::Read).lastUndoable();
    if (!last) {
        std::fprintf(stderr, "nothing to undo\n");
        std::exit(1);
    }
    NullPump pump;
    QElapsedTimer timer;
    timer.start();
    const TUndoSummary undone = UndoRun(history, *last, false, pump, {});
    const double seconds = timer.nsecsElapsed() / 1e9;
    expectAll(undone.restored, count, "restored");
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

struct Folders {
    QTemporaryDir from;
    QTemporaryDir to;
    QString in;
    QString music;
    QString moved;
    QString history;
    bool sameFileSystem;
};

std::unique_ptr<Folders> folders(const QString& sourceBase, const QString& targetBase)
{
    auto made = std::make_unique<Folders>(Folders {
        QTemporaryDir(sourceBase + QStringLiteral("/bench-move-XXXXXX")),
        QTemporaryDir(targetBase + QStringLiteral("/bench-move-XXXXXX")), {}, {}, {}, {}, false });
    if (!made->from.isValid() || !made->to.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s or %s\n", qPrintable(sourceBase),
            qPrintable(targetBase));
        std::exit(1);
    }
    made->in = made->from.filePath(QStringLiteral("in"));
    made->music = made->to.filePath(QStringLiteral("music/Artist"));
    made->moved = made->to.filePath(QStringLiteral("mv"));
    made->history = made->from.filePath(QStringLiteral("state/history.sqlite"));
    QDir().mkpath(made->music);
    QDir().mkpath(made->moved);
    struct stat a {
    };
    struct stat b {
    };
    made->sameFileSystem = ::stat(QFile::encodeName(made->from.path()).constData(), &a) == 0
        && ::stat(QFile::encodeName(made->to.path()).constData(), &b) == 0 && a.st_dev == b.st_dev;
    return made;
}

void printHeader(const char* title, const Folders& f, int count, const QString& size, int rounds)
{
    std::printf("%s: %d files of %s, %s -> %s (%s), median of %d\n", title, count, qPrintable(size),
        qPrintable(f.from.path()), qPrintable(f.to.path()),
        f.sameFileSystem ? "one file system" : "two file systems", rounds);
}

void printRatio(const char* what, double ours, double mv, double target)
{
    std::printf("  %-22s %8.3f s; speed / (mv + sync) speed: %.2f x (target at least %.1f)\n", what,
        ours, mv / ours, target);
}

// Within one file system: the move without and with the history, and the undo of the
// recorded move, each against mv + sync of the same files.
void compareRenames(const QString& base, int count, int rounds)
{
    const auto f = folders(base, base);
    constexpr qint64 kBytes = 64 << 10;
    std::vector<double> plain, recorded, undone, mv;
    makeFiles(f->in, count, kBytes);
    for (int round = 0; round < rounds; ++round) {
        plain.push_back(moverSeconds(f->in, f->music, count));
        run("mv " + quoted(f->music) + "/*.mp3 " + quoted(f->in) + "/ && sync");
        recorded.push_back(moverSeconds(f->in, f->music, count, f->history));
        undone.push_back(undoSeconds(f->history, count));
        mv.push_back(mvSeconds(f->in, f->moved));
        run("mv " + quoted(f->moved) + "/*.mp3 " + quoted(f->in) + "/ && sync");
    }
    printHeader("within one file system", *f, count, QStringLiteral("64 KB"), rounds);
    const double theirs = median(mv);
    std::printf("  mv + sync:             %8.3f s\n", theirs);
    printRatio("mover:", median(plain), theirs, 0.5);
    printRatio("mover with history:", median(recorded), theirs, 0.5);
    printRatio("undo of that move:", median(undone), theirs, 0.5);
    std::printf(
        "  with history / without: %.3f (target at most 1.10)\n", median(recorded) / median(plain));
}

// Across file systems: the move without and with the history against mv + sync.
void compareCopies(
    const QString& sourceBase, const QString& targetBase, int count, qint64 megabytes, int rounds)
{
    const auto f = folders(sourceBase, targetBase);
    std::vector<double> plain, recorded, mv;
    for (int round = 0; round < rounds; ++round) {
        makeFiles(f->in, count, megabytes << 20);
        plain.push_back(moverSeconds(f->in, f->music, count));
        run("rm -f " + quoted(f->music) + "/*.mp3 && sync");
        makeFiles(f->in, count, megabytes << 20);
        recorded.push_back(moverSeconds(f->in, f->music, count, f->history));
        run("rm -f " + quoted(f->music) + "/*.mp3 && sync");
        makeFiles(f->in, count, megabytes << 20);
        mv.push_back(mvSeconds(f->in, f->moved));
        run("rm -f " + quoted(f->moved) + "/*.mp3 && sync");
    }
    printHeader("across file systems", *f, count, QStringLiteral("%1 MB").arg(megabytes), rounds);
    const double theirs = median(mv);
    const double totalMB = double(count) * double(megabytes);
    std::printf("  mv + sync:             %8.3f s  %9.1f MB/s\n", theirs, totalMB / theirs);
    printRatio("mover:", median(plain), theirs, 0.8);
    std::printf(
        "  with history / without: %.3f (target at most 1.10)\n", median(recorded) / median(plain));
}

} // namespace

int main(int argc, char** argv)
{
    const int within = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int across = argc > 2 ? std::atoi(argv[2]) : 300;
    const qint64 megabytes = argc > 3 ? std::atoll(argv[3]) : 5;
    const QString base = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QDir::currentPath();
    const QString other = argc > 5 ? QString::fromLocal8Bit(argv[5]) : QStringLiteral("/dev/shm");
    const int rounds = argc > 6 ? std::max(1, std::atoi(argv[6])) : 3;

    if (within > 0)
        compareRenames(base, within, rounds);
    if (across <= 0)
        return 0;
    if (QFileInfo(other).isDir())
        compareCopies(base, other, across, megabytes, rounds);
    else
        std::printf("across file systems: skipped, no folder %s\n", qPrintable(other));
    return 0;
}
