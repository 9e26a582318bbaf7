#pragma once

// The program's main window: menu, toolbar and status bar around the view with the report
// and error lists. It turns the menu's commands into the application's state commands
// (hold, disable, pause, abort, manual runs, restart), keeps menu, toolbar and tray icon
// in step with the backup state, copies files dropped on it, records power events and
// guards closing: only the Exit command ends the program, the close box minimises it.

#include <QPointer>
#include <functional>
#include <map>
#include <memory>

#include "app/application.h"
#include "framework/frame_wnd.h"
#include "framework/progress_window.h"
#include "mainwnd/tray_icon.h"
#include "property/desktop_shell.h"
#include "property/file_property_dlg.h"
#include "report/report_view.h"

class QAction;
class QMenu;
class QToolBar;

class CMainFrame final : public CwFrameWnd
{
    Q_OBJECT
public:
    explicit CMainFrame(CApplication& app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CReportView* View() const { return m_view; }
    // The action of a command id (the first one, for ids that stand twice in the menu).
    QAction* Command(int id) const;
    QMenu* BackupMenu() const { return m_backupMenu; }
    QToolBar* ToolBar() const { return m_toolBar; }
    CTrayIcon& Tray() { return m_tray; }
    CwPgsWnd* PauseWindow() const { return m_pauseWindow; }

    // Menu items, toolbar states, check marks and the tray icon follow the state.
    void UpdateCommandStates();
    // The popup's state-dependent items (also for the tray's menu).
    void EnableBackupMenu(QMenu* popup);

    // The tray icon: readyIcon shows the ready image (one half of a blink), otherwise the
    // image of the current state. show false removes it.
    void SetTrayIcon(bool show, bool readyIcon = false);
    int StateIconId() const;
    // The tray's right click: the backup menu at pos, with automatic processing held
    // while it is open. The left click: the window comes back.
    void ShowTrayMenu(const QPoint& pos);
    void RestoreFromTray();
    // Minimised with a tray, the window lives in the tray; without one it stays in the
    // task bar, so the user can always get it back.
    void SetHidden(bool hidden);

    // A power-management event as a report row (kind 4), outside the log and the
    // no-output mode.
    void AddPowerEventRow(int code, unsigned long data = 0);
    // The root of the power-supply class the status of event 10 is read from.
    void SetPowerSupplyRoot(std::string root) { m_powerSupplyRoot = std::move(root); }

    // The dropped files, offered from the last one to the first.
    void CopyDroppedFiles(const QStringList& paths);
    // The manual copy of one file: asks whether source may be copied to destination
    // (shown as it is), copies it to target, reports it and checks the drive of target's
    // folder. True when it was copied.
    bool ManualCopy(const std::string& source, const std::string& destination, const std::string& target);

    // The file property dialog of a pair of files (a row of the lists or of the backup
    // state window), modal.
    void ShowFileProperties(const CFileProperties& properties);
    // What the property dialog starts and opens through; tests record instead.
    void SetShell(std::unique_ptr<CDesktopShell> shell) { m_shell = std::move(shell); }
    CDesktopShell& Shell() { return *m_shell; }

    // The chooser of a manual run; true with choices when the user confirmed. It marks
    // the chosen settings itself. Tests replace it.
    using ManualChooser = std::function<bool(int mode, CManualChoices& choices)>;
    void SetManualChooser(ManualChooser chooser) { m_manualChooser = std::move(chooser); }

    // Exit: the next close ends the program (after the question), and a termination
    // signal or the end of the session ends it without the question.
    void RequestExit();
    void EndWithoutQuestion();
    // The session asks whether it may end; false refuses.
    bool QuerySessionEnd();

    // Command handlers, public so that the tray menu, tests and signals reach them.
    void OnAbort();
    void OnPause();
    void OnHold();
    void OnDisable();
    void OnAutoScroll();
    void OnNoOutput();
    void OnRunManual(int mode);
    void OnRestart();

signals:
    // The frame has closed for good; the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, int id, const char* text, const char* prompt);
    void BuildMenus();
    void BuildToolBar();
    bool ChooseManualSettings(int mode, CManualChoices& choices);

    CApplication& m_app;
    CReportView* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_backupMenu = nullptr;
    QAction* m_abortTopLevel = nullptr;
    QAction* m_pauseTopLevel = nullptr;
    std::multimap<int, QAction*> m_commands;
    CTrayIcon m_tray;
    QPointer<CwPgsWnd> m_pauseWindow;
    ManualChooser m_manualChooser;
    std::unique_ptr<CDesktopShell> m_shell = std::make_unique<CDesktopShell>();
    std::string m_powerSupplyRoot = "/sys/class/power_supply";
    // The processing-enabled flag as it was before the tray's menu held it (-1: no menu).
    int m_enabledBeforeTrayMenu = -1;
    bool m_shutdownPending = false;
    bool m_closing = false;
};
