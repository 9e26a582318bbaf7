#include "platform/qt_timer_service.h"

#include <QTimer>
#include <algorithm>

CQtTimerService::CQtTimerService() = default;

CQtTimerService::~CQtTimerService() = default;

void CQtTimerService::StartTimer(int id, int intervalMs)
{
    std::unique_ptr<QTimer>& timer = m_timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [this, id] { Fire(id); });
    }
    // start() on a running timer restarts it with a full period.
    timer->start(std::max(0, intervalMs));
}

void CQtTimerService::StopTimer(int id)
{
    if (const auto found = m_timers.find(id); found != m_timers.end())
        found->second->stop();
}

bool CQtTimerService::IsRunning(int id) const
{
    const auto found = m_timers.find(id);
    return found != m_timers.end() && found->second->isActive();
}

int CQtTimerService::IntervalOf(int id) const
{
    const auto found = m_timers.find(id);
    return found != m_timers.end() ? found->second->interval() : -1;
}

void CQtTimerService::Fire(int id)
{
    // A copy: the handler may replace itself (the engine clears it when it ends).
    const Handler handler = m_handler;
    if (handler)
        handler(id);
}
