#pragma once

// A music library on disk for the history's tests: a source folder, artist folders, a
// doubles folder, and a history, a Trash and a settings-free sort of its own.

#include "core/sortjob.h"
#include "history/recorder.h"
#include "history/undo.h"

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

    TSortJob job(TRunOrigin origin = TRunOrigin::Cli) const
    {
        TSortJob job;
        job.source = path(QStringLiteral("in"));
        job.destination = path(QStringLiteral("music"));
        job.move.doublesFolder = path(QStringLiteral("doubles"));
        job.origin = origin;
        return job;
    }

    // Runs the job, recorded; what the observer was told of the history.
    QStringList sort(const TSortJob& job) const
    {
        struct Observer : TSortJobObserver {
            QStringList told;
            void notRecorded(const QString& why) override { told.append(why); }
        } observer;
        NullPump pump;
        NullDetails details;
        RunRecordedSortJob(job, pump, details, observer, history());
        return observer.told;
    }

    std::vector<TUndoEvent> undo(qint64 run) const
    {
        std::vector<TUndoEvent> events;
        NullPump pump;
        UndoRun(history(), run, false, pump, [&](const TUndoEvent& e) { events.push_back(e); });
        return events;
    }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_home;
};

} // namespace plumtide::test
