#include <QtTest>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/backup_processor.h"
#include "engine/destination_path.h"
#include "engine/engine_texts.h"
#include "helpers/engine_rig.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

Q_DECLARE_METATYPE(std::string)

namespace {

// The per-file work comes later; this one notes what the walk hands it, with the
// destination folder the file would go to.
class CRecordingProcessor final : public CBackupProcessor
{
public:
    using CBackupProcessor::CBackupProcessor;

    int ProcessFile(const std::string& fileName) override
    {
        files.push_back(place.sourceFolder + "/" + fileName + " -> " + place.destinationFolder);
        if (onFile)
            onFile();
        return 0;
    }
    int AfterFiles() override
    {
        afterFiles.push_back(place.sourceFolder);
        return 0;
    }

    std::vector<std::string> files;
    std::vector<std::string> afterFiles;
    std::function<void()> onFile;
};

// Runs the real per-file work, with a hook before each file.
class CHookedProcessor final : public CBackupProcessor
{
public:
    using CBackupProcessor::CBackupProcessor;

    int ProcessFile(const std::string& fileName) override
    {
        if (beforeFile)
            beforeFile(fileName);
        return CBackupProcessor::ProcessFile(fileName);
    }

    std::function<void(const std::string&)> beforeFile;
};

struct CRow
{
    int kind;
    std::string message;
    std::string source;
    std::string destination;
    bool operator==(const CRow&) const = default;
};

} // namespace

namespace QTest {
template <> char* toString(const CRow& row)
{
    return qstrdup(QString::asprintf("{%d, %s, %s, %s}", row.kind, row.message.c_str(), row.source.c_str(),
                                     row.destination.c_str())
                       .toUtf8()
                       .constData());
}
} // namespace QTest

