// The console program as cron and a service manager see it: a real process on real
// temporary folders, ended by -q or by SIGTERM, judged by its output, its log, the
// backup it leaves and its exit status.

#include <QtTest>
#include <csignal>

#include "engine/engine_texts.h"
#include "helpers/console_runner.h"
#include "helpers/temp_tree.h"

namespace {

constexpr int kStartMs = 20000; // the sanitizer build starts slowly
constexpr int kBackupMs = 15000;

struct CSettings
{
    std::string destination; // BakCopyPath
    std::string source;      // No0
    int dlgTimer = 30;
    std::string afterProgram; // ObsRunExe0
    std::string logFile;
};

void WriteSettings(const std::string& path, const CSettings& settings)
{
    std::string text = "[Setting]\r\nBakCopyPath=" + settings.destination
                       + "\r\nFileChkInterval=0\r\nBakDelayTime=1\r\nDispDetailInfo=1\r\nSound=0\r\n"
                         "DlgTimer="
                       + std::to_string(settings.dlgTimer) + "\r\nLogFile=" + settings.logFile
                       + "\r\n[Backup]\r\nFiles=1\r\nNo0=" + settings.source
                       + "\r\nSub0=1\r\nInc0=*.*\r\nGen0=2\r\nObsRunExe0=" + settings.afterProgram + "\r\n";
    WriteFileBytes(path, text);
}

// The backup of a file of a local source below a general destination: the whole path.
std::string BackupOf(const std::string& destination, const std::string& sourceFile)
{
    return destination + sourceFile;
}

QList<QByteArray> FieldsOf(const QByteArray& line)
{
    return line.split('\t');
}

} // namespace

class TestConsoleEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void monitorsUntilTerminated();
    void signalAbortsRunningPass();
    void quitStatus_data();
    void quitStatus();
};

void TestConsoleEndToEnd::initTestCase()
{
    QVERIFY2(QFileInfo::exists(ConsoleProgram()), "set TOVIX_BIN_DIR to the folder of tovix-console");
}

void TestConsoleEndToEnd::monitorsUntilTerminated()
{
    CTempTree tree;
    const std::string source = tree.MakeFolder("source");
    const std::string destination = tree.MakeFolder("backup");
    const std::string log = tree.Path("tovix.log");
    const std::string settings = tree.Path("watch.TVX");
    WriteSettings(settings, {destination, source, 30, {}, log});

    CConsoleRun run(tree, {"-i", QString::fromStdString(settings)});
    QVERIFY2(WaitFor([&] { return run.Shows("i", EngineText::kStateReady); }, kStartMs),
             run.Output().constData());

    // A file in the watched folder and one in a folder made after the start.
    const std::string first = tree.WriteFile("source/a.txt", "first");
    const std::string second = tree.WriteFile("source/new/b.txt", "second");
    QVERIFY2(WaitFor([&] { return tree.Read(BackupOf("backup", first)) == "first"; }, kBackupMs),
             run.Output().constData());
    QVERIFY2(WaitFor([&] { return tree.Read(BackupOf("backup", second)) == "second"; }, kBackupMs),
             run.Output().constData());
    // And a later change of the same file, by a later pass.
    tree.WriteFile("source/a.txt", "changed later");
    QVERIFY2(WaitFor([&] { return tree.Read(BackupOf("backup", first)) == "changed later"; }, kBackupMs),
             run.Output().constData());

    // Every report is one line of the seven log fields; the copy names both files.
    const QByteArray output = run.Output();
    bool copyLine = false;
    for (const QByteArray& line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = FieldsOf(line);
        QCOMPARE(fields.size(), 7);
        if (fields[0] == "F" && fields[4] == QByteArray::fromStdString(first)
            && fields[5] == QByteArray::fromStdString(destination + first))
            copyLine = true;
    }
    QVERIFY2(copyLine, output.constData());
    const QByteArray logText = QByteArray::fromStdString(ReadFileBytes(log));
    QVERIFY(logText.contains(QByteArray("\t") + QByteArray::fromStdString(second) + "\t"));

    QCOMPARE(::kill(static_cast<pid_t>(run.Process().processId()), SIGTERM), 0);
    QVERIFY(run.Process().waitForFinished(kStartMs));
    QCOMPARE(run.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.Process().exitCode(), 0);
    QVERIFY(run.Shows("i", EngineText::kEnding));
    QCOMPARE(TemporaryFilesBelow(tree.Root()), QStringList());
}

