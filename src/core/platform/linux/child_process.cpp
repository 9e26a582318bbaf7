#include "platform/child_process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/path.h"

extern char** environ;

namespace {

constexpr std::size_t kErrorTextLimit = 4096;
constexpr auto kWaitStep = std::chrono::milliseconds(10);

void DrainInto(int fd, std::string& text)
{
    char buffer[512];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return;
        if (text.size() < kErrorTextLimit)
            text.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

bool IsExecutableFile(const std::string& path)
{
    struct stat status
    {
    };
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string FindProgramOnPath(const std::string& name)
{
    if (name.find(kPathSeparator) != std::string::npos)
        return IsExecutableFile(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return {};
    const std::string list(path);
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string folder = list.substr(start, end - start);
        if (!folder.empty()) {
            const std::string candidate = JoinPath(folder, name);
            if (IsExecutableFile(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::vector<char*> ExecArgumentVector(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

CProcessResult RunProcess(const std::vector<std::string>& arguments, const std::string& input,
                          std::chrono::milliseconds timeLimit, const std::function<bool()>& whileWaiting)
{
    CProcessResult result;
    if (arguments.empty()) {
        result.error = EINVAL;
        return result;
    }
    const int inputFd = memfd_create("tovix-input", MFD_CLOEXEC);
    if (inputFd < 0) {
        result.error = errno;
        return result;
    }
    for (std::size_t at = 0; at < input.size();) {
        const ssize_t written = write(inputFd, input.data() + at, input.size() - at);
        if (written < 0) {
            result.error = errno;
            close(inputFd);
            return result;
        }
        at += static_cast<std::size_t>(written);
    }
    lseek(inputFd, 0, SEEK_SET);

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        result.error = errno;
        close(inputFd);
        return result;
    }
    // Only our end may not block: the program's writes must wait for us, not fail.
    fcntl(errorPipe[0], F_SETFL, fcntl(errorPipe[0], F_GETFL) | O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inputFd, STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv = ExecArgumentVector(arguments);

    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, arguments[0].c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(inputFd);
    close(errorPipe[1]);
    if (spawned != 0) {
        close(errorPipe[0]);
        result.error = spawned;
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        DrainInto(errorPipe[0], result.errorText);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            result.error = errno;
            break;
        }
        int stopReason = 0;
        if (std::chrono::steady_clock::now() >= deadline)
            stopReason = ETIMEDOUT;
        else if (whileWaiting && !whileWaiting())
            stopReason = ECANCELED;
        if (stopReason != 0) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result.error = stopReason;
            break;
        }
        std::this_thread::sleep_for(kWaitStep);
    }
    DrainInto(errorPipe[0], result.errorText);
    close(errorPipe[0]);
    if (result.error == 0)
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

namespace {

int ExitCodeOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool GroupHasMembers(pid_t group)
{
    return kill(-group, 0) == 0 || errno == EPERM;
}

} // namespace

CChildProcess::~CChildProcess()
{
    if (IsRunning())
        TerminateGroup();
}

int CChildProcess::Start(const std::vector<std::string>& arguments)
{
    if (arguments.empty() || IsRunning())
        return EINVAL;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Standard output belongs to the program's own reports (the console prints its log
    // lines there, which scripts read): what the program says goes to the error output.
    if (fcntl(STDERR_FILENO, F_GETFD) != -1)
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    // A signal blocked here must not keep the program from being stopped.
    sigset_t unblocked;
    sigemptyset(&unblocked);
    posix_spawnattr_setsigmask(&attributes, &unblocked);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv = ExecArgumentVector(arguments);

    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, arguments[0].c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return spawned;
    m_pid = pid;
    m_ended = false;
    m_exitCode = -1;
    return 0;
}

bool CChildProcess::HasEnded(int& exitCode)
{
    if (m_pid > 0 && !m_ended) {
        int status = 0;
        pid_t done = 0;
        do {
            done = waitpid(m_pid, &status, WNOHANG);
        } while (done < 0 && errno == EINTR);
        if (done == m_pid) {
            m_ended = true;
            m_exitCode = ExitCodeOf(status);
        } else if (done < 0) {
            m_ended = true; // not our child any more: nothing left to wait for
        }
    }
    exitCode = m_exitCode;
    return m_pid > 0 && m_ended;
}

void CChildProcess::TerminateGroup(std::chrono::milliseconds grace)
{
    if (m_pid <= 0)
        return;
    // The group id stays reserved while any member lives, even after the leader has been
    // reaped, so signalling it never reaches an unrelated process.
    kill(-m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    int exitCode = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (HasEnded(exitCode) && !GroupHasMembers(m_pid))
            return;
        std::this_thread::sleep_for(kWaitStep);
    }
    kill(-m_pid, SIGKILL);
    if (!m_ended) {
        int status = 0;
        pid_t done = 0;
        do {
            done = waitpid(m_pid, &status, 0);
        } while (done < 0 && errno == EINTR);
        m_ended = true;
        if (done == m_pid)
            m_exitCode = ExitCodeOf(status);
    }
}
