#include <QtTest>

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "decision_rows.h"
#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "helpers/engine_rig.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/file_attributes.h"
#include "platform/path.h"
#include "settings/application_core.h"

namespace {

constexpr std::time_t kNow = 1'700'000'000; // 2023-11-14 22:13:20 UTC
constexpr std::time_t kDay = 86400;
constexpr off_t kTenMegabytes = 10 * 1048576;

// One file's situation before ProcessFile and what must come of it. In expected rows
// {S}, {D}, {N} and {M} stand for the source, backup, new-file and move-folder paths.
struct CDecisionCase
{
    bool sourceExists = true;
    std::time_t sourceAge = 100;
    std::string sourceBytes = "new";
    bool sourceReadOnly = false;
    bool backupExists = true;
    std::time_t backupAge = 100;
    std::string backupBytes = "old";
    std::function<void(CBackupProcessor&, CApplicationCore&, CFakeHost&)> setup{};
    std::vector<CRow> expected{};
    std::optional<std::string> backupAfter{};
    std::string sourceAfter = "new";
    std::optional<std::string> movedAfter{};
    long copies = 0;
};

} // namespace

Q_DECLARE_METATYPE(CDecisionCase)

class TestProcessFile : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
    std::unique_ptr<CTempTree> m_tree;
    std::unique_ptr<CBackupProcessor> m_processor;
    std::string m_source;
    std::string m_backup;
    std::string m_newFile;
    std::string m_moved;

    // The decision's own rows: folder-created and generation details are left out.
    std::vector<CRow> Rows() const { return DecisionRows(m_host->sink, EngineText::kOnDir); }

    std::vector<CRow> Resolve(std::vector<CRow> rows) const
    {
        for (CRow& row : rows) {
            for (std::string* field : {&row.source, &row.destination, &row.info}) {
                ReplaceAll(*field, "{S}", m_source);
                ReplaceAll(*field, "{D}", m_backup);
                ReplaceAll(*field, "{N}", m_newFile);
                ReplaceAll(*field, "{M}", m_moved);
            }
        }
        return rows;
    }

    static void AddCase(const char* name, const CDecisionCase& c) { QTest::newRow(name) << c; }

    static void WriteSparse(const std::string& path, off_t size)
    {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(ftruncate(fd, size), 0);
        close(fd);
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void init()
    {
        m_processor.reset(); // it refers to the core about to be replaced
        QVERIFY(MakeEngineRig(m_host, m_core, m_tree));
        m_host->clock.SetSeconds(kNow);

        m_processor = std::make_unique<CBackupProcessor>(*m_core);
        m_processor->place.sourceFolder = m_tree->MakeFolder("src");
        m_processor->place.destinationFolder = m_tree->MakeFolder("dst");
        m_processor->rules.newerBackupMoveFolder = m_tree->MakeFolder("moved");
        m_source = m_tree->Path("src/a.txt");
        m_backup = m_tree->Path("dst/a.txt");
        m_newFile = m_tree->Path("new/a.txt");
        m_moved = m_tree->Path("moved");
    }

    void cleanup()
    {
        m_processor.reset();
        m_core.reset();
        m_tree.reset();
        m_host.reset();
    }

    // The decision itself is tested on its own (tst_file_decision); these rows prove that
    // what it chose is carried out on real files, and that the facts it is given are read
    // from them.
    void decision_data()
    {
        QTest::addColumn<CDecisionCase>("decision");
        using K = int;
        constexpr K kFile = MessageKind::kFile;
        constexpr K kWarning = MessageKind::kWarning;
        constexpr K kError = MessageKind::kError;
        constexpr K kDebug = MessageKind::kDebug;
        constexpr K kTest = MessageKind::kTest;
        const auto setForced = [](const char* pattern, int action) {
            return [pattern, action](CBackupProcessor& p, CApplicationCore&, CFakeHost&) {
                SplitPatternList(p.rules.newerBackupList, pattern);
                p.rules.newerBackupAction = action;
            };
        };

        AddCase("new file", {.backupExists = false,
                             .expected = {Row(kFile, "コピー", "{S}", "{D}")},
                             .backupAfter = "new",
                             .copies = 1});
        AddCase("source gone before its status was read",
                {.sourceExists = false,
                 .expected = {Row(kWarning, "ソースファイル検出", "{S}", {},
                                  ".$00000002-No such file or directory")},
                 .backupAfter = "old",
                 .sourceAfter = {}});
        AddCase("filtered out", {.setup = [](CBackupProcessor& p, CApplicationCore&,
                                             CFakeHost&) { SplitPatternList(p.rules.excludeList, "*.txt"); },
                                 .expected = {Row(kDebug, "un-matched", "a.txt")},
                                 .backupAfter = "old"});
        AddCase("equal time and size", {.backupBytes = "old", .expected = {}, .backupAfter = "old"});
        AddCase("time 3 s apart", {.backupAge = 103,
                                   .expected = {Row(kFile, "更新(T)", "{S}", "{D}")},
                                   .backupAfter = "new",
                                   .copies = 1});
        AddCase("read-only source", {.sourceReadOnly = true,
                                     .expected = {Row(kFile, "更新(A)", "{S}", "{D}")},
                                     .backupAfter = "new",
                                     .copies = 1});
        AddCase("backup newer", {.sourceAge = 200,
                                 .expected = {Row(kError, "バックアップ先のファイルのほうが最新です", "{S}",
                                                  "{D}", "1699999800:1699999900")},
                                 .backupAfter = "old"});
        AddCase("backup newer, other ForcedInc pattern",
                {.sourceAge = 200,
                 .setup = setForced("*.doc", 2),
                 .expected = {Row(kError, "バックアップ先のファイルのほうが最新です", "{S}", "{D}",
                                  "1699999800:1699999900")},
                 .backupAfter = "old"});
        AddCase("backup newer, ForcedInc, overwrite",
                {.sourceAge = 200,
                 .setup = setForced("*.txt", 2),
                 .expected = {Row(kFile, "更新(T,Forced)", "{S}", "{D}")},
                 .backupAfter = "new",
                 .copies = 1});
        AddCase(
            "backup newer, ForcedInc, move",
            {.sourceAge = 200,
             .setup = setForced("*.txt", 3),
             .expected = {Row(kFile, "バックアップ先のほうが最新のファイルを移動", {}, "{D}", "{M}/a.txt")},
             .backupAfter = std::nullopt,
             .movedAfter = "old"});
        AddCase(
            "backup newer, ForcedInc, copy back",
            {.sourceAge = 200,
             .setup = setForced("*.txt", 4),
             .expected = {Row(kFile, "バックアップ先の最新ファイルをバックアップ元へコピー", "{S}", "{D}")},
             .backupAfter = "old",
             .sourceAfter = "old",
             .copies = 1});
        AddCase(
            "backup newer, ForcedInc, move in test mode",
            {.sourceAge = 200,
             .setup =
                 [](CBackupProcessor& p, CApplicationCore&, CFakeHost&) {
                     SplitPatternList(p.rules.newerBackupList, "*.txt");
                     p.rules.newerBackupAction = 3;
                     p.run.testMode = 1;
                 },
             .expected = {Row(kTest, "バックアップ先のほうが最新のファイルを移動", {}, "{D}", "{M}/a.txt")},
             .backupAfter = "old"});

        const auto days = [](long from, long to) {
            return [from, to](CBackupProcessor& p, CApplicationCore&, CFakeHost&) {
                p.rules.daysFrom = from;
                p.rules.daysTo = to;
            };
        };
        AddCase("DaysFrom 3, written 2 days ago", {.sourceAge = 2 * kDay,
                                                   .backupExists = false,
                                                   .setup = days(3, -1),
                                                   .expected = {Row(kDebug, "Ignored; <3 DaysFrom", "{S}")}});

        const auto testMode = [](CBackupProcessor& p, CApplicationCore&, CFakeHost&) { p.run.testMode = 1; };
        const auto abortKeys = [](CBackupProcessor&, CApplicationCore&, CFakeHost& host) {
            host.keys.held = true;
        };
        AddCase("new file, test mode", {.backupExists = false,
                                        .setup = testMode,
                                        .expected = {Row(kTest, "コピー", "{S}", "{D}")},
                                        .copies = 1});
        AddCase("update, test mode", {.backupAge = 200,
                                      .setup = testMode,
                                      .expected = {Row(kTest, "更新(T)", "{S}", "{D}")},
                                      .backupAfter = "old",
                                      .copies = 1});
        AddCase("update, abort keys held", {.backupAge = 200,
                                            .setup = abortKeys,
                                            .expected = {Row(kTest, "更新(T)", "{S}", "{D}")},
                                            .backupAfter = "old",
                                            .copies = 1});
    }

    void decision()
    {
        QFETCH(CDecisionCase, decision);
        if (decision.sourceExists) {
            m_tree->WriteFile("src/a.txt", decision.sourceBytes, kNow - decision.sourceAge);
            if (decision.sourceReadOnly)
                QCOMPARE(chmod(m_source.c_str(), 0444), 0);
        }
        if (decision.backupExists)
            m_tree->WriteFile("dst/a.txt", decision.backupBytes, kNow - decision.backupAge);
        if (decision.setup)
            decision.setup(*m_processor, *m_core, *m_host);

        m_processor->ProcessFile("a.txt");

        QCOMPARE(Rows(), Resolve(decision.expected));
        QCOMPARE(PathExists(m_backup), decision.backupAfter.has_value());
        if (decision.backupAfter)
            QCOMPARE(ReadFileBytes(m_backup), *decision.backupAfter);
        if (decision.sourceExists)
            QCOMPARE(ReadFileBytes(m_source), decision.sourceAfter);
        QCOMPARE(PathExists(m_moved + "/a.txt"), decision.movedAfter.has_value());
        if (decision.movedAfter)
            QCOMPARE(ReadFileBytes(m_moved + "/a.txt"), *decision.movedAfter);
        QCOMPARE(m_processor->CopyCount(), decision.copies);
        // An update always carries the source's time, so the next pass finds nothing to do.
        if (decision.backupAfter && *decision.backupAfter == decision.sourceAfter && decision.sourceExists)
            QCOMPARE(FileTime(m_backup), FileTime(m_source));
    }

    void bigFileQuestion_data()
    {
        QTest::addColumn<off_t>("size");
        QTest::addColumn<bool>("backupExists");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("copied");

        QTest::newRow("exactly the limit")
            << kTenMegabytes << false << MessageBoxAnswer::kOk << false << true;
        QTest::newRow("one byte more, OK")
            << kTenMegabytes + 1 << false << MessageBoxAnswer::kOk << true << true;
        QTest::newRow("one byte more, Cancel")
            << kTenMegabytes + 1 << false << MessageBoxAnswer::kCancel << true << false;
        QTest::newRow("one byte more, time-out")
            << kTenMegabytes + 1 << false << MessageBoxAnswer::kTimeout << true << false;
        QTest::newRow("update of a big file")
            << kTenMegabytes + 1 << true << MessageBoxAnswer::kCancel << false << true;
    }

    void bigFileQuestion()
    {
        QFETCH(off_t, size);
        QFETCH(bool, backupExists);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, copied);

        m_processor->rules.bigFileLimitMb = 10;
        m_host->prompter.answers.push_back(answer);
        WriteSparse(m_source, size);
        SetFileTime(m_source, kNow - 100);
        if (backupExists)
            m_tree->WriteFile("dst/a.txt", "old", kNow - 200);

        m_processor->ProcessFile("a.txt");

        const std::string question = "以下の大きなファイルをコピーしようとしています\n" + m_source
                                     + "\n10241 KBytes\nよろしいですか?\n(処理に暫く時間を要します)";
        QCOMPARE(m_host->prompter.asked.size(), asked ? 1u : 0u);
        std::vector<CRow> expected;
        if (asked) {
            const CAskedQuestion& box = m_host->prompter.asked.front();
            QCOMPARE(box.text, question);
            QCOMPARE(box.type, 0x40021u);
            QCOMPARE(box.limitMs, 30000);
            // The question and its answer are logged.
            const CRow logged = Rows().front();
            QCOMPARE(logged.kind, MessageKind::kWarning);
            QVERIFY(logged.info.starts_with(ReportText::kAnswerPrefix));
            expected.push_back(logged);
        }
        if (copied)
            expected.push_back(
                Row(MessageKind::kFile, backupExists ? "更新(TS)" : "コピー", m_source, m_backup));
        QCOMPARE(Rows(), expected);
        QCOMPARE(PathExists(m_backup), copied || backupExists);
        if (copied) {
            struct stat status
            {
            };
            QCOMPARE(stat(m_backup.c_str(), &status), 0);
            QCOMPARE(status.st_size, size);
        }
    }

    void archiveMode_data()
    {
        QTest::addColumn<bool>("backupExists");
        QTest::addColumn<bool>("sourceRecorded");
        QTest::addColumn<bool>("backupRecorded");
        QTest::addColumn<std::vector<CRow>>("expected");
        QTest::addColumn<std::string>("backupAfter");

        QTest::newRow("new file") << false << false << false
                                  << std::vector<CRow>{Row(MessageKind::kFile, "コピー", "{S}", "{D}")}
                                  << std::string("new");
        QTest::newRow("source changed since its backup")
            << true << false << true << std::vector<CRow>{Row(MessageKind::kFile, "更新(Arc)", "{S}", "{D}")}
            << std::string("new");
        QTest::newRow("backup changed since it was made")
            << true << false << false
            << std::vector<CRow>{Row(MessageKind::kError,
                                     "バックアップ先ファイルが更新されています(Archive属性)", "{S}", "{D}")}
            << std::string("older");
        QTest::newRow("neither changed, times and sizes differ")
            << true << true << true << std::vector<CRow>{} << std::string("older");
    }

    void archiveMode()
    {
        QFETCH(bool, backupExists);
        QFETCH(bool, sourceRecorded);
        QFETCH(bool, backupRecorded);
        QFETCH(std::vector<CRow>, expected);
        QFETCH(std::string, backupAfter);

        m_tree->WriteFile("src/a.txt", "new", kNow - 100);
        if (ClearArchiveBit(m_source) != 0)
            QSKIP("no user extended attributes on the temporary file system");
        if (!sourceRecorded)
            QCOMPARE(removexattr(m_source.c_str(), kArchiveStateAttribute), 0);
        if (backupExists) {
            // Older than the source: a newer backup is a conflict in archive mode too.
            m_tree->WriteFile("dst/a.txt", "older", kNow - 200);
            if (backupRecorded)
                QCOMPARE(ClearArchiveBit(m_backup), 0);
        }
        m_processor->rules.archiveMode = 1;

        m_processor->ProcessFile("a.txt");

        QCOMPARE(Rows(), Resolve(expected));
        QCOMPARE(ReadFileBytes(m_backup), backupAfter);
        if (backupAfter == "new") {
            // Backed up: neither side counts as changed until one of them is written again.
            QVERIFY(!HasArchiveBit(m_source));
            QVERIFY(!HasArchiveBit(m_backup));
        }
    }

    void generationsOnQuickUpdates_data()
    {
        QTest::addColumn<int>("gen");
        QTest::addColumn<int>("sameDate");
        QTest::addColumn<int>("nearTime");
        QTest::addColumn<int>("genStyle");
        QTest::addColumn<std::time_t>("backupAge");
        QTest::addColumn<std::string>("message");
        // Contents of a.txt.$1, .$2, .$3 afterwards ("" for none).
        QTest::addColumn<QStringList>("generations");

        QTest::newRow("same date, Gen 5") << 5 << 1 << 0 << 0 << std::time_t{1000}
                                          << std::string("同一日付の更新(T)") << QStringList{"old", "g2", ""};
        QTest::newRow("same date, Gen 1") << 1 << 1 << 0 << 0 << std::time_t{1000}
                                          << std::string("同一日付の更新(T)") << QStringList{"g1", "g2", ""};
        QTest::newRow("near time, tag before the extension")
            << 5 << 0 << 5 << 1 << std::time_t{3} << std::string("差異が5秒以下の更新(T)")
            << QStringList{"old", "g2", ""};
        QTest::newRow("near time never lowers dated generations")
            << 5 << 0 << 5 << 2 << std::time_t{3} << std::string("更新(T)") << QStringList{"g1", "g2", ""};
    }

    void generationsOnQuickUpdates()
    {
        QFETCH(int, gen);
        QFETCH(int, sameDate);
        QFETCH(int, nearTime);
        QFETCH(int, genStyle);
        QFETCH(std::time_t, backupAge);
        QFETCH(std::string, message);
        QFETCH(QStringList, generations);

        m_core->Settings().general.GenStyle = genStyle;
        m_core->Settings().general.Forced = 1;
        m_processor->rules.generationCount = gen;
        m_processor->rules.sameDate = sameDate;
        m_processor->rules.nearTimeSeconds = nearTime;
        m_tree->WriteFile("src/a.txt", "new", kNow - 100);
        m_tree->WriteFile("dst/a.txt", "old", kNow - 100 - backupAge);
        // The generations in the style in use (style 1 puts the tag before the extension).
        const auto generation = [&](int g) {
            return genStyle == 1 ? m_tree->Path("dst/a.$" + std::to_string(g) + ".txt")
                                 : m_tree->Path("dst/a.txt.$" + std::to_string(g));
        };
        WriteFileBytes(generation(1), "g1");
        WriteFileBytes(generation(2), "g2");

        m_processor->ProcessFile("a.txt");

        QCOMPARE(Rows(), std::vector<CRow>{Row(MessageKind::kFile, message, m_source, m_backup)});
        QCOMPARE(ReadFileBytes(m_backup), std::string("new"));
        for (int g = 1; g <= 3; ++g) {
            const std::string expected = generations.at(g - 1).toStdString();
            QCOMPARE(PathExists(generation(g)), !expected.empty());
            if (!expected.empty())
                QCOMPARE(ReadFileBytes(generation(g)), expected);
        }
        QCOMPARE(m_processor->rules.generationCount, gen);
    }

    void newFileFolder_data()
    {
        QTest::addColumn<bool>("backupExists");
        QTest::addColumn<int>("testMode");
        QTest::addColumn<std::vector<CRow>>("expected");

        const int k0 = MessageKind::kFile;
        const int k6 = MessageKind::kTest;
        QTest::newRow("new file") << false << 0
                                  << std::vector<CRow>{Row(k0, "コピー", "{S}", "{D}"),
                                                       Row(k0, "コピー #2", "{S}", "{N}")};
        QTest::newRow("update") << true << 0
                                << std::vector<CRow>{Row(k0, "更新(T)", "{S}", "{D}"),
                                                     Row(k0, "更新 #2", "{S}", "{N}")};
        QTest::newRow("new file, test mode")
            << false << 1
            << std::vector<CRow>{Row(k6, "コピー", "{S}", "{D}"), Row(k6, "コピー #2", "{S}", "{N}")};
    }

    void newFileFolder()
    {
        QFETCH(bool, backupExists);
        QFETCH(int, testMode);
        QFETCH(std::vector<CRow>, expected);

        m_processor->place.newFileFolder = m_tree->MakeFolder("new");
        m_processor->run.testMode = testMode;
        m_tree->WriteFile("src/a.txt", "new", kNow - 100);
        if (backupExists)
            m_tree->WriteFile("dst/a.txt", "old", kNow - 200);

        m_processor->ProcessFile("a.txt");

        QCOMPARE(Rows(), Resolve(expected));
        QCOMPARE(m_processor->CopyCount(), 2L);
        QCOMPARE(PathExists(m_newFile), testMode == 0);
        if (testMode == 0)
            QCOMPARE(ReadFileBytes(m_newFile), std::string("new"));
    }

    void sourceChangedWhileCopied_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<std::string>("secondPass");

        QTest::newRow("rewritten within the same second, same size") << 0 << std::string("更新(T)");
        QTest::newRow("truncated") << 1 << std::string("更新(TS)");
        // The copy holds the size read before it; what was added meanwhile comes next time.
        QTest::newRow("grown") << 2 << std::string("更新(TS)");
    }

    // A file written to while it is copied: the copy is not reported as a plain success,
    // and the next pass brings the backup up to date even when the change kept the size
    // and the second of the last-write time.
    void sourceChangedWhileCopied()
    {
        QFETCH(int, change);
        QFETCH(std::string, secondPass);

        const std::size_t size = 3 * 1048576;
        m_tree->WriteFile("src/a.txt", std::string(size, 'a'), kNow - 100);
        const std::string source = m_source;
        // The first pumps belong to the pacing step before the file; the next ones come
        // from between the chunks of the copy.
        m_host->pump.actionsAtPump[3] = [source, change, size] {
            if (change == 1) {
                QCOMPARE(::truncate(source.c_str(), 1000), 0);
                return;
            }
            if (change == 2) {
                QCOMPARE(::truncate(source.c_str(), static_cast<off_t>(size * 2)), 0);
                return;
            }
            WriteFileBytes(source, std::string(size, 'b'));
            const timespec times[2] = {{kNow - 100, 0}, {kNow - 100, 500'000'000}};
            QCOMPARE(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
        };

        m_processor->ProcessFile("a.txt");

        QCOMPARE(Rows(), std::vector<CRow>{Row(MessageKind::kWarning, "コピー", m_source, m_backup,
                                               EngineText::kSourceChangedWhileCopied)});
        QVERIFY(ReadFileBytes(m_backup) != ReadFileBytes(m_source));
        if (change == 2)
            QCOMPARE(ReadFileBytes(m_backup), std::string(size, 'a'));

        m_host->sink.Clear();
        m_processor->ProcessFile("a.txt");

        QCOMPARE(Rows(), std::vector<CRow>{Row(MessageKind::kFile, secondPass, m_source, m_backup)});
        QCOMPARE(ReadFileBytes(m_backup), ReadFileBytes(m_source));
    }

    void notInBackupMode()
    {
        m_tree->WriteFile("src/a.txt", "new", kNow - 100);
        m_processor->run.mode = ProcessorMode::kDeleteGenerations;
        m_processor->ProcessFile("a.txt");
        m_processor->run.mode = ProcessorMode::kBackup;
        m_core->State().abortRequested = 1;
        m_processor->ProcessFile("a.txt");
        QCOMPARE(Rows(), std::vector<CRow>{});
        QVERIFY(!PathExists(m_backup));
    }
};

QTEST_GUILESS_MAIN(TestProcessFile)
#include "tst_process_file.moc"
