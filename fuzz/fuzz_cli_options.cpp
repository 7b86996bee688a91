// The command line of plumtide-cli: any words give a parsed command or a usage error (and
// nothing else: no crash, no other exception), and a parsed command written out again in
// its plainest form parses to the same command.
//
// Input: the words of a command line, separated by zero bytes.
#include "cli/options.h"
#include "fuzzinput.h"

using namespace plumtide::cli;
using fuzzinput::Check;

namespace
{

// The options of `sort`, the command with the most.
const CommandSyntax kSyntax {
    { QStringLiteral("--json"), QStringLiteral("--dry-run"), QStringLiteral("--keep-small"),
        QStringLiteral("--create-artist-folders"), QStringLiteral("--trash"),
        QStringLiteral("--no-trash") },
    { QStringLiteral("--percentage"), QStringLiteral("--doubles"),
        QStringLiteral("--delete-small") },
};

bool SameCommand(const ParsedCommand& a, const ParsedCommand& b)
{
    return a.name == b.name && a.options == b.options && a.operands == b.operands
        && a.help == b.help;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList words = fuzzinput::Parts(data, size, 64);
    ParsedCommand parsed;
    try {
        parsed = ParseCommand(QStringLiteral("sort"), words, kSyntax);
    } catch (const UsageError&) {
        return 0;
    }
    Check(parsed.operands.size() <= words.size());
    QStringList again;
    if (parsed.help)
        again << QStringLiteral("--help");
    for (const auto& [option, value] : parsed.options) {
        const bool flag = kSyntax.flags.contains(option);
        Check(flag || kSyntax.valued.contains(option));
        Check(!flag || value.isEmpty());
        again << (flag ? option : option + QLatin1Char('=') + value);
    }
    again << QStringLiteral("--") << parsed.operands;
    Check(SameCommand(ParseCommand(parsed.name, again, kSyntax), parsed));

    for (const QString& option : kSyntax.valued) {
        if (!parsed.has(option))
            continue;
        try {
            const int number = ParseNumber(option, parsed.value(option), 0, 100);
            Check(number >= 0 && number <= 100 && number == parsed.value(option).toInt());
        } catch (const UsageError&) {
        }
    }
    return 0;
}
