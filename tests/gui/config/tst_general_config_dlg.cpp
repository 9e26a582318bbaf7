#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "config/config_texts.h"
#include "config/general_config_dlg.h"
#include "config/list_font_command.h"
#include "config/pickers.h"
#include "framework/control_id.h"
#include "framework/list_font.h"
#include "helpers/gui_app_rig.h"
#include "mainwnd/command_ids.h"

namespace {

// The lines of the settings file, to tell which keys a write changed.
QSet<QString> Lines(const std::string& path)
{
    const QStringList lines = QString::fromStdString(ReadFileBytes(path)).split(QStringLiteral("\r\n"));
    return QSet<QString>(lines.begin(), lines.end());
}

struct CDialogRig
{
    explicit CDialogRig(std::vector<std::string> arguments = {}, const std::string& settingLines = {})
        : rig(settingLines, std::move(arguments))
    {
    }

    std::unique_ptr<CGeneralConfigDlg> Open()
    {
        auto dialog = std::make_unique<CGeneralConfigDlg>(
            rig.app->App(), rig.Frame(), [this] { ++helpRuns; }, [](const QFont&) {});
        dialog->show();
        return dialog;
    }
    // One OK without changes first, so that every key of the dialog is in the file and a
    // later write shows only what it changed.
    void Complete()
    {
        auto dialog = Open();
        Click(*dialog, 1);
    }
    static QLineEdit* Edit(QWidget& dialog, int id) { return FindControl<QLineEdit>(&dialog, id); }
    static QCheckBox* Check(QWidget& dialog, int id) { return FindControl<QCheckBox>(&dialog, id); }
    static QComboBox* Combo(QWidget& dialog, int id) { return FindControl<QComboBox>(&dialog, id); }
    static void Click(QWidget& dialog, int id) { FindControl<QAbstractButton>(&dialog, id)->click(); }
    int Restarts() const { return int(rig.notifiers.watchedFolders.size()); }

    CGuiAppRig rig;
    int helpRuns = 0;
};

} // namespace

