#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <QtTest>

#include "app/app_texts.h"
#include "app/power_events.h"
#include "engine/engine_texts.h"
#include "framework/control_id.h"
#include "helpers/gui_app_rig.h"
#include "mainwnd/command_ids.h"
#include "mainwnd/frame_texts.h"
#include "report/message_kinds.h"

Q_DECLARE_METATYPE(std::string)

namespace {

using namespace std::chrono_literals;
using Messages = std::vector<std::string>;

// The state the commands start from.
enum class EStart
{
    Ready,
    Hold,
    Disabled,
};

void Prepare(CGuiAppRig& rig, EStart start)
{
    if (start == EStart::Hold)
        rig.Trigger(CommandId::kHold);
    else if (start == EStart::Disabled)
        rig.Trigger(CommandId::kDisable);
    rig.tee.record.Clear();
}

// The report list's messages in the view itself.
QStringList ViewMessages(const CMainFrame& frame)
{
    QStringList messages;
    const CMessageListCtl* list = frame.View()->ReportList();
    for (int row = 0; row <= list->LastRowIndex(); ++row)
        messages << list->CellText(row, 1);
    return messages;
}

} // namespace

class TestMainFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }

    // Every command of the menu is an action with its text, mnemonic and accelerator; the
    // bar holds the Backup popup first and abort and pause at positions 1 and 2.
    void menuCommands_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortcut");
        const struct
        {
            int id;
            const char* text;
            const char* shortcut;
        } rows[] = {
            {CommandId::kGeneralSettings, "一般設定(&G)...", "Ctrl+G"},
            {CommandId::kFileSettings, "ファイル設定(&F)...", "Ctrl+F"},
            {CommandId::kEditSettingsFile, "設定ファイル編集(&E)...", ""},
            {CommandId::kBackUpChosen, "指定フォルダをバックアップ(&B)...", "Ctrl+B"},
            {CommandId::kDeleteGenerations, "世代バックアップファイルを削除(&D)...", "Ctrl+D"},
            {CommandId::kAbort, "バックアップ中止(&A)", "Ctrl+A"},
            {CommandId::kPause, "バックアップ一時停止(&P)", "Ctrl+P"},
            {CommandId::kHold, "バックアップ保留(&H)", "Ctrl+H"},
            {CommandId::kDisable, "バックアップ禁止(&O)", "Ctrl+O"},
            {CommandId::kNewSettings, "設定の新規作成(&N)...", ""},
            {CommandId::kOpenSettings, "別の設定を開く(&O)...", ""},
            {CommandId::kSaveSettingsAs, "名前を付けて設定を保存(&S)...", ""},
            {CommandId::kRestart, "Tovixの再起動(&R)", ""},
            {CommandId::kExit, "終了(&X)", ""},
            {CommandId::kToolBar, "ツールバー(&T)", ""},
            {CommandId::kStatusBar, "ステータスバー(&S)", ""},
            {CommandId::kProperties, "選択ファイルのプロパティ(&R)...", "Ctrl+R"},
            {CommandId::kFont, "フォント(&F)...", "Ctrl+N"},
            {CommandId::kNoOutput, "すべての表示をしない(&D)", ""},
            {CommandId::kClearErrors, "エラー/警告表示内容を全て消去(&E)...", ""},
            {CommandId::kAutoScroll, "自動スクロール(&A)", "Ctrl+S"},
            {CommandId::kManual, "取扱説明(&U)", "F1"},
            {CommandId::kAbout, "バージョン情報(&A)...", ""},
            {CommandId::kBackupState, "Selected Folder's Backup State", "Ctrl+T"},
        };
        for (const auto& row : rows)
            QTest::newRow(QByteArray::number(row.id).constData())
                << row.id << QString::fromUtf8(row.text) << QString::fromLatin1(row.shortcut);
    }
    void menuCommands()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QString, shortcut);
        CGuiAppRig rig;
        QVERIFY(rig.started);
        QAction* action = FindCommand(rig.Frame(), id);
        QVERIFY(action);
        QCOMPARE(action->text(), text);
        QCOMPARE(action->shortcut().toString(QKeySequence::PortableText), shortcut);
        // Every menu item reaches the window, with a prompt for the status bar.
        QVERIFY(!action->statusTip().isEmpty());
    }

    void menuBarAndToolBar()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        const QList<QAction*> bar = rig.Frame()->menuBar()->actions();
        QVERIFY(bar.size() >= 3);
        QCOMPARE(bar[0]->menu(), rig.Frame()->BackupMenu());
        QCOMPARE(bar[0]->text(), QString::fromUtf8(FrameText::kBackupMenu));
        QCOMPARE(bar[1]->text(), QString::fromUtf8(FrameText::kAbortTopLevel));
        QCOMPARE(bar[1]->data().toInt(), CommandId::kAbort);
        QCOMPARE(bar[2]->text(), QString::fromUtf8(FrameText::kPauseTopLevel));
        QCOMPARE(bar[2]->data().toInt(), CommandId::kPause);

        QList<int> order;
        for (QAction* action : rig.Frame()->ToolBar()->actions())
            order << (action->isSeparator() ? 0 : action->data().toInt());
        const QList<int> expected{CommandId::kGeneralSettings,
                                  CommandId::kFileSettings,
                                  CommandId::kEditSettingsFile,
                                  0,
                                  CommandId::kBackUpChosen,
                                  CommandId::kDeleteGenerations,
                                  0,
                                  CommandId::kAbort,
                                  CommandId::kPause,
                                  CommandId::kHold,
                                  CommandId::kDisable,
                                  0,
                                  CommandId::kProperties,
                                  CommandId::kAutoScroll,
                                  0,
                                  CommandId::kAbout};
        QCOMPARE(order, expected);
        QCOMPARE(ControlId(rig.Frame()->ToolBar()), FrameControlId::kToolBar);
    }

    // The transitions of the backup state, each started by its command id while idle or
    // in the middle of a pass.
    void stateCommands_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("duringPass");
        QTest::addColumn<int>("command");
        QTest::addColumn<Messages>("reported");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<int>("disabledAfter");
        QTest::addColumn<int>("enabledAfter");

        const std::string disabled = EngineText::kStateDisabled;
        const std::string hold = EngineText::kStateHold;
        const std::string ready = EngineText::kStateReady;
        const std::string backUp = "バックアップ開始";
        QTest::newRow("disable from ready")
            << int(EStart::Ready) << false << CommandId::kDisable << Messages{disabled} << 0 << 1 << 1;
        QTest::newRow("disable again")
            << int(EStart::Disabled) << false << CommandId::kDisable << Messages{ready} << 0 << 0 << 1;
        QTest::newRow("disable from hold")
            << int(EStart::Hold) << false << CommandId::kDisable << Messages{disabled} << 0 << 1 << 0;
        QTest::newRow("hold from ready")
            << int(EStart::Ready) << false << CommandId::kHold << Messages{hold} << 0 << 0 << 0;
        QTest::newRow("hold again") << int(EStart::Hold) << false << CommandId::kHold << Messages{ready} << 0
                                    << 0 << 1;
        QTest::newRow("abort while idle")
            << int(EStart::Ready) << false << CommandId::kAbort << Messages{} << 0 << 0 << 1;
        QTest::newRow("pause while idle")
            << int(EStart::Ready) << false << CommandId::kPause << Messages{} << 0 << 0 << 1;
        QTest::newRow("hold during a pass")
            << int(EStart::Ready) << true << CommandId::kHold << Messages{} << 1 << 0 << 1;
        QTest::newRow("abort during a pass")
            << int(EStart::Ready) << true << CommandId::kAbort
            << Messages{std::string(AppText::kAborted), disabled, ready} << 0 << 0 << 1;
        QTest::newRow("disable during a pass")
            << int(EStart::Ready) << true << CommandId::kDisable << Messages{disabled} << 0 << 1 << 1;
    }
    void stateCommands()
    {
        QFETCH(int, start);
        QFETCH(bool, duringPass);
        QFETCH(int, command);
        QFETCH(Messages, reported);
        QFETCH(int, beeps);
        QFETCH(int, disabledAfter);
        QFETCH(int, enabledAfter);

        CGuiAppRig rig;
        QVERIFY(rig.started);
        Prepare(rig, static_cast<EStart>(start));
        bool abortEnabled = false;
        bool manualEnabled = true;
        if (duringPass) {
            rig.AtFirstPumpOfPass([&] {
                abortEnabled = rig.Command(CommandId::kAbort)->isEnabled();
                manualEnabled = rig.Command(CommandId::kBackUpChosen)->isEnabled();
                rig.Trigger(command);
            });
            rig.RunPassAfterChange();
            QVERIFY2(rig.host.pump.pumpCount > 0, "the pass never pumped");
            QVERIFY(abortEnabled);
            QVERIFY(!manualEnabled);
            // The first tick after the pass ends the abort's disabled state.
            rig.host.timers.Advance(500ms);
        } else {
            rig.Trigger(command);
        }

        Messages states;
        for (const std::string& message : rig.InfoMessages())
            if (message == AppText::kAborted || message.rfind("バックアップ処理", 0) == 0)
                states.push_back(message);
        QString shown;
        for (const std::string& message : rig.InfoMessages())
            shown += QString::fromStdString(message) + QLatin1Char('|');
        QVERIFY2(states == reported, qPrintable(shown));
        QCOMPARE(int(std::count(rig.tee.record.beeps.begin(), rig.tee.record.beeps.end(), EBeep::Error)),
                 beeps);
        QCOMPARE(rig.State().disabled, disabledAfter);
        QCOMPARE(rig.State().processingEnabled, enabledAfter);
        QCOMPARE(rig.State().abortRequested, 0);
        // Menu and toolbar follow: checks for hold and disable, idle greys abort and pause.
        QCOMPARE(rig.Command(CommandId::kDisable)->isChecked(), disabledAfter == 1);
        QCOMPARE(rig.Command(CommandId::kHold)->isChecked(), enabledAfter == 0);
        QVERIFY(!rig.Command(CommandId::kAbort)->isEnabled());
        QVERIFY(!rig.Command(CommandId::kPause)->isEnabled());
        QVERIFY(rig.Command(CommandId::kBackUpChosen)->isEnabled());
    }

    // Abort while already disabled asks nothing of the pass and reports nothing.
    void abortWhileDisabledReportsNothing()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        rig.AtFirstPumpOfPass([&] {
            rig.Trigger(CommandId::kDisable);
            rig.tee.record.Clear();
            rig.Trigger(CommandId::kAbort);
            QCOMPARE(rig.State().abortRequested, 0);
        });
        rig.RunPassAfterChange();
        QVERIFY(rig.host.pump.pumpCount > 0);
        QVERIFY(!rig.tee.record.HasMessage(AppText::kAborted));
        QVERIFY(!rig.tee.record.HasMessage(EngineText::kStateDisabled));
    }

    // The pause window holds the pass; continue brings the hold state back; a second
    // pause opens no second window.
    void pauseDuringPass()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        int enabledWhilePaused = -1;
        QString buttonText;
        int windows = 0;
        rig.AtFirstPumpOfPass([&] {
            QTimer::singleShot(0, [&] {
                CwPgsWnd* window = rig.Frame()->PauseWindow();
                QVERIFY(window);
                enabledWhilePaused = rig.State().processingEnabled;
                rig.Trigger(CommandId::kPause);
                windows = int(rig.Frame()->findChildren<CwPgsWnd*>().size());
                if (auto* button = FindControl<QPushButton>(window, ProgressWindow::kButtonId)) {
                    buttonText = button->text();
                    button->click();
                }
            });
            rig.Trigger(CommandId::kPause);
        });
        rig.RunPassAfterChange();
        QCOMPARE(enabledWhilePaused, 0);
        QCOMPARE(windows, 1);
        QCOMPARE(buttonText, QString::fromUtf8(FrameText::kContinue));
        QVERIFY(rig.tee.record.HasMessage(AppText::kPaused));
        QCOMPARE(rig.State().processingEnabled, 1);
        QVERIFY(!rig.Frame()->PauseWindow());
        // The pass went on after the pause: its files are in the backup.
        QVERIFY(PathExists(rig.tree.Path("bak") + rig.tree.Path("src/c.txt")));
    }

    void noOutputNoticeStaysVisible()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        rig.Trigger(CommandId::kNoOutput);
        QVERIFY(rig.Command(CommandId::kNoOutput)->isChecked());
        QCOMPARE(ViewMessages(*rig.Frame()).constLast(), QStringLiteral("表示 OFF"));
        rig.Trigger(CommandId::kHold);
        QCOMPARE(ViewMessages(*rig.Frame()).constLast(), QStringLiteral("表示 OFF"));
        // Power events are shown even so, outside the log.
        rig.Frame()->AddPowerEventRow(PowerEvent::kSuspend);
        QCOMPARE(ViewMessages(*rig.Frame()).constLast(),
                 QStringLiteral("APM Event - System is suspending operation"));
        QCOMPARE(
            rig.Frame()->View()->ReportList()->RowIcon(rig.Frame()->View()->ReportList()->LastRowIndex()),
            MessageKind::kDetail);
        QVERIFY(!rig.tee.record.HasMessage("APM Event - System is suspending operation"));
    }

    // Power status change on a machine with its AC line and no battery.
    void powerStatusWithoutBattery()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        rig.tree.WriteFile("power/AC/type", "Mains\n");
        rig.tree.WriteFile("power/AC/online", "1\n");
        rig.Frame()->SetPowerSupplyRoot(rig.tree.Path("power"));
        rig.Frame()->AddPowerEventRow(PowerEvent::kPowerStatusChange);
        const CMessageListCtl* list = rig.Frame()->View()->ReportList();
        const int last = list->LastRowIndex();
        QCOMPARE(list->CellText(last, 1), QStringLiteral("APM Event - Power status has changed"));
        QCOMPARE(list->CellText(last, 4),
                 QStringLiteral("AC=On, BatteryLife=255%, Flag=128, LifeTime=-1, FullLifeTime=-1"));
    }

    // The close box only minimises, with the hint; Exit asks (cp = 0) and Cancel keeps
    // the program; OK ends it.
    void closeAndExit()
    {
        CGuiAppRig rig({}, {}, "[Startup]\r\ncp=0\r\n");
        QVERIFY(rig.started);
        QSignalSpy closed(rig.Frame(), &CMainFrame::Closed);

        rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        rig.Frame()->close();
        QVERIFY(rig.Frame()->isMinimized());
        QCOMPARE(closed.count(), 0);
        // Without a tray (the offscreen platform has none) a minimised window is never
        // hidden: the task bar is the only way back to it.
        QVERIFY(!CTrayIcon::TrayAvailable());
        QCoreApplication::processEvents();
        rig.host.timers.Advance(3500ms);
        QVERIFY(rig.Frame()->isVisible());

        rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kCancel);
        rig.Trigger(CommandId::kExit);
        QCOMPARE(closed.count(), 0);
        QCOMPARE(rig.State().exitAllowed, 0);

        rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        rig.Frame()->close();
        QCOMPARE(closed.count(), 0);

        rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        rig.Trigger(CommandId::kExit);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(rig.boxes.texts, (QStringList{QString::fromUtf8(AppText::kUseExitCommand),
                                               QString::fromUtf8(AppText::kExitQuestion),
                                               QString::fromUtf8(AppText::kUseExitCommand),
                                               QString::fromUtf8(AppText::kExitQuestion)}));
        QVERIFY(!rig.app->Prompter().HasQueuedAnswers());
    }

    // A termination signal ends the program without the question, aborting the pass.
    void endWithoutQuestionAbortsPass()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        QSignalSpy closed(rig.Frame(), &CMainFrame::Closed);
        rig.AtFirstPumpOfPass([&] { rig.app->OnTerminationSignal(); });
        rig.RunPassAfterChange();
        QCOMPARE(closed.count(), 1);
        QVERIFY(rig.tee.record.HasMessage(AppText::kAborted));
        QVERIFY(!rig.app->Prompter().ActiveBox());
    }

    void droppedFiles_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("copied");
        const int yes = MessageBoxAnswer::kYes;
        const int no = MessageBoxAnswer::kNo;
        QTest::newRow("no to the first offered") << QList<int>{no} << QStringList{"c.txt"} << QStringList{};
        QTest::newRow("yes, then no")
            << QList<int>{yes, no} << QStringList{"c.txt", "b.txt"} << QStringList{"c.txt"};
        QTest::newRow("yes to all") << QList<int>{yes, yes, yes} << QStringList{"c.txt", "b.txt", "a.txt"}
                                    << QStringList{"c.txt", "b.txt", "a.txt"};
    }
    void droppedFiles()
    {
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, copied);
        CGuiAppRig rig;
        QVERIFY(rig.started);
        for (const int answer : answers)
            rig.app->Prompter().QueueAnswer(answer);
        QStringList dropped;
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            dropped << QString::fromStdString(rig.tree.Path(std::string("src/") + name));
        rig.Frame()->CopyDroppedFiles(dropped);

        QStringList asked;
        for (const QString& text : rig.boxes.texts)
            asked << QFileInfo(text.section(QLatin1Char('\''), 1, 1)).fileName();
        QCOMPARE(asked, offered);
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            QCOMPARE(rig.tree.Exists(std::string("bak/") + name), copied.contains(QLatin1String(name)));
        const std::vector<CMessageRow> rows = rig.tee.record.RowsOfKind(MessageKind::kFile);
        QCOMPARE(int(rows.size()), int(copied.size()));
        for (const CMessageRow& row : rows) {
            QCOMPARE(row.message, std::string("マニュアルコピー"));
            QCOMPARE(row.destination, rig.tree.Path("bak"));
        }
    }

    // Manual runs through their commands: the chooser's choice is backed up at once;
    // a cancelled chooser runs nothing; generation deletion while a pass runs beeps.
    void manualRuns_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<bool>("duringPass");
        QTest::addColumn<int>("chooserCalls");
        QTest::addColumn<std::string>("reported");
        QTest::addColumn<int>("beeps");
        QTest::newRow("back up chosen") << CommandId::kBackUpChosen << true << false << 1
                                        << std::string(EngineText::kBackUpChosenFolders) << 0;
        QTest::newRow("cancelled") << CommandId::kBackUpChosen << false << false << 1 << std::string() << 0;
        QTest::newRow("generations") << CommandId::kDeleteGenerations << true << false << 1
                                     << std::string(EngineText::kDeleteGenerations) << 0;
        QTest::newRow("back up during a pass")
            << CommandId::kBackUpChosen << true << true << 0 << std::string() << 0;
        QTest::newRow("generations during a pass")
            << CommandId::kDeleteGenerations << true << true << 0 << std::string() << 1;
    }
    void manualRuns()
    {
        QFETCH(int, command);
        QFETCH(bool, confirm);
        QFETCH(bool, duringPass);
        QFETCH(int, chooserCalls);
        QFETCH(std::string, reported);
        QFETCH(int, beeps);
        CGuiAppRig rig;
        QVERIFY(rig.started);
        int calls = 0;
        rig.Frame()->SetManualChooser([&](int, CManualChoices&) {
            ++calls;
            if (confirm)
                rig.app->App().Core().Settings().files[0].changeMark = ChangeMark::kRequested;
            return confirm;
        });
        if (duringPass) {
            // The command reaches the frame however the menu looks (an accelerator typed
            // before the menu followed the pass).
            rig.AtFirstPumpOfPass(
                [&] { rig.Frame()->OnRunManual(command == CommandId::kBackUpChosen ? 0 : 1); });
            rig.RunPassAfterChange();
        } else {
            rig.Trigger(command);
        }
        QCOMPARE(calls, chooserCalls);
        int errorBeeps = 0;
        for (const EBeep beep : rig.tee.record.beeps)
            errorBeeps += beep == EBeep::Error ? 1 : 0;
        QCOMPARE(errorBeeps, beeps);
        if (!reported.empty())
            QVERIFY(rig.tee.record.HasMessage(reported));
        // Only the chosen backup (or the pass that was running) copies.
        QCOMPARE(rig.tree.Exists("bak" + rig.tree.Path("src/a.txt")),
                 duringPass || (command == CommandId::kBackUpChosen && confirm));
        QCOMPARE(rig.State().processingCounter, 0);
    }

    // Restart reports with the settings file, aborts and sets monitoring up again.
    void restart()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        const std::size_t watched = rig.notifiers.watchedFolders.size();
        rig.Trigger(CommandId::kRestart);
        const std::vector<CMessageRow> rows = rig.tee.record.RowsOfKind(MessageKind::kInfo);
        QVERIFY(!rows.empty());
        QVERIFY(std::any_of(rows.begin(), rows.end(), [&](const CMessageRow& row) {
            return row.message == AppText::kRestart && row.source == rig.settingsPath;
        }));
        QCOMPARE(rig.notifiers.watchedFolders.size(), watched + 1);
        QCOMPARE(rig.app->Document().Title(), QString::fromStdString(rig.settingsPath));
    }

    // Hold with FileChkInterval 3: hold and ready images alternate for six ticks, the
    // seventh shows hold with the poll. Ready never touches the tray.
    void trayBlinking()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        CTrayIcon& tray = rig.Frame()->Tray();
        QCOMPARE(tray.CurrentIcon(), TrayIconId::kReady);
        const int operations = tray.TrayOperations();
        rig.host.timers.Advance(7000ms);
        QCOMPARE(tray.TrayOperations(), operations);

        rig.Trigger(CommandId::kHold);
        QCOMPARE(tray.CurrentIcon(), TrayIconId::kHold);
        QList<int> icons;
        QList<int> polls;
        for (int tick = 0; tick < 14; ++tick) {
            const std::size_t looks = rig.notifiers.lookMoments.size();
            rig.host.timers.Advance(500ms);
            icons << tray.CurrentIcon();
            polls << (rig.notifiers.lookMoments.size() > looks ? 1 : 0);
        }
        const int h = TrayIconId::kHold;
        const int r = TrayIconId::kReady;
        QCOMPARE(icons, (QList<int>{h, r, h, r, h, r, h, h, r, h, r, h, r, h}));
        QCOMPARE(polls, (QList<int>{0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1}));

        rig.Trigger(CommandId::kDisable);
        QCOMPARE(tray.CurrentIcon(), TrayIconId::kDisabled);
    }

    // The tray's menu holds automatic processing while it is open and gives back what
    // was there: hold stays hold.
    void trayMenuHoldsProcessing_data()
    {
        QTest::addColumn<bool>("hold");
        QTest::newRow("ready") << false;
        QTest::newRow("hold") << true;
    }
    void trayMenuHoldsProcessing()
    {
        QFETCH(bool, hold);
        CGuiAppRig rig;
        QVERIFY(rig.started);

        if (hold)
            rig.Trigger(CommandId::kHold);
        const int before = rig.State().processingEnabled;
        int whileOpen = -1;
        bool checkedWhileOpen = !hold;
        QTimer::singleShot(0, [&] {
            whileOpen = rig.State().processingEnabled;
            // A poll while the menu is open shows the user's hold state, not the menu's.
            rig.host.timers.Advance(3500ms);
            checkedWhileOpen = rig.Command(CommandId::kHold)->isChecked();
            rig.Frame()->BackupMenu()->close();
        });
        rig.Frame()->ShowTrayMenu(QPoint(10, 10));
        QCOMPARE(whileOpen, 0);
        QCOMPARE(checkedWhileOpen, hold);
        QCOMPARE(rig.State().processingEnabled, before);
        QCOMPARE(rig.State().processingEnabled, hold ? 0 : 1);
    }

    void trayTipIsCut()
    {
        const QString path =
            QStringLiteral("/home/user/") + QString(80, QLatin1Char('x')) + QStringLiteral(".TVX");
        const QString tip = CTrayIcon::MakeTip(path);
        QCOMPARE(tip.size(), FrameText::kTrayTipLimit);
        QVERIFY(tip.startsWith(QStringLiteral("Vesk Realtime Backup - /home/user/xxx")));
        QCOMPARE(CTrayIcon::MakeTip(QStringLiteral("/a.TVX")),
                 QStringLiteral("Vesk Realtime Backup - /a.TVX"));
    }

private:
    QTemporaryDir m_config;
};

QTEST_MAIN(TestMainFrame)
#include "tst_main_frame.moc"
