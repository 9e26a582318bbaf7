// A backup restores to the tree that was backed up: links to folders are kept as links
// (never followed, whatever they point at), and folders keep their last-write times and
// permissions. Compared entry by entry, and once more with rsync as an outside judge.

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "settings/application_core.h"
#include "decision_rows.h"
#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "helpers/engine_rig.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "helpers/tree_compare.h"

namespace {

constexpr std::time_t kTime = 1'600'000'000;

std::string LinkTarget(const std::string& path)
{
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

void MakeLink(const std::string& target, const std::string& path, std::time_t time)
{
    QCOMPARE(symlink(target.c_str(), path.c_str()), 0);
    SetFileTime(path, time);
}

void SetFolder(const std::string& path, mode_t mode, std::time_t time)
{
    QCOMPARE(chmod(path.c_str(), mode), 0);
    SetFileTime(path, time);
}

// What rsync would change to make the backup equal the source; empty when nothing.
QByteArray RsyncChanges(const std::string& source, const std::string& backup)
{
    QProcess rsync;
    rsync.start("rsync", {"-rlptn", "--itemize-changes", "--checksum", QString::fromStdString(source + "/"),
                          QString::fromStdString(backup + "/")});
    if (!rsync.waitForFinished(60000) || rsync.exitStatus() != QProcess::NormalExit || rsync.exitCode() != 0)
        return "rsync failed: " + rsync.readAllStandardError();
    return rsync.readAllStandardOutput();
}

} // namespace

class TestBackupTree : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
    std::unique_ptr<CTempTree> m_tree;
    std::string m_source;
    std::string m_destination;
    std::string m_outside;
    CFileSetting m_setting;

    long Pass()
    {
        CBackupProcessor processor(*m_core);
        processor.LoadRules(m_setting);
        if (processor.Walk(m_source, true) != 0)
            return -1;
        return processor.CopyCount();
    }

    // Links of every sort and nested folders whose times and permissions all differ, one
    // of them read-only and one with the sticky bit. Folder times are set last, since
    // everything made inside a folder moves its time.
    void MakeSourceTree()
    {
        m_tree->WriteFile("src/top.txt", "top", kTime + 1);
        m_tree->WriteFile("src/A/a.txt", "a", kTime + 2);
        m_tree->WriteFile("src/A/B/deep.txt", "deep", kTime + 3);
        m_tree->WriteFile("src/R/r.txt", "read-only folder", kTime + 4);
        m_tree->WriteFile("src/T/t.txt", "sticky folder", kTime + 5);
        m_tree->MakeFolder("src/E");
        QCOMPARE(chmod(m_tree->Path("src/A/a.txt").c_str(), 0600), 0);
        QCOMPARE(chmod(m_tree->Path("src/R/r.txt").c_str(), 0444), 0);
        MakeLink("A", m_source + "/rel", kTime + 10);
        MakeLink(m_source + "/A/B", m_source + "/abs", kTime + 11);
        MakeLink(m_outside, m_source + "/out", kTime + 12);
        MakeLink("nowhere", m_source + "/dangling", kTime + 13);
        MakeLink("self", m_source + "/self", kTime + 14);
        MakeLink("top.txt", m_source + "/file-link", kTime + 15);
        MakeLink("..", m_source + "/A/up", kTime + 16);
        MakeLink("../../A", m_source + "/A/B/back", kTime + 17);
        SetFolder(m_source + "/A/B", 0700, kTime + 20);
        SetFolder(m_source + "/A", 0751, kTime + 21);
        SetFolder(m_source + "/R", 0555, kTime + 22);
        SetFolder(m_source + "/T", 01777, kTime + 23);
        SetFolder(m_source + "/E", 0710, kTime + 24);
        SetFolder(m_source, 0750, kTime + 25);
    }

private slots:
    void init()
    {
        QVERIFY(MakeEngineRig(m_host, m_core, m_tree));
        m_source = m_tree->MakeFolder("src");
        m_destination = m_tree->Path("dst");
        m_outside = m_tree->Path("outside");
        m_tree->WriteFile("outside/secret.txt", "outside");
        m_setting = CFileSetting{};
        m_setting.No.Assign(m_source);
        m_setting.BakTo.Assign(m_destination);
        m_setting.Sub = 1;
        MakeSourceTree();
    }

    void cleanup()
    {
        m_core.reset();
        m_tree.reset();
        m_host.reset();
    }

    void onePassGivesTheSourceTree()
    {
        QVERIFY(Pass() > 0);
        const CTreeComparison comparison = CompareTrees(m_source, m_destination);
        QVERIFY2(comparison.differences.empty(), DifferencesText(comparison).c_str());
        QCOMPARE(comparison.entries, std::size_t(18));
        QCOMPARE(RsyncChanges(m_source, m_destination), QByteArray());
        // Nothing was reached through a link: the loops were not walked and the folder
        // outside got nothing.
        QCOMPARE(LinkTarget(m_destination + "/A/up"), std::string(".."));
        QCOMPARE(LinkTarget(m_destination + "/out"), m_outside);
        QVERIFY(!PathExists(m_outside + "/top.txt"));
        QVERIFY(m_host->sink.RowsOfKind(MessageKind::kError).empty());
        QVERIFY(m_host->sink.RowsOfKind(MessageKind::kWarning).empty());

        // A second pass has nothing to do, and leaves the folders as they were.
        QCOMPARE(Pass(), 0L);
        QCOMPARE(CompareTrees(m_source, m_destination).differences, std::vector<std::string>());
    }

