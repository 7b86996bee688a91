#include "core/matching/carefulmatch.h"

#include "id3/id3lists.h"

#include <QRegularExpression>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <limits>

namespace plumtide
{

namespace
{

// ---- Folding --------------------------------------------------------------------------

// Characters that vanish inside a word rather than separating it: apostrophes in their
// many spellings ("Guns N' Roses", "Destiny’s Child") and the Catalan middle dot.
bool vanishes(char32_t c)
{
    switch (c) {
    case U'\'':
    case U'`':
    case U'\u00b4': // acute accent
    case U'\u00b7': // middle dot
    case U'\u02bc': // modifier letter apostrophe
    case U'\u2018':
    case U'\u2019':
    case U'\u2032': // prime
    case U'\uff07': // fullwidth apostrophe
        return true;
    default:
        return false;
    }
}

// Latin letters that compatibility decomposition leaves alone, spelled plainly.
const char* plainSpelling(char32_t c)
{
    switch (c) {
    case U'ø':
    case U'Ø':
        return "o";
    case U'æ':
    case U'Æ':
        return "ae";
    case U'œ':
    case U'Œ':
        return "oe";
    case U'ł':
    case U'Ł':
        return "l";
    case U'ß':
    case U'ẞ':
        return "ss";
    case U'đ':
    case U'Đ':
    case U'ð':
    case U'Ð':
        return "d";
    case U'þ':
    case U'Þ':
        return "th";
    case U'ı':
        return "i";
    case U'ħ':
    case U'Ħ':
        return "h";
    case U'ŧ':
    case U'Ŧ':
        return "t";
    default:
        return nullptr;
    }
}

bool strippedScript(QChar::Script script)
{
    return script == QChar::Script_Latin || script == QChar::Script_Greek
        || script == QChar::Script_Cyrillic;
}

bool isDash(char32_t c)
{
    return c == U'-' || c == U'\u2013' || c == U'\u2014';
}

// Where a credit may be split before a word: always at a word of collaboration, ";", "/"
// and the value separator of multi-valued tags; at ",", "&", "+" and "and" only when the
// parts name artists (see CreditCandidates).
enum class Split : quint8 { None, Soft, Hard };

// One word of a folded text (a slice of the tokenizer's text), and what stood between it
// and the word before.
struct Token {
    qsizetype begin;
    qsizetype end;
    bool commaBefore; // a "," among the separators before it
    Split split; // a leading part may end before it
    bool joiner = false; // a word of collaboration ("feat", "and"), no part of a name
    bool openBefore = false; // a "(" or "[" among the separators before it
    bool closeAfter = false; // a ")" or "]" after it
    bool dotsBefore = false; // only dots and spaces between it and the word before
};

// Words that join the names of a credit rather than being part of one ("and" only maybe:
// "Earth, Wind & Fire" is one name).
Split collaborationSplit(QStringView word)
{
    static constexpr QLatin1StringView words[]
        = { QLatin1StringView("feat"), QLatin1StringView("ft"), QLatin1StringView("featuring"),
              QLatin1StringView("with"), QLatin1StringView("vs"), QLatin1StringView("x") };
    if (word == QLatin1StringView("and"))
        return Split::Soft;
    return std::any_of(std::begin(words), std::end(words),
               [&](QLatin1StringView collaboration) { return word == collaboration; })
        ? Split::Hard
        : Split::None;
}

// What a character below U+0500 (Latin, Greek, Cyrillic and their accented letters) folds
// to on its own, worked out once by the full decomposition: names in these scripts then
// fold without a normalisation pass each.
struct SmallFold {
    enum Kind : quint8 { Slow, Vanish, Ascii, Letters } kind = Slow;
    quint8 size = 0;
    char16_t text[3] = {};
};

constexpr char32_t kSmallFoldEnd = 0x500;

const std::array<SmallFold, kSmallFoldEnd>& smallFolds()
{
    static const std::array<SmallFold, kSmallFoldEnd> table = [] {
        std::array<SmallFold, kSmallFoldEnd> folds {};
        for (char32_t c = 0x80; c < kSmallFoldEnd; ++c) {
            SmallFold& fold = folds[c];
            const QChar::Category category = QChar::category(c);
            if (vanishes(c)) {
                fold.kind = SmallFold::Vanish;
                continue;
            }
            if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
                || category == QChar::Mark_Enclosing)
                continue; // a mark depends on the letter before it
            const QString decomposed
                = QString(QChar(char16_t(c))).normalized(QString::NormalizationForm_KD);
            if (decomposed.size() == 1 && decomposed.at(0).unicode() < 0x80) {
                fold.kind = SmallFold::Ascii; // a space, a digit, a letter: as typed
                fold.text[0] = decomposed.at(0).unicode();
                fold.size = 1;
                continue;
            }
            QString letters;
            bool simple = true;
            QChar::Script script = QChar::Script_Unknown;
            for (const QChar x : decomposed) {
                const QChar::Category part = x.category();
                if (part == QChar::Mark_NonSpacing || part == QChar::Mark_SpacingCombining
                    || part == QChar::Mark_Enclosing) {
                    simple = simple && strippedScript(script);
                } else if (const char* plain = plainSpelling(x.unicode())) {
                    letters.append(QLatin1StringView(plain));
                    script = QChar::Script_Latin;
                } else if (x.isLetterOrNumber() && !x.isSurrogate()) {
                    letters.append(x);
                    script = x.script();
                } else {
                    simple = false;
                }
            }
            letters = letters.toCaseFolded();
            if (!simple || letters.isEmpty() || letters.size() > 3)
                continue;
            fold.kind = SmallFold::Letters;
            fold.size = quint8(letters.size());
            for (qsizetype i = 0; i < letters.size(); ++i)
                fold.text[i] = letters.at(i).unicode();
        }
        return folds;
    }();
    return table;
}

// Splits a text into folded words, kept side by side in one buffer.
class Tokenizer
{
public:
    explicit Tokenizer(QStringView input)
    {
        const std::array<SmallFold, kSmallFoldEnd>& folds = smallFolds();
        const bool small = std::all_of(input.begin(), input.end(), [&](QChar c) {
            return c.unicode() < 0x80
                || (c.unicode() < kSmallFoldEnd && folds[c.unicode()].kind != SmallFold::Slow);
        });
        if (small) {
            for (const QChar c : input) {
                const char16_t u = c.unicode();
                if (u < 0x80) {
                    if (!vanishes(u))
                        take(u);
                    continue;
                }
                const SmallFold& fold = folds[u];
                if (fold.kind == SmallFold::Ascii)
                    take(fold.text[0]);
                else if (fold.kind == SmallFold::Letters)
                    m_text.append(fold.text, fold.size);
            }
        } else {
            QString text;
            text.reserve(input.size());
            for (const QChar c : input)
                if (!vanishes(c.unicode()))
                    text.append(c);
            text = text.normalized(QString::NormalizationForm_KD);
            const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
            const qsizetype size = text.size();
            for (qsizetype i = 0; i < size;) {
                char32_t c = units[i++];
                if (QChar::isHighSurrogate(c) && i < size && QChar::isLowSurrogate(units[i]))
                    c = QChar::surrogateToUcs4(char16_t(c), units[i++]);
                take(c);
            }
        }
        endWord();
    }

    size_t size() const { return size_t(m_tokens.size()); }
    const Token& token(size_t index) const { return m_tokens[qsizetype(index)]; }

    // The key of the words [begin, end): a leading "the" and a trailing ", the" dropped,
    // single letters that only dots or spaces separate joined ("R.E.M." reads "rem").
    QString key(size_t from, size_t to) const
    {
        qsizetype begin = qsizetype(from);
        qsizetype end = qsizetype(to);
        if (end - begin >= 2 && word(begin) == QLatin1StringView("the"))
            ++begin;
        if (end - begin >= 2 && word(end - 1) == QLatin1StringView("the")
            && m_tokens[end - 1].commaBefore)
            --end;
        QString key;
        if (begin >= end)
            return key;
        key.reserve(m_tokens[end - 1].end - m_tokens[begin].begin);
        for (qsizetype i = begin; i < end; ++i) {
            if (i > begin && !(m_tokens[i].dotsBefore && singleLetter(i) && singleLetter(i - 1)))
                key.append(QLatin1Char(' '));
            key.append(word(i));
        }
        return key;
    }
    QString key(size_t count) const { return key(0, count); }

