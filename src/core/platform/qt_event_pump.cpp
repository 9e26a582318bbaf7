#include "platform/qt_event_pump.h"

#include <QCoreApplication>

namespace {

// A pass pumps at every file, twice at medium speed: on an unchanged tree that is tens of
// thousands of times a second, and every time the event loop polls all its sources, a
// quarter of the pass's time. Events handled within a millisecond keep the program just
// as responsive; the slower speeds sleep a millisecond between their pumps, so each of
// those still runs.
constexpr std::chrono::microseconds kShortestPumpInterval{1000};

} // namespace

bool CQtEventPump::PumpPendingMessages()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump >= kShortestPumpInterval) {
        // Events are still handled while quitting: the request that ends the program may
        // come from inside the pump, and the caller needs its answer afterwards.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        m_lastPump = std::chrono::steady_clock::now();
    }
    return !m_quitting;
}
