#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "helpers/temp_tree.h"
#include "helpers/unprivileged.h"
#include "platform/change_notifier.h"
#include "platform/last_error.h"
#include "platform/linux/inotify_notifier.h"
#include "platform/linux/snapshot_notifier.h"
#include "platform/path.h"
#include "platform/platform_texts.h"

namespace {

enum class EKind
{
    Inotify,
    Snapshot,
};

std::unique_ptr<IChangeNotifier> Watch(EKind kind, const std::string& folder, bool subtree = true,
                                       std::vector<std::string> excluded = {})
{
    CChangeWatchOptions options;
    options.folder = folder;
    options.subtree = subtree;
    options.excludedFolders = std::move(excluded);
    // As the scheduler asks: one file of the program's own, and folders never walked.
    options.ignore = [](const std::string& path, bool isFolder) {
        const std::string name = FileNameOf(path);
        return isFolder ? name.starts_with('.') : name == "own.log";
    };
    if (kind == EKind::Inotify)
        return CInotifyNotifierFactory().Create(options);
    CChangeWatchOptions local;
    if (LocalWatchOptions(options, local) != 0)
        return nullptr;
    auto notifier = std::make_unique<CSnapshotNotifier>(local);
    return notifier->Start() ? std::move(notifier) : nullptr;
}

void Append(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

void Rename(const std::string& from, const std::string& to)
{
    QVERIFY2(std::rename(from.c_str(), to.c_str()) == 0, from.c_str());
}

const char* KindName(EKind kind)
{
    return kind == EKind::Inotify ? "inotify" : "snapshot";
}

bool WriteProcValue(const std::string& path, const std::string& value)
{
    std::ofstream out(path);
    out << value << '\n' << std::flush;
    return static_cast<bool>(out);
}

} // namespace

class TestChangeNotifier : public QObject
{
    Q_OBJECT

private slots:
    void signalsChanges_data();
    void signalsChanges();
    void foldersCreatedAndMovedLater_data() { kinds(); }
    void foldersCreatedAndMovedLater();
    void sourceFolderGoneAndBack_data();
    void sourceFolderGoneAndBack();
    void overflowFallsBackToPolling();
    void tellsWhereChangesWereSeen_data();
    void tellsWhereChangesWereSeen();
    void unwatchableFolderLeavesChangesUnknown();
    void setupIsPacedAndSkipsLinksAndExclusions();

private:
    void kinds()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("inotify") << int(EKind::Inotify);
        QTest::newRow("snapshot") << int(EKind::Snapshot);
    }
};

void TestChangeNotifier::signalsChanges_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("subtree");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("signalled");

    for (const EKind kind : {EKind::Inotify, EKind::Snapshot}) {
        const auto row = [kind](const char* name) -> QTestData& {
            return QTest::addRow("%s: %s", KindName(kind), name) << int(kind);
        };
        row("new file") << true << "new file" << true;
        row("file grown") << true << "append" << true;
        row("file renamed") << true << "rename" << true;
        row("file deleted in a subfolder") << true << "delete sub" << true;
        row("last-write time set") << true << "mtime" << true;
        row("file written two levels down") << true << "deep write" << true;
        row("without subtree, a subfolder's file") << false << "deep write" << false;
        row("without subtree, a root file") << false << "append" << true;
        row("inside excluded folders") << true << "excluded" << false;
        row("an ignored file") << true << "ignored file" << false;
        row("inside ignored folders") << true << "ignored folder" << false;
        row("behind a link to a folder") << true << "through link" << false;
        row("nothing changed") << true << "nothing" << false;
    }
}

