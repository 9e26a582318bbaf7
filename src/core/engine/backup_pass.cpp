#include "engine/backup_engine.h"
#include "engine/backup_folder.h"
#include "engine/compress_folder.h"
#include "engine/drive_check.h"
#include "engine/engine_texts.h"
#include "engine/folder_safety.h"
#include "engine/front_end_hooks.h"
#include "engine/setting_ranges.h"
#include "platform/last_error.h"
#include "platform/detached_process.h"
#include "platform/program_lookup.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "settings/application_core.h"

namespace {

// Own destination, else the general one; a destination that is the file system root is
// held as its root, as a drive root is.
std::string PassDestination(const CGeneralSettings& general, const CFileSetting& setting)
{
    const std::string& destination =
        setting.BakTo.raw.empty() ? general.BakCopyPath.expanded : setting.BakTo.expanded;
    return WithoutTrailingSeparator(destination);
}

// A setting's rules without the scheduler's run-time state.
CFileSetting RulesOf(const CFileSetting& setting)
{
    CFileSetting rules = setting;
    rules.changeMark = ChangeMark::kNone;
    rules.changeHandle = kInvalidChangeHandle;
    return rules;
}

}  // namespace

bool CBackupEngine::IsIgnoredForThisRun(const CFileSetting& setting) const
{
    // The option leaves network sources out of this run only; the saved settings keep them.
    // An unknown compression mode names no archiver: the error was reported at the start.
    return setting.Ignore == 1 || (m_core.Settings().startup.xn != 0 && IsUncPath(setting.No.expanded))
           || HasUnknownCompressionMode(setting);
}

int CBackupEngine::RunBackupPass()
{
    if (m_battery.IsQuestionOpen())
        return 0;
    CAppState& state = m_core.State();
    if (m_passRunning) {
        CheckBatteryDuringPass();
        return 0;
    }
    m_battery.CheckBatteryPower();

    CSettingsModel& model = m_core.Settings();
    if (state.processingEnabled == 0 || model.general.BakCopyPath.expanded.empty())
        return 0;

    m_changesPendingSince.reset();
    const int rememberedMonitoring = state.monitoringActive;
    m_enabledAfterPass = state.processingEnabled;
    state.monitoringActive = 0;
    state.processingEnabled = 0;
    ++state.processingCounter;
    m_passRunning = true;

    // A run chosen in a dialog in test mode or another mode covers only the settings chosen
    // there: a change seen or a period come due meanwhile waits for a plain pass instead of
    // being only tested or having its generations deleted.
    const bool chosenOnly = m_processor.run.mode != ProcessorMode::kBackup || m_processor.run.testMode != 0;
    bool leftForLater = false;
    bool processedAnything = false;
    int passResult = 1;
    for (int index = 0; index < model.Files && index < kMaxFileSettings; ++index) {
        CFileSetting& setting = model.files[static_cast<std::size_t>(index)];
        if (state.disabled == 1) {
            setting.changeMark = ChangeMark::kNone;
            continue;
        }
        if (setting.changeMark == ChangeMark::kNone || setting.No.expanded.empty())
            continue;
        if (chosenOnly && setting.changeMark != ChangeMark::kRequested) {
            leftForLater = true;
            continue;
        }
        processedAnything = true;
        ProcessMarkedSetting(index, passResult);
        setting.changeMark = ChangeMark::kNone;
    }

    if (processedAnything && m_processor.run.mode != ProcessorMode::kBackupState) {
        m_core.OutputMessage(MessageKind::kInfo, EngineText::kDone);
        if (model.general.Sound == 1)
            m_core.Output().PlayNotifySound(model.general.SoundFile);
    }
    state.monitoringActive = rememberedMonitoring;
    state.processingEnabled = m_enabledAfterPass;
    --state.processingCounter;
    m_passRunning = false;
    if (leftForLater)
        RestartDelayTimer();
    return passResult;
}

// A timer that comes while a pass pumps messages must not start a pass inside it (the
// outer walk would go on with the inner one's processor), whatever the battery says. The
// battery's question may still be put, and its answer is what the pass leaves behind
// instead of the state it found.
void CBackupEngine::CheckBatteryDuringPass()
{
    CAppState& state = m_core.State();
    const int duringPass = state.processingEnabled;
    if (m_battery.CheckBatteryPower())
        m_enabledAfterPass = state.processingEnabled;
    state.processingEnabled = duringPass;
}

