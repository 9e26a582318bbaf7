#include "mainwnd/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "app/app_texts.h"
#include "app/power_events.h"
#include "config/folder_backup_dlg.h"
#include "engine/engine_texts.h"
#include "engine/drive_check.h"
#include "engine/file_operation.h"
#include "framework/control_id.h"
#include "mainwnd/command_ids.h"
#include "mainwnd/frame_texts.h"
#include "platform/linux/power_supply.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "report/list_texts.h"
#include "report/message_kinds.h"
#include "version.h"

namespace {

QString MenuText(const char* text)
{
    return QString::fromUtf8(text).section(QLatin1Char('\t'), 0, 0);
}

QKeySequence Accelerator(const char* text)
{
    const QString hint = QString::fromUtf8(text).section(QLatin1Char('\t'), 1);
    return hint.isEmpty() ? QKeySequence() : QKeySequence::fromString(hint, QKeySequence::PortableText);
}

QIcon ToolIcon(const QWidget* widget, const char* themeName, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(themeName), widget->style()->standardIcon(fallback));
}

} // namespace

CMainFrame::CMainFrame(CApplication& app, QWidget* parent) : CwFrameWnd(parent), m_app(app)
{
    const bool restore = m_app.Core().Settings().startup.nws == 0;
    SetSavePlacement(restore);
    SetRestorePlacement(restore);
    setWindowTitle(QString::fromUtf8(kApplicationName));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tovix.svg")));

    m_view = new CReportView(this);
    SetControlId(m_view, FrameControlId::kView);
    setCentralWidget(m_view);

    BuildMenus();
    BuildToolBar();
    QStatusBar* status = statusBar();
    status->setObjectName(QStringLiteral("StatusBar"));
    SetControlId(status, FrameControlId::kStatusBar);
    // The engine's status text shows while no command prompt does.
    connect(m_view, &CReportView::StatusTextChanged, status,
            [status](const QString& text) { status->showMessage(text); });

    connect(m_view, &CReportView::PropertiesRequested, this, [this](const CRowProperties& row) {
        ShowFileProperties(
            {row.sourceBytes, row.destinationBytes, row.message.toStdString(), row.info.toStdString()});
    });
    m_manualChooser = [this](int mode, CManualChoices& choices) {
        return ChooseManualSettings(mode, choices);
    };
    connect(&m_tray, &CTrayIcon::LeftClicked, this, &CMainFrame::RestoreFromTray);
    // The menu runs an event loop of its own, and a command chosen in it (Exit) can take the
    // tray icon away: it opens once the icon has finished handling the click, never inside
    // the icon's own event handler.
    connect(&m_tray, &CTrayIcon::RightClicked, this, [this] {
        const QPoint pos = QCursor::pos();
        QTimer::singleShot(0, this, [this, pos] { ShowTrayMenu(pos); });
    });
    setAcceptDrops(true);
}

CMainFrame::~CMainFrame()
{
    delete m_pauseWindow;
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const char* text, const char* prompt)
{
    auto* action = new QAction(MenuText(text), this);
    action->setData(id);
    action->setShortcut(Accelerator(text));
    action->setShortcutContext(Qt::WindowShortcut);
    const QString promptText = QString::fromUtf8(prompt);
    action->setStatusTip(promptText.section(QLatin1Char('\n'), 0, 0));
    action->setToolTip(promptText.section(QLatin1Char('\n'), -1));
    if (menu)
        menu->addAction(action);
    else
        addAction(action);
    m_commands.emplace(id, action);
    return action;
}

QAction* CMainFrame::Command(int id) const
{
    const auto found = m_commands.find(id);
    return found == m_commands.end() ? nullptr : found->second;
}