    QStringView word(size_t token) const { return word(qsizetype(token)); }

    // Where a trailing qualifier in brackets ("(2)", "(US)", "[band]") begins among the
    // words [begin, end), or `end` when they have none (or are nothing else).
    size_t qualifierStart(size_t begin, size_t end) const
    {
        if (end - begin < 2 || !m_tokens[qsizetype(end - 1)].closeAfter)
            return end;
        size_t open = end - 1;
        while (open > begin && !m_tokens[qsizetype(open)].openBefore)
            --open;
        if (open == begin || !m_tokens[qsizetype(open)].openBefore)
            return end;
        QString words;
        bool digits = true;
        for (size_t i = open; i < end; ++i) {
            if (i > open)
                words.append(QLatin1Char(' '));
            words.append(word(i));
            digits = digits
                && std::all_of(word(i).begin(), word(i).end(), [](QChar c) { return c.isDigit(); });
        }
        static const QSet<QString> qualifiers = { QStringLiteral("band"), QStringLiteral("group"),
            QStringLiteral("rapper"), QStringLiteral("singer"), QStringLiteral("singer songwriter"),
            QStringLiteral("musician"), QStringLiteral("artist"), QStringLiteral("producer"),
            QStringLiteral("duo"), QStringLiteral("composer"), QStringLiteral("dj"),
            QStringLiteral("mc") };
        // A country ("US", "UK", "SWE") or a number tells artists of one name apart.
        const bool shortWord = end - open == 1 && words.size() <= 3
            && std::all_of(words.begin(), words.end(), [](QChar c) { return c.isLetter(); });
        return digits || shortWord || qualifiers.contains(words) ? open : end;
    }

private:
    QStringView word(qsizetype token) const
    {
        const Token& t = m_tokens[token];
        return QStringView(m_text.data() + t.begin, t.end - t.begin);
    }

    bool singleLetter(qsizetype token) const
    {
        const QStringView w = word(token);
        return (w.size() == 1 && w.at(0).isLetter())
            || (w.size() == 2 && w.at(0).isHighSurrogate() && QChar::isLetter(w.toUcs4().front()));
    }

    void take(char32_t c)
    {
        if (c < 0x80) {
            if (c >= U'a' && c <= U'z') {
                m_text.append(char16_t(c));
                m_lastScript = QChar::Script_Latin;
            } else if (c >= U'A' && c <= U'Z') {
                m_text.append(char16_t(c - U'A' + U'a'));
                m_lastScript = QChar::Script_Latin;
            } else if (c >= U'0' && c <= U'9') {
                m_text.append(char16_t(c));
                m_lastScript = QChar::Script_Common;
            } else if (c == U'$') {
                m_text.append(u's');
            } else if (c == U'&' || c == U'+') {
                endWord();
                m_text.append(u"and", 3);
                m_tokens.append(Token { m_wordStart, m_text.size(), m_comma,
                    std::max(m_split, Split::Soft), true, m_open });
                m_wordStart = m_text.size();
                resetSeparators();
                m_dots = false;
            } else {
                separator(c);
            }
            return;
        }
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
            || category == QChar::Mark_Enclosing) {
            // A mark belongs to the letter before it; it goes with the accents of the
            // scripts where people drop them, and with no letter to carry it.
            if (m_text.size() > m_wordStart && !strippedScript(m_lastScript))
                appendUcs4(c);
            return;
        }
        if (const char* plain = plainSpelling(c)) {
            for (; *plain; ++plain)
                m_text.append(char16_t(*plain));
            m_lastScript = QChar::Script_Latin;
            m_nonAscii = true;
            return;
        }
        if (QChar::isLetterOrNumber(c)) {
            appendUcs4(c);
            m_lastScript = QChar::script(c);
            m_nonAscii = true;
            return;
        }
        separator(c);
    }

    void appendUcs4(char32_t c)
    {
        if (QChar::requiresSurrogates(c)) {
            m_text.append(QChar::highSurrogate(c));
            m_text.append(QChar::lowSurrogate(c));
        } else {
            m_text.append(char16_t(c));
        }
    }

    void separator(char32_t c)
    {
        endWord();
        m_dots = m_dots && (c == U'.' || QChar::isSpace(c));
        if (c == U',') {
            m_comma = true;
            m_split = std::max(m_split, Split::Soft);
        } else if (c == U';' || c == U'/' || c == 0) {
            m_split = Split::Hard; // NUL: between the values of a multi-valued tag
        } else if (QChar::isSpace(c)) {
            if (m_dashAfterSpace)
                m_split = Split::Hard; // " - " between two words
            m_space = true;
        } else if (isDash(c)) {
            m_dashAfterSpace = m_space;
        } else if (c == U'(' || c == U'[') {
            m_open = true;
        } else if ((c == U')' || c == U']') && !m_tokens.isEmpty()) {
            m_tokens.back().closeAfter = true;
        }
    }

    void endWord()
    {
        if (m_text.size() == m_wordStart)
            return;
        if (m_nonAscii) {
            const QString folded
                = QStringView(m_text.data() + m_wordStart, m_text.size() - m_wordStart)
                      .toString()
                      .toCaseFolded()
                      .normalized(QString::NormalizationForm_C);
            m_text.resize(m_wordStart);
            m_text.append(reinterpret_cast<const char16_t*>(folded.utf16()), folded.size());
            m_nonAscii = false;
        }
        const QStringView word(m_text.data() + m_wordStart, m_text.size() - m_wordStart);
        Split split = collaborationSplit(word);
        // "duet with": the credit splits before "duet".
        if (split == Split::Hard && word == QLatin1StringView("with") && m_split == Split::None
            && !m_tokens.isEmpty()) {
            Token& before = m_tokens.back();
            if (QStringView(m_text.data() + before.begin, before.end - before.begin)
                == QLatin1StringView("duet")) {
                before.split = Split::Hard;
                before.joiner = true;
                split = Split::None;
            }
        }
        m_tokens.append(Token { m_wordStart, m_text.size(), m_comma, std::max(m_split, split),
            collaborationSplit(word) != Split::None, m_open, false,
            m_dots && !m_tokens.isEmpty() });
        m_wordStart = m_text.size();
        resetSeparators();
    }

    void resetSeparators()
    {
        m_comma = m_space = m_dashAfterSpace = m_open = false;
        m_split = Split::None;
        m_dots = true;
    }

    QVarLengthArray<char16_t, 128> m_text; // the folded words, one after the other
    QVarLengthArray<Token, 16> m_tokens;
    qsizetype m_wordStart = 0;
    QChar::Script m_lastScript = QChar::Script_Unknown;
    bool m_nonAscii = false;
    bool m_comma = false;
    Split m_split = Split::None;
    bool m_space = false;
    bool m_dashAfterSpace = false;
    bool m_open = false;
    bool m_dots = true;
};

// Code points of a key, for the one-letter tier.
qsizetype codePoints(const QString& key)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < key.size(); ++i)
        count += !QChar::isLowSurrogate(key.at(i).unicode());
    return count;
}

// Whether one code point inserted, deleted or replaced, or two neighbours swapped, make `a`
// of `b` ("Linkin Prak").
bool oneEditApart(const QString& a, const QString& b)
{
    const QList<uint> x = a.toUcs4();
    const QList<uint> y = b.toUcs4();
    const QList<uint>& longer = x.size() >= y.size() ? x : y;
    const QList<uint>& shorter = x.size() >= y.size() ? y : x;
    if (longer.size() - shorter.size() > 1)
        return false;
    qsizetype head = 0;
    while (head < shorter.size() && longer[head] == shorter[head])
        ++head;
    if (longer.size() == shorter.size()) {
        if (head == shorter.size())
            return false; // equal
        if (head + 1 < shorter.size() && longer[head] == shorter[head + 1]
            && longer[head + 1] == shorter[head]
            && std::equal(longer.begin() + head + 2, longer.end(), shorter.begin() + head + 2))
            return true;
        return std::equal(longer.begin() + head + 1, longer.end(), shorter.begin() + head + 1);
    }
    return std::equal(longer.begin() + head + 1, longer.end(), shorter.begin() + head);
}

QString digitsOf(const QString& key)
{
    QString digits;
    for (const QChar c : key)
        if (c.isDigit())
            digits.append(c);
    return digits;
}

