#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <unistd.h>

#include "config/backup_state_dlg.h"
#include "config/folder_backup_dlg.h"
#include "config/tool_texts.h"
#include "framework/control_id.h"
#include "framework/list_ctl.h"
#include "helpers/gui_app_rig.h"
#include "mainwnd/command_ids.h"
#include "property/file_property_dlg.h"

namespace {

// The rig's setting "src" (a.txt, b.txt, c.txt into "bak") and a second one, "docs"
// with one file into its own destination.
struct CStateRig
{
    CStateRig()
    {
        CSettingsModel& model = rig.app->App().Core().Settings();
        rig.tree.WriteFile("docs/d.txt", "docs");
        rig.tree.MakeFolder("own");
        model.files[1].No.Assign(rig.tree.Path("docs"));
        model.files[1].BakTo.Assign(rig.tree.Path("own"));
        model.Files = 2;
    }
    std::vector<CBackupStateDlg*> Windows() const
    {
        const auto found = rig.Frame()->findChildren<CBackupStateDlg*>();
        std::vector<CBackupStateDlg*> open;
        for (CBackupStateDlg* window : found)
            if (window->IsCreated())
                open.push_back(window);
        return open;
    }
    // Runs the command and chooses the given settings in the folder backup dialog.
    void RunStateCommand(const QList<int>& settings)
    {
        QTimer::singleShot(0, [settings] {
            auto* dialog = qobject_cast<CFolderBackupDlg*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* list = FindControl<QListWidget>(dialog, 1173);
            for (int row = 0; row < list->count(); ++row)
                list->item(row)->setSelected(settings.contains(list->item(row)->data(Qt::UserRole).toInt()));
            FindControl<QAbstractButton>(dialog, 1)->click();
        });
        rig.Trigger(CommandId::kBackupState);
    }
    static void ReadAll(CBackupStateDlg& window)
    {
        while (window.ScanSlice()) {
        }
    }
    // State text of each name.
    static QMap<QString, QString> States(CBackupStateDlg& window)
    {
        QMap<QString, QString> states;
        CwListCtl* list = window.List();
        for (int row = 0; row < list->RowCount(); ++row)
            states[list->CellText(row, 1)] = list->CellText(row, 0);
        return states;
    }

    CGuiAppRig rig;
};

const QString kNew = QString::fromUtf8(ToolText::kStateNew);
const QString kEqual = QString::fromUtf8(ToolText::kStateEqual);

} // namespace

class TestBackupStateDlg : public QObject
{
    Q_OBJECT

private slots:
    // Mode 2 opens one window per chosen setting, titled with its source and destination,
    // listing its files; each closes on its own and leaves its rectangle in the file.
    void windowPerChosenSetting()
    {
        CStateRig state;
        QVERIFY(state.rig.started);
        const std::string backup = "bak" + state.rig.tree.Path("src") + "/";
        state.rig.tree.WriteFile(backup + "old.txt", "old text");
        state.rig.tree.WriteFile(backup + "old.$1.txt", "1");
        state.rig.tree.WriteFile(backup + "old.$2.txt", "2");
        state.RunStateCommand({0, 1});
        std::vector<CBackupStateDlg*> windows = state.Windows();
        QCOMPARE(windows.size(), std::size_t(2));
        std::sort(windows.begin(), windows.end(),
                  [](auto* a, auto* b) { return a->SettingIndex() < b->SettingIndex(); });
        const auto title = [&](const std::string& source, const std::string& destination) {
            return QString::fromStdString("バックアップ状態 - " + state.rig.tree.Path(source) + " : "
                                          + state.rig.tree.Path(destination));
        };
        QCOMPARE(windows[0]->windowTitle(), title("src", "bak"));
        QCOMPARE(windows[1]->windowTitle(), title("docs", "own"));
        QVERIFY(windows[0]->isVisible() && !windows[0]->isModal());
        // The pass is over before the windows read anything.
        QCOMPARE(state.rig.State().processingCounter, 0);
        QTRY_VERIFY(!windows[0]->IsScanning() && !windows[1]->IsScanning());
        QCOMPARE(CStateRig::States(*windows[0]),
                 (QMap<QString, QString>{{"a.txt", kNew},
                                         {"b.txt", kNew},
                                         {"c.txt", kNew},
                                         {"old.txt", QString::fromUtf8(ToolText::kStateBackupOnly)}}));
        // Size and generation copies of the file only the backup holds.
        CwListCtl* list = windows[0]->List();
        const int oldRow = 3;
        QCOMPARE(list->CellText(oldRow, 1), QStringLiteral("old.txt"));
        QCOMPARE(list->CellText(oldRow, 2), QStringLiteral("8"));
        QVERIFY2(list->CellText(oldRow, 5).startsWith(QStringLiteral("世代 2 (")),
                 qPrintable(list->CellText(oldRow, 5)));
        QCOMPARE(list->CellText(0, 2), QStringLiteral("5"));
        QCOMPARE(CStateRig::States(*windows[1]), (QMap<QString, QString>{{"d.txt", kNew}}));
        QVERIFY(windows[0]->StatusText().startsWith(QStringLiteral("Ready")));
        QVERIFY(windows[0]->StatusText().contains(kNew + QStringLiteral(" 3")));
        QVERIFY(windows[0]->StatusText().contains(QString::fromUtf8(ToolText::kStateBackupOnly)
                                                  + QStringLiteral(" 1")));

        const QPointer<CBackupStateDlg> closing = windows[1];
        FindControl<QAbstractButton>(windows[1], 1074)->click();
        QCOMPARE(state.Windows().size(), std::size_t(1));
        QTRY_VERIFY(closing.isNull());
        QVERIFY(ReadFileBytes(state.rig.settingsPath).find("[CwDialog159]") != std::string::npos);
        QVERIFY(!state.rig.tree.Exists(backup + "a.txt"));
    }

