#include "core/moving/durablemove.h"

#include "core/moving/fileutils.h"
#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/filecopy.h"
#include "platform/filestatus.h"
#include "platform/folderreader.h"
#include "platform/lease.h"
#include "platform/locks.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>

namespace plumtide
{

namespace
{

// Copies are committed together once this many wait or they hold this many bytes: the disk
// then writes them side by side, which a flush after every single file would prevent, and a
// run never holds much uncommitted work.
constexpr size_t kMaxCopies = 16;
constexpr qint64 kMaxCopiedBytes = 64 << 20;
// Renames hold no bytes, so their folders are flushed together for many files (a flush
// costs as much as hundreds of renames); but each waiting move holds its source open: the
// process must keep descriptors to spare, and leases are taken on the lower ones only.
constexpr size_t kMaxMoves = 2048;

size_t maxMoves()
{
    static const size_t limit = size_t(std::clamp<qint64>(OpenFileLimit() / 2, 16, kMaxMoves));
    return limit;
}

const QRegularExpression& partialName()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\.plumtide-(\\d+)-\\d+\\.(part|gone)$"));
    return pattern;
}

} // namespace

QString PartialFileName(const char* kind)
{
    static std::atomic<quint64> counter { 0 };
    return QStringLiteral(".plumtide-%1-%2.%3")
        .arg(QCoreApplication::applicationPid())
        .arg(counter++)
        .arg(QLatin1String(kind));
}

bool IsPartialFileName(const QString& name)
{
    return partialName().match(name).hasMatch();
}

namespace
{

// Whether a live move holds the leftover: a copy being written holds a lock on its first
// byte, a source set aside its lease or a shared lock there. Another process's lease makes
// the open fail at once rather than wait (and tells that move it was opened: it then puts its
// file back, which is safe). What cannot be opened is not judged, and stays.
bool heldByALiveMove(const TOpenFolder& folder, const QString& name)
{
    const FileDescriptor file = folder.look(name);
    if (!file.isOpen())
        return true;
    return ByteLockedElsewhere(file, 0);
}

} // namespace

int RemoveStalePartialFiles(const TOpenFolder& folder)
{
    int removed = 0;
    for (const QString& name : folder.names()) {
        if (!name.startsWith(QLatin1String(".plumtide-")) || !IsPartialFileName(name))
            continue;
        if (folder.entry(name).kind == PathKind::File && !heldByALiveMove(folder, name)
            && folder.remove(name) == 0)
            ++removed;
    }
    return removed;
}

int RemoveStalePartialFiles(const QString& folder)
{
    try {
        return RemoveStalePartialFiles(TOpenFolder::Open(folder));
    } catch (const IOError&) {
        return 0;
    }
}

class TDurableMove::Impl
{
public:
    ~Impl()
    {
        try {
            drop();
        } catch (...) {
            // What is left is a leftover the next run removes.
        }
    }

    TAdd addFollower(const QString& source, const QString& target)
    {
        if (m_lastLeader < 0)
            return {};
        const std::ptrdiff_t leader = m_lastLeader;
        const TAdd added = add(source, target, false);
        m_lastLeader = leader;
        if (added.added == TAdded::Added)
            m_moves.back().leader = leader;
        return added;
    }

    TAdd add(const QString& source, const QString& target, bool keepSource)
    {
        if (source.isEmpty() || target.isEmpty() || source.size() > MaxCopyPathLength
            || target.size() > MaxCopyPathLength)
            return {};
        Folder& to = folderAt(FolderOf(target));
        Folder& from = folderAt(FolderOf(source));
        // A folder that refuses the move refuses it now, before anything is written, and
        // not only once the group is made.
        for (const Folder* folder : { &to, keepSource ? nullptr : &from }) {
            if (folder && folder->access() != 0)
                throw IOError(QStringLiteral("Cannot change the folder"), folder->open.path(),
                    folder->access());
        }
        Move move { &from, &to, FileNameOf(source), FileNameOf(target) };
        if (!m_moves.empty()) {
            const TFileStatus entry = from.open.entry(move.fromName);
            for (const Move& waiting : m_moves) {
                if (waiting.source.status().sameAs(entry))
                    return { TAdded::SourceWaiting };
            }
        }
        try {
            move.source = TWatchedFile::Open(from.open, move.fromName);
        } catch (const IOError& error) {
            // Gone since it was decided on.
            if (error.errnoValue() == ENOENT)
                return {};
            throw;
        }
        if (!move.source.isRegular())
            return {};
        if (move.source.inUse())
            return { TAdded::SourceInUse };
        // Set aside later, it is a live move's, also where no lease can be had.
        TryLockByte(move.source.descriptor(), 0, false);
        // The name was free when the move was decided, a moment ago; should another program
        // take it before the group is made, the rename says so and replaces nothing.
        if (m_targets.contains(target))
            return { TAdded::TargetExists };
        // Another device number is another file system (a second mount of the same one shows
        // only when the rename says EXDEV, at the commit).
        move.keepSource = keepSource;
        if (keepSource || move.source.status().device != to.open.status().device)
            writeCopy(move);
        const TAdd added { TAdded::Added, move.source.status().size,
            move.source.status().modified };
        m_targets.insert(target);
        m_lastLeader = std::ptrdiff_t(m_moves.size());
        m_moves.push_back(std::move(move));
        return added;
    }

