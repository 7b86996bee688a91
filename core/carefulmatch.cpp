#include "core/carefulmatch.h"

#include "id3/id3lists.h"
#include "platform/atomicfile.h"
#include "platform/fileops.h"
#include "platform/paths.h"

#include <QRegularExpression>

#include <algorithm>

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

// One word of a folded text, and what stood between it and the word before.
struct Token {
    QString text;
    bool commaBefore = false; // a "," among the separators before it
    bool splitBefore = false; // a leading part ends before it
};

bool isCollaborationWord(const QString& word)
{
    static const QSet<QString> words = { QStringLiteral("feat"), QStringLiteral("ft"),
        QStringLiteral("featuring"), QStringLiteral("with"), QStringLiteral("vs"),
        QStringLiteral("x"), QStringLiteral("and") };
    return words.contains(word);
}

class Tokenizer
{
public:
    std::vector<Token> run(QStringView input)
    {
        QString text;
        text.reserve(input.size());
        bool ascii = true;
        for (const QChar c : input) {
            if (vanishes(c.unicode()))
                continue;
            ascii = ascii && c.unicode() < 0x80;
            text.append(c);
        }
        if (!ascii)
            text = text.normalized(QString::NormalizationForm_KD);

        const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
        const qsizetype size = text.size();
        for (qsizetype i = 0; i < size;) {
            char32_t c = units[i++];
            if (QChar::isHighSurrogate(c) && i < size && QChar::isLowSurrogate(units[i]))
                c = QChar::surrogateToUcs4(char16_t(c), units[i++]);
            take(c);
        }
        endWord();
        return std::move(m_tokens);
    }

private:
    void take(char32_t c)
    {
        if (c < 0x80) {
            if (c >= U'a' && c <= U'z') {
                m_word.append(QChar(char16_t(c)));
                m_lastScript = QChar::Script_Latin;
            } else if (c >= U'A' && c <= U'Z') {
                m_word.append(QChar(char16_t(c - U'A' + U'a')));
                m_lastScript = QChar::Script_Latin;
            } else if (c >= U'0' && c <= U'9') {
                m_word.append(QChar(char16_t(c)));
                m_lastScript = QChar::Script_Common;
            } else if (c == U'$') {
                m_word.append(QLatin1Char('s'));
            } else if (c == U'&' || c == U'+') {
                endWord();
                m_tokens.push_back(Token { QStringLiteral("and"), m_comma, true });
                resetSeparators();
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
            if (!m_word.isEmpty() && !strippedScript(m_lastScript))
                appendUcs4(c);
            return;
        }
        if (const char* plain = plainSpelling(c)) {
            m_word.append(QLatin1StringView(plain));
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
            m_word.append(QChar(QChar::highSurrogate(c)));
            m_word.append(QChar(QChar::lowSurrogate(c)));
        } else {
            m_word.append(QChar(char16_t(c)));
        }
    }

    void separator(char32_t c)
    {
        endWord();
        if (c == U',') {
            m_comma = true;
            m_split = true;
        } else if (c == U';' || c == U'/') {
            m_split = true;
        } else if (QChar::isSpace(c)) {
            if (m_dashAfterSpace)
                m_split = true; // " - " between two words
            m_space = true;
        } else if (isDash(c)) {
            m_dashAfterSpace = m_space;
        }
    }

    void endWord()
    {
        if (m_word.isEmpty())
            return;
        QString word = std::move(m_word);
        m_word.clear();
        if (m_nonAscii)
            word = word.toCaseFolded().normalized(QString::NormalizationForm_C);
        const bool collaboration = isCollaborationWord(word);
        m_tokens.push_back(Token { std::move(word), m_comma, m_split || collaboration });
        resetSeparators();
        m_nonAscii = false;
    }

    void resetSeparators() { m_comma = m_split = m_space = m_dashAfterSpace = false; }

    std::vector<Token> m_tokens;
    QString m_word;
    QChar::Script m_lastScript = QChar::Script_Unknown;
    bool m_nonAscii = false;
    bool m_comma = false;
    bool m_split = false;
    bool m_space = false;
    bool m_dashAfterSpace = false;
};

// The key of the first `count` tokens: a leading "the" and a trailing ", the" dropped.
QString keyOf(const std::vector<Token>& tokens, size_t count)
{
    const QLatin1StringView the("the");
    size_t begin = 0;
    size_t end = count;
    if (end - begin >= 2 && tokens[begin].text == the)
        ++begin;
    if (end - begin >= 2 && tokens[end - 1].text == the && tokens[end - 1].commaBefore)
        --end;
    QString key;
    for (size_t i = begin; i < end; ++i) {
        if (i > begin)
            key.append(QLatin1Char(' '));
        key.append(tokens[i].text);
    }
    return key;
}

// Code points of a key, for the one-letter tier.
qsizetype codePoints(const QString& key)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < key.size(); ++i)
        count += !QChar::isLowSurrogate(key.at(i).unicode());
    return count;
}

