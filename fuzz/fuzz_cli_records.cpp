// The records plumtide-cli writes: whatever a path, a tag text or a folder name holds, a
// record is one line; in TAB form it has exactly its fields and no control character, with
// --json it is a JSON object whose strings are the texts exactly. Plan rows written by the
// number are byte for byte the records written one by one.
//
// Input: a byte of choices, then texts separated by zero bytes; each text is a file path,
// a folder path or a field, and its length picks a score.
#include "cli/records.h"
#include "core/matching/artistmatch.h"
#include "fuzzinput.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace plumtide;
using namespace plumtide::cli;
using fuzzinput::Check;

namespace
{

// Everything written to a FILE*, as the records go to standard output.
class Capture
{
public:
    Capture()
        : m_file(open_memstream(&m_buffer, &m_size))
    {
        Check(m_file != nullptr);
    }
    ~Capture()
    {
        if (m_file)
            std::fclose(m_file);
        std::free(m_buffer);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::FILE* file() const { return m_file; }
    QByteArray bytes()
    {
        std::fflush(m_file);
        return QByteArray(m_buffer, static_cast<qsizetype>(m_size));
    }

private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_file;
};

const char* const kNames[] = { "path", "key", "title", "file", "target", "reason" };

bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void CheckRecord(const QByteArray& line, const std::vector<RecordWriter::Field>& fields, bool json,
    const char* number = nullptr)
{
    const QString text = QString::fromUtf8(line);
    if (json) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        Check(error.error == QJsonParseError::NoError && document.isObject());
        const QJsonObject object = document.object();
        Check(object.size() == static_cast<qsizetype>(fields.size()));
        for (const auto& [name, value] : fields) {
            const QJsonValue field = object.value(QLatin1String(name));
            if (number && std::strcmp(name, number) == 0)
                Check(field.isDouble() && field.toDouble() == value.toDouble());
            else
                Check(field.toString() == value);
        }
        return;
    }
    const QStringList texts = text.split(QLatin1Char('\t'));
    Check(texts.size() == static_cast<qsizetype>(fields.size()));
    for (qsizetype i = 0; i < texts.size(); ++i) {
        Check(texts.at(i) == OneLine(fields[static_cast<size_t>(i)].second));
        for (const QChar c : texts.at(i))
            Check(!IsControl(c.unicode()));
    }
}

// Lines without their line feeds; the output must end with one.
QList<QByteArray> Lines(const QByteArray& output)
{
    Check(output.isEmpty() || output.endsWith('\n'));
    QList<QByteArray> lines = output.split('\n');
    lines.removeLast();
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool json = data[0] & 1;
    const QStringList texts = fuzzinput::Parts(data + 1, size - 1, 16);

    // Records of named fields, one by one.
    std::vector<RecordWriter::Field> fields;
    for (qsizetype i = 0; i < texts.size() && i < 6; ++i)
        fields.emplace_back(kNames[i], texts.at(i));
    {
        Capture out;
        RecordWriter writer(out.file(), json);
        writer.write(fields);
        const QList<QByteArray> lines = Lines(out.bytes());
        Check(lines.size() == 1);
        CheckRecord(lines.first(), fields, json);
    }

    // Plan rows: every text a file and a folder, each pair with a score of its own.
    std::vector<TSourceRow> files;
    std::vector<TFolderRow> folders;
    for (const QString& text : texts) {
        files.push_back({ text, QString(), QString() });
        folders.push_back({ text, text });
    }
    // Each file's rows: the folder of the text at the other end, then its own; the score
    // from the text's length, in steps the first byte chooses.
    const int steps = data[0] >> 1;
    std::vector<std::vector<TPlanEntry>> rowsOfFiles;
    for (qint32 file = 0; file < static_cast<qint32>(files.size()); ++file) {
        const double score = steps == 0 ? 100.0 : texts.at(file).size() * 100.0 / steps;
        rowsOfFiles.push_back({ { file, static_cast<qint32>(folders.size()) - 1 - file, score },
            { file, file, score / 3 } });
    }
    std::vector<TPlanEntry> rows;
    Capture byNumber;
    Capture oneByOne;
    {
        PlanRowWriter writer(byNumber.file(), json, files, folders);
        for (const auto& rowsOfFile : rowsOfFiles) {
            writer.write(rowsOfFile);
            rows.insert(rows.end(), rowsOfFile.begin(), rowsOfFile.end());
        }
    }
    const auto planRecord = [&](const TPlanEntry& row) {
        return std::vector<RecordWriter::Field> { { "type", QStringLiteral("plan") },
            { "file", files[static_cast<size_t>(row.file)].path },
            { "score", FormatScore(row.score) },
            { "folder", folders[static_cast<size_t>(row.folder)].path } };
    };
    RecordWriter records(oneByOne.file(), json);
    for (const TPlanEntry& row : rows)
        records.writeWithScore(planRecord(row));
    const QByteArray written = byNumber.bytes();
    Check(written == oneByOne.bytes());
    const QList<QByteArray> lines = Lines(written);
    Check(lines.size() == static_cast<qsizetype>(rows.size()));
    for (qsizetype i = 0; i < lines.size(); ++i)
        CheckRecord(lines.at(i), planRecord(rows[static_cast<size_t>(i)]), json, "score");
    return 0;
}
