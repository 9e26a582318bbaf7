#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "engine/backup_engine.h"
#include "engine/engine_texts.h"
#include "engine/folder_safety.h"
#include "engine/front_end_hooks.h"
#include "engine/pacing.h"
#include "engine/pattern.h"
#include "engine/setting_ranges.h"
#include "engine/share_connection.h"
#include "platform/last_error.h"
#include "platform/atomic_copy.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "report/log_file.h"
#include "settings/application_core.h"
#include "settings/profile_store.h"
#include "platform/program_paths.h"
#include "version.h"

namespace {

void AppendDetail(std::string& details, const std::string& text)
{
    details += EngineText::kDetailsSeparator;
    details += text;
}

// The destination folders of a setting that must never be watched when they lie inside
// its source: a backup written there would signal a change and start the next pass.
std::vector<std::string> FoldersNotToWatch(const CSettingsModel& model, const CFileSetting& setting)
{
    std::vector<std::string> folders;
    for (const std::string* folder : {&setting.BakTo.expanded, &model.general.BakCopyPath.expanded,
                                      &setting.NewBakTo.expanded, &setting.GenBakTo.expanded,
                                      &model.general.Recycle2.expanded})
        if (!folder->empty() && IsSameOrInside(*folder, setting.No.expanded))
            folders.push_back(*folder);
    return folders;
}

// A file and, when it is reached through links or through a linked folder, its real
// path as well, so that a change reported under either spelling is recognised.
void AddOwnFile(std::vector<std::string>& files, const std::string& path)
{
    if (path.empty())
        return;
    files.push_back(path);
    std::string target;
    if (ResolveLinkTarget(path, target) == 0 && target != path)
        files.push_back(target);
    if (std::string real; ResolvePath(ParentPath(target.empty() ? path : target), real) == 0)
        files.push_back(JoinPath(real, FileNameOf(target.empty() ? path : target)));
}

// The same files as the source folder spells them when the source is reached through a
// link: the notifier reports paths below the source as it was given.
void AddSourceSpellings(std::vector<std::string>& files, const std::string& source)
{
    std::string realSource;
    if (ResolvePath(source, realSource) != 0 || realSource == source)
        return;
    const std::size_t count = files.size();
    for (std::size_t index = 0; index < count; ++index)
        if (files[index] != realSource && IsSameOrInside(files[index], realSource))
            files.push_back(JoinPath(source, files[index].substr(realSource.size() + 1)));
}

// The source's attributes, through the share's mount for a network path.
int QuerySourceFolder(const std::string& source)
{
    std::string local;
    if (const int error = ToLocalPath(source, local); error != 0)
        return error;
    CFileStatus status;
    if (const int error = ReadFollowedStatus(local, status))
        return error;
    return status.IsFolder() ? 0 : ENOTDIR;
}

// How long changes may keep postponing a pass: this many delays, at least a minute.
constexpr long long kPostponementDelays = 10;
constexpr long long kLongestPostponementSeconds = 60;

// Temporary copies the settings storage makes of whole settings files, and the length of
// the random part of its temporary names.
constexpr std::string_view kSettingsTemporaryPrefix = ".tovix-settings-";
constexpr std::size_t kTemporaryRandomLength = 6;

// Timer intervals are whole milliseconds in an int: a period longer than that (about 24
// days) runs at the longest interval instead of wrapping around to a negative one.
int SecondsToTimerMs(int seconds)
{
    return static_cast<int>(std::min<long long>(seconds * 1000LL, std::numeric_limits<int>::max()));
}

}  // namespace

CBackupEngine::CBackupEngine(CApplicationCore& core, IChangeNotifierFactory& notifiers,
                             IFrontEndHooks& hooks)
    : m_core(core), m_notifierFactory(notifiers), m_hooks(hooks), m_processor(core), m_battery(core)
{
    if (ITimerService* timers = m_core.Services().timers)
        timers->SetHandler([this](int id) { OnTimer(id); });
}

