#include "platform/process_priority.h"

#include <cerrno>
#include <fstream>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/error_guard.h"

namespace {

// The I/O priority system calls have no C library wrappers.
constexpr int kIoPriorityWhoProcess = 1;
constexpr int kIoPriorityClassShift = 13;
constexpr int kIoPriorityClassIdle = 3;
constexpr int kCapSysNice = 23;
constexpr int kLowestNice = 19;

int GetIoPriority()
{
    return static_cast<int>(syscall(SYS_ioprio_get, kIoPriorityWhoProcess, 0));
}

void SetIoPriority(int value)
{
    syscall(SYS_ioprio_set, kIoPriorityWhoProcess, 0, value);
}

void SetPolicy(int policy)
{
    sched_param param{};
    param.sched_priority = 0;
    sched_setscheduler(0, policy, &param);
}

bool HasCapSysNice()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("CapEff:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> kCapSysNice & 1U) != 0;
    return false;
}

} // namespace

CProcessPriority::CProcessPriority()
{
    CErrnoGuard keepErrno;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    m_startNice = errno == 0 ? nice : 0;
    const int policy = sched_getscheduler(0);
    m_startPolicy = policy >= 0 ? policy : SCHED_OTHER;
    const int io = GetIoPriority();
    m_startIoPriority = io >= 0 ? io : 0;
}

bool CProcessPriority::CanReturnFromIdleCpu() const
{
    if (geteuid() == 0 || HasCapSysNice())
        return true;
    // The kernel lets a process lower its nice value to 20 - RLIMIT_NICE, and leave
    // SCHED_IDLE only when it could take its nice value back.
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0)
        return false;
    const rlim_t needed = static_cast<rlim_t>(20 - m_startNice);
    return limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= needed;
}

void CProcessPriority::SetIdle()
{
    CErrnoGuard keepErrno;
    if (CanReturnFromIdleCpu()) {
        setpriority(PRIO_PROCESS, 0, kLowestNice);
        SetPolicy(SCHED_IDLE);
    } else {
        SetPolicy(SCHED_BATCH);
    }
    SetIoPriority(kIoPriorityClassIdle << kIoPriorityClassShift);
}

void CProcessPriority::SetNormal()
{
    CErrnoGuard keepErrno;
    SetPolicy(m_startPolicy);
    setpriority(PRIO_PROCESS, 0, m_startNice);
    SetIoPriority(m_startIoPriority);
}