// Calls `f` with the key less each of its code points in turn.
template <typename F> void forEachDeletion(const QString& key, F&& f)
{
    QString variant;
    for (qsizetype i = 0; i < key.size();) {
        const qsizetype width = (QChar::isHighSurrogate(key.at(i).unicode()) && i + 1 < key.size()
                                    && QChar::isLowSurrogate(key.at(i + 1).unicode()))
            ? 2
            : 1;
        variant.resize(0);
        variant.append(QStringView(key).left(i));
        variant.append(QStringView(key).mid(i + width));
        f(variant);
        i += width;
    }
}

// Whether one code point inserted, deleted or replaced makes `a` of `b`.
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

const QSet<QString>& genreKeys()
{
    static const QSet<QString> keys = [] {
        QSet<QString> set;
        for (const QString& entry : GenreList()) {
            // Entries read "(17) Rock".
            const qsizetype name = entry.indexOf(QLatin1StringView(") "));
            set.insert(FoldArtist(name >= 0 ? QStringView(entry).mid(name + 2) : entry));
        }
        return set;
    }();
    return keys;
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

// ---- Assignment files -------------------------------------------------------------------

// What an assignments file can hold at most; a bigger one was not written by Plumtide.
constexpr qint64 kMaxAssignmentsFile = 16 << 20;

QString normalisedFolder(const QString& folder)
{
    QString result = folder;
    while (result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

bool storableFolder(const QString& folder)
{
    if (folder.isEmpty() || folder.startsWith(QLatin1Char('/')))
        return false;
    if (folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r'))
        || folder.contains(QChar(0)))
        return false;
    const QStringList parts = folder.split(QLatin1Char('/'));
    return std::none_of(parts.begin(), parts.end(), [](const QString& part) {
        return part.isEmpty() || part == QLatin1StringView(".") || part == QLatin1StringView("..");
    });
}

} // namespace

QString MatchKindWord(TMatchKind kind)
{
    switch (kind) {
    case TMatchKind::Same:
        return QStringLiteral("same");
    case TMatchKind::OneOff:
        return QStringLiteral("one-off");
    case TMatchKind::Assigned:
        return QStringLiteral("assigned");
    }
    return {};
}

QString MatchKindColumnText(TMatchKind kind)
{
    switch (kind) {
    case TMatchKind::Same:
        return QStringLiteral("same");
    case TMatchKind::OneOff:
        return QStringLiteral("1 off");
    case TMatchKind::Assigned:
        return QStringLiteral("assigned");
    }
    return {};
}

QString FoldArtist(QStringView text)
{
    const std::vector<Token> tokens = Tokenizer().run(text);
    return keyOf(tokens, tokens.size());
}

QStringList ArtistCandidates(QStringView artistText)
{
    const std::vector<Token> tokens = Tokenizer().run(artistText);
    QStringList candidates;
    const auto add = [&](size_t count) {
        QString key = keyOf(tokens, count);
        if (!key.isEmpty() && !candidates.contains(key))
            candidates.append(std::move(key));
    };
    add(tokens.size());
    for (size_t count = tokens.size(); count-- > 1;)
        if (tokens[count].splitBefore)
            add(count);
    return candidates;
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
    const QString text = trimmedText(name);
    if (text == QLatin1StringView("#"))
        return true;
    if (text.size() == 1 && text.at(0).isLetter())
        return true;
    static const QRegularExpression letterRange(
        QStringLiteral("^(\\p{L}|0)\\s*[-\\x{2013}\\x{2014}]\\s*(\\p{L}|9)$"));
    static const QRegularExpression decade(
        QStringLiteral("^['\\x{2019}]?(\\d0|\\d{3}0)['\\x{2019}]?s$"),
        QRegularExpression::CaseInsensitiveOption);
    if (text.size() <= 8 && (letterRange.match(text).hasMatch() || decade.match(text).hasMatch()))
        return true;
    return genreKeys().contains(FoldArtist(text));
}

QString ArtistTextOf(const QString& tagArtist, const QString& fileName)
{
    QString artist = trimmedText(tagArtist);
    if (!artist.isEmpty())
        return artist;
    QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && name.size() - dot <= 5) {
        const QStringView extension = QStringView(name).mid(dot + 1);
        if (!extension.isEmpty() && std::all_of(extension.begin(), extension.end(), [](QChar c) {
                return c.isLetterOrNumber();
            }))
            name.truncate(dot);
    }
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

// ---- TAssignments ---------------------------------------------------------------------

TAssignments TAssignments::Parse(const QByteArray& utf8)
{
    TAssignments result;
    QString text = QString::fromUtf8(utf8);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        Line entry { line, std::nullopt };
        if (tab > 0) {
            const QString key = FoldArtist(QStringView(line).left(tab));
            const QString folder = normalisedFolder(line.mid(tab + 1));
            if (!key.isEmpty() && storableFolder(folder)) {
                entry.assignment = TAssignment { key, folder };
                // Of two lines with one key the later holds: drop the earlier.
                const auto earlier = result.m_index.constFind(key);
                if (earlier != result.m_index.constEnd()) {
                    result.m_lines.erase(result.m_lines.begin() + qsizetype(*earlier));
                    result.reindex();
                }
                result.m_index.insert(key, result.m_lines.size());
            }
        }
        result.m_lines.push_back(std::move(entry));
    }
    return result;
}

QByteArray TAssignments::serialise() const
{
    QString text;
    for (const Line& line : m_lines) {
        if (line.assignment)
            text += line.assignment->artist + QLatin1Char('\t') + line.assignment->folder;
        else
            text += line.text;
        text += QLatin1Char('\n');
    }
    return text.toUtf8();
}

bool TAssignments::assign(QStringView artist, const QString& folder)
{
    const QString key = FoldArtist(artist);
    const QString relative = normalisedFolder(folder);
    if (key.isEmpty() || !storableFolder(relative))
        return false;
    const auto found = m_index.constFind(key);
    if (found != m_index.constEnd()) {
        m_lines[*found].assignment->folder = relative;
        return true;
    }
    m_index.insert(key, m_lines.size());
    m_lines.push_back(Line { QString(), TAssignment { key, relative } });
    return true;
}

bool TAssignments::remove(QStringView artist)
{
    const auto found = m_index.constFind(FoldArtist(artist));
    if (found == m_index.constEnd())
        return false;
    m_lines.erase(m_lines.begin() + qsizetype(*found));
    reindex();
    return true;
}

std::optional<QString> TAssignments::folderFor(const QString& key) const
{
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return std::nullopt;
    return m_lines[*found].assignment->folder;
}

std::vector<TAssignment> TAssignments::entries() const
{
    std::vector<TAssignment> result;
    for (const Line& line : m_lines)
        if (line.assignment)
            result.push_back(*line.assignment);
    return result;
}

void TAssignments::reindex()
{
    m_index.clear();
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].assignment)
            m_index.insert(m_lines[i].assignment->artist, i);
}