qsizetype wordCount(const QString& key)
{
    return key.isEmpty() ? 0 : key.count(QLatin1Char(' ')) + 1;
}

constexpr qsizetype kMinimumOneOffKeyLength = 8;

// ---- Groupings ------------------------------------------------------------------------

// The keys of names libraries group artist folders by: the tag engine's genres, common
// genres beyond them, and words for collections.
const QSet<QString>& genreKeys()
{
    static const QSet<QString> keys = [] {
        QSet<QString> set;
        for (const QString& entry : GenreList()) {
            // Entries read "(17) Rock".
            const qsizetype name = entry.indexOf(QLatin1StringView(") "));
            set.insert(FoldArtist(name >= 0 ? QStringView(entry).mid(name + 2) : entry));
        }
        static const char* const more[] = { "Folk", "Folk-Rock", "Folk Rock", "Indie", "Indie Rock",
            "Indie Pop", "Latin", "Britpop", "Trip-Hop", "Singer-Songwriter", "Swing", "Bebop",
            "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Prog",
            "Prog Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Soft Rock", "Big Band",
            "Easy Listening", "Acoustic", "Chanson", "Opera", "Chamber Music", "Symphony", "Tango",
            "Samba", "Salsa", "Merengue", "Bossa Nova", "Flamenco", "Fado", "Reggaeton",
            "Dancehall", "Dub", "Afrobeat", "Ballad", "Punk Rock", "Post-Punk", "Post-Rock",
            "Hardcore", "Emo", "Shoegaze", "Grunge", "Heavy Metal", "Black Metal", "Thrash Metal",
            "Doom Metal", "Power Metal", "Nu Metal", "Metalcore", "Crossover", "Christian Rock",
            "Synthpop", "Synth-Pop", "Electropop", "Electro", "Electronica", "EDM", "Drum & Bass",
            "Dubstep", "Downtempo", "Chillout", "Lo-Fi", "Garage", "UK Garage", "Grime",
            "Breakbeat", "Big Beat", "Hip Hop", "Rap", "Soul", "Neo-Soul", "Motown", "Americana",
            "Rockabilly", "Zydeco", "Cajun", "Schlager", "Volksmusik", "Bollywood", "World",
            "World Music", "Soundtracks", "Soundtrack", "OST", "Film Scores", "Compilations",
            "Compilation", "Various", "K-Pop", "J-Pop", "J-Rock", "C-Pop", "Cantopop", "Mandopop",
            "Anime", "Children's", "Christmas", "Spoken Word", "Audiobooks", "Audiobook",
            "Podcasts", "Comedy", "Musicals", "Musical", "Oldies", "Lounge", "Exotica", "Techno",
            "House", "Deep House", "Tech House", "Progressive House", "Hardstyle", "Gabber",
            "Industrial", "EBM", "Darkwave", "Post-Rock", "Math Rock", "Stoner Rock", "Glam Rock",
            "Disco", "Funk", "Jazz Funk", "Smooth Jazz", "Blues Rock", "Country Rock",
            "Alt-Country", "Modern Classical", "Baroque", "Early Music", "Choral", "Gospel",
            "Reggae", "Ska", "Rocksteady", "Pop Rock", "Pop Punk", "Art Rock", "Krautrock",
            "New Wave", "Dream Pop", "Chiptune", "Vaporwave", "Ambient", "New Age", "Meditation" };
        for (const char* name : more)
            set.insert(FoldArtist(QString::fromUtf8(name)));
        return set;
    }();
    return keys;
}

// Whether a name is several grouping names joined by "&", "and", "," or "/" (or "_", which
// stands for what a file name cannot hold): "Hip-Hop & Rap", "Rock/Pop".
bool joinsGroupings(QStringView name)
{
    static const QRegularExpression joiner(
        QStringLiteral("\\s*(?:[&+,/_]|\\band\\b)\\s*"), QRegularExpression::CaseInsensitiveOption);
    const QStringList parts = name.toString().split(joiner);
    return parts.size() > 1 && std::all_of(parts.begin(), parts.end(), [](const QString& part) {
        const QString key = FoldArtist(part);
        return !key.isEmpty() && genreKeys().contains(key);
    });
}

bool trimmedChar(QChar c)
{
    return c.unicode() <= 32 || c.isSpace();
}