void CMainFrame::BuildMenus()
{
    QMenuBar* bar = menuBar();
    m_backupMenu = bar->addMenu(QString::fromUtf8(FrameText::kBackupMenu));
    QMenu* backup = m_backupMenu;
    AddCommand(backup, CommandId::kGeneralSettings, FrameText::kGeneralSettings,
               FrameText::kPromptGeneralSettings);
    AddCommand(backup, CommandId::kFileSettings, FrameText::kFileSettings, FrameText::kPromptFileSettings);
    AddCommand(backup, CommandId::kEditSettingsFile, FrameText::kEditSettingsFile,
               FrameText::kPromptEditSettingsFile);
    backup->addSeparator();
    AddCommand(backup, CommandId::kBackUpChosen, FrameText::kBackUpChosen, FrameText::kPromptBackUpChosen);
    AddCommand(backup, CommandId::kDeleteGenerations, FrameText::kDeleteGenerations,
               FrameText::kPromptDeleteGenerations);
    backup->addSeparator();
    AddCommand(backup, CommandId::kAbort, FrameText::kAbort, FrameText::kPromptAbort);
    AddCommand(backup, CommandId::kPause, FrameText::kPause, FrameText::kPromptPause);
    AddCommand(backup, CommandId::kHold, FrameText::kHold, FrameText::kPromptHold)->setCheckable(true);
    AddCommand(backup, CommandId::kDisable, FrameText::kDisable, FrameText::kPromptDisable)
        ->setCheckable(true);
    backup->addSeparator();
    AddCommand(backup, CommandId::kNewSettings, FrameText::kNewSettings, FrameText::kPromptNewSettings);
    AddCommand(backup, CommandId::kOpenSettings, FrameText::kOpenSettings, FrameText::kPromptOpenSettings);
    AddCommand(backup, CommandId::kSaveSettingsAs, FrameText::kSaveSettingsAs,
               FrameText::kPromptSaveSettingsAs);
    backup->addSeparator();
    AddCommand(backup, CommandId::kRestart, FrameText::kRestart, FrameText::kPromptRestart);
    backup->addSeparator();
    AddCommand(backup, CommandId::kExit, FrameText::kExit, FrameText::kPromptExit);

    // Positions 1 and 2 of the menu bar: abort and pause without opening a popup.
    m_abortTopLevel =
        AddCommand(nullptr, CommandId::kAbort, FrameText::kAbortTopLevel, FrameText::kPromptAbort);
    m_pauseTopLevel =
        AddCommand(nullptr, CommandId::kPause, FrameText::kPauseTopLevel, FrameText::kPromptPause);
    // The popup's items carry the accelerators; the bar's own items would make them
    // ambiguous.
    m_abortTopLevel->setShortcut({});
    m_pauseTopLevel->setShortcut({});
    bar->addAction(m_abortTopLevel);
    bar->addAction(m_pauseTopLevel);

    QMenu* view = bar->addMenu(QString::fromUtf8(FrameText::kViewMenu));
    QAction* toolBar = AddCommand(view, CommandId::kToolBar, FrameText::kToolBar, FrameText::kPromptToolBar);
    QAction* statusBarToggle =
        AddCommand(view, CommandId::kStatusBar, FrameText::kStatusBar, FrameText::kPromptStatusBar);
    toolBar->setCheckable(true);
    statusBarToggle->setCheckable(true);
    connect(toolBar, &QAction::triggered, this, [this](bool on) { m_toolBar->setVisible(on); });
    connect(statusBarToggle, &QAction::triggered, this, [this](bool on) { statusBar()->setVisible(on); });
    connect(view, &QMenu::aboutToShow, this, [this, toolBar, statusBarToggle] {
        toolBar->setChecked(m_toolBar->isVisible());
        statusBarToggle->setChecked(statusBar()->isVisible());
    });
    view->addSeparator();
    // The lists' own commands, from the view.
    for (QAction* action : m_view->actions()) {
        const int id = action->data().toInt();
        if (id == CommandId::kProperties) {
            action->setStatusTip(
                QString::fromUtf8(FrameText::kPromptProperties).section(QLatin1Char('\n'), 0, 0));
            view->addAction(action);
            m_commands.emplace(id, action);
        }
    }
    AddCommand(view, CommandId::kFont, FrameText::kFont, FrameText::kPromptFont);
    view->addSeparator();
    AddCommand(view, CommandId::kNoOutput, FrameText::kNoOutput, FrameText::kPromptNoOutput)
        ->setCheckable(true);
    for (QAction* action : m_view->actions()) {
        const int id = action->data().toInt();
        if (id == CommandId::kClearErrors) {
            action->setStatusTip(
                QString::fromUtf8(FrameText::kPromptClearErrors).section(QLatin1Char('\n'), 0, 0));
            view->addAction(action);
            m_commands.emplace(id, action);
        }
    }
    AddCommand(view, CommandId::kAutoScroll, FrameText::kAutoScroll, FrameText::kPromptAutoScroll)
        ->setCheckable(true);

    QMenu* help = bar->addMenu(QString::fromUtf8(FrameText::kHelpMenu));
    AddCommand(help, CommandId::kManual, FrameText::kManual, FrameText::kPromptManual);
    help->addSeparator();
    AddCommand(help, CommandId::kAbout, FrameText::kAbout, FrameText::kPromptAbout);

    // Ctrl+T has no menu item.
    QAction* state =
        AddCommand(nullptr, CommandId::kBackupState, FrameText::kBackupState, FrameText::kPromptBackupState);
    state->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));

    connect(Command(CommandId::kAbort), &QAction::triggered, this, &CMainFrame::OnAbort);
    connect(m_abortTopLevel, &QAction::triggered, this, &CMainFrame::OnAbort);
    connect(Command(CommandId::kPause), &QAction::triggered, this, &CMainFrame::OnPause);
    connect(m_pauseTopLevel, &QAction::triggered, this, &CMainFrame::OnPause);
    connect(Command(CommandId::kHold), &QAction::triggered, this, &CMainFrame::OnHold);
    connect(Command(CommandId::kDisable), &QAction::triggered, this, &CMainFrame::OnDisable);
    connect(Command(CommandId::kAutoScroll), &QAction::triggered, this, &CMainFrame::OnAutoScroll);
    connect(Command(CommandId::kNoOutput), &QAction::triggered, this, &CMainFrame::OnNoOutput);
    connect(Command(CommandId::kBackUpChosen), &QAction::triggered, this,
            [this] { OnRunManual(ProcessorMode::kBackup); });
    connect(Command(CommandId::kDeleteGenerations), &QAction::triggered, this,
            [this] { OnRunManual(ProcessorMode::kDeleteGenerations); });
    connect(state, &QAction::triggered, this, [this] { OnRunManual(ProcessorMode::kBackupState); });
    connect(Command(CommandId::kRestart), &QAction::triggered, this, &CMainFrame::OnRestart);
}