CBackupEngine::~CBackupEngine()
{
    StopMonitoring();
    if (ITimerService* timers = m_core.Services().timers)
        timers->SetHandler({});
}

const IChangeNotifier* CBackupEngine::Notifier(int index) const
{
    return index >= 0 && index < kMaxFileSettings ? m_notifiers[static_cast<std::size_t>(index)].get()
                                                  : nullptr;
}

void CBackupEngine::Start()
{
    m_core.OutputMessage(MessageKind::kInfo, EngineText::kWelcome, m_core.SettingsFilePath(), {},
                         std::string(EngineText::kVersionPrefix) + kTovixVersion);
    StartMonitoring();
    m_hooks.SetTrayIcon(false);
    if (m_backUpAllAtStart)
        PostBackUpAll();
}

// Once per run: the back-up-all pass of sa, out of the handler of the timer that asks for it.
void CBackupEngine::PostBackUpAll()
{
    if (m_backUpAllDone)
        return;
    m_backUpAllDone = true;
    ITimerService* timers = m_core.Services().timers;
    if (m_core.Settings().startup.sa != 0 && timers) {
        m_backUpAllPending = true;
        timers->StartTimer(TimerId::kBackUpAll, 0);
    }
}

void CBackupEngine::StartMonitoring()
{
    CSettingsModel& model = m_core.Settings();
    m_changesPendingSince.reset();
    CheckSettingRanges(m_core);
    m_hooks.UpdateCommandStates();
    m_hooks.BeginProgress(EngineText::kStartupProgress, model.Files);
    m_hooks.SetListRowLimit(model.general.LogLines);
    for (int index = 0; index < model.Files && index < kMaxFileSettings; ++index) {
        m_hooks.StepProgress(index);
        StartMonitoringSetting(index);
    }
    m_core.OutputMessage(MessageKind::kInfo, EngineText::kDestination, {},
                         model.general.BakCopyPath.expanded);

    CAppState& state = m_core.State();
    const bool hasDestination = !model.general.BakCopyPath.expanded.empty();
    state.processingEnabled = hasDestination ? 1 : 0;
    state.monitoringActive = hasDestination ? 1 : 0;
    state.disabled = hasDestination ? 0 : 1;
    if (!hasDestination) {
        m_hooks.OpenManual();
        m_hooks.ShowNotice(EngineText::kNoDestination);
        m_core.OutputMessage(MessageKind::kWarning, EngineText::kNoDestination);
    }
    ReportBackupState();
    if (ITimerService* timers = m_core.Services().timers)
        timers->StartTimer(TimerId::kStatus, kStatusTimerMs);
    m_hooks.UpdateCommandStates();
    m_hooks.EndProgress();
}

void CBackupEngine::StartMonitoringSetting(int index)
{
    CSettingsModel& model = m_core.Settings();
    CFileSetting& setting = model.files[static_cast<std::size_t>(index)];
    m_notifiers[static_cast<std::size_t>(index)].reset();
    m_pending[static_cast<std::size_t>(index)] = {};
    setting.changeHandle = kInvalidChangeHandle;
    setting.changeMark = ChangeMark::kNone;
    const std::string& source = setting.No.expanded;
    if (source.empty() || IsSampleSource(source))
        return;

    ClearLastSystemError();
    const std::string& destination =
        setting.BakTo.raw.empty() ? model.general.BakCopyPath.expanded : setting.BakTo.expanded;
    int kind = MessageKind::kInfo;
    std::string details = "#" + std::to_string(index);
    if (model.startup.xn != 0 && IsUncPath(source))
        AppendDetail(details, EngineText::kNetworkIgnored);
    if (IsIgnoredForThisRun(setting)) {
        AppendDetail(details, EngineText::kNotBackedUp);
    } else {
        CheckSettingAtStart(m_processor, setting);
        if (setting.DoInterval > 0) {
            if (ITimerService* timers = m_core.Services().timers)
                timers->StartTimer(TimerId::kPeriodBase + index, SecondsToTimerMs(setting.DoInterval));
            AppendDetail(details, FormatText(EngineText::kEveryMinutesFormat, setting.DoInterval / 60));
        }
        if (setting.NoDetect == 1)
            AppendDetail(details, EngineText::kNoRealTimeDetection);
        else
            details += WatchSetting(index, kind);
    }
    details += SystemErrorSuffix();
    m_core.OutputMessage(kind, EngineText::kSetting, source, destination, details);
}

