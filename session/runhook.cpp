#include "session/runhook.h"

#include "platform/childprocess.h"

#include <QCoreApplication>

#include <cstdio>
#include <utility>

namespace plumtide
{

namespace
{

// How the hook's lines and failure are told on standard error.
QByteArray prefix()
{
    return QCoreApplication::applicationName().toLower().toUtf8() + ": hook: ";
}

void say(const QByteArray& line)
{
    const QByteArray text = prefix() + line + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

QString failureOf(const TChildEnd& end, int timeoutSeconds)
{
    switch (end.how) {
    case TChildEnd::How::Exited:
        return end.code == 0 ? QString()
                             : QStringLiteral("failed with exit status %1").arg(end.code);
    case TChildEnd::How::Signalled:
        return QStringLiteral("ended by signal %1").arg(end.code);
    case TChildEnd::How::TimedOut:
        return QStringLiteral("ended: still running after %1 s").arg(timeoutSeconds);
    case TChildEnd::How::NotStarted:
        break;
    }
    return QStringLiteral("could not start: %1").arg(end.error);
}

} // namespace

QString HookEventText(THookEvent event)
{
    switch (event) {
    case THookEvent::Complete:
        break;
    case THookEvent::NeedsAttention:
        return QStringLiteral("needs-attention");
    case THookEvent::Error:
        return QStringLiteral("error");
    }
    return QStringLiteral("complete");
}

QString HookInput(const THookRun& run)
{
    QStringList moved;
    for (const auto& [file, target] : run.moved)
        moved.append(QStringLiteral("{\"file\":%1,\"target\":%2}")
                         .arg(JsonString(file), JsonString(target)));
    QStringList left;
    for (const TLeftOut& file : run.left)
        left.append(QStringLiteral("{\"file\":%1,\"reason\":%2}")
                        .arg(JsonString(file.file), JsonString(ReasonText(file.reason))));
    QString json = QStringLiteral("{\"event\":%1,\"summary\":%2,\"moved\":[%3],\"left\":[%4]")
                       .arg(JsonString(HookEventText(run.event)),
                           SummaryRecordJson(run.summary, run.left.size()),
                           moved.join(QLatin1Char(',')), left.join(QLatin1Char(',')));
    if (run.event == THookEvent::Error)
        json += QStringLiteral(",\"error\":%1").arg(JsonString(run.error));
    return json + QStringLiteral("}\n");
}

QString RunHook(const TRunHook& hook, const THookRun& run, Pump* pump)
{
    TShellCommand command;
    command.command = hook.command.toUtf8();
    command.input = HookInput(run).toUtf8();
    command.environment = { { "PLUMTIDE_EVENT", HookEventText(run.event).toUtf8() } };
    command.timeoutMs = hook.timeoutSeconds * 1000;
    // What goes to standard error is capped, prefixes included.
    const qsizetype cap = command.outputCap;
    qsizetype written = 0;
    bool dropped = false;
    const auto drop = [&] {
        if (!std::exchange(dropped, true))
            say("(more output dropped)");
    };
    const TChildEnd end = RunShellCommand(
        command,
        [&](const QByteArray& line) {
            written += prefix().size() + line.size() + 1;
            if (written > cap)
                drop();
            else
                say(line);
        },
        drop,
        [pump, stopping = pump && pump->abortRequested()] {
            // Being asked to stop while it runs ends the hook as its time limit would; a run
            // that was stopped still tells its hook.
            if (!pump)
                return true;
            pump->processEvents();
            return stopping || !pump->abortRequested();
        });
    const QString failure = failureOf(end, hook.timeoutSeconds);
    if (!failure.isEmpty())
        say(failure.toUtf8());
    return failure;
}

} // namespace plumtide