void TestChangeNotifier::signalsChanges()
{
    QFETCH(int, kind);
    QFETCH(bool, subtree);
    QFETCH(QString, change);
    QFETCH(bool, signalled);

    CTempTree tree;
    tree.WriteFile("src/a.txt", "abc");
    tree.WriteFile("src/sub/b.txt", "b");
    tree.WriteFile("src/sub/deep/c.txt", "c");
    tree.WriteFile("src/dest/x.txt", "x");
    tree.WriteFile("outside/y.txt", "y");
    tree.WriteFile("src/own.log", "first line");
    tree.WriteFile("src/.config/app/old.log", "old");
    QCOMPARE(symlink(tree.Path("outside").c_str(), tree.Path("src/link").c_str()), 0);

    const auto notifier = Watch(EKind(kind), tree.Path("src"), subtree,
                                {tree.Path("src/dest"), tree.Path("src/newdest/"), tree.Root()});
    QVERIFY(notifier);
    QVERIFY(!notifier->IsSignalled());

    if (change == "new file") {
        tree.WriteFile("src/new.txt", "n");
    } else if (change == "append") {
        Append(tree.Path("src/a.txt"), "more");
    } else if (change == "rename") {
        Rename(tree.Path("src/a.txt"), tree.Path("src/a2.txt"));
    } else if (change == "delete sub") {
        QCOMPARE(unlink(tree.Path("src/sub/b.txt").c_str()), 0);
    } else if (change == "mtime") {
        SetFileTime(tree.Path("src/a.txt"), 1000000000);
    } else if (change == "deep write") {
        Append(tree.Path("src/sub/deep/c.txt"), "more");
    } else if (change == "excluded") {
        tree.WriteFile("src/dest/new.txt", "n");
        Append(tree.Path("src/dest/x.txt"), "more");
        tree.WriteFile("src/newdest/f.txt", "created with its folder");
    } else if (change == "ignored file") {
        Append(tree.Path("src/sub/own.log"), "a line");
        Append(tree.Path("src/own.log"), "another line");
    } else if (change == "ignored folder") {
        tree.WriteFile("src/.config/new.log", "n");
        Append(tree.Path("src/.config/app/old.log"), "more");
        tree.WriteFile("src/sub/.cache/f.txt", "created with its folder");
    } else if (change == "through link") {
        Append(tree.Path("outside/y.txt"), "more");
        tree.WriteFile("outside/new.txt", "n");
    }

    QCOMPARE(notifier->IsSignalled(), signalled);
    if (signalled) {
        QVERIFY(notifier->IsSignalled()); // held until it is read
        // A change between the poll that saw the first one and the re-arm is not lost.
        tree.WriteFile("src/late.txt", "l");
        notifier->ReadAndRearm();
        QVERIFY(notifier->IsSignalled());
        notifier->ReadAndRearm();
        QVERIFY(!notifier->IsSignalled());
    }
    QCOMPARE(notifier->Degradation(), std::string());
}

void TestChangeNotifier::foldersCreatedAndMovedLater()
{
    QFETCH(int, kind);
    CTempTree tree;
    tree.WriteFile("src/sub/inner/b.txt", "b");
    tree.WriteFile("elsewhere/inner/c.txt", "c");
    const auto notifier = Watch(EKind(kind), tree.Path("src"));
    QVERIFY(notifier);

    const auto poll = [&notifier] {
        const bool signalled = notifier->IsSignalled();
        if (signalled)
            notifier->ReadAndRearm();
        return signalled;
    };

    // A folder tree created at once: the folders below the first one raise no event of
    // their own before they are watched.
    tree.MakeFolder("src/n1/n2/n3");
    QVERIFY(poll());
    tree.WriteFile("src/n1/n2/n3/f.txt", "f");
    QVERIFY(poll());

    Rename(tree.Path("elsewhere"), tree.Path("src/moved-in"));
    QVERIFY(poll());
    tree.WriteFile("src/moved-in/inner/g.txt", "g");
    QVERIFY(poll());

    Rename(tree.Path("src/sub"), tree.Path("src/renamed"));
    QVERIFY(poll());
    tree.WriteFile("src/renamed/inner/h.txt", "h");
    QVERIFY(poll());

    Rename(tree.Path("src/renamed"), tree.Path("moved-out"));
    QVERIFY(poll());
    tree.WriteFile("moved-out/inner/i.txt", "no longer ours");
    QVERIFY(!poll());
}

void TestChangeNotifier::sourceFolderGoneAndBack_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("movedAway");
    QTest::addColumn<bool>("heldOpen");
    for (const EKind kind : {EKind::Inotify, EKind::Snapshot}) {
        QTest::addRow("%s: deleted", KindName(kind)) << int(kind) << false << false;
        QTest::addRow("%s: moved away", KindName(kind)) << int(kind) << true << false;
        // The kernel reports the deletion of a folder only when the last user lets go.
        QTest::addRow("%s: deleted while held open", KindName(kind)) << int(kind) << false << true;
    }
}

