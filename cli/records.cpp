#include "cli/records.h"

#include "core/matching/carefulmatch.h"

#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>

namespace plumtide::cli
{

namespace
{

int g_outputError = 0;
// When the oldest record waiting in standard output's buffer was written; invalid when none
// waits.
QElapsedTimer g_waiting;

void keepOutputError(std::FILE* out)
{
    // errno is read at once, before any other call can change it.
    const int error = errno;
    if (out == stdout && g_outputError == 0)
        g_outputError = error != 0 ? error : EIO;
}

} // namespace

void WriteOutput(std::FILE* out, const char* data, size_t size)
{
    if (size == 0)
        return;
    if (out == stdout && !g_waiting.isValid())
        g_waiting.start();
    errno = 0;
    if (std::fwrite(data, 1, size, out) != size || std::ferror(out))
        keepOutputError(out);
}

bool FlushOutput()
{
    g_waiting.invalidate();
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        keepOutputError(stdout);
        return false;
    }
    return true;
}

void FlushOutputWhenDue()
{
    if (g_waiting.isValid() && g_waiting.elapsed() >= 1000)
        FlushOutput();
}

bool OutputWaiting()
{
    return g_waiting.isValid();
}

int OutputError()
{
    return g_outputError;
}

QString OneLine(QString text)
{
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            c = QLatin1Char(' ');
    }
    return text;
}

void RecordWriter::write(const std::vector<Field>& fields)
{
    writeLine(fields, {});
}

void RecordWriter::writeJsonLine(const QString& object)
{
    const QByteArray bytes = (object + QLatin1Char('\n')).toUtf8();
    WriteOutput(m_out, bytes.constData(), static_cast<size_t>(bytes.size()));
}

void RecordWriter::writeWithScore(const std::vector<Field>& fields)
{
    writeLine(fields, { "score" });
}

void RecordWriter::writeWithNumbers(
    const std::vector<Field>& fields, std::initializer_list<const char*> numbers)
{
    writeLine(fields, numbers);
}

void RecordWriter::writeWithList(
    const std::vector<Field>& fields, const char* name, const QStringList& list)
{
    const ListField field { name, list };
    writeLine(fields, {}, &field);
}

void RecordWriter::writeLine(const std::vector<Field>& fields,
    std::initializer_list<const char*> numbers, const ListField* list)
{
    QString line;
    if (m_json) {
        line += QLatin1Char('{');
        bool first = true;
        for (const auto& [name, text] : fields) {
            if (!first)
                line += QLatin1Char(',');
            first = false;
            line += JsonString(QString::fromLatin1(name)) + QLatin1Char(':');
            const bool number = std::any_of(numbers.begin(), numbers.end(),
                [name = name](const char* numeric) { return std::strcmp(name, numeric) == 0; });
            if (number)
                line += text;
            else
                line += JsonString(text);
        }
        if (list) {
            QStringList items;
            for (const QString& text : list->texts)
                items.append(JsonString(text));
            line += QLatin1Char(',') + JsonString(QString::fromLatin1(list->name))
                + QStringLiteral(":[") + items.join(QLatin1Char(',')) + QLatin1Char(']');
        }
        line += QLatin1Char('}');
    } else {
        QStringList texts;
        for (const auto& field : fields)
            texts.append(OneLine(field.second));
        if (list) {
            for (const QString& text : list->texts)
                texts.append(OneLine(text));
        }
        line = texts.join(QLatin1Char('\t'));
    }
    line += QLatin1Char('\n');
    const QByteArray bytes = line.toUtf8();
    WriteOutput(m_out, bytes.constData(), static_cast<size_t>(bytes.size()));
}

namespace
{

constexpr size_t kBlockBytes = 1 << 16;

} // namespace

PlanRowWriter::PlanRowWriter(std::FILE* out, bool json, const std::vector<TSourceRow>& files,
    const std::vector<TFolderRow>& folders, std::function<void()> beforeBlock)
    : m_out(out)
    , m_json(json)
    , m_files(files)
    , m_folders(folders)
    , m_beforeBlock(std::move(beforeBlock))
    , m_folderFields(folders.size())
{
    m_buffer.reserve(kBlockBytes + 4096);
    for (const TMatchKind kind : { TMatchKind::Similar, TMatchKind::Same, TMatchKind::OneOff,
             TMatchKind::Assigned, TMatchKind::FromName })
        m_matchWords[static_cast<size_t>(kind)] = MatchKindWord(kind).toUtf8();
}

PlanRowWriter::~PlanRowWriter()
{
    flush();
}

QByteArray PlanRowWriter::field(const QString& text) const
{
    return (m_json ? JsonString(text) : OneLine(text)).toUtf8();
}

void PlanRowWriter::write(const std::vector<TPlanEntry>& rows)
{
    if (rows.empty())
        return;
    const QByteArray file = field(m_files[static_cast<size_t>(rows.front().file)].path);
    for (const TPlanEntry& row : rows) {
        QByteArray& folder = m_folderFields[static_cast<size_t>(row.folder)];
        if (folder.isEmpty())
            folder = field(m_folders[static_cast<size_t>(row.folder)].path);
        // The score as FormatScore writes it.
        std::array<char, 32> score {};
        const auto end = std::to_chars(
            score.data(), score.data() + score.size(), row.score, std::chars_format::general, 15);
        const std::string_view number(score.data(), static_cast<size_t>(end.ptr - score.data()));
        // Rows of careful matching or of an assignment say how they were chosen.
        const QByteArray& match = m_matchWords[static_cast<size_t>(row.match)];
        if (m_json) {
            m_buffer.append("{\"type\":\"plan\",\"file\":");
            m_buffer.append(file.constData(), static_cast<size_t>(file.size()));
            m_buffer.append(",\"score\":");
            m_buffer.append(number);
            m_buffer.append(",\"folder\":");
            m_buffer.append(folder.constData(), static_cast<size_t>(folder.size()));
            if (!match.isEmpty()) {
                m_buffer.append(",\"match\":\"");
                m_buffer.append(match.constData(), static_cast<size_t>(match.size()));
                m_buffer.push_back('"');
            }
            m_buffer.append("}\n");
        } else {
            m_buffer.append("plan\t");
            m_buffer.append(file.constData(), static_cast<size_t>(file.size()));
            m_buffer.push_back('\t');
            m_buffer.append(number);
            m_buffer.push_back('\t');
            m_buffer.append(folder.constData(), static_cast<size_t>(folder.size()));
            if (!match.isEmpty()) {
                m_buffer.push_back('\t');
                m_buffer.append(match.constData(), static_cast<size_t>(match.size()));
            }
            m_buffer.push_back('\n');
        }
        if (m_buffer.size() >= kBlockBytes)
            flush();
    }
}

void PlanRowWriter::flush()
{
    if (m_buffer.empty())
        return;
    if (m_beforeBlock)
        m_beforeBlock();
    WriteOutput(m_out, m_buffer.data(), m_buffer.size());
    m_buffer.clear();
}

} // namespace plumtide::cli
