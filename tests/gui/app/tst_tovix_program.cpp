#include <QtTest>
#include <csignal>

#include "helpers/console_runner.h"
#include "helpers/temp_tree.h"

// The real tovix program on the offscreen platform: it backs up what changes, logs it,
// and ends like Exit, without the question, when the session or a service manager sends
// SIGTERM or the user presses Ctrl+C (SIGINT), keeping its window placement.
class TestTovixProgram : public QObject
{
    Q_OBJECT

private slots:
    void endsOnSignal_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void endsOnSignal()
    {
        QFETCH(int, signalNumber);
        CTempTree tree;
        QVERIFY(tree.IsValid());
        tree.WriteFile("src/first.txt", "first");
        tree.MakeFolder("bak");
        const std::string settings =
            tree.WriteFile("run.TVX", "[Setting]\r\nBakCopyPath=" + tree.Path("bak")
                                          + "\r\nFileChkInterval=1\r\nBakDelayTime=1\r\nLogFile="
                                          + tree.Path("tovix.log") + "\r\nRecycle2=" + tree.Path("recycle")
                                          + "\r\n[Startup]\r\ncp=0\r\n[Backup]\r\nFiles=1\r\nNo0="
                                          + tree.Path("src") + "\r\nSub0=1\r\n");

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(tree.Path("config")));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QString folder = qEnvironmentVariable("TOVIX_BIN_DIR");
        if (folder.isEmpty())
            folder = QCoreApplication::applicationDirPath();
        program.start(folder + QStringLiteral("/tovix"),
                      {QStringLiteral("-i"), QString::fromStdString(settings)});
        QVERIFY(program.waitForStarted(10000));

        // A file written once monitoring runs reaches the backup.
        const std::string backup = tree.Path("bak") + tree.Path("src");
        QVERIFY(WaitFor(
            [&] {
                return tree.Exists("tovix.log")
                       && tree.Read("tovix.log").find("バックアップ処理可能な状態です") != std::string::npos;
            },
            30000));
        tree.WriteFile("src/second.txt", "second");
        const bool backedUp = WaitFor([&] { return PathExists(backup + "/second.txt"); }, 30000);
        if (!backedUp) {
            program.kill();
            program.waitForFinished(5000);
        }
        QVERIFY2(backedUp, tree.Read("tovix.log").c_str());

        ::kill(static_cast<pid_t>(program.processId()), signalNumber);
        if (!program.waitForFinished(30000)) {
            program.kill();
            program.waitForFinished(5000);
            QFAIL("the program did not end on the signal");
        }
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(ReadFileBytes(backup + "/second.txt"), std::string("second"));
        // The placement was saved on the way out, as Exit saves it.
        QVERIFY(ReadFileBytes(settings).find("[CwFrameWnd]") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(TestTovixProgram)
#include "tst_tovix_program.moc"