TAssignments LoadAssignments(const QString& path)
{
    const std::optional<QByteArray> bytes = ReadSmallFile(path, kMaxAssignmentsFile);
    return bytes ? TAssignments::Parse(*bytes) : TAssignments();
}

void SaveAssignments(const QString& path, const TAssignments& assignments)
{
    CreateFolders(FolderOf(path));
    WriteFileAtomically(path, assignments.serialise(), 0600);
}

// ---- TAssignmentIndex -----------------------------------------------------------------

TAssignmentIndex::TAssignmentIndex(
    const TAssignments& assignments, const std::vector<TFolderRow>& folders)
{
    if (assignments.isEmpty())
        return;
    QHash<QString, qint32> byName;
    for (qint32 i = 0; i < qint32(folders.size()); ++i)
        byName.insert(folders[size_t(i)].relativeName, i); // a later duplicate is the same
    for (TAssignment& assignment : assignments.entries()) {
        const auto folder = byName.constFind(assignment.folder);
        if (folder != byName.constEnd())
            m_folderOf.insert(assignment.artist, *folder);
        else
            m_missing.push_back(std::move(assignment));
    }
}

std::optional<qint32> TAssignmentIndex::find(const QStringList& candidates) const
{
    if (m_folderOf.isEmpty())
        return std::nullopt;
    for (const QString& key : candidates) {
        const auto found = m_folderOf.constFind(key);
        if (found != m_folderOf.constEnd())
            return *found;
    }
    return std::nullopt;
}

