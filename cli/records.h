#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <initializer_list>
#include <utility>
#include <vector>

namespace plumtide::cli
{

// Writes the records a command prints: one per line, as TAB-separated fields, or as JSON
// Lines with named fields. Strings are written as UTF-8 exactly as they are (paths as on
// disk); in JSON they are escaped, so a name holding a TAB or a line break stays one record.
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

    bool json() const { return m_json; }

private:
    void writeLine(const std::vector<Field>& fields, std::initializer_list<const char*> numbers);

    std::FILE* m_out;
    bool m_json;
};

QString JsonString(const QString& text);

} // namespace plumtide::cli