void CMainFrame::BuildToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    SetControlId(m_toolBar, FrameControlId::kToolBar);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(16, 16));
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    struct CButton
    {
        int id;
        const char* themeIcon;
        QStyle::StandardPixmap fallback;
    };
    static const CButton kButtons[] = {
        {CommandId::kGeneralSettings, "preferences-system", QStyle::SP_FileDialogDetailedView},
        {CommandId::kFileSettings, "folder", QStyle::SP_DirIcon},
        {CommandId::kEditSettingsFile, "accessories-text-editor", QStyle::SP_FileIcon},
        {0, nullptr, {}},
        {CommandId::kBackUpChosen, "document-save", QStyle::SP_DialogSaveButton},
        {CommandId::kDeleteGenerations, "edit-delete", QStyle::SP_TrashIcon},
        {0, nullptr, {}},
        {CommandId::kAbort, "process-stop", QStyle::SP_BrowserStop},
        {CommandId::kPause, "media-playback-pause", QStyle::SP_MediaPause},
        {CommandId::kHold, "", QStyle::SP_CustomBase},
        {CommandId::kDisable, "", QStyle::SP_CustomBase},
        {0, nullptr, {}},
        {CommandId::kProperties, "document-properties", QStyle::SP_FileDialogInfoView},
        {CommandId::kAutoScroll, "go-bottom", QStyle::SP_ArrowDown},
        {0, nullptr, {}},
        {CommandId::kAbout, "help-about", QStyle::SP_MessageBoxInformation},
    };
    for (const CButton& button : kButtons) {
        if (button.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = Command(button.id);
        if (button.id == CommandId::kHold)
            action->setIcon(StateIcon(TrayIconId::kHold));
        else if (button.id == CommandId::kDisable)
            action->setIcon(StateIcon(TrayIconId::kDisabled));
        else
            action->setIcon(ToolIcon(this, button.themeIcon, button.fallback));
        m_toolBar->addAction(action);
    }
    // Menus show the texts only: icons there would repeat the toolbar.
    for (const auto& [id, action] : m_commands)
        action->setIconVisibleInMenu(false);
}

void CMainFrame::EnableBackupMenu(QMenu* popup)
{
    const bool idle = m_app.Core().State().processingCounter == 0;
    for (QAction* action : popup->actions()) {
        const int id = action->data().toInt();
        if (id == CommandId::kAbort || id == CommandId::kPause)
            action->setEnabled(!idle);
        else if (id == CommandId::kBackUpChosen || id == CommandId::kDeleteGenerations)
            action->setEnabled(idle);
    }
}