std::optional<qint32> TAssignmentIndex::find(
    const QString& tagArtist, const QString& fileName) const
{
    if (m_folderOf.isEmpty())
        return std::nullopt;
    return find(ArtistCandidates(ArtistTextOf(tagArtist, fileName)));
}

// ---- TCarefulMatcher ------------------------------------------------------------------

TCarefulMatcher::TCarefulMatcher(
    const std::vector<TFolderRow>& folders, const TAssignments& assignments)
    : m_assignments(assignments, folders)
{
    QHash<QString, bool> grouping; // by own name: the same few names recur at every level
    const auto isGrouping = [&](const QString& name) {
        auto found = grouping.constFind(name);
        if (found == grouping.constEnd())
            found = grouping.insert(name, IsGroupingName(name));
        return *found;
    };
    m_keyOf.resize(folders.size());
    for (qint32 i = 0; i < qint32(folders.size()); ++i) {
        const QStringList parts
            = folders[size_t(i)].relativeName.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (parts.isEmpty())
            continue;
        const QString& own = parts.last();
        const QString key = FoldArtist(own);
        if (!key.isEmpty())
            m_ownNameKeys.insert(key);
        // An artist folder stands directly in the destination or in groupings; below an
        // artist folder are its albums, never candidates.
        const bool artistLevel = std::all_of(parts.begin(), parts.end() - 1, isGrouping);
        if (!artistLevel || isGrouping(own) || IsPlaceholderKey(key))
            continue;
        ++m_artistFolderCount;
        m_byKey[key].push_back(Folder { i, qint32(parts.size()) });
        if (codePoints(key) >= kMinimumOneOffKeyLength) {
            m_keyOf[size_t(i)] = key;
            forEachDeletion(key, [&](const QString& variant) {
                std::vector<qint32>& list = m_byDeletion[variant];
                if (list.empty() || list.back() != i) // "aab" less either "a" is one variant
                    list.push_back(i);
            });
        }
    }
}

std::optional<TCarefulMatch> TCarefulMatcher::match(
    const QString& tagArtist, const QString& fileName) const
{
    return matchCandidates(ArtistCandidates(ArtistTextOf(tagArtist, fileName)));
}

