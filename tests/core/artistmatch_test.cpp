#include "core/matching/artistmatch.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

using namespace plumtide;

namespace
{

struct KeyCase {
    const char16_t* name;
    const char16_t* key;
};

class NormaliseArtistTable : public testing::TestWithParam<KeyCase>
{
};

TEST_P(NormaliseArtistTable, GivesKey)
{
    const KeyCase& c = GetParam();
    EXPECT_EQ(NormaliseArtist(QString::fromUtf16(c.name)), QString::fromUtf16(c.key))
        << "name: '" << QString::fromUtf16(c.name).toStdString() << "'";
}

INSTANTIATE_TEST_SUITE_P(Examples, NormaliseArtistTable,
    testing::Values(KeyCase { u"  Madonna feat. Justin Timberlake ", u"MADONNA" },
        KeyCase { u"001-Abba", u"ABBA" }, KeyCase { u"01 - Abba", u"01" },
        KeyCase { u"12345-Abba", u"12345" }, KeyCase { u"Simon & Garfunkel", u"SIMON" },
        KeyCase { u"AC/DC", u"AC" }, KeyCase { u"Jay-Z", u"JAY" },
        KeyCase { u"Beyonce ft Jay-Z", u"BEYONCE" }, KeyCase { u"Foo Fighters", u"FOO" },
        KeyCase { u"The Prodigy (live) [remix]", u"THE PRODIGY LIVE REMIX]" },
        KeyCase { u"a [b] [c]", u"A B] C]" }, KeyCase { u"track01.mp3", u"TRACK01.MP3" },
        KeyCase { u"", u"" }, KeyCase { u"    ", u"" }));

INSTANTIATE_TEST_SUITE_P(Edges, NormaliseArtistTable,
    testing::Values(
        // Track number: the dash may stand at position 5 at most, three digits are needed,
        // other characters may stand among them, and only the first dash counts.
        KeyCase { u"1234-Abba", u"ABBA" }, KeyCase { u"12 3-Abba", u"ABBA" },
        KeyCase { u"12-Abba", u"12" }, KeyCase { u"007-James-Bond", u"JAMES" },
        KeyCase { u"123-", u"" }, KeyCase { u"  001-Abba", u"ABBA" },
        // Trimming takes every code up to 32, and nothing above it.
        KeyCase { u"\t\n\x01"
                  u"Abba\x1f",
            u"ABBA" },
        KeyCase { u"\u00a0Abba", u"\u00a0ABBA" },
        // Only a to z are upper-cased.
        KeyCase { u"Bj\u00f6rk", u"BJ\u00f6RK" },
        // The cuts run in their fixed order on what the earlier ones left: once " FEAT. "
        // has cut, " AND " no longer has its trailing space.
        KeyCase { u"Bob and feat. Joe", u"BOB AND" }, KeyCase { u"Bob and Joe", u"BOB" },
        KeyCase { u"Artist (ft. Joe)", u"ARTIST" }, KeyCase { u"Run DMC vs. X", u"RUN DMC" },
        KeyCase { u"A_B", u"A" }, KeyCase { u"A;B", u"A" }, KeyCase { u"A\\B", u"A" },
        KeyCase { u"A+B", u"A" }, KeyCase { u"Earth, Wind", u"EARTH" },
        // Each of "|", "!", "?", "(", ")" goes once; "[" twice; "]" never.
        KeyCase { u"Wham!!", u"WHAM!" }, KeyCase { u"a|b|c", u"AB|C" },
        KeyCase { u"(a) (b)", u"A (B)" }, KeyCase { u"[[[x]", u"[X]" }, KeyCase { u"? !", u"" }));

struct ScoreCase {
    const char16_t* first;
    const char16_t* second;
    double score;
};

class ArtistSimilarityTable : public testing::TestWithParam<ScoreCase>
{
};

// Exact comparisons on purpose: the scores are computed exactly and rounded once.
TEST_P(ArtistSimilarityTable, GivesScore)
{
    const ScoreCase& c = GetParam();
    const QString first = QString::fromUtf16(c.first);
    const QString second = QString::fromUtf16(c.second);
    EXPECT_EQ(ArtistSimilarity(first, second), c.score)
        << first.toStdString() << " / " << second.toStdString();
    EXPECT_EQ(ArtistSimilarity(PreparedName(first), PreparedName(second)), c.score);
}

INSTANTIATE_TEST_SUITE_P(Examples, ArtistSimilarityTable,
    testing::Values(ScoreCase { u"MADONNA", u"Madonna", 100 },
        ScoreCase { u"MADONNA", u"Madona", 400.0 / 6 },
        ScoreCase { u"METALLICA", u"Metalica", 61.25 }, ScoreCase { u"ABCD", u"ACBD", 72.5 },
        ScoreCase { u"AAAA", u"AABA", 86.25 }, ScoreCase { u"AABA", u"AAAA", 75 },
        ScoreCase { u"THE BEATLES", u"Beatles", 0 }, ScoreCase { u"ABBA", u"Abba Gold", 0 },
        ScoreCase { u"", u"", 0 }, ScoreCase { u"", u"ABBA", 0 }));

INSTANTIATE_TEST_SUITE_P(Edges, ArtistSimilarityTable,
    testing::Values(ScoreCase { u"ABBA", u"", 0 }, ScoreCase { u"a", u"A", 100 },
        ScoreCase { u"A", u"B", 0 },
        // The first and the last position never earn a neighbour credit.
        ScoreCase { u"AB", u"BA", 0 }, ScoreCase { u"XAB", u"XBA", 145.0 / 3 },
        // Only the first space goes; a second one is compared like any character.
        ScoreCase { u"A B C", u"AB  C", 100 }, ScoreCase { u"THE BEATLES", u"THEBEATLES", 100 },
        ScoreCase { u"A B C", u"ABC", 100.0 / 3 },
        // Length penalty: equal to the score, or above it, gives 0.
        ScoreCase { u"AB", u"ABXY", 0 }, ScoreCase { u"AB", u"ABX", 50 },
        // One equal position and one neighbour credit over five, less nothing: exactly 29,
        // which step-by-step double arithmetic would miss by one unit in the last place.
        ScoreCase { u"ABQRS", u"AZBTU", 29 },
        // Nothing beyond a to z is upper-cased.
        ScoreCase { u"\u00e9", u"\u00c9", 0 }));

QString randomName(QRandomGenerator& random, const QString& alphabet, int maxLength)
{
    QString name;
    const int length = static_cast<int>(random.bounded(maxLength + 1));
    for (int i = 0; i < length; ++i)
        name += alphabet[random.bounded(static_cast<int>(alphabet.size()))];
    return name;
}

// A small alphabet with both cases and spaces makes equal positions, neighbour credits,
// penalties and the first-space rule all frequent.
TEST(PreparedName, ScoresBitIdenticallyToPlainForm)
{
    QRandomGenerator random(4242);
    const QString alphabet = QStringLiteral("aAbB c-");
    int nonZero = 0;
    for (int i = 0; i < 200000; ++i) {
        // Mostly short names, some long enough for several blocks of the fast loop.
        const int maxLength = i % 4 == 0 ? 40 : 14;
        const QString first = randomName(random, alphabet, maxLength);
        const QString second = randomName(random, alphabet, maxLength);
        const double plain = ArtistSimilarity(first, second);
        const double fast = ArtistSimilarity(PreparedName(first), PreparedName(second));
        ASSERT_EQ(std::bit_cast<std::uint64_t>(plain), std::bit_cast<std::uint64_t>(fast))
            << "'" << first.toStdString() << "' / '" << second.toStdString() << "'";
        nonZero += plain > 0;
    }
    EXPECT_GT(nonZero, 20000);
}

// Names of millions of units: the fast form sums its blocks in segments.
TEST(PreparedName, ScoresVeryLongNamesLikePlainForm)
{
    QRandomGenerator random(99);
    QString first(9'000'000, Qt::Uninitialized);
    QString second(9'000'003, Qt::Uninitialized);
    for (QChar& c : first)
        c = QLatin1Char(random.bounded(2) ? 'a' : 'B');
    for (QChar& c : second)
        c = QLatin1Char(random.bounded(2) ? 'A' : 'B');
    const double plain = ArtistSimilarity(first, second);
    EXPECT_GT(plain, 50);
    EXPECT_EQ(ArtistSimilarity(PreparedName(first), PreparedName(second)), plain);
}

TEST(FormatScore, WritesUpToFifteenSignificantDigits)
{
    EXPECT_EQ(FormatScore(100), QStringLiteral("100"));
    EXPECT_EQ(FormatScore(400.0 / 6), QStringLiteral("66.6666666666667"));
    EXPECT_EQ(FormatScore(61.25), QStringLiteral("61.25"));
    EXPECT_EQ(FormatScore(0), QStringLiteral("0"));
    EXPECT_EQ(FormatScore(100.0 / 3), QStringLiteral("33.3333333333333"));
}

TEST(FormatScore, UsesTheLocaleDecimalSeparatorOnlyWhenAsked)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatScore(400.0 / 6, german), QStringLiteral("66,6666666666667"));
    EXPECT_EQ(FormatScore(100, german), QStringLiteral("100"));
    EXPECT_EQ(FormatScore(61.25, QLocale::c()), QStringLiteral("61.25"));
}

} // namespace
