#include "cli/options.h"

namespace plumtide::cli
{

QString ParsedCommand::value(const QString& option) const
{
    const auto it = options.find(option);
    return it == options.end() ? QString() : it->second;
}

ParsedCommand ParseCommand(
    const QString& name, const QStringList& words, const CommandSyntax& syntax)
{
    ParsedCommand parsed;
    parsed.name = name;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (optionsEnded || !word.startsWith(QStringLiteral("--"))) {
            parsed.operands.append(word);
            continue;
        }
        if (word == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (word == QStringLiteral("--help")) {
            parsed.help = true;
            continue;
        }
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        const QString option = eq < 0 ? word : word.left(eq);
        if (syntax.flags.contains(option)) {
            if (eq >= 0)
                throw UsageError(QStringLiteral("option '%1' takes no value").arg(option));
            parsed.options[option] = QString();
        } else if (syntax.valued.contains(option)) {
            if (eq >= 0) {
                parsed.options[option] = word.mid(eq + 1);
            } else if (i + 1 < words.size()) {
                parsed.options[option] = words.at(++i);
            } else {
                throw UsageError(QStringLiteral("option '%1' needs a value").arg(option));
            }
        } else {
            throw UsageError(QStringLiteral("unknown option '%1' for '%2'").arg(option, name));
        }
    }
    return parsed;
}

int ParseNumber(const QString& option, const QString& text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < low || value > high)
        throw UsageError(QStringLiteral("%1 takes a whole number from %2 to %3, not '%4'")
                             .arg(option)
                             .arg(low)
                             .arg(high)
                             .arg(text));
    return value;
}

} // namespace plumtide::cli
