#include "report/progress_host.h"

#include "version.h"

void CProgressHost::Begin(const std::string& text, int range)
{
    m_window = std::make_unique<CwPgsWnd>(m_owner, QString::fromUtf8(kApplicationName), true, QString());
    m_window->SetRange(0, range, 1);
    m_window->SetText(QString::fromStdString(text));
}

bool CProgressHost::Step(int position)
{
    if (!m_window)
        return true;
    m_window->SetPos(position);
    return !m_window->PumpWaiting(true);
}

void CProgressHost::End()
{
    m_window.reset();
}
