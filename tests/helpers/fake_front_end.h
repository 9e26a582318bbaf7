#pragma once

// Stand-ins for what a front end gives the engine besides the host services: change
// notifiers the test signals by hand, and hooks that record what the engine asked of the
// window.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/front_end_hooks.h"
#include "helpers/fake_services.h"
#include "platform/change_notifier.h"

// Changes are signalled by the test; every look at a notifier is logged with the time
// of the fake timers, so the poll moments can be compared exactly.
class CFakeNotifierFactory final : public IChangeNotifierFactory
{
public:
    explicit CFakeNotifierFactory(const CFakeTimers& timers) : m_timers(timers) {}

    std::unique_ptr<IChangeNotifier> Create(const CChangeWatchOptions& options) override;

    void Signal(const std::string& folder) { signalled[folder] = true; }

    std::vector<std::string> watchedFolders;
    std::vector<CChangeWatchOptions::IgnoreFilter> ignoreFilters;
    std::map<std::string, bool> signalled;
    std::map<std::string, std::string> notices;
    std::vector<int> lookMoments;
    int refuseWithError = 0;

private:
    const CFakeTimers& m_timers;
};

class CRecordingHooks final : public IFrontEndHooks
{
public:
    void SetTrayIcon(bool readyIcon) override { trayIcons.push_back(readyIcon); }
    void UpdateCommandStates() override { ++commandStateUpdates; }
    void OpenManual() override { ++manualsOpened; }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    void BeginProgress(const std::string& text, int range) override { progressTexts.push_back(text); }
    bool StepProgress(int position) override
    {
        progressSteps.push_back(position);
        return true;
    }
    void SettingsFileChanged(const std::string& path) override { settingsFiles.push_back(path); }
    void RequestQuit(int exitCode) override { quitCodes.push_back(exitCode); }

    std::vector<bool> trayIcons;
    int commandStateUpdates = 0;
    int manualsOpened = 0;
    std::vector<std::string> notices;
    std::vector<std::string> progressTexts;
    std::vector<int> progressSteps;
    std::vector<std::string> settingsFiles;
    std::vector<int> quitCodes;
};