    void changed(const QString& folder) { folderAt(folder).changed = true; }

    bool waiting() const
    {
        return !m_moves.empty()
            || std::any_of(m_folders.begin(), m_folders.end(),
                [](const auto& folder) { return folder.second->changed; });
    }

    bool waitingFor(const QString& path) const { return m_targets.contains(path); }

    bool full() const
    {
        return m_moves.size() >= maxMoves() || m_copies >= kMaxCopies
            || m_copiedBytes >= kMaxCopiedBytes;
    }

    std::vector<TResult> commit()
    {
        // Moves into a folder renamed away since they were added are not made: the file would
        // be somewhere nobody told it to go.
        markGone();
        for (Move& move : m_moves) {
            if (move.to->gone)
                fail(move, TDone::FolderGone);
        }
        for (Move& move : m_moves) {
            if (move.leader >= 0 && !m_moves[size_t(move.leader)].placed)
                fail(move, TDone::LeaderStayed);
            if (move.result.done == TDone::Moved)
                move.copy.isOpen() ? placeCopy(move) : rename(move);
        }
        flushChanged();
        // A folder renamed away in the meantime, or one whose flush failed, gives its files
        // back: otherwise nobody would know where they are, or whether they are on disk.
        markGone();
        for (Move& move : m_moves) {
            if (move.placed && (move.to->gone || move.to->failure != 0))
                takeBack(move,
                    move.to->gone ? TResult { TDone::FolderGone }
                                  : TResult { TDone::Failed, move.to->failure });
        }
        flushChanged();
        // The copies are on disk: their sources go aside, and after a flush of their folders
        // (a moment in which a program that was just opening one shows up) they go for good.
        for (Move& move : m_moves) {
            if (move.placed && leaderStayed(move))
                takeBack(move, { TDone::LeaderStayed });
            else if (move.placed && move.copied.kind != PathKind::Missing && !move.keepSource)
                setAside(move);
        }
        flushChanged();
        for (Move& move : m_moves) {
            if (!move.aside.isEmpty())
                finish(move);
        }
        flushChanged();
        std::vector<TResult> results;
        results.reserve(m_moves.size());
        for (const Move& move : m_moves)
            results.push_back(move.result);
        clear();
        return results;
    }

    void drop()
    {
        for (Move& move : m_moves) {
            // A move cut short between its last two steps: the source comes back.
            if (!move.aside.isEmpty())
                RenameNoReplace(move.from->open, move.aside, move.from->open, move.fromName);
            dropCopy(move);
        }
        flushChanged();
        clear();
    }

private:
    struct Folder {
        TOpenFolder open;
        bool changed = false; // entries changed since its last flush
        int failure = 0; // why its last flush failed
        bool gone = false; // renamed away or removed
        mutable int mayChange = -1; // asked once

        int access() const
        {
            if (mayChange < 0)
                mayChange = open.mayChange();
            return mayChange;
        }
    };

    struct Move {
        Folder* from;
        Folder* to;
        QString fromName;
        QString toName;
        TWatchedFile source {};
        bool keepSource = false;
        // A copy: written under a temporary name, then renamed into place.
        FileDescriptor copy {};
        FileDescriptor copyHeld {}; // the same open, holding its lock past the close of `copy`
        QString temporary {};
        TFileStatus copied {}; // the copy's identity, to take back exactly it
        QString aside {}; // where the source was set aside
        bool placed = false; // at its target
        TResult result {};
        std::ptrdiff_t leader = -1; // the move this one follows (see addFollower)
    };