void CMainFrame::UpdateCommandStates()
{
    const CAppState& state = m_app.Core().State();
    const bool idle = state.processingCounter == 0;
    m_abortTopLevel->setEnabled(!idle);
    m_pauseTopLevel->setEnabled(!idle);
    EnableBackupMenu(m_backupMenu);
    // The tray menu's own hold is not the user's: the item shows what the user chose.
    const int enabled = m_enabledBeforeTrayMenu >= 0 ? m_enabledBeforeTrayMenu : state.processingEnabled;
    Command(CommandId::kHold)->setChecked(enabled == 0 && idle);
    Command(CommandId::kDisable)->setChecked(state.disabled == 1);
    Command(CommandId::kAutoScroll)->setChecked(m_app.AutoScroll());
    Command(CommandId::kNoOutput)->setChecked(m_app.NoOutput());
    SetTrayIcon(true);
}

int CMainFrame::StateIconId() const
{
    const CAppState& state = m_app.Core().State();
    int id = state.processingCounter != 0   ? TrayIconId::kProcessing
             : state.processingEnabled == 1 ? TrayIconId::kReady
                                            : TrayIconId::kHold;
    if (state.disabled == 1)
        id = TrayIconId::kDisabled;
    return id;
}

void CMainFrame::SetTrayIcon(bool show, bool readyIcon)
{
    if (!show) {
        m_tray.Set(false, TrayIconId::kNone);
        return;
    }
    m_tray.Set(true, readyIcon ? TrayIconId::kReady : StateIconId());
}

void CMainFrame::ShowTrayMenu(const QPoint& pos)
{
    // No automatic pass may start while the menu is open. The flag comes back as the menu
    // hides, before the chosen command runs, so that a Hold chosen here takes effect.
    CAppState& state = m_app.Core().State();
    const int saved = state.processingEnabled;
    state.processingEnabled = 0;
    m_enabledBeforeTrayMenu = saved;
    bool restored = false;
    const auto restore = [this, &state, saved, &restored] {
        if (!restored)
            state.processingEnabled = saved;
        restored = true;
        m_enabledBeforeTrayMenu = -1;
    };
    if (isVisible())
        activateWindow();
    EnableBackupMenu(m_backupMenu);
    const QMetaObject::Connection hiding = connect(m_backupMenu, &QMenu::aboutToHide, this, restore);
    m_backupMenu->exec(pos);
    disconnect(hiding);
    restore();
}

void CMainFrame::RestoreFromTray()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void CMainFrame::SetHidden(bool hidden)
{
    if (hidden) {
        if (CTrayIcon::TrayAvailable() && m_tray.CurrentIcon() != TrayIconId::kNone)
            hide();
    } else if (!isVisible()) {
        show();
    }
}

void CMainFrame::changeEvent(QEvent* event)
{
    CwFrameWnd::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange && event->type() != QEvent::ActivationChange)
        return;
    if (isMinimized()) {
        // Hidden only once the state change is through, or the window system keeps a
        // stale icon in the task bar.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                SetHidden(true);
        });
        m_app.SetIdlePriority();
    } else {
        m_app.SetNormalPriority();
    }
}

void CMainFrame::OnAbort()
{
    if (m_app.Core().State().processingCounter == 0)
        return;
    m_app.Abort();
}

void CMainFrame::OnPause()
{
    switch (m_app.BeginPause()) {
    case EPauseStart::Refused:
        return;
    case EPauseStart::AlreadyPaused:
        if (m_pauseWindow) {
            m_pauseWindow->raise();
            m_pauseWindow->activateWindow();
        }
        return;
    case EPauseStart::Started:
        break;
    }
    UpdateCommandStates();
    // The pause runs nested inside the interrupted pass, which resumes when it returns.
    auto* window = new CwPgsWnd(this, QString::fromUtf8(kApplicationName), false,
                                QString::fromUtf8(FrameText::kContinue));
    m_pauseWindow = window;
    window->SetRange(0, 100, 1);
    window->SetText(QString::fromUtf8(AppText::kPaused));
    window->SetPos(0);
    window->WaitForCancel();
    delete window;
    m_app.EndPause();
    UpdateCommandStates();
}

void CMainFrame::OnHold()
{
    m_app.ToggleHold();
    UpdateCommandStates();
}

void CMainFrame::OnDisable()
{
    m_app.ToggleDisabled();
    UpdateCommandStates();
}

void CMainFrame::OnAutoScroll()
{
    m_app.ToggleAutoScroll();
    m_view->SetAutoScroll(m_app.AutoScroll());
    UpdateCommandStates();
}

