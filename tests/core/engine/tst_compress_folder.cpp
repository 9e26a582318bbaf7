#include <QtTest>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <unistd.h>
#include <chrono>
#include <dirent.h>
#include <dlfcn.h>
#include <fstream>
#include <memory>
#include <optional>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>
#include <zip.h>

#include "engine/backup_processor.h"
#include "engine/compress_folder.h"
#include "engine/engine_texts.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/program_lookup.h"
#include "platform/path.h"
#include "platform/program_paths.h"
#include "report/message_kinds.h"
#include "report/report_texts.h"
#include "settings/application_core.h"

using Words = std::vector<std::string>;
Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(Words)
Q_DECLARE_METATYPE(CFileSetting)

namespace {

const std::string kErrorPrefix = ReportText::kErrorPrefix;

class CIdleProcessor final : public CBackupProcessor
{
public:
    using CBackupProcessor::CBackupProcessor;
    int ProcessFile(const std::string&) override { return 0; }
    int AfterFiles() override { return 0; }
};

// A stand-in archiver: records its arguments one per line, writes a line to its output
// and ends with the exit code of TOVIX_TEST_EXIT (3 when unset).
const char* const kRecordingArchiver =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
    "echo archiver-output\n"
    "exit \"${TOVIX_TEST_EXIT:-3}\"\n";

Words ReadLines(const std::string& path)
{
    Words lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Members of a process group that have not ended (zombies waiting to be collected
// have ended).
int LiveMembersOfGroup(pid_t group)
{
    int live = 0;
    DIR* proc = opendir("/proc");
    while (const dirent* entry = proc ? readdir(proc) : nullptr) {
        const std::string stat = ReadFileBytes(std::string("/proc/") + entry->d_name + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int parent = 0;
        int processGroup = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d %d", &state, &parent, &processGroup) == 3
            && processGroup == group && state != 'Z')
            ++live;
    }
    if (proc)
        closedir(proc);
    return live;
}

// The contents of one entry, or nullopt when it cannot be opened with this password.
std::optional<std::string> ReadEntry(const std::string& archivePath, const std::string& name,
                                     const char* password)
{
    int error = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr)
        return std::nullopt;
    std::optional<std::string> contents;
    if (zip_file_t* file = zip_fopen_encrypted(archive, name.c_str(), 0, password)) {
        std::string data(4096, '\0');
        const zip_int64_t got = zip_fread(file, data.data(), data.size());
        if (got >= 0)
            contents = data.substr(0, static_cast<std::size_t>(got));
        zip_fclose(file);
    }
    zip_discard(archive);
    return contents;
}

Words EntryNames(const std::string& archivePath)
{
    Words names;
    int error = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr)
        return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i)
        names.push_back(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
    zip_discard(archive);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

class TestCompressFolder : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<CFakeHost>();
        m_core = std::make_unique<CApplicationCore>(m_host->Services(), CCommandLine{});
        m_core->State().disabled = 0;
        m_tree = std::make_unique<CTempTree>();
        QVERIFY(m_tree->IsValid());
        m_processor = std::make_unique<CIdleProcessor>(*m_core);
        CFileSetting& setting = Setting();
        setting.No.Assign(m_tree->MakeFolder("src"));
        setting.CompFile.Assign(m_tree->Path("bak/deep/work.zip"));
    }

