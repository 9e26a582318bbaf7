#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "config/folder_backup_dlg.h"
#include "config/tool_texts.h"
#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "framework/control_id.h"
#include "helpers/gui_app_rig.h"
#include "mainwnd/command_ids.h"

namespace {

// Four settings besides the rig's "src": a sample, a deleted one, one with its own
// destination and a second plain one. The dialog lists all but the sample.
struct CDialogRig
{
    CDialogRig()
    {
        CSettingsModel& model = Model();
        model.files[1].No.Assign("#" + rig.tree.Path("sample"));
        model.files[2].No.Assign("");
        model.files[3].No.Assign(rig.tree.Path("docs"));
        model.files[3].BakTo.Assign(rig.tree.Path("own"));
        model.files[4].No.Assign(rig.tree.Path("more"));
        model.Files = 5;
    }
    CSettingsModel& Model() { return rig.app->App().Core().Settings(); }
    std::unique_ptr<CFolderBackupDlg> Open(int mode)
    {
        auto dialog = std::make_unique<CFolderBackupDlg>(rig.app->App(), mode, rig.Frame());
        dialog->show();
        return dialog;
    }
    static QListWidget* List(QWidget& dialog) { return FindControl<QListWidget>(&dialog, 1173); }
    static void Click(QWidget& dialog, int id) { FindControl<QAbstractButton>(&dialog, id)->click(); }
    // The rows (in list order) chosen by the settings they show.
    static void Choose(QWidget& dialog, const QList<int>& settings)
    {
        QListWidget* list = List(dialog);
        for (int row = 0; row < list->count(); ++row)
            if (settings.contains(list->item(row)->data(Qt::UserRole).toInt()))
                list->item(row)->setSelected(true);
    }
    QList<int> Marked()
    {
        QList<int> marked;
        for (int index = 0; index < Model().Files; ++index)
            if (Model().files[static_cast<std::size_t>(index)].changeMark != ChangeMark::kNone)
                marked << index;
        return marked;
    }

    CGuiAppRig rig;
};

} // namespace

