#include <QtTest>
#include <climits>

#include <ctime>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/generations.h"
#include "platform/last_error.h"
#include "helpers/engine_rig.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/path.h"
#include "report/message_kinds.h"
#include "report/report_texts.h"
#include "settings/application_core.h"

using Moves = std::vector<std::pair<int, int>>; // from, to (0 = the backup itself)

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<std::string>)
Q_DECLARE_METATYPE(std::vector<int>)
Q_DECLARE_METATYPE(Moves)

namespace {

class CIdleProcessor final : public CBackupProcessor
{
public:
    using CBackupProcessor::CBackupProcessor;
    int ProcessFile(const std::string&) override { return 0; }
    int AfterFiles() override { return 0; }
};

struct CRow
{
    int kind;
    std::string message;
    std::string source;
    std::string destination;
    std::string info;
    bool operator==(const CRow&) const = default;
};

const std::string kGeneration = EngineText::kGenerationBackup;
const std::string kDeleted = EngineText::kDeletedToRecycleBin;

} // namespace

namespace QTest {
template <> char* toString(const CRow& row)
{
    return qstrdup(QString::asprintf("{%d, %s, %s, %s, %s}", row.kind, row.message.c_str(),
                                     row.source.c_str(), row.destination.c_str(), row.info.c_str())
                       .toUtf8()
                       .constData());
}
} // namespace QTest

class TestGenerations : public QObject
{
    Q_OBJECT

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
        m_host->clock.SetSeconds(1'700'000'000); // 2023-11-14 22:13:20 UTC
        m_core->Settings().general.GenStyle = 0;
        m_recycle = m_core->Settings().general.Recycle2.expanded;
        m_processor = std::make_unique<CIdleProcessor>(*m_core);
        m_source = m_tree->WriteFile("src/report.doc", "new");
        m_backup = m_tree->Path("bak/report.doc");
    }

    void generationNames_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("ymdFmt");
        QTest::addColumn<std::string>("path");
        QTest::addColumn<int>("generation");
        QTest::addColumn<std::string>("name");

