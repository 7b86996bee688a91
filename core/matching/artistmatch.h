#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

namespace plumtide
{

// Artist keys and the similarity score that matches them against folder names.
//
// Text is handled as UTF-16 code units; positions, lengths and comparisons are per code
// unit. Upper-casing touches only "a" to "z", so a key's non-ASCII characters stay as the
// tag wrote them.

// Turns an artist name (from a tag, or a file name standing in for it) into its artist key:
// trimmed of every character up to U+0020, "a".."z" upper-cased, a leading track number
// ("001-", "12 3-") removed, cut at the first featuring mark or separator (" FEAT. ",
// " FT", " F", "&", "/", "-", "," ...), with the first "|", "!", "?", "(", ")" and up to two
// "[" deleted. The key is shown to the user and names new artist folders, so its exact form
// matters. It may be empty.
QString NormaliseArtist(const QString& name);

// Scores two names from 0 to 100 by comparing them position by position: both are
// upper-cased and lose their first space; an equal position earns 1, an unequal one that is
// neither the first nor the last of the shorter length earns 0.45 when `first`'s character
// stands one place to the right or left in `second`; the length difference is subtracted
// (a score that would not stay above 0 becomes 0), and the total is taken as a share of the
// shorter length. The order of the arguments matters: only `second`'s neighbours are looked
// at. The planner passes the file's artist key first and the folder name second.
//
// The score is computed exactly (in twentieths of a position) and rounded once at the
// end, so a score that is mathematically a whole percentage, such as 29 or 75, is exactly
// that number and compares with a whole-number threshold as it reads.
double ArtistSimilarity(const QString& first, const QString& second);

// A name prepared once for fast scoring: upper-cased, first space removed.
//
// Planning scores every file's key against every folder name (10,000 files x 20,000
// folders is a realistic collection), so the per-pair work of the plain ArtistSimilarity
// (copying, upper-casing and editing both strings) would dominate. Prepare each folder name
// once and each file key once, then score pairs with the overload below, which only reads
// the two prepared arrays and never allocates:
//
//     std::vector<PreparedName> folders;
//     for (const QString& folder : relativeFolderNames)
//         folders.emplace_back(folder);
//     for (const QString& key : fileKeys) {
//         const PreparedName preparedKey(key);
//         for (const PreparedName& folder : folders)
//             if (ArtistSimilarity(preparedKey, folder) >= threshold) ...
//     }
//
// The result is bit for bit that of ArtistSimilarity(key, folder) on the original strings.
class PreparedName
{
public:
    PreparedName() = default;
    explicit PreparedName(QStringView name);

    // The prepared code units.
    QStringView units() const { return m_units; }

private:
    QString m_units;
};

// ArtistSimilarity(first, second) of the names the two were prepared from.
double ArtistSimilarity(const PreparedName& first, const PreparedName& second) noexcept;

// The score of two prepared names in parts, for a planner that scores one key against many
// names of one length stored side by side: SimilarityTwentieths counts the credits of the
// first `shorter` positions of `a` and `b` in twentieths of a position (both must have at
// least `shorter` code units), and SimilarityOfTwentieths makes the score of them, so that
// ArtistSimilarity(x, y) == SimilarityOfTwentieths(SimilarityTwentieths(x, y, shorter),
// shorter, longer - shorter) for prepared x and y.
qint64 SimilarityTwentieths(const char16_t* a, const char16_t* b, qsizetype shorter) noexcept;
double SimilarityOfTwentieths(qint64 twentieths, qsizetype shorter, qsizetype difference) noexcept;
// Whether those twentieths score at least `threshold` (a whole percentage), without division:
// exactly SimilarityOfTwentieths(twentieths, shorter, difference) >= threshold.
inline bool ReachesThreshold(
    qint64 twentieths, qsizetype shorter, qsizetype difference, int threshold) noexcept
{
    const qint64 net = twentieths - 20 * difference;
    if (shorter == 0 || net <= 0)
        return threshold <= 0;
    // net * 5 / shorter >= threshold, and a correctly rounded quotient of integers this
    // small never crosses a whole number it does not reach.
    return net * 5 >= qint64(threshold) * shorter;
}

// The highest score two prepared names of these lengths can reach (every position equal):
// ArtistSimilarity(a, b) <= SimilarityUpperBound(a.units().size(), b.units().size()) holds
// exactly, so a planner may skip pairs whose bound is below its threshold.
double SimilarityUpperBound(qsizetype lengthA, qsizetype lengthB) noexcept;

// Writes a score as the plan's "%" column shows it: general format with up to 15
// significant digits and no trailing zeros ("100", "66.6666666666667", "61.25"), with the
// locale's decimal separator. For output that programs read, use the overload without a
// locale, which always writes ".".
QString FormatScore(double score, const QLocale& locale);
QString FormatScore(double score);

} // namespace plumtide
