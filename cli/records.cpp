#include "cli/records.h"

#include <algorithm>
#include <cstring>

namespace plumtide::cli
{

QString JsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
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

void RecordWriter::writeWithScore(const std::vector<Field>& fields)
{
    writeLine(fields, { "score" });
}

void RecordWriter::writeWithNumbers(
    const std::vector<Field>& fields, std::initializer_list<const char*> numbers)
{
    writeLine(fields, numbers);
}

void RecordWriter::writeLine(
    const std::vector<Field>& fields, std::initializer_list<const char*> numbers)
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
        line += QLatin1Char('}');
    } else {
        QStringList texts;
        for (const auto& field : fields)
            texts.append(OneLine(field.second));
        line = texts.join(QLatin1Char('\t'));
    }
    line += QLatin1Char('\n');
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_out);
}

} // namespace plumtide::cli
