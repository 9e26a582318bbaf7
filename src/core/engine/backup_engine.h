#pragma once

// The engine part of the main view: it decides when backups happen (change
// notifications, the delay after the last change, periods, the start-up options) and
// runs the backup passes over the marked file settings.

#include <array>
#include <functional>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "engine/backup_processor.h"
#include "engine/pause_conditions.h"
#include "platform/change_notifier.h"
#include "settings/settings_model.h"

class CApplicationCore;
class IFrontEndHooks;

namespace TimerId {
inline constexpr int kStatus = 100;
inline constexpr int kDelay = 200;
// One shot: the back-up-all run of the start-up option sa, run out of the status timer's
// handler so that the status timer keeps ticking (blinking, hiding) during that pass.
inline constexpr int kBackUpAll = 300;
inline constexpr int kPeriodBase = 10000;
}  // namespace TimerId

// How soon the back-up-all timer looks again when a pass was running.
inline constexpr int kBackUpAllRetryMs = 200;

inline constexpr int kStatusTimerMs = 500;

// What the user chose for one manual run (the folder backup dialog); they hold for that
// run only.
struct CManualChoices
{
    int contentCompare = 0;    // compare contents completely
    int testMode = 0;          // report what would be done, change nothing
    int generationsToKeep = 0; // generation deletion keeps this many
};

class CBackupEngine
{
public:
    CBackupEngine(CApplicationCore& core, IChangeNotifierFactory& notifiers, IFrontEndHooks& hooks);
    ~CBackupEngine();
    CBackupEngine(const CBackupEngine&) = delete;
    CBackupEngine& operator=(const CBackupEngine&) = delete;

    // The view is shown for the first time: welcome, then monitoring.
    void Start();
    // A window shows its state first and backs up all (sa) at the first polling tick; a
    // run without a window can start that pass as soon as monitoring is set up.
    void SetBackUpAllAtStart(bool atStart) { m_backUpAllAtStart = atStart; }

    void StartMonitoring();
    void StopMonitoring();
    void PollChanges();
    void ReportBackupState();
    void OnTimer(int id);

    // One pass over the marked file settings: 1, or 0 when it did not run or a
    // setting's backup was refused or aborted.
    int RunBackupPass();
    // Runs a pass in mode (0 backup, 1 generation deletion, 2 backup state) over the
    // settings marked with 2, with the processing counter raised meanwhile.
    void RunManual(int mode, const CManualChoices& choices);
    // The back-up-all entry: every setting that is not a sample is marked and backed up.
    void BackUpAllSettings();

    // Called at the first timer event after an aborted pass has unwound, with the abort
    // request already cleared; the application returns from the abort's Disabled state.
    void SetAbortEndHandler(std::function<void()> handler) { m_abortEndHandler = std::move(handler); }

    // True once a marked setting's backup was refused or aborted (a pass result of 0 from
    // a pass that ran) at any time since the engine was made.
    bool SettingBackupFailed() const { return m_settingBackupFailed; }

    CBackupProcessor& Processor() { return m_processor; }
    const IChangeNotifier* Notifier(int index) const;

    // Ignore set, or a network source while the start-up option xn is on.
    bool IsIgnoredForThisRun(const CFileSetting& setting) const;

private:
    // What a setting's next walk must cover, as far as its change notification tells.
    struct CPendingChanges
    {
        // Until a walk of everything has finished, nothing is known about the backup.
        bool walkAll = true;
        CWalkScope folders;
        // The rules of the last walk: other rules may decide otherwise anywhere.
        std::optional<CFileSetting> rules;
        std::optional<CGeneralSettings> general;
    };

    void StartMonitoringSetting(int index);
    // The scope of this pass's walk of a setting with the rules just loaded, or null for
    // everything.
    const CWalkScope* ChangedFoldersOnly(int index, const CFileSetting& setting, CWalkScope& scope);
    void AfterWalk(int index, const CFileSetting& setting, bool targeted, CWalkScope& scope, int count);
    std::string WatchSetting(int index, int& kind);
    void OnStatusTick();
    void AfterTimerEvent();
    void ProcessMarkedSetting(int index, int& passResult);
    int BackUpSetting(int index, const CFileSetting& setting);
    void StartAfterProgram(const CFileSetting& setting);
    void RestartDelayTimer();
    void PostBackUpAll();
    void CheckBatteryDuringPass();
    // What a setting's notifier must not report: the program's own files and folders the
    // walk never enters.
    CChangeWatchOptions::IgnoreFilter ChangeFilter(const CFileSetting& setting) const;

    CApplicationCore& m_core;
    IChangeNotifierFactory& m_notifierFactory;
    IFrontEndHooks& m_hooks;
    CBackupProcessor m_processor;
    CBatteryCheck m_battery;
    std::array<std::unique_ptr<IChangeNotifier>, kMaxFileSettings> m_notifiers;
    std::array<CPendingChanges, kMaxFileSettings> m_pending;

    int m_tickCounter = 0;
    int m_blinkCounter = 0;
    int m_lastProcessingCounter = -1;
    int m_lastDisabled = -1;
    int m_lastProcessingEnabled = -1;
    bool m_windowHidden = false;
    bool m_backUpAllDone = false;
    bool m_backUpAllPending = false;
    bool m_backUpAllAtStart = false;
    std::function<void()> m_abortEndHandler;
    bool m_quitDone = false;
    bool m_settingBackupFailed = false;
    bool m_passRunning = false;
    // The processing-enabled flag a running pass restores when it ends.
    int m_enabledAfterPass = 0;
    // When the first change that no pass has taken up yet was seen.
    std::optional<std::chrono::system_clock::time_point> m_changesPendingSince;
    bool m_postponementEnded = false;
};
