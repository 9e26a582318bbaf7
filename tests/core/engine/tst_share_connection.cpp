#include <QtTest>

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/file_operation.h"
#include "engine/share_connection.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/last_error.h"
#include "platform/network_share.h"
#include "platform/path.h"
#include "settings/application_core.h"

namespace {

constexpr const char* kPrompt =
    "//srv/data/dir/file.txt\nへアクセスするユーザ名とパスワードを指定してください";

std::string CurrentUser()
{
    const passwd* entry = getpwuid(geteuid());
    return entry ? entry->pw_name : "";
}

// Environment changes for one test, undone afterwards.
class CEnvironment
{
public:
    void Set(const char* name, const std::string& value)
    {
        m_saved.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
        qputenv(name, QByteArray::fromStdString(value));
    }
    ~CEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (std::get<2>(*it))
                qputenv(std::get<0>(*it), std::get<1>(*it));
            else
                qunsetenv(std::get<0>(*it));
        }
    }

private:
    std::vector<std::tuple<const char*, QByteArray, bool>> m_saved;
};

// A stand-in for gio: appends its arguments and its input to a log, and fails until it
// has been called `succeedAt` times (0: always fails).
void WriteStandInGio(const CTempTree& tree, int succeedAt)
{
    const std::string script = "#!/bin/sh\n"
                               "PATH=/usr/bin:/bin\n"
                               "log='"
                               + tree.Path("gio.log")
                               + "'\n"
                                 "count='"
                               + tree.Path("gio.count")
                               + "'\n"
                                 "n=$(( $(cat \"$count\" 2>/dev/null || echo 0) + 1 ))\n"
                                 "echo $n > \"$count\"\n"
                                 "echo \"call $n: $*\" >> \"$log\"\n"
                                 "cat >> \"$log\"\n"
                                 "echo '<end>' >> \"$log\"\n"
                                 "if [ "
                               + std::to_string(succeedAt) + " -ne 0 ] && [ $n -ge "
                               + std::to_string(succeedAt)
                               + " ]; then exit 0; fi\n"
                                 "echo 'mount refused' >&2\n"
                                 "exit 2\n";
    const std::string path = tree.WriteFile("bin/gio", script);
    chmod(path.c_str(), 0755);
}

} // namespace

