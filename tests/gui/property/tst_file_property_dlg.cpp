#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <ctime>
#include <sys/stat.h>

#include "framework/control_id.h"
#include "helpers/gui_app_rig.h"
#include "platform/file_attributes.h"
#include "property/compare_window.h"
#include "property/desktop_shell.h"
#include "property/file_property_dlg.h"
#include "report/message_kinds.h"

namespace {

// Records what the dialog asks of the desktop and answers as told; starts nothing.
class CRecordingShell final : public CDesktopShell
{
public:
    bool Start(const std::string& program, const std::vector<std::string>& arguments) override
    {
        QStringList call{QString::fromStdString(program)};
        for (const std::string& argument : arguments)
            call << QString::fromStdString(argument);
        calls << QStringLiteral("start|") + call.join(QLatin1Char('|'));
        return succeed;
    }
    bool Open(const std::string& path) override
    {
        calls << QStringLiteral("open|") + QString::fromStdString(path);
        return succeed;
    }
    bool ShowInFileManager(const std::string& path) override
    {
        calls << QStringLiteral("show|") + QString::fromStdString(path);
        return succeed;
    }
    std::vector<std::string> TextEditor() override { return editor; }
    std::string FindProgram(const std::string& name) override
    {
        for (const std::string& tool : tools)
            if (tool == name)
                return "/opt/tools/" + name;
        return {};
    }

    QStringList calls;
    bool succeed = true;
    std::vector<std::string> editor{"text-editor", "--new-window"};
    std::vector<std::string> tools;
};

using Ids = PropertyId::CSideIds;

// Every button of the dialog that the disabling rules touch.
QList<int> RuleButtons()
{
    QList<int> ids;
    for (const Ids& side : {PropertyId::kSource, PropertyId::kDestination})
        ids << side.editor << side.association << side.folder << side.fileManager;
    return ids << PropertyId::kSourceCopy << PropertyId::kDestinationDelete;
}

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

struct CPropertyRig
{
    CPropertyRig()
    {
        auto recording = std::make_unique<CRecordingShell>();
        shell = recording.get();
        rig.Frame()->SetShell(std::move(recording));
    }
    std::unique_ptr<CFilePropertyDlg> Open(const std::string& source, const std::string& destination)
    {
        auto dialog = std::make_unique<CFilePropertyDlg>(
            rig.app->App().Core(), *shell,
            [this](const std::string& from, const std::string& to) { rig.Frame()->ManualCopy(from, to, to); },
            CFileProperties{source, destination, "message text", "info text"}, rig.Frame());
        dialog->show();
        return dialog;
    }
    static QString Text(QWidget& dialog, int id) { return FindControl<QLineEdit>(&dialog, id)->text(); }
    static bool Checked(QWidget& dialog, int id) { return FindControl<QCheckBox>(&dialog, id)->isChecked(); }
    static bool Enabled(QWidget& dialog, int id)
    {
        return FindControl<QPushButton>(&dialog, id)->isEnabled();
    }
    static void Click(QWidget& dialog, int id) { FindControl<QPushButton>(&dialog, id)->click(); }
    void Answer(int answer) { rig.app->Prompter().QueueAnswer(answer); }

    CGuiAppRig rig;
    CRecordingShell* shell = nullptr;
};

} // namespace

class TestFilePropertyDlg : public QObject
{
    Q_OBJECT

private slots:
    void sideTexts_data();
    void sideTexts();
    void disablingRules_data();
    void disablingRules();
    void deleteRecycles_data();
    void deleteRecycles();
    void copyAsksAndReports_data();
    void copyAsksAndReports();
    void shellActions_data();
    void shellActions();
    void compareChoosesProgram_data();
    void compareChoosesProgram();
    void listRowOpensDialog_data();
    void listRowOpensDialog();
};

// Size, times, name, place and attributes as the file system has them.
void TestFilePropertyDlg::sideTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("backedUp");
    QTest::addColumn<QString>("size");
    QTest::newRow("1536 bytes") << "a.txt" << 1536 << 0644 << false << "1.5 KB  (1536 Bytes)";
    QTest::newRow("empty, hidden, read-only, backed up")
        << ".empty" << 0 << 0444 << true << "0.0 KB  (0 Bytes)";
}

