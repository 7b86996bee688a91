// How the folder tree opens a folder of many sub-folders, behind a live view: the time from
// expanding the folder until all its rows are in the tree, and the longest stretch the
// window's event loop went without a turn meanwhile. Reference, in the same run: one plain
// read of the folder's entries (the least any tree must do). Also the cost of one
// keystroke in a folder field: a store write made durable at once (atomic, fsync), against
// the field's own way (held in memory, made durable shortly after).
//
//     bench_foldertree [folders=20000]

#include "platform/folderreader.h"
#include "platform/paths.h"
#include "settings/settings.h"
#include "settings/settingsstore.h"
#include "ui/foldertree.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace plumtide;

namespace
{

QModelIndex childByPath(
    const TFolderTreeModel& model, const QModelIndex& parent, const QString& path)
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex child = model.index(row, 0, parent);
        if (model.path(child) == path)
            return child;
    }
    return {};
}

void keystrokes(const QString& folder)
{
    TFileSettingsStore store(folder + QStringLiteral("/Plumtide/settings.ini"),
        folder + QStringLiteral("/autostart/Plumtide.desktop"));
    TOptionsValues values;
    WriteOptions(store, values, QStringLiteral("/usr/bin/plumtide"));
    for (const TDurable when : { TDurable::Now, TDurable::Soon }) {
        std::vector<double> times;
        QString typed = QStringLiteral("/home/user/Music/");
        for (int i = 0; i < 200; ++i) {
            typed += QChar(u'a' + i % 26);
            QElapsedTimer clock;
            clock.start();
            WriteSourceFolder(store, typed, when);
            times.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        std::sort(times.begin(), times.end());
        std::printf("a folder-field keystroke, %s: median %.3f ms, slowest %.3f ms of 200 "
                    "(a frame: 16.7 ms)\n",
            when == TDurable::Now ? "written durably at once (atomic, fsync)"
                                  : "as the field does it (durable 250 ms later)",
            times[times.size() / 2], times.back());
    }
    QElapsedTimer clock;
    clock.start();
    store.Flush();
    std::printf(
        "the flush after typing: %.2f ms, off the keystroke\n", double(clock.nsecsElapsed()) / 1e6);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    QTemporaryDir home;
    const QString big = home.filePath(QStringLiteral("big"));
    for (int i = 0; i < count; ++i)
        QDir().mkpath(big + QStringLiteral("/folder %1").arg(i));
    qputenv("HOME", QFile::encodeName(home.path()));

    QElapsedTimer clock;
    clock.start();
    int entries = 0;
    {
        FolderReader reader(EncodePath(big));
        FolderEntry entry;
        while (reader.next(entry))
            ++entries;
    }
    const double readMs = double(clock.nsecsElapsed()) / 1e6;

    TShellTreeView tree(nullptr);
    tree.resize(258, 252);
    tree.show();
    TFolderTreeModel& model = tree.folders();
    const QModelIndex homeNode = childByPath(model, model.computerIndex(), home.path());
    tree.expand(homeNode);
    while (!childByPath(model, homeNode, big).isValid())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const QModelIndex bigNode = childByPath(model, homeNode, big);

    // A timer that wants to run every millisecond shows how long the loop was held up.
    qint64 lastTurn = 0, longestStall = 0;
    QElapsedTimer loop;
    QTimer probe;
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = loop.nsecsElapsed();
        longestStall = std::max(longestStall, now - lastTurn);
        lastTurn = now;
    });
    loop.start();
    probe.start();
    clock.restart();
    tree.expand(bigNode);
    while (model.rowCount(bigNode) < count)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const double openMs = double(clock.nsecsElapsed()) / 1e6;
    tree.viewport()->repaint();
    const qint64 now = loop.nsecsElapsed();
    longestStall = std::max(longestStall, now - lastTurn);

    std::printf("%d sub-folders (%d entries read plainly in %.1f ms)\n", count, entries, readMs);
    std::printf("opened in the tree in %.1f ms (%.1fx the plain read); longest stall of the "
                "window %.1f ms\n",
        openMs, openMs / std::max(readMs, 0.001), double(longestStall) / 1e6);
    keystrokes(home.path());
    return 0;
}
