#pragma once

// Until the main frame exists, the desktop program hosts the core in a plain window that
// shows the report and error lists, with the status text in its status bar. The timed
// message box answers the engine's questions; long start-up work shows the progress
// window.

#include <memory>

#include "app/application.h"
#include "engine/front_end_hooks.h"
#include "framework/frame_wnd.h"
#include "platform/linux/inotify_notifier.h"
#include "platform/qt_event_pump.h"
#include "platform/qt_timer_service.h"
#include "report/progress_host.h"
#include "report/report_view.h"
#include "report/timed_message_box.h"

class CListsWindow final : public CwFrameWnd
{
    Q_OBJECT
public:
    CListsWindow();
    CReportView* View() const { return m_view; }

signals:
    void CloseRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CReportView* m_view = nullptr;
};

// Shift, Ctrl and Alt held together ask for a dry run.
class CGuiKeyState final : public IKeyState
{
public:
    bool AbortKeysHeld() const override;
};

class CDesktopHost
{
public:
    explicit CDesktopHost(CCommandLine commandLine);
    ~CDesktopHost();
    CDesktopHost(const CDesktopHost&) = delete;
    CDesktopHost& operator=(const CDesktopHost&) = delete;

    int Run();

private:
    class CHooks final : public IFrontEndHooks
    {
    public:
        explicit CHooks(CDesktopHost& host) : m_host(host) {}
        void SetListRowLimit(int rows) override;
        bool IsMainWindowMinimized() const override;
        void ShowNotice(const std::string& text) override;
        void BeginProgress(const std::string& text, int range) override
        {
            m_host.m_progress.Begin(text, range);
        }
        bool StepProgress(int position) override { return m_host.m_progress.Step(position); }
        void EndProgress() override { m_host.m_progress.End(); }
        void SettingsFileChanged(const std::string& path) override;
        void RequestQuit(int exitCode) override { m_host.Quit(exitCode); }

    private:
        CDesktopHost& m_host;
    };

    void Quit(int exitCode);

    CTimedMessageBox m_prompter;
    CQtEventPump m_pump;
    CQtTimerService m_timers;
    CSystemClock m_clock;
    CGuiKeyState m_keys;
    CApplication m_app;
    CInotifyNotifierFactory m_notifiers;
    CProgressHost m_progress;
    CHooks m_hooks{*this};
    std::unique_ptr<CListsWindow> m_window;
};
