// Moves files of a few MB within one file system with the mover (durable copy, rename into
// place, delete) and copies the same files with `cp` followed by one `sync`, in the same
// run, and prints both throughputs and their ratio.
//
//     bench_move [files=1000] [megabytes per file=5] [folder=current folder]

#include "core/mover.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

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

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const qint64 megabytes = argc > 2 ? std::atoll(argv[2]) : 5;
    const QString base = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::currentPath();
    QTemporaryDir work(base + QStringLiteral("/bench-move-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", qPrintable(base));
        return 1;
    }
    const double totalMB = double(count) * double(megabytes);
    std::printf("%d files of %lld MB in %s\n", count, static_cast<long long>(megabytes),
        qPrintable(work.path()));

    const QString source = work.filePath(QStringLiteral("in"));
    const QString target = work.filePath(QStringLiteral("music/Artist"));
    makeFiles(source, count, megabytes << 20);
    QDir().mkpath(target);
    std::vector<TPlanRow> rows;
    for (const QString& name : QDir(source).entryList(QDir::Files, QDir::Name))
        rows.push_back({ source + QLatin1Char('/') + name, 100.0, target });

    NullPump pump;
    int moved = 0;
    QElapsedTimer timer;
    timer.start();
    MovePlannedFiles(rows, TMoveSettings {}, pump,
        [&](const TMoveEvent& e) { moved += e.outcome == TMoveOutcome::Moved; });
    const double moveSeconds = timer.nsecsElapsed() / 1e9;
    if (moved != count) {
        std::fprintf(stderr, "only %d of %d files moved\n", moved, count);
        return 1;
    }

    const QString copySource = work.filePath(QStringLiteral("in2"));
    const QString copyTarget = work.filePath(QStringLiteral("copy"));
    makeFiles(copySource, count, megabytes << 20);
    QDir().mkpath(copyTarget);
    const QByteArray command = "cp " + QFile::encodeName(copySource) + "/*.mp3 "
        + QFile::encodeName(copyTarget) + "/ && sync";
    timer.restart();
    if (std::system(command.constData()) != 0) {
        std::fprintf(stderr, "cp failed\n");
        return 1;
    }
    const double copySeconds = timer.nsecsElapsed() / 1e9;

    std::printf("mover:      %8.2f s  %8.1f MB/s\n", moveSeconds, totalMB / moveSeconds);
    std::printf("cp + sync:  %8.2f s  %8.1f MB/s\n", copySeconds, totalMB / copySeconds);
    std::printf("mover / (cp + sync): %.2f\n", copySeconds / moveSeconds);
    return 0;
}
