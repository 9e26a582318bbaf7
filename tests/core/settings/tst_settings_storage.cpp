#include <QtTest>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "report/message_kinds.h"
#include "platform/path.h"
#include "settings/application_core.h"
#include "platform/program_paths.h"
#include "settings/text_encoding.h"

namespace {

std::string CrLf(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

// The keys of one section, in file order.
QStringList KeysOfSection(const std::string& text, const std::string& section)
{
    QStringList keys;
    bool inside = false;
    for (const QString& line : QString::fromStdString(text).split("\r\n")) {
        if (line.startsWith('['))
            inside = line == QString::fromStdString("[" + section + "]");
        else if (inside && line.contains('='))
            keys << line.section('=', 0, 0);
    }
    return keys;
}

}  // namespace

class TestSettingsStorage : public QObject
{
    Q_OBJECT

private:
    CTempTree m_tree;
    CFakeHost m_host;

    std::unique_ptr<CApplicationCore> MakeCore(std::vector<std::string> arguments = {})
    {
        return std::make_unique<CApplicationCore>(m_host.Services(), CCommandLine(std::move(arguments)));
    }

private slots:
    void init()
    {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_tree.Path("config")));
        qunsetenv("TEMP");
        qunsetenv("TMP");
        qunsetenv("TMPDIR");
        m_host.sink.Clear();
        m_host.prompter.asked.clear();
        m_host.prompter.answers.clear();
    }

    void defaultsForMissingKeys()
    {
        const std::string path = m_tree.WriteFile("a.TVX", CrLf({"[Backup]", "Files=2", "No0=/src"}));
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(path));
        const CSettingsModel& model = core->Settings();
        QCOMPARE(model.Files, 2);
        QVERIFY(model.general == CGeneralSettings());
        QCOMPARE(model.startup.cp, 1);
        QCOMPARE(model.files[0].No.expanded, std::string("/src"));
        QCOMPARE(model.files[1].No.raw, std::string());
        QCOMPARE(model.files[1].Inc, std::string("*.*"));
        QCOMPARE(model.files[1].Forced, 1);
        QCOMPARE(model.files[1].ForcedMove.raw, std::string("%temp%"));
        QCOMPARE(model.files[1].ForcedMove.expanded, std::string("/tmp"));
        QCOMPARE(model.general.StopApp,
                 std::string("スキャンディスク - *;ｽｷｬﾝﾃﾞｨｽｸ - *;最適化中 - *"));
        QCOMPARE(model.general.CpZIP, std::string("tovix-zip"));
    }

    void countOutsideTheTable_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("loaded");
        QTest::addColumn<bool>("warned");
        QTest::newRow("negative: nothing read, no template") << -3 << -3 << false;
        QTest::newRow("above the table: first 100") << 150 << 100 << true;
    }

    void countOutsideTheTable()
    {
        QFETCH(int, stored);
        QFETCH(int, loaded);
        QFETCH(bool, warned);
        const std::string text = CrLf({"[Backup]", "No0=/first", "No99=/last"})
                                 + "Files=" + std::to_string(stored) + "\r\n";
        const std::string path = m_tree.WriteFile("count.TVX", text);
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(path));
        QCOMPARE(core->Settings().Files, loaded);
        QCOMPARE(ReadFileBytes(path), text);
        QCOMPARE(core->Settings().files[0].No.raw, std::string(loaded > 0 ? "/first" : ""));
        QCOMPARE(m_host.sink.RowsOfKind(MessageKind::kWarning).size(), std::size_t(warned ? 1 : 0));
    }

    void forcedOptionsAreNotWritten()
    {
        const std::string path =
            m_tree.WriteFile("forced.TVX", CrLf({"[Startup]", "min=0", "sa=1", "[Backup]", "Files=1", "No0=/s"}));
        auto core = MakeCore({"-MIN", "-xn"});
        QVERIFY(core->LoadSettingsFile(path));
        QCOMPARE(core->Settings().startup.min, 2);
        QCOMPARE(core->Settings().startup.xn, 2);
        QCOMPARE(core->Settings().startup.sa, 1);

        CStartupOptions options = core->Settings().startup;
        options.sa = 0;
        QVERIFY(core->Storage().SaveGeneralSettings(core->Settings().general, options));
        const std::string saved = ReadFileBytes(path);
        QVERIFY(saved.find("min=0\r\n") != std::string::npos);
        QVERIFY(saved.find("xn=") == std::string::npos);
        QVERIFY(saved.find("sa=0\r\n") != std::string::npos);
        QCOMPARE(core->Settings().startup.min, 2);
    }

    void saveOrders()
    {
        const std::string path = m_tree.WriteFile("order.TVX", CrLf({"[Backup]", "Files=1", "No0=/s"}));
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(path));
        QVERIFY(core->Storage().SaveGeneralSettings(core->Settings().general, core->Settings().startup));
        QVERIFY(core->Storage().SaveFileSettings());
        const std::string text = ReadFileBytes(path);
        QCOMPARE(KeysOfSection(text, "Setting"),
                 QStringList({"FileChkInterval", "BakDelayTime", "BakCopyPath", "DispDetailInfo",
                              "DispDebugInfo", "NoDriveDir", "BakDrvAlertSize", "Forced", "Ignore2sec",
                              "LogFile", "LogLines", "LogSize", "Sound", "SoundW", "SoundE", "SoundFile",
                              "SoundWFile", "SoundEFile", "GenStyle", "YmdFmt", "BakWait", "Recycle2",
                              "StopApp", "DlgTimer"}));
        QCOMPARE(KeysOfSection(text, "Startup"),
                 QStringList({"cp", "fx", "min", "nbc", "nws", "pn", "sa", "xn"}));
        QCOMPARE(KeysOfSection(text, "Backup"),
                 QStringList({"Files", "No0", "Sub0", "Ignore0", "DoInterval0", "NoDetect0", "BakTo0",
                              "Inc0", "Exc0", "Gen0", "DirExc0", "ForcedInc0", "Forced0", "ForcedMove0",
                              "SameDateExc0", "OldDel0", "OldMove0", "NearTimeExc0", "ObsRunExe0",
                              "ObsRunArg0", "DaysFrom0", "DaysTo0", "CompMode0", "CompFile0", "ArcMode0",
                              "DlgCopyBig0", "NewBakTo0", "GenBakTo0"}));
        QVERIFY(text.find("ForcedMove0=%temp%\r\n") != std::string::npos);
    }

    void deletedSettingKeepsItsKeys()
    {
        const std::string path = m_tree.WriteFile(
            "shrink.TVX", CrLf({"[Backup]", "Files=2", "No0=/a", "No1=/b", "CpPw1=secret"}));
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(path));
        QCOMPARE(core->Settings().files[1].CpPw, std::string("secret"));
        core->Settings().Files = 1;
        QVERIFY(core->Storage().SaveFileSettings());
        const std::string text = ReadFileBytes(path);
        QVERIFY(text.find("Files=1\r\n") != std::string::npos);
        QVERIFY(text.find("No1=/b\r\n") != std::string::npos);
        QVERIFY(text.find("CpPw0") == std::string::npos);
    }

    // A setting's compression details move with it when settings are reordered or
    // deleted; a deleted setting's password does not stay for the next one at its place,
    // and a save that changes nothing leaves the file as it was.
    void archiverKeysFollowTheirSetting()
    {
        const std::string path = m_tree.WriteFile(
            "move.TVX", CrLf({"[Backup]", "Files=3", "No0=/a", "No1=/b", "No2=/c", "CpPw0=pa", "CpLog1=/log/b",
                              "CpOpt1=-b", "CpPw2=pc"}));
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(path));
        CSettingsModel& model = core->Settings();
        std::swap(model.files[0], model.files[1]); // /b moved up
        model.Files = 2;                           // /c deleted
        QVERIFY(core->Storage().SaveFileSettings());
        const std::string text = ReadFileBytes(path);

        auto reread = MakeCore();
        QVERIFY(reread->LoadSettingsFile(path));
        const CFileSetting& first = reread->Settings().files[0];
        const CFileSetting& second = reread->Settings().files[1];
        QCOMPARE(first.No.raw, std::string("/b"));
        QCOMPARE(first.CpLog, std::string("/log/b"));
        QCOMPARE(first.CpOpt, std::string("-b"));
        QCOMPARE(first.CpPw, std::string());
        QCOMPARE(second.CpPw, std::string("pa"));
        QCOMPARE(second.CpLog, std::string());
        QVERIFY(text.find("CpPw2=\r\n") != std::string::npos);
        QVERIFY(text.find("pc") == std::string::npos);

        QVERIFY(reread->Storage().SaveFileSettings());
        QCOMPARE(ReadFileBytes(path), text);
    }

    void archiverKeysOnlyThroughTheirOwnOperations()
    {
        const std::string path = m_tree.WriteFile(
            "arc.TVX", CrLf({"[Setting]", "CpRAR=/opt/rar", "[Backup]", "Files=1", "No0=/a", "CpOpt0=-x"}));
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(path));
        QCOMPARE(core->Settings().general.CpRAR, std::string("/opt/rar"));
        QCOMPARE(core->Settings().files[0].CpOpt, std::string("-x"));

        core->Settings().files[0].CpOpt = "-y";
        QVERIFY(core->Storage().LoadFileSettings());
        QCOMPARE(core->Settings().files[0].CpOpt, std::string("-y"));
        QVERIFY(core->Storage().SaveArchiverSettings(0));
        QVERIFY(ReadFileBytes(path).find("CpOpt0=-y\r\n") != std::string::npos);
    }

    void firstStart_data()
    {
        QTest::addColumn<bool>("oldFilePresent");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("expectedSource");
        QTest::newRow("template") << false << 0 << "";
        QTest::newRow("old file, Yes") << true << int(MessageBoxAnswer::kYes) << "/old/source";
        QTest::newRow("old file, No") << true << int(MessageBoxAnswer::kNo) << "";
    }

    void firstStart()
    {
        QFETCH(bool, oldFilePresent);
        QFETCH(int, answer);
        QFETCH(QString, expectedSource);
        CTempTree config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Root()));
        if (oldFilePresent)
            config.WriteFile("tovix/Tovix.INI", CrLf({"[Backup]", "Files=1", "No0=/old/source"}));
        m_host.prompter.answers = {answer};

        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile("Tovix.TVX"));
        const std::string settingsPath = config.Path("tovix/Tovix.TVX");
        QCOMPARE(core->SettingsFilePath(), settingsPath);
        QCOMPARE(FileMode(settingsPath), 0600);
        QCOMPARE(m_host.prompter.asked.size(), std::size_t(oldFilePresent ? 1 : 0));
        const CFileSetting& first = core->Settings().files[0];
        if (expectedSource.isEmpty())
            QVERIFY(IsSampleSource(first.No.raw));
        else
            QCOMPARE(QString::fromStdString(first.No.raw), expectedSource);
        QVERIFY(core->Settings().general.BakCopyPath.raw.empty());
    }

    void settingsWithoutFileSettingsAreKeptAsBackup()
    {
        CTempTree config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Root()));
        const std::string previous = CrLf({"; mine", "[Backup]", "Files=0"});
        config.WriteFile("tovix/Tovix.TVX", previous);
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile("Tovix.TVX"));
        QCOMPARE(config.Read("tovix/Tovix$$$.TVX"), previous);
        QVERIFY(core->Settings().Files > 0);
    }

    void templateCannotBeCopied()
    {
        auto core = MakeCore();
        const std::string target = m_tree.Path("missing-folder/x.TVX");
        QVERIFY(!core->LoadSettingsFile(target));
        QCOMPARE(m_host.prompter.asked.size(), std::size_t(1));
        const std::string expected =
            "'" + FindDataFile("Tovix_.TVX") + "' を '" + target + "' へコピーできませんでした";
        QCOMPARE(m_host.prompter.asked[0].text, expected);
        QVERIFY((m_host.prompter.asked[0].type & MessageBoxType::kIconMask) == MessageBoxType::kIconStop);
    }

    // What is at the settings path holds the user's settings even when it cannot be read
    // (or backed up): the start ends with the reason, and nothing there is replaced.
    void unusableSettingsFileIsNeverReplaced_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder") << "folder" << QString::fromUtf8(std::strerror(EISDIR));
        QTest::newRow("FIFO") << "fifo" << QString::fromUtf8("通常のファイルではありません");
        QTest::newRow("backup copy impossible") << "backup blocked" << QString();
    }

    void unusableSettingsFileIsNeverReplaced()
    {
        QFETCH(QString, what);
        QFETCH(QString, reason);
        CTempTree config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Root()));
        const std::string path = config.Path("x.TVX");
        const std::string previous = CrLf({"[Setting]", "BakCopyPath=/mine", "[Backup]", "Files=0"});
        if (what == "folder")
            config.MakeFolder("x.TVX");
        else if (what == "fifo")
            QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        else
            config.WriteFile("x.TVX", previous);
        if (what == "backup blocked")
            config.MakeFolder("tovix/Tovix$$$.TVX");
        struct stat before {};
        QCOMPARE(::lstat(path.c_str(), &before), 0);

        auto core = MakeCore();
        QVERIFY(!core->LoadSettingsFile(path));
        QCOMPARE(m_host.prompter.asked.size(), std::size_t(1));
        const QString text = QString::fromStdString(m_host.prompter.asked[0].text);
        QVERIFY2(text.contains(QString::fromStdString(path)) && text.contains(reason), qPrintable(text));
        struct stat after {};
        QCOMPARE(::lstat(path.c_str(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        if (what == "backup blocked")
            QCOMPARE(ReadFileBytes(path), previous);
        else
            QVERIFY(!PathExists(config.Path("tovix/Tovix$$$.TVX")));
    }

    // The template copy, like every write, goes to the file a link points to.
    void templateCopyFollowsLinks_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("dangling link") << true;
        QTest::newRow("link to a file without file settings") << false;
    }

    void templateCopyFollowsLinks()
    {
        QFETCH(bool, dangling);
        CTempTree config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Root()));
        const std::string real = config.Path("real/x.TVX");
        const std::string previous = CrLf({"; mine", "[Backup]", "Files=0"});
        if (dangling)
            config.MakeFolder("real");
        else
            config.WriteFile("real/x.TVX", previous);
        const std::string link = config.Path("link.TVX");
        QCOMPARE(::symlink(real.c_str(), link.c_str()), 0);

        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(link));
        QVERIFY(core->Settings().Files > 0);
        QVERIFY(QFileInfo(QString::fromStdString(link)).isSymLink());
        QVERIFY(ReadFileBytes(real).find("Files=") != std::string::npos);
        QCOMPARE(PathExists(config.Path("tovix/Tovix$$$.TVX")), !dangling);
        if (!dangling)
            QCOMPARE(config.Read("tovix/Tovix$$$.TVX"), previous);
    }

    void fileOfTheWindowsProgramKeepsItsJapaneseTexts()
    {
        const std::string stopApp = "スキャンディスク - *;デフラグ中 - *";
        const std::string original = Utf8ToCp932(CrLf({"[Setting]", "; 設定", "BakCopyPath=/バックアップ"})
                                                 + "StopApp=" + stopApp + "\r\n"
                                                 + CrLf({"[Backup]", "Files=1", "No0=/データ"}));
        QVERIFY(!IsValidUtf8(original));
        const std::string path = m_tree.WriteFile("win.TVX", original);
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(path));
        QCOMPARE(core->Settings().general.StopApp, stopApp);
        QCOMPARE(core->Settings().general.BakCopyPath.raw, std::string("/バックアップ"));
        QCOMPARE(core->Settings().files[0].No.raw, std::string("/データ"));

        core->Settings().files[0].Exc = "*.一時";
        QVERIFY(core->Storage().SaveFileSettings());
        const std::string saved = ReadFileBytes(path);
        QVERIFY(!IsValidUtf8(saved));
        QVERIFY(saved.find(Utf8ToCp932("Exc0=*.一時\r\n")) != std::string::npos);
        QCOMPARE(saved.substr(0, original.find("[Backup]")), original.substr(0, original.find("[Backup]")));
        QVERIFY(core->LoadSettingsFile(path));
        QCOMPARE(core->Settings().files[0].Exc, std::string("*.一時"));
    }

    // A file of the Windows program keeps its code page; a character the code page lacks
    // is refused with the reason instead of being stored as "?", and the model keeps
    // what the file holds.
    void valueTheCodePageCannotHold_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("written");
        QTest::newRow("Japanese") << QString::fromUtf8("*.一時") << true;
        QTest::newRow("a question mark of its own") << QString::fromUtf8("?.tmp;*.一?") << true;
        QTest::newRow("Korean") << QString::fromUtf8("*.한글") << false;
        QTest::newRow("emoji") << QString::fromUtf8("*.😀") << false;
    }

    void valueTheCodePageCannotHold()
    {
        QFETCH(QString, value);
        QFETCH(bool, written);
        const std::string original =
            Utf8ToCp932(CrLf({"[Setting]", "; 設定", "[Backup]", "Files=1", "No0=/データ", "Exc0=*.古い"}));
        const std::string path = m_tree.WriteFile("cp932.TVX", original);
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(path));
        m_host.sink.Clear();

        core->Settings().files[0].Exc = value.toStdString();
        QCOMPARE(core->Storage().SaveFileSettings(), written);
        const std::string expected = written ? value.toStdString() : std::string("*.古い");
        QCOMPARE(core->Settings().files[0].Exc, expected);
        QVERIFY(ReadFileBytes(path).find(Utf8ToCp932("Exc0=" + expected + "\r\n")) != std::string::npos);
        QVERIFY(ReadFileBytes(path).find("Exc0=*.?") == std::string::npos || value.contains("?"));
        const std::vector<CMessageRow> errors = m_host.sink.RowsOfKind(MessageKind::kError);
        QCOMPARE(errors.size(), std::size_t(written ? 0 : 1));
        if (!written) {
            QVERIFY(QString::fromStdString(errors[0].message).endsWith("設定ファイルに書き込めませんでした"));
            QCOMPARE(errors[0].info, std::string(std::strerror(EILSEQ)));
        }
    }

    // Temporary files of settings writes left by a killed run are removed at the next
    // load once they are old; a fresh one may belong to a run writing right now.
    void leftoverTemporaryFilesAreRemoved()
    {
        CTempTree config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Root()));
        const std::string path = config.WriteFile("s/x.TVX", CrLf({"[Backup]", "Files=1", "No0=/src"}));
        const std::time_t old = std::time(nullptr) - 2 * 60 * 60;
        const std::vector<std::string> leftovers{config.WriteFile("s/.tovix-settings-Ab12Cd", "copy", old),
                                                 config.WriteFile("s/.x.TVX.Ef34Gh", "write", old),
                                                 config.WriteFile("tovix/.tovix-settings-Ij56Kl", "backup", old)};
        const std::vector<std::string> kept{config.WriteFile("s/.tovix-settings-Mn78Op", "being written"),
                                            config.WriteFile("s/.y.TVX.Qr90St", "another file's", old),
                                            config.WriteFile("s/.tovix-settings-long-name", "not ours", old)};
        auto core = MakeCore();
        QVERIFY(core->LoadSettingsFile(path));
        for (const std::string& file : leftovers)
            QVERIFY2(!PathExists(file), file.c_str());
        for (const std::string& file : kept)
            QVERIFY2(PathExists(file), file.c_str());
    }

    void nameWithoutSlashLivesInTheConfigFolder()
    {
        CTempTree config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Root()));
        QCOMPARE(ResolveSettingsFilePath("x.TVX"), config.Path("tovix/x.TVX"));
        QCOMPARE(ResolveSettingsFilePath("./x.TVX"), std::string("./x.TVX"));
        QCOMPARE(FileMode(config.Path("tovix")), 0700);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStorage)
#include "tst_settings_storage.moc"
