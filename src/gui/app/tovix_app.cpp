#include "app/tovix_app.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QSessionManager>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "app/app_texts.h"
#include "config/backup_state_dlg.h"
#include "config/file_config_dlg.h"
#include "config/general_config_dlg.h"
#include "config/list_font_command.h"
#include "engine/engine_texts.h"
#include "framework/list_font.h"
#include "framework/win_app.h"
#include "mainwnd/command_ids.h"
#include "mainwnd/frame_texts.h"
#include "mainwnd/power_monitor.h"
#include "platform/program_paths.h"
#include "platform/qt_event_pump.h"
#include "property/desktop_shell.h"
#include "report/format_text.h"
#include "version.h"

namespace {

constexpr const char* kOpenProgram = "xdg-open";

CHostServices MakeServices(const CDesktopServices& services, IPrompter* prompter)
{
    CHostServices host = services.extra;
    host.prompter = prompter;
    host.pump = services.pump;
    host.timers = services.timers;
    host.clock = services.clock;
    host.keys = services.keys;
    return host;
}

bool StartDetached(const std::string& program, const std::string& argument)
{
    QStringList arguments = QProcess::splitCommand(QString::fromStdString(program));
    if (arguments.isEmpty())
        return false;
    const QString executable = arguments.takeFirst();
    arguments << QString::fromStdString(argument);
    return QProcess::startDetached(executable, arguments);
}

} // namespace

CTovixApp::CTovixApp(CCommandLine commandLine, const CDesktopServices& services)
    : m_services(services), m_app(std::move(commandLine), MakeServices(services, &m_prompter))
{
    m_app.SetFrontEndHooks(this);
    m_launcher = StartDetached;
    m_opener = [](const std::string& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    };
}

CTovixApp::~CTovixApp()
{
    ExitInstance();
}

bool CTovixApp::InitInstance()
{
    if (!m_app.LoadSettingsFile(m_app.InitialSettingsFileName()))
        return false;

    m_frame = std::make_unique<CMainFrame>(m_app);
    CReportView* view = m_frame->View();
    m_prompter.SetOwner(m_frame.get());
    m_progress.SetOwner(m_frame.get());
    const CGeneralSettings& general = m_app.Core().Settings().general;
    view->SetListFont(ListFontFromSettings(general.FontName, general.FontData, view->font()));
    view->SetAutoScroll(m_app.AutoScroll());
    m_app.SetMessageSink(view);
    ConnectCommands();
    QObject::connect(&m_document, &CwDocument::TitleChanged, m_frame.get(), [this](const QString& title) {
        m_frame->setWindowTitle(QFileInfo(title).fileName() + QStringLiteral(" - ")
                                + QString::fromUtf8(kApplicationName));
    });
    SettingsFileChanged(m_app.Core().SettingsFilePath());

    m_power = std::make_unique<CPowerMonitor>();
    QObject::connect(m_power.get(), &CPowerMonitor::PowerEvent, m_frame.get(),
                     [this](int code) { m_frame->AddPowerEventRow(code); });

    // The view starts the monitoring as it comes up; the tray icon shows the state.
    // The first show restores the saved placement; min overrides its state.
    const bool minimized = m_app.Core().Settings().startup.min != 0;
    if (minimized) {
        m_frame->setAttribute(Qt::WA_ShowWithoutActivating);
        m_frame->show();
        m_frame->showMinimized();
    } else {
        m_frame->show();
    }
    m_app.StartEngine(*m_services.notifiers);
    m_engineStarted = true;
    if (minimized) {
        m_frame->SetHidden(true);
        m_app.SetIdlePriority();
    } else {
        m_frame->repaint();
        m_app.SetNormalPriority();
    }
    return true;
}

int CTovixApp::ExitInstance()
{
    if (m_engineStarted) {
        m_engineStarted = false;
        m_app.StopEngine();
    }
    m_power.reset();
    if (m_frame) {
        m_frame->SetTrayIcon(false);
        m_app.SetMessageSink(nullptr);
        m_prompter.SetOwner(nullptr);
        m_progress.SetOwner(nullptr);
        m_frame.reset();
    }
    return m_exitStatus;
}