// The signal is read by the event loop, which only the pass's own pumps run while it
// copies: the pass must stop at its next step, with every backup it made whole.
void TestConsoleEndToEnd::signalAbortsRunningPass()
{
    constexpr int kFiles = 3000;
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    for (int index = 0; index < kFiles; ++index)
        tree.WriteFile("source/f" + std::to_string(index), "contents of " + std::to_string(index));
    const std::string settings = tree.Path("all.TVX");
    WriteSettings(settings, {destination, tree.Path("source"), 30, {}, {}});

    CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa"});
    QVERIFY2(WaitFor([&] { return run.Shows("F", tree.Path("source/f").c_str()); }, kStartMs),
             run.Output().constData());
    QCOMPARE(::kill(static_cast<pid_t>(run.Process().processId()), SIGTERM), 0);
    QVERIFY(run.Process().waitForFinished(kStartMs));
    QCOMPARE(run.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.Process().exitCode(), 0);

    int backups = 0;
    for (int index = 0; index < kFiles; ++index) {
        const std::string name = "source/f" + std::to_string(index);
        const std::string backup = BackupOf("backup", tree.Path(name));
        if (!tree.Exists(backup))
            continue;
        ++backups;
        QCOMPARE(tree.Read(backup), tree.Read(name));
    }
    QVERIFY2(backups > 0 && backups < kFiles, std::to_string(backups).c_str());
    QCOMPARE(TemporaryFilesBelow(tree.Root()), QStringList());
}

void TestConsoleEndToEnd::quitStatus_data()
{
    QTest::addColumn<QString>("sourceFolder"); // created with a file unless "missing"
    QTest::addColumn<QString>("destination");  // "" none, "missing" not created
    QTest::addColumn<int>("dlgTimer");
    QTest::addColumn<bool>("afterProgramMissing");
    QTest::addColumn<bool>("settingsUnusable");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("kindLetter"); // of a line that must be shown
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("backedUp");

    QTest::newRow("one full pass") << "source"
                                   << "backup" << 30 << false << false << 0 << QByteArray("i")
                                   << QByteArray(EngineText::kDone) << true;
    // The after-program is started only after a successful backup: errors, no failed setting.
    QTest::newRow("error reported") << "source"
                                    << "backup" << 30 << true << false << 1 << QByteArray("E")
                                    << QByteArray(EngineText::kAfterProgram) << true;
    QTest::newRow("source folder missing") << "missing"
                                           << "backup" << 30 << false << false << 2 << QByteArray("E")
                                           << QByteArray(EngineText::kFolderNotFound) << false;
    // Nobody answers whether the destination is to be made: the question times out.
    QTest::newRow("question unanswered")
        << "source"
        << "missing" << 1 << false << false << 2 << QByteArray("W") << QByteArray("Dialog:Timeout") << false;
    QTest::newRow("no destination") << "source"
                                    << "" << 30 << false << false << 3 << QByteArray("W")
                                    << QByteArray(EngineText::kNoDestination) << false;
    QTest::newRow("settings file unusable")
        << "source"
        << "backup" << 30 << false << true << 3 << QByteArray() << QByteArray() << false;
}

void TestConsoleEndToEnd::quitStatus()
{
    QFETCH(QString, sourceFolder);
    QFETCH(QString, destination);
    QFETCH(int, dlgTimer);
    QFETCH(bool, afterProgramMissing);
    QFETCH(bool, settingsUnusable);
    QFETCH(int, status);
    QFETCH(QByteArray, kindLetter);
    QFETCH(QByteArray, text);
    QFETCH(bool, backedUp);

    CTempTree tree;
    std::string file = tree.Path("missing/a.txt");
    if (sourceFolder != "missing")
        file = tree.WriteFile("source/a.txt", "contents");
    std::string destinationPath;
    if (!destination.isEmpty())
        destinationPath = tree.Path(destination.toStdString());
    if (destination == "backup")
        tree.MakeFolder("backup");
    const std::string settings = settingsUnusable ? tree.Path("no-such-folder/x.TVX") : tree.Path("run.TVX");
    if (!settingsUnusable)
        WriteSettings(settings, {destinationPath,
                                 tree.Path(sourceFolder.toStdString()),
                                 dlgTimer,
                                 afterProgramMissing ? tree.Path("no-such-program") : "",
                                 {}});

    CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa", "-q"});
    QVERIFY(run.Process().waitForFinished(kStartMs + dlgTimer * 1000));
    QCOMPARE(run.Process().exitStatus(), QProcess::NormalExit);
    const QByteArray errors = run.Errors();
    QVERIFY2(run.Process().exitCode() == status, (run.Output() + errors).constData());
    if (!text.isEmpty())
        QVERIFY2(run.Shows(kindLetter, text), run.Output().constData());
    if (dlgTimer == 1)
        QVERIFY2(errors.contains("  [1]"), errors.constData()); // the question with its countdown
    QCOMPARE(!destinationPath.empty() && PathExists(BackupOf(destinationPath, file)), backedUp);
}

QTEST_GUILESS_MAIN(TestConsoleEndToEnd)
#include "tst_console_end_to_end.moc"