QString trimmedText(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && trimmedChar(text.at(begin)))
        ++begin;
    while (end > begin && trimmedChar(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// Whether a folder name (and its key, FoldArtist of it) is a grouping: decided on the
// key, which planning computes for every folder anyway, so that no folder costs a pattern
// match.
bool isGrouping(QStringView name, const QString& key)
{
    if (key.isEmpty())
        return name.trimmed() == QLatin1StringView("#");
    const auto single = [](QStringView word) {
        return word.size() == 1 || (word.size() == 2 && word.at(0).isHighSurrogate());
    };
    // "A", "Ж".
    if (single(key) && QChar::isLetter(QStringView(key).toUcs4().front()))
        return true;
    // "A-C", "0-9": two letters, or 0 and 9, with a dash between them.
    if (key == QLatin1StringView("0 9")
        || (key.size() == 3 && key.at(1) == QLatin1Char(' ') && key.at(0).isLetter()
            && key.at(2).isLetter())) {
        if (std::any_of(name.begin(), name.end(), [](QChar c) { return isDash(c.unicode()); }))
            return true;
    }
    // "60s", "1960s", "60's".
    if ((key.size() == 3 || key.size() == 5) && key.endsWith(QLatin1StringView("0s"))
        && std::all_of(key.begin(), key.end() - 1,
            [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return true;
    if (genreKeys().contains(key))
        return true;
    // Only names with a joiner cost a pattern match.
    return (key.contains(QLatin1StringView(" and "))
               || std::any_of(name.begin(), name.end(),
                   [](QChar c) {
                       return c == QLatin1Char(',') || c == QLatin1Char('/')
                           || c == QLatin1Char('_');
                   }))
        && joinsGroupings(name);
}

// Where a featured artist is named in an artist text (" feat. X", " (ft X)",
// " featuring X"), or -1.
qsizetype featuringMark(QStringView text)
{
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar before = text.at(i - 1);
        if (!before.isSpace() && before != QLatin1Char('(') && before != QLatin1Char('['))
            continue;
        qsizetype end = i;
        while (end < text.size() && text.at(end).isLetter())
            ++end;
        const QStringView word = text.mid(i, end - i);
        if (word.compare(QLatin1StringView("feat"), Qt::CaseInsensitive) != 0
            && word.compare(QLatin1StringView("ft"), Qt::CaseInsensitive) != 0
            && word.compare(QLatin1StringView("featuring"), Qt::CaseInsensitive) != 0)
            continue;
        if (end < text.size() && text.at(end) == QLatin1Char('.'))
            ++end;
        if (end == text.size() || text.at(end).isSpace()) {
            qsizetype cut = i - 1;
            while (cut > 0
                && (text.at(cut - 1).isSpace() || text.at(cut - 1) == QLatin1Char('(')
                    || text.at(cut - 1) == QLatin1Char('[')))
                --cut;
            return cut;
        }
    }
    return -1;
}

// A file name without its extension (of up to four letters or digits).
QString withoutExtension(const QString& fileName)
{
    QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && name.size() - dot <= 5) {
        const QStringView extension = QStringView(name).mid(dot + 1);
        if (!extension.isEmpty() && std::all_of(extension.begin(), extension.end(), [](QChar c) {
                return c.isLetterOrNumber();
            }))
            name.truncate(dot);
    }
    return name;
}

// The sides of " - ", " – " or "_-_" in a file name, each without a featured artist; a side
// without a letter (a track number, "1-07") is no name, and neither is a track number that
// leads a side ("07. Daft Punk"). None when the name has no such separator.
QStringList songNameSides(const QString& fileName)
{
    static const QRegularExpression separator(QStringLiteral("\\s+[-\\x{2013}]\\s+|_-_"));
    static const QRegularExpression trackNumber(QStringLiteral("^\\d{1,3}\\.\\s+"));
    const QStringList parts = withoutExtension(fileName).split(separator);
    QStringList sides;
    if (parts.size() < 2)
        return sides;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QString side = trimmedText(parts.at(i));
        if (i == 0)
            side.remove(trackNumber);
        const qsizetype cut = featuringMark(side);
        if (cut > 0)
            side.truncate(cut);
        if (std::any_of(side.begin(), side.end(), [](QChar c) { return c.isLetter(); }))
            sides.append(side);
    }
    return sides;
}

// ---- Latin spellings --------------------------------------------------------------------
//
// A table of our own rather than the transforms of a Unicode library: those are no
// dependency of the project, and they give one scheme per script where people name folders
// by two.

// Russian by BGN/PCGN and ISO 9, from "а" (U+0430) to "я"; "е" and "ё" take a "y" where a
// word or a vowel comes before them (see cyrillicLatin). Soft and hard signs are written
// "'", which folding drops, as people type them.
constexpr const char16_t* kRussianCommon[32] = { u"a", u"b", u"v", u"g", u"d", u"e", u"zh", u"z",
    u"i", u"y", u"k", u"l", u"m", u"n", u"o", u"p", u"r", u"s", u"t", u"u", u"f", u"kh", u"ts",
    u"ch", u"sh", u"shch", u"'", u"y", u"'", u"e", u"yu", u"ya" };
constexpr const char16_t* kRussianIso[32] = { u"a", u"b", u"v", u"g", u"d", u"e", u"ž", u"z", u"i",
    u"j", u"k", u"l", u"m", u"n", u"o", u"p", u"r", u"s", u"t", u"u", u"f", u"h", u"c", u"č", u"š",
    u"ŝ", u"'", u"y", u"'", u"è", u"û", u"â" };

bool cyrillicVowel(char16_t c)
{
    return QStringView(u"аеёиоуыэюяіїє").contains(QChar(c));
}

// Whether Russian "е" and "ё" are spelled with a "y" after this letter (0: none, the word
// starts) in the common scheme.
bool yeBefore(char16_t before)
{
    return before == 0 || cyrillicVowel(before) || before == u'й' || before == u'ъ'
        || before == u'ь';
}

// The Latin of one lower-case Cyrillic letter, or null when it is none of the table's.
// Ukrainian text (with "і", "ї", "є" or "ґ") reads "г" as "h" and "и" as "y" in the common
// scheme.
const char16_t* cyrillicLatin(char16_t c, char16_t before, bool iso, bool ukrainian)
{
    switch (c) {
    case u'ё':
        return iso ? u"ë" : yeBefore(before) ? u"yë" : u"ë";
    case u'є':
        return iso ? u"ê" : u"ye";
    case u'і':
        return iso ? u"ì" : u"i";
    case u'ї':
        return iso ? u"ï" : u"yi";
    case u'ґ':
        return iso ? u"g\u0300" : u"g";
    default:
        break;
    }
    if (c < u'а' || c > u'я')
        return nullptr;
    if (iso)
        return kRussianIso[c - u'а'];
    if (ukrainian && c == u'г')
        return u"h";
    if (ukrainian && c == u'и')
        return u"y";
    if (!ukrainian && c == u'е' && yeBefore(before))
        return u"ye";
    return kRussianCommon[c - u'а'];
}

// Greek by ELOT 743 (as BGN/PCGN write it) and ISO 843, from "α" (U+03B1) to "ω".
constexpr const char16_t* kGreekCommon[25]
    = { u"a", u"v", u"g", u"d", u"e", u"z", u"i", u"th", u"i", u"k", u"l", u"m", u"n", u"x", u"o",
          u"p", u"r", u"s", u"s", u"t", u"y", u"f", u"ch", u"ps", u"o" };
constexpr const char16_t* kGreekIso[25]
    = { u"a", u"v", u"g", u"d", u"e", u"z", u"ī", u"th", u"i", u"k", u"l", u"m", u"n", u"x", u"o",
          u"p", u"r", u"s", u"s", u"t", u"y", u"f", u"ch", u"ps", u"ō" };

// A lower-case Greek letter without its accent, and whether it had a diaeresis (which keeps
// it out of a diphthong); 0 when it is none of the table's.
char16_t greekBase(char16_t c, bool& diaeresis)
{
    diaeresis = false;
    switch (c) {
    case u'ά':
        return u'α';
    case u'έ':
        return u'ε';
    case u'ή':
        return u'η';
    case u'ί':
        return u'ι';
    case u'ό':
        return u'ο';
    case u'ύ':
        return u'υ';
    case u'ώ':
        return u'ω';
    case u'ϊ':
    case u'ΐ':
        diaeresis = true;
        return u'ι';
    case u'ϋ':
    case u'ΰ':
        diaeresis = true;
        return u'υ';
    default:
        return c >= u'α' && c <= u'ω' ? c : 0;
    }
}

// Spells the Greek letters from `at` on; returns how many it read (one, or two of a pair
// that is spelled as one).
qsizetype greekLatin(const QString& text, qsizetype at, bool iso, QString& out)
{
    bool diaeresis = false;
    bool nextDiaeresis = false;
    const char16_t c = greekBase(text.at(at).unicode(), diaeresis);
    const char16_t next
        = at + 1 < text.size() ? greekBase(text.at(at + 1).unicode(), nextDiaeresis) : 0;
    bool ignored = false;
    const char16_t after = at + 2 < text.size() ? greekBase(text.at(at + 2).unicode(), ignored) : 0;
    const bool wordStart = at == 0 || !text.at(at - 1).isLetter();
    if (next == u'υ' && !nextDiaeresis && (c == u'α' || c == u'ε' || c == u'η')) {
        out.append(QChar(iso ? kGreekIso[c - u'α'][0] : kGreekCommon[c - u'α'][0]));
        if (iso)
            out.append(QLatin1Char('u'));
        else // "f" before a voiceless consonant and at the end of a word
            out.append(after == 0 || QStringView(u"θκξπστφχψ").contains(QChar(after))
                    ? QLatin1Char('f')
                    : QLatin1Char('v'));
        return 2;
    }
    if (c == u'ο' && next == u'υ' && !nextDiaeresis) {
        out.append(QLatin1StringView("ou"));
        return 2;
    }
    if (!iso && c == u'γ' && (next == u'γ' || next == u'κ' || next == u'ξ' || next == u'χ')) {
        if (next == u'κ' && wordStart)
            out.append(QLatin1Char('g'));
        else if (next == u'κ')
            out.append(QLatin1StringView("ng"));
        else
            out.append(QLatin1Char('n')).append(QStringView(kGreekCommon[next - u'α']));
        return 2;
    }
    if (!iso && wordStart && ((c == u'μ' && next == u'π') || (c == u'ν' && next == u'τ'))) {
        out.append(QLatin1Char(c == u'μ' ? 'b' : 'd'));
        return 2;
    }
    if (!iso && c == u'μ' && next == u'π') {
        out.append(QLatin1StringView("mb"));
        return 2;
    }
    out.append(QStringView(iso ? kGreekIso[c - u'α'] : kGreekCommon[c - u'α']));
    return 1;
}

QString latinSpelling(const QString& lower, bool iso)
{
    const bool ukrainian = std::any_of(
        lower.begin(), lower.end(), [](QChar c) { return QStringView(u"іїєґ").contains(c); });
    QString out;
    out.reserve(lower.size() * 2);
    for (qsizetype i = 0; i < lower.size();) {
        const char16_t c = lower.at(i).unicode();
        bool diaeresis = false;
        if (greekBase(c, diaeresis) != 0) {
            i += greekLatin(lower, i, iso, out);
            continue;
        }
        const char16_t before
            = i > 0 && lower.at(i - 1).isLetter() ? lower.at(i - 1).unicode() : char16_t(0);
        if (const char16_t* latin = cyrillicLatin(c, before, iso, ukrainian))
            out.append(QStringView(latin));
        else
            out.append(lower.at(i));
        ++i;
    }
    return out;
}

} // namespace

QStringList LatinSpellings(QStringView text)
{
    const bool otherScript = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x370
            && (c.script() == QChar::Script_Cyrillic || c.script() == QChar::Script_Greek);
    });
    if (!otherScript)
        return {};
    const QString lower = text.toString().toLower().normalized(QString::NormalizationForm_C);
    QStringList spellings { latinSpelling(lower, false) };
    QString iso = latinSpelling(lower, true);
    if (iso != spellings.front())
        spellings.append(std::move(iso));
    return spellings;
}

