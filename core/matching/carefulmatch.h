#pragma once

#include "core/matching/assignments.h"
#include "core/reasons.h"
#include "core/rows.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
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
// a name one letter off a folder's is only a suggestion (another artist's name is often
// one letter off: Ryan and Bryan Adams), filed only when the user accepts such suggestions.
// Anything else stays unfiled: a wrong folder is worse than none.

// The word of records that programs read: "same", "one-off", "assigned", "from-name"
// (empty for a row of the similar rule, whose records stay as they are).
QString MatchKindWord(TMatchKind kind);
// The text of the window's "%" column: "same", "1 off", "assigned", "from name" (empty for
// a row of the similar rule, which shows its score).
QString MatchKindColumnText(TMatchKind kind);

// The folded artist key: compatibility decomposition (NFKD); accents stripped from Latin,
// Greek and Cyrillic letters, and letters without a decomposition spelled plainly (ø -> o,
// æ -> ae, ł -> l, ß -> ss and the like); case folded; "&" and "+" read as "and",
// apostrophes vanish, "$" reads as "s", any other character that is neither a letter nor a
// digit separates words; a leading "The" and a trailing ", The" are dropped. The words are
// joined by single spaces, except single letters that only dots or spaces separate, which
// are joined ("R.E.M.", "R E M" and "REM" read "rem"). Empty when the text has no letter or
// digit.
QString FoldArtist(QStringView text);

// Keys that say nobody in particular ("various artists", "va", "unknown", "unknown
// artist", the empty key and the like): such files never file by their artist.
bool IsPlaceholderKey(const QString& key);

// Whether a folder of this own name groups artist folders rather than being one: a genre
// of the tag engine's genre list ("Rock", "Hip-Hop", "R&B") or a common genre beyond it
// ("Folk", "Indie", "Trip-Hop"), a word libraries group by ("Soundtracks", "OST",
// "Compilations", "Christmas"), several of these joined by "&", "and", "," or "/"
// ("Hip-Hop & Rap"), a letter or letter range ("A", "#", "0-9", "A-C") or a decade ("60s",
// "1960s", "60's").
bool IsGroupingName(const QString& name);

// The artist text a file is matched by: its tag's artist, trimmed; or, when the tag has
// none, the artist of a file name that reads "Artist - Title" (with its extension); empty
// otherwise, since a file name in any other form says nothing reliable about the artist.
QString ArtistTextOf(const QString& tagArtist, const QString& fileName);

// The Latin spellings of a text with Cyrillic or Greek letters, each tried as the same
// artist's name: the common romanisation (BGN/PCGN for Russian and Ukrainian, ELOT 743 for
// Greek: "Мумий Тролль" reads "Mumiy Troll'") and the letter for letter one (ISO 9, ISO 843:
// "Mumij Troll'"); soft and hard signs are written "'". Other letters stay as they are. Empty
// when the text has no Cyrillic or Greek letter.
QStringList LatinSpellings(QStringView text);

// Whether a folded key names an artist that has a folder (or an assignment).
using TArtistKeyTest = std::function<bool(const QString&)>;

// One key a file's artist text is tried with, and that key without a trailing qualifier
// in brackets ("Bush (band)", "Nirvana (US)", "[2]"; empty when it has none).
struct TCredit {
    QString key;
    QString base;
};

// The credits a file's artist text is tried with, in order: the whole text, then each
// leading part, longest first; each folded, no key twice, no empty key. A credit splits at
// a collaboration word (feat., ft., featuring, with, vs., x, "duet with"), at ";", "/",
// " - " and at the NUL between the values of a multi-valued tag; at ",", "&", "+" and "and"
// only when `isArtist` holds for two of the parts these separate, so that "Earth, Wind &
// Fire" stays whole unless Earth and Wind (or Fire) have folders of their own.
std::vector<TCredit> CreditCandidates(QStringView artistText, const TArtistKeyTest& isArtist = {});
// The keys of CreditCandidates.
QStringList ArtistCandidates(QStringView artistText, const TArtistKeyTest& isArtist = {});

// A folder chosen for a file.
struct TCarefulMatch {
    qint32 folder; // index into the folders the matcher was built from
    TMatchKind kind;
};

// Why careful matching leaves a file unfiled, and the folders in question (indexes into the
// folders the matcher was built from, in their order; none for NoFolder).
struct TCarefulMiss {
    TUnfiledReason reason = TUnfiledReason::NoFolder;
    std::vector<qint32> folders;
};