    // The folder at `path`, opened when the group first needs it. The first time the run
    // touches it, what killed runs left there goes.
    Folder& folderAt(const QString& path)
    {
        const auto found = m_folders.find(path);
        if (found != m_folders.end())
            return *found->second;
        auto folder = std::make_unique<Folder>();
        folder->open = TOpenFolder::Open(path);
        const FolderId id { folder->open.status().device, folder->open.status().inode };
        if (!m_cleaned.contains(id)) {
            RemoveStalePartialFiles(folder->open);
            m_cleaned.insert(id);
        }
        return *m_folders.emplace(path, std::move(folder)).first->second;
    }

    // The copy of a move, written under a temporary name in the target's folder (private to
    // its owner until whole) and given the source's permissions, times and, where allowed,
    // owner; the disk starts writing it at once, so that several copies are written side by
    // side before their commit waits for them.
    void writeCopy(Move& move)
    {
        const QString target = JoinPath(move.to->open.path(), move.toName);
        for (int attempt = 0; !move.copy.isOpen(); ++attempt) {
            const QString name = PartialFileName("part");
            try {
                move.copy = move.to->open.create(name, 0600);
                move.temporary = name;
                // Held until the copy has its name, so that no other run takes it for a
                // leftover (see RemoveStalePartialFiles); the lock lives while any
                // descriptor of this open does.
                TryLockByte(move.copy, 0);
                move.copyHeld = FileDescriptor(::dup(move.copy.get()));
            } catch (const IOError& error) {
                if (error.errnoValue() != EEXIST || attempt > 100)
                    throw IOError(QStringLiteral("Cannot create a file in the folder of"), target,
                        error.errnoValue());
            }
        }
        try {
            const FileDescriptor& in = move.source.descriptor();
            CopyContents(in, move.copy, move.source.path(), target);
            CopyModeAndOwner(in, move.copy, target);
            CopyTimes(in, move.copy, target);
            StartWriteback(move.copy);
            move.copied = move.to->open.entry(move.temporary);
        } catch (...) {
            dropCopy(move);
            throw;
        }
        ++m_copies;
        m_copiedBytes += move.copied.size;
    }

    void placeCopy(Move& move)
    {
        const QString target = JoinPath(move.to->open.path(), move.toName);
        try {
            SyncFile(move.copy, target);
        } catch (const IOError& error) {
            fail(move, TDone::Failed, error.errnoValue());
            return;
        }
        // Some file systems report write errors only when the file is closed.
        if (const int error = move.copy.close()) {
            fail(move, TDone::Failed, error);
            return;
        }
        const int error
            = RenameNoReplace(move.to->open, move.temporary, move.to->open, move.toName);
        if (error != 0) {
            fail(move, error == EEXIST ? TDone::TargetTaken : TDone::Failed, error);
            return;
        }
        move.temporary.clear();
        move.copyHeld = FileDescriptor();
        move.placed = true;
        move.to->changed = true;
    }

    void rename(Move& move)
    {
        // The last look before the rename: the lease is still held, so whoever opens the file
        // from now on opens what is renamed, and keeps it whatever its name.
        if (!move.source.unchanged()) {
            move.result = { TDone::SourceInUse };
            return;
        }
        const int error
            = RenameNoReplace(move.from->open, move.fromName, move.to->open, move.toName);
        if (error == 0) {
            move.placed = true;
            move.from->changed = true;
            move.to->changed = true;
            return;
        }
        if (error == EXDEV) {
            // Two mounts of one file system: copied after all.
            try {
                writeCopy(move);
            } catch (const IOError& copyError) {
                move.result = { TDone::Failed, copyError.errnoValue() };
                return;
            }
            placeCopy(move);
            return;
        }
        move.result = { error == EEXIST ? TDone::TargetTaken : TDone::Failed, error };
    }