QString MatchKindWord(TMatchKind kind)
{
    switch (kind) {
    case TMatchKind::Same:
        return QStringLiteral("same");
    case TMatchKind::OneOff:
        return QStringLiteral("one-off");
    case TMatchKind::Assigned:
        return QStringLiteral("assigned");
    case TMatchKind::FromName:
        return QStringLiteral("from-name");
    case TMatchKind::Similar:
        break;
    }
    return {};
}

QString MatchKindColumnText(TMatchKind kind)
{
    switch (kind) {
    case TMatchKind::Similar:
        break;
    case TMatchKind::Same:
        return QStringLiteral("same");
    case TMatchKind::OneOff:
        return QStringLiteral("1 off");
    case TMatchKind::Assigned:
        return QStringLiteral("assigned");
    case TMatchKind::FromName:
        return QStringLiteral("from name");
    }
    return {};
}

QString FoldArtist(QStringView text)
{
    const Tokenizer tokens(text);
    return tokens.key(tokens.size());
}

std::vector<TCredit> CreditCandidates(QStringView artistText, const TArtistKeyTest& isArtist)
{
    const Tokenizer tokens(artistText);
    const size_t size = tokens.size();
    QVarLengthArray<bool, 32> splits(qsizetype(size + 1), false);
    // Each part between the splits that always hold: its ",", "&", "+" and "and" split it
    // only when two of what they separate name artists of their own.
    for (size_t begin = 0; begin < size;) {
        size_t end = begin + 1;
        while (end < size && tokens.token(end).split != Split::Hard)
            ++end;
        if (end < size)
            splits[qsizetype(end)] = true;
        QVarLengthArray<size_t, 8> soft;
        for (size_t i = begin + 1; i < end; ++i)
            if (tokens.token(i).split == Split::Soft)
                soft.push_back(i);
        if (!soft.empty() && isArtist) {
            int artists = 0;
            size_t from = begin;
            for (qsizetype s = 0; s <= soft.size(); ++s) {
                const size_t to = s < soft.size() ? soft[s] : end;
                size_t first = from;
                while (first < to && tokens.token(first).joiner)
                    ++first;
                const QString key = tokens.key(first, to);
                artists += !key.isEmpty() && isArtist(key);
                from = to;
            }
            if (artists >= 2)
                for (const size_t i : soft)
                    splits[qsizetype(i)] = true;
        }
        begin = end;
    }
    std::vector<TCredit> candidates;
    const auto add = [&](size_t count) {
        QString key = tokens.key(count);
        if (key.isEmpty()
            || std::any_of(candidates.begin(), candidates.end(),
                [&](const TCredit& credit) { return credit.key == key; }))
            return;
        const size_t qualifier = tokens.qualifierStart(0, count);
        candidates.push_back(
            { std::move(key), qualifier < count ? tokens.key(qualifier) : QString() });
    };
    add(size);
    for (size_t count = size; count-- > 1;)
        if (splits[qsizetype(count)])
            add(count);
    return candidates;
}

QStringList ArtistCandidates(QStringView artistText, const TArtistKeyTest& isArtist)
{
    QStringList keys;
    for (TCredit& credit : CreditCandidates(artistText, isArtist))
        keys.append(std::move(credit.key));
    return keys;
}

bool IsPlaceholderKey(const QString& key)
{
    static const QSet<QString> placeholders = { QString(), QStringLiteral("various artists"),
        QStringLiteral("various artist"), QStringLiteral("various"), QStringLiteral("va"),
        QStringLiteral("v a"), QStringLiteral("unknown"), QStringLiteral("unknown artist"),
        QStringLiteral("unknown artists"), QStringLiteral("artist"), QStringLiteral("no artist"),
        QStringLiteral("none"), QStringLiteral("n a"), QStringLiteral("untitled"),
        QStringLiteral("anonymous") };
    return placeholders.contains(key);
}

bool IsGroupingName(const QString& name)
{
    return isGrouping(name, FoldArtist(name));
}

QString ArtistTextOf(const QString& tagArtist, const QString& fileName)
{
    QString artist = trimmedText(tagArtist);
    if (!artist.isEmpty())
        return artist;
    const QString name = withoutExtension(fileName);
    // Exactly two parts: "01 - Artist - Title" or "Artist - Album - Title" cannot be told
    // apart, and a guess is what careful matching never makes.
    static const QRegularExpression dash(QStringLiteral("\\s[-\\x{2013}]\\s"));
    const QStringList parts = name.split(dash);
    if (parts.size() != 2)
        return {};
    artist = trimmedText(parts.at(0));
    const bool hasLetter
        = std::any_of(artist.begin(), artist.end(), [](QChar c) { return c.isLetter(); });
    if (!hasLetter || trimmedText(parts.at(1)).isEmpty())
        return {};
    return artist;
}

// ---- TCarefulMatcher ------------------------------------------------------------------

// Hashes of keys over their code points, such that the hash of a key less one code point
// follows from the key's prefix hashes without building that key: planning looks up every
// one-letter deletion of a tag's key, and of every long folder key when indexing.
namespace
{

constexpr quint64 kHashBase = 0x100000001b3ULL;

class KeyHashes
{
public:
    // Reuses the buffers of an earlier key.
    void assign(QStringView key)
    {
        m_units.clear();
        const char16_t* data = reinterpret_cast<const char16_t*>(key.utf16());
        for (qsizetype i = 0; i < key.size(); ++i) {
            char32_t c = data[i];
            if (QChar::isHighSurrogate(c) && i + 1 < key.size()
                && QChar::isLowSurrogate(data[i + 1]))
                c = QChar::surrogateToUcs4(char16_t(c), data[++i]);
            m_units.push_back(c);
        }
        m_prefix.resize(m_units.size() + 1);
        m_power.resize(m_units.size() + 1);
        m_prefix[0] = 0;
        m_power[0] = 1;
        for (qsizetype i = 0; i < m_units.size(); ++i) {
            m_prefix[i + 1] = m_prefix[i] * kHashBase + m_units[i] + 1;
            m_power[i + 1] = m_power[i] * kHashBase;
        }
    }
    qsizetype length() const { return m_units.size(); }
    quint64 whole() const { return m_prefix.back(); }
    // The hash of the key without its code point at `at`.
    quint64 without(qsizetype at) const
    {
        const quint64 shift = m_power[length() - 1 - at];
        return whole() - m_prefix[at + 1] * shift + m_prefix[at] * shift;
    }
    // Calls `f` with the hash of each distinct deletion of one letter from the key
    // (deleting any of a run of equal letters gives one and the same key). A space or a
    // digit is never deleted: the one-letter tier asks for the same words and digits.
    template <typename F> void forEachDeletion(F&& f) const
    {
        for (qsizetype i = 0; i < length(); ++i) {
            const char32_t c = m_units[i];
            if (c != U' ' && !QChar::isDigit(c) && (i == 0 || c != m_units[i - 1]))
                f(without(i));
        }
    }

private:
    QVarLengthArray<char32_t, 64> m_units; // code points
    QVarLengthArray<quint64, 65> m_prefix; // m_prefix[i]: hash of the first i code points
    QVarLengthArray<quint64, 65> m_power; // m_power[i]: kHashBase^i
};

quint64 keyHash(QStringView key)
{
    quint64 hash = 0;
    const char16_t* data = reinterpret_cast<const char16_t*>(key.utf16());
    for (qsizetype i = 0; i < key.size(); ++i) {
        char32_t c = data[i];
        if (QChar::isHighSurrogate(c) && i + 1 < key.size() && QChar::isLowSurrogate(data[i + 1]))
            c = QChar::surrogateToUcs4(char16_t(c), data[++i]);
        hash = hash * kHashBase + c + 1;
    }
    return hash;
}

// Slots of a HashTable: part of the hash, to tell entries apart, and a value. The wide
// slot keeps 32 bits of each; the narrow one, for the large tables of the one-letter tier,
// 8 bits of hash and values below 2^24 in half the memory.
struct WideSlot {
    quint32 check = 0;
    qint32 value = -1;

    static constexpr qint64 maxValue = std::numeric_limits<qint32>::max();
    WideSlot() = default;
    WideSlot(quint64 hash, qint32 stored)
        : check(quint32(hash >> 32))
        , value(stored)
    {
    }
    bool empty() const { return value < 0; }
    bool matches(quint64 hash) const { return check == quint32(hash >> 32); }
    qint32 get() const { return value; }
};

struct NarrowSlot {
    quint32 bits = 0; // 8 bits of hash, then the value + 1; 0 when empty

