#include "core/moving/movedecisions.h"

#include "core/moving/companions.h"
#include "core/moving/emptiedfolders.h"
#include "core/moving/fileutils.h"
#include "core/moving/movesettings.h"
#include "formats/audioformat.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <algorithm>

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

TMoveAction skipped(const QString& file, TReason reason)
{
    return TMoveAction { TActionKind::Skip, file, QString(), reason };
}

// Whether a numbered name that is free can take a file and its companions: None, or
// PathTooLong, or CompanionNameTaken when a companion's name of that number is taken (its
// companions take the same number as the file: the first one free for all).
TReason freeFor(const QString& file, const QString& candidate, const QStringList& companions,
    const TFileSystemView& view)
{
    if (tooLong(file, candidate) || EncodePath(FileNameOf(candidate)).size() > kMaxNameBytes)
        return TReason::PathTooLong;
    const bool companionsFree
        = std::all_of(companions.begin(), companions.end(), [&](const QString& companion) {
              return view.status(CompanionTarget(companion, candidate)).kind == PathKind::Missing;
          });
    return companionsFree ? TReason::None : TReason::CompanionNameTaken;
}

bool movedSomewhere(TMoveOutcome outcome)
{
    return outcome == TMoveOutcome::Moved || outcome == TMoveOutcome::DoubleMoved
        || outcome == TMoveOutcome::Restored;
}

} // namespace

TFileStatus TDiskView::status(const QString& path) const
{
    return StatusOf(path);
}

TReason TDiskView::unusable(const QString& file) const
{
    return UnusableReason(file);
}

bool TDiskView::sameContents(const QString& a, const QString& b) const
{
    return SameContents(a, b);
}

bool TDiskView::sameAudio(const QString& a, const QString& b) const
{
    return SameAudio(a, b);
}

qint64 TDiskView::audioLength(const QString& file) const
{
    return AudioLength(file);
}

QStringList TDiskView::entryNames(const QString& folder) const
{
    return EntryNames(folder);
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

TReason TOverlayView::unusable(const QString& file) const
{
    return m_files.contains(file) ? TReason::None : m_base.unusable(file);
}

QString TOverlayView::reading(const QString& path) const
{
    if (m_beforeReading && m_files.contains(path))
        m_beforeReading();
    return m_files.value(path, path);
}

bool TOverlayView::sameContents(const QString& a, const QString& b) const
{
    return m_base.sameContents(reading(a), reading(b));
}

bool TOverlayView::sameAudio(const QString& a, const QString& b) const
{
    return m_base.sameAudio(reading(a), reading(b));
}

qint64 TOverlayView::audioLength(const QString& file) const
{
    return m_base.audioLength(reading(file));
}

QStringList TOverlayView::entryNames(const QString& folder) const
{
    QStringList names;
    for (const QString& name : m_base.entryNames(folder)) {
        if (!m_removed.contains(JoinPath(folder, name)))
            names.append(name);
    }
    const auto addOwn = [&](const QString& path) {
        if (FolderOf(path) == folder && !names.contains(FileNameOf(path)))
            names.append(FileNameOf(path));
    };
    for (auto file = m_files.constBegin(); file != m_files.constEnd(); ++file)
        addOwn(file.key());
    for (const QString& made : m_folders)
        addOwn(made);
    return names;
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
        for (const TCompanionMove& companion : action.companions) {
            if (companion.reason == TReason::None) {
                addFile(companion.target, companion.file);
                remove(companion.file);
            }
        }
        [[fallthrough]];
    case TActionKind::Restore:
    case TActionKind::RestoreFromTrash:
        addFile(action.target, action.file);
        remove(action.file);
        return;
    case TActionKind::CopyBack:
        addFile(action.target, action.file);
        return;
    case TActionKind::CreateFolder:
        addFolder(action.target);
        return;
    case TActionKind::DropDouble:
    case TActionKind::DeleteDouble:
    case TActionKind::DeleteSmall:
    case TActionKind::DeleteByHand:
    case TActionKind::RemoveFolder:
    case TActionKind::RemoveEmptied:
        remove(action.file);
        return;
    default:
        return;
    }
}

