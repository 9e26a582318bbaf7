#pragma once

// The application object every front end hosts: the settings and state of the run
// (CApplicationCore), the backup engine, and the commands that change the backup state,
// the process priority and the settings file. The console and the desktop program call
// these same commands, so both behave alike.

#include <memory>
#include <string>

#include "engine/backup_engine.h"
#include "engine/front_end_hooks.h"
#include "platform/process_priority.h"
#include "settings/application_core.h"

class IChangeNotifierFactory;

// What the user sees, in this order of precedence.
enum class EBackupState
{
    Disabled,
    Processing,
    Hold,
    Ready,
};

enum class EPauseStart
{
    Started,
    AlreadyPaused, // the front end brings its pause window forward
    Refused,       // nothing is being processed
};

enum class ESettingsChooserMode
{
    Open,
    SaveAs,
    New,
};

class CApplication
{
public:
    // Services may be given now or set later, one by one, before they are needed: a report
    // or question goes to whatever sink or prompter is set when it is raised.
    explicit CApplication(CCommandLine commandLine, const CHostServices& services = {});
    ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    void SetMessageSink(IMessageSink* sink);
    void SetPrompter(IPrompter* prompter);
    // Progress, command states and the rest of the window; none does nothing.
    void SetFrontEndHooks(IFrontEndHooks* hooks);

    CApplicationCore& Core() { return m_core; }
    const CApplicationCore& Core() const { return m_core; }
    CAppState& State() { return m_core.State(); }
    const CAppState& State() const { return m_core.State(); }
    // Null until StartEngine.
    CBackupEngine* Engine() { return m_engine.get(); }
    const CBackupEngine* Engine() const { return m_engine.get(); }

    // The name given with -i, or the default settings file.
    std::string InitialSettingsFileName() const { return m_core.InitialSettingsFileName(); }
    // Makes name the current settings file and loads it behind five progress steps. False
    // when the program cannot go on with it (the reason has been shown).
    bool LoadSettingsFile(const std::string& name);
    // The view is shown for the first time: the engine welcomes and starts monitoring.
    // Without a window to show the state first, the sa pass may start at once instead of
    // at the first polling tick.
    void StartEngine(IChangeNotifierFactory& notifiers, bool backUpAllAtOnce = false);
    // The view goes away: monitoring stops and the engine with it.
    void StopEngine();

    EBackupState BackupState() const;
    bool IsProcessing() const { return m_core.State().processingCounter > 0; }

    // Each command follows the rules of the menu command of the same name.
    void Abort();
    void ToggleDisabled();
    // False (with the error beep) while a pass runs: hold cannot be changed then.
    bool ToggleHold();
    EPauseStart BeginPause();
    // The user pressed continue: the hold state from before the pause comes back.
    void EndPause();
    bool IsPaused() const { return m_paused; }
    bool AutoScroll() const { return m_autoScroll; }
    void ToggleAutoScroll();
    bool NoOutput() const;
    void ToggleNoOutput();
    // Whether the front end may offer the dialog of a manual run now; the generation
    // deletion gives the error beep when it may not.
    bool CanStartManual(int mode);
    // A manual run (mode 0 backup, 1 generation deletion, 2 backup state) over the
    // settings the dialog marked. False when a pass is running.
    bool RunManual(int mode, const CManualChoices& choices);
    // Reported, then abort, then monitoring set up anew from the settings.
    void Restart();
    // Asks unless the start-up option cp is on; true when the program may end (any pass
    // has been asked to abort).
    bool ConfirmExit();

    // Idle while the window lives in the tray, only when a destination is set; neither
    // changes anything with the start-up option pn.
    void SetIdlePriority();
    void SetNormalPriority();

    // The settings file's full path; the edit command opens this.
    std::string SettingsFileFullPath() const;
    // The file the chooser starts at in each mode.
    std::string ChooserInitialPath(ESettingsChooserMode mode) const;
    // Copies the template to chosen and switches to it; false (with a message, nothing
    // changed) when the copy fails.
    bool NewSettingsFile(const std::string& chosen);
    void OpenSettingsFile(const std::string& chosen);
    // Copies the settings file to chosen and switches to it. A copy onto itself, or one
    // that fails, changes nothing on disk; the program still reloads from chosen.
    void SaveSettingsFileAs(const std::string& chosen);

private:
    void SwitchSettingsFile(const std::string& path);
    void AfterStateChange();
    void OnAbortEnded();

    CApplicationCore m_core;
    IFrontEndHooks m_noHooks;
    IFrontEndHooks* m_hooks = &m_noHooks;
    std::unique_ptr<CBackupEngine> m_engine;
    CProcessPriority m_priority;
    int m_enabledBeforePause = 0;
    bool m_paused = false;
    bool m_autoScroll = true;
};
