// The command run after a run (--on-run, OnRun): what it is told, and that nothing it does
// changes the run.

#include "tests/cli/clifixture.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

using namespace plumtide::test;

// A hook that posts its input with curl: a listener of the test's own receives the run as
// JSON once a sort moved a file.
TEST_F(Cli, HookPostsTheRunToAListener)
{
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty())
        GTEST_SKIP() << "no curl (scripts/setup.sh installs it)";
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    write(QStringLiteral("in/a.mp3"), mp3(QStringLiteral("Madonna"), QStringLiteral("Vogue")));
    folder(QStringLiteral("music/Madonna"));
    std::unique_ptr<QProcess> sort(start({ QStringLiteral("sort"), QStringLiteral("--settle"),
        QStringLiteral("0"), QStringLiteral("--on-run"),
        QStringLiteral("curl -s --data-binary @- http://127.0.0.1:%1/").arg(server.serverPort()),
        QStringLiteral("in"), QStringLiteral("music") }));
    ASSERT_TRUE(server.waitForNewConnection(30000));
    QTcpSocket* client = server.nextPendingConnection();
    QByteArray request;
    while (!request.contains("}\n") && client->waitForReadyRead(10000))
        request += client->readAll();
    client->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    client->waitForBytesWritten(5000);
    client->disconnectFromHost();
    ASSERT_TRUE(sort->waitForFinished(30000));
    EXPECT_EQ(sort->exitCode(), 0);
    EXPECT_TRUE(request.startsWith("POST / ")) << request.constData();
    EXPECT_TRUE(request.contains("{\"event\":\"complete\",\"summary\":{\"outcome\":\"summary\","
                                 "\"moved\":1,"))
        << request.constData();
    EXPECT_TRUE(request.contains(
        "\"moved\":[{\"file\":\"in/a.mp3\",\"target\":\"music/Madonna/a.mp3\"}],\"left\":[]}"))
        << request.constData();
}

// Each event is told with its name, and a hook that fails, hangs, never reads or prints a
// lot changes nothing of the run: its records, its exit status, and its time but for the
// hook's limit.
TEST_F(Cli, HookIsToldEachEventAndCannotChangeTheRun)
{
    const struct {
        const char* name;
        const char* hook;
        bool leaveOne; // a song of an artist without folder: left
        bool brokenHistory; // the run cannot start
        QStringList said; // on standard error, each once
        int status;
    } cases[] = {
        { "complete", "echo \"$PLUMTIDE_EVENT\"; grep -c '\"event\":\"complete\"'", false, false,
            { "hook: complete", "hook: 1" }, 0 },
        { "needs-attention",
            "echo \"$PLUMTIDE_EVENT\"; grep -o '\"left\":\\[{\"file\":\"in/b.mp3\"'", true, false,
            { "hook: needs-attention", "hook: \"left\":[{\"file\":\"in/b.mp3\"" }, 0 },
        { "error", "echo \"$PLUMTIDE_EVENT\"", false, true, { "hook: error" }, 1 },
        { "fails", "exit 3", false, false, { "hook: failed with exit status 3" }, 0 },
        { "hangs", "sleep 60", false, false, { "hook: ended: still running after 1 s" }, 0 },
        { "never reads", "exec <&-; true", false, false, {}, 0 },
        { "prints a lot", "yes | head -c 1000000", false, false, { "hook: (more output dropped)" },
            0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path(QStringLiteral("in"))).removeRecursively();
        QDir(path(QStringLiteral("music"))).removeRecursively();
        write(QStringLiteral("in/a.mp3"), mp3(QStringLiteral("Madonna"), QStringLiteral("Vogue")));
        if (c.leaveOne)
            write(QStringLiteral("in/b.mp3"), mp3(QStringLiteral("Nobody"), QStringLiteral("X")));
        folder(QStringLiteral("music/Madonna"));
        QProcessEnvironment more;
        if (c.brokenHistory) {
            write(QStringLiteral("state-file"), "not a folder");
            more.insert(QStringLiteral("XDG_STATE_HOME"), path(QStringLiteral("state-file")));
        }
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<QProcess> sort(
            start({ QStringLiteral("sort"), QStringLiteral("--json"), QStringLiteral("--settle"),
                      QStringLiteral("0"), QStringLiteral("--on-run-timeout"), QStringLiteral("1"),
                      QStringLiteral("--on-run"), QString::fromUtf8(c.hook), QStringLiteral("in"),
                      QStringLiteral("music") },
                {}, more));
        ASSERT_TRUE(sort->waitForFinished(30000));
        EXPECT_LT(clock.elapsed(), 10000);
        EXPECT_EQ(sort->exitCode(), c.status);
        const QString out = QString::fromUtf8(sort->readAllStandardOutput());
        const QString err = QString::fromUtf8(sort->readAllStandardError());
        for (const QString& line : c.said)
            EXPECT_EQ(err.count(QStringLiteral("plumtide-cli: ") + line + QLatin1Char('\n')), 1)
                << err.left(2000).toStdString();
        if (c.said.isEmpty()) {
            EXPECT_FALSE(err.contains(QStringLiteral("hook:"))) << err.toStdString();
        }
        // The hook's output, capped, never among the records.
        EXPECT_LT(err.size(), 100 * 1024);
        for (const QString& record : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            EXPECT_TRUE(record.startsWith(QStringLiteral("{\"outcome\":"))) << record.toStdString();
        if (!c.brokenHistory) {
            EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("music/Madonna/a.mp3"))));
        }
    }
    // Off for one command: nothing runs.
    write(
        QStringLiteral("config/Plumtide/settings.ini"), "[Software\\Plumtide]\nOnRun=echo told\n");
    write(QStringLiteral("in/c.mp3"), mp3(QStringLiteral("Madonna"), QStringLiteral("Frozen")));
    const Result off
        = run({ QStringLiteral("sort"), QStringLiteral("--settle"), QStringLiteral("0"),
            QStringLiteral("--on-run"), QString(), QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_EQ(off.status, 0);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("music/Madonna/c.mp3"))));
    EXPECT_FALSE(off.err.contains(QStringLiteral("hook:"))) << off.err.toStdString();
    write(QStringLiteral("in/d.mp3"), mp3(QStringLiteral("Madonna"), QStringLiteral("Sorry")));
    const Result on = run({ QStringLiteral("sort"), QStringLiteral("--settle"), QStringLiteral("0"),
        QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_TRUE(on.err.contains(QStringLiteral("plumtide-cli: hook: told\n")))
        << on.err.toStdString();
}
