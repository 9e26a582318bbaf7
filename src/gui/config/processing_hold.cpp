#include "config/processing_hold.h"

#include "app/application.h"

CProcessingHold::CProcessingHold(CApplication& app) : m_app(app), m_remembered(app.State().processingEnabled)
{
    app.State().processingEnabled = 0;
}

CProcessingHold::~CProcessingHold()
{
    m_app.State().processingEnabled = m_remembered;
}

void CProcessingHold::RestartMonitoring()
{
    CAppState& state = m_app.State();
    state.processingEnabled = m_remembered;
    m_app.Abort();
    if (CBackupEngine* engine = m_app.Engine()) {
        engine->StopMonitoring();
        engine->StartMonitoring();
    }
    m_remembered = state.processingEnabled;
}
