#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <stdexcept>

namespace plumtide::cli
{

// Bad input on the command line: reported on one line, exit status 2.
class UsageError : public std::runtime_error
{
public:
    explicit UsageError(const QString& message)
        : std::runtime_error(message.toStdString())
    {
    }
};

// One command's words: its name, its options (with their values) and its operands.
struct ParsedCommand {
    QString name;
    std::map<QString, QString> options; // "--json" -> "" ; "--percentage" -> "40"
    QStringList operands;
    bool help = false;

    bool has(const QString& option) const { return options.count(option) != 0; }
    QString value(const QString& option) const;
};

// What a command accepts: the options that take a value and those that don't.
struct CommandSyntax {
    QStringList flags;
    QStringList valued;
};

// Splits the words after the command name. "--name=value" and "--name value" both work;
// "--" ends the options. Throws UsageError for an unknown option or a missing value.
ParsedCommand ParseCommand(
    const QString& name, const QStringList& words, const CommandSyntax& syntax);

// A whole number in [low, high], or UsageError naming the option.
int ParseNumber(const QString& option, const QString& text, int low, int high);

} // namespace plumtide::cli