    static constexpr qint64 maxValue = (qint64(1) << 24) - 2;
    NarrowSlot() = default;
    NarrowSlot(quint64 hash, qint32 stored)
        : bits(quint32(hash >> 56) << 24 | quint32(stored + 1))
    {
    }
    bool empty() const { return bits == 0; }
    bool matches(quint64 hash) const { return bits >> 24 == quint32(hash >> 56); }
    qint32 get() const { return qint32(bits & 0xffffff) - 1; }
};

// A hash table of (hash, value) filled once, open addressing: no allocation per entry, and
// a lookup reads one short run of slots. Only part of each hash is kept; callers compare
// the keys themselves, so a collision costs a comparison, never a wrong answer.
template <typename Slot> class HashTable
{
public:
    bool empty() const { return m_count == 0; }

    // Room for `count` entries, at most two thirds full.
    void reserve(size_t count)
    {
        size_t capacity = 16;
        while (capacity < count + count / 2)
            capacity *= 2;
        m_mask = capacity - 1;
        m_slots.assign(capacity, Slot());
    }

    // Within the room reserved; 0 <= value <= Slot::maxValue.
    void insert(quint64 hash, qint32 value)
    {
        size_t slot = mix(hash) & m_mask;
        while (!m_slots[slot].empty())
            slot = (slot + 1) & m_mask;
        m_slots[slot] = Slot(hash, value);
        ++m_count;
    }

    // Starts reading the slot of `hash`, so that several lookups wait for memory together.
    void prefetch(quint64 hash) const
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[mix(hash) & m_mask]);
    }

    template <typename F> void find(quint64 hash, F&& f) const
    {
        if (m_slots.empty())
            return;
        for (size_t slot = mix(hash) & m_mask; !m_slots[slot].empty(); slot = (slot + 1) & m_mask)
            if (m_slots[slot].matches(hash))
                f(m_slots[slot].get());
    }

private:
    // The polynomial hash's low bits depend on few code points; spread them.
    static size_t mix(quint64 x)
    {
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdULL;
        x ^= x >> 33;
        return size_t(x);
    }

    std::vector<Slot> m_slots;
    size_t m_mask = 0;
    size_t m_count = 0;
};

// One bit per hash, eight bits per entry: small enough to stay in the processor's cache
// where the tables do not, and it answers "not there" for nearly nine in ten lookups of
// what is not there.
class BitFilter
{
public:
    void reserve(size_t count)
    {
        size_t bits = 64;
        while (bits < count * 8)
            bits *= 2;
        m_mask = bits - 1;
        m_words.assign(bits / 64, 0);
    }
    void add(quint64 hash)
    {
        const size_t bit = size_t(hash >> 20) & m_mask;
        m_words[bit / 64] |= quint64(1) << (bit % 64);
    }
    bool mayContain(quint64 hash) const
    {
        if (m_words.empty())
            return false;
        const size_t bit = size_t(hash >> 20) & m_mask;
        return (m_words[bit / 64] >> (bit % 64)) & 1;
    }

private:
    std::vector<quint64> m_words;
    size_t m_mask = 0;
};

} // namespace

namespace
{

// The key of a folder name without its trailing qualifier in brackets ("Bush (band)":
// "bush"); empty when it has none.
QString qualifiedBase(QStringView name)
{
    const QStringView trimmed = name.trimmed();
    if (!trimmed.endsWith(QLatin1Char(')')) && !trimmed.endsWith(QLatin1Char(']')))
        return {};
    const Tokenizer tokens(trimmed);
    const size_t start = tokens.qualifierStart(0, tokens.size());
    return start < tokens.size() ? tokens.key(start) : QString();
}

// The keys a folder name with "_" may stand for besides its own: file systems and older
// tools put "_" for a character they refuse ("&", "'", "$", "!", "/", ":", "?", a trailing
// "." and the like) or for nothing. Of these, "&" (and "+") reads "and", "$" reads "s",
// "'" and nothing join; the rest separate words as "_" itself does. A name with more than
// two "_" uses them for spaces.
QStringList mangledKeys(QStringView name, const QString& key)
{
    const qsizetype count = name.count(QLatin1Char('_'));
    if (count == 0 || count > 2)
        return {};
    static constexpr QLatin1StringView readings[] = { QLatin1StringView("_"), QLatin1StringView(""),
        QLatin1StringView("&"), QLatin1StringView("$") };
    constexpr int kinds = int(std::size(readings));
    QStringList keys;
    int combinations = 1;
    for (qsizetype i = 0; i < count; ++i)
        combinations *= kinds;
    for (int combination = 1; combination < combinations; ++combination) {
        QString text;
        int rest = combination;
        for (const QChar c : name) {
            if (c != QLatin1Char('_')) {
                text.append(c);
                continue;
            }
            text.append(readings[rest % kinds]);
            rest /= kinds;
        }
        QString variant = FoldArtist(text);
        if (!variant.isEmpty() && variant != key && !keys.contains(variant))
            keys.append(std::move(variant));
    }
    return keys;
}

} // namespace

class TCarefulMatcher::Index
{
public:
    struct ArtistFolder {
        qint32 folder; // index into the folders
        qint32 depth;
        QString key;
        quint64 hash; // of the key
        // A key the name may stand for, "_" read as a character file names refuse
        // ("Ke_ha": "kesha"); never the one-letter tier's.
        bool mangled = false;
        QString base = {}; // the key without a trailing qualifier ("Bush (band)"), if any
    };

    // `folders` as a refresh lists them: the parents of a folder are among them. Only the
    // folders in the destination and in groupings are looked at (folded); the albums below
    // artist folders, often half of all folders, cost a lookup of their parent each.
    explicit Index(const std::vector<TFolderRow>& folders)
    {
        QSet<QStringView> groupings; // paths made of groupings only: a few dozen
        std::vector<std::pair<QString, quint64>> ownKeys; // with their hashes
        ownKeys.reserve(folders.size());
        m_artists.reserve(folders.size());
        const auto classify = [&](qint32 i, QStringView path, qsizetype slash, qint32 depth) {
            // An artist folder stands directly in the destination or in groupings; below an
            // artist folder are its albums, never candidates.
            if (slash >= 0 && !groupings.contains(path.left(slash)))
                return;
            const QStringView own = path.mid(slash + 1);
            QString key = FoldArtist(own);
            if (key.isEmpty()) {
                if (isGrouping(own, key))
                    groupings.insert(path);
                return;
            }
            const quint64 hash = keyHash(key);
            ownKeys.emplace_back(key, hash);
            if (isGrouping(own, key)) {
                groupings.insert(path);
                m_groupings.push_back({ i, depth, std::move(key), hash });
            } else if (!IsPlaceholderKey(key)) {
                QString base = qualifiedBase(own);
                if (!base.isEmpty())
                    ownKeys.emplace_back(base, keyHash(base));
                for (QString& mangled : mangledKeys(own, key)) {
                    const quint64 mangledHash = keyHash(mangled);
                    ownKeys.emplace_back(mangled, mangledHash);
                    m_artists.push_back({ i, depth, std::move(mangled), mangledHash, true });
                }
                m_artists.push_back({ i, depth, std::move(key), hash, false, std::move(base) });
            }
        };
        // The folders in the destination first, then those below by depth, so that a
        // folder's parent is known when the folder comes.
        struct Deeper {
            qint32 index;
            QStringView path;
            qsizetype slash; // the last "/"
        };
        std::vector<std::vector<Deeper>> deeper;
        for (size_t i = 0; i < folders.size(); ++i) {
            QStringView path(folders[i].relativeName);
            while (path.endsWith(QLatin1Char('/')))
                path.chop(1);
            if (path.isEmpty())
                continue;
            qsizetype slash = -1;
            size_t depth = 0;
            for (qsizetype c = 0; c < path.size(); ++c) {
                if (path[c] == QLatin1Char('/')) {
                    slash = c;
                    ++depth;
                }
            }
            if (depth == 0) {
                classify(qint32(i), path, slash, 1);
                continue;
            }
            if (deeper.size() < depth)
                deeper.resize(depth);
            deeper[depth - 1].push_back({ qint32(i), path, slash });
        }
        for (size_t below = 0; below < deeper.size(); ++below)
            for (const Deeper& folder : deeper[below])
                classify(folder.index, folder.path, folder.slash, qint32(below + 2));

        m_ownNames.reserve(ownKeys.size());
        m_ownKeys.reserve(ownKeys.size());
        for (auto& [key, hash] : ownKeys) {
            if (hasOwnKey(key, hash))
                continue;
            m_ownNames.insert(hash, qint32(m_ownKeys.size()));
            m_ownKeys.push_back(std::move(key));
        }
        m_byKey.reserve(m_artists.size());
        size_t bases = 0;
        for (size_t a = 0; a < m_artists.size(); ++a) {
            m_byKey.insert(m_artists[a].hash, qint32(a));
            bases += !m_artists[a].base.isEmpty();
        }
        m_byBase.reserve(bases);
        for (size_t a = 0; a < m_artists.size(); ++a)
            if (!m_artists[a].base.isEmpty())
                m_byBase.insert(keyHash(m_artists[a].base), qint32(a));
        m_byGrouping.reserve(m_groupings.size());
        for (size_t g = 0; g < m_groupings.size(); ++g)
            m_byGrouping.insert(m_groupings[g].hash, qint32(g));
        buildOneOff();
    }

