#pragma once

#include "core/moving/movedecisions.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>

namespace plumtide
{

// The sub-folders of the source that a run takes files out of, and those it empties: a run
// with removeEmptiedFolders removes them at its end, a dry run says it would. Only folders
// below the source and outside the destination count.
class TEmptiedFolders
{
public:
    TEmptiedFolders(const QString& source, const QString& destination);

    // Before a plan row's file is dealt with: notes the folders that hold it, each with its
    // time of change as `view` shows it now, before the run took anything out of it.
    void note(const QString& file, const TFileSystemView& view);
    // A file that left its folder (moved, set aside or deleted).
    void tookOut(const QString& file);

    // Offers each folder the run emptied of everything, deepest first: a folder it took a
    // file (or an emptied folder) out of, that nothing else changed since `quietSince`
    // (nanoseconds since the epoch) before the run, and that `view` shows empty, not even a
    // hidden file in it. `remove` returns whether the folder went; its parent then counts as
    // taken from.
    void offer(const TFileSystemView& view, qint64 quietSince,
        const std::function<bool(const QString&)>& remove);

private:
    QString m_source; // absolute, with a trailing '/'
    QString m_destination;
    QHash<QString, qint64> m_before; // folder -> its time of change before the run
    QSet<QString> m_tookFrom;
};

} // namespace plumtide
