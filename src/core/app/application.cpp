#include "app/application.h"

#include "app/app_texts.h"
#include "engine/engine_texts.h"
#include "engine/folder_safety.h"
#include "platform/path.h"
#include "platform/program_paths.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/settings_storage.h"
#include "settings/settings_texts.h"
#include "version.h"

namespace {
constexpr int kLoadSteps = 5;
} // namespace

CApplication::CApplication(CCommandLine commandLine, const CHostServices& services)
    : m_core(services, std::move(commandLine))
{
}

CApplication::~CApplication() = default;

void CApplication::SetMessageSink(IMessageSink* sink)
{
    m_core.SetMessageSink(sink);
}

void CApplication::SetPrompter(IPrompter* prompter)
{
    m_core.SetPrompter(prompter);
}

void CApplication::SetFrontEndHooks(IFrontEndHooks* hooks)
{
    m_hooks = hooks ? hooks : &m_noHooks;
}

bool CApplication::LoadSettingsFile(const std::string& name)
{
    // The steps only show progress: a cancel hides the window, the load goes on.
    m_hooks->BeginProgress(AppText::kStartingProgress, kLoadSteps);
    const bool loaded = m_core.LoadSettingsFile(name, [this](int step) { m_hooks->StepProgress(step); });
    m_hooks->EndProgress();
    return loaded;
}

void CApplication::StartEngine(IChangeNotifierFactory& notifiers, bool backUpAllAtOnce)
{
    m_engine = std::make_unique<CBackupEngine>(m_core, notifiers, *m_hooks);
    m_engine->SetAbortEndHandler([this] { OnAbortEnded(); });
    m_engine->SetBackUpAllAtStart(backUpAllAtOnce);
    m_engine->Start();
}

void CApplication::StopEngine()
{
    m_engine.reset();
}

EBackupState CApplication::BackupState() const
{
    const CAppState& state = m_core.State();
    if (state.disabled == 1)
        return EBackupState::Disabled;
    if (state.processingCounter > 0)
        return EBackupState::Processing;
    if (state.processingEnabled == 0)
        return EBackupState::Hold;
    return EBackupState::Ready;
}

void CApplication::AfterStateChange()
{
    if (m_engine)
        m_engine->ReportBackupState();
    m_hooks->UpdateCommandStates();
}

void CApplication::ToggleDisabled()
{
    CAppState& state = m_core.State();
    state.disabled = state.disabled == 1 ? 0 : 1;
    AfterStateChange();
}

bool CApplication::ToggleHold()
{
    CAppState& state = m_core.State();
    if (state.processingCounter != 0) {
        m_core.Output().BeepError();
        return false;
    }
    state.processingEnabled = state.processingEnabled == 1 ? 0 : 1;
    AfterStateChange();
    return true;
}

void CApplication::Abort()
{
    CAppState& state = m_core.State();
    if (state.processingCounter == 0)
        return;
    if (state.abortRequested == 0 && state.disabled == 0) {
        m_core.OutputMessage(MessageKind::kInfo, AppText::kAborted);
        state.abortRequested = 1;
        ToggleDisabled();
    }
    m_hooks->UpdateCommandStates();
}

// An abort disables processing only until the interrupted work has unwound.
void CApplication::OnAbortEnded()
{
    ToggleDisabled();
}

EPauseStart CApplication::BeginPause()
{
    if (m_core.State().processingCounter == 0)
        return EPauseStart::Refused;
    if (m_paused)
        return EPauseStart::AlreadyPaused;
    CAppState& state = m_core.State();
    m_enabledBeforePause = state.processingEnabled;
    state.processingEnabled = 0;
    m_core.OutputMessage(MessageKind::kInfo, AppText::kPaused);
    m_paused = true;
    return EPauseStart::Started;
}

void CApplication::EndPause()
{
    if (!m_paused)
        return;
    m_core.State().processingEnabled = m_enabledBeforePause;
    m_paused = false;
}