void TestChangeNotifier::sourceFolderGoneAndBack()
{
    QFETCH(int, kind);
    QFETCH(bool, movedAway);
    QFETCH(bool, heldOpen);
    CTempTree tree;
    tree.WriteFile("src/sub/a.txt", "a");
    const auto notifier = Watch(EKind(kind), tree.Path("src"));
    QVERIFY(notifier);
    const int holder = heldOpen ? open(tree.Path("src").c_str(), O_RDONLY | O_DIRECTORY) : -1;
    const auto release = qScopeGuard([holder] {
        if (holder >= 0)
            close(holder);
    });

    if (movedAway) {
        Rename(tree.Path("src"), tree.Path("old"));
    } else {
        QVERIFY(QDir(QString::fromStdString(tree.Path("src"))).removeRecursively());
    }
    QVERIFY(notifier->IsSignalled());
    notifier->ReadAndRearm();
    if (movedAway)
        tree.WriteFile("old/sub/b.txt", "not in the source any more");
    QVERIFY(!notifier->IsSignalled());

    tree.MakeFolder("src");
    QVERIFY(notifier->IsSignalled());
    notifier->ReadAndRearm();
    QVERIFY(!notifier->IsSignalled());
    tree.WriteFile("src/sub/c.txt", "c");
    QVERIFY(notifier->IsSignalled());
    QCOMPARE(notifier->Degradation(), std::string());
}

void TestChangeNotifier::overflowFallsBackToPolling()
{
    const std::string limitPath = "/proc/sys/fs/inotify/max_queued_events";
    if (geteuid() != 0 || access(limitPath.c_str(), W_OK) != 0)
        QSKIP("lowering fs.inotify.max_queued_events needs root and a writable /proc/sys");

    CTempTree tree;
    tree.WriteFile("src/a.txt", "a");
    std::unique_ptr<IChangeNotifier> notifier;
    {
        // An instance keeps the limit it was created with, so the system-wide value is
        // lowered only around the creation.
        std::string saved;
        std::ifstream(limitPath) >> saved;
        const auto restore = qScopeGuard([&] { QVERIFY(WriteProcValue(limitPath, saved)); });
        QVERIFY(!saved.empty() && WriteProcValue(limitPath, "8"));
        notifier = Watch(EKind::Inotify, tree.Path("src"));
    }
    QVERIFY(notifier);
    QVERIFY(!notifier->IsSignalled());

    for (int i = 0; i < 40; ++i)
        tree.WriteFile("src/f" + std::to_string(i), "x");
    QVERIFY(notifier->IsSignalled());
    QCOMPARE(notifier->Degradation(), std::string(PlatformText::kQueueOverflow));
    QCOMPARE(notifier->TakeDegradationNotice(), std::string(PlatformText::kQueueOverflow));
    QCOMPARE(notifier->TakeDegradationNotice(), std::string());

    // Polling from now on: quiet without a change, signalled by the next one.
    notifier->ReadAndRearm();
    QVERIFY(!notifier->IsSignalled());
    Append(tree.Path("src/a.txt"), "grown");
    QVERIFY(notifier->IsSignalled());
}

void TestChangeNotifier::tellsWhereChangesWereSeen_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("folders"); // "" is the watched folder
    QTest::addColumn<QStringList>("trees");
    QTest::addColumn<bool>("known");
    QTest::newRow("file written deep down") << "deep write" << QStringList{"/sub/deep"} << QStringList{} << true;
    QTest::newRow("file moved across") << "move across" << QStringList{"", "/sub"} << QStringList{} << true;
    QTest::newRow("folder tree created")
        << "new tree" << QStringList{"/sub"} << QStringList{"/sub/n1"} << true;
    QTest::newRow("folder moved in") << "move in" << QStringList{""} << QStringList{"/in"} << true;
    QTest::newRow("folder renamed")
        << "rename folder" << QStringList{""} << QStringList{"/renamed"} << true;
    QTest::newRow("folder's permissions")
        << "chmod folder" << QStringList{"", "/sub"} << QStringList{} << true;
    QTest::newRow("ignored entries") << "ignored" << QStringList{} << QStringList{} << true;
    QTest::newRow("watched folder moved away and back") << "root moved" << QStringList{} << QStringList{} << false;
}