        const auto row = [](const char* tag, int style, int ymdFmt, const char* path, int generation,
                            const char* name) {
            QTest::newRow(tag) << style << ymdFmt << std::string(path) << generation << std::string(name);
        };
        row("number at end", 0, 2, "/b/report.doc", 2, "/b/report.doc.$2");
        row("number before extension", 1, 2, "/b/report.doc", 2, "/b/report.$2.doc");
        row("no extension, number inserted", 1, 2, "/b/Makefile", 1, "/b/Makefile.$1");
        row("dot in folder only", 1, 2, "/b.d/file", 1, "/b.d/file.$1");
        row("hidden name has no extension", 1, 2, "/b/.profile", 1, "/b/.profile.$1");
        row("last dot is the extension", 1, 2, "/b/a.tar.gz", 3, "/b/a.tar.$3.gz");
        row("date at end, year-month", 2, 0, "/b/report.doc", 7, "/b/report.doc.$2311");
        row("date at end, day", 2, 1, "/b/report.doc", 7, "/b/report.doc.$231114");
        row("date at end, hour", 2, 2, "/b/report.doc", 7, "/b/report.doc.$23111422");
        row("date inserted, minute", 3, 3, "/b/report.doc", 7, "/b/report.$2311142213.doc");
        row("date inserted, second", 3, 4, "/b/report.doc", 7, "/b/report.$231114221320.doc");
        row("date inserted, no extension", 3, 0, "/b/Makefile", 7, "/b/Makefile.$2311");
        row("unknown date format", 2, 9, "/b/report.doc", 7, "/b/report.doc.$23111422");
    }

    void generationNames()
    {
        QFETCH(int, style);
        QFETCH(int, ymdFmt);
        QFETCH(std::string, path);
        QFETCH(int, generation);
        QFETCH(std::string, name);
        m_core->Settings().general.GenStyle = style;
        m_core->Settings().general.YmdFmt = ymdFmt;
        QCOMPARE(MakeGenerationName(*m_core, path, generation), name);
    }

    void generationFileNames_data()
    {
        QTest::addColumn<std::string>("name");
        QTest::addColumn<bool>("isGeneration");
        QTest::newRow("number at end") << std::string("a.$1") << true;
        QTest::newRow("number inside") << std::string("a.$1.txt") << true;
        QTest::newRow("date tag") << std::string("a.txt.$2311") << true;
        QTest::newRow("tag at the start") << std::string(".$1") << false;
        QTest::newRow("nothing after $") << std::string("a.$") << false;
        QTest::newRow("letter after $") << std::string("a.$b") << false;
        QTest::newRow("only the first tag counts") << std::string("a.$b.$1") << false;
        QTest::newRow("full path") << std::string("/bak/x/a.doc.$3") << true;
        QTest::newRow("tag in a folder only") << std::string("/bak/x.$1/a.doc") << false;
        QTest::newRow("tag at the start of the entry") << std::string("/bak/x/.$1") << false;
    }

    void generationFileNames()
    {
        QFETCH(std::string, name);
        QFETCH(bool, isGeneration);
        QCOMPARE(IsGenerationFileName(name), isGeneration);
    }

    void rotation_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<std::vector<int>>("present");
        QTest::addColumn<Moves>("moves");
        QTest::newRow("full set") << 3 << std::vector<int>{1, 2, 3} << Moves{{2, 3}, {1, 2}, {0, 1}};
        QTest::newRow("two of three") << 3 << std::vector<int>{1, 2} << Moves{{2, 3}, {1, 2}, {0, 1}};
        QTest::newRow("only the first") << 3 << std::vector<int>{1} << Moves{{1, 2}, {0, 1}};
        QTest::newRow("a gap") << 3 << std::vector<int>{2} << Moves{{2, 3}, {0, 1}};
        QTest::newRow("none yet") << 3 << std::vector<int>{} << Moves{{0, 1}};
        // The work follows the generations on disk, not the number to keep.
        QTest::newRow("as many as an int holds")
            << INT_MAX << std::vector<int>{1, 2, 4} << Moves{{4, 5}, {2, 3}, {1, 2}, {0, 1}};
    }

    void rotation()
    {
        QFETCH(int, count);
        QFETCH(std::vector<int>, present);
        QFETCH(Moves, moves);
        m_tree->WriteFile("bak/report.doc", "state 0");
        for (int generation : present)
            m_tree->WriteFile("bak/report.doc.$" + std::to_string(generation),
                              "state " + std::to_string(generation));
        // Names that only look like generations of the backup.
        for (const char* other : {"bak/report.doc.$01", "bak/report.doc.$1x", "bak/report.docx.$1"})
            m_tree->WriteFile(other, "other");
        m_processor->rules.generationCount = count;

        QVERIFY(UpdateWithGenerations(*m_processor, m_source, m_backup, {}));

        std::vector<CRow> expected;
        std::vector<int> generations;
        for (const auto& [from, to] : moves) {
            expected.push_back({MessageKind::kDetail, kGeneration, Generation(from), Generation(to), ""});
            QCOMPARE(ReadFileBytes(Generation(to)), "state " + std::to_string(from));
            generations.push_back(to);
        }
        QCOMPARE(Rows(), expected);
        QCOMPARE(ReadFileBytes(m_backup), std::string("new"));
        // Exactly the generations something moved into: an old third one is gone.
        for (int generation = 1; generation <= 5; ++generation) {
            const bool moved =
                std::find(generations.begin(), generations.end(), generation) != generations.end();
            QCOMPARE(PathExists(Generation(generation)), moved);
        }
        QCOMPARE(m_processor->CopyCount(), static_cast<long>(moves.size() + 1));
    }

    void generationFolderReceivesTheBackup()
    {
        m_tree->WriteFile("bak/report.doc", "state 0");
        m_tree->WriteFile("gen/report.doc.$1", "state 1");
        const std::string generationPath = m_tree->Path("gen/report.doc");
        m_processor->rules.generationCount = 2;
        QVERIFY(UpdateWithGenerations(*m_processor, m_source, m_backup, generationPath));
        QCOMPARE(m_tree->Read("gen/report.doc.$2"), std::string("state 1"));
        QCOMPARE(m_tree->Read("gen/report.doc.$1"), std::string("state 0"));
        QVERIFY(!m_tree->Exists("bak/report.doc.$1"));
        QCOMPARE(m_tree->Read("bak/report.doc"), std::string("new"));
    }

    void datedCopyOfTheSameMonthIsReplaced()
    {
        auto& general = m_core->Settings().general;
        general.GenStyle = 2;
        general.YmdFmt = 0;
        m_tree->WriteFile("bak/report.doc", "old");
        m_processor->rules.generationCount = 5;
        const std::string dated = m_backup + ".$2311";

        QVERIFY(UpdateWithGenerations(*m_processor, m_source, m_backup, {}));
        QCOMPARE(ReadFileBytes(dated), std::string("new"));
        chmod(dated.c_str(), 0444);

        m_host->clock.SetSeconds(1'700'000'000 + 10 * 86400); // later the same month
        WriteFileBytes(m_source, "newer");
        QVERIFY(UpdateWithGenerations(*m_processor, m_source, m_backup, {}));
        QCOMPARE(ReadFileBytes(dated), std::string("newer"));
        QCOMPARE(ReadFileBytes(m_backup), std::string("newer"));

        std::vector<std::string> files;
        for (const auto& entry : QDir(QString::fromStdString(m_tree->Path("bak"))).entryList(QDir::Files))
            files.push_back(entry.toStdString());
        QCOMPARE(files, (std::vector<std::string>{"report.doc", "report.doc.$2311"}));
        const CRow row{MessageKind::kDetail, kGeneration, m_source, dated, ""};
        QCOMPARE(Rows(), (std::vector<CRow>{row, row}));
    }

    void readOnlyBackupIsUpdated()
    {
        m_tree->WriteFile("bak/report.doc", "old");
        QCOMPARE(chmod(m_backup.c_str(), 0444), 0);
        QVERIFY(UpdateWithGenerations(*m_processor, m_source, m_backup, {}));
        QCOMPARE(ReadFileBytes(m_backup), std::string("new"));
        QCOMPARE(m_processor->CopyCount(), 1L);
    }

    // A backup that cannot be moved aside as generation 1 keeps its place: the update
    // fails instead of overwriting the only copy of that version.
    void backupThatCannotBecomeAGenerationIsKept()
    {
        m_processor->rules.generationCount = 2;
        const std::string longName(254, 'n');
        const std::string source = m_tree->WriteFile("src/" + longName, "new");
        const std::string backup = m_tree->WriteFile("bak/" + longName, "old");
        QVERIFY(!UpdateWithGenerations(*m_processor, source, backup, {}));
        QCOMPARE(ReadFileBytes(backup), std::string("old"));
        QCOMPARE(GetLastSystemError(), ENAMETOOLONG);
        QCOMPARE(m_host->sink.RowsOfKind(MessageKind::kError).size(), std::size_t(1));
    }

    void nothingChangesInTestMode_data()
    {
        QTest::addColumn<bool>("keysHeld");
        QTest::newRow("test mode") << false;
        QTest::newRow("abort keys") << true;
    }

    void nothingChangesInTestMode()
    {
        QFETCH(bool, keysHeld);
        m_processor->run.testMode = keysHeld ? 0 : 1;
        m_host->keys.held = keysHeld;
        m_tree->WriteFile("bak/report.doc", "state 0");
        m_tree->WriteFile("bak/report.doc.$1", "state 1");
        m_tree->WriteFile("bak/report.doc.$2", "state 2");
        m_processor->rules.generationCount = 2;

        QVERIFY(!UpdateWithGenerations(*m_processor, m_source, m_backup, {}));
        QCOMPARE(Rows(),
                 (std::vector<CRow>{{MessageKind::kTest, kGeneration, Generation(1), Generation(2), ""},
                                    {MessageKind::kTest, kGeneration, m_backup, Generation(1), ""}}));
        QCOMPARE(ReadFileBytes(m_backup), std::string("state 0"));
        QCOMPARE(ReadFileBytes(Generation(2)), std::string("state 2"));
        QCOMPARE(m_processor->CopyCount(), 3L);
    }

    void deletion_data()
    {
        QTest::addColumn<int>("keep");
        QTest::addColumn<std::vector<std::string>>("kept");
        QTest::addColumn<std::vector<std::string>>("recycled");

        using List = std::vector<std::string>;
        // "$0" is no generation number: never kept, however many are.
        QTest::newRow("keep none") << 0 << List{} << List{"a.txt.$0", "a.txt.$1", "a.txt.$10", "a.txt.$2", "a.txt.$3"};
        QTest::newRow("keep one") << 1 << List{"a.txt.$1", "a.txt.$10"} << List{"a.txt.$0", "a.txt.$2", "a.txt.$3"};
        QTest::newRow("keep two") << 2 << List{"a.txt.$1", "a.txt.$10", "a.txt.$2"} << List{"a.txt.$0", "a.txt.$3"};
        QTest::newRow("keep as many as an int holds")
            << INT_MAX << List{"a.txt.$1", "a.txt.$10", "a.txt.$2", "a.txt.$3"} << List{"a.txt.$0"};
    }

    void deletion()
    {
        QFETCH(int, keep);
        QFETCH(std::vector<std::string>, kept);
        QFETCH(std::vector<std::string>, recycled);
        const std::string folder = m_tree->MakeFolder("bak");
        for (const char* name : {"a.txt", "a.txt.$0", "a.txt.$1", "a.txt.$2", "a.txt.$3", "a.txt.$10", ".$1", "b.$x"})
            m_tree->WriteFile(std::string("bak/") + name, name);
        m_tree->MakeFolder("bak/Folder.$1");
        chmod((folder + "/a.txt.$3").c_str(), 0444);
        m_processor->run.mode = ProcessorMode::kDeleteGenerations;
        m_processor->run.generationsToKeep = keep;
        m_processor->place.destinationFolder = folder;

        QVERIFY(DeleteGenerationFiles(*m_processor));

        std::vector<CRow> expected;
        for (const char* name : {"a.txt.$0", "a.txt.$1", "a.txt.$10", "a.txt.$2", "a.txt.$3"}) {
            const bool isKept = std::find(kept.begin(), kept.end(), name) != kept.end();
            expected.push_back({isKept ? MessageKind::kDebug : MessageKind::kFile, kDeleted,
                                folder + "/" + name, "", isKept ? EngineText::kSkipped : m_recycle});
        }
        QCOMPARE(Rows(), expected);
        for (const auto& name : kept)
            QVERIFY(PathExists(folder + "/" + name));
        for (const auto& name : recycled) {
            QVERIFY(!PathExists(folder + "/" + name));
            QCOMPARE(ReadFileBytes(m_recycle + "/" + name), name);
        }
        for (const char* name : {"a.txt", ".$1", "b.$x", "Folder.$1"})
            QVERIFY(PathExists(folder + "/" + name));
        QCOMPARE(m_processor->CopyCount(), static_cast<long>(recycled.size()));
    }

    void deletionWithTagBeforeExtension()
    {
        m_core->Settings().general.GenStyle = 1;
        const std::string folder = m_tree->MakeFolder("bak");
        for (const char* name : {"a.$1.txt", "Makefile.$2", "c.txt"})
            m_tree->WriteFile(std::string("bak/") + name, "x");
        m_processor->run.mode = ProcessorMode::kDeleteGenerations;
        m_processor->place.destinationFolder = folder;
        QVERIFY(DeleteGenerationFiles(*m_processor));
        QVERIFY(!PathExists(folder + "/a.$1.txt"));
        QVERIFY(!PathExists(folder + "/Makefile.$2"));
        QVERIFY(PathExists(folder + "/c.txt"));
    }

    void deletionInTestMode()
    {
        const std::string folder = m_tree->MakeFolder("bak");
        m_tree->WriteFile("bak/a.txt.$1", "x");
        m_processor->run.mode = ProcessorMode::kDeleteGenerations;
        m_processor->place.destinationFolder = folder;
        m_processor->run.testMode = 1;
        QVERIFY(DeleteGenerationFiles(*m_processor));
        QCOMPARE(Rows(), (std::vector<CRow>{{MessageKind::kTest, kDeleted, folder + "/a.txt.$1", "", ""}}));
        QVERIFY(PathExists(folder + "/a.txt.$1"));
        QCOMPARE(m_processor->CopyCount(), 0L);
    }

    void deletionRunOverAWalk()
    {
        m_tree->WriteFile("src/Sub/x.doc", "x");
        m_tree->WriteFile("own/report.doc.$1", "x");
        m_tree->WriteFile("own/Sub/x.doc.$4", "x");
        CFileSetting setting;
        setting.BakTo.Assign(m_tree->Path("own"));
        m_processor->LoadRules(setting);
        m_processor->run.mode = ProcessorMode::kDeleteGenerations;
        QCOMPARE(m_processor->Walk(m_tree->Path("src"), true), 0);
        QVERIFY(!m_tree->Exists("own/report.doc.$1"));
        QVERIFY(!m_tree->Exists("own/Sub/x.doc.$4"));
        QCOMPARE(ReadFileBytes(m_recycle + "/x.doc.$4"), std::string("x"));
    }

private:
    std::string Generation(int generation) const
    {
        return generation == 0 ? m_backup : m_backup + ".$" + std::to_string(generation);
    }

    std::vector<CRow> Rows() const
    {
        std::vector<CRow> rows;
        for (const auto& row : m_host->sink.reportRows) {
            if (row.kind != MessageKind::kDetail || row.message == kGeneration)
                rows.push_back({row.kind, row.message, row.source, row.destination, row.info});
        }
        return rows;
    }

    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
    std::unique_ptr<CTempTree> m_tree;
    std::unique_ptr<CIdleProcessor> m_processor;
    std::string m_recycle;
    std::string m_source;
    std::string m_backup;
};

QTEST_GUILESS_MAIN(TestGenerations)
#include "tst_generations.moc"