void CApplication::ToggleAutoScroll()
{
    m_autoScroll = !m_autoScroll;
    m_hooks->UpdateCommandStates();
}

bool CApplication::NoOutput() const
{
    return m_core.Output().NoMessageOutput();
}

void CApplication::ToggleNoOutput()
{
    // The notice is shown also when output goes off: it is reported before the switch.
    const bool newMode = !NoOutput();
    m_core.Output().SetNoMessageOutput(false);
    m_core.OutputMessage(MessageKind::kInfo, std::string(AppText::kDisplayNotice)
                                                 + (newMode ? AppText::kDisplayOff : AppText::kDisplayOn));
    m_core.Output().SetNoMessageOutput(newMode);
    m_hooks->UpdateCommandStates();
}

bool CApplication::CanStartManual(int mode)
{
    if (m_core.State().processingCounter == 0)
        return true;
    if (mode == ProcessorMode::kDeleteGenerations)
        m_core.Output().BeepError();
    return false;
}

bool CApplication::RunManual(int mode, const CManualChoices& choices)
{
    if (!m_engine || m_core.State().processingCounter != 0)
        return false;
    m_engine->RunManual(mode, choices);
    return true;
}

void CApplication::Restart()
{
    m_core.OutputMessage(MessageKind::kInfo, AppText::kRestart, m_core.SettingsFilePath());
    Abort();
    if (m_engine) {
        m_engine->StopMonitoring();
        m_engine->StartMonitoring();
    }
    m_hooks->SettingsFileChanged(m_core.SettingsFilePath());
}

bool CApplication::ConfirmExit()
{
    if (m_core.Settings().startup.cp == 0) {
        IPrompter* prompter = m_core.Services().prompter;
        const unsigned type =
            MessageBoxType::kOkCancel | MessageBoxType::kIconQuestion | MessageBoxType::kTopmost;
        if (!prompter
            || prompter->MessageBox(AppText::kExitQuestion, kApplicationName, type) != MessageBoxAnswer::kOk)
            return false;
    }
    Abort();
    return true;
}

void CApplication::SetIdlePriority()
{
    const CSettingsModel& model = m_core.Settings();
    if (!model.general.BakCopyPath.expanded.empty() && model.startup.pn == 0)
        m_priority.SetIdle();
}

void CApplication::SetNormalPriority()
{
    if (m_core.Settings().startup.pn == 0)
        m_priority.SetNormal();
}

std::string CApplication::SettingsFileFullPath() const
{
    return ResolveSettingsFilePath(m_core.SettingsFileName());
}

std::string CApplication::ChooserInitialPath(ESettingsChooserMode mode) const
{
    if (mode == ESettingsChooserMode::New)
        return JoinPath(GetConfigDirectory(), AppText::kNewSettingsFileName);
    return SettingsFileFullPath();
}

bool CApplication::NewSettingsFile(const std::string& chosen)
{
    const std::string templatePath = FindDataFile(kTemplateSettingsFileName);
    if (!CopyFileReplacing(templatePath, chosen)) {
        if (IPrompter* prompter = m_core.Services().prompter)
            prompter->MessageBox(
                FormatText(SettingsText::kCopyFailedFormat, templatePath.c_str(), chosen.c_str()),
                kApplicationName, MessageBoxType::kIconStop | MessageBoxType::kTopmost);
        return false;
    }
    SwitchSettingsFile(chosen);
    return true;
}

void CApplication::OpenSettingsFile(const std::string& chosen)
{
    SwitchSettingsFile(chosen);
}

void CApplication::SaveSettingsFileAs(const std::string& chosen)
{
    // A failed copy is not reported: the program switches to the chosen name all the same,
    // and a file without file settings is filled from the template when it loads.
    if (!IsSameFile(SettingsFileFullPath(), chosen))
        CopyFileReplacing(SettingsFileFullPath(), chosen);
    SwitchSettingsFile(chosen);
}

void CApplication::SwitchSettingsFile(const std::string& path)
{
    Abort();
    LoadSettingsFile(path);
    Restart();
}
