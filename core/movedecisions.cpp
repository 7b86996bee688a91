#include "core/movedecisions.h"

#include "core/fileutils.h"
#include "core/mover.h"
#include "core/movesettings.h"
#include "platform/paths.h"

namespace plumtide
{

namespace
{

// Names tried in the doubles folder before giving up on a file.
constexpr int kMaxDoubleNumber = 10000;

// The longest file name Linux file systems take, in bytes.
constexpr qsizetype kMaxNameBytes = 255;

bool tooLong(const QString& a, const QString& b)
{
    return a.size() > MaxCopyPathLength || b.size() > MaxCopyPathLength;
}

} // namespace

TFileStatus TDiskView::status(const QString& path) const
{
    return StatusOf(path);
}

bool TDiskView::inUse(const QString& file) const
{
    return IsFileInUse(file);
}

bool TDiskView::sameContents(const QString& a, const QString& b) const
{
    return SameContents(a, b);
}

TFileStatus TOverlayView::status(const QString& path) const
{
    if (m_removed.contains(path))
        return {};
    const auto file = m_files.constFind(path);
    if (file != m_files.constEnd())
        return m_base.status(*file);
    if (m_folders.contains(path)) {
        TFileStatus folder;
        folder.kind = PathKind::Folder;
        return folder;
    }
    return m_base.status(path);
}

bool TOverlayView::inUse(const QString& file) const
{
    return !m_files.contains(file) && m_base.inUse(file);
}

bool TOverlayView::sameContents(const QString& a, const QString& b) const
{
    return m_base.sameContents(m_files.value(a, a), m_files.value(b, b));
}

void TOverlayView::addFile(const QString& path, const QString& from)
{
    m_removed.remove(path);
    m_files.insert(path, m_files.value(from, from));
}

void TOverlayView::addFolder(const QString& path)
{
    m_removed.remove(path);
    m_folders.insert(path);
}

void TOverlayView::remove(const QString& path)
{
    m_files.remove(path);
    m_removed.insert(path);
}

void TOverlayView::forget(const QString& path)
{
    m_files.remove(path);
    m_folders.remove(path);
    m_removed.remove(path);
}

void TOverlayView::apply(const TMoveAction& action)
{
    switch (action.kind) {
    case TActionKind::Move:
    case TActionKind::SetDoubleAside:
        addFile(action.target, action.file);
        remove(action.file);
        return;
    case TActionKind::DropDouble:
    case TActionKind::DeleteDouble:
    case TActionKind::DeleteSmall:
        remove(action.file);
        return;
    default:
        return;
    }
}

TMoveDecider::TMoveDecider(const TMoveSettings& settings)
    : m_settings(settings)
{
}

TMoveAction TMoveDecider::decide(const TPlanRow& row, const TFileSystemView& view) const
{
    const QString& file = row.file;
    const auto skipped = [&](const QString& reason) {
        return TMoveAction { TActionKind::Skip, file, QString(), reason };
    };
    const auto handled = m_handled.constFind(file);
    if (handled != m_handled.constEnd())
        return skipped(*handled);
    const TFileStatus self = view.status(file);
    if (self.kind != PathKind::File)
        return skipped(skip::Missing);

    if (m_settings.deleteSmallFiles && self.size < qint64(m_settings.smallFileLimit) * 1024) {
        if (view.inUse(file))
            return skipped(skip::InUse);
        return { TActionKind::DeleteSmall, file, QString(), QString() };
    }
    if (view.inUse(file))
        return skipped(skip::InUse);
    if (view.status(row.folder).kind != PathKind::Folder)
        return skipped(skip::FolderMissing);

    const QString target = JoinPath(row.folder, FileNameOf(file));
    const TFileStatus there = view.status(target);
    // The file is already where the plan wants it (the source folder lies inside the
    // destination, or is it): moving it onto itself would only put it at risk.
    if (there.sameAs(self))
        return { TActionKind::InPlace, file, target, QString() };
    if (there.kind == PathKind::Missing) {
        if (tooLong(file, target))
            return skipped(skip::PathTooLong);
        return { TActionKind::Move, file, target, QString() };
    }

    // Its name is taken in its folder (by a file, or by anything else): a double.
    if (m_settings.moveDoubles)
        return setAside(file, view);
    if (m_settings.deleteDoubles)
        return { TActionKind::DeleteDouble, file, QString(), QString() };
    return { TActionKind::KeepDouble, file, QString(), QString() };
}

TMoveAction TMoveDecider::setAside(const QString& file, const TFileSystemView& view) const
{
    const QString& folder = m_settings.doublesFolder;
    if (view.status(folder).kind != PathKind::Folder)
        return { TActionKind::Stop, file, folder,
            QStringLiteral("The doubles folder is missing:") };
    const TFileStatus self = view.status(file);
    const QString name = FileNameOf(file);
    for (int number = 1; number <= kMaxDoubleNumber; ++number) {
        const QString candidate
            = JoinPath(folder, number == 1 ? name : NumberedFileName(name, number));
        const TFileStatus there = view.status(candidate);
        // The doubles folder is the file's own folder: comparing the file with itself would
        // find it "already there" and delete the only copy.
        if (there.sameAs(self))
            return { TActionKind::KeepOwnDouble, file, candidate, QString() };
        if (there.kind == PathKind::Missing) {
            if (tooLong(file, candidate)
                || EncodePath(FileNameOf(candidate)).size() > kMaxNameBytes)
                return { TActionKind::Skip, file, QString(), skip::PathTooLong };
            return { TActionKind::SetDoubleAside, file, candidate, QString() };
        }
        if (there.kind == PathKind::File && view.sameContents(file, candidate))
            return { TActionKind::DropDouble, file, candidate, QString() };
    }
    return { TActionKind::Skip, file, QString(), skip::NoFreeName };
}

void TMoveDecider::done(const TMoveAction& action)
{
    switch (action.kind) {
    case TActionKind::Move:
    case TActionKind::SetDoubleAside:
    case TActionKind::DropDouble:
    case TActionKind::DeleteDouble:
    case TActionKind::DeleteSmall:
        m_handled.insert(action.file, skip::AlreadyMoved);
        return;
    case TActionKind::InPlace:
    case TActionKind::KeepOwnDouble:
        // It stays where it is on purpose: a later row must not carry it off after all.
        m_handled.insert(action.file, skip::AlreadyHandled);
        return;
    default:
        return;
    }
}

TMoveEvent EventOf(const TMoveAction& action)
{
    const auto event = [&](TMoveOutcome outcome, const QString& target = QString()) {
        return TMoveEvent { outcome, action.file, target, QString() };
    };
    switch (action.kind) {
    case TActionKind::Move:
        return event(TMoveOutcome::Moved, action.target);
    case TActionKind::SetDoubleAside:
    case TActionKind::DropDouble:
        return event(TMoveOutcome::DoubleMoved, action.target);
    case TActionKind::DeleteDouble:
        return event(TMoveOutcome::DoubleDeleted);
    case TActionKind::KeepDouble:
    case TActionKind::KeepOwnDouble:
        return event(TMoveOutcome::DoubleKept);
    case TActionKind::DeleteSmall:
        return event(TMoveOutcome::SmallDeleted);
    case TActionKind::InPlace:
        return event(TMoveOutcome::InPlace);
    case TActionKind::Skip:
    case TActionKind::Stop:
        break;
    }
    return TMoveEvent { TMoveOutcome::Skipped, action.file, QString(), action.reason };
}

bool DecideMoves(const std::vector<TPlanRow>& rows, const TMoveSettings& settings,
    const TFileSystemView& disk, Pump& pump,
    const std::function<void(const TMoveAction&)>& onAction, const QStringList& assumedFolders)
{
    size_t at = 0;
    return DecideMoves(
        [&](TPlanRow& row) {
            if (at == rows.size())
                return false;
            row = rows[at++];
            return true;
        },
        settings, disk, pump, onAction, assumedFolders);
}

bool DecideMoves(const std::function<bool(TPlanRow&)>& next, const TMoveSettings& settings,
    const TFileSystemView& disk, Pump& pump,
    const std::function<void(const TMoveAction&)>& onAction, const QStringList& assumedFolders)
{
    TOverlayView world(disk);
    for (const QString& folder : assumedFolders)
        world.addFolder(folder);
    TMoveDecider decider(settings);
    TPlanRow row {};
    while (next(row)) {
        if (!pump.keepGoing())
            return false;
        const TMoveAction action = decider.decide(row, world);
        onAction(action);
        if (action.kind == TActionKind::Stop)
            break;
        world.apply(action);
        decider.done(action);
    }
    return true;
}

} // namespace plumtide
