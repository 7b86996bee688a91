#pragma once

// A music library on disk for the history's tests: a source folder, artist folders, a
// doubles folder, and a history, a Trash and a settings-free sort of its own.

#include "core/pipeline.h"
#include "session/recorder.h"
#include "session/undo.h"
#include "tests/support/pumps.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace plumtide::test
{

class HistoryLibrary
{
public:
    // Below `base` (the temporary folder when empty): in/, music/<artist> for each artist,
    // doubles/. The history and the home Trash are in a home of their own, in the temporary
    // folder.
    explicit HistoryLibrary(const QString& base = QString())
        : m_dir(base.isEmpty() ? QDir::tempPath() + QStringLiteral("/plumtide-XXXXXX")
                               : base + QStringLiteral("/plumtide-XXXXXX"))
    {
        for (const char* folder : { "in", "music/Madonna", "music/ABBA", "music/Queen", "doubles" })
            QDir().mkpath(path(QString::fromLatin1(folder)));
        qputenv("XDG_DATA_HOME", home(QStringLiteral("data")).toUtf8());
    }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    QString home(const QString& relative) const { return m_home.filePath(relative); }
    QString history() const { return home(QStringLiteral("state/history.sqlite")); }

    // A song without a tag (its name names the artist) of `size` bytes that differ per name.
    QString song(const QString& relative, qint64 size = 3000) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QByteArray bytes = QCryptographicHash::hash(relative.toUtf8(), QCryptographicHash::Sha256);
        while (bytes.size() < size)
            bytes += bytes;
        QFile file(path(relative));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.left(size));
        return path(relative);
    }

    // A copy of the song at `relative`: a double of it.
    void copySong(const QString& relative, const QString& copy) const
    {
        QDir().mkpath(QFileInfo(path(copy)).path());
        EXPECT_TRUE(QFile::copy(path(relative), path(copy)));
    }

    // Every file below `relative` with a checksum of its contents.
    std::map<QString, QByteArray> tree(const QString& relative) const
    {
        return treeAt(path(relative));
    }

    static std::map<QString, QByteArray> treeAt(const QString& root)
    {
        std::map<QString, QByteArray> files;
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            file.open(QIODevice::ReadOnly);
            files[file.fileName().mid(root.size() + 1)]
                = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
        }
        return files;
    }

    // A sort as a command gives it: from in/ into music/, doubles into doubles/, no settle
    // time (the tests write their files just before).
    struct SortJob {
        TRunOrigin origin = TRunOrigin::Cli;
        TMoveSettings move;
    };
    SortJob job(TRunOrigin origin = TRunOrigin::Cli) const
    {
        SortJob job;
        job.move.doublesFolder = path(QStringLiteral("doubles"));
        job.origin = origin;
        return job;
    }

    // Plans and carries out the job, recorded; what the recorder told (a history set aside).
    // Throws what the run throws: a history that cannot be used stops it.
    QStringList sort(const SortJob& job) const
    {
        TSortRequest request;
        request.source = path(QStringLiteral("in"));
        request.destination = path(QStringLiteral("music"));
        request.companions = job.move.moveCompanions;
        request.leaveOut = TLeaveOutPolicy(
            job.origin, 0, IsAutomatic(job.origin) ? LoadHolds(history()) : THeldFiles());
        TCarryOut how;
        how.move = job.move;
        how.move.sourceFolder = request.source;
        how.move.destinationFolder = request.destination;
        how.leaveOut = request.leaveOut;
        NullPump pump;
        NullDetails details;
        TPlanObserver quiet;
        TRunRecorder recorder(job.origin, request.source, request.destination, history());
        const TPlannedSort plan = PlanSortRun(request, pump, details, quiet);
        CarryOut(how, plan.work(), plan.filePaths(), pump, &recorder);
        QStringList told;
        if (!recorder.notice().isEmpty())
            told.append(recorder.notice());
        return told;
    }

    std::vector<TMoveEvent> undo(qint64 run) const
    {
        std::vector<TMoveEvent> events;
        NullPump pump;
        UndoRun(history(), run, false, pump, [&](const TMoveEvent& e) { events.push_back(e); });
        return events;
    }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_home;
};

} // namespace plumtide::test