class TestShareConnection : public QObject
{
    Q_OBJECT

private slots:
    void shareRoot_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("root");
        QTest::newRow("file on a share") << "//srv/data/x/y.txt"
                                         << "//srv/data";
        QTest::newRow("share itself") << "//srv/data"
                                      << "//srv/data";
        QTest::newRow("share with separator") << "//srv/data/"
                                              << "//srv/data";
        QTest::newRow("server only") << "//srv"
                                     << "//srv";
    }
    void shareRoot()
    {
        QFETCH(QString, path);
        QFETCH(QString, root);
        QCOMPARE(GetShareRoot(path.toStdString()), root.toStdString());
    }

    void noMountHelper()
    {
        CTempTree tree;
        CEnvironment environment;
        environment.Set("PATH", "");
        environment.Set("XDG_RUNTIME_DIR", tree.Path("run"));
        CFakeHost host;
        CApplicationCore core(host.Services(), CCommandLine({"-pd"}));
        QVERIFY(!ConnectNetworkShare(core, "//srv/data/dir/file.txt"));
        QCOMPARE(GetLastSystemError(), ENOPKG);
        QVERIFY(host.prompter.credentialPrompts.empty());
    }

    void askForCredentialsUntilTheMountSucceeds()
    {
        CTempTree tree;
        WriteStandInGio(tree, 3);
        CEnvironment environment;
        environment.Set("PATH", tree.Path("bin"));
        environment.Set("XDG_RUNTIME_DIR", tree.Path("run"));
        CFakeHost host;
        host.prompter.credentialUser = "alice";
        host.prompter.credentialPassword = "s3cret";
        CApplicationCore core(host.Services(), CCommandLine({"-pd"}));

        QVERIFY(ConnectNetworkShare(core, "//srv/data/dir/file.txt"));
        QCOMPARE(GetLastSystemError(), 0);
        QCOMPARE(host.prompter.credentialPrompts, (std::vector<std::string>(3, kPrompt)));
        QCOMPARE(host.prompter.credentialUsersOffered, (std::vector<std::string>(3, CurrentUser())));
        std::string expected;
        for (int call = 1; call <= 3; ++call)
            expected += "call " + std::to_string(call) + ": mount smb://srv/data\nalice\n\ns3cret\n<end>\n";
        QCOMPARE(tree.Read("gio.log"), expected);
    }

    void cancelEndsTheQuestions()
    {
        CTempTree tree;
        WriteStandInGio(tree, 0);
        CEnvironment environment;
        environment.Set("PATH", tree.Path("bin"));
        environment.Set("XDG_RUNTIME_DIR", tree.Path("run"));
        CFakeHost host; // no user name scripted: the question is cancelled
        CApplicationCore core(host.Services(), CCommandLine({"-pd"}));
        QVERIFY(!ConnectNetworkShare(core, "//srv/data/dir/file.txt"));
        QCOMPARE(GetLastSystemError(), ECANCELED);
        QCOMPARE(host.prompter.credentialPrompts.size(), std::size_t(1));
        QVERIFY(!tree.Exists("gio.log"));
    }

    void withoutQuestionsTriesEachKindOfCredentials_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("succeedAt");
        QTest::addColumn<QStringList>("inputs"); // what gio read, per call
        QTest::addColumn<bool>("connected");
        const QString user = QString::fromStdString(CurrentUser());
        QTest::newRow("pw given, all fail")
            << QStringList{"-pw", "secret"} << 0 << QStringList{user + "\n\nsecret\n", "", user + "\n\n\n"}
            << false;
        QTest::newRow("no pw, second try works")
            << QStringList{} << 2 << QStringList{"", user + "\n\n\n"} << true;
        QTest::newRow("pw works at once")
            << QStringList{"-pwsecret"} << 1 << QStringList{user + "\n\nsecret\n"} << true;
    }
    void withoutQuestionsTriesEachKindOfCredentials()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, succeedAt);
        QFETCH(QStringList, inputs);
        QFETCH(bool, connected);
        CTempTree tree;
        WriteStandInGio(tree, succeedAt);
        CEnvironment environment;
        environment.Set("PATH", tree.Path("bin"));
        environment.Set("XDG_RUNTIME_DIR", tree.Path("run"));
        std::vector<std::string> argv;
        for (const QString& argument : arguments)
            argv.push_back(argument.toStdString());
        CFakeHost host;
        CApplicationCore core(host.Services(), CCommandLine(argv));

        QCOMPARE(ConnectNetworkShare(core, "//srv/data/dir"), connected);
        QCOMPARE(GetLastSystemError(), connected ? 0 : ENOTCONN);
        QVERIFY(host.prompter.credentialPrompts.empty());
        std::string expected;
        for (int call = 1; call <= inputs.size(); ++call)
            expected += "call " + std::to_string(call) + ": mount smb://srv/data\n"
                        + inputs[call - 1].toStdString() + "<end>\n";
        QCOMPARE(tree.Read("gio.log"), expected);
    }

    void mountedSharesResolveToTheirMount()
    {
        CTempTree tree;
        CEnvironment environment;
        environment.Set("XDG_RUNTIME_DIR", tree.Path("run"));
        environment.Set("PATH", "");
        const std::string mount = tree.MakeFolder("run/gvfs/smb-share:server=srv,share=my%20data,user=bob");
        tree.WriteFile("run/gvfs/smb-share:server=srv,share=my%20data,user=bob/dir/a.txt", "on the share");

        std::string local;
        QCOMPARE(ToLocalPath("//SRV/My Data/dir/a.txt", local), 0);
        QCOMPARE(local, mount + "/dir/a.txt");
        QCOMPARE(ToLocalPath("//srv/other/dir", local), EHOSTDOWN);
        QCOMPARE(ToLocalPath("/plain/path", local), 0);
        QCOMPARE(local, std::string("/plain/path"));

        // Already mounted: connected without any helper; file operations go through it.
        CFakeHost host;
        CApplicationCore core(host.Services(), CCommandLine{});
        QVERIFY(ConnectNetworkShare(core, "//srv/my data/dir"));
        CFileOperation operation(core);
        QCOMPARE(operation.Copy("//srv/my data/dir/a.txt", tree.Path("copy.txt")), 0);
        QCOMPARE(tree.Read("copy.txt"), std::string("on the share"));
    }
};

QTEST_GUILESS_MAIN(TestShareConnection)
#include "tst_share_connection.moc"
