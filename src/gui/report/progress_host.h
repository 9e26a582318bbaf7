#pragma once

// The progress of long start-up work (loading the settings, starting the monitoring)
// shown in a progress window: the window exists from Begin to End.

#include <QPointer>
#include <memory>
#include <string>

#include "framework/progress_window.h"

class CProgressHost
{
public:
    explicit CProgressHost(QWidget* owner = nullptr) : m_owner(owner) {}

    void SetOwner(QWidget* owner) { m_owner = owner; }
    void Begin(const std::string& text, int range);
    // False when the user pressed the button or Escape.
    bool Step(int position);
    void End();

    CwPgsWnd* Window() const { return m_window.get(); }

private:
    QPointer<QWidget> m_owner;
    std::unique_ptr<CwPgsWnd> m_window;
};
