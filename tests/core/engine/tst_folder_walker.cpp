#include <QtTest>

#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/folder_walker.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/last_error.h"
#include "report/message_kinds.h"
#include "report/report_texts.h"
#include "settings/application_core.h"

Q_DECLARE_METATYPE(std::string)

namespace {

// Records the walk as lines "enter <rel>", "file <rel>/<name>", "after <rel>".
class CRecordingWalker final : public CFolderWalker
{
public:
    using CFolderWalker::CFolderWalker;

    bool EnterFolder(const std::string& relativePath) override
    {
        calls.push_back("enter " + relativePath);
        if (const auto hook = onEnter.find(relativePath); hook != onEnter.end())
            hook->second();
        return refused.count(relativePath) == 0;
    }
    int ProcessFile(const std::string& fileName) override
    {
        calls.push_back("file " + RelativePath() + "/" + fileName);
        // The name must lead back to the very file, byte for byte.
        if (!PathExists(CurrentSourceFolder() + fileName))
            missing.push_back(CurrentSourceFolder() + fileName);
        return 0;
    }
    bool KeepScanning() override { return keepScanning; }
    int AfterFiles() override
    {
        calls.push_back("after " + RelativePath() + (ListingComplete() ? "" : " (incomplete)"));
        return 0;
    }

    // Each folder left, with the current source folder the walker shows at that moment.
    void LeaveFolder() override { left.push_back(RelativePath() + " in " + CurrentSourceFolder()); }

    std::vector<std::string> calls;
    std::vector<std::string> left;
    std::vector<std::string> missing;
    std::set<std::string> refused;
    std::map<std::string, std::function<void()>> onEnter;
    bool keepScanning = true;
};

using Calls = std::vector<std::string>;

} // namespace