TMoveDecider::TMoveDecider(
    const TMoveSettings& settings, const TLeaveOutPolicy& leaveOut, bool actsTestUse)
    : m_settings(settings)
    , m_leaveOut(leaveOut)
    , m_actsTestUse(actsTestUse)
{
}

TMoveAction TMoveDecider::unlessInUse(const TMoveAction& action, const TFileSystemView& view) const
{
    // The executor opens a song before its companions: a companion in use must keep the song
    // from moving before anything is under way, so it is asked here in every run.
    for (const TCompanionMove& companion : action.companions) {
        if (companion.reason == TReason::None && view.unusable(companion.file) == TReason::InUse)
            return skipped(action.file, TReason::CompanionInUse);
    }
    if (action.kind == TActionKind::Skip || (m_actsTestUse && TakesFileAway(action.kind)))
        return action;
    const TReason why = view.unusable(action.file);
    return why == TReason::None ? action : skipped(action.file, why);
}

TMoveAction TMoveDecider::decide(
    const TWorkItem& item, const TFileSystemView& view, qint64 now) const
{
    struct Decide {
        const TMoveDecider& self;
        const TFileSystemView& view;
        qint64 now;

        TMoveAction operator()(const TLeftOut& leftOut) const
        {
            return skipped(leftOut.file, leftOut.reason);
        }
        TMoveAction operator()(const TCreateFolder& create) const
        {
            if (view.status(create.folder).kind == PathKind::Folder)
                return { TActionKind::Nothing, create.folder };
            return { TActionKind::CreateFolder, create.folder, create.folder };
        }
        TMoveAction operator()(const TPlanRow& row) const
        {
            TMoveAction action = self.unlessInUse(self.decideRow(row, view, now), view);
            action.match = row.match;
            return action;
        }
        TMoveAction operator()(const TSetAsideByHand& file) const
        {
            if (view.status(file.file).kind != PathKind::File)
                return skipped(file.file, TReason::Missing);
            return self.unlessInUse(
                self.setAside(file.file, self.companionsOf(file.file, view), view), view);
        }
        TMoveAction operator()(const TDeleteByHand& file) const
        {
            if (view.status(file.file).kind != PathKind::File)
                return skipped(file.file, TReason::Missing);
            return self.unlessInUse({ TActionKind::DeleteByHand, file.file }, view);
        }
        TMoveAction operator()(const TTakeBack& record) const
        {
            return self.decideTakeBack(record, view);
        }
        TMoveAction operator()(const TStrayCompanion& stray) const
        {
            return self.decideStray(stray, view, now);
        }
    };
    return std::visit(Decide { *this, view, now }, item);
}

TMoveAction TMoveDecider::decideRow(
    const TPlanRow& row, const TFileSystemView& view, qint64 now) const
{
    const QString& file = row.file;
    const auto handled = m_handled.constFind(file);
    if (handled != m_handled.constEnd())
        return skipped(file, *handled);
    const TFileStatus self = view.status(file);
    if (self.kind != PathKind::File)
        return skipped(file, TReason::Missing);
    if (m_leaveOut.stillBeingWritten(file, self, now))
        return skipped(file, TReason::StillBeingWritten);

    if (m_settings.deleteSmallFiles && self.size < qint64(m_settings.smallFileLimit) * 1024)
        return { TActionKind::DeleteSmall, file };
    if (view.status(row.folder).kind != PathKind::Folder)
        return skipped(file, TReason::FolderMissing);
    const QStringList companions = companionsOf(file, view);
    for (const QString& companion : companions) {
        if (m_leaveOut.stillBeingWritten(companion, view.status(companion), now))
            return skipped(file, TReason::StillBeingWritten);
    }

    const QString target = JoinPath(row.folder, FileNameOf(file));
    const TFileStatus there = view.status(target);
    // The file is already where the plan wants it (the source folder lies inside the
    // destination, or is it): moving it onto itself would only put it at risk.
    if (there.sameAs(self))
        return { TActionKind::InPlace, file, target };
    // A name taken is a double only when it holds the same song: albums reuse track names
    // ("01 - Intro.mp3"), and a different song of the same name must never be deleted or set
    // aside for it.
    TMoveAction action { TActionKind::Move, file, target };
    if (there.kind != PathKind::Missing) {
        if (there.kind == PathKind::File && view.sameAudio(file, target))
            return asDouble(file, companions, view);
        action = numbered(file, row.folder, companions, view);
        if (action.kind == TActionKind::Nothing)
            return asDouble(file, companions, view);
        if (action.kind != TActionKind::Move)
            return action;
    } else if (tooLong(file, target)) {
        return skipped(file, TReason::PathTooLong);
    }
    if (m_settings.doublesByAudio && holdsSong(row.folder, file, action.target, view))
        return asDouble(file, companions, view);
    return withCompanions(action, companions, view);
}

