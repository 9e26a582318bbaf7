#include "platform/detached_process.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/last_error.h"
#include "platform/child_process.h"

namespace {

// The program starts the way a program started from the desktop does: no signal blocked
// and none ignored, whatever this process set up for itself (an ignored SIGPIPE or a
// blocked SIGTERM would otherwise be inherited through exec).
void ResetSignals(const sigset_t& none)
{
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        sigaction(signal, &defaultAction, nullptr);  // refused for SIGKILL and SIGSTOP
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

// The middle child starts a new session and forks the program, then exits at once, so
// the program is adopted by init. An exec failure travels back through a pipe that the
// successful exec closes (close-on-exec).
[[noreturn]] void RunMiddleChild(const std::vector<char*>& argv, int reportFd, const sigset_t& none)
{
    setsid();
    ResetSignals(none);
    const pid_t program = fork();
    if (program == 0) {
        execv(argv[0], argv.data());
        const int error = errno;
        (void)!write(reportFd, &error, sizeof error);
        _exit(127);
    }
    if (program < 0) {
        const int error = errno;
        (void)!write(reportFd, &error, sizeof error);
    }
    _exit(0);
}

}  // namespace

bool StartDetachedProgram(const std::vector<std::string>& words)
{
    if (words.empty() || words[0].empty()) {
        SetLastSystemError(ENOENT);
        return false;
    }
    const std::vector<char*> argv = ExecArgumentVector(words);

    sigset_t none;
    sigemptyset(&none);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        SetLastSystemError(errno);
        return false;
    }
    const pid_t middle = fork();
    if (middle == 0) {
        close(report[0]);
        RunMiddleChild(argv, report[1], none);
    }
    const int forkError = errno;
    close(report[1]);
    if (middle < 0) {
        close(report[0]);
        SetLastSystemError(forkError);
        return false;
    }
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int childError = 0;
    ssize_t got;
    do
        got = read(report[0], &childError, sizeof childError);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    SetLastSystemError(got == static_cast<ssize_t>(sizeof childError) ? childError : 0);
    return GetLastSystemError() == 0;
}