void CTovixApp::ConnectCommands()
{
    CMainFrame* frame = m_frame.get();
    const auto on = [frame](int id, auto handler) {
        if (QAction* action = frame->Command(id))
            QObject::connect(action, &QAction::triggered, frame, handler);
    };
    on(CommandId::kNewSettings, [this] { OnNewSettings(); });
    on(CommandId::kOpenSettings, [this] { OnOpenSettings(); });
    on(CommandId::kSaveSettingsAs, [this] { OnSaveSettingsAs(); });
    on(CommandId::kEditSettingsFile, [this] { OnEditSettingsFile(); });
    on(CommandId::kManual, [this] { OnHelp(); });
    on(CommandId::kAbout, [this] { OnAbout(); });
    on(CommandId::kExit, [this] { OnExit(); });
    on(CommandId::kGeneralSettings, [this] { OnGeneralSettings(); });
    on(CommandId::kFont, [this] { OnListFont(); });
    on(CommandId::kFileSettings, [this] { OnFileSettings(); });
    QObject::connect(frame, &CMainFrame::Closed, frame, [this] { Quit(0); });
}

void CTovixApp::OnGeneralSettings()
{
    CGeneralConfigDlg dialog(m_app, m_frame.get(), [this] { OnHelp(); }, [this](const QFont& font) {
        m_frame->View()->SetListFont(font);
    });
    dialog.DoModal();
    UpdateCommandStates();
}

void CTovixApp::OnFileSettings()
{
    CFileConfigDlg dialog(m_app, m_frame.get(), [this] { OnHelp(); });
    dialog.DoModal();
    UpdateCommandStates();
}

void CTovixApp::OnListFont()
{
    RunListFontCommand(m_app, m_frame.get(), [this](const QFont& font) { m_frame->View()->SetListFont(font); });
}

