#include <QtTest>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "engine/file_operation.h"
#include "helpers/fake_services.h"
#include "helpers/scoped_mount.h"
#include "helpers/temp_tree.h"
#include "helpers/unprivileged.h"
#include "platform/atomic_copy.h"
#include "platform/file_attributes.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "settings/application_core.h"

namespace {

constexpr const char* kNoTmpfs = "needs root to mount a tmpfs (a second, tiny file system)";

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..")
                names.emplace_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool HasTemporaryFile(const std::string& folder)
{
    for (const std::string& name : Entries(folder))
        if (IsOwnTemporaryFile(name))
            return true;
    return false;
}

timespec ModificationTime(const std::string& path)
{
    struct stat status
    {
    };
    lstat(path.c_str(), &status);
    return status.st_mtim;
}

void SetNanoTime(const std::string& path, std::time_t seconds, long nanoseconds)
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace

class TestFileOperation : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<CFakeHost>();
        m_core = std::make_unique<CApplicationCore>(m_host->Services(), CCommandLine{});
        m_core->Settings().general.BakWait = 0;
        SetLastSystemError(0);
    }

    void copyKeepsContentsTimesAndMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<int>("size");
        // Unnamed: the caller found no target, so the copy is written without a name and
        // linked in; as nobody, since kernels before 6.10 link by the descriptor alone only
        // for privileged callers.
        QTest::addColumn<bool>("unnamed");
        QTest::addColumn<bool>("asNobody");
        // Run as root, the source is given to this user and group first (-1: kept).
        QTest::addColumn<int>("sourceOwner");
        QTest::newRow("new target") << 0640 << false << 100 << false << false << -1;
        QTest::newRow("read-only source over read-only target")
            << 0444 << true << 5000 << false << false << -1;
        QTest::newRow("empty file") << 0600 << true << 0 << false << false << -1;
        QTest::newRow("several chunks")
            << 0755 << true << int(kCopyChunkBytes * 2 + 17) << false << false << -1;
        QTest::newRow("new target, unnamed") << 0640 << false << 100 << true << false << -1;
        QTest::newRow("new target, unnamed, as nobody") << 0640 << false << 100 << true << true << -1;
        QTest::newRow("read-only, unnamed") << 0444 << false << 100 << true << false << -1;
        // Attributes need write permission on the copy, even through its descriptor.
        QTest::newRow("read-only, unnamed, as nobody") << 0444 << false << 100 << true << true << -1;
        QTest::newRow("read-only over a target, as nobody") << 0444 << true << 100 << false << true << -1;
        // The umask takes write permission from a new file: the mode is set afterwards.
        QTest::newRow("beyond the umask, unnamed") << 0666 << false << 100 << true << false << -1;
        // The change of owner clears set-user-ID, so the mode must come after it.
        QTest::newRow("someone else's set-user-ID file, unnamed")
            << 04755 << false << 100 << true << false << 65534;
        QTest::newRow("someone else's file over a target") << 02750 << true << 100 << false << false << 65534;
    }
    void copyKeepsContentsTimesAndMode()
    {
        QFETCH(int, mode);
        QFETCH(bool, targetExists);
        QFETCH(int, size);
        QFETCH(bool, unnamed);
        QFETCH(bool, asNobody);
        QFETCH(int, sourceOwner);
        if (sourceOwner >= 0 && !RunsAsRoot())
            QSKIP("giving a file to another user needs root");
        if (asNobody && RunsAsRoot()) {
            QByteArray output;
            QVERIFY2(
                RunTestAsNobody(QString("copyKeepsContentsTimesAndMode:") + QTest::currentDataTag(), output),
                output.constData());
            return;
        }
        CTempTree tree;
        std::string contents(static_cast<std::size_t>(size), '\0');
        for (int i = 0; i < size; ++i)
            contents[static_cast<std::size_t>(i)] = static_cast<char>(i * 7 + i / 251);
        const std::string from = tree.WriteFile("src/a.bin", contents);
        const std::string xattrValue = "kept";
        QCOMPARE(setxattr(from.c_str(), "user.test", xattrValue.data(), xattrValue.size(), 0), 0);
        if (sourceOwner >= 0)
            QCOMPARE(chown(from.c_str(), static_cast<uid_t>(sourceOwner), static_cast<gid_t>(sourceOwner)),
                     0);
        chmod(from.c_str(), static_cast<mode_t>(mode));
        SetNanoTime(from, 1'600'000'000, 123'456'789);
        const std::string to = tree.Path("dst/a.bin");
        tree.MakeFolder("dst");
        if (targetExists) {
            tree.WriteFile("dst/a.bin", "old contents");
            chmod(to.c_str(), 0444);
        }

        CCopyOptions options;
        options.targetMissing = unnamed;
        CFileOperation operation(*m_core);
        QCOMPARE(operation.Copy(from, to, options), 0);
        QCOMPARE(GetLastSystemError(), 0);
        QVERIFY(ReadFileBytes(to) == contents);
        QCOMPARE(ModificationTime(to).tv_sec, std::time_t(1'600'000'000));
        QCOMPARE(ModificationTime(to).tv_nsec, 123'456'789L);
        QCOMPARE(FileMode(to), mode);
        struct stat copied
        {
        };
        QCOMPARE(lstat(to.c_str(), &copied), 0);
        if (sourceOwner >= 0)
            QCOMPARE(std::pair(int(copied.st_uid), int(copied.st_gid)), std::pair(sourceOwner, sourceOwner));
        char value[16] = {};
        QCOMPARE(getxattr(to.c_str(), "user.test", value, sizeof value), ssize_t(4));
        QCOMPARE(std::string(value), xattrValue);
        QCOMPARE(Entries(tree.Path("dst")), std::vector<std::string>{"a.bin"});
    }

    void copyFailuresLeaveTheTargetAlone_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("error");
        QTest::newRow("vanished source") << "missing" << ENOENT;
        QTest::newRow("FIFO is never opened") << "fifo" << ENOTSUP;
        QTest::newRow("folder") << "folder" << EISDIR;
        QTest::newRow("target folder missing") << "no-target-folder" << ENOENT;
    }
    void copyFailuresLeaveTheTargetAlone()
    {
        QFETCH(QString, what);
        QFETCH(int, error);
        CTempTree tree;
        std::string from = tree.Path("src/item");
        tree.MakeFolder("src");
        if (what == "fifo")
            QCOMPARE(mkfifo(from.c_str(), 0600), 0);
        else if (what == "folder")
            tree.MakeFolder("src/item");
        else if (what == "no-target-folder")
            from = tree.WriteFile("src/item", "new");
        std::string to = tree.WriteFile("dst/item", "old");
        if (what == "no-target-folder")
            to = tree.Path("nowhere/item");

        CFileOperation operation(*m_core);
        QCOMPARE(operation.Copy(from, to), -1);
        QCOMPARE(GetLastSystemError(), error);
        QCOMPARE(SystemErrorSuffix(), SystemErrorSuffixOf(error));
        QCOMPARE(tree.Read("dst/item"), std::string("old"));
        QVERIFY(!HasTemporaryFile(tree.Path("dst")));
    }

    void copyOntoAFullFileSystemKeepsTheOldTarget()
    {
        CTempTree tree;
        CScopedMount small(tree.Path("small"), "size=256k");
        if (!small.IsMounted())
            QSKIP(kNoTmpfs);
        const std::string old(100 * 1024, 'o');
        const std::string to = tree.WriteFile("small/big.bin", old);
        const std::string from = tree.WriteFile("big.bin", std::string(1024 * 1024, 'n'));

        CFileOperation operation(*m_core);
        QCOMPARE(operation.Copy(from, to), -1);
        QCOMPARE(GetLastSystemError(), ENOSPC);
        QCOMPARE(SystemErrorSuffix(), std::string(".$0000001C-No space left on device"));
        QVERIFY(ReadFileBytes(to) == old);
        QCOMPARE(Entries(tree.Path("small")), std::vector<std::string>{"big.bin"});
    }

    void abortDuringALargeCopy_data()
    {
        QTest::addColumn<bool>("abortBefore");
        QTest::addColumn<bool>("quitting");
        QTest::addColumn<bool>("copied");
        QTest::newRow("abort pressed during the copy") << false << false << false;
        QTest::newRow("application quitting") << false << true << false;
        QTest::newRow("abort set before the copy began") << true << false << true;
    }
    void abortDuringALargeCopy()
    {
        QFETCH(bool, abortBefore);
        QFETCH(bool, quitting);
        QFETCH(bool, copied);
        CTempTree tree;
        const std::string contents(kCopyChunkBytes * 6, 'x');
        const std::string from = tree.WriteFile("big.bin", contents);
        const std::string to = tree.WriteFile("dst/big.bin", "previous backup");
        m_core->State().abortRequested = abortBefore ? 1 : 0;
        m_host->pump.actionsAtPump[2] = [&] {
            if (quitting)
                m_host->pump.quitting = true;
            else
                m_core->State().abortRequested = 1;
        };

        CFileOperation operation(*m_core);
        const int result = operation.Copy(from, to);
        QVERIFY(!HasTemporaryFile(tree.Path("dst")));
        if (copied) {
            QCOMPARE(result, 0);
            QVERIFY(ReadFileBytes(to) == contents);
            return;
        }
        QCOMPARE(result, -1);
        QCOMPARE(GetLastSystemError(), ECANCELED);
        QCOMPARE(m_host->pump.pumpCount, 2);
        QCOMPARE(m_core->State().abortRequested, 1);
        QCOMPARE(ReadFileBytes(to), std::string("previous backup"));
    }

    // A new backup is written without a name and linked in when complete; a target that
    // appears meanwhile is replaced whole, or left alone when it must not be replaced.
    void targetAppearingDuringTheCopy_data()
    {
        QTest::addColumn<bool>("replaceExisting");
        QTest::newRow("replaced") << true;
        QTest::newRow("kept") << false;
    }
    void targetAppearingDuringTheCopy()
    {
        QFETCH(bool, replaceExisting);
        CTempTree tree;
        const std::string contents(kCopyChunkBytes * 3, 'y');
        const std::string from = tree.WriteFile("big.bin", contents);
        tree.MakeFolder("dst");
        const std::string to = tree.Path("dst/big.bin");
        bool written = false;
        const auto writeTarget = [&] {
            if (!written)
                written = tree.WriteFile("dst/big.bin", "appeared") == to;
            return true;
        };
        CCopyOptions options;
        options.replaceExisting = replaceExisting;
        options.targetMissing = true;

        const int result = CopyFileAtomic(from, to, options, writeTarget);

        QVERIFY(written);
        QVERIFY(!HasTemporaryFile(tree.Path("dst")));
        QCOMPARE(Entries(tree.Path("dst")), std::vector<std::string>{"big.bin"});
        QCOMPARE(result, replaceExisting ? 0 : EEXIST);
        QVERIFY(ReadFileBytes(to) == (replaceExisting ? contents : std::string("appeared")));
    }

    // The status the caller read says "regular file", but the name has since become
    // something else: the copy neither follows nor blocks, and writes nothing.
    void sourceReplacedAfterItsStatusWasRead_data()
    {
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<int>("error");
        QTest::newRow("FIFO") << "fifo" << ENOTSUP;
        QTest::newRow("link to a file") << "link" << ELOOP;
    }
    void sourceReplacedAfterItsStatusWasRead()
    {
        QFETCH(QString, replacement);
        QFETCH(int, error);
        CTempTree tree;
        const std::string from = tree.WriteFile("a.txt", "regular");
        const std::string elsewhere = tree.WriteFile("elsewhere.txt", "not to be copied");
        tree.MakeFolder("dst");
        CFileStatus status;
        QCOMPARE(ReadFileStatus(from, status), 0);
        QCOMPARE(unlink(from.c_str()), 0);
        if (replacement == "fifo")
            QCOMPARE(mkfifo(from.c_str(), 0644), 0);
        else
            QCOMPARE(symlink(elsewhere.c_str(), from.c_str()), 0);
        CCopyOptions options;
        options.targetMissing = true;
        options.sourceStatus = &status;

        QCOMPARE(CopyFileAtomic(from, tree.Path("dst/a.txt"), options), error);
        QCOMPARE(Entries(tree.Path("dst")), std::vector<std::string>{});
    }

    void copiesSymbolicLinksAsLinks()
    {
        CTempTree tree;
        tree.WriteFile("real.txt", "data");
        const std::string from = tree.Path("link");
        QCOMPARE(symlink("real.txt", from.c_str()), 0);
        const std::string to = tree.WriteFile("dst/link", "an older regular file");

        CFileOperation operation(*m_core);
        QCOMPARE(operation.Copy(from, to), 0);
        char target[64] = {};
        QCOMPARE(readlink(to.c_str(), target, sizeof target - 1), ssize_t(8));
        QCOMPARE(std::string(target), std::string("real.txt"));
        QVERIFY(!HasTemporaryFile(tree.Path("dst")));
    }

    void copyWithNamesThatAreNotUtf8()
    {
        CTempTree tree;
        const std::string name = "caf\xe9-\xff\xfe.txt";
        const std::string from = tree.WriteFile("src/" + name, "bytes");
        tree.MakeFolder("dst");
        const std::string to = tree.Path("dst/" + name);
        CFileOperation operation(*m_core);
        QCOMPARE(operation.Copy(from, to), 0);
        QCOMPARE(ReadFileBytes(to), std::string("bytes"));
        QCOMPARE(operation.Move(to, tree.Path("dst/moved-" + name)), 0);
        QCOMPARE(operation.Delete(tree.Path("dst/moved-" + name)), 0);
        QVERIFY(Entries(tree.Path("dst")).empty());
    }

    void copyCanClearTheArchiveBitOfBoth()
    {
        CTempTree tree;
        const std::string from = tree.WriteFile("a.txt", "one", 1'600'000'000);
        const std::string to = tree.Path("b.txt");
        QVERIFY(HasArchiveBit(from));
        CFileOperation operation(*m_core);
        CCopyOptions options;
        options.clearArchiveBit = true;
        QCOMPARE(operation.Copy(from, to, options), 0);
        QVERIFY(!HasArchiveBit(from));
        QVERIFY(!HasArchiveBit(to));

        // A later change of the source sets its archive bit again; a plain copy carries
        // the source's state along.
        tree.WriteFile("a.txt", "two!", 1'600'000'100);
        QVERIFY(HasArchiveBit(from));
        QCOMPARE(operation.Copy(from, to), 0);
        QVERIFY(HasArchiveBit(to));
    }

    void moveNeverReplaces_data()
    {
        QTest::addColumn<bool>("acrossFileSystems");
        QTest::newRow("same file system") << false;
        QTest::newRow("across file systems") << true;
    }
    void moveNeverReplaces()
    {
        QFETCH(bool, acrossFileSystems);
        CTempTree tree;
        std::unique_ptr<CScopedMount> other;
        std::string folder = tree.MakeFolder("dst");
        if (acrossFileSystems) {
            other = std::make_unique<CScopedMount>(tree.Path("other"), "size=1m");
            if (!other->IsMounted())
                QSKIP(kNoTmpfs);
            folder = tree.Path("other");
        }
        const std::string from = tree.WriteFile("a.txt", "new", 1'600'000'000);
        const std::string taken = JoinPath(folder, "taken.txt");
        WriteFileBytes(taken, "existing");

        CFileOperation operation(*m_core);
        QCOMPARE(operation.Move(from, taken), -1);
        QCOMPARE(GetLastSystemError(), EEXIST);
        QCOMPARE(ReadFileBytes(taken), std::string("existing"));
        QCOMPARE(tree.Read("a.txt"), std::string("new"));

        const std::string to = JoinPath(folder, "a.txt");
        QCOMPARE(operation.Move(from, to), 0);
        QCOMPARE(GetLastSystemError(), 0);
        QVERIFY(!PathExists(from));
        QCOMPARE(ReadFileBytes(to), std::string("new"));
        QCOMPARE(FileTime(to), std::time_t(1'600'000'000));
        QVERIFY(!HasTemporaryFile(folder));
    }

    void deleteRemovesReadOnlyFiles()
    {
        CTempTree tree;
        const std::string path = tree.WriteFile("r.txt", "x");
        chmod(path.c_str(), 0444);
        CFileOperation operation(*m_core);
        QCOMPARE(operation.Delete(path), 0);
        QVERIFY(!PathExists(path));
        QCOMPARE(operation.Delete(path), -1);
        QCOMPARE(GetLastSystemError(), ENOENT);
    }

    void recycleIntoThePrivateFolder()
    {
        CTempTree tree;
        const std::string recycle = tree.Path("recycle/deep/bin");
        const std::string first = tree.WriteFile("a/x.txt", "first");
        const std::string second = tree.WriteFile("b/x.txt", "second");
        CFileOperation operation(*m_core, recycle);
        QCOMPARE(operation.Recycle(first), 0);
        QVERIFY(!PathExists(first));
        QCOMPARE(tree.Read("recycle/deep/bin/x.txt"), std::string("first"));

        // A file of that name is there already: nothing is replaced.
        QCOMPARE(operation.Recycle(second), -1);
        QCOMPARE(GetLastSystemError(), EEXIST);
        QCOMPARE(tree.Read("recycle/deep/bin/x.txt"), std::string("first"));
        QCOMPARE(tree.Read("b/x.txt"), std::string("second"));
    }

    void recycleFailsWhenTheFolderCannotBeMade()
    {
        CTempTree tree;
        const std::string blocker = tree.WriteFile("bin", "a file where the folder should be");
        const std::string file = tree.WriteFile("x.txt", "x");
        CFileOperation operation(*m_core, blocker);
        QCOMPARE(operation.Recycle(file), -1);
        QCOMPARE(GetLastSystemError(), ENOTDIR);
        QVERIFY(PathExists(file));
    }

    void recycleIntoTheHomeTrash()
    {
        CTempTree tree;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(tree.Path("data")));
        qputenv("TZ", "UTC");
        tzset();
        m_host->clock.SetSeconds(1'700'000'000);
        const std::string first = tree.WriteFile("docs/My file%.txt", "one");
        const std::string second = tree.WriteFile("other/My file%.txt", "two");
        CFileOperation operation(*m_core, std::string());
        QCOMPARE(operation.Recycle(first), 0);
        QCOMPARE(operation.Recycle(second), 0);
        qunsetenv("XDG_DATA_HOME");

        QVERIFY(!PathExists(first));
        QCOMPARE(tree.Read("data/Trash/files/My file%.txt"), std::string("one"));
        QCOMPARE(tree.Read("data/Trash/files/My file%.2.txt"), std::string("two"));
        QCOMPARE(tree.Read("data/Trash/info/My file%.txt.trashinfo"),
                 "[Trash Info]\nPath=" + tree.Path("docs")
                     + "/My%20file%25.txt\n"
                       "DeletionDate=2023-11-14T22:13:20\n");
        QVERIFY(tree.Read("data/Trash/info/My file%.2.txt.trashinfo").find("/other/My%20file%25.txt\n")
                != std::string::npos);
    }

    void recycleOnAnotherMountUsesItsOwnTrash()
    {
        CTempTree tree;
        CScopedMount other(tree.Path("mnt"), "size=1m");
        if (!other.IsMounted())
            QSKIP(kNoTmpfs);
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(tree.Path("data")));
        const std::string file = tree.WriteFile("mnt/dir/x.txt", "x");
        CFileOperation operation(*m_core, std::string());
        QCOMPARE(operation.Recycle(file), 0);
        qunsetenv("XDG_DATA_HOME");
        const std::string trash = tree.Path("mnt/.Trash-" + std::to_string(getuid()));
        QCOMPARE(FileMode(trash), 0700);
        QCOMPARE(ReadFileBytes(trash + "/files/x.txt"), std::string("x"));
        QVERIFY(ReadFileBytes(trash + "/info/x.txt.trashinfo").find("Path=" + tree.Path("mnt/dir/x.txt"))
                != std::string::npos);
        QVERIFY(!PathExists(tree.Path("data/Trash/files/x.txt")));
    }

    void ownTemporaryFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("own");
        QTest::newRow("ours") << ".tovix-tmp-aZ09bY" << true;
        QTest::newRow("too short") << ".tovix-tmp-aZ09b" << false;
        QTest::newRow("too long") << ".tovix-tmp-aZ09bYc" << false;
        QTest::newRow("other characters") << ".tovix-tmp-aZ0_bY" << false;
        QTest::newRow("prefix inside a name") << "x.tovix-tmp-aZ09bY" << false;
    }
    void ownTemporaryFiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, own);
        QCOMPARE(IsOwnTemporaryFile(name.toStdString()), own);
    }

    void staleTemporaryFilesAreRemoved()
    {
        CTempTree tree;
        tree.WriteFile("d/.tovix-tmp-abc123", "stale");
        tree.WriteFile("d/.tovix-tmp-zzzzzz", "stale");
        tree.WriteFile("d/.tovix-tmp-user", "user file");
        tree.WriteFile("d/keep.txt", "user file");
        QCOMPARE(RemoveStaleTemporaryFiles(tree.Path("d")), 2);
        QCOMPARE(Entries(tree.Path("d")), (std::vector<std::string>{".tovix-tmp-user", "keep.txt"}));
    }

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
};

QTEST_GUILESS_MAIN(TestFileOperation)
#include "tst_file_operation.moc"
