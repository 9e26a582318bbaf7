#pragma once

// Runs a helper program without a shell and waits for it with a time limit, letting the
// caller keep the user interface alive meanwhile.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct CProcessResult
{
    int error = 0;         // errno value when the program could not run or was stopped
    int exitCode = -1;     // when it ended by itself
    std::string errorText; // the first bytes it wrote to its error output
};

// A regular file this process may execute.
bool IsExecutableFile(const std::string& path);

// The full path of name found on $PATH, or "" (a name with "/" is taken as it is).
std::string FindProgramOnPath(const std::string& name);

// The NULL-terminated argument vector exec expects; it points into arguments, which must
// outlive it.
std::vector<char*> ExecArgumentVector(const std::vector<std::string>& arguments);

// arguments[0] is the program's path. input is given as its standard input (passwords
// included: it never touches the disk). whileWaiting is called every few milliseconds;
// when it returns false, or the time limit passes, the program is killed (error
// ECANCELED or ETIMEDOUT).
CProcessResult RunProcess(const std::vector<std::string>& arguments, const std::string& input,
                          std::chrono::milliseconds timeLimit,
                          const std::function<bool()>& whileWaiting = {});

// A program that runs while the caller keeps working, started in a process group of its
// own so that everything it starts in turn can be stopped with it. Its standard input is
// /dev/null (a program that asks a question gets end-of-file instead of hanging); its
// standard output and error output both go to this program's error output, so that
// nothing it prints mixes with what this program prints. A group still running when the
// object ends is terminated.
class CChildProcess
{
public:
    static constexpr std::chrono::milliseconds kDefaultGrace{2000};

    CChildProcess() = default;
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    ~CChildProcess();

    // arguments[0] is the program's path. 0 when it started, else the errno value.
    int Start(const std::vector<std::string>& arguments);
    // Without waiting: true once the program has ended, with its exit code (128 + the
    // signal number when a signal ended it).
    bool HasEnded(int& exitCode);
    // SIGTERM to the whole group, SIGKILL to what is left of it after grace; returns
    // when the program has ended. Its exit code follows as with HasEnded.
    void TerminateGroup(std::chrono::milliseconds grace = kDefaultGrace);

    bool IsRunning() const { return m_pid > 0 && !m_ended; }
    int ProcessGroup() const { return m_pid; }

private:
    int m_pid = -1;
    bool m_ended = false;
    int m_exitCode = -1;
};