    // The file goes back to its source: a copy is removed (exactly the one placed, nothing
    // that took its name since), a renamed file renamed back. A renamed file that cannot go
    // back stays moved: it is whole where it is.
    void takeBack(Move& move, TResult why)
    {
        if (move.copied.kind != PathKind::Missing) {
            if (move.to->open.entry(move.toName).sameAs(move.copied)
                && move.to->open.remove(move.toName) == 0)
                move.to->changed = true;
        } else if (RenameNoReplace(move.to->open, move.toName, move.from->open, move.fromName)
            == 0) {
            move.from->changed = true;
            move.to->changed = true;
        } else {
            return;
        }
        move.placed = false;
        move.result = why;
    }

    void setAside(Move& move)
    {
        if (!move.source.unchanged()) {
            takeBack(move, { TDone::SourceInUse });
            return;
        }
        int error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            const QString aside = PartialFileName("gone");
            error = RenameNoReplace(move.from->open, move.fromName, move.from->open, aside);
            if (error == 0) {
                move.aside = aside;
                move.source.renamed();
                move.from->changed = true;
                return;
            }
        }
        takeBack(move, { TDone::Failed, error });
    }

    // A moment after the source was set aside: a program that had found it by its name just
    // before has opened it by now, and that shows. Then the source goes back under its name
    // (or a numbered one, should a new file have taken it) and the copy is taken back.
    // Otherwise the source is deleted.
    void finish(Move& move)
    {
        const QString aside = std::exchange(move.aside, QString());
        if (move.source.asOpened() && !leaderStayed(move)) {
            move.from->open.remove(aside);
            return;
        }
        const TResult why
            = leaderStayed(move) ? TResult { TDone::LeaderStayed } : TResult { TDone::SourceInUse };
        int error = EEXIST;
        for (int number = 1; number < 1000 && error == EEXIST; ++number) {
            const QString back
                = number == 1 ? move.fromName : NumberedFileName(move.fromName, number);
            error = RenameNoReplace(move.from->open, aside, move.from->open, back);
        }
        // A source that cannot go back keeps its copy: the copy is the file now.
        if (error == 0) {
            move.from->changed = true;
            takeBack(move, why);
        }
    }

    // A follower whose leader is not (or no longer) at its target.
    bool leaderStayed(const Move& move) const
    {
        return move.leader >= 0 && !m_moves[size_t(move.leader)].placed;
    }

    void fail(Move& move, TDone done, int error = 0)
    {
        move.result = { done, error };
        dropCopy(move);
    }

    void dropCopy(Move& move)
    {
        move.copy = FileDescriptor();
        move.copyHeld = FileDescriptor();
        if (!move.temporary.isEmpty())
            move.to->open.remove(std::exchange(move.temporary, QString()));
    }

    void markGone()
    {
        for (auto& [path, folder] : m_folders)
            folder->gone = !folder->open.atItsPath();
    }

    void flushChanged()
    {
        for (auto& [path, folder] : m_folders) {
            if (folder->changed) {
                folder->changed = false;
                folder->failure = folder->open.sync();
            }
        }
    }

    void clear()
    {
        m_moves.clear();
        m_folders.clear();
        m_targets.clear();
        m_lastLeader = -1;
        m_copies = 0;
        m_copiedBytes = 0;
    }

    std::vector<Move> m_moves;
    std::map<QString, std::unique_ptr<Folder>> m_folders; // those of the group, by path
    QSet<QString> m_targets;
    std::ptrdiff_t m_lastLeader = -1; // the last move added with add()
    size_t m_copies = 0;
    qint64 m_copiedBytes = 0;
    QSet<FolderId> m_cleaned; // folders the run touched: their leftovers are gone
};

TDurableMove::TDurableMove()
    : m_impl(std::make_unique<Impl>())
{
}

TDurableMove::~TDurableMove() = default;

TDurableMove::TAdd TDurableMove::add(const QString& source, const QString& target, bool keepSource)
{
    return m_impl->add(source, target, keepSource);
}

TDurableMove::TAdd TDurableMove::addFollower(const QString& source, const QString& target)
{
    return m_impl->addFollower(source, target);
}

void TDurableMove::changed(const QString& folder)
{
    m_impl->changed(folder);
}

bool TDurableMove::waiting() const
{
    return m_impl->waiting();
}

bool TDurableMove::waitingFor(const QString& path) const
{
    return m_impl->waitingFor(path);
}

bool TDurableMove::full() const
{
    return m_impl->full();
}

std::vector<TDurableMove::TResult> TDurableMove::commit()
{
    return m_impl->commit();
}

void TDurableMove::drop()
{
    m_impl->drop();
}

} // namespace plumtide
