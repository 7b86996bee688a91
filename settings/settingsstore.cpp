#include "settings/settingsstore.h"

#include "platform/atomicfile.h"
#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <QStringList>

#include <cerrno>

namespace plumtide
{

namespace
{

const QString kSection = QStringLiteral("[Software\\Plumtide]");

bool isSectionHeader(const QString& line)
{
    const QString trimmed = line.trimmed();
    return trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'));
}

bool isOurSection(const QString& line)
{
    return line.trimmed().compare(kSection, Qt::CaseInsensitive) == 0;
}

// Splits "name=value"; comments and lines without '=' are not values.
bool splitValueLine(const QString& line, QString* name, QString* rawValue)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';'))
        || trimmed.startsWith(QLatin1Char('#')))
        return false;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *name = line.left(eq).trimmed();
    *rawValue = line.mid(eq + 1);
    return !name->isEmpty();
}

// The lines of a file as they stand in it, each with the carriage return of a CRLF ending
// (so that a change writes the lines it does not touch back exactly).
QStringList storedLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString withoutReturn(const QString& line)
{
    return line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
}

QStringList splitLines(const QString& text)
{
    QStringList lines = storedLines(text);
    for (QString& line : lines)
        line = withoutReturn(line);
    return lines;
}

// What a settings file can hold at most; a bigger one was not written by Plumtide.
constexpr qint64 kMaxSettingsFile = 1 << 20;

// Reads a whole file as UTF-8; a missing file reads as empty. Only a regular file of a
// sensible size is read: a pipe in its place would hang the program, a link to a device
// would never end.
QString readTextFile(const QString& path)
{
    try {
        return QString::fromUtf8(ReadSmallFile(path, kMaxSettingsFile).value_or(QByteArray()));
    } catch (const IOError& error) {
        throw SettingsError(
            QStringLiteral("Cannot read the settings file: %1").arg(error.message()));
    }
}

// The file's text, or nothing when there is no file.
std::optional<QString> readExistingTextFile(const QString& path)
{
    try {
        if (const std::optional<QByteArray> bytes = ReadSmallFile(path, kMaxSettingsFile))
            return QString::fromUtf8(*bytes);
        return std::nullopt;
    } catch (const IOError& error) {
        throw SettingsError(
            QStringLiteral("Cannot read the settings file: %1").arg(error.message()));
    }
}

void writeTextFile(const QString& path, const QString& text)
{
    try {
        CreateFolders(FolderOf(path));
        WriteFileAtomically(path, text.toUtf8(), 0600);
    } catch (const IOError& error) {
        throw SettingsError(error.message());
    }
}

} // namespace

