#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include "config/compress_config_dlg.h"
#include "config/file_config_dlg.h"
#include "config/pickers.h"
#include "framework/control_id.h"
#include "helpers/gui_app_rig.h"
#include "mainwnd/command_ids.h"
#include "platform/path.h"

namespace {

// The lines of the file settings section (window placements live elsewhere).
QSet<QString> Lines(const std::string& path)
{
    const QStringList lines = QString::fromStdString(ReadFileBytes(path)).split(QStringLiteral("\r\n"));
    QSet<QString> backup;
    bool inside = false;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('[')))
            inside = line == QLatin1String("[Backup]");
        else if (inside && !line.isEmpty())
            backup << line;
    }
    return backup;
}

// Three settings a, b and c (b with compression details, an archive password and a
// non-default large-file limit), each a real folder; more [Setting] lines and [Backup]
// lines can be given.
const char* const kThree = "Files=3\r\nNo0=<t>/a\r\nInc0=*.a\r\nOldMove0=\r\nNo1=<t>/"
                           "b\r\nInc1=*.b\r\nCompMode1=3\r\nCpPw1=pw-b\r\nForced1=3\r\n"
                           "DlgCopyBig1=50\r\nNo2=<t>/c\r\nInc2=*.c\r\n";

struct CFileDlgRig
{
    explicit CFileDlgRig(const std::string& backup = kThree, const std::string& setting = {})
    {
        for (const char* name : {"a", "b", "c", "d"})
            rig.tree.MakeFolder(name);
        std::string text =
            "[Setting]\r\nBakCopyPath=" + rig.tree.Path("bak") + "\r\n" + setting + "[Backup]\r\n" + backup;
        for (std::size_t at; (at = text.find("<t>")) != std::string::npos;)
            text.replace(at, 3, rig.tree.Path(""));
        WriteFileBytes(rig.settingsPath, text);
        App().Core().Storage().LoadGeneralSettings();
    }
    ~CFileDlgRig() { SetBrowseHook({}); }

    std::unique_ptr<CFileConfigDlg> Open(std::function<int(int)> details = {})
    {
        auto dialog = std::make_unique<CFileConfigDlg>(
            App(), rig.Frame(), [] {}, std::move(details));
        dialog->show();
        return dialog;
    }
    // One OK without changes, so that every key is in the file and a later write shows
    // only what it changed.
    void Complete()
    {
        auto dialog = Open();
        Click(*dialog, 1);
    }
    CApplication& App() { return rig.app->App(); }
    const CFileSetting& Record(int i) { return App().Core().Settings().files[static_cast<std::size_t>(i)]; }
    std::string Path(const char* name) { return rig.tree.Path(name); }
    void Answer(int answer) { rig.app->Prompter().QueueAnswer(answer); }
    static QLineEdit* Edit(QWidget& d, int id) { return FindControl<QLineEdit>(&d, id); }
    static QCheckBox* Check(QWidget& d, int id) { return FindControl<QCheckBox>(&d, id); }
    static QComboBox* Combo(QWidget& d, int id) { return FindControl<QComboBox>(&d, id); }
    static QListWidget* List(QWidget& d) { return FindControl<QListWidget>(&d, 1173); }
    static void Click(QWidget& d, int id) { FindControl<QAbstractButton>(&d, id)->click(); }
    int Restarts() const { return int(rig.notifiers.watchedFolders.size()); }
    QStringList Sources()
    {
        QStringList sources;
        for (int i = 0; i < App().Core().Settings().Files; ++i)
            sources << QString::fromStdString(FileNameOf(Record(i).No.raw));
        return sources;
    }
    // Sets a field the way the user would: text, check state, or item index.
    static void Set(QWidget& d, int id, const QString& value)
    {
        if (QLineEdit* edit = Edit(d, id))
            edit->setText(value);
        else if (QComboBox* combo = Combo(d, id))
            combo->setCurrentIndex(value.toInt());
        else if (Check(d, id)->isChecked() != (value == QLatin1String("1")))
            Click(d, id);
    }