void TestFilePropertyDlg::sideTexts()
{
    QFETCH(QString, name);
    QFETCH(int, bytes);
    QFETCH(int, mode);
    QFETCH(bool, backedUp);
    QFETCH(QString, size);
    CPropertyRig p;
    const std::string path = p.rig.tree.WriteFile("files/" + name.toStdString(), std::string(bytes, 'x'));
    const std::time_t modified = LocalTime(2001, 6, 5, 9, 7, 3);
    SetFileTime(path, modified);
    if (backedUp && ClearArchiveBit(path) != 0)
        QSKIP("the file system keeps no extended attributes");
    QCOMPARE(chmod(path.c_str(), mode_t(mode)), 0);
    auto dialog = p.Open(path, p.rig.tree.Path("bak/none"));
    const Ids& s = PropertyId::kSource;

    QCOMPARE(p.Text(*dialog, s.name), name);
    QCOMPARE(p.Text(*dialog, s.location), QString::fromStdString(p.rig.tree.Path("files") + "/"));
    QCOMPARE(p.Text(*dialog, s.size), size);
    QCOMPARE(p.Text(*dialog, s.modified), QString("2001/06/05 09:07:03"));
    QCOMPARE(p.Text(*dialog, s.accessed), QString("2001/06/05 09:07:03"));
    // The birth time where the file system keeps one (it is now, not the set times).
    const QString created = p.Text(*dialog, s.created);
    QVERIFY2(
        created.isEmpty()
            || QRegularExpression("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(created).hasMatch(),
        qPrintable(created));
    QVERIFY(created != QLatin1String("2001/06/05 09:07:03"));
    QCOMPARE(p.Checked(*dialog, s.readOnly), (mode & 0200) == 0);
    QCOMPARE(p.Checked(*dialog, s.hidden), name.startsWith('.'));
    QCOMPARE(p.Checked(*dialog, s.archive), !backedUp);
    QVERIFY(!p.Checked(*dialog, s.system));
    QVERIFY(!p.Text(*dialog, s.type).isEmpty());
    QCOMPARE(p.Text(*dialog, PropertyId::kMessage), QString("message text"));
    QCOMPARE(p.Text(*dialog, PropertyId::kInfo), QString("info text"));
    // The destination does not exist: its details stay empty.
    for (int id :
         {PropertyId::kDestination.type, PropertyId::kDestination.size, PropertyId::kDestination.modified})
        QVERIFY(p.Text(*dialog, id).isEmpty());
    chmod(path.c_str(), 0644);
}

void TestFilePropertyDlg::disablingRules_data()
{
    QTest::addColumn<QString>("source");      // "file", "missing" or "" (no path)
    QTest::addColumn<QString>("destination"); // the same, or "unknown" (content without a type)
    QTest::addColumn<QList<int>>("disabled");
    const Ids& s = PropertyId::kSource;
    const Ids& d = PropertyId::kDestination;
    QTest::newRow("both files") << "file"
                                << "file" << QList<int>{};
    QTest::newRow("empty destination") << "file"
                                       << "" << QList<int>{d.editor,
                                                           d.association,
                                                           d.folder,
                                                           d.fileManager,
                                                           PropertyId::kDestinationDelete,
                                                           PropertyId::kSourceCopy};
    QTest::newRow("missing destination")
        << "file"
        << "missing" << QList<int>{d.editor, d.association, PropertyId::kDestinationDelete};
    QTest::newRow("missing source") << "missing"
                                    << "file" << QList<int>{s.editor, s.association, PropertyId::kSourceCopy};
    QTest::newRow("no type name") << "file"
                                  << "unknown" << QList<int>{d.association};
}

void TestFilePropertyDlg::disablingRules()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QList<int>, disabled);
    CPropertyRig p;
    auto path = [&p](const QString& kind, const char* name) -> std::string {
        if (kind.isEmpty())
            return {};
        if (kind == QLatin1String("missing"))
            return p.rig.tree.Path(std::string("gone/") + name);
        if (kind == QLatin1String("unknown"))
            return p.rig.tree.WriteFile(std::string("files/") + name + ".zq7",
                                        std::string("\x00\x01\x02\xff\xfe", 5));
        return p.rig.tree.WriteFile(std::string("files/") + name + ".txt", "text\n");
    };
    auto dialog = p.Open(path(source, "source"), path(destination, "backup"));
    for (int id : RuleButtons())
        QVERIFY2(p.Enabled(*dialog, id) != disabled.contains(id), qPrintable(QString::number(id)));
    const Ids& d = PropertyId::kDestination;
    QCOMPARE(p.Text(*dialog, d.type) == QLatin1String("???"), destination == QLatin1String("unknown"));
    QCOMPARE(p.Text(*dialog, d.name).isEmpty(), destination.isEmpty());
    QCOMPARE(FindControl<QLabel>(dialog.get(), d.icon)->pixmap().isNull(),
             destination.isEmpty() || destination == QLatin1String("missing"));
}