namespace settingsfile
{

QString EscapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString UnescapeValue(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text.at(++i);
        if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (next == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else // Not an escape we write: keep it as it stands (a hand-edited path, say).
            out += c, out += next;
    }
    return out;
}

std::optional<QString> Lookup(const QString& fileText, const QString& name)
{
    bool inSection = false;
    for (const QString& line : splitLines(fileText)) {
        if (isSectionHeader(line)) {
            inSection = isOurSection(line);
            continue;
        }
        QString lineName, rawValue;
        if (inSection && splitValueLine(line, &lineName, &rawValue)
            && lineName.compare(name, Qt::CaseInsensitive) == 0)
            return UnescapeValue(rawValue);
    }
    return std::nullopt;
}

QString Store(const QString& fileText, const QString& name, const QString& value)
{
    QStringList lines = storedLines(fileText);
    qsizetype sectionStart = -1;
    qsizetype insertAt = -1; // after the last value line of our section
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = withoutReturn(lines.at(i));
        if (isSectionHeader(line)) {
            inSection = isOurSection(line);
            if (inSection && sectionStart < 0) {
                sectionStart = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        QString lineName, rawValue;
        if (splitValueLine(line, &lineName, &rawValue)) {
            if (lineName.compare(name, Qt::CaseInsensitive) == 0) {
                lines[i] = lineName + QLatin1Char('=') + EscapeValue(value);
                return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
            }
            insertAt = i + 1;
        }
    }
    const QString newLine = name + QLatin1Char('=') + EscapeValue(value);
    if (sectionStart < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(kSection);
        lines.append(newLine);
    } else {
        lines.insert(insertAt, newLine);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace settingsfile

QString DesktopExecValue(const QString& executablePath)
{
    // Always quoted: inside the quotes ", `, $ and \ take a backslash; then the whole value
    // is a desktop-entry string, where \ itself is escaped again and % starts field codes.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : executablePath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    QString value;
    for (const QChar c : quoted) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('%'))
            value += QStringLiteral("%%");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else
            value += c;
    }
    return value;
}

std::optional<QString> ExecutableFromDesktopExec(const QString& execValue)
{
    // Undo the string escapes, then the quoting of the first argument.
    QString unescaped;
    for (qsizetype i = 0; i < execValue.size(); ++i) {
        const QChar c = execValue.at(i);
        if (c == QLatin1Char('\\') && i + 1 < execValue.size()) {
            const QChar next = execValue.at(++i);
            unescaped += next == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : next;
        } else if (c == QLatin1Char('%') && i + 1 < execValue.size()
            && execValue.at(i + 1) == QLatin1Char('%')) {
            unescaped += c;
            ++i;
        } else {
            unescaped += c;
        }
    }
    if (!unescaped.startsWith(QLatin1Char('"')))
        return unescaped.section(QLatin1Char(' '), 0, 0);
    QString path;
    for (qsizetype i = 1; i < unescaped.size(); ++i) {
        const QChar c = unescaped.at(i);
        if (c == QLatin1Char('\\') && i + 1 < unescaped.size())
            path += unescaped.at(++i);
        else if (c == QLatin1Char('"'))
            return path;
        else
            path += c;
    }
    return std::nullopt;
}

TFileSettingsStore::TFileSettingsStore()
    : TFileSettingsStore(ConfigHome() + QStringLiteral("/Plumtide/settings.ini"),
        ConfigHome() + QStringLiteral("/autostart/Plumtide.desktop"))
{
}

TFileSettingsStore::TFileSettingsStore(QString settingsFile, QString autostartFile)
    : m_settingsFile(std::move(settingsFile))
    , m_autostartFile(std::move(autostartFile))
{
}

std::optional<QString> TFileSettingsStore::ReadValue(const QString& name) const
{
    for (const auto& [pendingName, text] : m_pending) {
        if (pendingName.compare(name, Qt::CaseInsensitive) == 0)
            return text;
    }
    if (const std::optional<QString> text = readExistingTextFile(m_settingsFile))
        return settingsfile::Lookup(*text, name);
    for (const auto& [newName, text] : m_newFileValues) {
        if (newName.compare(name, Qt::CaseInsensitive) == 0)
            return text;
    }
    return std::nullopt;
}

void TFileSettingsStore::WriteValue(const QString& name, const QString& text)
{
    writeWithPending(std::make_pair(name, text));
}

void TFileSettingsStore::WriteValueSoon(const QString& name, const QString& text)
{
    for (auto& [pendingName, pendingText] : m_pending) {
        if (pendingName.compare(name, Qt::CaseInsensitive) == 0) {
            pendingText = text;
            return;
        }
    }
    m_pending.append({ name, text });
}

void TFileSettingsStore::Flush()
{
    if (!m_pending.isEmpty())
        writeWithPending(std::nullopt);
}

void TFileSettingsStore::writeWithPending(const std::optional<std::pair<QString, QString>>& value)
{
    std::optional<QString> existing = readExistingTextFile(m_settingsFile);
    QString contents;
    if (existing) {
        contents = std::move(*existing);
    } else {
        for (const auto& [name, text] : m_newFileValues)
            contents = settingsfile::Store(contents, name, text);
    }
    for (const auto& [name, text] : m_pending)
        contents = settingsfile::Store(contents, name, text);
    if (value)
        contents = settingsfile::Store(contents, value->first, value->second);
    writeTextFile(m_settingsFile, contents);
    m_pending.clear();
}

void TFileSettingsStore::WriteAutostart(const QString& executablePath)
{
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Plumtide\n"
                                         "Comment=Files new mp3 files into their artist folders\n"
                                         "Exec=%1\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(DesktopExecValue(executablePath));
    writeTextFile(m_autostartFile, entry);
}

void TFileSettingsStore::DeleteAutostart()
{
    if (const int error = RemoveFile(m_autostartFile); error != 0 && error != ENOENT)
        throw SettingsError(
            IOError(QStringLiteral("Cannot remove"), m_autostartFile, error).message());
}

std::optional<QString> TFileSettingsStore::AutostartExecutable() const
{
    for (const QString& line : splitLines(readTextFile(m_autostartFile))) {
        if (line.startsWith(QStringLiteral("Exec=")))
            return ExecutableFromDesktopExec(line.mid(5));
    }
    return std::nullopt;
}

} // namespace plumtide
