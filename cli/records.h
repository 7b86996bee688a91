#pragma once

#include "core/planning/planner.h"
#include "core/summary.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace plumtide::cli
{

// Writes the records a command prints: one per line, as TAB-separated fields, or as JSON
// Lines with named fields, in UTF-8. In JSON strings are written exactly as they are (paths
// as on disk), escaped; in TAB form control characters become spaces (OneLine), so a TAB or
// a line break in a tag or a name never adds a field or a record, and an escape sequence
// never reaches the terminal.
class RecordWriter
{
public:
    RecordWriter(std::FILE* out, bool json)
        : m_out(out)
        , m_json(json)
    {
    }

    using Field = std::pair<const char*, QString>; // JSON name, text

    // `fields` in output order. In TAB form only the texts are written.
    void write(const std::vector<Field>& fields);
    // Like write(), but a field named "score" is written as a JSON number.
    void writeWithScore(const std::vector<Field>& fields);
    // Like write(), but the fields named in `numbers` are written as JSON numbers.
    void writeWithNumbers(
        const std::vector<Field>& fields, std::initializer_list<const char*> numbers);
    // Like write(), with a last field `name` of any number of texts: in TAB form each a field
    // of its own (none when there are none), in JSON an array.
    void writeWithList(const std::vector<Field>& fields, const char* name, const QStringList& list);

    // One JSON object made elsewhere, as its own line (in JSON form only).
    void writeJsonLine(const QString& object);

    bool json() const { return m_json; }

private:
    struct ListField {
        const char* name;
        const QStringList& texts;
    };
    void writeLine(const std::vector<Field>& fields, std::initializer_list<const char*> numbers,
        const ListField* list = nullptr);

    std::FILE* m_out;
    bool m_json;
};

// Writes plan rows as RecordWriter would write them as `plan` records (type, file, score,
// folder), but by the number: each folder's path is encoded once for all its rows and each
// file's once for its rows, and the lines go out in large blocks, `beforeBlock` (when set)
// run before each.
class PlanRowWriter
{
public:
    PlanRowWriter(std::FILE* out, bool json, const std::vector<TSourceRow>& files,
        const std::vector<TFolderRow>& folders, std::function<void()> beforeBlock = {});
    ~PlanRowWriter();
    PlanRowWriter(const PlanRowWriter&) = delete;
    PlanRowWriter& operator=(const PlanRowWriter&) = delete;

    // One file's rows.
    void write(const std::vector<TPlanEntry>& rows);
    // Writes out what is waiting.
    void flush();

private:
    QByteArray field(const QString& text) const;

    std::FILE* m_out;
    bool m_json;
    const std::vector<TSourceRow>& m_files;
    const std::vector<TFolderRow>& m_folders;
    std::function<void()> m_beforeBlock;
    std::vector<QByteArray> m_folderFields; // encoded when first needed
    std::array<QByteArray, 5> m_matchWords; // by TMatchKind
    std::string m_buffer;
};

// Writes `size` bytes to `out`. A failure on standard output (its reader gone: EPIPE; a full
// disk: ENOSPC) is kept, the first one only: see OutputError.
void WriteOutput(std::FILE* out, const char* data, size_t size);
// Flushes standard output; false (and the failure kept) when that fails.
bool FlushOutput();
// Records wait in standard output's buffer, one write for many, until a run is about to make
// its next changes (see FlushBeforeChanges) or ends, or until the first of them has waited a
// second: then this flushes them, so that whoever follows a long run sees them as they come.
void FlushOutputWhenDue();
// Whether records written to standard output wait in its buffer.
bool OutputWaiting();
// The system's error number of standard output's first failed write; 0 while none failed.
int OutputError();

// `text` with each control character (C0, DEL, C1) replaced by a space.
QString OneLine(QString text);

} // namespace plumtide::cli