void CBackupEngine::ProcessMarkedSetting(int index, int& passResult)
{
    const CFileSetting& setting = m_core.Settings().files[static_cast<std::size_t>(index)];
    const std::string destination = PassDestination(m_core.Settings().general, setting);
    m_processor.LoadRules(setting);

    std::string text = EngineText::kBackupStart;
    if (IsIgnoredForThisRun(setting))
        text = EngineText::kNotBackedUp;
    if (m_processor.run.mode == ProcessorMode::kDeleteGenerations)
        text = EngineText::kDeleteGenerations;
    std::string details = m_processor.run.contentCompare != 0 ? EngineText::kContentCompare : "";
    if (setting.changeMark == ChangeMark::kPeriodDue) {
        text = EngineText::kPeriodicPrefix + text;
        details = FormatText(EngineText::kEveryMinutesFormat, setting.DoInterval / 60);
    }
    if (m_processor.run.mode != ProcessorMode::kBackupState)
        m_core.OutputMessage(MessageKind::kInfo, text, setting.No.expanded, destination, details);
    if (IsIgnoredForThisRun(setting))
        return;

    const int count = BackUpSetting(index, setting);
    if (count < 0) {
        passResult = 0;
        m_settingBackupFailed = true;
    }
    if (count <= 0)
        return;
    StartAfterProgram(setting);
    m_core.OutputMessage(MessageKind::kDetail, FormatText(EngineText::kFilesProcessedFormat, count));
    CheckDestinationDrive(m_core, destination);
}

int CBackupEngine::BackUpSetting(int index, const CFileSetting& setting)
{
    if (setting.CompMode == CompressionMode::kNone) {
        CWalkScope scope;
        const CWalkScope* const changedOnly = ChangedFoldersOnly(index, setting, scope);
        // A change that must wait for a walk of everything is not kept waiting behind
        // the rest of the tree: its folders come first.
        if (changedOnly == nullptr && setting.changeMark == ChangeMark::kChangeSeen
            && m_processor.run.mode == ProcessorMode::kBackup && !scope.Empty())
            m_processor.SetScope(&scope, true);
        else
            m_processor.SetScope(changedOnly);
        const int count = BackupFolder(m_processor, setting.No.expanded, setting.Sub != 0,
                                       [this](const std::string& source, const std::string& root) {
                                           m_hooks.ShowBackupState(source, root);
                                       });
        AfterWalk(index, setting, changedOnly != nullptr, scope, count);
        m_processor.SetScope(nullptr);
        return count;
    }
    // An archive holds the whole source every time: where changes were seen is of no use.
    m_pending[static_cast<std::size_t>(index)].folders = {};
    // Neither deleting generations nor looking at the backup state may write an archive.
    if (m_processor.run.mode != ProcessorMode::kBackup)
        return 0;
    // An archive of the source written into the source itself (or a folder holding it)
    // would end up in its own next archive.
    if (!CheckFoldersAgainstSource(m_processor, setting.No.expanded))
        return -1;
    return CompressFolder(m_processor, setting.CompMode, index) != 0 ? 1 : 0;
}

// A pass started by change notification walks only the folders where changes were seen,
// as long as the notification has seen every change since the last complete walk and
// nothing but the changed folders can decide otherwise: an age window moves with the
// clock, the general Forced and archive mode act on backups changed behind the
// notification's back, and other rules may have come since.
const CWalkScope* CBackupEngine::ChangedFoldersOnly(int index, const CFileSetting& setting, CWalkScope& scope)
{
    CPendingChanges& pending = m_pending[static_cast<std::size_t>(index)];
    // The changes seen so far are this walk's to cover; what it leaves undone, or what a
    // walk that changes nothing leaves, goes back afterwards.
    scope = std::move(pending.folders);
    pending.folders = {};
    const IChangeNotifier* notifier = m_notifiers[static_cast<std::size_t>(index)].get();
    const CBackupProcessor& processor = m_processor;
    const bool targeted =
        setting.changeMark == ChangeMark::kChangeSeen && !pending.walkAll && notifier != nullptr
        && notifier->Degradation().empty() && processor.run.mode == ProcessorMode::kBackup
        && processor.run.testMode == 0 && processor.run.contentCompare == 0 && processor.rules.daysFrom < 0
        && processor.rules.daysTo < 0 && processor.rules.archiveMode == 0 && m_core.Settings().general.Forced == 0
        && pending.rules && *pending.rules == RulesOf(setting) && pending.general
        && *pending.general == m_core.Settings().general;
    return targeted ? &scope : nullptr;
}