// Delete asks, recycles into Recycle2 and shows the side again: no name, place or icon,
// every button off, the old details still readable. A refusal or a failure keeps the file.
void TestFilePropertyDlg::deleteRecycles_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("occupied"); // a file of the same name already in the recycle folder
    QTest::addColumn<bool>("gone");
    QTest::newRow("yes") << int(MessageBoxAnswer::kYes) << false << true;
    QTest::newRow("no") << int(MessageBoxAnswer::kNo) << false << false;
    QTest::newRow("recycle fails") << int(MessageBoxAnswer::kYes) << true << false;
}

void TestFilePropertyDlg::deleteRecycles()
{
    QFETCH(int, answer);
    QFETCH(bool, occupied);
    QFETCH(bool, gone);
    CPropertyRig p;
    const std::string source = p.rig.tree.WriteFile("src/a.txt", std::string(1536, 's'));
    const std::string backup = p.rig.tree.WriteFile("bak/a.txt", std::string(1536, 'b'));
    if (occupied)
        p.rig.tree.WriteFile("recycle/a.txt", "earlier");
    auto dialog = p.Open(source, backup);
    const Ids& d = PropertyId::kDestination;
    p.Answer(answer);
    p.Answer(MessageBoxAnswer::kOk);
    p.rig.tee.record.beeps.clear();
    p.Click(*dialog, PropertyId::kDestinationDelete);

    QCOMPARE(p.rig.boxes.texts.first(), QString::fromStdString(backup + "\nを削除します。よろしいですか?"));
    QCOMPARE(p.rig.tree.Exists("bak/a.txt"), !gone);
    QCOMPARE(p.rig.tree.Read("recycle/a.txt") == std::string(1536, 'b'), gone);
    QCOMPARE(p.Text(*dialog, d.name).isEmpty(), gone);
    QCOMPARE(p.Text(*dialog, d.location).isEmpty(), gone);
    QCOMPARE(p.Text(*dialog, d.size), QString("1.5 KB  (1536 Bytes)"));
    QCOMPARE(FindControl<QLabel>(dialog.get(), d.icon)->pixmap().isNull(), gone);
    QCOMPARE(p.Enabled(*dialog, PropertyId::kSourceCopy), !gone);
    for (int id : {d.editor, d.association, d.folder, d.fileManager, PropertyId::kDestinationDelete})
        QCOMPARE(p.Enabled(*dialog, id), !gone);
    QCOMPARE(dialog->Properties().destination.empty(), gone);
    const bool failed = occupied;
    QCOMPARE(p.rig.boxes.texts.size(), failed ? 2 : 1);
    if (failed)
        QVERIFY(p.rig.boxes.texts.last().startsWith(
            QString::fromStdString(backup + "\nを削除できませんでした.$")));
    const std::vector<EBeep> beeps = p.rig.tee.record.beeps;
    QCOMPARE(int(beeps.size()), answer == MessageBoxAnswer::kYes ? 1 : 0);
    if (!beeps.empty())
        QCOMPARE(beeps.front(), failed ? EBeep::Exclamation : EBeep::Information);
}

// Copy is the main window's manual copy: its question, the copy, the report row; the
// sides show the new state (a backup that now exists can be deleted).
void TestFilePropertyDlg::copyAsksAndReports_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("backupExists");
    QTest::newRow("yes over a backup") << int(MessageBoxAnswer::kYes) << true;
    QTest::newRow("yes, no backup yet") << int(MessageBoxAnswer::kYes) << false;
    QTest::newRow("no") << int(MessageBoxAnswer::kNo) << true;
}