// Checks the source and asks for its change notification; returns what the start-up
// line says about it and lowers the kind for a missing folder or no notification.
std::string CBackupEngine::WatchSetting(int index, int& kind)
{
    CSettingsModel& model = m_core.Settings();
    CFileSetting& setting = model.files[static_cast<std::size_t>(index)];
    const std::string& source = setting.No.expanded;
    std::string details;
    if (const int error = QuerySourceFolder(source); error != 0) {
        SetLastSystemError(error);
        const bool connectable = IsUncPath(source) && error != ENOENT;
        if (connectable)
            AppendDetail(details, EngineText::kTryingToConnect);
        if (!connectable || !ConnectNetworkShare(m_core, source)) {
            kind = MessageKind::kError;
            AppendDetail(details, EngineText::kFolderNotFound);
            return details;
        }
    }

    CChangeWatchOptions options;
    options.folder = source;
    options.subtree = setting.Sub != 0;
    options.excludedFolders = FoldersNotToWatch(model, setting);
    options.ignore = ChangeFilter(setting);
    options.pace = [this](std::size_t) { return PaceStep(m_core); };
    auto notifier = m_notifierFactory.Create(options);
    if (!notifier) {
        kind = MessageKind::kWarning;
        AppendDetail(details, EngineText::kDetectionImpossible);
        return details;
    }
    m_notifiers[static_cast<std::size_t>(index)] = std::move(notifier);
    setting.changeHandle = index;
    ClearLastSystemError();
    if (!setting.Inc.empty())
        AppendDetail(details, FormatText(EngineText::kIncludeFormat, setting.Inc.c_str()));
    if (!setting.Exc.empty())
        AppendDetail(details, FormatText(EngineText::kExcludeFormat, setting.Exc.c_str()));
    if (!setting.DirExc.empty())
        AppendDetail(details, FormatText(EngineText::kExcludeFoldersFormat, setting.DirExc.c_str()));
    return details;
}

// The log and settings files (with their rotation, backup and temporary files) change
// because the program runs: a log inside the source would otherwise report a change at
// every poll and keep postponing the pass for good. Folders the walk never enters (dot
// folders, excluded folders, the configuration folder, every subfolder of a setting
// without subfolders) hold nothing to back up either.
CChangeWatchOptions::IgnoreFilter CBackupEngine::ChangeFilter(const CFileSetting& setting) const
{
    const CSettingsModel& model = m_core.Settings();
    std::vector<std::string> ownFiles;
    const std::string& log = model.general.LogFile.expanded;
    AddOwnFile(ownFiles, log);
    if (!log.empty())
        AddOwnFile(ownFiles, CLogFile::OldPath(log));
    const std::string& settings = m_core.SettingsFilePath();
    AddOwnFile(ownFiles, settings);
    const std::string configFolder = GetConfigDirectory();
    AddOwnFile(ownFiles, JoinPath(configFolder, kSettingsBackupFileName));
    AddSourceSpellings(ownFiles, setting.No.expanded);

    // The settings file is rewritten through ".<name>.XXXXXX" beside its real path.
    std::string settingsTarget;
    if (settings.empty() || ResolveLinkTarget(settings, settingsTarget) != 0)
        settingsTarget = settings;
    const std::string settingsTemporaryPrefix = "." + FileNameOf(settingsTarget) + ".";

    CPatternList excludedFolders;
    SplitPatternList(excludedFolders, setting.DirExc);
    const bool subfolders = setting.Sub != 0;
    return [ownFiles = std::move(ownFiles), configFolder, settingsTemporaryPrefix,
            excludedFolders = std::move(excludedFolders), subfolders](const std::string& path, bool isFolder) {
        const std::string name = FileNameOf(path);
        if (isFolder)
            return !subfolders || name.starts_with('.') || MatchesAnyPattern(excludedFolders, name)
                   || path == configFolder;
        if (IsOwnTemporaryFile(name) || name.starts_with(kSettingsTemporaryPrefix))
            return true;
        if (name.size() == settingsTemporaryPrefix.size() + kTemporaryRandomLength
            && name.starts_with(settingsTemporaryPrefix))
            return true;
        return std::find(ownFiles.begin(), ownFiles.end(), path) != ownFiles.end();
    };
}