TMoveAction TMoveDecider::asDouble(
    const QString& file, const QStringList& companions, const TFileSystemView& view) const
{
    switch (m_settings.doubles) {
    case TDoubles::SetAside:
        return setAside(file, companions, view);
    case TDoubles::Delete:
        return { TActionKind::DeleteDouble, file };
    case TDoubles::Keep:
        break;
    }
    return { TActionKind::KeepDouble, file };
}

TMoveAction TMoveDecider::numbered(const QString& file, const QString& folder,
    const QStringList& companions, const TFileSystemView& view) const
{
    const QString name = FileNameOf(file);
    for (int number = 2; number <= kMaxDoubleNumber; ++number) {
        const QString candidate = JoinPath(folder, NumberedFileName(name, number));
        const TFileStatus there = view.status(candidate);
        if (there.kind == PathKind::Missing) {
            const TReason free = freeFor(file, candidate, companions, view);
            if (free == TReason::PathTooLong)
                return skipped(file, free);
            if (free == TReason::None)
                return { TActionKind::Move, file, candidate, TReason::NameTaken };
            continue;
        }
        if (there.kind == PathKind::File && view.sameAudio(file, candidate))
            return { TActionKind::Nothing, file, candidate };
    }
    return skipped(file, TReason::NoFreeName);
}

bool TMoveDecider::holdsSong(const QString& folder, const QString& file, const QString& target,
    const TFileSystemView& view) const
{
    auto songs = m_songsIn.find(folder);
    if (songs == m_songsIn.end()) {
        songs = m_songsIn.insert(folder, {});
        for (const QString& name : view.entryNames(folder)) {
            const QString path = JoinPath(folder, name);
            if (AudioFormatOfFile(name) == TAudioFormat::None
                || view.status(path).kind != PathKind::File)
                continue;
            if (const qint64 length = view.audioLength(path); length > 0)
                songs->insert(length, path);
        }
    }
    const qint64 length = view.audioLength(file);
    if (length <= 0)
        return false;
    const TFileStatus self = view.status(file);
    for (auto song = songs->constFind(length); song != songs->cend() && song.key() == length;
         ++song) {
        const TFileStatus there = view.status(*song);
        if (there.kind == PathKind::File && !there.sameAs(self) && view.sameAudio(file, *song))
            return true;
    }
    // Filed there now (or about to be): a later copy of the same song is its double.
    songs->insert(length, target);
    return false;
}

TMoveAction TMoveDecider::decideStray(
    const TStrayCompanion& stray, const TFileSystemView& view, qint64 now) const
{
    // Nothing is said of a companion that stays: most are notes nobody asked to file, and
    // one whose song left it behind was told of when the song moved.
    const QString& file = stray.file;
    const TMoveAction stays { TActionKind::Nothing, file };
    const TFileStatus self = view.status(file);
    if (!m_settings.moveCompanions || self.kind != PathKind::File
        || m_leaveOut.stillBeingWritten(file, self, now))
        return stays;
    // The newest move of a song of its name decides. A song moved on or changed since (the
    // user dealt with it) keeps its companion here, as does a name taken beside it.
    for (const TKeptMove& move : stray.moves) {
        if (IsCompanionName(move.file) || !IsCompanionOf(file, move.file))
            continue;
        const TFileStatus song = view.status(move.target);
        if (song.kind != PathKind::File || song.size != move.size || song.modified != move.modified)
            return stays;
        const QString target = CompanionTarget(file, move.target);
        if (tooLong(file, target) || EncodePath(FileNameOf(target)).size() > kMaxNameBytes
            || view.status(target).kind != PathKind::Missing)
            return stays;
        return { TActionKind::Move, file, target };
    }
    return stays;
}

