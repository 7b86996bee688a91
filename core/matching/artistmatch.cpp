#include "core/matching/artistmatch.h"

#include "core/matching/similaritykernel.h"

#include <algorithm>
#include <array>
#include <charconv>

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
constexpr std::array<QStringView, 20> cuts = {
    QStringView(u" FEAT. "),
    QStringView(u" FEAT "),
    QStringView(u" WITH "),
    QStringView(u" FT. "),
    QStringView(u" AND "),
    QStringView(u" FTE"),
    QStringView(u" (FT"),
    QStringView(u" VS"),
    QStringView(u" FT"),
    QStringView(u" F "),
    QStringView(u" F."),
    QStringView(u" F"),
    QStringView(u"+"),
    QStringView(u"&"),
    QStringView(u";"),
    QStringView(u"/"),
    QStringView(u"\\"),
    QStringView(u"-"),
    QStringView(u"_"),
    QStringView(u","),
};

// One occurrence each, in this order; "[" twice, and "]" never.
constexpr std::array<char, 7> deletions = { '|', '!', '?', '(', ')', '[', '[' };

using kernel::equalCredit;
using kernel::neighbourCredit;

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

} // namespace

QString NormaliseArtist(const QString& name)
{
    QString key = trimmed(name);
    upperAsciiInPlace(key);
    removeLeadingTrackNumber(key);
    // Most keys hold no space, and no cut of more than one character is found without one.
    const bool spaced = key.contains(QLatin1Char(' '));
    for (const QStringView cut : cuts) {
        if (cut.size() > 1 && !spaced)
            continue;
        const qsizetype at = cut.size() == 1 ? key.indexOf(cut.front()) : key.indexOf(cut);
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

qint64 SimilarityTwentieths(const char16_t* a, const char16_t* b, qsizetype shorter) noexcept
{
    return kernel::twentieths(a, b, shorter);
}

double SimilarityOfTwentieths(qint64 twentieths, qsizetype shorter, qsizetype difference) noexcept
{
    return percentage(twentieths, shorter, difference);
}

double ArtistSimilarity(const PreparedName& first, const PreparedName& second) noexcept
{
    const qsizetype lengthA = first.units().size();
    const qsizetype lengthB = second.units().size();
    const qsizetype shorter = std::min(lengthA, lengthB);
    return percentage(SimilarityTwentieths(first.units().utf16(), second.units().utf16(), shorter),
        shorter, std::max(lengthA, lengthB) - shorter);
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