    CGuiAppRig rig;
};

// The titles of the message boxes shown while it lives.
class CTitleRecorder final : public QObject
{
public:
    CTitleRecorder() { QCoreApplication::instance()->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            if (auto* box = qobject_cast<QMessageBox*>(watched))
                titles << box->windowTitle();
        return false;
    }
    QStringList titles;
};

} // namespace

class TestFileConfigDlg : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetBrowseHook({}); }

    // The list shows every setting, an empty source as deleted; a sample setting is named
    // as such in the group caption. Processing is held while the dialog is open.
    void listCaptionAndHold()
    {
        CFileDlgRig dlg("Files=3\r\nNo0=#/sample\r\nNo1=\r\nNo2=<t>/a\r\n");
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open();
        QCOMPARE(dialog->windowTitle(),
                 QStringLiteral("ファイル設定 - ") + QString::fromStdString(dlg.rig.settingsPath));
        QCOMPARE(dlg.rig.State().processingEnabled, 0);
        QListWidget* list = dlg.List(*dialog);
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QStringLiteral("#/sample"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("( 削除 )"));
        auto* group = FindControl<QGroupBox>(dialog.get(), 1179);
        QCOMPARE(group->title(), QStringLiteral("設定見本 #/sample"));
        QVERIFY(group->styleSheet().contains(QLatin1String("#ffff00")));
        list->setCurrentRow(2);
        QCOMPARE(group->title(), QString::fromStdString(dlg.Path("a")));
        QVERIFY(group->styleSheet().isEmpty());
        dlg.Click(*dialog, 2);
        QCOMPARE(dlg.rig.State().processingEnabled, 1);
    }

    // OK writes the changed keys only; monitoring is set up anew only when what is
    // watched changed.
    void okWritesChanges_data()
    {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<bool>("restarts");
        using L = QList<int>;
        QTest::newRow("included files")
            << L{1006} << QStringList{"*.txt"} << QStringList{"Inc0=*.txt"} << false;
        QTest::newRow("source") << L{1016} << QStringList{"<t>/d"} << QStringList{"No0=<t>/d"} << true;
        QTest::newRow("subfolders") << L{1093} << QStringList{"1"} << QStringList{"Sub0=1"} << true;
        QTest::newRow("interval in minutes")
            << L{1192, 1013} << QStringList{"1", "71582"} << QStringList{"DoInterval0=4294920"} << true;
        QTest::newRow("near time at its limit")
            << L{1012} << QStringList{"4294967"} << QStringList{"NearTimeExc0=4294967"} << false;
        QTest::newRow("large files off")
            << L{1066} << QStringList{"0"} << QStringList{"DlgCopyBig0=0"} << false;
        QTest::newRow("old files moved, target proposed")
            << L{1184} << QStringList{"3"} << QStringList{"OldDel0=3", "OldMove0=%temp%"} << false;
        QTest::newRow("compression, archive proposed")
            << L{1188} << QStringList{"3"} << QStringList{"CompMode0=3", "CompFile0=<t>/bak/a"} << false;
        QTest::newRow("compression of the root")
            << L{1016, 1188} << QStringList{"/", "3"}
            << QStringList{"No0=/", "CompMode0=3", "CompFile0=<t>/bak/Backup"} << true;
    }
    void okWritesChanges()
    {
        QFETCH(QList<int>, ids);
        QFETCH(QStringList, values);
        QFETCH(QStringList, changed);
        QFETCH(bool, restarts);
        CFileDlgRig dlg;
        QVERIFY(dlg.rig.started);
        dlg.Complete();
        const QSet<QString> before = Lines(dlg.rig.settingsPath);
        const int restartsBefore = dlg.Restarts();
        auto dialog = dlg.Open();
        for (int i = 0; i < ids.size(); ++i)
            dlg.Set(*dialog, ids[i],
                    QString(values[i]).replace(QLatin1String("<t>"), QString::fromStdString(dlg.Path(""))));
        dlg.Click(*dialog, 1);
        QVERIFY(!dialog->isVisible());
        QSet<QString> expected;
        for (const QString& line : changed)
            expected << QString(line).replace(QLatin1String("<t>"), QString::fromStdString(dlg.Path("")));
        const QSet<QString> after = Lines(dlg.rig.settingsPath);
        QCOMPARE(after - before, expected);
        QCOMPARE((before - after).size(), expected.size());
        QCOMPARE(dlg.Restarts() > restartsBefore, restarts);
        QVERIFY(dlg.rig.boxes.texts.isEmpty());
    }

    // An invalid field stops whatever would leave it before anything is stored: the file
    // stays byte for byte, the order and the selection stay, the focus is on the field.
    void invalidFieldStopsEverything_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("row"); // 1 is compressed, 2 is not
        const QString minutes = QStringLiteral("Please enter an integer between 0 and 71582.");
        const QString integer = QStringLiteral("Please enter an integer.");
        QTest::newRow("interval too long, OK") << 1013 << "71583" << 1 << minutes << 2;
        QTest::newRow("near time not a number, OK") << 1012 << "x" << 1 << integer << 2;
        QTest::newRow("near time too long, OK")
            << 1012 << "4294968" << 1 << "Please enter an integer between 0 and 4294967." << 2;
        QTest::newRow("generations, up") << 1009 << "1.5" << 1020 << integer << 2;
        QTest::newRow("large file size, OK") << 1067 << "many" << 1 << integer << 2;
        QTest::newRow("interval, other selection") << 1013 << "-1" << 1173 << minutes << 2;
        QTest::newRow("near time, add") << 1012 << "" << 1176 << integer << 2;
        QTest::newRow("interval, details") << 1013 << "x" << 1194 << integer << 1;
    }
    void invalidFieldStopsEverything()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(int, action);
        QFETCH(QString, message);
        QFETCH(int, row);
        CFileDlgRig dlg;
        QVERIFY(dlg.rig.started);
        const std::string before = ReadFileBytes(dlg.rig.settingsPath);
        int detailsRuns = 0;
        auto dialog = dlg.Open([&](int) {
            ++detailsRuns;
            return int(QDialog::Rejected);
        });
        dlg.List(*dialog)->setCurrentRow(row);
        if (id == 1013)
            dlg.Click(*dialog, 1192);
        dlg.Edit(*dialog, id)->setText(text);
        dlg.Answer(MessageBoxAnswer::kOk);
        if (action == 1173)
            dlg.List(*dialog)->setCurrentRow(0);
        else
            dlg.Click(*dialog, action);
        QVERIFY(!dlg.rig.app->Prompter().HasQueuedAnswers());
        QCOMPARE(dlg.rig.boxes.texts, QStringList{message});
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->focusWidget(), dlg.Edit(*dialog, id));
        QCOMPARE(dialog->Selection(), row);
        QCOMPARE(dlg.List(*dialog)->currentRow(), row);
        QCOMPARE(dlg.Edit(*dialog, id)->text(), text);
        QCOMPARE(dlg.Sources(), (QStringList{"a", "b", "c"}));
        QCOMPARE(detailsRuns, 0);
        QCOMPARE(ReadFileBytes(dlg.rig.settingsPath), before);
    }

    // An interval that is no whole number of minutes shows as 0 minutes, unticked, and
    // is only rewritten when the user changes the interval.
    void intervalKeptUntilEdited_data()
    {
        QTest::addColumn<QString>("edit"); // "", "toggle" (tick and untick), or minutes to tick
        QTest::addColumn<QString>("stored");
        QTest::newRow("untouched") << ""
                                   << "DoInterval0=30";
        QTest::newRow("ticked and unticked") << "toggle"
                                             << "DoInterval0=30";
        QTest::newRow("set to 2 minutes") << "2"
                                          << "DoInterval0=120";
    }
    void intervalKeptUntilEdited()
    {
        QFETCH(QString, edit);
        QFETCH(QString, stored);
        CFileDlgRig dlg("Files=2\r\nNo0=<t>/a\r\nDoInterval0=30\r\nNo1=<t>/b\r\n");
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open();
        QCOMPARE(dlg.Edit(*dialog, 1013)->text(), QStringLiteral("0"));
        QVERIFY(!dlg.Check(*dialog, 1192)->isChecked());
        QVERIFY(!dlg.Edit(*dialog, 1013)->isEnabled());
        // Looking at another setting and back is no change either.
        dlg.List(*dialog)->setCurrentRow(1);
        dlg.List(*dialog)->setCurrentRow(0);
        if (!edit.isEmpty()) {
            dlg.Click(*dialog, 1192);
            QVERIFY(dlg.Edit(*dialog, 1013)->isEnabled());
            if (edit == QLatin1String("toggle"))
                dlg.Click(*dialog, 1192);
            else
                dlg.Edit(*dialog, 1013)->setText(edit);
        }
        dlg.Click(*dialog, 1);
        QVERIFY(!dialog->isVisible());
        QVERIFY(Lines(dlg.rig.settingsPath).contains(stored));
        QVERIFY(dlg.rig.boxes.texts.isEmpty());
    }

    // Cancel asks only after a real change (the order counts), stays open unless the
    // user agrees, and leaves file and model as the file has them.
    void cancelAsksAfterRealChange_data()
    {
        QTest::addColumn<int>("change"); // 0 none, else the id of a field or button
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closes");
        QTest::newRow("nothing changed") << 0 << 0 << false << true;
        QTest::newRow("only looked at the details") << 1194 << 0 << false << true;
        QTest::newRow("moved down, discarded") << 1021 << int(MessageBoxAnswer::kOk) << true << true;
        QTest::newRow("moved down, kept") << 1021 << int(MessageBoxAnswer::kCancel) << true << false;
        QTest::newRow("field typed, discarded") << 1006 << int(MessageBoxAnswer::kOk) << true << true;
        QTest::newRow("invalid number typed, kept")
            << 1012 << int(MessageBoxAnswer::kCancel) << true << false;
    }
    void cancelAsksAfterRealChange()
    {
        QFETCH(int, change);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, closes);
        CFileDlgRig dlg;
        QVERIFY(dlg.rig.started);
        const std::string before = ReadFileBytes(dlg.rig.settingsPath);
        auto dialog = dlg.Open([](int) { return int(QDialog::Rejected); });
        if (change == 1006 || change == 1012)
            dlg.Edit(*dialog, change)->setText(QStringLiteral("x"));
        else if (change != 0)
            dlg.Click(*dialog, change);
        if (asked)
            dlg.Answer(answer);
        dlg.Click(*dialog, 2);
        QVERIFY(!dlg.rig.app->Prompter().HasQueuedAnswers());
        QCOMPARE(dlg.rig.boxes.texts,
                 asked ? QStringList{QStringLiteral("変更がありましたが,本当に破棄してもよろしいですか?")}
                       : QStringList{});
        QCOMPARE(dialog->isVisible(), !closes);
        QCOMPARE(ReadFileBytes(dlg.rig.settingsPath), before);
        if (closes) {
            QCOMPARE(dlg.Sources(), (QStringList{"a", "b", "c"}));
            QCOMPARE(dlg.Record(1).CpPw, std::string("pw-b"));
        }
    }

    // Add, delete and the moves, and the file after OK: records in their new places, the
    // compression details with their settings, a new setting with the defaults where the
    // shown setting lends nothing.
    void editTheList_data()
    {
        QTest::addColumn<QStringList>("steps"); // "select n", a button id, or "type <text>" into 1006
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("lines");  // in the file after OK
        QTest::addColumn<QStringList>("absent"); // not in the file after OK
        using L = QList<int>;
        const int yes = MessageBoxAnswer::kYes;
        QTest::newRow("add from the shown setting")
            << QStringList{"select 1", "1176"} << L{yes} << QStringList{"a", "b", "c", "d"} << 3
            << QStringList{"Files=4", "No3=<t>/d", "Inc3=*.b", "CompMode3=0", "Forced3=1", "DlgCopyBig3=10"}
            << QStringList{"CpPw3=pw-b"};
        QTest::newRow("add after a delete")
            << QStringList{"select 1", "1177", "1176"} << L{yes, yes} << QStringList{"a", "c", "d"} << 2
            << QStringList{"Files=3", "No2=<t>/d", "Inc2=*.a", "CompMode2=0"}
            << QStringList{"CpPw2=pw-b", "Forced2=3"};
        QTest::newRow("add answered no")
            << QStringList{"1176"} << L{int(MessageBoxAnswer::kNo)} << QStringList{"a", "b", "c"} << 0
            << QStringList{"Files=3"} << QStringList{};
        QTest::newRow("delete the middle")
            << QStringList{"select 1", "1177"} << L{yes} << QStringList{"a", "c"} << 0
            << QStringList{"Files=2", "No1=<t>/c", "Inc1=*.c", "CompMode1=0"}
            << QStringList{"CpPw1=pw-b", "CpPw2=pw-b"};
        QTest::newRow("up takes its details along")
            << QStringList{"select 1", "1020"} << L{} << QStringList{"b", "a", "c"} << 0
            << QStringList{"No0=<t>/b", "CpPw0=pw-b", "CompMode0=3", "No1=<t>/a", "CompMode1=0"}
            << QStringList{"CpPw1=pw-b"};
        QTest::newRow("down keeps what was typed")
            << QStringList{"type *.new", "1021"} << L{} << QStringList{"b", "a", "c"} << 1
            << QStringList{"No1=<t>/a", "Inc1=*.new"} << QStringList{};
        QTest::newRow("up on the first, down on the last")
            << QStringList{"1020", "select 2", "1021"} << L{} << QStringList{"a", "b", "c"} << 2
            << QStringList{"No0=<t>/a", "No2=<t>/c"} << QStringList{};
    }
    void editTheList()
    {
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, order);
        QFETCH(int, selected);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, absent);
        CFileDlgRig dlg;
        QVERIFY(dlg.rig.started);
        const std::string folder = dlg.Path("d");
        std::vector<CBrowseRequest> requests;
        SetBrowseHook([&](const CBrowseRequest& request) {
            requests.push_back(request);
            return std::optional<std::string>(folder);
        });
        for (const int answer : answers)
            dlg.Answer(answer);
        auto dialog = dlg.Open();
        for (const QString& step : steps) {
            if (step.startsWith(QLatin1String("select ")))
                dlg.List(*dialog)->setCurrentRow(step.mid(7).toInt());
            else if (step.startsWith(QLatin1String("type ")))
                dlg.Edit(*dialog, 1006)->setText(step.mid(5));
            else
                dlg.Click(*dialog, step.toInt());
        }
        QVERIFY(!dlg.rig.app->Prompter().HasQueuedAnswers());
        QCOMPARE(dlg.Sources(), order);
        QCOMPARE(dialog->Selection(), selected);
        QCOMPARE(dlg.List(*dialog)->count(), order.size());
        QCOMPARE(dlg.List(*dialog)->currentRow(), selected);
        QCOMPARE(QString::fromStdString(FileNameOf(dlg.Edit(*dialog, 1016)->text().toStdString())),
                 order[selected]);
        if (steps.contains(QStringLiteral("1176")) && answers == QList<int>{MessageBoxAnswer::kYes}) {
            QCOMPARE(requests.size(), std::size_t(1));
            QCOMPARE(requests[0].initialFolder, dlg.Path("b"));
        }
        dlg.Click(*dialog, 1);
        QVERIFY(!dialog->isVisible());
        const QSet<QString> after = Lines(dlg.rig.settingsPath);
        const QString root = QString::fromStdString(dlg.Path(""));
        for (const QString& line : lines)
            QVERIFY2(after.contains(QString(line).replace(QLatin1String("<t>"), root)), qPrintable(line));
        for (const QString& line : absent)
            QVERIFY2(!after.contains(line), qPrintable(line));
    }

    // Refusals: the last setting cannot be deleted, the table holds at most 99.
    void refusals_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("message");
        QTest::newRow("delete the last one")
            << 1 << 1177 << QStringLiteral("１つ以上のファイル設定が必要です.");
        QTest::newRow("add the hundredth")
            << 99 << 1176 << QStringLiteral("ファイル設定は 99 個までです.これ以上追加できません.");
        QTest::newRow("drop the hundredth")
            << 99 << 0 << QStringLiteral("ファイル設定は 99 個までです.これ以上追加できません.");
    }
    void refusals()
    {
        QFETCH(int, files);
        QFETCH(int, button);
        QFETCH(QString, message);
        std::string backup = "Files=" + std::to_string(files) + "\r\n";
        for (int i = 0; i < files; ++i)
            backup += "No" + std::to_string(i) + "=<t>/a\r\n";
        CFileDlgRig dlg(backup);
        QVERIFY(dlg.rig.started);
        const std::string before = ReadFileBytes(dlg.rig.settingsPath);
        auto dialog = dlg.Open();
        dlg.Answer(MessageBoxAnswer::kOk);
        if (button != 0) {
            dlg.Click(*dialog, button);
        } else {
            QVERIFY(!dialog->AddFromFolder(dlg.Path("d"), dlg.Path("d")));
        }
        QCOMPARE(dlg.rig.boxes.texts, QStringList{message});
        QCOMPARE(dlg.List(*dialog)->count(), files);
        dlg.Click(*dialog, 2);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(ReadFileBytes(dlg.rig.settingsPath), before);
    }

    // A dropped folder is added after the question captioned with its path; anything
    // else is ignored without a word.
    void dropFolder_data()
    {
        QTest::addColumn<QString>("dropped"); // name in the tree
        QTest::addColumn<bool>("added");
        QTest::newRow("folder") << "d" << true;
        QTest::newRow("file") << "d/f.txt" << false;
        QTest::newRow("missing") << "nowhere" << false;
    }
    void dropFolder()
    {
        QFETCH(QString, dropped);
        QFETCH(bool, added);
        CFileDlgRig dlg;
        QVERIFY(dlg.rig.started);
        dlg.rig.tree.WriteFile("d/f.txt", "f");
        auto dialog = dlg.Open();
        CTitleRecorder titles;
        const QString path = QString::fromStdString(dlg.Path(dropped.toStdString().c_str()));
        if (added)
            dlg.Answer(MessageBoxAnswer::kYes);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        // Straight to the window: the application passes drops on only during a real drag.
        static_cast<QObject*>(dialog.get())->event(&drop);
        QVERIFY(!dlg.rig.app->Prompter().HasQueuedAnswers());
        QCOMPARE(dlg.rig.boxes.texts.size(), added ? 1 : 0);
        if (added)
            QCOMPARE(titles.titles, QStringList{path});
        QCOMPARE(dlg.Sources().size(), added ? 4 : 3);
        QCOMPARE(dialog->Selection(), added ? 3 : 0);
    }

    // The enabling rules in their order, with their proposals only where the user chose.
    void enablingRules_data()
    {
        QTest::addColumn<QString>("setting"); // more [Setting] lines
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QList<int>>("enabled");
        QTest::addColumn<QList<int>>("disabled");
        QTest::addColumn<QString>("expect"); // "id=text" after the steps, or empty
        using L = QList<int>;
        QTest::newRow("plain copy") << "" << 0 << L{} << QStringList{}
                                    << L{1184, 1008, 1012, 1187, 1009, 1067}
                                    << L{1194, 1049, 1011, 1022, 1013} << "";
        QTest::newRow("compressed setting, nothing proposed")
            << "" << 1 << L{} << QStringList{} << L{1194, 1049} << L{1184, 1011, 1008, 1010, 1012} << "1049=";
        QTest::newRow("date style") << "GenStyle=2\r\n"
                                    << 0 << L{} << QStringList{} << L{1009} << L{1012, 1187} << "";
        QTest::newRow("date style, compression off")
            << "GenStyle=3\r\n"
            << 1 << L{1188} << QStringList{"0"} << L{1184, 1009} << L{1012, 1187, 1011} << "";
        QTest::newRow("old files moved")
            << "" << 0 << L{1184} << QStringList{"3"} << L{1011, 1198} << L{} << "1011=%temp%";
        QTest::newRow("old files warned") << "" << 0 << L{1184, 1011, 1184} << QStringList{"3", "/x", "1"}
                                          << L{} << L{1011, 1198} << "1011=/x";
        QTest::newRow("newer backup moved")
            << "" << 0 << L{1185} << QStringList{"3"} << L{1022, 1054} << L{} << "1022=%temp%";
        QTest::newRow("large files off")
            << "" << 0 << L{1066} << QStringList{"0"} << L{} << L{1067} << "1067=0";
        QTest::newRow("large files on again")
            << "" << 0 << L{1066, 1066} << QStringList{"0", "1"} << L{1067} << L{} << "1067=0";
        QTest::newRow("periodic on") << "" << 0 << L{1192} << QStringList{"1"} << L{1013} << L{} << "";
    }
    void enablingRules()
    {
        QFETCH(QString, setting);
        QFETCH(int, row);
        QFETCH(QList<int>, ids);
        QFETCH(QStringList, values);
        QFETCH(QList<int>, enabled);
        QFETCH(QList<int>, disabled);
        QFETCH(QString, expect);
        CFileDlgRig dlg(kThree, setting.toStdString());
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open();
        dlg.List(*dialog)->setCurrentRow(row);
        for (int i = 0; i < ids.size(); ++i)
            dlg.Set(*dialog, ids[i], values[i]);
        for (const int id : enabled)
            QVERIFY2(FindControl<QWidget>(dialog.get(), id)->isEnabled(), qPrintable(QString::number(id)));
        for (const int id : disabled)
            QVERIFY2(!FindControl<QWidget>(dialog.get(), id)->isEnabled(), qPrintable(QString::number(id)));
        if (!expect.isEmpty())
            QCOMPARE(dlg.Edit(*dialog, expect.section(QLatin1Char('='), 0, 0).toInt())->text(),
                     expect.section(QLatin1Char('='), 1));
    }

    // The pickers: what they start at and what they do to their field.
    void pickers_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("picked"); // below the tree
        QTest::addColumn<QString>("initial");
        QTest::addColumn<QString>("after");
        QTest::newRow("destination") << 1199 << 1010 << ""
                                     << "d"
                                     << ""
                                     << "<t>/d";
        QTest::newRow("excluded folder appended") << 1197 << 1008 << "tmp"
                                                  << "d"
                                                  << "<t>/a"
                                                  << "tmp;d";
        QTest::newRow("included file appended") << 1193 << 1006 << ""
                                                << "d/f.txt"
                                                << "<t>/a"
                                                << "f.txt";
        QTest::newRow("program from its field") << 1200 << 1014 << "<t>/d/f.txt"
                                                << "d/f.txt"
                                                << "<t>/d/f.txt"
                                                << "<t>/d/f.txt";
        QTest::newRow("source stored and listed") << 1191 << 1016 << "<t>/a"
                                                  << "d"
                                                  << "<t>/a"
                                                  << "<t>/d";
    }
    void pickers()
    {
        QFETCH(int, button);
        QFETCH(int, field);
        QFETCH(QString, before);
        QFETCH(QString, picked);
        QFETCH(QString, initial);
        QFETCH(QString, after);
        CFileDlgRig dlg;
        QVERIFY(dlg.rig.started);
        const QString root = QString::fromStdString(dlg.Path(""));
        const auto expand = [&](QString text) { return text.replace(QLatin1String("<t>"), root); };
        std::vector<CBrowseRequest> requests;
        SetBrowseHook([&](const CBrowseRequest& request) {
            requests.push_back(request);
            return std::optional<std::string>(dlg.Path(picked.toStdString().c_str()));
        });
        auto dialog = dlg.Open();
        dlg.Edit(*dialog, field)->setText(expand(before));
        dlg.Click(*dialog, button);
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(requests[0].initialFolder), expand(initial));
        QCOMPARE(dlg.Edit(*dialog, field)->text(), expand(after));
        if (button == 1191) {
            QCOMPARE(dlg.List(*dialog)->item(0)->text(), expand(after));
            QCOMPARE(QString::fromStdString(dlg.Record(0).No.raw), expand(after));
        }
    }

    // The details button runs the compression dialog for the shown setting, with the
    // fields stored first, and shows the mode it chose.
    void detailsForTheShownSetting()
    {
        CFileDlgRig dlg;
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open();
        dlg.List(*dialog)->setCurrentRow(1);
        dlg.Edit(*dialog, 1006)->setText(QStringLiteral("*.typed"));
        QString title;
        QTimer::singleShot(0, [&] {
            auto* details = qobject_cast<CCompressConfigDlg*>(QApplication::activeModalWidget());
            QVERIFY(details);
            title = details->windowTitle();
            FindControl<QComboBox>(details, 1188)->setCurrentIndex(2);
            FindControl<QAbstractButton>(details, 1)->click();
        });
        dlg.Click(*dialog, 1194);
        QCOMPARE(title, QStringLiteral("圧縮詳細設定 - ") + QString::fromStdString(dlg.Path("b")));
        QCOMPARE(dlg.Combo(*dialog, 1188)->currentIndex(), 2);
        QCOMPARE(dlg.Edit(*dialog, 1006)->text(), QStringLiteral("*.typed"));
    }

    // Details written for a setting that was moved stay with that setting when the file
    // configuration is then cancelled.
    void cancelKeepsDetailsWithTheirSetting()
    {
        CFileDlgRig dlg;
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open([&](int index) {
            CFileSetting& record = dlg.App().Core().Settings().files[static_cast<std::size_t>(index)];
            record.CpPw = "pw-new";
            dlg.App().Core().Storage().SaveArchiverSettings(index);
            return int(QDialog::Accepted);
        });
        dlg.List(*dialog)->setCurrentRow(1);
        dlg.Click(*dialog, 1020); // b is now first
        dlg.Click(*dialog, 1194);
        dlg.Answer(MessageBoxAnswer::kOk);
        dlg.Click(*dialog, 2);
        QVERIFY(!dialog->isVisible());
        const QSet<QString> after = Lines(dlg.rig.settingsPath);
        QVERIFY(after.contains(QStringLiteral("CpPw1=pw-new")));
        QVERIFY(!after.contains(QStringLiteral("CpPw0=pw-new")));
        QCOMPARE(dlg.Sources(), (QStringList{"a", "b", "c"}));
        QCOMPARE(dlg.Record(1).CpPw, std::string("pw-new"));
        QVERIFY(dlg.Record(0).CpPw.empty());
    }

    // The menu command opens the dialog.
    void commandOpensDialog()
    {
        CFileDlgRig dlg;
        QVERIFY(dlg.rig.started);
        QString title;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CFileConfigDlg*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            title = dialog->windowTitle();
            dialog->reject();
        });
        dlg.rig.Trigger(CommandId::kFileSettings);
        QVERIFY(title.startsWith(QStringLiteral("ファイル設定 - ")));
        QVERIFY(dlg.rig.boxes.texts.isEmpty());
    }
};

QTEST_MAIN(TestFileConfigDlg)
#include "tst_file_config_dlg.moc"
