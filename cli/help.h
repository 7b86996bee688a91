#pragma once

#include "cli/options.h"

#include <QString>

#include <vector>

namespace plumtide::cli
{

// One option of a command, as the command line takes it and as its help and the manual page
// describe it.
struct OptionInfo {
    const char* name; // "--settle"
    const char* value = nullptr; // what it takes ("SECONDS"); none for a flag
    // What it does, one paragraph; none: as for the command CommandInfo::optionsOf names.
    const char* text = nullptr;
};

// A command: what it accepts, its --help and its section of the manual page all come from
// here, so that none of them can name an option the others do not.
struct CommandInfo {
    const char* name;
    const char* summary;
    // What follows "usage: plumtide-cli NAME", one entry per form of the command.
    std::vector<const char*> forms;
    // Paragraphs (lines as printed, a blank line between) before the options and after them.
    const char* description;
    std::vector<OptionInfo> options = {};
    const char* notes = nullptr;
    // The command whose descriptions the options without one of their own share.
    const char* optionsOf = nullptr;
    int (*run)(const ParsedCommand&) = nullptr;

    CommandSyntax syntax() const;
};

// Every command, in the order the help lists them.
const std::vector<CommandInfo>& Commands();

// `plumtide-cli COMMAND --help`.
QString CommandHelp(const CommandInfo& command);

// The manual page: `pageTemplate` (roff) with its line "@COMMANDS@" replaced by a section
// per command and "@VERSION@" by `version`.
QString ManualPage(const QString& pageTemplate, const QString& version);

} // namespace plumtide::cli
