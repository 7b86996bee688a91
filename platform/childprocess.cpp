#include "platform/childprocess.h"

#include "platform/descriptor.h"

#include <QDir>

#include <algorithm>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plumtide
{

namespace
{

using Clock = std::chrono::steady_clock;

QString systemError(const char* what, int error)
{
    return QStringLiteral("%1: %2").arg(
        QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(error)));
}

// A file no name leads to, holding `bytes`, read from its start: what the command reads can
// be read again and sought in, and a command that never reads it blocks nobody.
FileDescriptor unlinkedFile(const QByteArray& bytes)
{
    QByteArray name = QFile::encodeName(QDir::tempPath()) + "/plumtide-hook-XXXXXX";
    FileDescriptor file(::mkostemp(name.data(), O_CLOEXEC));
    if (!file.isOpen())
        return file;
    ::unlink(name.constData());
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written
            = ::write(file.get(), bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return FileDescriptor();
        done += written;
    }
    if (::lseek(file.get(), 0, SEEK_SET) != 0)
        return FileDescriptor();
    return file;
}

// Hands on the command's output by lines, up to the cap.
class LineSplitter
{
public:
    LineSplitter(qsizetype cap, const std::function<void(const QByteArray&)>& line,
        const std::function<void()>& capped)
        : m_left(cap)
        , m_line(line)
        , m_capped(capped)
    {
    }

    void add(const char* data, qsizetype size)
    {
        if (m_left <= 0)
            return;
        const qsizetype taken = std::min(size, m_left);
        m_left -= taken;
        m_pending.append(data, taken);
        qsizetype start = 0;
        for (qsizetype end = m_pending.indexOf('\n'); end >= 0;
             end = m_pending.indexOf('\n', start)) {
            m_line(m_pending.mid(start, end - start));
            start = end + 1;
        }
        m_pending.remove(0, start);
        if (m_left <= 0) {
            finish();
            if (m_capped)
                m_capped();
        }
    }

    void finish()
    {
        if (!m_pending.isEmpty())
            m_line(std::exchange(m_pending, {}));
    }

private:
    qsizetype m_left;
    QByteArray m_pending;
    const std::function<void(const QByteArray&)>& m_line;
    const std::function<void()>& m_capped;
};

// Reads what is there now; false at the end (every writer gone) or on an error.
bool readAvailable(int fd, LineSplitter& lines)
{
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            lines.add(buffer, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

} // namespace

TChildEnd RunShellCommand(const TShellCommand& command,
    const std::function<void(const QByteArray&)>& line, const std::function<void()>& capped,
    const std::function<bool()>& keepWaiting)
{
    TChildEnd end;
    const FileDescriptor input = unlinkedFile(command.input);
    if (!input.isOpen()) {
        end.error = systemError("cannot write its input", errno);
        return end;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        end.error = systemError("cannot make a pipe", errno);
        return end;
    }
    const FileDescriptor output(fds[0]);
    FileDescriptor outputEnd(fds[1]);
    ::fcntl(output.get(), F_SETFL, ::fcntl(output.get(), F_GETFL) | O_NONBLOCK);

    // Everything the child needs is made before the fork: after it, only calls that are safe
    // in a child of a process with threads.
    std::vector<QByteArray> environment;
    for (char** entry = environ; *entry; ++entry) {
        const QByteArray text(*entry);
        const bool replaced = std::any_of(command.environment.begin(), command.environment.end(),
            [&](const auto& added) { return text.startsWith(added.first + '='); });
        if (!replaced)
            environment.push_back(text);
    }
    for (const auto& [name, value] : command.environment)
        environment.push_back(name + '=' + value);
    std::vector<char*> envp;
    for (QByteArray& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    QByteArray shell("/bin/sh");
    QByteArray dashC("-c");
    QByteArray text = command.command;
    char* argv[] = { shell.data(), dashC.data(), text.data(), nullptr };

    const pid_t pid = ::fork();
    if (pid < 0) {
        end.error = systemError("cannot start it", errno);
        return end;
    }
    if (pid == 0) {
        ::setsid();
        // What this process ignores or blocks (a closed pipe among them) is the command's
        // own business again.
        struct sigaction action {
        };
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        for (const int signal : { SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT })
            ::sigaction(signal, &action, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::dup2(input.get(), 0) < 0 || ::dup2(outputEnd.get(), 1) < 0
            || ::dup2(outputEnd.get(), 2) < 0)
            ::_exit(126);
        ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    outputEnd.close();

    LineSplitter lines(command.outputCap, line, capped);
    const Clock::time_point start = Clock::now();
    Clock::time_point deadline = start + std::chrono::milliseconds(command.timeoutMs);
    bool ending = false; // SIGTERM sent; SIGKILL at the deadline
    bool open = true; // the output pipe still has writers
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        const Clock::time_point now = Clock::now();
        const bool stop = !ending && keepWaiting && !keepWaiting();
        if (now >= deadline || stop) {
            ::kill(-pid, ending ? SIGKILL : SIGTERM);
            if (ending) {
                ::waitpid(pid, &status, 0);
                break;
            }
            ending = true;
            deadline = now + std::chrono::seconds(2);
        }
        pollfd watched { output.get(), POLLIN, 0 };
        const int slice = 100;
        if (open) {
            if (::poll(&watched, 1, slice) > 0)
                open = readAvailable(output.get(), lines);
        } else {
            ::usleep(slice * 1000);
        }
    }
    // What it wrote before it ended; children it left in the background are not waited for.
    readAvailable(output.get(), lines);
    lines.finish();
    if (ending) {
        end.how = TChildEnd::How::TimedOut;
    } else if (WIFEXITED(status)) {
        end.how = TChildEnd::How::Exited;
        end.code = WEXITSTATUS(status);
    } else {
        end.how = TChildEnd::How::Signalled;
        end.code = WTERMSIG(status);
    }
    return end;
}

} // namespace plumtide