    // Links cannot carry the record of their backed-up state; in archive mode they must
    // not count as changed, on either side, at every pass.
    void archiveModeLeavesUnchangedLinksAlone()
    {
        m_setting.ArcMode = 1;
        QVERIFY(Pass() > 0);
        m_host->sink.reportRows.clear();
        QCOMPARE(Pass(), 0L);
        QVERIFY(m_host->sink.RowsOfKind(MessageKind::kError).empty());
        QCOMPARE(CompareTrees(m_source, m_destination).differences, std::vector<std::string>());
    }

    // Generation deletion walks the source over backups that may not exist: no folder is
    // made, and no missing one is worth a warning. One that exists gets its times back.
    void generationDeletionOverMissingBackups()
    {
        m_tree->WriteFile("dst/A/a.$1.txt", "old", kTime);
        CBackupProcessor processor(*m_core);
        processor.LoadRules(m_setting);
        processor.run.mode = ProcessorMode::kDeleteGenerations;
        QCOMPARE(processor.Walk(m_source, true), 0);
        QVERIFY(!PathExists(m_destination + "/A/a.$1.txt"));
        QVERIFY(!PathExists(m_destination + "/R"));
        QVERIFY(m_host->sink.RowsOfKind(MessageKind::kWarning).empty());
        QCOMPARE(FileTime(m_destination + "/A"), FileTime(m_source + "/A"));
        QCOMPARE(FileMode(m_destination + "/A"), 0751);
    }

    void changedLinks_data()
    {
        QTest::addColumn<std::string>("name");
        // "retarget" (a new target text), "remove", or "folder" (replaced by a real folder).
        QTest::addColumn<QString>("change");
        QTest::addColumn<std::string>("newTarget");
        QTest::addColumn<int>("oldFileAction");
        QTest::addColumn<std::vector<std::string>>("differences");
        QTest::addColumn<std::vector<CRow>>("rows");

        using D = std::vector<std::string>;
        using V = std::vector<CRow>;
        const int k0 = MessageKind::kFile;
        const int k1 = MessageKind::kWarning;
        QTest::newRow("relative target changed") << std::string("rel") << "retarget" << std::string("A/B")
                                                 << 0 << D{} << V{Row(k0, "更新(TS)", "{S}", "{D}")};
        QTest::newRow("absolute target changed, same length")
            << std::string("abs") << "retarget" << std::string("{S}/A/X") << 0 << D{}
            << V{Row(k0, "更新(T)", "{S}", "{D}")};
        QTest::newRow("link out of the tree removed, deleted")
            << std::string("out") << "remove" << std::string() << 2 << D{}
            << V{Row(k0, EngineText::kDestinationOnlyDeleted, "{S}", "{D}")};
        QTest::newRow("removed, warned")
            << std::string("out") << "remove" << std::string() << 1 << D{"extra out"}
            << V{Row(k1, EngineText::kDestinationOnlyDetected, "{S}", "{D}")};
        QTest::newRow("removed, recycled")
            << std::string("rel") << "remove" << std::string() << 4 << D{}
            << V{Row(k0, EngineText::kDestinationOnlyRecycled, "{S}", "{D}", "{R}")};
        QTest::newRow("replaced by a folder") << std::string("rel") << "folder" << std::string() << 2 << D{}
                                              << V{Row(k0, "コピー", "{S}/new.txt", "{D}/new.txt")};
    }

    // Pass, change one link, pass again: the backup follows the link's new state and
    // nothing is done through the old link.
    void changedLinks()
    {
        QFETCH(std::string, name);
        QFETCH(QString, change);
        QFETCH(std::string, newTarget);
        QFETCH(int, oldFileAction);
        QFETCH(std::vector<std::string>, differences);
        QFETCH(std::vector<CRow>, rows);
        m_setting.OldDel = oldFileAction;
        QVERIFY(Pass() > 0);
        QCOMPARE(CompareTrees(m_source, m_destination).differences, std::vector<std::string>());
        m_host->sink.reportRows.clear();

        const std::string link = m_source + "/" + name;
        const std::string oldTarget = LinkTarget(link);
        QCOMPARE(unlink(link.c_str()), 0);
        if (change == "retarget") {
            ReplaceAll(newTarget, "{S}", m_source);
            MakeLink(newTarget, link, kTime + 30);
        } else if (change == "folder") {
            m_tree->WriteFile("src/" + name + "/new.txt", "new", kTime + 31);
        }
        QVERIFY(Pass() >= 0);

        QCOMPARE(CompareTrees(m_source, m_destination).differences, differences);
        for (CRow& row : rows) {
            for (std::string* field : {&row.source, &row.destination, &row.info}) {
                ReplaceAll(*field, "{S}", link);
                ReplaceAll(*field, "{D}", m_destination + "/" + name);
                ReplaceAll(*field, "{R}", m_core->Settings().general.Recycle2.expanded);
            }
        }
        QCOMPARE(DecisionRows(m_host->sink, EngineText::kOnDir), rows);
        // What the old link led to is untouched, in the backup and outside it.
        QCOMPARE(CompareTrees(m_source + "/A", m_destination + "/A").differences, std::vector<std::string>());
        QCOMPARE(ReadFileBytes(m_outside + "/secret.txt"), std::string("outside"));
        QVERIFY(!PathExists(m_outside + "/new.txt"));
        if (oldFileAction == 4)
            QCOMPARE(LinkTarget(m_core->Settings().general.Recycle2.expanded + "/" + name), oldTarget);
    }
};

QTEST_GUILESS_MAIN(TestBackupTree)
#include "tst_backup_tree.moc"
