#pragma once

#include "core/pump.h"
#include "core/rows.h"
#include "platform/fileops.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace plumtide
{

struct TMoveSettings;
struct TMoveEvent;

// What the move does with one plan row's file. Deciding changes nothing on disk; carrying
// an action out is the executor's work (see mover.h), which decides again at the moment it
// acts, because the file or its folder may have changed since.
enum class TActionKind {
    Move, // into its artist folder under its own name (target)
    SetDoubleAside, // a double, moved into the doubles folder under a free name (target)
    DropDouble, // a double whose contents the doubles folder already holds (target): deleted
    DeleteDouble, // a double, deleted as the settings say
    KeepDouble, // a double, left where it is as the settings say
    KeepOwnDouble, // a double whose place in the doubles folder is the file itself: stays
    DeleteSmall, // smaller than the limit: deleted
    InPlace, // its artist folder is the folder it is in: nothing to do
    Skip, // stays, for the reason given
    Stop, // the whole run cannot go on (reason; target names the folder at fault)
};

struct TMoveAction {
    TActionKind kind = TActionKind::Skip;
    QString file;
    QString target;
    QString reason;
};

// How the move sees the disk. The executor looks at the disk itself; a dry run and the
// executor's own pending work see it through TOverlayView; tests can give any world.
class TFileSystemView
{
public:
    virtual ~TFileSystemView() = default;
    virtual TFileStatus status(const QString& path) const = 0;
    // Whether another process has the file open or locked (or it cannot be opened).
    virtual bool inUse(const QString& file) const = 0;
    // Whether two existing files have the same bytes.
    virtual bool sameContents(const QString& a, const QString& b) const = 0;
};

// The real disk, through the platform layer.
class TDiskView : public TFileSystemView
{
public:
    TFileStatus status(const QString& path) const override;
    bool inUse(const QString& file) const override;
    bool sameContents(const QString& a, const QString& b) const override;
};

// A view with changes laid over another: names that will exist (files being moved there,
// folders a dry run assumes made) and names that will be gone (files moved away or deleted).
class TOverlayView : public TFileSystemView
{
public:
    explicit TOverlayView(const TFileSystemView& base)
        : m_base(base)
    {
    }

    TFileStatus status(const QString& path) const override;
    bool inUse(const QString& file) const override;
    bool sameContents(const QString& a, const QString& b) const override;

    void addFile(const QString& path, const QString& from);
    void addFolder(const QString& path);
    void remove(const QString& path);
    // Drops what is known of `path`: the disk shows it as it is now.
    void forget(const QString& path);
    // What an action, once carried out, changes.
    void apply(const TMoveAction& action);

private:
    const TFileSystemView& m_base;
    QHash<QString, QString> m_files; // path -> the file whose bytes it will hold
    QSet<QString> m_folders;
    QSet<QString> m_removed;
};

// Decides the actions of a move row by row. It remembers the files earlier rows dealt with,
// so a later row of the same file is skipped.
class TMoveDecider
{
public:
    explicit TMoveDecider(const TMoveSettings& settings);

    // The action for `row` as `view` shows the disk now.
    TMoveAction decide(const TPlanRow& row, const TFileSystemView& view) const;
    // Notes that `action` was carried out, for the rows still to come.
    void done(const TMoveAction& action);
    // Forgets what was noted of `file` (its move could not be finished after all).
    void forget(const QString& file) { m_handled.remove(file); }

    // Where a double goes: its own name in the doubles folder, or else the first free
    // "name (n).ext"; a copy with the same bytes, or the file itself, ends the search.
    TMoveAction setAside(const QString& file, const TFileSystemView& view) const;

private:
    const TMoveSettings& m_settings;
    QHash<QString, QString> m_handled; // file -> the reason a later row of it is skipped
};

// The event that reports a carried-out action.
TMoveEvent EventOf(const TMoveAction& action);

// Decides every row as a move would, in order, changing nothing: a dry run. Each later row
// sees what the earlier ones would have done. `assumedFolders` are taken to exist (the
// folders a real run would create first). The pump runs before each row; returns false
// when it stopped the rows. A Stop action is the last one given.
bool DecideMoves(const std::vector<TPlanRow>& rows, const TMoveSettings& settings,
    const TFileSystemView& disk, Pump& pump,
    const std::function<void(const TMoveAction&)>& onAction,
    const QStringList& assumedFolders = {});
// The same with the rows made as they are needed (see TMoveRun::run).
bool DecideMoves(const std::function<bool(TPlanRow&)>& next, const TMoveSettings& settings,
    const TFileSystemView& disk, Pump& pump,
    const std::function<void(const TMoveAction&)>& onAction,
    const QStringList& assumedFolders = {});

} // namespace plumtide
