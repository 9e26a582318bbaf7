#pragma once

// What the scheduler asks of the window it lives in. A front end without a tray or a
// window (the console, the tests) keeps the defaults, which do nothing.

#include <string>

class IFrontEndHooks
{
public:
    virtual ~IFrontEndHooks() = default;

    // readyIcon: show the ready icon (one half of a blink); otherwise the icon of the
    // current backup state.
    virtual void SetTrayIcon(bool readyIcon) {}
    // Menu, toolbar and tray follow the state flags.
    virtual void UpdateCommandStates() {}
    virtual void SetListRowLimit(int rows) {}
    virtual bool IsMainWindowMinimized() const { return false; }
    virtual void SetMainWindowHidden(bool hidden) {}
    virtual void OpenManual() {}
    // Shows a notice that needs no answer (the console prints it).
    virtual void ShowNotice(const std::string& text) {}
    // The backup-state run hands its walk over to the state window.
    virtual void ShowBackupState(const std::string& source, const std::string& destinationRoot) {}
    // Progress of long start-up work; Step returns false when the user cancels.
    virtual void BeginProgress(const std::string& text, int range) {}
    virtual bool StepProgress(int position) { return true; }
    virtual void EndProgress() {}
    // The settings file in use changed (the window caption shows it).
    virtual void SettingsFileChanged(const std::string& path) {}
    // Ends the program once the current event has been handled.
    virtual void RequestQuit(int exitCode) {}
};