QStringList TMoveDecider::companionsOf(const QString& file, const TFileSystemView& view) const
{
    QStringList companions;
    if (!m_settings.moveCompanions)
        return companions;
    // Most songs have none, and a look at each name costs a system call: the names of a
    // folder are read once a run, and only the candidates among them are looked at. A listing
    // without the song (read before it came, or a folder that cannot be read) rules nothing
    // out.
    const QString folder = FolderOf(file);
    auto names = m_folderNames.constFind(folder);
    if (names == m_folderNames.constEnd()) {
        const QStringList entries = view.entryNames(folder);
        names = m_folderNames.insert(folder, QSet<QString>(entries.begin(), entries.end()));
    }
    const bool listed = names->contains(FileNameOf(file));
    for (const QString& candidate : CompanionCandidates(file)) {
        if ((!listed || names->contains(FileNameOf(candidate)))
            && view.status(candidate).kind == PathKind::File)
            companions.append(candidate);
    }
    return companions;
}

TMoveAction TMoveDecider::withCompanions(
    TMoveAction action, const QStringList& companions, const TFileSystemView& view) const
{
    for (const QString& companion : companions) {
        TCompanionMove move { companion, CompanionTarget(companion, action.target) };
        if (tooLong(move.file, move.target)
            || EncodePath(FileNameOf(move.target)).size() > kMaxNameBytes)
            return skipped(action.file, TReason::PathTooLong);
        // Never over another file: the song goes, and what would have travelled with it
        // stays rather than take another song's lyrics' place.
        if (view.status(move.target).kind != PathKind::Missing)
            move.reason = TReason::CompanionNameTaken;
        action.companions.push_back(std::move(move));
    }
    return action;
}

TMoveAction TMoveDecider::setAside(const QString& file, const TFileSystemView& view) const
{
    return setAside(file, companionsOf(file, view), view);
}

TMoveAction TMoveDecider::setAside(
    const QString& file, const QStringList& companions, const TFileSystemView& view) const
{
    const QString& folder = m_settings.doublesFolder;
    // The default folder is made with the first double; one the user chose is not, and its
    // doubles wait for it while the other files move.
    const PathKind kind = view.status(folder).kind;
    if (kind != PathKind::Folder && !(kind == PathKind::Missing && m_settings.makeDoublesFolder))
        return skipped(file, TReason::DoublesFolderMissing);
    const TFileStatus self = view.status(file);
    const QString name = FileNameOf(file);
    for (int number = 1; number <= kMaxDoubleNumber; ++number) {
        const QString candidate
            = JoinPath(folder, number == 1 ? name : NumberedFileName(name, number));
        const TFileStatus there = view.status(candidate);
        // The doubles folder is the file's own folder: comparing the file with itself would
        // find it "already there" and delete the only copy.
        if (there.sameAs(self))
            return { TActionKind::KeepOwnDouble, file, candidate };
        if (there.kind == PathKind::Missing) {
            const TReason free = freeFor(file, candidate, companions, view);
            if (free == TReason::PathTooLong)
                return skipped(file, free);
            if (free == TReason::None)
                return withCompanions(
                    { TActionKind::SetDoubleAside, file, candidate }, companions, view);
            continue;
        }
        if (there.kind == PathKind::File && view.sameContents(file, candidate))
            return { TActionKind::DropDouble, file, candidate };
    }
    return skipped(file, TReason::NoFreeName);
}