void CBackupEngine::StopMonitoring()
{
    if (ITimerService* timers = m_core.Services().timers) {
        timers->StopTimer(TimerId::kStatus);
        timers->StopTimer(TimerId::kDelay);
        timers->StopTimer(TimerId::kBackUpAll);
        for (int index = 0; index < kMaxFileSettings; ++index)
            timers->StopTimer(TimerId::kPeriodBase + index);
    }
    m_core.State().monitoringActive = 0;
    for (int index = 0; index < kMaxFileSettings; ++index) {
        m_notifiers[static_cast<std::size_t>(index)].reset();
        m_core.Settings().files[static_cast<std::size_t>(index)].changeHandle = kInvalidChangeHandle;
    }
}

void CBackupEngine::PollChanges()
{
    const CAppState& state = m_core.State();
    if (state.monitoringActive != 1 || state.disabled != 0)
        return;
    CSettingsModel& model = m_core.Settings();
    for (int index = 0; index < model.Files && index < kMaxFileSettings; ++index) {
        IChangeNotifier* notifier = m_notifiers[static_cast<std::size_t>(index)].get();
        if (!notifier)
            continue;
        CFileSetting& setting = model.files[static_cast<std::size_t>(index)];
        const bool signalled = notifier->IsSignalled();
        if (const std::string notice = notifier->TakeDegradationNotice(); !notice.empty())
            m_core.OutputMessage(MessageKind::kWarning, EngineText::kDetectionImpossible,
                                 setting.No.expanded, {}, notice);
        if (!signalled)
            continue;
        m_core.OutputMessage(MessageKind::kDetail, EngineText::kChangeDetected, setting.No.expanded);
        notifier->ReadAndRearm();
        CPendingChanges& pending = m_pending[static_cast<std::size_t>(index)];
        CChangedFolders changed;
        if (notifier->TakeChangedFolders(changed)) {
            for (const std::string& folder : changed.folders)
                pending.folders.Add(folder, false);
            for (const std::string& tree : changed.trees)
                pending.folders.Add(tree, true);
        } else {
            pending.walkAll = true;
        }
        setting.changeMark = ChangeMark::kChangeSeen;
        RestartDelayTimer();
    }
}

void CBackupEngine::RestartDelayTimer()
{
    // A delay of 0 would fire on every pass of the event loop and keep a core busy.
    constexpr int kShortestDelayMs = 100;
    const int delaySeconds = m_core.Settings().general.BakDelayTime;
    const int delayMs = SecondsToTimerMs(delaySeconds);

    // Changes that never stop (a program writing a file in the source all the time)
    // would postpone the pass for ever: after a while the delay timer is left to fire.
    const IClock* clock = m_core.Services().clock;
    const auto now = clock ? clock->Now() : std::chrono::system_clock::now();
    if (!m_changesPendingSince || now < *m_changesPendingSince) {
        m_changesPendingSince = now;
        m_postponementEnded = false;
    }
    const auto longest = std::chrono::seconds(
        std::max<long long>(kLongestPostponementSeconds, kPostponementDelays * std::max(delaySeconds, 0)));
    if (now - *m_changesPendingSince >= longest) {
        if (!m_postponementEnded) {
            m_postponementEnded = true;
            m_core.OutputMessage(
                MessageKind::kDebug,
                FormatText(EngineText::kPostponedLongEnoughFormat,
                           static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(
                                                now - *m_changesPendingSince)
                                                .count())));
        }
        return;
    }
    if (ITimerService* timers = m_core.Services().timers)
        timers->StartTimer(TimerId::kDelay, std::max(kShortestDelayMs, delayMs));
}