// The careful rule over one destination's folders (as a refresh lists them: the parents of
// each folder among them), built once per planning. Folder keys are kept in hash tables
// (and, for the one-letter tier, every key with one letter deleted), so a file costs a few
// lookups however many folders there are.
class TCarefulMatcher
{
public:
    // With `acceptOneOff`, a folder one letter off is filed into (see match()).
    TCarefulMatcher(const std::vector<TFolderRow>& folders, const TAssignments& assignments = {},
        bool acceptOneOff = false);
    ~TCarefulMatcher();
    TCarefulMatcher(const TCarefulMatcher&) = delete;
    TCarefulMatcher& operator=(const TCarefulMatcher&) = delete;

    // The folder for a file with this tag artist (empty when the tag has none) and file
    // name, and how it was chosen; nothing when the file stays unfiled. The credits
    // (CreditCandidates, split where two parts have folders or assignments) are tried:
    // 1. an assignment of one of them, longest first, even of a placeholder: the user asked
    //    for it;
    // 2. placeholder credits ("Various Artists") are never compared with folders;
    // 3. for each credit in turn, the first that decides:
    //    a. folders with its key (a folder name with "_" also has the keys it may stand
    //       for: "Ke_ha" is Kesha's): the shallowest, and none when two are equally shallow;
    //    b. for the whole credit, groupings of its key (a folder "Game" is The Game's);
    //    c. folders whose key without a trailing qualifier in brackets is the credit's, or
    //       whose key is the credit's without its own: one, and none of another qualifier;
    //    d. for the whole credit, one folder one letter off (one code point inserted,
    //       deleted or replaced, or two neighbours swapped) against a key of 8 characters
    //       or more with the same number of words and the same digits: a suggestion, filed
    //       only with `acceptOneOff` (the parts are not tried: "Earth, Wind & Firre" is a
    //       typo of Earth, Wind & Fire, not a song of Earth);
    // 4. one folder one letter off any credit: a suggestion as in 3d.
    // A credit in Cyrillic or Greek letters is also tried in its Latin spellings
    // (LatinSpellings) in 3a, equal keys only.
    // A file without an artist in its tag (and no assignment) is read by its file name: each
    // side of " - ", " – " or "_-_" in it, without its extension, a leading track number
    // ("07 - ", "07. ") and a featured artist, is a candidate, tried by 3a only: when they
    // find exactly one folder, the file goes there (FromName). A file name says which of its
    // sides is the artist nowhere, so two folders leave the file unfiled.
    std::optional<TCarefulMatch> match(const QString& tagArtist, const QString& fileName) const;
    // For a file that match() leaves unfiled: Ambiguous, with the folders, when the credit
    // that decided found several; OneOff, with the folders, when one or more folders are
    // one letter off and none was filed; NameAmbiguous, with the folders, when the sides of
    // its file name found several; NoFolder otherwise (placeholders too).
    TCarefulMiss whyUnfiled(const QString& tagArtist, const QString& fileName) const;

    // What the similar rule asks to tell a file of the same artist from a new one: match()
    // with a file without an artist in its tag read as "Artist - Title" (ArtistTextOf, a
    // Same match) and no other script spelled in Latin. The similar rule files by scores;
    // the readings that only careful matching makes stay out of what it plans.
    std::optional<TCarefulMatch> matchByTag(
        const QString& tagArtist, const QString& fileName) const;

    // Whether an artist folder or a grouping has this key (an album folder of that name is
    // no folder of that artist).
    bool hasFolderKey(const QString& key) const;

    const TAssignmentIndex& assignments() const { return m_assignments; }

private:
    class Index;
    std::vector<TCredit> credits(const QString& artistText) const;
    std::optional<TCarefulMatch> decide(const QString& tagArtist, const QString& fileName,
        TCarefulMiss& miss, bool byTagOnly = false) const;
    std::optional<TCarefulMatch> fromName(const QString& fileName, TCarefulMiss& miss) const;
    std::vector<qint32> shallowestEqual(const QString& key) const;

    TAssignmentIndex m_assignments;
    std::unique_ptr<Index> m_index;
    bool m_acceptOneOff;
};

// The artists careful mode proposes as new folders: for files left unfiled, each artist
// once (by folded key), never one whose key an artist folder or a grouping already has,
// never a placeholder, never a name read off a file name (a guess makes no folder).
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
