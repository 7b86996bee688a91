#pragma once

#include "core/rows.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>
#include <vector>

namespace plumtide
{

// Remembered assignments: the folder that files of a folded artist go to, whatever any
// rule says, kept as UTF-8 lines "folded artist<TAB>folder" with the folder relative to
// the destination, so a library moved elsewhere keeps them.
struct TAssignment {
    QString artist; // folded key
    QString folder; // relative to the destination, "/"-separated
};

class TAssignments
{
public:
    // Reads the lines of an assignments file. A line without a TAB, or with an empty
    // artist or folder, is not an assignment but is kept as it is, so that writing the
    // assignments back loses nothing; a key is folded again, so a line written by hand as
    // "The Beatles" works; of two lines with one key the later holds.
    static TAssignments Parse(const QByteArray& utf8);
    QByteArray serialise() const;

    // Assigns the artist (folded here) to `folder`, replacing an assignment of the same key.
    // False, and nothing changes, when the artist folds to nothing or the folder is not a
    // relative path that a line can hold (empty, absolute, with a line break or a ".."
    // component).
    bool assign(QStringView artist, const QString& folder);
    // Removes the assignment of the artist (folded here); false when there was none.
    bool remove(QStringView artist);

    // The folder assigned to a folded key, if any.
    std::optional<QString> folderFor(const QString& key) const;
    // Every assignment, in the order of the file.
    std::vector<TAssignment> entries() const;
    bool isEmpty() const { return m_index.isEmpty(); }

private:
    struct Line {
        QString text; // as read, for lines that are not assignments
        std::optional<TAssignment> assignment;
    };
    void reindex();

    std::vector<Line> m_lines;
    QHash<QString, size_t> m_index; // key -> line
};

// Reads the assignments file at `path`; a missing file holds none. Throws IOError when
// the file exists but cannot be read (or is not a regular file of sensible size).
TAssignments LoadAssignments(const QString& path);
// Replaces the file at `path` atomically, creating its folder when missing. Throws IOError.
void SaveAssignments(const QString& path, const TAssignments& assignments);
// Loads the assignments at `path`, lets `change` change them and, when it returns true,
// saves them, while holding a lock that every update takes: two programs that assign at
// once each keep their change, neither saving over the other's with what it read before.
// The lock is a file of its own beside (`path` + ".lock"), because a save replaces the
// assignments file. Returns what `change` returned. Throws IOError.
bool UpdateAssignments(const QString& path, const std::function<bool(TAssignments&)>& change);

// Assignments resolved against the destination's folders as a refresh listed them.
// Used in both ways of matching: an assignment applies before any rule or score.
class TAssignmentIndex
{
public:
    TAssignmentIndex() = default;
    TAssignmentIndex(const TAssignments& assignments, const std::vector<TFolderRow>& folders);

    // The folder (an index into the folders) assigned to the first of `candidates` that has
    // an assignment whose folder exists.
    std::optional<qint32> find(const QStringList& candidates) const;
    // The folder assigned to the file with this tag artist and file name (see ArtistTextOf
    // and ArtistCandidates).
    std::optional<qint32> find(const QString& tagArtist, const QString& fileName) const;

    // The assignments whose folder is not among the folders: they are ignored, and a run
    // says so once.
    const std::vector<TAssignment>& missing() const { return m_missing; }
    bool isEmpty() const { return m_folderOf.isEmpty(); }

private:
    QHash<QString, qint32> m_folderOf;
    std::vector<TAssignment> m_missing;
};

} // namespace plumtide
