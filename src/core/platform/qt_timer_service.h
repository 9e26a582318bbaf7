#pragma once

// The engine's timers on the Qt event loop: one repeating QTimer per id. The handler
// runs inside the loop that is active at the time, so a timer keeps firing while a pass
// pumps events or a question waits in its own loop (Qt never re-enters the handler of
// the timer that is firing).

#include <map>
#include <memory>

#include "platform/host_services.h"

class QTimer;

class CQtTimerService final : public ITimerService
{
public:
    CQtTimerService();
    ~CQtTimerService() override;
    CQtTimerService(const CQtTimerService&) = delete;
    CQtTimerService& operator=(const CQtTimerService&) = delete;

    void SetHandler(Handler handler) override { m_handler = std::move(handler); }
    void StartTimer(int id, int intervalMs) override;
    void StopTimer(int id) override;

    bool IsRunning(int id) const;
    int IntervalOf(int id) const; // -1 when the timer was never started

private:
    void Fire(int id);

    Handler m_handler;
    // Stopped timers are kept: a handler may stop the timer that is calling it.
    std::map<int, std::unique_ptr<QTimer>> m_timers;
};
