#include "cli/help.h"

#include <QStringList>

#include <algorithm>

namespace plumtide::cli
{

namespace
{

constexpr qsizetype kWidth = 80; // of a help line, its line end included
constexpr qsizetype kWidestColumn = 27; // where an option's text begins, at most

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8).trimmed();
}

const CommandInfo& commandNamed(const char* name)
{
    for (const CommandInfo& command : Commands()) {
        if (qstrcmp(command.name, name) == 0)
            return command;
    }
    throw std::logic_error("no command of that name");
}

// The option as the command that describes it does.
const OptionInfo& described(const CommandInfo& command, const OptionInfo& option)
{
    if (option.text || !command.optionsOf)
        return option;
    for (const OptionInfo& other : commandNamed(command.optionsOf).options) {
        if (qstrcmp(other.name, option.name) == 0)
            return other;
    }
    throw std::logic_error("an option described nowhere");
}

// `words` filled into lines of kWidth, the first after `first`, the others after `indent`
// spaces.
QString wrapped(const QString& first, qsizetype indent, const QString& words)
{
    QString out = first;
    qsizetype lineStart = 0;
    bool lineEmpty = first.isEmpty() || first.endsWith(QLatin1Char(' '));
    for (const QString& word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!lineEmpty && out.size() - lineStart + 1 + word.size() >= kWidth) {
            out += QLatin1Char('\n');
            lineStart = out.size();
            out += QString(indent, QLatin1Char(' '));
            lineEmpty = true;
        }
        if (!lineEmpty)
            out += QLatin1Char(' ');
        out += word;
        lineEmpty = false;
    }
    return out + QLatin1Char('\n');
}

QString optionHead(const OptionInfo& option)
{
    QString head = QString::fromLatin1(option.name);
    if (option.value)
        head += QLatin1Char(' ') + QString::fromLatin1(option.value);
    return head;
}

// The options without a description of their own, by name.
QStringList sharedOptions(const CommandInfo& command)
{
    QStringList names;
    for (const OptionInfo& option : command.options) {
        if (!option.text)
            names.append(QString::fromLatin1(option.name));
    }
    return names;
}

// Text for roff: no character of it taken for a request or an escape, and every '-' a minus
// sign, so that options copied from the page work.
QString roff(const QString& line)
{
    QString out = line;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    out.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    // A record's fields may be broken between lines: a whole record is wider than a page.
    out.replace(QStringLiteral("<TAB>"), QStringLiteral("<TAB>\\:"));
    if (out.startsWith(QLatin1Char('.')) || out.startsWith(QLatin1Char('\'')))
        out.prepend(QStringLiteral("\\&"));
    return out;
}

QString roffParagraphs(const char* utf8)
{
    QString out;
    for (const QString& paragraph : text(utf8).split(QStringLiteral("\n\n"))) {
        out += QStringLiteral(".PP\n");
        for (const QString& line : paragraph.split(QLatin1Char('\n')))
            out += roff(line.trimmed()) + QLatin1Char('\n');
    }
    return out;
}

QString roffCommand(const CommandInfo& command)
{
    const QString name = QString::fromLatin1(command.name);
    QString out = QStringLiteral(".SS %1\n").arg(name);
    for (size_t i = 0; i < command.forms.size(); ++i) {
        if (i > 0)
            out += QStringLiteral(".br\n");
        out += QStringLiteral("\\fBplumtide\\-cli %1\\fR %2\n")
                   .arg(name, roff(QString::fromUtf8(command.forms[i])));
    }
    out += roffParagraphs(command.description);
    for (const OptionInfo& option : command.options) {
        if (!option.text)
            continue;
        out += QStringLiteral(".TP\n");
        const QString optionName = roff(QString::fromLatin1(option.name));
        if (option.value)
            out += QStringLiteral(".BI %1 \" %2\"\n")
                       .arg(optionName, roff(QString::fromLatin1(option.value)));
        else
            out += QStringLiteral(".B %1\n").arg(optionName);
        out += roff(text(option.text)) + QLatin1Char('\n');
    }
    if (const QStringList shared = sharedOptions(command); !shared.isEmpty()) {
        QStringList names;
        for (const QString& option : shared)
            names.append(QStringLiteral("\\fB%1\\fR").arg(roff(option)));
        out += QStringLiteral(".PP\nAs for \\fB%1\\fR: %2.\n")
                   .arg(QString::fromLatin1(command.optionsOf), names.join(QStringLiteral(", ")));
    }
    if (command.notes)
        out += roffParagraphs(command.notes);
    return out;
}

} // namespace

CommandSyntax CommandInfo::syntax() const
{
    CommandSyntax syntax;
    for (const OptionInfo& option : options)
        (described(*this, option).value ? syntax.valued : syntax.flags)
            .append(QString::fromLatin1(option.name));
    return syntax;
}

QString CommandHelp(const CommandInfo& command)
{
    const QString name = QString::fromLatin1(command.name);
    QString help;
    for (size_t i = 0; i < command.forms.size(); ++i)
        help += QStringLiteral("%1plumtide-cli %2 %3\n")
                    .arg(i == 0 ? QStringLiteral("usage: ") : QString(7, QLatin1Char(' ')), name,
                        QString::fromUtf8(command.forms[i]));
    help += QLatin1Char('\n') + text(command.description) + QLatin1Char('\n');

    qsizetype column = 0;
    for (const OptionInfo& option : command.options) {
        const qsizetype width = 2 + optionHead(option).size() + 2;
        if (option.text && width <= kWidestColumn)
            column = std::max(column, width);
    }
    QString options;
    for (const OptionInfo& option : command.options) {
        if (!option.text)
            continue;
        QString head = QStringLiteral("  ") + optionHead(option);
        if (head.size() + 2 > column) {
            options += head + QLatin1Char('\n');
            head.clear();
        }
        options += wrapped(head.leftJustified(column), column, text(option.text));
    }
    if (const QStringList shared = sharedOptions(command); !shared.isEmpty())
        options
            += wrapped(QStringLiteral("  as for %1:").arg(QString::fromLatin1(command.optionsOf)),
                4, shared.join(QStringLiteral(", ")));
    if (!options.isEmpty())
        help += QLatin1Char('\n') + options;
    if (command.notes)
        help += QLatin1Char('\n') + text(command.notes) + QLatin1Char('\n');
    return help;
}

QString ManualPage(const QString& pageTemplate, const QString& version)
{
    QString commands;
    for (const CommandInfo& command : Commands())
        commands += roffCommand(command);
    QStringList lines = pageTemplate.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line == QStringLiteral("@COMMANDS@"))
            line = commands.chopped(1);
        line.replace(QStringLiteral("@VERSION@"), version);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace plumtide::cli
