#pragma once

// The event pump on the Qt event loop: long work lets timers, signals and questions run
// through QCoreApplication::processEvents. Once the front end decided to end the
// program, every pump says so, and the work in progress stops.

#include <chrono>

#include "platform/host_services.h"

class CQtEventPump final : public IEventPump
{
public:
    bool PumpPendingMessages() override;

    void MarkQuitting() { m_quitting = true; }
    bool IsQuitting() const { return m_quitting; }

private:
    bool m_quitting = false;
    std::chrono::steady_clock::time_point m_lastPump{};
};