void CMainFrame::OnNoOutput()
{
    m_app.ToggleNoOutput();
    UpdateCommandStates();
}

void CMainFrame::OnRunManual(int mode)
{
    if (!m_app.CanStartManual(mode))
        return;
    CManualChoices choices;
    if (!m_manualChooser || !m_manualChooser(mode, choices))
        return;
    m_app.RunManual(mode, choices);
    UpdateCommandStates();
}

bool CMainFrame::ChooseManualSettings(int mode, CManualChoices& choices)
{
    CFolderBackupDlg dialog(m_app, mode, this);
    if (dialog.DoModal() != QDialog::Accepted)
        return false;
    choices = dialog.Choices();
    return true;
}

void CMainFrame::OnRestart()
{
    m_app.Restart();
    UpdateCommandStates();
}

void CMainFrame::AddPowerEventRow(int code, unsigned long data)
{
    CSystemPowerStatus status;
    CLinuxPowerStatus reader(m_powerSupplyRoot);
    const bool known = code == PowerEvent::kPowerStatusChange && reader.ReadSystemStatus(status);
    const CPowerEventRow row = DescribePowerEvent(code, known ? &status : nullptr, data);
    m_view->ReportList()->AddRow(MessageKind::kDetail, row.message, {}, {}, row.info);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    event->acceptProposedAction();
    // The questions wait for the user; the drag source must not wait with them.
    QTimer::singleShot(0, this, [this, paths] { CopyDroppedFiles(paths); });
}

void CMainFrame::CopyDroppedFiles(const QStringList& paths)
{
    CApplicationCore& core = m_app.Core();
    const std::string destination = core.Settings().general.BakCopyPath.expanded;
    if (destination.empty())
        return;
    for (int index = static_cast<int>(paths.size()) - 1; index >= 0; --index) {
        const std::string path = paths[index].toStdString();
        if (!ManualCopy(path, destination, JoinPath(destination, FileNameOf(path))))
            return;
    }
}

bool CMainFrame::ManualCopy(const std::string& source, const std::string& destination,
                            const std::string& target)
{
    CApplicationCore& core = m_app.Core();
    IPrompter* prompter = core.Services().prompter;
    const unsigned type = MessageBoxType::kYesNo | MessageBoxType::kIconQuestion | MessageBoxType::kTopmost;
    if (!prompter
        || prompter->MessageBox(
               FormatText(FrameText::kDropQuestionFormat, source.c_str(), destination.c_str()),
               kApplicationName, type)
               != MessageBoxAnswer::kYes)
        return false;
    CFileOperation operation(core);
    const bool copied = operation.Copy(source, target) == 0;
    core.OutputMessage(copied ? MessageKind::kFile : MessageKind::kError,
                       std::string(FrameText::kManualCopyPrefix) + EngineText::kCopy, source, destination,
                       SystemErrorSuffix());
    CheckDestinationDrive(core, ParentPath(target));
    return copied;
}

void CMainFrame::ShowFileProperties(const CFileProperties& properties)
{
    ::ShowFileProperties(
        m_app.Core(), *m_shell,
        [this](const std::string& source, const std::string& destination) {
            ManualCopy(source, destination, destination);
        },
        properties, this);
}

void CMainFrame::RequestExit()
{
    m_app.Core().State().exitAllowed = 1;
    close();
}

void CMainFrame::EndWithoutQuestion()
{
    m_shutdownPending = true;
    m_app.Core().State().exitAllowed = 1;
    close();
}

bool CMainFrame::QuerySessionEnd()
{
    if (!m_app.ConfirmExit())
        return false;
    m_shutdownPending = true;
    m_app.Core().State().exitAllowed = 1;
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    CAppState& state = m_app.Core().State();
    if (!m_shutdownPending) {
        if (state.exitAllowed == 0) {
            if (IPrompter* prompter = m_app.Core().Services().prompter)
                prompter->MessageBox(AppText::kUseExitCommand, kApplicationName,
                                     MessageBoxType::kIconExclamation);
            event->ignore();
            showMinimized();
            return;
        }
        if (!m_app.ConfirmExit()) {
            state.exitAllowed = 0;
            event->ignore();
            return;
        }
    }
    if (state.exitAllowed != 1) {
        event->ignore();
        return;
    }
    m_app.Abort();
    SavePlacement();
    SetTrayIcon(false);
    if (m_pauseWindow)
        m_pauseWindow->PressButton();
    event->accept();
    if (!m_closing) {
        m_closing = true;
        emit Closed();
    }
}
