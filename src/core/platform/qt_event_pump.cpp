#include "platform/qt_event_pump.h"

#include <QCoreApplication>

bool CQtEventPump::PumpPendingMessages()
{
    // Events are still handled while quitting: the request that ends the program may
    // come from inside the pump, and the caller needs its answer afterwards.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !m_quitting;
}
