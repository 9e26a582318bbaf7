#include <QtTest>

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/backup_folder.h"
#include "engine/backup_processor.h"
#include "engine/backup_state.h"
#include "engine/generations.h"
#include "helpers/engine_rig.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "helpers/unprivileged.h"
#include "settings/application_core.h"

namespace {

constexpr std::time_t kNow = 1'700'000'000;
constexpr std::time_t kDay = 86400;
constexpr std::time_t kThen = kNow - 5 * kDay;

std::string GenerationName(const std::string& path, int generation, int genStyle)
{
    std::tm local{};
    const std::time_t when = kThen + generation;
    localtime_r(&when, &local);
    return MakeGenerationName(path, generation, genStyle, 4, local);
}

const CBackupStateRow* FindRow(const std::vector<CBackupStateRow>& rows, const std::string& name)
{
    const auto found =
        std::find_if(rows.begin(), rows.end(), [&](const CBackupStateRow& row) { return row.name == name; });
    return found == rows.end() ? nullptr : &*found;
}

} // namespace

Q_DECLARE_METATYPE(EFileBackupState)

class TestBackupState : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
    std::unique_ptr<CTempTree> m_tree;

    // src backed up into its own destination bak: one file of each state, with
    // generation copies beside two of them. Excluded: "*.tmp", folder "skip", files
    // changed more than 10 days ago; subfolders walked.
    CFileSetting& PrepareTree()
    {
        m_host->clock.SetSeconds(kNow);
        CFileSetting& setting = m_core->Settings().files[0];
        setting.No.Assign(m_tree->Path("src"));
        setting.BakTo.Assign(m_tree->Path("bak"));
        setting.Sub = 1;
        setting.Exc = "*.tmp";
        setting.DirExc = "skip";
        setting.DaysTo = "10";
        m_core->Settings().Files = 1;
        const int style = m_core->Settings().general.GenStyle;
        const auto both = [&](const std::string& name, const std::string& source, const std::string& backup,
                              std::time_t sourceTime, std::time_t backupTime) {
            m_tree->WriteFile("src/" + name, source, sourceTime);
            m_tree->WriteFile("bak/" + name, backup, backupTime);
        };
        both("same.txt", "same", "same", kThen, kThen);
        both("changed.txt", "changed!", "old", kThen + 100, kThen);
        m_tree->WriteFile(GenerationName("bak/changed.txt", 1, style), "g1", kThen - 10);
        m_tree->WriteFile(GenerationName("bak/changed.txt", 2, style), "g2", kThen - 20);
        both("newer.txt", "old", "new", kThen, kThen + 100);
        // Within the tolerance of two seconds: the pass leaves it.
        both("near.txt", "near", "near", kThen + 1, kThen);
        m_tree->WriteFile("src/new.txt", "n", kThen);
        m_tree->WriteFile("bak/gone.txt", "gone!!", kThen);
        m_tree->WriteFile(GenerationName("bak/gone.txt", 1, style), "g1", kThen - 10);
        m_tree->WriteFile("src/x.tmp", "tmp", kThen);
        m_tree->WriteFile("bak/y.tmp", "tmp", kThen); // filtered on the backup side too
        m_tree->WriteFile("src/old.txt", "old", kNow - 20 * kDay);
        m_tree->WriteFile("src/skip/a.txt", "a", kThen);
        m_tree->WriteFile("src/.hidden/a.txt", "a", kThen);
        both("sub/deep.txt", "deep", "deep", kThen, kThen);
        m_tree->WriteFile("src/newdir/f.txt", "f", kThen);
        m_tree->MakeFolder("bak/onlydir");
        return setting;
    }