    void commandText_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<CFileSetting>("setting");
        QTest::addColumn<std::string>("command");
        QTest::addColumn<Words>("words");
        const auto row = [](const char* tag, int mode, const char* source, const char* inc, const char* exc,
                            int sub, const char* options, const char* password, const char* log,
                            const char* command, const Words& words) {
            CFileSetting setting;
            setting.No.Assign(source);
            setting.CompFile.Assign("/bak/w.zip");
            setting.Inc = inc;
            setting.Exc = exc;
            setting.Sub = sub;
            setting.CpOpt = options;
            setting.CpPw = password;
            setting.CpLog = log;
            QTest::newRow(tag) << mode << setting << std::string(command) << words;
        };
        row("zip, two patterns, recursion", 3, "/src", "*.doc;*.xls", "", 1, "", "", "",
            "tovix-zip  -u  -rp  \"/bak/w.zip\"  \"/src/*.doc\" \"/src/*.xls\"",
            {"tovix-zip", "-u", "-rp", "/bak/w.zip", "/src/*.doc", "/src/*.xls"});
        row("lha, empty include list", 1, "/src/", "", "", 0, "", "", "",
            "UNLHA32.DLL  u -a1x1gp0n1   \"/bak/w.zip\"  \"/src/\" \"*.*\"", {});
        row("rar with log through the interpreter", 2, "/src", "*.txt", "", 0, "", "", "/logs/rar.log",
            "/bin/sh -c rar  u   \"/bak/w.zip\"  \"/src/*.txt\" >>\"/logs/rar.log\"",
            {"rar", "u", "/bak/w.zip", "/src/*.txt"});
        row("empty include items dropped", 3, "/src", "*.txt;;*.doc;", "", 0, "", "", "",
            "tovix-zip  -u   \"/bak/w.zip\"  \"/src/*.txt\" \"/src/*.doc\"",
            {"tovix-zip", "-u", "/bak/w.zip", "/src/*.txt", "/src/*.doc"});
        row("lha: log among the options, password not passed", 1, "/src", "*.*", "*.bak", 1, "-x", "secret",
            "/l/x.log",
            "UNLHA32.DLL  u -a1x1gp0n1 -gl\"/l/x.log\" -x -r1  \"-jx*.bak\" \"/bak/w.zip\"  \"/src/\" "
            "\"*.*\"",
            {});
        row("zip: password masked, passed whole; options split; excludes", 3, "/my src", "*.*", "*.tmp;~*", 1,
            "-ex \"-b/my tmp\"", "p w\"$x", "",
            "tovix-zip  -u -s**** -ex \"-b/my tmp\" -rp  \"-x*.tmp\" \"-x~*\" \"/bak/w.zip\"  \"/my "
            "src/*.*\"",
            {"tovix-zip", "-u", "-sp w\"$x", "-ex", "-b/my tmp", "-rp", "-x*.tmp", "-x~*", "/bak/w.zip",
             "/my src/*.*"});
    }

    void commandText()
    {
        QFETCH(int, mode);
        QFETCH(CFileSetting, setting);
        QFETCH(std::string, command);
        QFETCH(Words, words);

        CArchiverCommand built;
        QVERIFY(BuildArchiverCommand(CGeneralSettings{}, setting, mode, built));
        QCOMPARE(QString::fromStdString(built.reportedCommand), QString::fromStdString(command));
        QCOMPARE(built.words, words);
        if (mode == CompressionMode::kLha)
            QCOMPARE(std::string("UNLHA32.DLL ") + built.libraryArguments, command);
        if (!setting.CpPw.empty())
            QVERIFY(built.reportedCommand.find(setting.CpPw) == std::string::npos);

        setting.CompFile.Assign("");
        QVERIFY(!BuildArchiverCommand(CGeneralSettings{}, setting, mode, built));
    }

    // The library stays loaded once its entry was found, so these steps share one run.
    void lhaLibrary()
    {
        auto& general = m_core->Settings().general;
        const auto attempt = [&](const std::string& library, int expectedReturn, const std::string& note) {
            m_host->sink.Clear();
            general.CpLHA = library;
            QCOMPARE(CompressFolder(*m_processor, CompressionMode::kLha, 0), expectedReturn);
            const CMessageRow& last = m_host->sink.reportRows.back();
            QCOMPARE(last.kind, expectedReturn ? MessageKind::kFile : MessageKind::kError);
            QCOMPARE(last.message, (expectedReturn ? "" : kErrorPrefix) + EngineText::kCompressedBackup);
            QCOMPARE(last.info, note);
            QCOMPARE(last.destination, Setting().CompFile.expanded + ".LZH");
        };
        attempt(m_tree->Path("no-such-library.so"), 0, ", Err=-1");
        attempt("libm.so.6", 0, ", Err=-2");

        void* stand = dlopen(TOVIX_TEST_UNLHA_PATH, RTLD_NOW);
        QVERIFY(stand);
        const auto setResult = reinterpret_cast<void (*)(int)>(dlsym(stand, "TestUnlhaSetResult"));
        const auto lastCall = reinterpret_cast<const char* (*)()>(dlsym(stand, "TestUnlhaLastCall"));
        QVERIFY(setResult && lastCall);

        setResult(7);
        attempt(TOVIX_TEST_UNLHA_PATH, 0, ", Err=7");
        CArchiverCommand built;
        QVERIFY(BuildArchiverCommand(general, Setting(), CompressionMode::kLha, built));
        QCOMPARE(std::string(lastCall()), built.libraryArguments + "|5000");

        setResult(0);
        // Once found, the library stays: a changed name takes effect only after a restart.
        attempt(m_tree->Path("no-such-library.so"), 1, "");
        dlclose(stand);
    }

    void programArchiver_data()
    {
        QTest::addColumn<bool>("withLog");
        QTest::newRow("output not logged") << false;
        QTest::newRow("output appended to the log") << true;
    }

    void programArchiver()
    {
        QFETCH(bool, withLog);
        const std::string archiver = MakeScript("bin/archiver", kRecordingArchiver);
        m_core->Settings().general.CpZIP = archiver;
        CFileSetting& setting = Setting();
        setting.CpPw = "top $(secret)\"";
        setting.Inc = "*.doc";
        const std::string log = m_tree->WriteFile("logs/zip.log", "earlier\n");
        if (withLog)
            setting.CpLog = log;

        QCOMPARE(CompressFolder(*m_processor, CompressionMode::kZip, 0), 0);

        CArchiverCommand built;
        QVERIFY(BuildArchiverCommand(m_core->Settings().general, setting, CompressionMode::kZip, built));
        const Words expected(built.words.begin() + 1, built.words.end());
        QCOMPARE(ReadLines(m_tree->Path("bin/args")), expected);
        QVERIFY(std::find(expected.begin(), expected.end(), "-stop $(secret)\"") != expected.end());
        QCOMPARE(m_tree->Read("logs/zip.log"),
                 std::string(withLog ? "earlier\narchiver-output\n" : "earlier\n"));
        QVERIFY(m_tree->Exists("bak/deep"));

        const auto& rows = m_host->sink.reportRows;
        QVERIFY(rows.size() >= 2);
        const CMessageRow& detail = rows[rows.size() - 2];
        QCOMPARE(detail.kind, MessageKind::kDetail);
        QCOMPARE(detail.message, "圧縮処理中 (" + archiver + ")");
        QCOMPARE(detail.source, Setting().No.expanded + "/");
        QCOMPARE(detail.info, built.reportedCommand);
        QCOMPARE(rows.back().kind, MessageKind::kError);
        QCOMPARE(rows.back().info, std::string(", Exit=3"));
        for (const CMessageRow& row : rows)
            QVERIFY(row.info.find("secret") == std::string::npos
                    && row.message.find("secret") == std::string::npos);
    }

    // An archive that was not updated must not be reported as a completed backup.
    void exitCodeDecidesTheOutcome_data()
    {
        QTest::addColumn<QByteArray>("exitCode");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("result");
        QTest::newRow("0: done") << QByteArray("0") << MessageKind::kFile << 1;
        QTest::newRow("1: finished with warnings") << QByteArray("1") << MessageKind::kWarning << 1;
        QTest::newRow("2: fatal") << QByteArray("2") << MessageKind::kError << 0;
        QTest::newRow("255") << QByteArray("255") << MessageKind::kError << 0;
    }

    void exitCodeDecidesTheOutcome()
    {
        QFETCH(QByteArray, exitCode);
        QFETCH(int, kind);
        QFETCH(int, result);
        m_core->Settings().general.CpZIP = MakeScript("bin/archiver", kRecordingArchiver);
        qputenv("TOVIX_TEST_EXIT", exitCode);
        const int returned = CompressFolder(*m_processor, CompressionMode::kZip, 0);
        qunsetenv("TOVIX_TEST_EXIT");
        QCOMPARE(returned, result);
        QCOMPARE(m_host->sink.reportRows.back().kind, kind);
        QCOMPARE(m_host->sink.reportRows.back().info, ", Exit=" + exitCode.toStdString());
    }

    // Not found on PATH nor beside the program: no interpreter is started for the log.
    void startFailure()
    {
        const std::string program = "tovix-no-such-archiver";
        m_core->Settings().general.CpZIP = program;
        Setting().CpPw = "secret";
        Setting().CpLog = m_tree->Path("zip.log");

        QCOMPARE(CompressFolder(*m_processor, CompressionMode::kZip, 0), 0);

        QCOMPARE(m_host->prompter.asked.size(), std::size_t(1));
        const CAskedQuestion& question = m_host->prompter.asked.front();
        const std::string source = Setting().No.expanded + "/";
        QCOMPARE(question.text, program + "  -u -s****   \"" + Setting().CompFile.expanded + "\"  \"" + source
                                    + "*.*\"\nを起動できませんでした");
        QCOMPARE(question.type, 0x40030u);
        const CMessageRow& last = m_host->sink.reportRows.back();
        QCOMPARE(last.kind, MessageKind::kError);
        QCOMPARE(last.message, kErrorPrefix + EngineText::kCompressedBackup);
        QVERIFY2(last.info.rfind(".$00000002-", 0) == 0, last.info.c_str());
        QVERIFY(!m_tree->Exists("zip.log"));
        for (const CMessageRow& row : m_host->sink.reportRows)
            QVERIFY(row.info.find("secret") == std::string::npos
                    && row.message.find("secret") == std::string::npos);
    }

    void testModeRunsNothing()
    {
        m_core->Settings().general.CpZIP = MakeScript("bin/archiver", kRecordingArchiver);
        m_processor->run.testMode = 1;
        QCOMPARE(CompressFolder(*m_processor, CompressionMode::kZip, 0), 1);
        QVERIFY(!m_tree->Exists("bin/args"));
        QVERIFY(!m_tree->Exists("bak"));
        QCOMPARE(m_host->sink.reportRows.back().kind, MessageKind::kTest);
        QCOMPARE(m_host->sink.reportRows.back().message, std::string(EngineText::kCompressedBackup));
    }

    void abortTerminatesGroup_data()
    {
        QTest::addColumn<std::string>("prelude");
        QTest::addColumn<bool>("withLog");
        QTest::addColumn<bool>("programEnds");
        QTest::newRow("abort; ends on SIGTERM") << std::string() << false << false;
        QTest::newRow("program ends; ignores SIGTERM; through the interpreter")
            << std::string("trap '' TERM\n") << true << true;
    }

    void abortTerminatesGroup()
    {
        QFETCH(std::string, prelude);
        QFETCH(bool, withLog);
        QFETCH(bool, programEnds);
        const std::string pidFile = m_tree->Path("bin/pid");
        m_core->Settings().general.CpZIP = MakeScript(
            "bin/hang", "#!/bin/sh\n" + prelude + "sleep 120 &\necho $$ > \"" + pidFile + "\"\nwait\nwait\n");
        if (withLog)
            Setting().CpLog = m_tree->Path("hang.log");
        m_host->pump.actionsAtPump[4] = [&] {
            for (int i = 0; i < 500 && ReadFileBytes(pidFile).empty(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (programEnds)
                m_host->pump.quitting = true;
            else
                m_core->State().abortRequested = 1;
        };

        const auto started = std::chrono::steady_clock::now();
        QCOMPARE(CompressFolder(*m_processor, CompressionMode::kZip, 0), 0);
        QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(30));

        const pid_t group = std::stoi(ReadFileBytes(pidFile));
        QCOMPARE(LiveMembersOfGroup(group), 0);
        QVERIFY(group != getpgrp());
        const CMessageRow& last = m_host->sink.reportRows.back();
        QCOMPARE(last.kind, MessageKind::kError);
        QVERIFY2(last.info.rfind(".$0000007D-", 0) == 0, last.info.c_str());
    }

    void zipAdapter()
    {
        // Tests run from the folder the adapter is built into.
        const std::string adapter = GetProgramDirectory() + "tovix-zip";
        QVERIFY2(PathExists(adapter), adapter.c_str());
        // The default archiver is named without a folder and found beside the program.
        QCOMPARE(m_core->Settings().general.CpZIP, std::string("tovix-zip"));
        QCOMPARE(FindProgram("tovix-zip"), adapter);

        CFileSetting& setting = Setting();
        setting.Inc = "*.doc;*.xls";
        setting.Exc = "~*";
        setting.Sub = 1;
        setting.CpPw = "secret pass";
        const std::time_t then = 1'600'000'000;
        m_tree->WriteFile("src/a.doc", "A1", then);
        m_tree->WriteFile("src/b.doc", "B1", then);
        m_tree->WriteFile("src/notes.txt", "N", then);
        m_tree->WriteFile("src/~lock.doc", "L", then);
        m_tree->WriteFile("src/sub/c.xls", "C1", then);
        const std::string archive = setting.CompFile.expanded;

        QCOMPARE(CompressFolder(*m_processor, CompressionMode::kZip, 0), 1);
        QCOMPARE(m_host->sink.reportRows.back().info, std::string(", Exit=0"));
        QCOMPARE(EntryNames(archive), (Words{"a.doc", "b.doc", "sub/c.xls"}));
        QCOMPARE(ReadEntry(archive, "sub/c.xls", "secret pass"), std::optional<std::string>("C1"));
        QCOMPARE(ReadEntry(archive, "sub/c.xls", nullptr), std::nullopt);
        QCOMPARE(ReadEntry(archive, "sub/c.xls", "wrong"), std::nullopt);

        // Changed: a.doc (time and size). Same size and time: b.doc is taken as unchanged.
        m_tree->WriteFile("src/a.doc", "A2-longer", then + 100);
        m_tree->WriteFile("src/b.doc", "B2", then);
        m_tree->WriteFile("src/sub/deeper/d.doc", "D1", then);
        QCOMPARE(CompressFolder(*m_processor, CompressionMode::kZip, 0), 1);
        QCOMPARE(m_host->sink.reportRows.back().info, std::string(", Exit=0"));
        QCOMPARE(EntryNames(archive), (Words{"a.doc", "b.doc", "sub/c.xls", "sub/deeper/d.doc"}));
        QCOMPARE(ReadEntry(archive, "a.doc", "secret pass"), std::optional<std::string>("A2-longer"));
        QCOMPARE(ReadEntry(archive, "b.doc", "secret pass"), std::optional<std::string>("B1"));
        QCOMPARE(ReadEntry(archive, "sub/deeper/d.doc", "secret pass"), std::optional<std::string>("D1"));
    }

    // A file the adapter cannot read is named and left out; the rest is stored and the
    // status says some files failed. Old temporary archives of killed runs go, a fresh
    // one (another run may be writing it) stays.
    void zipSkipsWhatCannotBeRead()
    {
        if (geteuid() != 0)
            QSKIP("needs root to make a file the adapter's user cannot read");
        const std::string adapter = GetProgramDirectory() + "tovix-zip";
        QCOMPARE(::chmod(m_tree->Root().c_str(), 0755), 0);
        m_tree->WriteFile("src/a.txt", "A");
        const std::string secret = m_tree->WriteFile("src/secret.txt", "S");
        QCOMPARE(::chmod(secret.c_str(), 0600), 0);
        m_tree->WriteFile("src/z.txt", "Z");
        const std::string folder = m_tree->MakeFolder("zip");
        const std::string old = m_tree->WriteFile("zip/out.zip.Ab12Cd", "left by a killed run",
                                                  std::time(nullptr) - 2 * 60 * 60);
        const std::string fresh = m_tree->WriteFile("zip/out.zip.Ef34Gh", "being written");
        QCOMPARE(::chown(folder.c_str(), 65534, 65534), 0);
        QCOMPARE(::chown(old.c_str(), 65534, 65534), 0);

        QProcess zip;
        zip.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", QString::fromStdString(adapter),
                              QString::fromStdString(folder + "/out.zip"), QString::fromStdString(m_tree->Path("src"))});
        QVERIFY(zip.waitForFinished(30000));
        const QByteArray errors = zip.readAllStandardError();
        QVERIFY2(zip.exitStatus() == QProcess::NormalExit && zip.exitCode() == 1, errors.constData());
        QVERIFY2(errors.contains(QByteArray::fromStdString(secret)), errors.constData());
        QCOMPARE(EntryNames(folder + "/out.zip"), (Words{"a.txt", "z.txt"}));
        QVERIFY(!PathExists(old));
        QVERIFY(PathExists(fresh));
    }

    // Stopped while it writes, the adapter removes its temporary archive.
    void zipStoppedLeavesNoTemporaryFile()
    {
        const std::string adapter = GetProgramDirectory() + "tovix-zip";
        std::string noise(96 << 20, '\0');
        std::uint64_t state = 0x9e3779b97f4a7c15ULL;
        for (char& c : noise) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            c = static_cast<char>(state >> 56);
        }
        m_tree->WriteFile("src/noise.bin", noise);
        const std::string folder = m_tree->MakeFolder("zip");
        QProcess zip;
        zip.start(QString::fromStdString(adapter),
                  {QString::fromStdString(folder + "/out.zip"), QString::fromStdString(m_tree->Path("src"))});
        const auto temporaryFiles = [&folder] {
            return QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden);
        };
        QDeadlineTimer deadline(30000);
        while (temporaryFiles().isEmpty() && zip.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(5);
        QVERIFY2(!temporaryFiles().isEmpty(), "the archive was not being written");
        // A machine busy enough to hold this test back for the whole write lets the
        // archive be finished before the stop: nothing to judge then.
        if (zip.state() == QProcess::NotRunning)
            QSKIP("the archive was complete before it could be stopped");
        QCOMPARE(::kill(static_cast<pid_t>(zip.processId()), SIGTERM), 0);
        QVERIFY(zip.waitForFinished(30000));
        QCOMPARE(zip.exitStatus(), QProcess::NormalExit);
        if (zip.exitCode() == 0)
            QSKIP("the archive was complete before the stop reached it");
        QCOMPARE(zip.exitCode(), 128 + SIGTERM);
        QCOMPARE(temporaryFiles(), QStringList());
    }

    void zipArchiveInsideSource()
    {
        // An archive inside the source folder never goes into itself.
        CFileSetting& setting = Setting();
        m_tree->WriteFile("src/a.txt", "A");
        setting.CompFile.Assign(m_tree->Path("src/self.zip"));
        QCOMPARE(CompressFolder(*m_processor, CompressionMode::kZip, 0), 1);
        QCOMPARE(m_host->sink.reportRows.back().info, std::string(", Exit=0"));
        m_tree->WriteFile("src/b.txt", "B");
        QCOMPARE(CompressFolder(*m_processor, CompressionMode::kZip, 0), 1);
        QCOMPARE(EntryNames(setting.CompFile.expanded), (Words{"a.txt", "b.txt"}));
    }

private:
    CFileSetting& Setting() { return m_core->Settings().files[0]; }

    std::string MakeScript(const std::string& relative, const std::string& text)
    {
        const std::string path = m_tree->WriteFile(relative, text);
        chmod(path.c_str(), 0755);
        return path;
    }

    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
    std::unique_ptr<CTempTree> m_tree;
    std::unique_ptr<CIdleProcessor> m_processor;
};

QTEST_GUILESS_MAIN(TestCompressFolder)
#include "tst_compress_folder.moc"
