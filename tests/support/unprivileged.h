#pragma once

#include <QByteArray>

#include <functional>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace plumtide::test
{

// Runs `work` in a forked child as a user without privileges (uid and gid 65534 when the
// tests run as root, where permission bits stop nothing) and returns what it returned, or
// nothing when the child could not drop its privileges or died.
inline std::optional<QByteArray> RunUnprivileged(const std::function<QByteArray()>& work)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        const QByteArray out = work();
        const bool written = ::write(fds[1], out.constData(), out.size()) == out.size();
        ::_exit(written ? 0 : 3);
    }
    ::close(fds[1]);
    QByteArray out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

} // namespace plumtide::test
