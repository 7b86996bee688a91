// The manual page plumtide-cli makes of its template, and the settings table, against what
// plumtide-cli --help says.

#include "clifixture.h"
#include "settings/settingstable.h"

#include <QRegularExpression>

using namespace plumtide::test;

// The page renders without a warning (nothing of a help text taken for roff), and every
// option a command's help lists is on it; every option over a stored setting is one that
// sort takes.
TEST_F(Cli, ManualPageShowsEveryOptionTheHelpLists)
{
    const Result page = run({ QStringLiteral("--manual-page"),
        QStringLiteral(PLUMTIDE_SOURCE_DIR "/dist/plumtide-cli.1.in") });
    ASSERT_EQ(page.status, 0) << page.err.toStdString();
    EXPECT_FALSE(page.out.contains(QStringLiteral("@COMMANDS@"))
        || page.out.contains(QStringLiteral("@VERSION@")));

    QProcess groff;
    groff.start(QStringLiteral("groff"),
        { QStringLiteral("-man"), QStringLiteral("-Tutf8"), QStringLiteral("-P-cbou"),
            QStringLiteral("-ww") });
    if (!groff.waitForStarted())
        GTEST_SKIP() << "no groff";
    groff.write(page.out.toUtf8());
    groff.closeWriteChannel();
    ASSERT_TRUE(groff.waitForFinished(60000));
    const QString rendered = QString::fromUtf8(groff.readAllStandardOutput());
    EXPECT_EQ(groff.readAllStandardError().toStdString(), "");

    static const QRegularExpression commandLine(QStringLiteral("^  ([a-z]+) "));
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*[a-z]"));
    QStringList commands;
    for (const QString& line : run({ QStringLiteral("--help") }).out.split(QLatin1Char('\n'))) {
        if (const auto match = commandLine.match(line); match.hasMatch())
            commands.append(match.captured(1));
    }
    ASSERT_GE(commands.size(), 10);
    for (const QString& command : commands) {
        EXPECT_TRUE(rendered.contains(QStringLiteral("plumtide-cli %1 ").arg(command)))
            << command.toStdString();
        const QString help = run({ command, QStringLiteral("--help") }).out;
        for (auto it = option.globalMatch(help); it.hasNext();) {
            const QString name = it.next().captured();
            EXPECT_TRUE(rendered.contains(name))
                << command.toStdString() << " " << name.toStdString();
        }
    }

    const QString sortHelp = run({ QStringLiteral("sort"), QStringLiteral("--help") }).out;
    for (const plumtide::TSetting& setting : plumtide::kSettings) {
        if (setting.option) {
            EXPECT_TRUE(sortHelp.contains(QString::fromLatin1(setting.option))) << setting.name;
        }
    }
}