    // The artist folders whose key without its qualifier is `key`.
    template <typename F> void forBase(const QString& key, quint64 hash, F&& f) const
    {
        m_byBase.find(hash, [&](qint32 artist) {
            if (m_artists[size_t(artist)].base == key)
                f(m_artists[size_t(artist)]);
        });
    }

    // The groupings whose own key is `key`.
    template <typename F> void forGrouping(const QString& key, quint64 hash, F&& f) const
    {
        m_byGrouping.find(hash, [&](qint32 grouping) {
            if (m_groupings[size_t(grouping)].key == key)
                f(m_groupings[size_t(grouping)]);
        });
    }

    // Whether an artist folder has this key, with or without its qualifier.
    bool hasArtistKey(const QString& key) const
    {
        const quint64 hash = keyHash(key);
        bool found = false;
        forEqual(key, hash, [&](const ArtistFolder&) { found = true; });
        if (!found)
            forBase(key, hash, [&](const ArtistFolder&) { found = true; });
        return found;
    }

    // The artist folders whose key is `key` (of hash `hash`).
    template <typename F> void forEqual(const QString& key, F&& f) const
    {
        forEqual(key, keyHash(key), std::forward<F>(f));
    }
    template <typename F> void forEqual(const QString& key, quint64 hash, F&& f) const
    {
        m_byKey.find(hash, [&](qint32 artist) {
            if (m_artists[size_t(artist)].key == key)
                f(m_artists[size_t(artist)]);
        });
    }

    // Adds the artist folders one letter off `key` (see TCarefulMatcher::match).
    void collectOneOff(const QString& key, std::vector<qint32>& found) const
    {
        const qsizetype length = codePoints(key);
        if (length + 1 < kMinimumOneOffKeyLength || length - 1 >= qsizetype(m_oneOff.size()))
            return;
        KeyHashes hashes;
        hashes.assign(key);
        const qsizetype words = wordCount(key);
        const QString digits = digitsOf(key);
        const auto consider = [&](qint32 value) {
            const ArtistFolder& folder = m_artists[size_t(value / 2)];
            if (std::find(found.begin(), found.end(), folder.folder) == found.end()
                && oneEditApart(key, folder.key) && wordCount(folder.key) == words
                && digitsOf(folder.key) == digits)
                found.push_back(folder.folder);
        };
        // A folder key one letter longer (the tag lacks one): one of its deletions is the
        // tag's key.
        if (length < qsizetype(m_oneOff.size()))
            m_oneOff[size_t(length)].entries.find(hashes.whole(), [&](qint32 value) {
                if (value % 2 == 0)
                    consider(value);
            });
        // A folder key one letter shorter (the tag has one too many), or of the same length
        // with one letter replaced: the tag's key less one letter is the key, or one of its
        // deletions. All of them are of one length: one table, read ahead for the
        // deletions that the filter lets through (most do not: they are no folder's).
        const LengthTable& shorter = m_oneOff[size_t(length - 1)];
        if (shorter.entries.empty())
            return;
        QVarLengthArray<quint64, 64> deletions;
        hashes.forEachDeletion([&](quint64 hash) {
            if (!shorter.filter.mayContain(hash))
                return;
            shorter.entries.prefetch(hash);
            deletions.append(hash);
        });
        for (const quint64 hash : deletions)
            shorter.entries.find(hash, consider);
    }

    bool hasOwnKey(const QString& key) const { return hasOwnKey(key, keyHash(key)); }
    bool hasOwnKey(const QString& key, quint64 hash) const
    {
        bool found = false;
        m_ownNames.find(
            hash, [&](qint32 index) { found = found || m_ownKeys[size_t(index)] == key; });
        return found;
    }

private:
    // Every long artist folder key (odd values) and each of its one-letter deletions (even
    // values), in one table per length of what is stored, so that the lookups of one tag,
    // all of two lengths, read two small tables rather than one large one.
    // Table by table, so that each is filled while it is in the processor's cache: the
    // table of length n holds the keys of n code points and the deletions of keys of n + 1.
    void buildOneOff()
    {
        std::vector<std::vector<qint32>> byLength;
        for (size_t a = 0; a < m_artists.size(); ++a) {
            const qsizetype length = codePoints(m_artists[a].key);
            if (length < kMinimumOneOffKeyLength || m_artists[a].mangled)
                continue;
            if (qsizetype(byLength.size()) <= length)
                byLength.resize(size_t(length + 1));
            byLength[size_t(length)].push_back(qint32(a));
        }
        // Beyond what a narrow slot holds (millions of artist folders), no letter is forgiven.
        if (byLength.empty() || qint64(m_artists.size()) * 2 + 1 > NarrowSlot::maxValue)
            return;
        m_oneOff.resize(byLength.size());
        KeyHashes hashes;
        for (size_t length = kMinimumOneOffKeyLength - 1; length < byLength.size(); ++length) {
            const std::vector<qint32>& exact = byLength[length];
            static const std::vector<qint32> none;
            const std::vector<qint32>& longer
                = length + 1 < byLength.size() ? byLength[length + 1] : none;
            LengthTable& table = m_oneOff[length];
            const size_t count = exact.size() + longer.size() * (length + 1);
            if (count == 0)
                continue;
            table.entries.reserve(count);
            table.filter.reserve(count);
            for (const qint32 a : exact) {
                const quint64 hash = m_artists[size_t(a)].hash;
                table.entries.insert(hash, a * 2 + 1);
                table.filter.add(hash);
            }
            for (const qint32 a : longer) {
                hashes.assign(m_artists[size_t(a)].key);
                hashes.forEachDeletion([&](quint64 hash) {
                    table.entries.insert(hash, a * 2);
                    table.filter.add(hash);
                });
            }
        }
    }

    std::vector<ArtistFolder> m_artists;
    HashTable<WideSlot> m_byKey; // artist folder keys
    HashTable<WideSlot> m_byBase; // the keys of artist folders without their qualifier
    std::vector<ArtistFolder> m_groupings; // those with a key
    HashTable<WideSlot> m_byGrouping;
    // One-letter tier: every long artist folder key (odd values) and each of its deletions
    // of one letter (even values), by the length of what is stored, so that the lookups of
    // one tag, all of two lengths, read two small tables rather than one large one.
    struct LengthTable {
        HashTable<NarrowSlot> entries;
        BitFilter filter; // whether a hash may be among the entries
    };
    std::vector<LengthTable> m_oneOff;
    HashTable<WideSlot> m_ownNames; // the own-name keys of artist folders and groupings, each once
    std::vector<QString> m_ownKeys;
};

TCarefulMatcher::TCarefulMatcher(
    const std::vector<TFolderRow>& folders, const TAssignments& assignments, bool acceptOneOff)
    : m_assignments(assignments, folders)
    , m_index(std::make_unique<Index>(folders))
    , m_acceptOneOff(acceptOneOff)
{
}

TCarefulMatcher::~TCarefulMatcher() = default;

bool TCarefulMatcher::hasFolderKey(const QString& key) const
{
    return m_index->hasOwnKey(key);
}