void TestFilePropertyDlg::copyAsksAndReports()
{
    QFETCH(int, answer);
    QFETCH(bool, backupExists);
    CPropertyRig p;
    const std::string source = p.rig.tree.WriteFile("src/a b.txt", std::string(2048, 'n'));
    const std::string backup =
        backupExists ? p.rig.tree.WriteFile("bak/a b.txt", "old") : p.rig.tree.Path("bak/a b.txt");
    auto dialog = p.Open(source, backup);
    QCOMPARE(p.Enabled(*dialog, PropertyId::kDestinationDelete), backupExists);
    p.rig.tee.record.reportRows.clear();
    p.Answer(answer);
    p.Click(*dialog, PropertyId::kSourceCopy);

    const bool yes = answer == MessageBoxAnswer::kYes;
    QCOMPARE(p.rig.boxes.texts, QStringList{QString::fromStdString("'" + source + "' を\n'" + backup
                                                                   + "'\nへコピーします. よろしいですか?")});
    QCOMPARE(p.rig.tree.Read("bak/a b.txt"), yes ? std::string(2048, 'n') : std::string("old"));
    const std::vector<CMessageRow> rows = p.rig.tee.record.RowsOfKind(MessageKind::kFile);
    QCOMPARE(int(rows.size()), yes ? 1 : 0);
    if (yes) {
        QCOMPARE(rows[0].message, std::string("マニュアルコピー"));
        QCOMPARE(rows[0].source, source);
        QCOMPARE(rows[0].destination, backup);
        QCOMPARE(p.Text(*dialog, PropertyId::kDestination.size), QString("2.0 KB  (2048 Bytes)"));
        QVERIFY(p.Enabled(*dialog, PropertyId::kDestinationDelete));
    }
}

// Each shell button asks the desktop for its action on its side's file; a refusal beeps
// and says that the file cannot be opened.
void TestFilePropertyDlg::shellActions_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("withEditor");
    QTest::addColumn<bool>("succeed");
    QTest::addColumn<QString>("call"); // with <S> for the source, <B> for the backup, <F> for its folder
    const Ids& s = PropertyId::kSource;
    const Ids& d = PropertyId::kDestination;
    QTest::newRow("editor") << s.editor << true << true << "start|text-editor|--new-window|<S>";
    QTest::newRow("no editor: the file's application") << d.editor << false << true << "open|<B>";
    QTest::newRow("association") << d.association << true << true << "open|<B>";
    QTest::newRow("folder") << s.folder << true << true << "open|<F>";
    QTest::newRow("file manager") << d.fileManager << true << true << "show|<B>";
    QTest::newRow("refused") << s.association << true << false << "open|<S>";
}

void TestFilePropertyDlg::shellActions()
{
    QFETCH(int, button);
    QFETCH(bool, withEditor);
    QFETCH(bool, succeed);
    QFETCH(QString, call);
    CPropertyRig p;
    const std::string source = p.rig.tree.WriteFile("files/a.txt", "a\n");
    const std::string backup = p.rig.tree.WriteFile("bak/a.txt", "b\n");
    if (!withEditor)
        p.shell->editor.clear();
    p.shell->succeed = succeed;
    auto dialog = p.Open(source, backup);
    p.rig.tee.record.beeps.clear();
    p.Answer(MessageBoxAnswer::kOk);
    p.Click(*dialog, button);
    call.replace(QLatin1String("<S>"), QString::fromStdString(source))
        .replace(QLatin1String("<B>"), QString::fromStdString(backup))
        .replace(QLatin1String("<F>"), QString::fromStdString(p.rig.tree.Path("files") + "/"));
    QCOMPARE(p.shell->calls, QStringList{call});
    QCOMPARE(p.rig.boxes.texts,
             succeed ? QStringList{} : QStringList{"関連付けされていないファイルなので開けません"});
    QCOMPARE(int(p.rig.tee.record.beeps.size()), succeed ? 0 : 1);
}