void TestChangeNotifier::tellsWhereChangesWereSeen()
{
    QFETCH(QString, change);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, trees);
    QFETCH(bool, known);
    CTempTree tree;
    tree.WriteFile("src/a.txt", "a");
    tree.WriteFile("src/sub/deep/c.txt", "c");
    tree.WriteFile("outside/in/x/y.txt", "y");
    const auto notifier = Watch(EKind::Inotify, tree.Path("src"));
    QVERIFY(notifier);

    if (change == "deep write") {
        Append(tree.Path("src/sub/deep/c.txt"), "more");
    } else if (change == "move across") {
        Rename(tree.Path("src/a.txt"), tree.Path("src/sub/a.txt"));
    } else if (change == "new tree") {
        tree.WriteFile("src/sub/n1/n2/f.txt", "f");
    } else if (change == "move in") {
        Rename(tree.Path("outside/in"), tree.Path("src/in"));
    } else if (change == "rename folder") {
        Rename(tree.Path("src/sub"), tree.Path("src/renamed"));
    } else if (change == "chmod folder") {
        QCOMPARE(chmod(tree.Path("src/sub").c_str(), 0700), 0);
    } else if (change == "ignored") {
        Append(tree.Path("src/own.log"), "a line");
        tree.WriteFile("src/.cache/f.txt", "f");
    } else if (change == "root moved") {
        Rename(tree.Path("src"), tree.Path("src2"));
        Rename(tree.Path("src2"), tree.Path("src"));
    }

    QCOMPARE(notifier->IsSignalled(), known ? !folders.isEmpty() : true);
    notifier->ReadAndRearm();
    CChangedFolders changed;
    QCOMPARE(notifier->TakeChangedFolders(changed), known);
    const auto list = [](const std::set<std::string>& paths) {
        QStringList result;
        for (const std::string& path : paths)
            result << QString::fromStdString(path);
        return result;
    };
    QCOMPARE(list(changed.folders), folders);
    QCOMPARE(list(changed.trees), trees);

    // Handed over once; afterwards exact again.
    QVERIFY(notifier->TakeChangedFolders(changed));
    QVERIFY(changed.folders.empty() && changed.trees.empty());
    tree.WriteFile("src/sub2/z.txt", "z");
    QVERIFY(notifier->IsSignalled());
    QVERIFY(notifier->TakeChangedFolders(changed));
    QCOMPARE(list(changed.trees), QStringList{"/sub2"});
}

// A folder that cannot be watched hides its changes: where changes were seen is then not
// known, until its permissions allow watching it. Run as nobody: root may watch anything.
void TestChangeNotifier::unwatchableFolderLeavesChangesUnknown()
{
    if (RunsAsRoot()) {
        QByteArray output;
        QVERIFY2(RunTestAsNobody("unwatchableFolderLeavesChangesUnknown", output), output.constData());
        return;
    }
    CTempTree tree;
    tree.WriteFile("src/a.txt", "a");
    const auto notifier = Watch(EKind::Inotify, tree.Path("src"));
    QVERIFY(notifier);
    const std::string locked = tree.MakeFolder("src/locked");
    QCOMPARE(chmod(locked.c_str(), 0), 0);
    const auto unlock = qScopeGuard([&locked] { chmod(locked.c_str(), 0700); });

    CChangedFolders changed;
    QVERIFY(notifier->IsSignalled());
    notifier->ReadAndRearm();
    QVERIFY(!notifier->TakeChangedFolders(changed));

    QCOMPARE(chmod(locked.c_str(), 0700), 0);
    QVERIFY(notifier->IsSignalled());
    notifier->ReadAndRearm();
    QVERIFY(notifier->TakeChangedFolders(changed));
    QCOMPARE(changed.trees, (std::set<std::string>{"/locked"}));
    tree.WriteFile("src/locked/b.txt", "b");
    QVERIFY(notifier->IsSignalled());
    QVERIFY(notifier->TakeChangedFolders(changed));
    QCOMPARE(changed.folders, (std::set<std::string>{"/locked"}));
}

void TestChangeNotifier::setupIsPacedAndSkipsLinksAndExclusions()
{
    CTempTree tree;
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 4; ++j)
            tree.MakeFolder("src/d" + std::to_string(i) + "/e" + std::to_string(j));
    tree.MakeFolder("src/dest/a/b");
    tree.MakeFolder("outside/x/y");
    QCOMPARE(symlink(tree.Path("outside").c_str(), tree.Path("src/d0/link").c_str()), 0);

    CChangeWatchOptions options;
    options.folder = tree.Path("src");
    options.excludedFolders = {tree.Path("src/dest")};
    options.paceEvery = 5;
    std::vector<std::size_t> paced;
    options.pace = [&paced](std::size_t done) {
        paced.push_back(done);
        return true;
    };

    auto notifier = CInotifyNotifierFactory().Create(options);
    QVERIFY(notifier);
    // The source, 6 folders and 24 below them; not the link's target, not the destination.
    QCOMPARE(static_cast<CInotifyNotifier&>(*notifier).WatchCount(), std::size_t(31));
    QCOMPARE(paced, (std::vector<std::size_t>{5, 10, 15, 20, 25, 30}));

    options.pace = [](std::size_t) { return false; };
    QVERIFY(!CInotifyNotifierFactory().Create(options));
    QCOMPARE(GetLastSystemError(), ECANCELED);

    options.folder = tree.Path("missing");
    QVERIFY(!CInotifyNotifierFactory().Create(options));
    QCOMPARE(GetLastSystemError(), ENOENT);
}

QTEST_GUILESS_MAIN(TestChangeNotifier)
#include "tst_change_notifier.moc"