private slots:
    void init() { QVERIFY(MakeEngineRig(m_host, m_core, m_tree)); }

    // Each state with its size, generation count and difference letters.
    void states_data()
    {
        QTest::addColumn<std::string>("name");
        QTest::addColumn<EFileBackupState>("state");
        QTest::addColumn<long long>("size");
        QTest::addColumn<int>("generations");
        QTest::addColumn<std::string>("letters");
        QTest::newRow("equal") << std::string("same.txt") << EFileBackupState::Equal << 4LL << 0
                               << std::string();
        QTest::newRow("changed") << std::string("changed.txt") << EFileBackupState::Changed << 8LL << 2
                                 << std::string("TS");
        QTest::newRow("backup newer")
            << std::string("newer.txt") << EFileBackupState::Changed << 3LL << 0 << std::string("T");
        QTest::newRow("two seconds") << std::string("near.txt") << EFileBackupState::Equal << 4LL << 0
                                     << std::string();
        QTest::newRow("new") << std::string("new.txt") << EFileBackupState::New << 1LL << 0 << std::string();
        QTest::newRow("new below") << std::string("newdir/f.txt") << EFileBackupState::New << 1LL << 0
                                   << std::string();
        QTest::newRow("only in backup")
            << std::string("gone.txt") << EFileBackupState::BackupOnly << 6LL << 1 << std::string();
        QTest::newRow("folder only in backup")
            << std::string("onlydir/") << EFileBackupState::BackupOnly << -1LL << 0 << std::string();
        QTest::newRow("excluded pattern")
            << std::string("x.tmp") << EFileBackupState::Excluded << 3LL << 0 << std::string();
        QTest::newRow("excluded by age")
            << std::string("old.txt") << EFileBackupState::Excluded << 3LL << 0 << std::string();
        QTest::newRow("excluded folder")
            << std::string("skip/") << EFileBackupState::Excluded << -1LL << 0 << std::string();
        QTest::newRow("hidden folder")
            << std::string(".hidden/") << EFileBackupState::Excluded << -1LL << 0 << std::string();
        QTest::newRow("subfolder") << std::string("sub/deep.txt") << EFileBackupState::Equal << 4LL << 0
                                   << std::string();
    }
    void states()
    {
        QFETCH(std::string, name);
        QFETCH(EFileBackupState, state);
        QFETCH(long long, size);
        QFETCH(int, generations);
        QFETCH(std::string, letters);
        const CFileSetting& setting = PrepareTree();
        const std::vector<CBackupStateRow> rows = ScanBackupState(*m_core, setting);
        const CBackupStateRow* row = FindRow(rows, name);
        QVERIFY2(row, name.c_str());
        QCOMPARE(int(row->state), int(state));
        QCOMPARE(row->size, size);
        QCOMPARE(row->generations, generations);
        QCOMPARE(row->letters, letters);
        QCOMPARE(row->backupNewer, name == "newer.txt");
        if (generations > 0)
            QCOMPARE(row->newestGeneration, kThen - 10);
        // Nothing of the walk's own: no generation copy, no filtered backup, no file
        // inside an excluded or hidden folder, each name once.
        for (const char* never : {"y.tmp", "skip/a.txt", ".hidden/a.txt", "sub/", "newdir/"})
            QVERIFY2(!FindRow(rows, never), never);
        QCOMPARE(
            std::count_if(rows.begin(), rows.end(), [&](const CBackupStateRow& r) { return r.name == name; }),
            1);
        QCOMPARE(rows.size(), std::size_t(13));
        // Read only: the backup folder of a new subfolder is not made.
        QVERIFY(!m_tree->Exists("bak/newdir"));
    }

    // The listing says what the pass does: after a pass, what was new or changed is
    // backed up (except a newer backup, which the pass refuses to overwrite), what was
    // excluded is still not in the backup, and nothing else changed its state.
    void agreesWithThePass()
    {
        const CFileSetting& setting = PrepareTree();
        m_core->State().processingEnabled = 1;
        const std::vector<CBackupStateRow> before = ScanBackupState(*m_core, setting);
        CBackupProcessor processor(*m_core);
        processor.LoadRules(setting);
        QVERIFY(BackupFolder(processor, setting.No.expanded, true) > 0);
        const std::vector<CBackupStateRow> after = ScanBackupState(*m_core, setting);
        QCOMPARE(after.size(), before.size());
        for (const CBackupStateRow& row : before) {
            const CBackupStateRow* now = FindRow(after, row.name);
            QVERIFY2(now, row.name.c_str());
            EFileBackupState expected = row.state;
            if (row.state == EFileBackupState::New
                || (row.state == EFileBackupState::Changed && !row.backupNewer))
                expected = EFileBackupState::Equal;
            QVERIFY2(now->state == expected, row.name.c_str());
            if (row.state == EFileBackupState::Excluded)
                QVERIFY2(!m_tree->Exists("bak/" + row.name), row.name.c_str());
        }
    }

    // A folder that cannot be read says nothing about what its backup holds: none of
    // the backup's files there is listed as only in the backup.
    void unreadableFolder()
    {
        if (RunsAsRoot()) {
            QByteArray output;
            QVERIFY2(RunTestAsNobody(QStringLiteral("unreadableFolder"), output), output.constData());
            return;
        }
        const CFileSetting& setting = PrepareTree();
        m_tree->WriteFile("src/locked/x.txt", "x", kThen);
        m_tree->WriteFile("bak/locked/x.txt", "x", kThen);
        m_tree->WriteFile("bak/locked/y.txt", "y", kThen);
        QCOMPARE(chmod(m_tree->Path("src/locked").c_str(), 0300), 0);
        const std::vector<CBackupStateRow> rows = ScanBackupState(*m_core, setting);
        chmod(m_tree->Path("src/locked").c_str(), 0700);
        QVERIFY(FindRow(rows, "same.txt"));
        QVERIFY(!FindRow(rows, "locked/x.txt"));
        QVERIFY(!FindRow(rows, "locked/y.txt"));
    }

    // Generation copies are counted in every naming style, beside the backup or in the
    // generation folder.
    void generationStyles_data()
    {
        QTest::addColumn<int>("genStyle");
        QTest::addColumn<bool>("ownFolder");
        for (const int style : {0, 1, 2, 3})
            for (const bool own : {false, true})
                QTest::addRow("style %d%s", style, own ? " in generation folder" : "") << style << own;
    }
    void generationStyles()
    {
        QFETCH(int, genStyle);
        QFETCH(bool, ownFolder);
        m_core->Settings().general.GenStyle = genStyle;
        CFileSetting& setting = PrepareTree();
        const std::string folder = ownFolder ? "gen" : "bak";
        if (ownFolder)
            setting.GenBakTo.Assign(m_tree->Path("gen"));
        for (const char* name : {"file.txt", "plain"}) {
            m_tree->WriteFile(std::string("src/") + name, "x", kThen);
            m_tree->WriteFile(std::string("bak/") + name, "x", kThen);
            for (int generation = 1; generation <= 3; ++generation)
                m_tree->WriteFile(GenerationName(folder + "/" + name, generation, genStyle), "g",
                                  kThen - generation);
        }
        // Another file's copies are not this one's.
        m_tree->WriteFile(GenerationName(folder + "/file.txt.bak", 1, genStyle), "g", kThen);
        const std::vector<CBackupStateRow> rows = ScanBackupState(*m_core, setting);
        for (const char* name : {"file.txt", "plain"}) {
            const CBackupStateRow* row = FindRow(rows, name);
            QVERIFY2(row, name);
            // Date tags of one period replace each other: only distinct tags count.
            QCOMPARE(row->generations, 3);
            QCOMPARE(row->newestGeneration, kThen - 1);
        }
    }

    // A step looks at no more entries than it is given, so a window can pace the scan;
    // steps of one give the rows a single run gives.
    void steps()
    {
        const CFileSetting& setting = PrepareTree();
        const std::vector<CBackupStateRow> whole = ScanBackupState(*m_core, setting);
        CBackupStateScan scan(*m_core, setting);
        std::vector<CBackupStateRow> rows;
        int steps = 0;
        long seen = 0;
        while (scan.Step(1, rows)) {
            QVERIFY(scan.EntriesSeen() - seen <= 1);
            seen = scan.EntriesSeen();
            ++steps;
        }
        QVERIFY(scan.Finished());
        QVERIFY(steps > int(whole.size()));
        QCOMPARE(rows.size(), whole.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            QCOMPARE(rows[i].name, whole[i].name);
        QCOMPARE(scan.FoldersRead(), 3L); // src, sub, newdir
    }

    // A source that is missing or a sample gives no rows and says why.
    void missingSource_data()
    {
        QTest::addColumn<std::string>("source");
        QTest::newRow("missing") << std::string("nowhere");
        QTest::newRow("sample") << std::string("#src");
        QTest::newRow("empty") << std::string();
    }
    void missingSource()
    {
        QFETCH(std::string, source);
        CFileSetting& setting = PrepareTree();
        setting.No.Assign(source.empty()     ? source
                          : source[0] == '#' ? "#" + m_tree->Path(source.substr(1))
                                             : m_tree->Path(source));
        CBackupStateScan scan(*m_core, setting);
        std::vector<CBackupStateRow> rows;
        QVERIFY(!scan.Step(100, rows));
        QVERIFY(rows.empty());
        QVERIFY(scan.SourceError() != 0);
    }
};

QTEST_GUILESS_MAIN(TestBackupState)
#include "tst_backup_state.moc"
