#pragma once

// The desktop program's application object: it hosts the core (settings, engine, state
// commands) with the desktop's services, makes the main frame, and handles the commands
// that belong to the whole program: the settings-file commands, editing the settings file
// as text, the manual, About and Exit. It is also the window the engine asks for trays,
// progress and notices (IFrontEndHooks).

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/application.h"
#include "engine/front_end_hooks.h"
#include "framework/document.h"
#include "mainwnd/main_frame.h"
#include "report/progress_host.h"
#include "report/timed_message_box.h"

class IChangeNotifierFactory;
class CPowerMonitor;
class QSessionManager;

// What the desktop program runs on: real services in the program, fakes in tests.
struct CDesktopServices
{
    IEventPump* pump = nullptr;
    ITimerService* timers = nullptr;
    IClock* clock = nullptr;
    IKeyState* keys = nullptr;
    IChangeNotifierFactory* notifiers = nullptr;
    // Extra services (power, storage, …); empty ones are the platform's.
    CHostServices extra;
};

class CTovixApp final : public IFrontEndHooks
{
public:
    CTovixApp(CCommandLine commandLine, const CDesktopServices& services);
    ~CTovixApp() override;
    CTovixApp(const CTovixApp&) = delete;
    CTovixApp& operator=(const CTovixApp&) = delete;

    // Settings, main frame, monitoring; false when the program cannot start.
    bool InitInstance();
    // Monitoring stops and the frame goes; gives the exit status.
    int ExitInstance();

    CApplication& App() { return m_app; }
    CMainFrame* MainFrame() const { return m_frame.get(); }
    CTimedMessageBox& Prompter() { return m_prompter; }
    CwDocument& Document() { return m_document; }
    // The status the program ends with (set when the frame closed or an end was asked).
    int ExitStatus() const { return m_exitStatus; }

    // The settings-file chooser; tests give the answer instead of a file dialog. No
    // value: cancelled.
    using FileChooser =
        std::function<std::optional<std::string>(ESettingsChooserMode mode, const std::string& initial)>;
    void SetFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    // Starts a program detached; tests record instead. False when it cannot start.
    using Launcher = std::function<bool(const std::string& program, const std::string& argument)>;
    void SetLauncher(Launcher launcher) { m_launcher = std::move(launcher); }
    // Opens a file with the desktop's default application; tests record instead.
    using Opener = std::function<bool(const std::string& path)>;
    void SetOpener(Opener opener) { m_opener = std::move(opener); }

    void OnNewSettings();
    void OnOpenSettings();
    void OnSaveSettingsAs();
    void OnEditSettingsFile();
    void OnHelp();
    void OnAbout();
    // The general configuration dialog, modal.
    void OnGeneralSettings();
    void OnFileSettings();
    void OnListFont();
    void OnExit();
    // SIGTERM, SIGINT: the end without the question, after the running pass was aborted.
    void OnTerminationSignal();
    void OnCommitDataRequest(QSessionManager& manager);

    // IFrontEndHooks
    void SetTrayIcon(bool readyIcon) override;
    void UpdateCommandStates() override;
    void SetListRowLimit(int rows) override;
    bool IsMainWindowMinimized() const override;
    void SetMainWindowHidden(bool hidden) override;
    void OpenManual() override { OnHelp(); }
    void ShowNotice(const std::string& text) override;
    void ShowBackupState(const std::string& source, const std::string& destinationRoot) override;
    void BeginProgress(const std::string& text, int range) override { m_progress.Begin(text, range); }
    bool StepProgress(int position) override { return m_progress.Step(position); }
    void EndProgress() override { m_progress.End(); }
    void SettingsFileChanged(const std::string& path) override;
    void RequestQuit(int exitCode) override;

private:
    std::optional<std::string> ChooseSettingsFile(ESettingsChooserMode mode);
    void ConnectCommands();
    void Quit(int exitCode);

    CDesktopServices m_services;
    CTimedMessageBox m_prompter;
    CApplication m_app;
    CProgressHost m_progress;
    CwDocument m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CPowerMonitor> m_power;
    FileChooser m_chooser;
    Launcher m_launcher;
    Opener m_opener;
    int m_exitStatus = 0;
    bool m_engineStarted = false;
};
