#pragma once

#include "core/rows.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

namespace plumtide
{

// Careful matching: a file goes to the folder of the same artist, or stays where it is.
//
// Tags and folder names are compared by their folded artist key (FoldArtist): the same
// artist written "The Beatles", "Beatles, The" or "beatles", "AC/DC" or "AC_DC", "Björk" or
// "Bjork" has one key. Folders are compared by their own name at the artist level, so
// "Rock/Queen" is the folder of Queen. A key equal to one folder's files the file there;
// a single letter off is forgiven only for long names and only when one folder qualifies.
// Anything else stays unfiled: a wrong folder is worse than none.

// How a file's folder was chosen.
enum class TMatchKind {
    Same, // the folded artist equals the folder's key
    OneOff, // one letter off a long folder key, and no other folder qualifies
    Assigned, // the user assigned this artist to the folder
};

// The word of records that programs read: "same", "one-off", "assigned".
QString MatchKindWord(TMatchKind kind);
// The text of the window's "%" column: "same", "1 off", "assigned".
QString MatchKindColumnText(TMatchKind kind);

// The folded artist key: compatibility decomposition (NFKD); accents stripped from Latin,
// Greek and Cyrillic letters, and letters without a decomposition spelled plainly (ø -> o,
// æ -> ae, ł -> l, ß -> ss and the like); case folded; "&" and "+" read as "and",
// apostrophes vanish, "$" reads as "s", any other character that is neither a letter nor a
// digit separates words; a leading "The" and a trailing ", The" are dropped. The words are
// joined by single spaces. Empty when the text has no letter or digit.
QString FoldArtist(QStringView text);

// Keys that say nobody in particular ("various artists", "va", "unknown", "unknown
// artist", the empty key and the like): such files never file by their artist.
bool IsPlaceholderKey(const QString& key);

// Whether a folder of this own name groups artist folders rather than being one: a genre
// of the tag engine's genre list ("Rock", "Hip-Hop", "R&B"), a letter or letter range
// ("A", "#", "0-9", "A-C") or a decade ("60s", "1960s", "60's").
bool IsGroupingName(const QString& name);

// The artist text a file is matched by: its tag's artist, trimmed; or, when the tag has
// none, the artist of a file name that reads "Artist - Title" (with its extension); empty
// otherwise, since a file name in any other form says nothing reliable about the artist.
QString ArtistTextOf(const QString& tagArtist, const QString& fileName);

// The keys a file's artist text is tried with, in order: the whole text, then each
// leading part before ",", ";", "/", " - ", "&", "+" or a collaboration word (feat., ft.,
// featuring, with, vs, x, and), longest first; each folded, no key twice, no empty key.
QStringList ArtistCandidates(QStringView artistText);

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

private:
    QHash<QString, qint32> m_folderOf;
    std::vector<TAssignment> m_missing;
};

// A folder chosen for a file.
struct TCarefulMatch {
    qint32 folder; // index into the folders the matcher was built from
    TMatchKind kind;
};

// The careful rule over one destination's folders, built once per planning. Folder keys
// are kept in hash maps (and, for the one-letter tier, every key with one letter deleted),
// so a file costs a few lookups however many folders there are.
class TCarefulMatcher
{
public:
    TCarefulMatcher(const std::vector<TFolderRow>& folders, const TAssignments& assignments = {});

    // The folder for a file with this tag artist (empty when the tag has none) and file
    // name, and how it was chosen; nothing when the file stays unfiled:
    // 1. an assignment of one of its candidates (ArtistCandidates), longest first;
    // 2. a placeholder artist, or none, files nowhere;
    // 3. the first candidate whose key equals an artist folder's key: the shallowest such
    //    folder, and none when two are equally shallow;
    // 4. when no candidate equals any folder: one letter inserted, deleted or replaced
    //    against a folder key of 8 characters or more with the same number of words and
    //    the same digits, when exactly one folder qualifies for all candidates together.
    std::optional<TCarefulMatch> match(const QString& tagArtist, const QString& fileName) const;
    std::optional<TCarefulMatch> matchCandidates(const QStringList& candidates) const;

    // Whether some folder below the destination, at any level, has this own-name key.
    bool hasFolderKey(const QString& key) const { return m_ownNameKeys.contains(key); }

    const TAssignmentIndex& assignments() const { return m_assignments; }

    // How many folders are artist folders, the candidates of the rule.
    qsizetype artistFolderCount() const { return m_artistFolderCount; }

private:
    struct Folder {
        qint32 index;
        qint32 depth;
    };
    std::optional<TCarefulMatch> equalMatch(const QString& key, bool& found) const;
    void collectOneOff(const QString& key, QSet<qint32>& folders) const;

    TAssignmentIndex m_assignments;
    QHash<QString, std::vector<Folder>> m_byKey; // artist folders by key
    QHash<QString, std::vector<qint32>> m_byDeletion; // long keys less one letter -> folders
    std::vector<QString> m_keyOf; // key of each folder in m_byDeletion, by folder index
    QSet<QString> m_ownNameKeys;
    qsizetype m_artistFolderCount = 0;
};

// The artists careful mode proposes as new folders: for files left unfiled, each artist
// once (by folded key), never one whose key a folder already has, never a placeholder.
// An entry is the artist as first tagged, without a featured artist ("Eminem feat. X"
// proposes "Eminem"), trimmed, with what a file name cannot hold replaced ("/" and NUL by
// "_", a name "." or ".." by underscores): the folder "Create" makes.
class TCarefulNewArtists
{
public:
    explicit TCarefulNewArtists(const TCarefulMatcher& matcher)
        : m_matcher(matcher)
    {
    }
    void add(const QString& tagArtist, const QString& fileName);
    const QStringList& names() const { return m_names; }

private:
    const TCarefulMatcher& m_matcher;
    QStringList m_names;
    QSet<QString> m_keys;
};

// The folder name a new artist's text makes: trimmed, "/" and NUL replaced by "_", and a
// name of "." or ".." replaced by as many underscores.
QString NewArtistFolderName(const QString& artistText);

} // namespace plumtide