class TestGeneralConfigDlg : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        SetBrowseHook({});
        SetFontChooserHook({});
    }

    // OK writes what changed and nothing else; monitoring is set up anew only for the
    // destination, the recycle substitute and the list length.
    void okWritesChanges_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text"); // for a check box: "0" or "1"
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("detection interval") << 1000 << "7" << QStringList{"FileChkInterval=7"} << false;
        QTest::newRow("list lines") << 1009 << "300" << QStringList{"LogLines=300"} << true;
        QTest::newRow("list lines lowest") << 1009 << "10" << QStringList{"LogLines=10"} << true;
        QTest::newRow("list lines highest") << 1009 << "9999" << QStringList{"LogLines=9999"} << true;
        QTest::newRow("destination") << 1002 << "/elsewhere" << QStringList{"BakCopyPath=/elsewhere"} << true;
        QTest::newRow("detail info off") << 1006 << "0" << QStringList{"DispDetailInfo=0"} << false;
        QTest::newRow("recycle off") << 1024 << "0" << QStringList{"Recycle2="} << true;
        QTest::newRow("watched apps") << 1029 << "a b" << QStringList{"StopApp=a b"} << false;
        QTest::newRow("start minimised") << 1030 << "1" << QStringList{"min=1"} << false;
        // A bare log file name goes into the destination.
        QTest::newRow("bare log name") << 1017 << "my.log" << QStringList{"LogFile=<bak>/my.log"} << false;
    }
    void okWritesChanges()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QStringList, changed);
        QFETCH(bool, restarts);
        CDialogRig dlg;
        QVERIFY(dlg.rig.started);
        dlg.Complete();
        const QSet<QString> before = Lines(dlg.rig.settingsPath);
        const int restartsBefore = dlg.Restarts();
        auto dialog = dlg.Open();
        if (id == 1017)
            dlg.Click(*dialog, 1194);
        if (QLineEdit* edit = dlg.Edit(*dialog, id))
            edit->setText(text);
        else if (dlg.Check(*dialog, id)->isChecked() != (text == QLatin1String("1")))
            dlg.Click(*dialog, id);
        dlg.Click(*dialog, 1);
        QVERIFY(!dialog->isVisible());
        const QSet<QString> after = Lines(dlg.rig.settingsPath);
        QSet<QString> expected;
        for (const QString& line : changed)
            expected << QString(line).replace(QStringLiteral("<bak>"),
                                              QString::fromStdString(dlg.rig.tree.Path("bak")));
        QCOMPARE(after - before, expected);
        QCOMPARE((before - after).size(), expected.size());
        QCOMPARE(dlg.Restarts() > restartsBefore, restarts);
    }

    // Every field is checked before anything is written: a refused field leaves file and
    // model as they were, keeps the dialog open and takes the focus, the first failing
    // field in the dialog's order winning.
    void invalidWritesNothing_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("otherId");
        QTest::addColumn<QString>("otherText");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("focusId");
        const QString range = QStringLiteral("Please enter an integer between 10 and 9999.");
        QTest::newRow("lines below range") << 1009 << "5" << 0 << "" << range << 1009;
        QTest::newRow("lines above range") << 1009 << "10000" << 0 << "" << range << 1009;
        QTest::newRow("lines not a number") << 1009 << "abc" << 0 << ""
                                            << "Please enter a positive integer." << 1009;
        QTest::newRow("lines negative") << 1009 << "-20" << 0 << ""
                                        << "Please enter a positive integer." << 1009;
        QTest::newRow("interval not a number") << 1000 << "x" << 0 << ""
                                               << "Please enter an integer." << 1000;
        QTest::newRow("log size after lines") << 1012 << "x" << 1009 << "5" << range << 1009;
        QTest::newRow("timer after a valid change") << 1028 << "1.5" << 1000 << "7" << "Please enter an integer." << 1028;
    }
    void invalidWritesNothing()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(int, otherId);
        QFETCH(QString, otherText);
        QFETCH(QString, message);
        QFETCH(int, focusId);
        CDialogRig dlg;
        QVERIFY(dlg.rig.started);
        dlg.Complete();
        const std::string before = ReadFileBytes(dlg.rig.settingsPath);
        const CGeneralSettings modelBefore = dlg.rig.app->App().Core().Settings().general;
        const int restartsBefore = dlg.Restarts();
        auto dialog = dlg.Open();
        dlg.Edit(*dialog, id)->setText(text);
        if (otherId != 0)
            dlg.Edit(*dialog, otherId)->setText(otherText);
        dlg.rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        dlg.Click(*dialog, 1);
        QVERIFY(!dlg.rig.app->Prompter().HasQueuedAnswers());
        QCOMPARE(dlg.rig.boxes.texts, QStringList{message});
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->focusWidget(), dlg.Edit(*dialog, focusId));
        QCOMPARE(ReadFileBytes(dlg.rig.settingsPath), before);
        QVERIFY(dlg.rig.app->App().Core().Settings().general == modelBefore);
        QCOMPARE(dlg.Restarts(), restartsBefore);
    }

    // Cancel writes nothing and puts the file's values back.
    void cancelWritesNothing()
    {
        CDialogRig dlg;
        QVERIFY(dlg.rig.started);
        const std::string before = ReadFileBytes(dlg.rig.settingsPath);
        auto dialog = dlg.Open();
        dlg.Edit(*dialog, 1009)->setText(QStringLiteral("300"));
        dlg.Click(*dialog, 1024);
        dlg.Click(*dialog, 2);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(ReadFileBytes(dlg.rig.settingsPath), before);
        QCOMPARE(dlg.rig.app->App().Core().Settings().general.LogLines, 200);
        QCOMPARE(dlg.rig.app->App().Core().Settings().general.Recycle2.raw, dlg.rig.tree.Path("recycle"));
    }

    // The enabling rules and their proposals.
    void enablingRules()
    {
        CDialogRig dlg;
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open();
        QLineEdit* log = dlg.Edit(*dialog, 1017);
        QVERIFY(!dlg.Check(*dialog, 1194)->isChecked());
        QVERIFY(!log->isEnabled());
        dlg.Click(*dialog, 1194);
        QCOMPARE(log->text().toStdString(), dlg.rig.tree.Path("bak") + "/TovixLog.txt");
        QVERIFY(log->isEnabled());
        dlg.Click(*dialog, 1194);
        QVERIFY(!log->isEnabled());
        QVERIFY(!log->text().isEmpty());

        QLineEdit* recycle = dlg.Edit(*dialog, 1025);
        QCOMPARE(recycle->text().toStdString(), dlg.rig.tree.Path("recycle"));
        dlg.Click(*dialog, 1024);
        QVERIFY(recycle->text().isEmpty());
        QVERIFY(!recycle->isEnabled());
        dlg.Click(*dialog, 1024);
        QCOMPARE(recycle->text(), QStringLiteral("%TEMP%/Recycle2.TVX"));
        QVERIFY(recycle->isEnabled());

        QComboBox* dates = dlg.Combo(*dialog, 1053);
        for (const int style : {0, 1, 2, 3}) {
            dlg.Combo(*dialog, 1052)->setCurrentIndex(style);
            QCOMPARE(dates->isEnabled(), style >= 2);
        }
        QVERIFY(dlg.Edit(*dialog, 1020)->isEnabled()); // Sound=1 by default
        dlg.Click(*dialog, 1010);
        QVERIFY(!dlg.Edit(*dialog, 1020)->isEnabled());
    }

    // An option given on the command line shows in the third state, cannot be changed and
    // is not written; the others are.
    void commandLineOptionNotWritten()
    {
        CDialogRig dlg({"-nbc"});
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open();
        QCheckBox* box = dlg.Check(*dialog, 1034);
        QCOMPARE(box->checkState(), Qt::PartiallyChecked);
        QVERIFY(!box->isEnabled());
        QVERIFY(dlg.Check(*dialog, 1030)->isEnabled());
        dlg.Click(*dialog, 1);
        CProfileStore& file = dlg.rig.app->App().Core().Profile();
        QCOMPARE(file.GetProfileString("Startup", "nbc", "<none>"), std::string("<none>"));
        QCOMPARE(file.GetProfileString("Startup", "nws", "<none>"), std::string("0"));
    }

    // The menu command opens the dialog with its title; automatic processing is held while
    // it is open and comes back when it goes, whichever way it closes.
    void holdWhileOpen()
    {
        CDialogRig dlg;
        QVERIFY(dlg.rig.started);
        dlg.rig.State().processingEnabled = 1;
        QString title;
        int enabledInside = -1;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CGeneralConfigDlg*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            title = dialog->windowTitle();
            enabledInside = dlg.rig.State().processingEnabled;
            dlg.Click(*dialog, 9);
            dialog->close();
        });
        dlg.rig.Trigger(CommandId::kGeneralSettings);
        QCOMPARE(title, QStringLiteral("一般設定 - ") + QString::fromStdString(dlg.rig.settingsPath));
        QCOMPARE(enabledInside, 0);
        QCOMPARE(dlg.rig.State().processingEnabled, 1);
        QCOMPARE(dlg.rig.launched.size() + dlg.rig.opened.size(), std::size_t(1)); // the manual
    }

    // The ".." buttons: folders from the stored destination, files from the field; the
    // answer replaces the field, a cancel leaves it.
    void pickers_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("files");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("destination") << 1004 << 1002 << false << "適当なフォルダを選択してください" << true;
        QTest::newRow("log file") << 1005 << 1017 << true << "適当なファイルを選択してください" << true;
        QTest::newRow("warning sound")
            << 1016 << 1021 << true << "適当なサウンドファイル (*.WAV) を選択してください" << true;
        QTest::newRow("recycle cancelled")
            << 1027 << 1025 << false << "適当なフォルダを選択してください" << false;
    }
    void pickers()
    {
        QFETCH(int, button);
        QFETCH(int, field);
        QFETCH(bool, files);
        QFETCH(QString, prompt);
        QFETCH(bool, confirm);
        CDialogRig dlg({}, "LogFile=/var/log/t.log\r\nSoundW=1\r\nSoundWFile=/snd/w.wav\r\n");
        QVERIFY(dlg.rig.started);
        auto dialog = dlg.Open();
        const QString before = dlg.Edit(*dialog, field)->text();
        std::vector<CBrowseRequest> asked;
        SetBrowseHook([&](const CBrowseRequest& request) -> std::optional<std::string> {
            asked.push_back(request);
            return confirm ? std::optional<std::string>("/chosen/item") : std::nullopt;
        });
        dlg.Click(*dialog, button);
        QCOMPARE(int(asked.size()), 1);
        QCOMPARE(QString::fromStdString(asked[0].prompt), prompt);
        QCOMPARE((asked[0].flags & BrowseFlag::kIncludeFiles) != 0, files);
        const std::string initial = button == 1004   ? dlg.rig.tree.Path("bak")
                                    : button == 1027 ? dlg.rig.tree.Path("recycle")
                                                     : before.toStdString();
        QCOMPARE(asked[0].initialFolder, initial);
        QCOMPARE(dlg.Edit(*dialog, field)->text(), confirm ? QStringLiteral("/chosen/item") : before);
    }

    // The font command writes the font at once and puts it on the lists; a font that
    // cannot be made is refused and the stored one stays.
    void listFont_data()
    {
        QTest::addColumn<bool>("known");
        QTest::newRow("known family") << true;
        QTest::newRow("unknown family") << false;
    }
    void listFont()
    {
        QFETCH(bool, known);
        CDialogRig dlg({}, "FontName=Old\r\nFontData=-12 0 0 0 400 0 128 3 2 1 49\r\n");
        QVERIFY(dlg.rig.started);
        QFont chosen(known ? QFontDatabase::families().constFirst() : QStringLiteral("No Such Family 42"));
        chosen.setPixelSize(17);
        chosen.setBold(true);
        chosen.setItalic(true);
        SetFontChooserHook([&](const QFont&) { return std::optional<QFont>(chosen); });
        const std::string before = ReadFileBytes(dlg.rig.settingsPath);
        if (!known)
            dlg.rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        dlg.rig.Trigger(CommandId::kFont);
        CProfileStore& file = dlg.rig.app->App().Core().Profile();
        if (!known) {
            QCOMPARE(dlg.rig.boxes.texts, QStringList{QStringLiteral("Unable to Create Font")});
            QCOMPARE(ReadFileBytes(dlg.rig.settingsPath), before);
            return;
        }
        const std::string name = file.GetProfileString("Setting", "FontName", "");
        const std::string data = file.GetProfileString("Setting", "FontData", "");
        QCOMPARE(QString::fromStdString(name), chosen.family());
        // Numbers Qt does not know are kept as they were.
        QCOMPARE(data, std::string("-17 0 0 0 700 1 128 3 2 1 49"));
        const QFont readBack = ListFontFromSettings(name, data, QFont());
        QCOMPARE(readBack.family(), chosen.family());
        QCOMPARE(readBack.pixelSize(), 17);
        QVERIFY(readBack.bold());
        QVERIFY(readBack.italic());
        QCOMPARE(dlg.rig.Frame()->View()->ReportList()->font().pixelSize(), 17);
    }
};

QTEST_MAIN(TestGeneralConfigDlg)
#include "tst_general_config_dlg.moc"