// A graphical diff tool gets both paths as arguments of their own (blanks intact); without
// one the compare window opens; when neither can run, the user is told.
void TestFilePropertyDlg::compareChoosesProgram_data()
{
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<bool>("startWorks");
    QTest::addColumn<bool>("sourceExists");
    QTest::addColumn<QString>("started");
    QTest::addColumn<bool>("window");
    QTest::addColumn<QString>("box");
    QTest::newRow("meld") << QStringList{"meld", "kdiff3"} << true << true << "meld" << false << "";
    QTest::newRow("kdiff3 only") << QStringList{"kdiff3"} << true << true << "kdiff3" << false << "";
    QTest::newRow("no tool") << QStringList{} << true << true << "" << true << "";
    QTest::newRow("tool fails, window") << QStringList{"kompare"} << false << true << "kompare" << true << "";
    QTest::newRow("nothing can run") << QStringList{"kompare"} << false << false << "kompare" << false
                                     << "kompare \"<S>\" \"<B>\"\nを起動できませんでした";
    QTest::newRow("no tool, unreadable")
        << QStringList{} << true << false << "" << false << "比較 \"<S>\" \"<B>\"\nを起動できませんでした";
}

void TestFilePropertyDlg::compareChoosesProgram()
{
    QFETCH(QStringList, tools);
    QFETCH(bool, startWorks);
    QFETCH(bool, sourceExists);
    QFETCH(QString, started);
    QFETCH(bool, window);
    QFETCH(QString, box);
    CPropertyRig p;
    const std::string source = sourceExists ? p.rig.tree.WriteFile("my files/a.txt", "one\ntwo\n")
                                            : p.rig.tree.Path("my files/a.txt");
    const std::string backup = p.rig.tree.WriteFile("bak/my files/a.txt", "one\n2\n");
    for (const QString& tool : tools)
        p.shell->tools.push_back(tool.toStdString());
    p.shell->succeed = startWorks;
    auto dialog = p.Open(source, backup);
    p.Answer(MessageBoxAnswer::kOk);
    p.Click(*dialog, PropertyId::kCompare);

    QStringList calls;
    if (!started.isEmpty())
        calls << QString::fromStdString("start|/opt/tools/" + started.toStdString() + "|" + source + "|"
                                        + backup);
    QCOMPARE(p.shell->calls, calls);
    QCOMPARE(dialog->CompareWindow() != nullptr, window);
    if (window) {
        QVERIFY(dialog->CompareWindow()->isVisible());
        QCOMPARE(dialog->CompareWindow()->Summary(), QString("1 行変更, 左だけに 0 行, 右だけに 0 行"));
    }
    box.replace(QLatin1String("<S>"), QString::fromStdString(source))
        .replace(QLatin1String("<B>"), QString::fromStdString(backup));
    QCOMPARE(p.rig.boxes.texts, box.isEmpty() ? QStringList{} : QStringList{box});
}

// A row of the lists opens the dialog with its files, message and information; a name
// that is not valid UTF-8 still names its file.
void TestFilePropertyDlg::listRowOpensDialog_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("plain name") << QByteArray("row.txt");
    QTest::newRow("not UTF-8") << QByteArray("row\xff.txt");
}

void TestFilePropertyDlg::listRowOpensDialog()
{
    QFETCH(QByteArray, name);
    CPropertyRig p;
    const std::string source = p.rig.tree.WriteFile("src/" + name.toStdString(), std::string(1536, 'r'));
    const std::string backup = p.rig.tree.WriteFile("bak/" + name.toStdString(), "b");
    CMessageListCtl* list = p.rig.Frame()->View()->ErrorList();
    list->AddRow(MessageKind::kWarning, "row message", source, backup, "row info");
    QString shown;
    std::string paths;
    bool canDelete = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CFilePropertyDlg*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        shown = QStringList{CPropertyRig::Text(*dialog, PropertyId::kSource.size),
                            CPropertyRig::Text(*dialog, PropertyId::kMessage),
                            CPropertyRig::Text(*dialog, PropertyId::kInfo)}
                    .join(QLatin1Char('|'));
        paths = dialog->Properties().source + "|" + dialog->Properties().destination;
        canDelete = CPropertyRig::Enabled(*dialog, PropertyId::kDestinationDelete);
        dialog->reject();
    });
    list->ShowProperties(list->LastRowIndex());
    QCOMPARE(shown, QString("1.5 KB  (1536 Bytes)|row message|row info"));
    QCOMPARE(paths, source + "|" + backup);
    QVERIFY(canDelete);
}

QTEST_MAIN(TestFilePropertyDlg)
#include "tst_file_property_dlg.moc"