std::optional<std::string> CTovixApp::ChooseSettingsFile(ESettingsChooserMode mode)
{
    const std::string initial = m_app.ChooserInitialPath(mode);
    if (m_chooser)
        return m_chooser(mode, initial);
    QFileDialog dialog(m_frame.get());
    dialog.setNameFilters({QString::fromUtf8(AppText::kChooserFilter)
                               .replace(QStringLiteral("(*.TVX)"), QStringLiteral("(*.TVX *.tvx)")),
                           QString::fromUtf8(AppText::kChooserAllFiles)
                               .replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"))});
    dialog.setDefaultSuffix(QString::fromUtf8(AppText::kChooserDefaultSuffix));
    dialog.setAcceptMode(mode == ESettingsChooserMode::Open ? QFileDialog::AcceptOpen
                                                            : QFileDialog::AcceptSave);
    dialog.setFileMode(mode == ESettingsChooserMode::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (mode == ESettingsChooserMode::New)
        dialog.setWindowTitle(QString::fromUtf8(AppText::kChooserNewTitle));
    const QFileInfo start(QString::fromStdString(initial));
    dialog.setDirectory(start.absolutePath());
    dialog.selectFile(start.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

void CTovixApp::OnNewSettings()
{
    if (const auto chosen = ChooseSettingsFile(ESettingsChooserMode::New))
        m_app.NewSettingsFile(*chosen);
    UpdateCommandStates();
}

void CTovixApp::OnOpenSettings()
{
    if (const auto chosen = ChooseSettingsFile(ESettingsChooserMode::Open))
        m_app.OpenSettingsFile(*chosen);
    UpdateCommandStates();
}

void CTovixApp::OnSaveSettingsAs()
{
    if (const auto chosen = ChooseSettingsFile(ESettingsChooserMode::SaveAs))
        m_app.SaveSettingsFileAs(*chosen);
    UpdateCommandStates();
}

void CTovixApp::OnEditSettingsFile()
{
    const std::string path = m_app.SettingsFileFullPath();
    const unsigned question = MessageBoxType::kOkCancel | MessageBoxType::kIconQuestion;
    if (m_prompter.MessageBox(FormatText(AppText::kEditQuestionFormat, path.c_str()), kApplicationName,
                              question)
        != MessageBoxAnswer::kOk)
        return;
    // Without a text editor named by the desktop, the file's own association is tried.
    std::string editor = DesktopTextEditor();
    if (editor.empty())
        editor = kOpenProgram;
    if (m_launcher(editor, path))
        return;
    m_prompter.MessageBox(FormatText(AppText::kCannotStartFormat, editor.c_str(), path.c_str()),
                          kApplicationName, MessageBoxType::kIconExclamation);
}

void CTovixApp::OnHelp()
{
    const std::string found = FindDataFile(AppText::kManualFileName);
    const std::string path =
        found.empty() ? CwWinApp::GetProgramDirectory() + AppText::kManualFileName : found;
    if (!found.empty() && m_opener(path))
        return;
    m_prompter.MessageBox(FormatText(AppText::kCannotOpenFormat, path.c_str()), kApplicationName,
                          MessageBoxType::kIconExclamation);
}

void CTovixApp::OnAbout()
{
    m_prompter.MessageBox(
        FormatText(FrameText::kAboutFormat, kApplicationName, EngineText::kVersionPrefix, kTovixVersion),
        FrameText::kAboutTitle, MessageBoxType::kIconInformation);
}

void CTovixApp::OnExit()
{
    if (m_frame)
        m_frame->RequestExit();
}

void CTovixApp::OnTerminationSignal()
{
    if (!m_frame) {
        Quit(0);
        return;
    }
    m_frame->EndWithoutQuestion();
}

void CTovixApp::OnCommitDataRequest(QSessionManager& manager)
{
    if (!m_frame)
        return;
    // The question needs the session manager's leave to interact; without it the session
    // ends and the running pass is aborted.
    if (manager.allowsInteraction()) {
        const bool mayEnd = m_frame->QuerySessionEnd();
        manager.release();
        if (!mayEnd)
            manager.cancel();
    } else {
        m_app.Abort();
    }
}

void CTovixApp::SetTrayIcon(bool readyIcon)
{
    if (m_frame)
        m_frame->SetTrayIcon(true, readyIcon);
}

void CTovixApp::UpdateCommandStates()
{
    if (m_frame)
        m_frame->UpdateCommandStates();
}

void CTovixApp::SetListRowLimit(int rows)
{
    if (m_frame)
        m_frame->View()->SetRowLimit(rows);
}

bool CTovixApp::IsMainWindowMinimized() const
{
    return m_frame && m_frame->isMinimized();
}

void CTovixApp::SetMainWindowHidden(bool hidden)
{
    if (m_frame)
        m_frame->SetHidden(hidden);
}

void CTovixApp::ShowNotice(const std::string& text)
{
    m_prompter.MessageBox(text, kApplicationName, MessageBoxType::kOk | MessageBoxType::kIconInformation);
}

void CTovixApp::ShowBackupState(const std::string& source, const std::string& destinationRoot)
{
    (void)destinationRoot; // the window takes it from the setting, as it does after Refresh
    // The pass hands over the setting it is at, which still carries its mark; the window
    // reads it once this command has returned.
    const CSettingsModel& model = m_app.Core().Settings();
    int index = -1;
    for (int i = 0; i < model.Files && i < kMaxFileSettings; ++i) {
        const CFileSetting& setting = model.files[static_cast<std::size_t>(i)];
        if (setting.No.expanded == source && (index < 0 || setting.changeMark != ChangeMark::kNone)) {
            index = i;
            if (setting.changeMark != ChangeMark::kNone)
                break;
        }
    }
    auto* window = new CBackupStateDlg(m_app, index);
    window->SetDestroyOnCancel(true);
    CMainFrame* frame = m_frame.get();
    QObject::connect(window, &CBackupStateDlg::RowActivated, frame,
                     [frame](const std::string& source, const std::string& backup) {
                         frame->ShowFileProperties(CFileProperties{source, backup, {}, {}});
                     });
    if (!window->Create(m_frame.get()))
        delete window;
}

void CTovixApp::SettingsFileChanged(const std::string& path)
{
    m_document.SetTitle(QString::fromStdString(path));
    if (m_frame)
        m_frame->Tray().SetSettingsPath(QString::fromStdString(path));
}

void CTovixApp::RequestQuit(int exitCode)
{
    Quit(exitCode);
}

void CTovixApp::Quit(int exitCode)
{
    m_exitStatus = exitCode;
    if (auto* pump = dynamic_cast<CQtEventPump*>(m_services.pump))
        pump->MarkQuitting();
    // Queued on an object of this application, so that an end asked for by an application
    // that is gone (a test's) ends nothing.
    QTimer::singleShot(0, &m_document, [exitCode] { QCoreApplication::exit(exitCode); });
}