class TestBackupProcessor : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(MakeEngineRig(m_host, m_core, m_tree));
        m_source = m_tree->MakeFolder("src");
    }

    void destinationFolders_data()
    {
        QTest::addColumn<std::string>("root");
        QTest::addColumn<bool>("own");
        QTest::addColumn<std::string>("sourceFolder");
        QTest::addColumn<std::string>("relative");
        QTest::addColumn<std::string>("folder");

        QTest::newRow("own destination") << std::string("/mnt/bak") << true << std::string("/home/a/Data/Sub")
                                         << std::string("/Sub") << std::string("/mnt/bak/Sub");
        QTest::newRow("own destination, top")
            << std::string("/mnt/bak/") << true << std::string("/home/a/Data") << std::string()
            << std::string("/mnt/bak");
        QTest::newRow("own destination is the root")
            << std::string("/") << true << std::string("/home/a/Data/Sub") << std::string("/Sub")
            << std::string("/Sub");
        QTest::newRow("local source") << std::string("/G") << false << std::string("/home/a/Data")
                                      << std::string() << std::string("/G/home/a/Data");
        QTest::newRow("local source, subfolder")
            << std::string("/G") << false << std::string("/home/a/Data/Sub") << std::string("/Sub")
            << std::string("/G/home/a/Data/Sub");
        QTest::newRow("source is the root")
            << std::string("/G") << false << std::string() << std::string() << std::string("/G");
        QTest::newRow("network source") << std::string("/G") << false << std::string("//srv/share/Data/Sub")
                                        << std::string("/Sub") << std::string("/G/srv/share/Data/Sub");
        QTest::newRow("network destination")
            << std::string("//nas/bak") << false << std::string("/home/a/Data") << std::string()
            << std::string("//nas/bak/home/a/Data");
    }

    void destinationFolders()
    {
        QFETCH(std::string, root);
        QFETCH(bool, own);
        QFETCH(std::string, sourceFolder);
        QFETCH(std::string, relative);
        QFETCH(std::string, folder);
        QCOMPARE(AppendFolderSuffix(FolderRootOf(root), DestinationSuffix(own, relative, sourceFolder)),
                 folder);
    }

    void generalDestinationTakesTheWholeSourcePath()
    {
        m_tree->WriteFile("src/a.txt", "x");
        m_tree->WriteFile("src/Sub/b.txt", "x");
        const std::string general = m_tree->Path("G");
        m_core->Settings().general.BakCopyPath.Assign(general + "/");
        CFileSetting setting;
        setting.NewBakTo.Assign(m_tree->Path("new"));
        setting.GenBakTo.Assign(m_tree->Path("gen"));
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);

        QCOMPARE(processor.Walk(m_source, true), 0);
        QCOMPARE(processor.files,
                 (std::vector<std::string>{m_source + "/a.txt -> " + general + m_source,
                                           m_source + "/Sub/b.txt -> " + general + m_source + "/Sub"}));
        QCOMPARE(processor.afterFiles, (std::vector<std::string>{m_source, m_source + "/Sub"}));
        for (const std::string root : {"G", "new", "gen"}) {
            QVERIFY(m_tree->Exists(root + m_source + "/Sub"));
        }
        QCOMPARE(processor.place.newFileFolder, m_tree->Path("new") + m_source + "/Sub");
        QCOMPARE(processor.place.generationFolder, m_tree->Path("gen") + m_source + "/Sub");

        const std::vector<CRow> expected{
            {MessageKind::kDebug, "OnDir", m_source + "/", ""},
            {MessageKind::kDetail, EngineText::kFolderCreated, "", general + m_source},
            {MessageKind::kDetail, EngineText::kFolderCreated, "", m_tree->Path("new") + m_source},
            {MessageKind::kDetail, EngineText::kFolderCreated, "", m_tree->Path("gen") + m_source},
            {MessageKind::kDebug, "OnDir", m_source + "/Sub/", "/Sub"},
            {MessageKind::kDetail, EngineText::kFolderCreated, "", general + m_source + "/Sub"},
            {MessageKind::kDetail, EngineText::kFolderCreated, "",
             m_tree->Path("new") + m_source + "/Sub"},
            {MessageKind::kDetail, EngineText::kFolderCreated, "",
             m_tree->Path("gen") + m_source + "/Sub"},
        };
        QCOMPARE(Rows(), expected);
    }

    void ownDestinationTakesTheRelativePath()
    {
        m_tree->WriteFile("src/Sub/b.txt", "x");
        m_core->Settings().general.BakCopyPath.Assign(m_tree->Path("G"));
        CFileSetting setting;
        setting.BakTo.Assign(m_tree->Path("own"));
        setting.Sub = 1;
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);
        QCOMPARE(processor.Walk(m_source, true), 0);
        QCOMPARE(processor.files,
                 (std::vector<std::string>{m_source + "/Sub/b.txt -> " + m_tree->Path("own/Sub")}));
        QVERIFY(!m_tree->Exists("G"));
        QVERIFY(!m_tree->Exists("new"));
    }

    void nameThatIsNotUtf8KeepsItsBytes()
    {
        const std::string folder = "d\xe9j\xe0";
        QCOMPARE(mkdir((m_source + "/" + folder).c_str(), 0700), 0);
        WriteFileBytes(m_source + "/" + folder + "/\xff.bin", "x");
        CFileSetting setting;
        setting.BakTo.Assign(m_tree->Path("own"));
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);
        QCOMPARE(processor.Walk(m_source, true), 0);
        const std::string destination = m_tree->Path("own") + "/" + folder;
        QCOMPARE(processor.files,
                 (std::vector<std::string>{m_source + "/" + folder + "/\xff.bin -> " + destination}));
        QVERIFY(PathExists(destination));
    }

    void destinationThatCannotBeCreatedSkipsTheFolder()
    {
        m_tree->WriteFile("src/a.txt", "x");
        m_tree->WriteFile("src/Sub/b.txt", "x");
        m_tree->WriteFile("own/Sub", "a file where the folder should be");
        CFileSetting setting;
        setting.BakTo.Assign(m_tree->Path("own"));
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);
        QCOMPARE(processor.Walk(m_source, true), 0);
        QCOMPARE(processor.files, (std::vector<std::string>{m_source + "/a.txt -> " + m_tree->Path("own")}));
        QCOMPARE(processor.afterFiles, (std::vector<std::string>{m_source}));
        QCOMPARE(m_host->sink.errorRows.size(), std::size_t(1));
    }

    void folderExcludeList_data()
    {
        QTest::addColumn<std::string>("top");
        QTest::addColumn<std::vector<std::string>>("walked");
        QTest::addColumn<std::vector<std::string>>("excluded");

        using List = std::vector<std::string>;
        QTest::newRow("at any depth")
            << std::string("src") << List{"src", "src/Keep"} << List{"TEMP", "Temp"};
        QTest::newRow("the top itself") << std::string("src/Temp") << List{} << List{"Temp"};
    }

    void folderExcludeList()
    {
        QFETCH(std::string, top);
        QFETCH(std::vector<std::string>, walked);
        QFETCH(std::vector<std::string>, excluded);
        m_tree->WriteFile("src/Temp/a", "x");
        m_tree->WriteFile("src/Keep/TEMP/b", "x");
        m_tree->WriteFile("src/Keep/c", "x");
        CFileSetting setting;
        setting.BakTo.Assign(m_tree->Path("own"));
        setting.DirExc = "x;temp";
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);
        QCOMPARE(processor.Walk(m_tree->Path(top), true), 0);

        std::vector<std::string> afterFiles;
        for (const auto& folder : walked)
            afterFiles.push_back(m_tree->Path(folder));
        QCOMPARE(processor.afterFiles, afterFiles);
        std::vector<std::string> notes;
        for (const auto& row : m_host->sink.RowsOfKind(MessageKind::kDebug)) {
            if (row.message == EngineText::kExcDir)
                notes.push_back(row.source);
        }
        QCOMPARE(notes, excluded);
        QVERIFY(!m_tree->Exists("own/Temp"));
    }

    void abortStopsAtTheNextFileAndFolder()
    {
        m_tree->WriteFile("src/a", "x");
        m_tree->WriteFile("src/b", "x");
        m_tree->WriteFile("src/Sub/c", "x");
        CFileSetting setting;
        setting.BakTo.Assign(m_tree->Path("own"));
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);
        processor.onFile = [this] { m_core->State().abortRequested = 1; };
        QCOMPARE(processor.Walk(m_source, true), 0);
        QCOMPARE(processor.files.size(), std::size_t(1));
        QCOMPARE(processor.afterFiles, (std::vector<std::string>{m_source}));
        // The subfolder is still announced, then refused: no destination for it.
        QCOMPARE(m_host->sink.Messages().back(), std::string(EngineText::kOnDir));
        QVERIFY(!m_tree->Exists("own/Sub"));
    }

    void disabledWalksNothing()
    {
        m_tree->WriteFile("src/a", "x");
        m_core->State().disabled = 1;
        CFileSetting setting;
        setting.BakTo.Assign(m_tree->Path("own"));
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);
        QCOMPARE(processor.Walk(m_source, true), 0);
        QVERIFY(processor.files.empty());
        QVERIFY(processor.afterFiles.empty());
        QCOMPARE(m_host->sink.Messages(), (std::vector<std::string>{EngineText::kOnDir}));
    }

    void backupFoldersInsideTheSourceAreNotWalked_data()
    {
        QTest::addColumn<std::string>("key");
        QTest::newRow("general destination") << std::string("BakCopyPath");
        QTest::newRow("own destination") << std::string("BakTo");
        QTest::newRow("new-file folder") << std::string("NewBakTo");
        QTest::newRow("generation folder") << std::string("GenBakTo");
        QTest::newRow("recycle folder") << std::string("Recycle2");
    }

    void backupFoldersInsideTheSourceAreNotWalked()
    {
        QFETCH(std::string, key);
        m_tree->WriteFile("src/a", "x");
        m_tree->WriteFile("src/Sub/b", "x");
        const std::string inside = m_source + "/bak";
        auto& general = m_core->Settings().general;
        general.BakCopyPath.Assign(m_tree->Path("G"));
        CFileSetting setting;
        if (key == "BakCopyPath")
            general.BakCopyPath.Assign(inside);
        else if (key == "BakTo")
            setting.BakTo.Assign(inside);
        else if (key == "NewBakTo")
            setting.NewBakTo.Assign(inside);
        else if (key == "GenBakTo")
            setting.GenBakTo.Assign(inside);
        else
            general.Recycle2.Assign(inside);
        m_tree->MakeFolder("src/bak");
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);

        // Two passes: the second one finds the backups the first one made.
        for (int pass = 0; pass < 2; ++pass) {
            processor.afterFiles.clear();
            QCOMPARE(processor.Walk(m_source, true), 0);
            QCOMPARE(processor.afterFiles, (std::vector<std::string>{m_source, m_source + "/Sub"}));
        }
        QVERIFY(m_host->sink.HasMessage(EngineText::kSkipBackupFolder));
    }

    void modesThatCreateNoFolder_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("generation deletion") << ProcessorMode::kDeleteGenerations;
        QTest::newRow("backup state") << ProcessorMode::kBackupState;
    }

    void modesThatCreateNoFolder()
    {
        QFETCH(int, mode);
        m_tree->WriteFile("src/Sub/a", "x");
        CFileSetting setting;
        setting.BakTo.Assign(m_tree->Path("own"));
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);
        processor.run.mode = mode;
        QCOMPARE(processor.Walk(m_source, true), 0);
        QCOMPARE(processor.afterFiles.size(), std::size_t(2));
        QVERIFY(!m_tree->Exists("own"));
    }

    void fileFilter_data()
    {
        QTest::addColumn<std::string>("inc");
        QTest::addColumn<std::string>("exc");
        QTest::addColumn<std::string>("name");
        QTest::addColumn<bool>("selected");

        QTest::newRow("empty include selects all")
            << std::string() << std::string() << std::string("a.bin") << true;
        QTest::newRow("default include")
            << std::string("*.*") << std::string() << std::string("Makefile") << true;
        QTest::newRow("included") << std::string("*.txt;*.doc") << std::string("~*") << std::string("a.doc")
                                  << true;
        QTest::newRow("not included")
            << std::string("*.txt;*.doc") << std::string("~*") << std::string("a.xls") << false;
        QTest::newRow("excluded") << std::string("*.txt;*.doc") << std::string("~*") << std::string("~a.txt")
                                  << false;
        QTest::newRow("path part dropped")
            << std::string("*.txt") << std::string("~*") << std::string("/x/~dir/a.txt") << true;
        QTest::newRow("exclude with empty include")
            << std::string() << std::string("*.tmp") << std::string("a.TMP") << false;
    }

    void fileFilter()
    {
        QFETCH(std::string, inc);
        QFETCH(std::string, exc);
        QFETCH(std::string, name);
        QFETCH(bool, selected);
        CFileSetting setting;
        setting.Inc = inc;
        setting.Exc = exc;
        CRecordingProcessor processor(*m_core);
        processor.LoadRules(setting);
        QCOMPARE(processor.MatchesFileFilter(name), selected);
    }

    // A file is looked at when its turn comes, not when its folder was listed: a file gone
    // since the listing is reported as not found and its backup left as it is, and a
    // file rewritten since is copied as it is now, not reported as changed under the copy.
    void fileChangedSinceTheListing_data()
    {
        QTest::addColumn<bool>("backupBefore");
        QTest::addColumn<bool>("gone");
        QTest::newRow("gone, never backed up") << false << true;
        QTest::newRow("gone, older backup") << true << true;
        QTest::newRow("rewritten, never backed up") << false << false;
        QTest::newRow("rewritten, older backup") << true << false;
    }

    void fileChangedSinceTheListing()
    {
        QFETCH(bool, backupBefore);
        QFETCH(bool, gone);
        const std::time_t now = std::time(nullptr);
        m_core->Settings().general.BakCopyPath.Assign(m_tree->Path("G") + "/");
        const std::string backupName = "G" + m_source + "/b.txt";
        m_tree->WriteFile("src/a.txt", "a");
        const std::string source = m_tree->WriteFile("src/b.txt", "listed", now - 1000);
        if (backupBefore)
            m_tree->WriteFile(backupName, "old", now - 5000);
        const std::string rewritten = "rewritten since the listing";
        CHookedProcessor processor(*m_core);
        processor.LoadRules(CFileSetting{});
        processor.beforeFile = [&](const std::string& name) {
            if (name != "a.txt")
                return;
            if (gone)
                QVERIFY(std::remove(source.c_str()) == 0);
            else
                m_tree->WriteFile("src/b.txt", rewritten);
        };

        QCOMPARE(processor.Walk(m_source, true), 0);
        std::vector<std::string> notFound;
        for (const auto& row : m_host->sink.RowsOfKind(MessageKind::kWarning)) {
            QVERIFY(row.message.find(EngineText::kSourceFileDetection) != std::string::npos);
            notFound.push_back(row.source);
        }
        QCOMPARE(notFound, gone ? std::vector<std::string>{source} : std::vector<std::string>{});
        QCOMPARE(m_host->sink.RowsOfKind(MessageKind::kError).size(), std::size_t(0));
        // The error list holds the warnings too.
        QCOMPARE(m_host->sink.errorRows.size(), notFound.size());
        if (gone && !backupBefore)
            QVERIFY(!m_tree->Exists(backupName));
        else
            QCOMPARE(m_tree->Read(backupName), gone ? std::string("old") : rewritten);
    }

    // A folder the walk has just made is taken to hold no backup, so its files are not
    // looked for there; a backup that appears all the same is judged as if it had been
    // found: a newer one is not replaced.
    void backupAppearingInAFolderJustMade()
    {
        const std::time_t now = std::time(nullptr);
        m_core->Settings().general.BakCopyPath.Assign(m_tree->Path("G") + "/");
        m_core->Settings().general.Forced = 0;
        m_tree->WriteFile("src/a.txt", "a", now - 1000);
        m_tree->WriteFile("src/b.txt", "source", now - 1000);
        const std::string backupName = "G" + m_source + "/b.txt";
        CHookedProcessor processor(*m_core);
        processor.LoadRules(CFileSetting{});
        bool written = false;
        processor.beforeFile = [&](const std::string& name) {
            if (name == "b.txt" && !written)
                m_tree->WriteFile(backupName, "newer backup", now);
            written = written || name == "b.txt";
        };

        QCOMPARE(processor.Walk(m_source, true), 0);
        QCOMPARE(m_tree->Read("G" + m_source + "/a.txt"), std::string("a"));
        QCOMPARE(m_tree->Read(backupName), std::string("newer backup"));
        QCOMPARE(processor.CopyCount(), 1L); // a.txt; the refused copy of b.txt is no attempt of its own
        const auto errors = m_host->sink.RowsOfKind(MessageKind::kError);
        QCOMPARE(errors.size(), std::size_t(1));
        QVERIFY(errors[0].message.ends_with(EngineText::kBackupIsNewer));
    }

private:
    std::vector<CRow> Rows() const
    {
        std::vector<CRow> rows;
        for (const auto& row : m_host->sink.reportRows)
            rows.push_back({row.kind, row.message, row.source, row.destination});
        return rows;
    }

    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
    std::unique_ptr<CTempTree> m_tree;
    std::string m_source;
};

QTEST_GUILESS_MAIN(TestBackupProcessor)
#include "tst_backup_processor.moc"
