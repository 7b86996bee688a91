#include "core/matching/carefulmatch.h"

#include "tests/support/musiclibrary.h"

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

QString q(const char16_t* text)
{
    return QString::fromUtf16(text);
}

// Spellings of one artist as tags and folders write them fold to one key; different
// artists keep different keys.
TEST(FoldArtist, OneKeyPerArtist)
{
    const struct {
        const char16_t* text;
        const char16_t* key;
    } cases[] = {
        { u"The Beatles", u"beatles" },
        { u"Beatles, The", u"beatles" },
        { u"  beatles ", u"beatles" },
        { u"AC/DC", u"ac dc" },
        { u"AC_DC", u"ac dc" },
        { u"Björk", u"bjork" },
        { u"Mötley Crüe", u"motley crue" },
        { u"Røyksopp", u"royksopp" },
        { u"Łona", u"lona" },
        { u"Die Ärzte", u"die arzte" },
        { u"Straßenjungs", u"strassenjungs" },
        { u"Ke$ha", u"kesha" },
        { u"Guns N’ Roses", u"guns n roses" },
        { u"Destiny's Child", u"destinys child" },
        { u"Simon & Garfunkel", u"simon and garfunkel" },
        { u"Simon and Garfunkel", u"simon and garfunkel" },
        { u"Florence + the Machine", u"florence and the machine" },
        { u"R.E.M.", u"rem" },
        { u"U2", u"u2" },
        { u"Кино", u"кино" },
        { u"Ёлка", u"елка" },
        { u"Άννα Βίσση", u"αννα βισση" },
        // Other scripts keep their marks: a voiced kana stays voiced.
        { u"ビートルズ", u"ビートルズ" },
        { u"Ｂｊｏｒｋ", u"bjork" },
        { u"The The", u"the" },
        { u"", u"" },
        { u" !? ", u"" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(FoldArtist(q(c.text)), q(c.key)) << QString::fromUtf16(c.text).toStdString();
}

// Latin, Greek and Cyrillic letters fold through a table worked out once; any other
// character sends the text through the full decomposition. Both must agree.
TEST(FoldArtist, TableAgreesWithFullDecomposition)
{
    const QString other = QStringLiteral(" \u0561\u0562"); // Armenian, not in the table
    for (char16_t c = 0x80; c < 0x500; ++c) {
        const QString text = QStringLiteral("a") + QChar(c) + QStringLiteral("b");
        EXPECT_EQ(FoldArtist(text + other), FoldArtist(text) + other) << int(c);
        EXPECT_EQ(ArtistCandidates(text + other).front(), FoldArtist(text) + other) << int(c);
    }
}

TEST(ArtistCandidates, WholeTextThenLeadingPartsLongestFirst)
{
    EXPECT_EQ(
        ArtistCandidates(u"Bjork feat. Someone"), QStringList({ "bjork feat someone", "bjork" }));
    EXPECT_EQ(ArtistCandidates(u"Earth, Wind & Fire"), QStringList({ "earth wind and fire" }));
    EXPECT_EQ(ArtistCandidates(u"Beatles, The feat. Billy Preston"),
        QStringList({ "beatles the feat billy preston", "beatles" }));
    EXPECT_EQ(ArtistCandidates(u"Daft Punk - Around the World"),
        QStringList({ "daft punk around the world", "daft punk" }));
    // A dash inside a name is no separator; a word that starts the text leaves no part.
    EXPECT_EQ(ArtistCandidates(u"Jay-Z"), QStringList({ "jay z" }));
    EXPECT_EQ(ArtistCandidates(u"X Ambassadors"), QStringList({ "x ambassadors" }));
}

TEST(IsGroupingName, GenresLettersAndDecades)
{
    for (const char* name : { "Rock", "Hip-Hop", "hip hop", "R&B", "Classical", "A", "#", "0-9",
             "A-C", "a – c", "Ж", "60s", "1960s", "60's", "'80s" })
        EXPECT_TRUE(IsGroupingName(QString::fromUtf8(name))) << name;
    for (const char* name : { "Queen", "ABBA", "A-ha", "1975", "65s", "Rock Band", "Madonna" })
        EXPECT_FALSE(IsGroupingName(QString::fromUtf8(name))) << name;
}

TEST(ArtistTextOf, FileNameOnlyWhenItReadsArtistDashTitle)
{
    EXPECT_EQ(ArtistTextOf(" Queen ", "01 - Other - Song.mp3"), "Queen");
    EXPECT_EQ(ArtistTextOf("", "Queen - Bohemian Rhapsody.mp3"), "Queen");
    EXPECT_EQ(ArtistTextOf("", "/in/Queen - Bohemian Rhapsody.MP3"), "Queen");
    EXPECT_EQ(ArtistTextOf("", "Bohemian Rhapsody.mp3"), "");
    EXPECT_EQ(ArtistTextOf("", "01 - Bohemian Rhapsody.mp3"), "");
    EXPECT_EQ(ArtistTextOf("", "01 - Queen - Bohemian Rhapsody.mp3"), "");
    EXPECT_EQ(ArtistTextOf("", "Jay-Z.mp3"), "");
}

// A library with the folders of several naming conventions at once.
class CarefulMatcherTest : public testing::Test
{
protected:
    static std::vector<TFolderRow> rows(const QStringList& relative)
    {
        std::vector<TFolderRow> result;
        for (const QString& name : relative)
            result.push_back({ "/music/" + name, name });
        return result;
    }

    // The relative folder chosen and the match word, or "-" when the file stays unfiled.
    static QString chosen(const TCarefulMatcher& matcher, const std::vector<TFolderRow>& folders,
        const QString& artist, const QString& file = QStringLiteral("x.mp3"))
    {
        const std::optional<TCarefulMatch> match = matcher.match(artist, file);
        if (!match)
            return QStringLiteral("-");
        return folders[size_t(match->folder)].relativeName + " (" + MatchKindWord(match->kind)
            + ")";
    }

    // What chosen() says, or for a file left unfiled its reason and folders.
    QString outcome(const TCarefulMatcher& matcher, const QString& artist,
        const QString& file = QStringLiteral("x.mp3")) const
    {
        if (matcher.match(artist, file))
            return chosen(matcher, folders, artist, file);
        const TCarefulMiss miss = matcher.whyUnfiled(artist, file);
        QString text = UnfiledReasonText(miss.reason);
        for (const qint32 folder : miss.folders)
            text += QStringLiteral(" | ") + folders[size_t(folder)].relativeName;
        return text;
    }

    struct Case {
        const char* artist;
        const char* expected;
    };
    void expectOutcomes(const TCarefulMatcher& matcher, std::initializer_list<Case> cases) const
    {
        for (const Case& c : cases)
            EXPECT_EQ(outcome(matcher, QString::fromUtf8(c.artist)), QString::fromUtf8(c.expected))
                << c.artist;
    }

    const std::vector<TFolderRow> folders = rows({
        "AC_DC",
        "Beatles, The",
        "Beatles, The/Abbey Road",
        "Björk",
        "Björk/Homogenic",
        "Blink-182",
        "Daft Punk",
        "Dance",
        "Dance/Madonna",
        "Earth",
        "Earth, Wind & Fire",
        "Ian Anderson",
        "Jon Anderson",
        "Metallica",
        "Metallica/Load",
        "Nirvana",
        "Pop",
        "Pop/Madonna",
        "Red Hot Chili Peppers",
        "Rock",
        "Rock/Nirvana",
        "Rock/Queen",
        "Sia",
        "Sia/Adele",
        // Names one letter off those of other artists.
        "Carol Douglas",
        "Iron Maiden",
        "Johnny Nash",
        "Led Zeppelin",
        "Linkin Park",
        "Roxy Music",
        "Ryan Adams",
        // Groupings, nested, and groupings that are artists' names too.
        "Cult",
        "Folk",
        "Folk/B",
        "Folk/B/Bob Dylan",
        "Game",
        "Hip-Hop & Rap",
        "Hip-Hop & Rap/Nas",
        "Soundtracks",
        "Soundtracks/Hans Zimmer",
        "X",
        // Qualifiers, names with "_" for a refused character, initialisms, collaborations.
        "Bush (band)",
        "Heart (US)",
        "Heart [2]",
        "Guns N_ Roses",
        "Florence _ the Machine",
        "Ke_ha",
        "P_nk",
        "R.E.M.",
        "N.W.A",
        "B.o.B",
        "David Bowie",
        "Tupac Shakur",
        "U2",
        "Various Artists",
        "Кино",
        // Names in Latin letters of artists who write theirs in Cyrillic or Greek.
        "Kino",
        "Mumiy Troll",
        "Masina Vremeni",
        "Zemfira",
        "Vopli Vidoplyasova",
        "Aria",
        "Anna Vissi",
        "Vangelis",
        "Sakis Rouvas",
    });
};

TEST_F(CarefulMatcherTest, SameArtistOrNothing)
{
    TAssignments assignments;
    ASSERT_TRUE(assignments.assign(u"2Pac", "Tupac Shakur"));
    ASSERT_TRUE(assignments.assign(u"Kino", "Кино/"));
    ASSERT_TRUE(assignments.assign(u"Gone", "Gone Artist"));
    const TCarefulMatcher matcher(folders, assignments);

    const struct {
        const char* artist;
        const char* file;
        const char* expected;
    } cases[] = {
        { "The Beatles", "x.mp3", "Beatles, The (same)" },
        { "AC/DC", "x.mp3", "AC_DC (same)" },
        { "Queen", "x.mp3", "Rock/Queen (same)" },
        { "Bjork feat. Someone", "x.mp3", "Björk (same)" },
        { "U2", "x.mp3", "U2 (same)" },
        { "Кино", "x.mp3", "Кино (same)" },
        { "Various Artists", "x.mp3", "-" },
        { "VA", "x.mp3", "-" },
        // Two equal folders at one depth: no guess. The shallowest of equal folders wins.
        { "Madonna", "x.mp3", "-" },
        { "Nirvana", "x.mp3", "Nirvana (same)" },
        // Albums are never candidates, nor are groupings.
        { "Adele", "x.mp3", "-" },
        { "Abbey Road", "x.mp3", "-" },
        { "Abbey Road feat. X", "x.mp3", "-" },
        { "Earth feat. Someone", "x.mp3", "Earth (same)" },
        { "Sie", "x.mp3", "-" },
        // A file name counts only without an artist in the tag.
        { "", "Daft Punk - One More Time.mp3", "Daft Punk (from-name)" },
        { "Queen", "Daft Punk - One More Time.mp3", "Rock/Queen (same)" },
        { "", "One More Time.mp3", "-" },
        // Assignments come first, for every candidate; one to a folder gone is ignored.
        { "2Pac", "x.mp3", "Tupac Shakur (assigned)" },
        { "2Pac feat. Dr. Dre", "x.mp3", "Tupac Shakur (assigned)" },
        { "Kino", "x.mp3", "Кино (assigned)" },
        { "Gone", "x.mp3", "-" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(chosen(matcher, folders, QString::fromUtf8(c.artist), QString::fromUtf8(c.file)),
            QString::fromUtf8(c.expected))
            << c.artist << " / " << c.file;

    ASSERT_EQ(matcher.assignments().missing().size(), 1u);
    EXPECT_EQ(matcher.assignments().missing()[0].folder, "Gone Artist");
}

// A name one letter off (or two letters swapped) is only a suggestion: most such files are
// another artist's.
TEST_F(CarefulMatcherTest, OneOffIsASuggestionUnlessAccepted)
{
    const TCarefulMatcher careful(folders);
    const TCarefulMatcher accepting(folders, {}, true);
    const struct {
        const char* artist;
        const char* suggested;
        const char* accepted;
    } cases[] = {
        { "Linkin Prak", "one-off | Linkin Park", "Linkin Park (one-off)" },
        { "Roxy Muisc", "one-off | Roxy Music", "Roxy Music (one-off)" },
        { "Metalica", "one-off | Metallica", "Metallica (one-off)" },
        { "Bryan Adams", "one-off | Ryan Adams", "Ryan Adams (one-off)" },
        { "Carl Douglas", "one-off | Carol Douglas", "Carol Douglas (one-off)" },
        { "Johnny Cash", "one-off | Johnny Nash", "Johnny Nash (one-off)" },
        { "The Iron Maidens", "one-off | Iron Maiden", "Iron Maiden (one-off)" },
        { "Lez Zeppelin", "one-off | Led Zeppelin", "Led Zeppelin (one-off)" },
        // The whole credit one letter off comes before a part that names another artist.
        { "Earth, Wind & Firre", "one-off | Earth, Wind & Fire", "Earth, Wind & Fire (one-off)" },
        { "Jan Anderson", "one-off | Ian Anderson | Jon Anderson", "-" },
        { "Blink-183", "no-folder", "-" },
        { "Linkin Park", "Linkin Park (same)", "Linkin Park (same)" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outcome(careful, c.artist), QString::fromUtf8(c.suggested)) << c.artist;
        EXPECT_EQ(chosen(accepting, folders, c.artist), QString::fromUtf8(c.accepted)) << c.artist;
    }
}

TEST_F(CarefulMatcherTest, GroupingsNestAndNameTheirOwnArtist)
{
    expectOutcomes(TCarefulMatcher(folders),
        {
            { "Bob Dylan", "Folk/B/Bob Dylan (same)" },
            { "Nas", "Hip-Hop & Rap/Nas (same)" },
            { "Hans Zimmer", "Soundtracks/Hans Zimmer (same)" },
            { "The Cult", "Cult (same)" },
            { "The Game", "Game (same)" },
            { "X", "X (same)" },
            { "B", "Folk/B (same)" },
            { "Soundtracks", "Soundtracks (same)" },
        });
    for (const char* name : { "Folk", "Indie", "Trip-Hop", "Singer-Songwriter", "Britpop", "World",
             "OST", "Compilations", "Various", "K-Pop", "J-Pop", "Children's", "Christmas",
             "Spoken Word", "Audiobooks", "Hip-Hop & Rap", "Rock, Pop and Soul", "Rock_Pop" })
        EXPECT_TRUE(IsGroupingName(QString::fromUtf8(name))) << name;
    for (const char* name : { "Earth, Wind & Fire", "Simon & Garfunkel", "Rock & Someone" })
        EXPECT_FALSE(IsGroupingName(QString::fromUtf8(name))) << name;
}

TEST_F(CarefulMatcherTest, QualifiersInBracketsAreReadOff)
{
    expectOutcomes(TCarefulMatcher(folders),
        {
            { "Bush", "Bush (band) (same)" },
            { "Bush (band)", "Bush (band) (same)" },
            { "Tupac Shakur (rapper)", "Tupac Shakur (same)" },
            { "Daft Punk [2]", "Daft Punk (same)" },
            { "Heart", "ambiguous | Heart (US) | Heart [2]" },
            { "Heart (US)", "Heart (US) (same)" },
            { "Heart (UK)", "no-folder" },
            { "Daft Punk (live)", "no-folder" },
        });
}

TEST_F(CarefulMatcherTest, UnderscoreStandsForARefusedCharacter)
{
    expectOutcomes(TCarefulMatcher(folders),
        {
            { "Guns N' Roses", "Guns N_ Roses (same)" },
            { "Florence + the Machine", "Florence _ the Machine (same)" },
            { "Florence and the Machine", "Florence _ the Machine (same)" },
            { "Ke$ha", "Ke_ha (same)" },
            { "Kesha", "Ke_ha (same)" },
            { "P!nk", "P_nk (same)" },
            { "AC/DC", "AC_DC (same)" },
            { "Pink", "no-folder" },
        });
}

// Parts joined by "&", "and" or "," split off only when two of them have folders.
TEST_F(CarefulMatcherTest, CreditsSplitWhereTheyNameArtists)
{
    expectOutcomes(TCarefulMatcher(folders),
        {
            { "Queen & David Bowie", "Rock/Queen (same)" },
            { "Queen and David Bowie", "Rock/Queen (same)" },
            { "Earth, Wind & Fire", "Earth, Wind & Fire (same)" },
            { "Earth & Someone", "no-folder" },
            { "Daft Punk, Someone", "no-folder" },
            { "Daft Punk feat. Someone", "Daft Punk (same)" },
            { "Daft Punk ft. Someone & Other", "Daft Punk (same)" },
            { "Daft Punk featuring Someone", "Daft Punk (same)" },
            { "Daft Punk with Someone", "Daft Punk (same)" },
            { "Daft Punk vs. Someone", "Daft Punk (same)" },
            { "Daft Punk x Someone", "Daft Punk (same)" },
            { "Daft Punk duet with Someone", "Daft Punk (same)" },
            { "Daft Punk; Someone", "Daft Punk (same)" },
            { "Daft Punk/Someone", "Daft Punk (same)" },
        });
    const TCarefulMatcher matcher(folders);
    EXPECT_EQ(chosen(matcher, folders, QStringLiteral("Daft Punk") + QChar(0) + "Someone"),
        "Daft Punk (same)");
    EXPECT_EQ(ArtistCandidates(u"Earth, Wind & Fire",
                  [](const QString& key) { return key == "earth" || key == "wind"; }),
        QStringList({ "earth wind and fire", "earth wind", "earth" }));
}

TEST_F(CarefulMatcherTest, InitialismsReadAsTheirLetters)
{
    expectOutcomes(TCarefulMatcher(folders),
        {
            { "REM", "R.E.M. (same)" },
            { "R E M", "R.E.M. (same)" },
            { "NWA", "N.W.A (same)" },
            { "B.O.B.", "B.o.B (same)" },
        });
    for (const auto& [text, key] :
        { std::pair { "t.A.T.u.", "tatu" }, { "A-ha", "a ha" }, { "Guns N' Roses", "guns n roses" },
            { "A Tribe Called Quest", "a tribe called quest" }, { "J. J. Cale", "jj cale" },
            { "C & C Music Factory", "c and c music factory" } })
        EXPECT_EQ(FoldArtist(QString::fromUtf8(text)), QString::fromUtf8(key)) << text;
}

TEST_F(CarefulMatcherTest, NewArtistsOncePerKeyAsFirstTagged)
{
    const TCarefulMatcher matcher(folders);
    TCarefulNewArtists newArtists(matcher);
    for (const char* artist : { "  Adele ", "ADELE", "Madonna", "Various Artists", "Unknown",
             "Eminem feat. Rihanna", "Eminem", "Bad/Name", "..", "The Nirvana" })
        newArtists.add(QString::fromUtf8(artist), "x.mp3");
    newArtists.add("", "Kraftwerk - Autobahn.mp3");
    newArtists.add("", "Autobahn.mp3");
    // Madonna has two artist folders, Nirvana one in another spelling, ".." names nobody:
    // none of them is proposed. An album folder "Adele" is not Adele's folder. A name read
    // off a file name is a guess: no folder is made for it.
    EXPECT_EQ(newArtists.names(), QStringList({ "Adele", "Eminem", "Bad_Name" }));
    EXPECT_EQ(NewArtistFolderName(".."), "__");
}

// A file without an artist in its tag is filed by its name only when exactly one side of
// it names an artist with a folder.
TEST_F(CarefulMatcherTest, UntaggedFilesReadBothSidesOfTheirName)
{
    const TCarefulMatcher matcher(folders);
    for (const auto& [file, expected] :
        {
            std::pair { "07 - Daft Punk - Around the World.mp3", "Daft Punk (from-name)" },
            { "Around the World - Daft Punk.mp3", "Daft Punk (from-name)" },
            { "07. Daft Punk - Around the World.mp3", "Daft Punk (from-name)" },
            { "07_-_Daft_Punk_-_Around_the_World.mp3", "Daft Punk (from-name)" },
            { "/in/1-07 – Metallica – Nothing Else Matters.flac", "Metallica (from-name)" },
            { "Queen - Bohemian Rhapsody.mp3", "Rock/Queen (from-name)" },
            { "David Bowie feat. Freddie Mercury - Under Pressure.mp3", "David Bowie (from-name)" },
            { "Various Artists - Sia.mp3", "Sia (from-name)" },
            { "Кино - Группа крови.mp3", "Кино (from-name)" },
            { "Земфира - Искала.mp3", "Zemfira (from-name)" },
            // A genre, an album, "Nirvana" twice: none of them another artist's folder.
            { "Nirvana - Rock.mp3", "Nirvana (from-name)" },
            { "Nirvana - Nirvana.mp3", "Nirvana (from-name)" },
            { "Metallica - Load.mp3", "Metallica (from-name)" },
            { "Metallica - Daft Punk.mp3", "name-ambiguous | Daft Punk | Metallica" },
            { "Madonna - Frozen.mp3", "name-ambiguous | Dance/Madonna | Pop/Madonna" },
            { "Kraftwerk - Autobahn.mp3", "no-folder" },
            { "Linkin Prak - Numb.mp3", "no-folder" },
            { "Daft Punk.mp3", "no-folder" },
            { "07 - Around the World.mp3", "no-folder" },
        })
        EXPECT_EQ(outcome(matcher, "", QString::fromUtf8(file)), QString::fromUtf8(expected))
            << file;
}

// Cyrillic and Greek names are also compared in both Latin spellings, equal keys only.
TEST_F(CarefulMatcherTest, OtherScriptsAlsoTriedInLatin)
{
    expectOutcomes(TCarefulMatcher(folders),
        {
            { "Мумий Тролль", "Mumiy Troll (same)" },
            { "МУМИЙ ТРОЛЛЬ feat. Someone", "Mumiy Troll (same)" },
            { "Мумий Тролль & Земфира", "Mumiy Troll (same)" },
            { "Машина времени", "Masina Vremeni (same)" }, // ISO 9 only
            { "Земфира", "Zemfira (same)" },
            { "Воплі Відоплясова", "Vopli Vidoplyasova (same)" }, // Ukrainian
            { "Ария", "Aria (same)" },
            { "Άννα Βίσση", "Anna Vissi (same)" },
            { "Βαγγέλης", "Vangelis (same)" },
            { "Σάκης Ρουβάς", "Sakis Rouvas (same)" },
            // The name as written comes first; one letter off is never spelled in Latin.
            { "Кино", "Кино (same)" },
            { "Мумий Троль", "no-folder" },
            { "Алиса", "no-folder" },
        });
    EXPECT_EQ(LatinSpellings(u"Мумий Тролль"), QStringList({ "mumiy troll'", "mumij troll'" }));
    EXPECT_EQ(LatinSpellings(u"Ельцин"), QStringList({ "yel'tsin", "el'cin" }));
    EXPECT_TRUE(LatinSpellings(u"Björk").isEmpty());
}

// End to end on generated libraries, one per naming convention people use, with tags as
// real downloads carry them: the goals careful matching is built for.
TEST(CarefulMatcher, FilesRealisticLibrariesIntoTheRightFolderOrNone)
{
    long long withFolder = 0, right = 0, wrong = 0, unfiled = 0, withoutFolder = 0, filed = 0;
    quint32 seed = 1;
    for (const test::TNaming naming : test::kNamings) {
        const test::TLibrary library = test::GenerateLibrary(naming, seed++, "/music", 0.3);
        // Suggestions one letter off accepted: they must not lead anywhere else either.
        const TCarefulMatcher matcher(library.folders, {}, true);
        for (const test::TLibraryFile& file : library.files) {
            const std::optional<TCarefulMatch> match = matcher.match(file.tagArtist, file.fileName);
            const qint32 own = file.artist >= 0 ? library.artistFolder[size_t(file.artist)] : -1;
            if (own < 0) {
                ++withoutFolder;
                filed += match.has_value();
            } else {
                ++withFolder;
                if (!match)
                    ++unfiled;
                else if (match->folder == own)
                    ++right;
                else
                    ++wrong;
            }
        }
    }
    EXPECT_GE(right * 100, withFolder * 98);
    EXPECT_EQ(wrong, 0);
    EXPECT_LE(unfiled * 100, withFolder * 2);
    EXPECT_LE(filed * 1000, withoutFolder * 3);
}

} // namespace
