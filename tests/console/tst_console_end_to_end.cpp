// The console program as cron and a service manager see it: a real process on real
// temporary folders, ended by -q or by SIGTERM, judged by its output, its log, the
// backup it leaves and its exit status.

#include <QtTest>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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
    std::string dirExc; // DirExc0
};

void WriteSettings(const std::string& path, const CSettings& settings)
{
    std::string text = "[Setting]\r\nBakCopyPath=" + settings.destination
                       + "\r\nFileChkInterval=0\r\nBakDelayTime=1\r\nDispDetailInfo=1\r\nSound=0\r\n"
                         "DlgTimer="
                       + std::to_string(settings.dlgTimer) + "\r\nLogFile=" + settings.logFile
                       + "\r\n[Backup]\r\nFiles=1\r\nNo0=" + settings.source
                       + "\r\nSub0=1\r\nInc0=*.*\r\nGen0=2\r\nObsRunExe0=" + settings.afterProgram
                       + "\r\nDirExc0=" + settings.dirExc + "\r\n";
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
    void unusableSettingsFileEndsTheStart_data();
    void unusableSettingsFileEndsTheStart();
    void closedOutputPipe();
    void ownLogInsideTheSource_data();
    void ownLogInsideTheSource();
    void archiverOutputStaysOffTheReports();
    void installUnderAnotherPrefix();
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

// A settings file that is there but cannot be used ends the start with the reason, and
// is left exactly as it was: no template in its place, no backup copy made of nothing.
void TestConsoleEndToEnd::unusableSettingsFileEndsTheStart_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("FIFO") << "fifo" << QByteArray("通常のファイルではありません");
    QTest::newRow("another user's file") << "foreign" << QByteArray(std::strerror(EACCES));
}

void TestConsoleEndToEnd::unusableSettingsFileEndsTheStart()
{
    QFETCH(QString, what);
    QFETCH(QByteArray, reason);
    CTempTree tree;
    const std::string settings = tree.Path("x.TVX");
    const std::string contents = "[Setting]\r\nBakCopyPath=/mine\r\n[Backup]\r\nFiles=0\r\n";
    QStringList wrapper;
    if (what == "fifo") {
        QCOMPARE(::mkfifo(settings.c_str(), 0600), 0);
    } else {
        if (::geteuid() != 0)
            QSKIP("needs root to make a file another user cannot read");
        WriteFileBytes(settings, contents);
        QCOMPARE(::chmod(settings.c_str(), 0600), 0);
        QCOMPARE(::chmod(tree.Root().c_str(), 0755), 0);
        tree.MakeFolder("config");
        QCOMPARE(::chown(tree.Path("config").c_str(), 65534, 65534), 0);
        wrapper = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }

    CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-q"}, wrapper);
    QVERIFY2(run.Finish(kStartMs), "the start hangs on the settings file");
    const QByteArray errors = run.Errors();
    QVERIFY2(run.Process().exitCode() == 3, (run.Output() + errors).constData());
    QVERIFY2(errors.contains(QByteArray::fromStdString(settings)) && errors.contains(reason),
             errors.constData());
    struct stat status
    {
    };
    QCOMPARE(::lstat(settings.c_str(), &status), 0);
    if (what == "fifo")
        QVERIFY(S_ISFIFO(status.st_mode));
    else
        QCOMPARE(ReadFileBytes(settings), contents);
    QVERIFY(!tree.Exists("config/tovix/Tovix$$$.TVX"));
}

// A reader of the reports that goes away (| head -1) ends neither the run nor the
// backup: every file is backed up and the log has every line.
void TestConsoleEndToEnd::closedOutputPipe()
{
    constexpr int kFiles = 300;
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    for (int index = 0; index < kFiles; ++index)
        tree.WriteFile("source/f" + std::to_string(index), "contents of " + std::to_string(index));
    const std::string settings = tree.Path("pipe.TVX");
    const std::string log = tree.Path("tovix.log");
    WriteSettings(settings, {destination, tree.Path("source"), 30, {}, log});

    // The program's own exit status, not the one of head.
    CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa", "-q"},
                    {"bash", "-c", "\"$@\" | head -1; exit ${PIPESTATUS[0]}", "pipe"});
    QVERIFY(run.Finish(kStartMs + kBackupMs));
    QVERIFY2(run.Process().exitCode() == 0, (run.Output() + run.Errors()).constData());
    QCOMPARE(run.Output().count('\n'), 1);
    int backups = 0;
    for (int index = 0; index < kFiles; ++index)
        if (tree.Exists(BackupOf("backup", tree.Path("source/f" + std::to_string(index)))))
            ++backups;
    QCOMPARE(backups, kFiles);
    const QByteArray logText = QByteArray::fromStdString(ReadFileBytes(log));
    QVERIFY(logText.contains(EngineText::kDone));
    QVERIFY(logText.contains(EngineText::kEnding));
}