void CBackupEngine::ReportBackupState()
{
    const CAppState& state = m_core.State();
    if (state.disabled == 1)
        m_core.OutputMessage(MessageKind::kInfo, EngineText::kStateDisabled);
    else if (state.processingEnabled == 0)
        m_core.OutputMessage(MessageKind::kInfo, EngineText::kStateHold);
    else if (state.monitoringActive == 1)
        m_core.OutputMessage(MessageKind::kInfo, EngineText::kStateReady);
}

void CBackupEngine::OnTimer(int id)
{
    if (id == TimerId::kStatus) {
        const int tick = m_tickCounter++;
        if (tick < 2 * m_core.Settings().general.FileChkInterval) {
            const int blink = m_blinkCounter++;
            m_hooks.SetTrayIcon(blink % 2 == 1);
            return;
        }
        m_tickCounter = 0;
        m_hooks.SetTrayIcon(false);
        PollChanges();
    } else if (id == TimerId::kDelay) {
        RunBackupPass();
    } else if (id == TimerId::kBackUpAll) {
        ITimerService* timers = m_core.Services().timers;
        // A pass that paces itself lets timers run; its mode and test mode are its own
        // until it ends, so the back-up-all pass waits for the timer's next turn.
        if (m_core.State().processingCounter != 0) {
            if (timers)
                timers->StartTimer(TimerId::kBackUpAll, kBackUpAllRetryMs);
            return;
        }
        if (timers)
            timers->StopTimer(TimerId::kBackUpAll);
        m_backUpAllPending = false;
        BackUpAllSettings();
    } else if (id >= TimerId::kPeriodBase && id < TimerId::kPeriodBase + kMaxFileSettings) {
        if (m_core.State().disabled == 0) {
            m_core.Settings().files[static_cast<std::size_t>(id - TimerId::kPeriodBase)].changeMark =
                ChangeMark::kPeriodDue;
            RunBackupPass();
        }
    }
    AfterTimerEvent();
}

void CBackupEngine::AfterTimerEvent()
{
    CAppState& state = m_core.State();
    if (state.processingCounter != m_lastProcessingCounter || state.disabled != m_lastDisabled
        || state.processingEnabled != m_lastProcessingEnabled) {
        m_lastProcessingCounter = state.processingCounter;
        m_lastDisabled = state.disabled;
        m_lastProcessingEnabled = state.processingEnabled;
        m_hooks.UpdateCommandStates();
    }

    const bool minimized = m_hooks.IsMainWindowMinimized();
    if (!m_windowHidden && minimized) {
        m_windowHidden = true;
        m_hooks.SetMainWindowHidden(true);
    } else if (m_windowHidden && !minimized) {
        m_windowHidden = false;
        m_hooks.SetMainWindowHidden(false);
    }

    if (state.abortRequested == 1 && state.processingCounter == 0) {
        state.abortRequested = 0;
        if (state.disabled == 1 && m_abortEndHandler)
            m_abortEndHandler();
    }

    PostBackUpAll();

    if (!m_quitDone && !m_backUpAllPending && state.processingCounter == 0
        && state.processingEnabled == 1) {
        m_quitDone = true;
        if (m_core.CommandLine().GetCommandLineOption("q")) {
            m_core.OutputMessage(MessageKind::kInfo, EngineText::kEnding);
            StopMonitoring();
            m_hooks.RequestQuit(0);
        }
    }
}
