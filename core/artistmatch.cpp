#include "core/artistmatch.h"

#include <algorithm>
#include <array>
#include <charconv>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plumtide
{

namespace
{

// Every character up to the space goes, control characters included, not just what Unicode
// calls white space.
bool isTrimmed(QChar c)
{
    return c.unicode() <= 32;
}

QString trimmed(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmed(text[begin]))
        ++begin;
    while (end > begin && isTrimmed(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

char16_t upperAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

void upperAsciiInPlace(QString& text)
{
    for (QChar& c : text)
        c = QChar(upperAscii(c.unicode()));
}

void removeFirst(QString& text, QChar c)
{
    const qsizetype at = text.indexOf(c);
    if (at >= 0)
        text.remove(at, 1);
}

// A track number in front of the artist ("001-Abba", "12 3-X"): the first dash within the
// first five characters, with at least three digits up to it. Two digits are not enough.
void removeLeadingTrackNumber(QString& text)
{
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    if (dash < 0 || dash > 4)
        return;
    const auto digits = std::count_if(text.cbegin(), text.cbegin() + dash,
        [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (digits >= 3)
        text.remove(0, dash + 1);
}

// Featuring marks and separators, tried in this order; the text is cut where each first
// occurs. The order matters: " F" alone would also cut "FOO FIGHTERS", and does.
constexpr std::array<QLatin1StringView, 20> cuts = {
    QLatin1StringView(" FEAT. "),
    QLatin1StringView(" FEAT "),
    QLatin1StringView(" WITH "),
    QLatin1StringView(" FT. "),
    QLatin1StringView(" AND "),
    QLatin1StringView(" FTE"),
    QLatin1StringView(" (FT"),
    QLatin1StringView(" VS"),
    QLatin1StringView(" FT"),
    QLatin1StringView(" F "),
    QLatin1StringView(" F."),
    QLatin1StringView(" F"),
    QLatin1StringView("+"),
    QLatin1StringView("&"),
    QLatin1StringView(";"),
    QLatin1StringView("/"),
    QLatin1StringView("\\"),
    QLatin1StringView("-"),
    QLatin1StringView("_"),
    QLatin1StringView(","),
};

// One occurrence each, in this order; "[" twice, and "]" never.
constexpr std::array<char, 7> deletions = { '|', '!', '?', '(', ')', '[', '[' };

// A neighbour credit of 0.45 is 9 twentieths and an equal position 20: counting in
// twentieths keeps the whole score an exact integer until the one rounding at the end.
constexpr qint64 equalCredit = 20;
constexpr qint64 neighbourCredit = 9;

double percentage(qint64 twentieths, qsizetype shorter, qsizetype difference)
{
    const qint64 penalty = equalCredit * difference;
    if (shorter == 0 || penalty >= twentieths)
        return 0.0;
    // (twentieths - penalty) / 20 / shorter * 100, with one rounding.
    return static_cast<double>((twentieths - penalty) * 5) / static_cast<double>(shorter);
}

QString prepared(QStringView name)
{
    QString text = name.toString();
    upperAsciiInPlace(text);
    removeFirst(text, QLatin1Char(' '));
    return text;
}

// Neighbour and equality credits of the positions between the first and the last of the
// shorter length, [1, shorter - 1), where both neighbours lie inside the shorter length.
qint64 innerCredits(const char16_t* a, const char16_t* b, qsizetype shorter)
{
    const qsizetype end = shorter - 1;
    qint64 twentieths = 0;
    qsizetype k = 1;
#if defined(__SSE2__)
    // Whole blocks of eight positions; the block at k reads b up to b[k + 8], which is
    // inside the shorter length while k + 8 <= end. A 32-bit lane of the block sum gains at
    // most 40 per block, so the sum moves into the 64-bit total after every 2^20 blocks.
    const auto load
        = [](const char16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    const __m128i equalValue = _mm_set1_epi16(static_cast<short>(equalCredit));
    const __m128i neighbourValue = _mm_set1_epi16(static_cast<short>(neighbourCredit));
    const __m128i ones = _mm_set1_epi16(1);
    while (k + 8 <= end) {
        const qsizetype segmentEnd = std::min(end, k + (qsizetype { 8 } << 20));
        __m128i sum = _mm_setzero_si128();
        for (; k + 8 <= segmentEnd; k += 8) {
            const __m128i c = load(a + k);
            const __m128i equal = _mm_cmpeq_epi16(c, load(b + k));
            const __m128i neighbour = _mm_or_si128(
                _mm_cmpeq_epi16(c, load(b + k + 1)), _mm_cmpeq_epi16(c, load(b + k - 1)));
            const __m128i credit = _mm_or_si128(_mm_and_si128(equal, equalValue),
                _mm_andnot_si128(equal, _mm_and_si128(neighbour, neighbourValue)));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(credit, ones));
        }
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
        twentieths += _mm_cvtsi128_si32(sum);
    }
#endif
    // Without branches: whether a position matches is as good as random, and mispredicted
    // branches would cost more than the arithmetic.
    for (; k < end; ++k) {
        const char16_t c = a[k];
        const qint64 equal = c == b[k];
        const qint64 neighbour = (c == b[k + 1]) | (c == b[k - 1]);
        twentieths += equal * equalCredit + (neighbour & (equal ^ 1)) * neighbourCredit;
    }
    return twentieths;
}

} // namespace

QString NormaliseArtist(const QString& name)
{
    QString key = trimmed(name);
    upperAsciiInPlace(key);
    removeLeadingTrackNumber(key);
    for (const QLatin1StringView cut : cuts) {
        const qsizetype at = key.indexOf(cut);
        if (at >= 0)
            key.truncate(at);
    }
    for (const char c : deletions)
        removeFirst(key, QLatin1Char(c));
    return trimmed(key);
}

// The plain form follows the rule step by step; the prepared form below is its fast twin,
// and the tests hold the two to the same results.
double ArtistSimilarity(const QString& first, const QString& second)
{
    const QString a = prepared(first);
    const QString b = prepared(second);
    const qsizetype shorter = std::min(a.size(), b.size());
    const qsizetype difference = std::max(a.size(), b.size()) - shorter;

    qint64 twentieths = 0;
    for (qsizetype k = 0; k < shorter; ++k) {
        if (a[k] == b[k]) {
            twentieths += equalCredit;
        } else if (k >= 1 && k <= shorter - 2) {
            if (a[k] == b[k + 1] || a[k] == b[k - 1])
                twentieths += neighbourCredit;
        }
    }
    return percentage(twentieths, shorter, difference);
}

PreparedName::PreparedName(QStringView name)
    : m_units(prepared(name))
{
}

double ArtistSimilarity(const PreparedName& first, const PreparedName& second) noexcept
{
    const char16_t* a = first.units().utf16();
    const char16_t* b = second.units().utf16();
    const qsizetype lengthA = first.units().size();
    const qsizetype lengthB = second.units().size();
    const qsizetype shorter = std::min(lengthA, lengthB);
    if (shorter == 0)
        return 0.0;

    // The first and the last position earn no neighbour credit.
    qint64 twentieths = a[0] == b[0] ? equalCredit : 0;
    if (shorter > 1 && a[shorter - 1] == b[shorter - 1])
        twentieths += equalCredit;
    twentieths += innerCredits(a, b, shorter);
    return percentage(twentieths, shorter, std::max(lengthA, lengthB) - shorter);
}

double SimilarityUpperBound(qsizetype lengthA, qsizetype lengthB) noexcept
{
    const qsizetype shorter = std::min(lengthA, lengthB);
    return percentage(equalCredit * shorter, shorter, std::max(lengthA, lengthB) - shorter);
}

QString FormatScore(double score)
{
    // std::to_chars ignores the C locale, which a Qt program sets from the environment.
    std::array<char, 64> buffer {};
    const auto result = std::to_chars(
        buffer.data(), buffer.data() + buffer.size(), score, std::chars_format::general, 15);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

QString FormatScore(double score, const QLocale& locale)
{
    QString text = FormatScore(score);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text;
}

} // namespace plumtide
