#include "ProcessRunner.h"

#include <cerrno>
#include <fcntl.h>
#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sim {

namespace {

void drain(int fd, std::string& into, bool& open)
{
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, size_t(n));
    else if (n == 0 || errno != EINTR)
        open = false;
}

} // namespace

bool runCapture(const std::vector<std::string>& argv, std::string& out, std::string& err)
{
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return false;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM); // never outlives the simulator
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        const int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, 0);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    bool outOpen = pid > 0;
    bool errOpen = pid > 0;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            drain(outPipe[0], out, outOpen);
        if (fds[1].revents)
            drain(errPipe[0], err, errOpen);
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (pid < 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    while (!err.empty() && (err.back() == '\n' || err.back() == '\r'))
        err.pop_back();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace sim
