#include <QtTest>

#include "settings/command_line.h"
#include "platform/expand_path.h"

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void option_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("value");

        const QStringList dashPath{"-i", "/path/with-dash/a.TVX", "-min"};
        QTest::newRow("value in next argument keeps its dash") << dashPath << "i" << true << "/path/with-dash/a.TVX";
        QTest::newRow("option after a value") << dashPath << "min" << true << "";
        QTest::newRow("value in the same argument") << QStringList{"-iname.TVX"} << "i" << true << "name.TVX";
        QTest::newRow("case ignored") << QStringList{"-MIN"} << "min" << true << "";
        QTest::newRow("prefix of a longer word") << QStringList{"-quiet"} << "q" << true << "uiet";
        QTest::newRow("slash starts no option") << QStringList{"/min"} << "min" << false << "";
        QTest::newRow("absent") << QStringList{"-sa", "-q"} << "xn" << false << "";
        QTest::newRow("long options are not short ones") << QStringList{"--min"} << "min" << false << "";
        QTest::newRow("next option is no value") << QStringList{"-pw", "-sa"} << "pw" << true << "";
        QTest::newRow("password with blanks") << QStringList{"-pw", "a b"} << "pw" << true << "a b";
        QTest::newRow("missing value at the end") << QStringList{"-i"} << "i" << true << "";
    }

    void option()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, name);
        QFETCH(bool, present);
        QFETCH(QString, value);

        std::vector<std::string> args;
        for (const auto& argument : arguments)
            args.push_back(argument.toStdString());
        const CCommandLine commandLine(args);
        std::string found = "unchanged";
        QCOMPARE(commandLine.GetCommandLineOption(name.toStdString(), &found), present);
        QCOMPARE(QString::fromStdString(found), value);
    }

    void longOptions()
    {
        const CCommandLine commandLine({"--help", "-v"});
        QVERIFY(commandLine.HasLongOption("help"));
        QVERIFY(!commandLine.HasLongOption("version"));
    }

    void expandPath_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("expanded");

        QTest::newRow("plain") << "/a/b" << "/a/b";
        QTest::newRow("exact name") << "%TOVIX_TEST_VAR%/x" << "/data/x";
        QTest::newRow("case ignored") << "%tovix_test_var%/x" << "/data/x";
        QTest::newRow("unknown stays") << "%NO_SUCH_VAR_X%/x" << "%NO_SUCH_VAR_X%/x";
        QTest::newRow("unknown then known") << "%NO_SUCH_VAR_X%TOVIX_TEST_VAR%" << "%NO_SUCH_VAR_X/data";
        QTest::newRow("two references") << "%TOVIX_TEST_VAR%%TOVIX_TEST_VAR%" << "/data/data";
        QTest::newRow("lone percent") << "100%" << "100%";
        QTest::newRow("empty reference") << "a%%b" << "a%%b";
        QTest::newRow("temp falls back") << "%temp%/t" << "/tmp/t";
    }

    void expandPath()
    {
        QFETCH(QString, raw);
        QFETCH(QString, expanded);
        qputenv("TOVIX_TEST_VAR", "/data");
        qunsetenv("TEMP");
        qunsetenv("TMP");
        qunsetenv("TMPDIR");
        QCOMPARE(QString::fromStdString(ExpandPath(raw.toStdString())), expanded);
    }

    void expandPathHasNoLengthLimit()
    {
        const std::string longValue(5000, 'x');
        qputenv("TOVIX_TEST_LONG", longValue.c_str());
        QCOMPARE(ExpandPath("%TOVIX_TEST_LONG%/y"), longValue + "/y");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