TMoveAction TMoveDecider::decideTakeBack(const TTakeBack& record, const TFileSystemView& view) const
{
    const auto stays = [&](const QString& path, TReason reason) {
        return TMoveAction { TActionKind::Skip, path, QString(), reason, record.record };
    };
    if (record.outcome == TMoveOutcome::Created)
        return decideFolderTakeBack(record, view);
    if (record.outcome == TMoveOutcome::FolderRemoved) {
        // Made again, so that its files come back where they were; one made meanwhile is
        // just as good.
        if (IsRelativePath(record.file))
            return stays(record.file, TReason::RelativePath);
        return { TActionKind::CreateFolder, record.file, record.file, TReason::None,
            record.record };
    }
    const bool moved = movedSomewhere(record.outcome);
    // Where the user knows the file: at its target, or (deleted) at its old path.
    const QString& shown = moved ? record.target : record.file;
    // Runs of older versions kept paths as typed: relative to a folder nobody remembers.
    if (IsRelativePath(record.file) || (moved && IsRelativePath(record.target)))
        return stays(shown, TReason::RelativePath);
    QString from;
    TActionKind kind = TActionKind::Restore;
    if (!record.trashed.isEmpty()) {
        from = record.trashed;
        kind = TActionKind::RestoreFromTrash;
    } else if (moved) {
        from = record.target;
        // The doubles folder keeps its file; the one deleted comes back as a copy of it.
        if (record.targetKept)
            kind = TActionKind::CopyBack;
    } else {
        return stays(record.file, TReason::DeletedForGood);
    }
    const TFileStatus status = view.status(from);
    if (status.kind == PathKind::Missing)
        return stays(shown, record.trashed.isEmpty() ? TReason::Gone : TReason::NotInTrash);
    // A double dropped for the doubles folder's own copy: that copy has its own times.
    const bool sameTimes = kind == TActionKind::CopyBack || status.modified == record.modified;
    if (status.kind != PathKind::File || status.size != record.size || !sameTimes)
        return stays(shown, TReason::Changed);
    if (view.status(record.file).kind != PathKind::Missing)
        return stays(shown, TReason::PathTaken);
    return TMoveAction { kind, from, record.file, TReason::None, record.record };
}

TMoveAction TMoveDecider::decideFolderTakeBack(
    const TTakeBack& record, const TFileSystemView& view) const
{
    TMoveAction action { TActionKind::Skip, record.file, QString(), TReason::None, record.record };
    if (IsRelativePath(record.file))
        action.reason = TReason::RelativePath;
    else if (view.status(record.file).kind != PathKind::Folder)
        action.reason = TReason::Missing;
    else if (!view.entryNames(record.file).isEmpty())
        // What the user put there since is theirs, and so is the folder that holds it.
        action.reason = TReason::FolderNotEmpty;
    else
        action.kind = TActionKind::RemoveFolder;
    return action;
}

void TMoveDecider::done(const QString& file, bool gone)
{
    if (!m_handled.contains(file))
        m_handled.insert(file, gone ? TReason::AlreadyMoved : TReason::AlreadyHandled);
}

bool TakesFileAway(TActionKind kind)
{
    switch (kind) {
    case TActionKind::Move:
    case TActionKind::SetDoubleAside:
    case TActionKind::DropDouble:
    case TActionKind::DeleteDouble:
    case TActionKind::DeleteSmall:
    case TActionKind::DeleteByHand:
    case TActionKind::Restore:
    case TActionKind::RestoreFromTrash:
        return true;
    default:
        return false;
    }
}

TStrayCompanion StrayOf(const QString& file, const TKeptMovesLookup& keptMoves)
{
    return { file, keptMoves ? keptMoves(CompanionStem(file)) : std::vector<TKeptMove>() };
}

TMoveEvent EventOf(const TMoveAction& action)
{
    const auto event = [&](TMoveOutcome outcome, const QString& target = QString()) {
        TMoveEvent result { outcome, action.file, target };
        result.restores = action.record;
        result.match = action.match;
        return result;
    };
    switch (action.kind) {
    case TActionKind::Move: {
        TMoveEvent moved = event(TMoveOutcome::Moved, action.target);
        moved.reason = action.reason; // NameTaken: filed under a numbered name
        return moved;
    }
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
    case TActionKind::CreateFolder:
        // An undo makes again a folder its run removed.
        return action.record != 0 ? event(TMoveOutcome::Restored, action.target)
                                  : event(TMoveOutcome::Created);
    case TActionKind::DeleteByHand:
        return event(TMoveOutcome::Deleted);
    case TActionKind::Restore:
    case TActionKind::RestoreFromTrash:
    case TActionKind::CopyBack:
        return event(TMoveOutcome::Restored, action.target);
    case TActionKind::RemoveFolder:
        return event(TMoveOutcome::Removed);
    case TActionKind::RemoveEmptied:
        return event(TMoveOutcome::FolderRemoved);
    case TActionKind::Nothing:
    case TActionKind::Skip:
        break;
    }
    TMoveEvent skippedEvent
        = event(action.record != 0 ? TMoveOutcome::NotRestored : TMoveOutcome::Skipped);
    skippedEvent.reason = action.reason;
    return skippedEvent;
}

