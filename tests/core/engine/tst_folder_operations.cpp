#include <QtTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/engine_texts.h"
#include "engine/folder_operations.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/last_error.h"
#include "report/format_text.h"
#include "report/report_texts.h"
#include "settings/application_core.h"

class TestFolderOperations : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<CFakeHost>();
        m_core = std::make_unique<CApplicationCore>(m_host->Services(), CCommandLine{});
        SetLastSystemError(0);
    }

    void ensureFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("created");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<int>("error");
        // The tree holds the folder "a" and the file "a/file".
        QTest::newRow("existing folder") << "a" << false << "" << 0;
        QTest::newRow("several levels") << "a/b/c/d" << true << "" << 0;
        QTest::newRow("trailing separator") << "a/b/" << true << "" << 0;
        QTest::newRow("level below a file") << "a/file/b/c" << false << "a/file/b" << ENOTDIR;
        QTest::newRow("a file in the folder's place") << "a/file" << false << "a/file" << ENOTDIR;
    }
    void ensureFolder()
    {
        QFETCH(QString, folder);
        QFETCH(bool, created);
        QFETCH(QString, failing);
        QFETCH(int, error);
        CTempTree tree;
        tree.WriteFile("a/file", "x");
        const std::string path = tree.Path(folder.toStdString());

        std::string failingOut = "stale";
        QCOMPARE(CreateFolderPath(path, &failingOut), created);
        QCOMPARE(failingOut, failing.isEmpty() ? std::string() : tree.Path(failing.toStdString()));
        QCOMPARE(GetLastSystemError(), error);
        if (created) {
            struct stat status
            {
            };
            QVERIFY(stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode));
            QVERIFY(!CreateFolderPath(path));
        }

        // EnsureFolder: one detail for a created path, an error naming the level that
        // failed, nothing for an existing folder.
        CTempTree second;
        second.WriteFile("a/file", "x");
        const std::string path2 = second.Path(folder.toStdString());
        QCOMPARE(EnsureFolder(*m_core, path2), error == 0);
        const auto& rows = m_host->sink.reportRows;
        if (folder == "a") {
            QVERIFY(rows.empty());
        } else if (created) {
            QCOMPARE(rows.size(), std::size_t(1));
            QCOMPARE(rows[0].kind, MessageKind::kDetail);
            QCOMPARE(rows[0].message, std::string(EngineText::kFolderCreated));
            QCOMPARE(rows[0].destination, path2);
            QCOMPARE(rows[0].info, std::string());
        } else {
            QCOMPARE(rows.size(), std::size_t(1));
            QCOMPARE(rows[0].kind, MessageKind::kError);
            QCOMPARE(rows[0].message,
                     std::string(ReportText::kErrorPrefix) + EngineText::kFolderCreated);
            QCOMPARE(rows[0].destination, second.Path(failing.toStdString()));
            QCOMPARE(rows[0].info, std::string(".$00000014-Not a directory"));
            QCOMPARE(GetLastSystemError(), ENOTDIR);
        }
    }

    void networkPathOfAnUnmountedShareIsNeverCreatedLocally()
    {
        CTempTree tree;
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(tree.Path("run")));
        const std::string path = "//tovix-no-such-server/share/folder";
        QVERIFY(!EnsureFolder(*m_core, path));
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(GetLastSystemError(), EHOSTDOWN);
        QVERIFY(!PathExists("/tovix-no-such-server"));
        QCOMPARE(m_host->sink.RowsOfKind(MessageKind::kError).size(), std::size_t(1));
    }

    void createFolderLikeTakesTheTemplatePermissions_data()
    {
        QTest::addColumn<int>("templateMode");
        QTest::addColumn<int>("expectedMode");
        QTest::newRow("plain") << 0750 << 0750;
        QTest::newRow("read-only template stays fillable") << 0555 << 0755;
    }
    void createFolderLikeTakesTheTemplatePermissions()
    {
        QFETCH(int, templateMode);
        QFETCH(int, expectedMode);
        CTempTree tree;
        const std::string templ = tree.MakeFolder("template");
        chmod(templ.c_str(), static_cast<mode_t>(templateMode));
        CreateFolderLike(templ, tree.Path("new"));
        QCOMPARE(GetLastSystemError(), 0);
        QCOMPARE(FileMode(tree.Path("new")), expectedMode);
        chmod(templ.c_str(), 0755);

        CreateFolderLike({}, tree.Path("new"));
        QCOMPARE(GetLastSystemError(), EEXIST);
    }

    void moveOrDeleteTree_data()
    {
        QTest::addColumn<bool>("withDestination");
        QTest::newRow("delete") << false;
        QTest::newRow("move") << true;
    }
    void moveOrDeleteTree()
    {
        QFETCH(bool, withDestination);
        CTempTree tree;
        const std::string readOnly = tree.WriteFile("src/sub/ro.txt", "read-only");
        chmod(readOnly.c_str(), 0444);
        tree.WriteFile("src/top.txt", "top");
        tree.WriteFile("src/deeper/still/x.bin", "x");
        tree.WriteFile("outside/precious.txt", "never touched");
        QCOMPARE(symlink(tree.Path("outside").c_str(), tree.Path("src/sub/link-to-outside").c_str()), 0);
        // The destination may hold older copies already; they are replaced.
        tree.WriteFile("dst/top.txt", "older");

        const std::string destination = withDestination ? tree.Path("dst") : std::string();
        QVERIFY(MoveOrDeleteTree(*m_core, tree.Path("src"), destination));
        QCOMPARE(GetLastSystemError(), 0);
        QVERIFY(!PathExists(tree.Path("src")));
        QCOMPARE(tree.Read("outside/precious.txt"), std::string("never touched"));
        if (withDestination) {
            QCOMPARE(tree.Read("dst/top.txt"), std::string("top"));
            QCOMPARE(tree.Read("dst/sub/ro.txt"), std::string("read-only"));
            QVERIFY((FileMode(tree.Path("dst/sub/ro.txt")) & S_IWUSR) != 0);
            QCOMPARE(tree.Read("dst/deeper/still/x.bin"), std::string("x"));
            char target[512] = {};
            QVERIFY(readlink(tree.Path("dst/sub/link-to-outside").c_str(), target, sizeof target - 1) > 0);
            QCOMPARE(std::string(target), tree.Path("outside"));
        } else {
            QCOMPARE(tree.Read("dst/top.txt"), std::string("older"));
        }
    }

    void moveOrDeleteTreeStopsAtTheFirstFailure()
    {
        CTempTree tree;
        tree.WriteFile("src/a.txt", "a");
        // A folder cannot replace the file that stands in its way at the destination.
        tree.WriteFile("src/sub/b.txt", "b");
        tree.WriteFile("dst/sub", "a file, not a folder");
        QVERIFY(!MoveOrDeleteTree(*m_core, tree.Path("src"), tree.Path("dst")));
        QCOMPARE(GetLastSystemError(), ENOTDIR);
        QVERIFY(PathExists(tree.Path("src")));
        QCOMPARE(tree.Read("src/sub/b.txt"), std::string("b"));
    }

    void isExistingFolder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<int>("error");
        QTest::newRow("folder") << "d" << true << 0;
        QTest::newRow("link to a folder") << "link" << true << 0;
        QTest::newRow("file") << "d/f" << false << ENOTDIR;
        QTest::newRow("missing") << "nothing" << false << ENOENT;
    }
    void isExistingFolder()
    {
        QFETCH(QString, path);
        QFETCH(bool, folder);
        QFETCH(int, error);
        CTempTree tree;
        tree.WriteFile("d/f", "x");
        QCOMPARE(symlink("d", tree.Path("link").c_str()), 0);
        SetLastSystemError(12345);
        QCOMPARE(IsExistingFolder(tree.Path(path.toStdString())), folder);
        QCOMPARE(GetLastSystemError(), error);
    }

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
};

QTEST_GUILESS_MAIN(TestFolderOperations)
#include "tst_folder_operations.moc"