std::optional<TCarefulMatch> TCarefulMatcher::equalMatch(const QString& key, bool& found) const
{
    const auto folders = m_byKey.constFind(key);
    if (folders == m_byKey.constEnd())
        return std::nullopt;
    found = true;
    const Folder* shallowest = nullptr;
    bool tie = false;
    for (const Folder& folder : *folders) {
        if (!shallowest || folder.depth < shallowest->depth) {
            shallowest = &folder;
            tie = false;
        } else if (folder.depth == shallowest->depth) {
            tie = true;
        }
    }
    if (tie)
        return std::nullopt;
    return TCarefulMatch { shallowest->index, TMatchKind::Same };
}

void TCarefulMatcher::collectOneOff(const QString& key, QSet<qint32>& folders) const
{
    const qsizetype length = codePoints(key);
    if (length + 1 < kMinimumOneOffKeyLength)
        return;
    const qsizetype words = wordCount(key);
    const QString digits = digitsOf(key);
    const auto consider = [&](qint32 index, const QString& folderKey) {
        if (codePoints(folderKey) >= kMinimumOneOffKeyLength && wordCount(folderKey) == words
            && digitsOf(folderKey) == digits && oneEditApart(key, folderKey))
            folders.insert(index);
    };
    const auto considerDeleted = [&](const QString& variant) {
        // A folder key one letter shorter (the tag has one too many)...
        const auto equal = m_byKey.constFind(variant);
        if (equal != m_byKey.constEnd())
            for (const Folder& folder : *equal)
                consider(folder.index, variant);
        // ...or of the same length, one letter replaced.
        const auto replaced = m_byDeletion.constFind(variant);
        if (replaced != m_byDeletion.constEnd())
            for (const qint32 index : *replaced)
                consider(index, m_keyOf[size_t(index)]);
    };
    forEachDeletion(key, considerDeleted);
    // A folder key one letter longer (the tag lacks one).
    const auto longer = m_byDeletion.constFind(key);
    if (longer != m_byDeletion.constEnd())
        for (const qint32 index : *longer)
            consider(index, m_keyOf[size_t(index)]);
}

std::optional<TCarefulMatch> TCarefulMatcher::matchCandidates(const QStringList& candidates) const
{
    if (const std::optional<qint32> assigned = m_assignments.find(candidates))
        return TCarefulMatch { *assigned, TMatchKind::Assigned };
    for (const QString& key : candidates) {
        if (IsPlaceholderKey(key))
            continue;
        bool found = false;
        std::optional<TCarefulMatch> match = equalMatch(key, found);
        if (found)
            return match; // the first equal candidate decides, also when it ties
    }
    if (m_byDeletion.isEmpty())
        return std::nullopt;
    QSet<qint32> folders;
    for (const QString& key : candidates)
        if (!IsPlaceholderKey(key))
            collectOneOff(key, folders);
    if (folders.size() != 1)
        return std::nullopt;
    return TCarefulMatch { *folders.constBegin(), TMatchKind::OneOff };
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

void TCarefulNewArtists::add(const QString& tagArtist, const QString& fileName)
{
    const QString text = ArtistTextOf(tagArtist, fileName);
    if (text.isEmpty())
        return;
    // The folder is the main artist's: a featured artist is a guest on this song only.
    static const QRegularExpression featuring(
        QStringLiteral("[\\s(\\[]+(feat\\.?|ft\\.?|featuring)(\\s|$)"),
        QRegularExpression::CaseInsensitiveOption);
    const qsizetype cut = text.indexOf(featuring);
    const QString name = NewArtistFolderName(cut > 0 ? text.left(cut) : text);
    const QString key = FoldArtist(name);
    if (IsPlaceholderKey(key) || m_keys.contains(key) || m_matcher.hasFolderKey(key)
        || m_matcher.hasFolderKey(FoldArtist(text)))
        return;
    m_keys.insert(key);
    m_names.append(name);
}

} // namespace plumtide
