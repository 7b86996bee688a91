// The manual page and the settings table against what plumtide-cli --help says.

#include "clifixture.h"
#include "settings/settingstable.h"

#include <QRegularExpression>

using namespace plumtide::test;

// Every option a command's help lists is described in the manual page, and every option over
// a stored setting is one that sort takes.
TEST_F(Cli, ManualPageDescribesEveryOptionTheHelpLists)
{
    QFile manual(QStringLiteral(PLUMTIDE_SOURCE_DIR "/dist/plumtide-cli.1"));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(manual.readAll());

    static const QRegularExpression commandLine(QStringLiteral("^  ([a-z]+) "));
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*[a-z]"));
    QStringList commands;
    for (const QString& line : run({ QStringLiteral("--help") }).out.split(QLatin1Char('\n'))) {
        if (const auto match = commandLine.match(line); match.hasMatch())
            commands.append(match.captured(1));
    }
    ASSERT_GE(commands.size(), 10);
    for (const QString& command : commands) {
        const QString help = run({ command, QStringLiteral("--help") }).out;
        for (auto it = option.globalMatch(help); it.hasNext();) {
            const QString name = it.next().captured();
            QString roff = name;
            roff.replace(QLatin1Char('-'), QStringLiteral("\\-"));
            EXPECT_TRUE(page.contains(roff)) << command.toStdString() << " " << name.toStdString();
        }
    }

    const QString sortHelp = run({ QStringLiteral("sort"), QStringLiteral("--help") }).out;
    for (const plumtide::TSetting& setting : plumtide::kSettings) {
        if (setting.option) {
            EXPECT_TRUE(sortHelp.contains(QString::fromLatin1(setting.option))) << setting.name;
        }
    }
}