class TestFolderBackupDlg : public QObject
{
    Q_OBJECT

private slots:
    // Each mode's title, text, OK caption and the controls it shows.
    void modes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("ok");
        QTest::addColumn<QList<int>>("shown");
        QTest::addColumn<QList<int>>("hidden");
        QTest::newRow("back up") << 0 << ToolText::kBackupTitle << ToolText::kBackupText << "実行"
                                 << QList<int>{3, 1059, 1061} << QList<int>{1108, 1109, 1110};
        QTest::newRow("delete generations")
            << 1 << ToolText::kGenerationsTitle << ToolText::kGenerationsText << "削除"
            << QList<int>{3, 1061, 1108, 1109, 1110} << QList<int>{1059};
        QTest::newRow("backup state") << 2 << ToolText::kStateTitle << ToolText::kStateText << "実行"
                                      << QList<int>{} << QList<int>{3, 1059, 1061, 1108, 1109, 1110};
    }
    void modes()
    {
        QFETCH(int, mode);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, ok);
        QFETCH(QList<int>, shown);
        QFETCH(QList<int>, hidden);
        CDialogRig dlg;
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open(mode);
        QCOMPARE(dialog->windowTitle(), title);
        QCOMPARE(FindControl<QLabel>(dialog.get(), 1060)->text(), text);
        QCOMPARE(FindControl<QPushButton>(dialog.get(), 1)->text(), ok);
        for (const int id : shown)
            QVERIFY2(FindControl(dialog.get(), id)->isVisible(), qPrintable(QString::number(id)));
        for (const int id : hidden)
            QVERIFY2(!FindControl(dialog.get(), id)->isVisible(), qPrintable(QString::number(id)));
        // Several settings can be chosen in every mode.
        QCOMPARE(CDialogRig::List(*dialog)->selectionMode(), QAbstractItemView::MultiSelection);
    }

    // Sample settings are not offered, a deleted one is; the destination is the setting's
    // own or the general one. Nothing is selected at first; the toggle selects all, then
    // none. Automatic processing is held while the dialog is open.
    void listAndToggle()
    {
        CDialogRig dlg;
        QVERIFY(dlg.rig.started);
        QCOMPARE(dlg.rig.State().processingEnabled, 1);
        auto dialog = dlg.Open(0);
        QCOMPARE(dlg.rig.State().processingEnabled, 0);
        QListWidget* list = CDialogRig::List(*dialog);
        const std::string bak = dlg.rig.tree.Path("bak");
        const QStringList expected{
            QString::fromStdString(dlg.rig.tree.Path("src") + " --> " + bak),
            QStringLiteral("( 削除 )"),
            QString::fromStdString(dlg.rig.tree.Path("docs") + " --> " + dlg.rig.tree.Path("own")),
            QString::fromStdString(dlg.rig.tree.Path("more") + " --> " + bak),
        };
        QStringList lines;
        QList<int> indices;
        for (int row = 0; row < list->count(); ++row) {
            lines << list->item(row)->text();
            indices << list->item(row)->data(Qt::UserRole).toInt();
        }
        QCOMPARE(lines, expected);
        QCOMPARE(indices, (QList<int>{0, 2, 3, 4}));
        QCOMPARE(list->selectedItems().size(), 0);
        CDialogRig::Click(*dialog, 3);
        QCOMPARE(list->selectedItems().size(), 4);
        CDialogRig::Click(*dialog, 3);
        QCOMPARE(list->selectedItems().size(), 0);
        // A click toggles one line without touching the others.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
        QCOMPARE(list->selectedItems().size(), 2);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(list->selectedItems().size(), 1);
        dialog.reset();
        QCOMPARE(dlg.rig.State().processingEnabled, 1);
    }

    // OK marks the chosen settings only when a line is chosen and every field is valid;
    // the dialog stays open otherwise. Cancel marks nothing.
    void okAndCancel_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("chosen");
        QTest::addColumn<QString>("generations");
        QTest::addColumn<QList<int>>("checks");
        QTest::addColumn<int>("button");
        QTest::addColumn<QList<int>>("marked");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("keep"); // generations to keep read by OK
        QTest::addColumn<int>("test");
        QTest::addColumn<int>("compare");
        QTest::newRow("nothing chosen")
            << 0 << QList<int>{} << "0" << QList<int>{} << 1 << QList<int>{} << "" << 0 << 0 << 0;
        QTest::newRow("two chosen with test and compare")
            << 0 << QList<int>{0, 3} << "0" << QList<int>{1061, 1059} << 1 << QList<int>{0, 3} << "" << 0 << 1
            << 1;
        QTest::newRow("deleted setting chosen")
            << 0 << QList<int>{2} << "0" << QList<int>{} << 1 << QList<int>{2} << "" << 0 << 0 << 0;
        QTest::newRow("generations to keep")
            << 1 << QList<int>{4} << " 3 " << QList<int>{1061} << 1 << QList<int>{4} << "" << 3 << 1 << 0;
        QTest::newRow("generations not a number") << 1 << QList<int>{0, 4} << "x" << QList<int>{} << 1
                                                  << QList<int>{} << ToolText::kEnterInteger << 0 << 0 << 0;
        QTest::newRow("cancel") << 0 << QList<int>{0, 3} << "0" << QList<int>{1061} << 2 << QList<int>{} << ""
                                << 0 << 0 << 0;
        QTest::newRow("backup state")
            << 2 << QList<int>{0, 4} << "0" << QList<int>{} << 1 << QList<int>{0, 4} << "" << 0 << 0 << 0;
    }
    void okAndCancel()
    {
        QFETCH(int, mode);
        QFETCH(QList<int>, chosen);
        QFETCH(QString, generations);
        QFETCH(QList<int>, checks);
        QFETCH(int, button);
        QFETCH(QList<int>, marked);
        QFETCH(QString, message);
        QFETCH(int, keep);
        QFETCH(int, test);
        QFETCH(int, compare);
        CDialogRig dlg;
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open(mode);
        CDialogRig::Choose(*dialog, chosen);
        FindControl<QLineEdit>(dialog.get(), 1108)->setText(generations);
        for (const int id : checks)
            CDialogRig::Click(*dialog, id);
        if (!message.isEmpty())
            dlg.rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        CDialogRig::Click(*dialog, button);
        QCOMPARE(dlg.rig.boxes.texts, message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(dlg.Marked(), marked);
        const bool closes = button == 2 || !marked.isEmpty();
        QCOMPARE(dialog->isVisible(), !closes);
        if (!message.isEmpty())
            QCOMPARE(dialog->focusWidget(), FindControl(dialog.get(), 1108));
        if (button == 1 && closes) {
            QCOMPARE(dialog->result(), int(QDialog::Accepted));
            QCOMPARE(dialog->Choices().generationsToKeep, keep);
            QCOMPARE(dialog->Choices().testMode, test);
            QCOMPARE(dialog->Choices().contentCompare, compare);
        }
        if (closes)
            QCOMPARE(dlg.rig.State().processingEnabled, 1);
    }

    // The command runs the dialog and backs up what it marked, in test mode when asked:
    // nothing is copied, what would be is reported.
    void commandRunsTheDialog_data()
    {
        QTest::addColumn<bool>("test");
        QTest::newRow("backup") << false;
        QTest::newRow("test") << true;
    }
    void commandRunsTheDialog()
    {
        QFETCH(bool, test);
        CGuiAppRig rig;
        QVERIFY(rig.started);
        QString title;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CFolderBackupDlg*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            title = dialog->windowTitle();
            CDialogRig::Choose(*dialog, {0});
            if (test)
                CDialogRig::Click(*dialog, 1061);
            CDialogRig::Click(*dialog, 1);
        });
        rig.Trigger(CommandId::kBackUpChosen);
        QCOMPARE(title, QString::fromUtf8(ToolText::kBackupTitle));
        QVERIFY(rig.tee.record.HasMessage(EngineText::kBackUpChosenFolders));
        QCOMPARE(rig.tree.Exists("bak" + rig.tree.Path("src/a.txt")), !test);
        QCOMPARE(!rig.tee.record.RowsOfKind(MessageKind::kTest).empty(), test);
        QCOMPARE(rig.State().processingCounter, 0);
        QCOMPARE(rig.State().processingEnabled, 1);
    }
};

QTEST_MAIN(TestFolderBackupDlg)
#include "tst_folder_backup_dlg.moc"