// The program's own log inside the watched source, with detail lines on: writing it is
// no change to back up, so a file saved meanwhile is backed up after the usual delay.
void TestConsoleEndToEnd::ownLogInsideTheSource_data()
{
    QTest::addColumn<QString>("logFile"); // below the source
    QTest::addColumn<QString>("dirExc");
    QTest::newRow("at the top of the source") << "tovix.log"
                                              << "";
    QTest::newRow("in a dot folder") << ".config/tovix/tovix.log"
                                     << "";
    QTest::newRow("in an excluded folder") << "logs/tovix.log"
                                           << "logs";
}

void TestConsoleEndToEnd::ownLogInsideTheSource()
{
    QFETCH(QString, logFile);
    QFETCH(QString, dirExc);
    CTempTree tree;
    const std::string source = tree.MakeFolder("source");
    if (logFile.contains('/'))
        tree.MakeFolder("source/" + logFile.section('/', 0, -2).toStdString());
    const std::string destination = tree.MakeFolder("backup");
    const std::string log = tree.Path("source/" + logFile.toStdString());
    const std::string settings = tree.Path("own-log.TVX");
    WriteSettings(settings, {destination, source, 30, {}, log, dirExc.toStdString()});

    CConsoleRun run(tree, {"-i", QString::fromStdString(settings)});
    QVERIFY2(WaitFor([&] { return run.Shows("i", EngineText::kStateReady); }, kStartMs),
             run.Output().constData());
    const std::string file = tree.WriteFile("source/a.txt", "saved");
    QVERIFY2(WaitFor([&] { return tree.Read(BackupOf("backup", file)) == "saved"; }, kBackupMs),
             run.Output().constData());
    // The log itself is written all along, inside the source.
    QVERIFY(WaitFor([&] { return QByteArray::fromStdString(ReadFileBytes(log)).contains(EngineText::kDone); },
                    kBackupMs));
}

// Standard output carries only report lines of seven fields: what an archiver prints
// without an archiver log goes to standard error.
void TestConsoleEndToEnd::archiverOutputStaysOffTheReports()
{
    CTempTree tree;
    tree.WriteFile("source/a.txt", "contents");
    const std::string destination = tree.MakeFolder("backup");
    const std::string archiver =
        tree.WriteFile("talkative-zip", "#!/bin/sh\necho archiver says hello\necho archiver warns >&2\n");
    QCOMPARE(::chmod(archiver.c_str(), 0755), 0);
    const std::string settings = tree.Path("zip.TVX");
    WriteFileBytes(settings, "[Setting]\r\nBakCopyPath=" + destination + "\r\nSound=0\r\nCpZIP=" + archiver
                                 + "\r\n[Backup]\r\nFiles=1\r\nNo0=" + tree.Path("source")
                                 + "\r\nSub0=1\r\nCompMode0=3\r\nCompFile0=" + tree.Path("backup/all")
                                 + "\r\n");

    CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa", "-q"});
    QVERIFY(run.Finish(kStartMs + kBackupMs));
    const QByteArray errors = run.Errors();
    QVERIFY2(run.Process().exitCode() == 0, (run.Output() + errors).constData());
    QVERIFY2(run.Shows("i", EngineText::kDone), run.Output().constData());
    for (const QByteArray& line : run.Output().split('\n'))
        QVERIFY2(line.isEmpty() || FieldsOf(line).size() == 7, line.constData());
    QVERIFY2(errors.contains("archiver says hello") && errors.contains("archiver warns"), errors.constData());
}

// An install moved under another prefix than the configured one (cmake --install
// --prefix ~/.local) finds its template, and so its manual, in <prefix>/share/tovix.
void TestConsoleEndToEnd::installUnderAnotherPrefix()
{
    CTempTree tree;
    tree.MakeFolder("prefix/bin");
    tree.MakeFolder("prefix/share/tovix");
    const QString program = QString::fromStdString(tree.Path("prefix/bin/tovix-console"));
    QVERIFY(QFile::copy(ConsoleProgram(), program));
    // Not the template beside the tests: only this install's own copy can give this file.
    const std::string relocatedTemplate =
        "; this install's template\r\n[Setting]\r\nBakCopyPath=\r\n[Backup]\r\nFiles=1\r\nNo0=#%HOME%\r\n";
    WriteFileBytes(tree.Path("prefix/share/tovix/Tovix_.TVX"), relocatedTemplate);

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(tree.Path("config")));
    process.setProcessEnvironment(environment);
    process.start(program, {"--print-settings"});
    QVERIFY(process.waitForFinished(kStartMs));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    QCOMPARE(ReadFileBytes(tree.Path("config/tovix/Tovix.TVX")), relocatedTemplate);
}

QTEST_GUILESS_MAIN(TestConsoleEndToEnd)
#include "tst_console_end_to_end.moc"