    // Refresh (the button or Escape) reads the tree again: what a pass or the user
    // changed since shows.
    void refreshAfterChange_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("escape");
        QTest::newRow("backed up") << "a.txt"
                                   << "pass" << kNew << kEqual << false;
        QTest::newRow("changed") << "a.txt"
                                 << "write" << kEqual << QString::fromUtf8(ToolText::kStateChanged) << false;
        QTest::newRow("deleted") << "b.txt"
                                 << "delete" << kEqual << QString::fromUtf8(ToolText::kStateBackupOnly)
                                 << false;
        QTest::newRow("added") << "e.txt"
                               << "add" << QString() << kNew << false;
        QTest::newRow("by escape") << "a.txt"
                                   << "write" << kEqual << QString::fromUtf8(ToolText::kStateChanged) << true;
    }
    void refreshAfterChange()
    {
        QFETCH(QString, file);
        QFETCH(QString, change);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(bool, escape);
        CStateRig state;
        QVERIFY(state.rig.started);
        if (change != QLatin1String("pass"))
            state.rig.RunPassAfterChange();
        auto* window = new CBackupStateDlg(state.rig.app->App(), 0);
        window->SetDestroyOnCancel(true);
        QVERIFY(window->Create(state.rig.Frame()));
        CStateRig::ReadAll(*window);
        QCOMPARE(CStateRig::States(*window).value(file), before);

        const std::string path = "src/" + file.toStdString();
        if (change == QLatin1String("pass"))
            state.rig.RunPassAfterChange();
        else if (change == QLatin1String("write"))
            state.rig.tree.WriteFile(path, "longer text", std::time(nullptr) + 60);
        else if (change == QLatin1String("delete"))
            QCOMPARE(unlink(state.rig.tree.Path(path).c_str()), 0);
        else
            state.rig.tree.WriteFile(path, "e");
        if (escape)
            QTest::keyClick(window, Qt::Key_Escape);
        else
            FindControl<QAbstractButton>(window, 2)->click();
        QVERIFY(window->IsScanning());
        CStateRig::ReadAll(*window);
        QCOMPARE(CStateRig::States(*window).value(file), after);
        QVERIFY(window->isVisible());
        QVERIFY(window->StatusText().startsWith(QStringLiteral("Ready")));
        window->reject();
    }

    // A large tree is read in slices, with the progress in the status text.
    void progressWhileReading()
    {
        CStateRig state;
        QVERIFY(state.rig.started);
        auto* window = new CBackupStateDlg(state.rig.app->App(), 0);
        window->SetDestroyOnCancel(true);
        QVERIFY(window->Create(state.rig.Frame()));
        window->SetSliceEntries(1);
        window->Refresh();
        int slices = 0;
        while (window->ScanSlice()) {
            ++slices;
            QVERIFY2(window->StatusText().startsWith(QStringLiteral("確認中...")),
                     qPrintable(window->StatusText()));
        }
        QVERIFY(slices >= 3);
        QCOMPARE(window->List()->RowCount(), 3);
        QVERIFY(window->StatusText().startsWith(QStringLiteral("Ready")));
        window->reject();
    }

    // The drop-down chooses among the file settings; a double click hands on the row's
    // source and backup paths.
    void chooseSettingAndActivate()
    {
        CStateRig state;
        QVERIFY(state.rig.started);
        state.RunStateCommand({0});
        QCOMPARE(state.Windows().size(), std::size_t(1));
        CBackupStateDlg* window = state.Windows().front();
        auto* combo = FindControl<QComboBox>(window, 1076);
        QCOMPARE(combo->count(), 3);
        // A setting added meanwhile is offered after a refresh.
        CSettingsModel& model = state.rig.app->App().Core().Settings();
        model.files[2].No.Assign(state.rig.tree.MakeFolder("more"));
        model.Files = 3;
        QCOMPARE(combo->count(), 3);
        FindControl<QAbstractButton>(window, 2)->click();
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->itemData(3).toInt(), 2);
        QCOMPARE(combo->itemText(0), QString::fromUtf8(ToolText::kChooseSource));
        QCOMPARE(combo->currentData().toInt(), 0);
        combo->setCurrentIndex(2);
        emit combo->activated(2);
        QCOMPARE(window->SettingIndex(), 1);
        QVERIFY(window->windowTitle().endsWith(QString::fromStdString(state.rig.tree.Path("own"))));
        CStateRig::ReadAll(*window);
        QCOMPARE(CStateRig::States(*window), (QMap<QString, QString>{{"d.txt", kNew}}));

        QSignalSpy activated(window, &CBackupStateDlg::RowActivated);
        CwListCtl* list = window->List();
        const QRect rect = list->visualRect(list->model()->index(0, 1));
        // A double click is a press, a release and the double click on the same row.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        // The row's files open in the property dialog, which is modal.
        std::string shownPaths;
        QTimer::singleShot(0, [&shownPaths] {
            if (auto* dialog = qobject_cast<CFilePropertyDlg*>(QApplication::activeModalWidget())) {
                shownPaths = dialog->Properties().source + "|" + dialog->Properties().destination;
                dialog->reject();
            }
        });
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(activated.size(), 1);
        const std::string source = state.rig.tree.Path("docs/d.txt");
        const std::string backup = state.rig.tree.Path("own/d.txt");
        QCOMPARE(activated[0][0].value<std::string>(), source);
        QCOMPARE(activated[0][1].value<std::string>(), backup);
        QCOMPARE(shownPaths, source + "|" + backup);
        window->reject();
    }
};

QTEST_MAIN(TestBackupStateDlg)
#include "tst_backup_state_dlg.moc"