std::vector<TCredit> TCarefulMatcher::credits(const QString& artistText) const
{
    return CreditCandidates(artistText, [this](const QString& key) {
        return m_index->hasArtistKey(key)
            || (!m_assignments.isEmpty() && m_assignments.find(QStringList { key }));
    });
}

std::optional<TCarefulMatch> TCarefulMatcher::match(
    const QString& tagArtist, const QString& fileName) const
{
    TCarefulMiss miss;
    return decide(tagArtist, fileName, miss);
}

std::optional<TCarefulMatch> TCarefulMatcher::matchByTag(
    const QString& tagArtist, const QString& fileName) const
{
    TCarefulMiss miss;
    return decide(tagArtist, fileName, miss, true);
}

std::vector<qint32> TCarefulMatcher::shallowestEqual(const QString& key) const
{
    qint32 depth = std::numeric_limits<qint32>::max();
    std::vector<qint32> shallowest;
    m_index->forEqual(key, keyHash(key), [&](const Index::ArtistFolder& folder) {
        if (folder.depth < depth) {
            depth = folder.depth;
            shallowest.clear();
        }
        if (folder.depth == depth)
            shallowest.push_back(folder.folder);
    });
    return shallowest;
}

std::optional<TCarefulMatch> TCarefulMatcher::fromName(
    const QString& fileName, TCarefulMiss& miss) const
{
    std::vector<qint32> found;
    for (const QString& side : songNameSides(fileName)) {
        QStringList keys { FoldArtist(side) };
        for (const QString& latin : LatinSpellings(side))
            keys.append(FoldArtist(latin));
        for (const QString& key : keys) {
            if (IsPlaceholderKey(key))
                continue;
            const std::vector<qint32> folders = shallowestEqual(key);
            if (!folders.empty()) {
                found.insert(found.end(), folders.begin(), folders.end());
                break; // its Latin spellings name the same artist
            }
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    if (found.size() == 1)
        return TCarefulMatch { found.front(), TMatchKind::FromName };
    if (!found.empty())
        miss = { TUnfiledReason::NameAmbiguous, std::move(found) };
    return std::nullopt;
}

TCarefulMiss TCarefulMatcher::whyUnfiled(const QString& tagArtist, const QString& fileName) const
{
    TCarefulMiss miss;
    if (decide(tagArtist, fileName, miss))
        return {};
    return miss;
}

std::optional<TCarefulMatch> TCarefulMatcher::decide(
    const QString& tagArtist, const QString& fileName, TCarefulMiss& miss, bool byTagOnly) const
{
    const QString artistText = ArtistTextOf(tagArtist, fileName);
    const std::vector<TCredit> candidates = credits(artistText);
    if (!m_assignments.isEmpty()) {
        QStringList keys;
        for (const TCredit& credit : candidates)
            keys.append(credit.key);
        if (const std::optional<qint32> assigned = m_assignments.find(keys))
            return TCarefulMatch { *assigned, TMatchKind::Assigned };
    }

    // One folder files the file; several leave it unfiled, with them.
    const auto decided = [&](std::vector<qint32> folders) -> std::optional<TCarefulMatch> {
        std::sort(folders.begin(), folders.end());
        folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
        if (folders.size() == 1)
            return TCarefulMatch { folders.front(), TMatchKind::Same };
        miss = { TUnfiledReason::Ambiguous, std::move(folders) };
        return std::nullopt;
    };
    // A suggestion one letter off: filed only when the user accepts such suggestions.
    const auto suggested = [&](std::vector<qint32> folders) -> std::optional<TCarefulMatch> {
        if (folders.size() == 1 && m_acceptOneOff)
            return TCarefulMatch { folders.front(), TMatchKind::OneOff };
        std::sort(folders.begin(), folders.end());
        miss = { TUnfiledReason::OneOff, std::move(folders) };
        return std::nullopt;
    };

    if (!byTagOnly && trimmedText(tagArtist).isEmpty())
        return fromName(fileName, miss);

    // The credits of the artist spelled in Latin, each list in the order of the credits.
    std::vector<std::vector<TCredit>> latin;
    if (!byTagOnly)
        for (const QString& spelling : LatinSpellings(artistText))
            latin.push_back(credits(spelling));

    std::vector<qint32> oneOff;
    for (size_t c = 0; c < candidates.size(); ++c) {
        const QString& key = candidates[c].key;
        if (IsPlaceholderKey(key))
            continue;
        // The same key: the shallowest such folders decide, also when they tie. So do those
        // of the same key in Latin letters.
        const quint64 hash = keyHash(key);
        std::vector<qint32> shallowest = shallowestEqual(key);
        if (shallowest.empty())
            for (const std::vector<TCredit>& spelled : latin)
                if (c < spelled.size() && !IsPlaceholderKey(spelled[c].key)) {
                    const std::vector<qint32> folders = shallowestEqual(spelled[c].key);
                    shallowest.insert(shallowest.end(), folders.begin(), folders.end());
                }
        if (!shallowest.empty())
            return decided(std::move(shallowest));
        // A grouping of the whole credit's name is that artist's folder too (The Cult, X).
        if (c == 0) {
            std::vector<qint32> groupings;
            m_index->forGrouping(key, hash,
                [&](const Index::ArtistFolder& folder) { groupings.push_back(folder.folder); });
            if (!groupings.empty())
                return decided(std::move(groupings));
        }
        // A qualifier in brackets read off the folder's key or the tag's; a folder with
        // another qualifier than the tag's is another artist, yet makes the choice unsure.
        const QString& base = candidates[c].base;
        std::vector<qint32> same; // folders of the tag's artist as far as the rest tells
        std::vector<qint32> others; // folders of another qualifier
        m_index->forBase(
            key, hash, [&](const Index::ArtistFolder& folder) { same.push_back(folder.folder); });
        if (!base.isEmpty()) {
            const quint64 baseHash = keyHash(base);
            m_index->forEqual(base, baseHash,
                [&](const Index::ArtistFolder& folder) { same.push_back(folder.folder); });
            m_index->forBase(base, baseHash,
                [&](const Index::ArtistFolder& folder) { others.push_back(folder.folder); });
        }
        if (!same.empty()) {
            same.insert(same.end(), others.begin(), others.end());
            return decided(std::move(same));
        }
        if (!others.empty())
            return std::nullopt; // told apart from them: not even one letter off them

        // The whole credit one letter off one folder comes before its leading parts:
        // "Earth, Wind & Firre" is a typo of Earth, Wind & Fire, not a song of Earth.
        if (c == 0) {
            m_index->collectOneOff(key, oneOff);
            if (oneOff.size() == 1)
                return suggested(std::move(oneOff));
        }
    }
    // In Latin letters a credit may split where it did not as written, its parts having
    // folders in Latin only ("Мумий Тролль & Земфира"): the parts beyond are tried in turn.
    for (const std::vector<TCredit>& spelled : latin)
        for (size_t c = candidates.size(); c < spelled.size(); ++c)
            if (!IsPlaceholderKey(spelled[c].key))
                if (std::vector<qint32> folders = shallowestEqual(spelled[c].key); !folders.empty())
                    return decided(std::move(folders));
    for (size_t c = 1; c < candidates.size(); ++c)
        if (!IsPlaceholderKey(candidates[c].key))
            m_index->collectOneOff(candidates[c].key, oneOff);
    if (!oneOff.empty())
        return suggested(std::move(oneOff));
    return std::nullopt;
}

// ---- New artists ----------------------------------------------------------------------

QString NewArtistFolderName(const QString& artistText)
{
    QString name = trimmedText(artistText);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QChar(0), QLatin1Char('_'));
    if (name == QLatin1StringView(".") || name == QLatin1StringView(".."))
        name.fill(QLatin1Char('_'));
    return name;
}

void TCarefulNewArtists::add(const QString& tagArtist, const QString& /*fileName*/)
{
    const QString text = trimmedText(tagArtist);
    if (text.isEmpty())
        return;
    // The folder is the main artist's: a featured artist is a guest on this song only.
    const qsizetype cut = featuringMark(text);
    const QString name = NewArtistFolderName(cut > 0 ? text.left(cut) : text);
    const QString key = FoldArtist(name);
    if (IsPlaceholderKey(key) || m_keys.contains(key) || m_matcher.hasFolderKey(key)
        || m_matcher.hasFolderKey(FoldArtist(text)))
        return;
    m_keys.insert(key);
    m_names.append(name);
}

} // namespace plumtide
