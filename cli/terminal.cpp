#include "cli/terminal.h"

#include "cli/records.h"
#include "platform/errors.h"
#include "platform/termination.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace plumtide::cli
{

void Print(std::FILE* out, const QString& text)
{
    // What standard error says follows the records before it, also where both go to one
    // file or journal.
    if (out == stderr && OutputWaiting())
        FlushOutput();
    const QByteArray bytes = text.toUtf8();
    WriteOutput(out, bytes.constData(), static_cast<size_t>(bytes.size()));
}

void CheckOutput()
{
    if (const int error = OutputError())
        throw IOError(QStringLiteral("Cannot write to"), QStringLiteral("standard output"), error);
}

void FlushBeforeChanges()
{
    FlushOutput();
    CheckOutput();
}

TerminalProgress::TerminalProgress()
    : m_terminal(::isatty(STDERR_FILENO) == 1)
{
    m_sinceRender.start();
}

TerminalProgress::~TerminalProgress()
{
    finish();
}

void TerminalProgress::processEvents()
{
    FlushOutputWhenDue();
    CheckOutput();
    render(false);
}

bool TerminalProgress::abortRequested() const
{
    return TerminationRequested();
}

void TerminalProgress::clear()
{
    m_lines = 0;
}

void TerminalProgress::addLine(const QString& line)
{
    ++m_lines;
    // Lines that say something went wrong with one file are for the user, progress or not.
    if (line.endsWith(QStringLiteral(" File in use"))
        || line.endsWith(QStringLiteral(" Name is not valid UTF-8"))) {
        finish();
        PrintError(line + QLatin1Char('\n'));
        return;
    }
    render(false);
}

void TerminalProgress::progress(QLatin1StringView what, qint64 done, qint64 total)
{
    // "Folders: 12/40" and "Files: 3/900" carry the counts of a refresh.
    m_lines = 1;
    if (m_status.isEmpty() || m_statusOf != what.data()) {
        m_status = QString(what).toLower();
        m_statusOf = what.data();
    }
    m_done = done;
    m_total = total;
    render(false);
}

void TerminalProgress::setPhase(const QString& phase)
{
    m_phase = phase;
    m_status.clear();
    m_done = m_total = m_lines = 0;
    render(true);
}

void TerminalProgress::setProgress(long long done, long long total)
{
    m_done = done;
    m_total = total;
    m_status.clear();
    render(false);
}

void TerminalProgress::render(bool force)
{
    if (!m_terminal || m_phase.isEmpty())
        return;
    // A few updates a second are plenty and keep a fast scan fast.
    if (!force && m_shown && m_sinceRender.elapsed() < 100)
        return;
    m_sinceRender.restart();
    QString text = m_phase;
    if (!m_status.isEmpty())
        text += QLatin1Char(' ') + m_status;
    if (m_total > 0) {
        const int width = 30;
        const int filled = static_cast<int>(width * std::min(m_done, m_total) / m_total);
        text += QStringLiteral(" [%1%2] %3/%4")
                    .arg(QString(filled, QLatin1Char('#')),
                        QString(width - filled, QLatin1Char('.')))
                    .arg(m_done)
                    .arg(m_total);
    } else if (m_done > 0 || m_lines > 0) {
        text += QStringLiteral(" %1").arg(m_done > 0 ? m_done : m_lines);
    }
    PrintError(QStringLiteral("\r\033[K") + text);
    std::fflush(stderr);
    m_shown = true;
}

void TerminalProgress::finish()
{
    if (m_shown) {
        PrintError(QStringLiteral("\r\033[K"));
        std::fflush(stderr);
        m_shown = false;
    }
}

} // namespace plumtide::cli