void CBackupEngine::AfterWalk(int index, const CFileSetting& setting, bool targeted, CWalkScope& scope,
                              int count)
{
    CPendingChanges& pending = m_pending[static_cast<std::size_t>(index)];
    const CAppState& state = m_core.State();
    // Generation deletion, the backup state and test runs change no backup.
    if (m_processor.run.mode != ProcessorMode::kBackup || m_processor.run.testMode != 0) {
        pending.folders.Merge(scope);
        return;
    }
    m_core.OutputMessage(MessageKind::kDebug,
                         FormatText(targeted ? EngineText::kChangedFoldersWalkFormat : EngineText::kFullWalkFormat,
                                    static_cast<unsigned long>(m_processor.FoldersWalked())),
                         setting.No.expanded);
    // Refused, aborted, or cut short where no folder can say what is left: all again.
    if (count < 0 || state.abortRequested != 0 || state.disabled != 0) {
        pending.walkAll = true;
        pending.folders.Merge(scope);
        return;
    }
    if (!targeted) {
        pending.walkAll = false;
        pending.rules = RulesOf(setting);
        pending.general = m_core.Settings().general;
    }
    pending.folders.Merge(m_processor.Unfinished());
}

// Started without a shell and not waited for: the arguments are split the way a shell
// would split them, but nothing in them is expanded or executed.
void CBackupEngine::StartAfterProgram(const CFileSetting& setting)
{
    const std::string& program = setting.ObsRunExe.expanded;
    if (program.empty())
        return;
    const std::string command = program + " " + setting.ObsRunArg.expanded;
    // A dry run changes nothing, and the program could.
    if (m_processor.IsDryRun()) {
        m_core.OutputMessage(MessageKind::kTest, EngineText::kAfterProgram, {}, {}, command);
        return;
    }
    ClearLastSystemError();
    std::vector<std::string> words{FindProgram(program)};
    if (words[0].empty())
        words[0] = program;
    for (auto& word : SplitShellWords(setting.ObsRunArg.expanded))
        words.push_back(std::move(word));
    const bool started = StartDetachedProgram(words);
    m_core.OutputMessage(started ? MessageKind::kInfo : MessageKind::kError, EngineText::kAfterProgram, {},
                         {}, command + SystemErrorSuffix());
}

void CBackupEngine::RunManual(int mode, const CManualChoices& choices)
{
    // The run options below belong to the pass that is running, if any.
    if (m_core.State().processingCounter != 0)
        return;
    m_processor.run.contentCompare = choices.contentCompare;
    m_processor.run.testMode = choices.testMode;
    m_processor.run.generationsToKeep = choices.generationsToKeep;
    CAppState& state = m_core.State();
    ++state.processingCounter;
    if (mode == ProcessorMode::kBackup)
        m_core.OutputMessage(MessageKind::kInfo, EngineText::kBackUpChosenFolders);
    else if (mode == ProcessorMode::kDeleteGenerations)
        m_core.OutputMessage(MessageKind::kInfo, EngineText::kDeleteGenerations);
    m_processor.run.mode = mode;
    RestartDelayTimer();
    RunBackupPass();
    m_processor.run.contentCompare = 0;
    m_processor.run.mode = ProcessorMode::kBackup;
    --state.processingCounter;
    m_processor.run.testMode = 0;
}

void CBackupEngine::BackUpAllSettings()
{
    CSettingsModel& model = m_core.Settings();
    for (int index = 0; index < model.Files && index < kMaxFileSettings; ++index) {
        CFileSetting& setting = model.files[static_cast<std::size_t>(index)];
        if (!IsSampleSource(setting.No.expanded))
            setting.changeMark = ChangeMark::kRequested;
    }
    RunManual(ProcessorMode::kBackup, CManualChoices{});
}