TMoveEvent EventOf(const TCompanionMove& companion)
{
    if (companion.reason == TReason::None)
        return TMoveEvent { TMoveOutcome::Moved, companion.file, companion.target };
    TMoveEvent event { TMoveOutcome::Skipped, companion.file };
    event.reason = companion.reason;
    return event;
}

QString SubjectOf(const TWorkItem& item)
{
    struct Subject {
        QString operator()(const TLeftOut& x) const { return x.file; }
        QString operator()(const TCreateFolder& x) const { return x.folder; }
        QString operator()(const TPlanRow& x) const { return x.file; }
        QString operator()(const TSetAsideByHand& x) const { return x.file; }
        QString operator()(const TDeleteByHand& x) const { return x.file; }
        QString operator()(const TTakeBack& x) const { return x.file; }
        QString operator()(const TStrayCompanion& x) const { return x.file; }
    };
    return std::visit(Subject {}, item);
}

TWorkSource WorkOf(std::vector<TWorkItem> items)
{
    return [items = std::move(items), at = size_t { 0 }](TWorkItem& item) mutable {
        if (at == items.size())
            return false;
        item = std::move(items[at++]);
        return true;
    };
}

bool DecideMoves(const TWorkSource& work, const TMoveSettings& settings,
    const TLeaveOutPolicy& leaveOut, const TFileSystemView& disk, Pump& pump,
    const std::function<void(const TMoveAction&)>& onAction, const QStringList& assumedFolders)
{
    TOverlayView world(disk);
    for (const QString& folder : assumedFolders)
        world.addFolder(folder);
    TMoveDecider decider(settings, leaveOut);
    TEmptiedFolders emptied(settings.sourceFolder, settings.destinationFolder);
    TWorkItem item;
    bool songGoesBack = false;
    while (work(item)) {
        if (!pump.keepGoing())
            return false;
        const TPlanRow* row = std::get_if<TPlanRow>(&item);
        if (row && settings.removeEmptiedFolders)
            emptied.note(row->file, world);
        TMoveAction action = decider.decide(item, world, TLeaveOutPolicy::Now());
        if (const TTakeBack* back = std::get_if<TTakeBack>(&item)) {
            if (back->follows && !songGoesBack)
                action = TMoveAction { TActionKind::Skip, back->target, QString(),
                    TReason::SongStayed, back->record };
            else if (!back->follows)
                songGoesBack = action.kind != TActionKind::Skip;
        }
        onAction(action);
        if (TakesFileAway(action.kind))
            emptied.tookOut(action.file);
        if (action.kind == TActionKind::Move || action.kind == TActionKind::SetDoubleAside) {
            for (const TCompanionMove& companion : action.companions) {
                onAction(companion.reason == TReason::None
                        ? TMoveAction { TActionKind::Move, companion.file, companion.target }
                        : skipped(companion.file, companion.reason));
                if (companion.reason == TReason::None)
                    emptied.tookOut(companion.file);
            }
        }
        world.apply(action);
        if (row)
            decider.done(row->file, TakesFileAway(action.kind));
    }
    emptied.offer(world, TLeaveOutPolicy::Now() - leaveOut.settleMs() * 1'000'000,
        [&](const QString& folder) {
            const TMoveAction removal { TActionKind::RemoveEmptied, folder };
            onAction(removal);
            world.apply(removal);
            return true;
        });
    return true;
}

} // namespace plumtide