class TestFolderWalker : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<CFakeHost>();
        m_core = std::make_unique<CApplicationCore>(m_host->Services(), CCommandLine{});
        m_core->Settings().general.DispDebugInfo = 1;
        m_tree = std::make_unique<CTempTree>();
        QVERIFY(m_tree->IsValid());
        m_source = m_tree->MakeFolder("src");
    }

    void filesThenAfterFilesThenSubfoldersInNameOrder()
    {
        // Created against name order, and enough of them that a listing in creation or
        // hash order would show.
        for (const char* name : {"k", "j", "i", "h", "g", "f", "e", "d", "c", "b", "a", "B"})
            m_tree->WriteFile(std::string("src/") + name, "x");
        m_tree->WriteFile("src/Sub2/x", "x");
        m_tree->WriteFile("src/Sub1/y", "x");
        m_tree->WriteFile("src/Sub1/Deep/z", "x");
        m_tree->WriteFile("src/.hidden", "x");
        char before[4096];
        QVERIFY(getcwd(before, sizeof before) != nullptr);

        CRecordingWalker walker(*m_core);
        QCOMPARE(walker.Walk(m_source, true), 0);

        Calls expected{"enter ", "file /.hidden", "file /B"};
        for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"})
            expected.push_back(std::string("file /") + name);
        expected.insert(expected.end(), {"after ", "enter /Sub1", "file /Sub1/y", "after /Sub1",
                                         "enter /Sub1/Deep", "file /Sub1/Deep/z", "after /Sub1/Deep",
                                         "enter /Sub2", "file /Sub2/x", "after /Sub2"});
        QCOMPARE(walker.calls, expected);
        // A folder is left only once everything below it is done, and the walker points at
        // it again by then.
        QCOMPARE(walker.left,
                 (Calls{"/Sub1/Deep in " + m_source + "/Sub1/Deep/", "/Sub1 in " + m_source + "/Sub1/",
                        "/Sub2 in " + m_source + "/Sub2/", " in " + m_source + "/"}));
        QVERIFY(walker.missing.empty());
        char after[4096];
        QVERIFY(getcwd(after, sizeof after) != nullptr);
        QCOMPARE(std::string(after), std::string(before));
    }

    void withoutRecursionOnlyTheTop()
    {
        m_tree->WriteFile("src/a", "x");
        m_tree->WriteFile("src/Sub/b", "x");
        CRecordingWalker walker(*m_core);
        QCOMPARE(walker.Walk(m_source, false), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "file /a", "after "}));
        QCOMPARE(walker.left, Calls{" in " + m_source + "/"});
    }

    void dotFoldersAreNeverEntered()
    {
        m_tree->WriteFile("src/.git/config", "x");
        m_tree->WriteFile("src/.cache/deep/file", "x");
        CRecordingWalker walker(*m_core);
        QCOMPARE(walker.Walk(m_source, true), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "after "}));
    }

    void refusedFolderSkipsItsWholeSubtree()
    {
        m_tree->WriteFile("src/A/f", "x");
        m_tree->WriteFile("src/A/Inner/g", "x");
        m_tree->WriteFile("src/B/h", "x");
        CRecordingWalker walker(*m_core);
        walker.refused.insert("/A");
        QCOMPARE(walker.Walk(m_source, true), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "after ", "enter /A", "enter /B", "file /B/h", "after /B"}));
        QCOMPARE(walker.left, (Calls{"/B in " + m_source + "/B/", " in " + m_source + "/"}));
    }

    void stoppedScanningStillFinishesFolders()
    {
        m_tree->WriteFile("src/a", "x");
        m_tree->WriteFile("src/Sub/b", "x");
        CRecordingWalker walker(*m_core);
        walker.keepScanning = false;
        QCOMPARE(walker.Walk(m_source, true), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "after ", "enter /Sub", "after /Sub"}));
    }

    void linksAndSpecialFiles()
    {
        m_tree->WriteFile("src/plain", "x");
        m_tree->WriteFile("src/Sub/inner", "x");
        QCOMPARE(symlink("..", (m_source + "/Sub/loop").c_str()), 0);
        QCOMPARE(symlink(m_source.c_str(), (m_source + "/self").c_str()), 0);
        QCOMPARE(symlink("plain", (m_source + "/to-file").c_str()), 0);
        QCOMPARE(symlink("nowhere", (m_source + "/dangling").c_str()), 0);
        QCOMPARE(symlink("one", (m_source + "/cycle-two").c_str()), 0);
        QCOMPARE(symlink("cycle-two", (m_source + "/one").c_str()), 0);
        QCOMPARE(mkfifo((m_source + "/fifo").c_str(), 0600), 0);
        QCOMPARE(symlink("fifo", (m_source + "/to-fifo").c_str()), 0);

        CRecordingWalker walker(*m_core);
        QCOMPARE(walker.Walk(m_source, true), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "file /cycle-two", "file /dangling", "file /one",
                                      "file /plain", "file /self", "file /to-file", "after ", "enter /Sub",
                                      "file /Sub/inner", "file /Sub/loop", "after /Sub"}));

        std::vector<std::pair<std::string, std::string>> notes;
        for (const auto& row : m_host->sink.RowsOfKind(MessageKind::kDebug))
            notes.emplace_back(row.message, row.source);
        const decltype(notes) expected{{WalkerText::kSkipSpecialFile, m_source + "/fifo"},
                                       {WalkerText::kSkipSpecialFile, m_source + "/to-fifo"}};
        QCOMPARE(notes, expected);
    }

    void namesThatAreNotUtf8()
    {
        const std::string folder = "d\xe9j\xe0";
        const std::string file = "\xff\xfe name.bin";
        // Made with the plain calls: nothing on the way may reinterpret the bytes.
        QCOMPARE(mkdir((m_source + "/" + folder).c_str(), 0700), 0);
        WriteFileBytes(m_source + "/" + folder + "/" + file, "x");
        CRecordingWalker walker(*m_core);
        QCOMPARE(walker.Walk(m_source, true), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "after ", "enter /" + folder, "file /" + folder + "/" + file,
                                      "after /" + folder}));
        QVERIFY(walker.missing.empty());
    }

    void ownTemporaryFilesAreNotHandedOn()
    {
        m_tree->WriteFile("src/.tovix-tmp-a1B2c3", "x");
        m_tree->WriteFile("src/.tovix-tmp-toolong", "x");
        CRecordingWalker walker(*m_core);
        QCOMPARE(walker.Walk(m_source, false), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "file /.tovix-tmp-toolong", "after "}));
    }

    void folderThatCannotBeEntered_data()
    {
        QTest::addColumn<std::string>("path");
        QTest::addColumn<int>("error");
        QTest::newRow("missing") << std::string("missing") << ENOENT;
        QTest::newRow("a file") << std::string("file") << ENOTDIR;
    }

    void folderThatCannotBeEntered()
    {
        QFETCH(std::string, path);
        QFETCH(int, error);
        m_tree->WriteFile("file", "x");
        CRecordingWalker walker(*m_core);
        QCOMPARE(walker.Walk(m_tree->Path(path), true), -1);
        QCOMPARE(GetLastSystemError(), error);
        QVERIFY(walker.calls.empty());
    }

    void topGivenThroughALink()
    {
        m_tree->WriteFile("src/a", "x");
        const std::string link = m_tree->Path("link");
        QCOMPARE(symlink(m_source.c_str(), link.c_str()), 0);
        CRecordingWalker walker(*m_core);
        QCOMPARE(walker.Walk(link + "//", false), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "file /a", "after "}));
        QCOMPARE(walker.RootPath(), link);
    }

    void protectedFoldersAreNeverEntered()
    {
        m_tree->WriteFile("src/Bak/old", "x");
        m_tree->WriteFile("src/Data/f", "x");
        m_tree->WriteFile("src/Data/Gen/g", "x");
        QCOMPARE(symlink(m_source.c_str(), m_tree->Path("alias").c_str()), 0);

        CRecordingWalker walker(*m_core);
        // One named through a link and "..", one that the walk itself creates.
        walker.SetProtectedFolders(
            {m_tree->Path("alias/Data/../Bak"), m_source + "/Later", m_source + "/Data/Gen"});
        walker.onEnter[""] = [&] { m_tree->MakeFolder("src/Later"); };
        QCOMPARE(walker.Walk(m_source, true), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "after ", "enter /Data", "file /Data/f", "after /Data"}));

        std::vector<std::string> skipped;
        for (const auto& row : m_host->sink.RowsOfKind(MessageKind::kDebug)) {
            QCOMPARE(row.message, std::string(WalkerText::kSkipBackupFolder));
            skipped.push_back(row.source);
        }
        QCOMPARE(skipped,
                 (std::vector<std::string>{m_source + "/Bak", m_source + "/Data/Gen", m_source + "/Later"}));
    }

    void protectedTopIsNotWalked()
    {
        m_tree->WriteFile("src/a", "x");
        CRecordingWalker walker(*m_core);
        walker.SetProtectedFolders({m_source + "/"});
        QCOMPARE(walker.Walk(m_source, true), 0);
        QVERIFY(walker.calls.empty());
    }

    void listingThatFailsIsMarkedIncomplete()
    {
        m_tree->WriteFile("src/Gone/a", "x");
        m_tree->WriteFile("src/Kept/b", "x");
        CRecordingWalker walker(*m_core);
        // The folder vanishes between being found and being read: an expected error,
        // reported by nobody, but its listing is not complete.
        walker.onEnter["/Gone"] = [&] {
            unlink(m_tree->Path("src/Gone/a").c_str());
            rmdir(m_tree->Path("src/Gone").c_str());
        };
        QCOMPARE(walker.Walk(m_source, true), 0);
        QCOMPARE(walker.calls, (Calls{"enter ", "after ", "enter /Gone", "after /Gone (incomplete)",
                                      "enter /Kept", "file /Kept/b", "after /Kept"}));
        QVERIFY(m_host->sink.errorRows.empty());
    }

    void unreadableFolderIsReportedAndIncomplete()
    {
        if (geteuid() == 0)
            QSKIP("permissions do not stop the super-user");
        m_tree->WriteFile("src/Locked/a", "x");
        QCOMPARE(chmod(m_tree->Path("src/Locked").c_str(), 0300), 0);
        CRecordingWalker walker(*m_core);
        const bool walked = walker.Walk(m_source, true) == 0;
        chmod(m_tree->Path("src/Locked").c_str(), 0700);
        QVERIFY(walked);
        QCOMPARE(walker.calls, (Calls{"enter ", "after ", "enter /Locked", "after /Locked (incomplete)"}));
        QCOMPARE(m_host->sink.errorRows.size(), std::size_t(1));
        QCOMPARE(m_host->sink.errorRows[0].message,
                 std::string(ReportText::kErrorPrefix) + "予期せぬエラーを検出 ($D)");
        QCOMPARE(m_host->sink.errorRows[0].source, m_source + "/Locked");
    }

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
    std::unique_ptr<CTempTree> m_tree;
    std::string m_source;
};

QTEST_GUILESS_MAIN(TestFolderWalker)
#include "tst_folder_walker.moc"
