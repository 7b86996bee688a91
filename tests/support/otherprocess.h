#pragma once

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace plumtide::test
{

// A second process that does something to a file (opens it, locks it) and keeps it that way
// until this object is destroyed or end() is called, for tests that need another program
// to hold a file.
class OtherProcess
{
public:
    // Runs `setUp` in a forked child; ready() tells whether it returned true.
    explicit OtherProcess(const std::function<bool()>& setUp)
    {
        int readyPipe[2];
        int releasePipe[2];
        if (::pipe(readyPipe) != 0)
            return;
        if (::pipe(releasePipe) != 0) {
            ::close(readyPipe[0]);
            ::close(readyPipe[1]);
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(readyPipe[0]);
            ::close(releasePipe[1]);
            const char answer = setUp() ? 'y' : 'n';
            [[maybe_unused]] const auto written = ::write(readyPipe[1], &answer, 1);
            char ignored;
            while (::read(releasePipe[0], &ignored, 1) > 0) { }
            ::_exit(0);
        }
        ::close(readyPipe[1]);
        ::close(releasePipe[0]);
        m_release = releasePipe[1];
        char answer = 'n';
        if (m_pid > 0 && ::read(readyPipe[0], &answer, 1) == 1)
            m_ready = answer == 'y';
        ::close(readyPipe[0]);
    }
    ~OtherProcess() { end(); }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

    bool ready() const { return m_ready; }
    pid_t pid() const { return m_pid; }

    // Lets the child end, which closes whatever it held, and waits for it.
    void end()
    {
        if (m_release >= 0) {
            ::close(m_release);
            m_release = -1;
        }
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
        m_ready = false;
    }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_ready = false;
};

// Runs `body` in a forked child (for process-wide changes such as resource limits or a
// private mount) and returns its exit status, or -1 when it did not exit normally.
inline int RunInChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace plumtide::test
