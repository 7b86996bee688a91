// plumtide-cli: the sorting core without a window, for servers, scripts and cron.

#include "cli/commands.h"
#include "cli/records.h"
#include "cli/terminal.h"
#include "platform/errors.h"
#include "platform/lease.h"
#include "platform/termination.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <unistd.h>

using namespace plumtide;
using namespace plumtide::cli;

namespace
{

QString toolHelp()
{
    QString text = QStringLiteral(
        "usage: plumtide-cli COMMAND [OPTIONS] [ARGUMENTS]\n\n"
        "Files mp3 files into folders named after their artists, without a window.\n"
        "Settings not given as options come from the settings of the desktop program.\n\n"
        "Commands:\n");
    for (const CommandInfo& info : Commands())
        text += QStringLiteral("  %1%2\n")
                    .arg(QString::fromLatin1(info.name).leftJustified(10),
                        QString::fromUtf8(info.summary));
    text += QStringLiteral(
        "\nplumtide-cli COMMAND --help shows the options of a command.\n"
        "Exit status: 0 done, 1 an I/O error ended the run (also one on standard output),\n"
        "2 bad input, 3 files left (sort --fail-if-left; undo: files that may still come\n"
        "back), 130 interrupted (watch: 0 when stopped).\n");
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    // Records go out in large writes where nobody reads them line by line as they come; a
    // terminal keeps its line buffering.
    if (::isatty(STDOUT_FILENO) != 1)
        std::setvbuf(stdout, nullptr, _IOFBF, size_t(1) << 16);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plumtide-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PLUMTIDE_VERSION));
    QStringList words = QCoreApplication::arguments();
    words.removeFirst();

    if (words.isEmpty() || words.first() == QStringLiteral("--help")
        || words.first() == QStringLiteral("-h")) {
        Print(words.isEmpty() ? stderr : stdout, toolHelp());
        return words.isEmpty() ? kExitUsage : kExitOk;
    }
    if (words.first() == QStringLiteral("--version")) {
        Print(stdout, QStringLiteral("plumtide-cli %1\n").arg(QStringLiteral(PLUMTIDE_VERSION)));
        return kExitOk;
    }

    // Not in the help: the build makes the manual page with it, from the same table as the
    // help of each command.
    if (words.first() == QStringLiteral("--manual-page") && words.size() == 2) {
        QFile page(words.at(1));
        if (!page.open(QIODevice::ReadOnly)) {
            Print(stderr, QStringLiteral("plumtide-cli: cannot read '%1'\n").arg(words.at(1)));
            return kExitError;
        }
        Print(stdout,
            ManualPage(QString::fromUtf8(page.readAll()), QStringLiteral(PLUMTIDE_VERSION)));
        FlushOutput();
        return OutputError() == 0 ? kExitOk : kExitError;
    }

    const QString name = words.takeFirst();
    const CommandInfo* command = nullptr;
    for (const CommandInfo& info : Commands()) {
        if (name == QString::fromLatin1(info.name))
            command = &info;
    }
    try {
        if (!command)
            throw UsageError(
                QStringLiteral("unknown command '%1' (see plumtide-cli --help)").arg(name));
        const ParsedCommand parsed = ParseCommand(name, words, command->syntax());
        if (parsed.help) {
            Print(stdout, CommandHelp(*command));
            return kExitOk;
        }
        // Ctrl-C, SIGTERM and SIGHUP (a lost terminal) stop the work at its next safe point
        // instead of killing the program in the middle of a move.
        TerminationRequestDescriptor();
        // A reader of the records that goes away (`| head`) is an error of the output, told
        // and ended like any other, not a death in the middle of a move.
        IgnoreClosedPipes();
        PrepareProcessForSharedFiles();
        const int status = command->run(parsed);
        FlushOutput();
        if (TerminationRequested() && command->run != RunWatch)
            return kExitInterrupted;
        CheckOutput();
        return status;
    } catch (const UsageError& error) {
        Print(stderr, QStringLiteral("plumtide-cli: %1\n").arg(QString::fromUtf8(error.what())));
        return kExitUsage;
    } catch (const PlumtideError& error) {
        FlushOutput();
        Print(stderr, QStringLiteral("plumtide-cli: %1\n").arg(error.message()));
        const bool interrupted = TerminationRequested() && command && command->run != RunWatch;
        return interrupted ? kExitInterrupted : kExitError;
    }
}
