#pragma once

// The process priority the program drops to while it lives in the tray, and the way back.
// Idle: nice 19, the SCHED_IDLE policy and the idle I/O class. Normal: exactly what the
// process had when it started.
//
// An ordinary user may raise its nice value and enter SCHED_IDLE, but may not undo
// either without CAP_SYS_NICE or a large enough RLIMIT_NICE. Where the way back is closed,
// idle keeps the CPU priority and uses SCHED_BATCH and the idle I/O class instead, which
// can always be undone: a window restored from the tray must never stay slow.

class CProcessPriority
{
public:
    // Records the priority of the moment as the normal one.
    CProcessPriority();

    void SetIdle();
    void SetNormal();

    // The nice value and scheduling policy can be restored after SetIdle.
    bool CanReturnFromIdleCpu() const;

private:
    int m_startNice = 0;
    int m_startPolicy = 0;
    int m_startIoPriority = 0;
};
