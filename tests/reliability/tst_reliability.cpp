// Faults injected into the real world around a running tovix-console: killed copies,
// files that change or vanish under a pass, unreadable sources, full, read-only and
// unmounted destinations. Each case proves that no backup is lost or torn and that no
// failure is reported as success. Mounts and attributes need root; CI runs as root.

#include <QDir>
#include <QFile>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/folder_safety.h"
#include "helpers/console_runner.h"
#include "helpers/temp_tree.h"
#include "helpers/scoped_mount.h"
#include "helpers/tree_compare.h"
#include "platform/change_notifier.h"
#include "platform/atomic_copy.h"
#include "platform/path.h"
#include "platform/platform_texts.h"

namespace {

constexpr int kPassMs = 30000; // the sanitizer build starts slowly
// A pass over a whole system tree.
constexpr int kLongPassMs = 180000;
constexpr int kMegabyte = 1024 * 1024;

// One file setting below a general destination; more lines for [Setting] and [Backup]
// as "Key=Value\r\n".
void WriteJob(const std::string& path, const std::string& destination, const std::string& source,
              const std::string& log, int generations = 0, int oldFileAction = 0,
              const std::string& moreSettings = {}, const std::string& moreBackup = {})
{
    WriteFileBytes(path, "[Setting]\r\nBakCopyPath=" + destination + "\r\nLogFile=" + log
                             + "\r\nFileChkInterval=0\r\nBakDelayTime=1\r\nDlgTimer=1\r\nSound=0\r\n"
                               "DispDetailInfo=1\r\nDispDebugInfo=1\r\n"
                             + moreSettings + "[Backup]\r\nFiles=1\r\nNo0=" + source
                             + "\r\nSub0=1\r\nGen0=" + std::to_string(generations)
                             + "\r\nOldDel0=" + std::to_string(oldFileAction) + "\r\n" + moreBackup);
}

// The backup of a file of a local source below a general destination: the whole path.
std::string BackupOf(const std::string& destination, const std::string& sourceFile)
{
    return destination + sourceFile;
}

struct CPassResult
{
    int status = -1;   // -1: did not end by itself in time
    QByteArray output; // the report lines
    QByteArray errors; // questions and what went wrong before any report
};

// One pass of every setting with -q, judged by its exit status and its report lines.
CPassResult RunPass(const CTempTree& tree, const std::string& settings, const QStringList& wrapper = {},
                    int timeoutMs = kPassMs)
{
    CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa", "-q"}, wrapper);
    CPassResult result;
    if (run.Finish(timeoutMs) && run.Process().exitStatus() == QProcess::NormalExit)
        result.status = run.Process().exitCode();
    result.output = run.Output();
    result.errors = run.Errors();
    return result;
}

int CountLines(const QByteArray& output, const QByteArray& text)
{
    int count = 0;
    for (const QByteArray& line : output.split('\n'))
        if (line.contains(text))
            ++count;
    return count;
}

// A report line of the kind whose source field is exactly the path.
bool HasLineFor(const QByteArray& output, const QByteArray& kindLetter, const std::string& source)
{
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 7 && fields[0] == kindLetter && fields[4] == QByteArray::fromStdString(source))
            return true;
    }
    return false;
}

// The exit status of a system tool; its messages are of no interest here.
int Execute(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(kPassMs) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

// A kernel limit lowered for a moment; the old value comes back however the test ends.
class CKernelLimit
{
public:
    explicit CKernelLimit(std::string path) : m_path(std::move(path)), m_old(ReadFileBytes(m_path)) {}
    ~CKernelLimit() { Restore(); }
    CKernelLimit(const CKernelLimit&) = delete;
    CKernelLimit& operator=(const CKernelLimit&) = delete;

    bool Set(int value)
    {
        m_changed = Write(std::to_string(value) + "\n");
        return m_changed;
    }
    void Restore()
    {
        if (m_changed)
            m_changed = !Write(m_old);
    }

private:
    bool Write(const std::string& text)
    {
        FILE* file = std::fopen(m_path.c_str(), "w");
        if (file == nullptr)
            return false;
        const bool written = std::fputs(text.c_str(), file) >= 0;
        return std::fclose(file) == 0 && written;
    }

    std::string m_path;
    std::string m_old;
    bool m_changed = false;
};

// Gone, or a zombie that only waits for a parent that does not reap it.
bool ProcessGone(pid_t pid)
{
    const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    const auto end = stat.rfind(") ");
    return stat.empty() || (end != std::string::npos && end + 2 < stat.size() && stat[end + 2] == 'Z');
}

bool IsSymbolicLinkTo(const std::string& path, const std::string& target)
{
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length >= 0 && std::string(buffer, static_cast<std::size_t>(length)) == target;
}

// Runs its action when the test leaves its scope, also when a check failed.
class CCleanup
{
public:
    explicit CCleanup(std::function<void()> action) : m_action(std::move(action)) {}
    ~CCleanup()
    {
        if (m_action)
            m_action();
    }
    CCleanup(const CCleanup&) = delete;
    CCleanup& operator=(const CCleanup&) = delete;

private:
    std::function<void()> m_action;
};

// Real data: a sparse or repetitive file could be copied faster than it can be watched.
void WriteLargeFile(const std::string& path, int megabytes, unsigned seed)
{
    std::string chunk(kMegabyte, '\0');
    for (std::size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>((i * 131 + seed * 7 + i / 4093) & 0xff);
    FILE* file = std::fopen(path.c_str(), "wb");
    QVERIFY(file != nullptr);
    for (int block = 0; block < megabytes; ++block) {
        std::memcpy(chunk.data(), &block, sizeof block);
        std::memcpy(chunk.data() + sizeof block, &seed, sizeof seed);
        QCOMPARE(std::fwrite(chunk.data(), 1, chunk.size(), file), chunk.size());
    }
    QCOMPARE(std::fclose(file), 0);
}

bool SameContents(const std::string& first, const std::string& second)
{
    QFile a(QString::fromStdString(first));
    QFile b(QString::fromStdString(second));
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    while (!a.atEnd())
        if (a.read(kMegabyte) != b.read(kMegabyte))
            return false;
    return true;
}

bool HoldsTemporaryFile(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    bool found = false;
    while (const dirent* entry = readdir(dir))
        if (IsOwnTemporaryFile(entry->d_name))
            found = true;
    closedir(dir);
    return found;
}

// True while process writes a file in folder that has no name yet (an unnamed temporary
// file shows in /proc as "#inode (deleted)").
bool WritesUnnamedFileIn(qint64 process, const std::string& folder)
{
    const std::string fds = "/proc/" + std::to_string(process) + "/fd";
    DIR* dir = opendir(fds.c_str());
    if (dir == nullptr)
        return false;
    bool found = false;
    const std::string prefix = folder + "/#";
    const std::string_view deleted = " (deleted)";
    while (const dirent* entry = readdir(dir)) {
        char target[4096];
        const ssize_t length = readlinkat(dirfd(dir), entry->d_name, target, sizeof target - 1);
        if (length <= 0)
            continue;
        const std::string_view link(target, static_cast<std::size_t>(length));
        if (link.substr(0, prefix.size()) == prefix && link.size() > deleted.size()
            && link.substr(link.size() - deleted.size()) == deleted
            && link.find('/', prefix.size()) == std::string_view::npos)
            found = true;
    }
    closedir(dir);
    return found;
}

// The moment a copy by process into the folder is under way; polled tightly, the copy is
// short.
bool WaitForCopyInto(const std::string& folder, int timeoutMs, qint64 process)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!HoldsTemporaryFile(folder) && !WritesUnnamedFileIn(process, folder)) {
        if (deadline.hasExpired())
            return false;
        usleep(200);
    }
    return true;
}

QStringList EntriesOf(const std::string& folder)
{
    return QDir(QString::fromStdString(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void ChangeFile(const std::string& path, std::string_view contents)
{
    const std::time_t before = FileTime(path);
    WriteFileBytes(path, contents);
    SetFileTime(path, before + 100);
}

const QByteArray kErrorLetter("E");

// The warning and error lines with the exit status, for the message of a failed check.
QByteArray Problems(const CPassResult& result)
{
    QByteArray shown = "status " + QByteArray::number(result.status) + "\n";
    for (const QByteArray& line : result.output.split('\n'))
        if (line.startsWith("E\t") || line.startsWith("W\t"))
            shown += line + '\n';
    return shown + result.errors;
}

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedLargeCopyNeverTearsBackup();
    void sourceChangingDuringCopyIsNotReportedAsBackedUp_data();
    void sourceChangingDuringCopyIsNotReportedAsBackedUp();
    void entriesVanishingDuringPassDisturbNothing();
    void unreadableSourceCostsNoBackup();
    void destinationFaultKeepsOldBackup_data();
    void destinationFaultKeepsOldBackup();
    void destinationUnmountedDuringPassGetsNothingWritten();
    void unmountedSourceEmptiesNoBackup();
    void destinationNotMountedAtStartGetsNothing();
    void trashAtTheDestinationRootIsLeftAlone();
    void linkPlantedInTheBackupLeadsNowhere();
    void watchLimitFallsBackToPollingOnce();
    void queueOverflowLosesNoChange();
    void specialFilesAndLinksAreNeitherOpenedNorFollowed();
    void awkwardNamesAreBackedUpByteExact();
    void readOnlyFoldersStayUpdatable();
    void systemTreeIsBackedUpAsItIs();
    void hangingArchiverEndsWithItsGroup();
    void settingsFileSurvivesKillDuringWrite();
};

void TestReliability::initTestCase()
{
    QVERIFY2(QFileInfo::exists(ConsoleProgram()), "set TOVIX_BIN_DIR to the folder of tovix-console");
}

// SIGKILL while a large file replaces its backup: the backup keeps the old version, the
// temporary copy is left behind, and the next run clears it away and completes.
void TestReliability::killedLargeCopyNeverTearsBackup()
{
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    const std::string file = tree.WriteFile("source/large.bin", "old version");
    const std::string settings = tree.Path("kill.TVX");
    WriteJob(settings, destination, tree.Path("source"), tree.Path("tovix.log"));
    QCOMPARE(RunPass(tree, settings).status, 0);
    const std::string backup = BackupOf(destination, file);
    QCOMPARE(ReadFileBytes(backup), std::string("old version"));

    // On a loaded machine the kill can come after a copy that was quick to finish: the
    // file is then made larger and the old backup put back, a few times at the most.
    for (int megabytes = 192; megabytes <= 768; megabytes *= 2) {
        const std::time_t before = FileTime(file);
        WriteLargeFile(file, megabytes, 1);
        SetFileTime(file, before + 100);
        CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa", "-q"});
        QVERIFY2(WaitForCopyInto(ParentPath(backup), kPassMs, run.Pid()), run.Output().constData());
        QCOMPARE(::kill(static_cast<pid_t>(run.Pid()), SIGKILL), 0);
        QVERIFY(run.Finish(kPassMs));
        if (HoldsTemporaryFile(ParentPath(backup)) || megabytes == 768)
            break;
        WriteFileBytes(file, "old version");
        SetFileTime(file, before + 200);
        QCOMPARE(RunPass(tree, settings).status, 0);
        QCOMPARE(ReadFileBytes(backup), std::string("old version"));
    }
    QCOMPARE(ReadFileBytes(backup), std::string("old version"));
    QVERIFY2(HoldsTemporaryFile(ParentPath(backup)), "the kill came too late to interrupt the copy");

    const CPassResult next = RunPass(tree, settings);
    QVERIFY2(next.status == 0, next.output.constData());
    QCOMPARE(TemporaryFilesBelow(destination), QStringList());
    QVERIFY(SameContents(file, backup));
}

void TestReliability::sourceChangingDuringCopyIsNotReportedAsBackedUp_data()
{
    QTest::addColumn<QString>("writer"); // shell loop on the file "$1"
    QTest::newRow("growing") << "while :; do printf 0123456789 >> \"$1\"; done";
    QTest::newRow("rewritten in place, same size")
        << "while :; do dd if=/dev/urandom of=\"$1\" bs=4096 count=1 conv=notrunc status=none; done";
}

// A copy that read a file while it was written holds no state the file ever had: it
// must not be reported as a backup, and the next pass must copy the file again.
void TestReliability::sourceChangingDuringCopyIsNotReportedAsBackedUp()
{
    QFETCH(QString, writer);
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    const std::string file = tree.Path("source/busy.bin");
    tree.MakeFolder("source");
    WriteLargeFile(file, 48, 2);
    const std::string settings = tree.Path("busy.TVX");
    WriteJob(settings, destination, tree.Path("source"), {}, 0, 0, {}, "DlgCopyBig0=0\r\n");

    QProcess writing;
    writing.start("/bin/sh", {"-c", writer, "writer", QString::fromStdString(file)});
    QVERIFY(writing.waitForStarted());
    CCleanup stopWriting([&] {
        writing.kill();
        writing.waitForFinished();
    });
    const CPassResult first = RunPass(tree, settings);
    writing.kill();
    writing.waitForFinished();
    QVERIFY2(first.status == 0, first.output.constData());
    QVERIFY2(!HasLineFor(first.output, "F", file), first.output.constData());
    QVERIFY2(HasLineFor(first.output, "W", file)
                 && first.output.contains(EngineText::kSourceChangedWhileCopied),
             first.output.constData());

    const CPassResult second = RunPass(tree, settings);
    QVERIFY2(second.status == 0 && HasLineFor(second.output, "F", file), second.output.constData());
    QVERIFY(SameContents(file, BackupOf(destination, file)));
}

// A file and a whole folder deleted after the walk listed them, while a large copy ran:
// nothing worse than a warning, the other backups made, the vanished folder's backups kept.
void TestReliability::entriesVanishingDuringPassDisturbNothing()
{
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    const std::string large = tree.WriteFile("source/a/large.bin", "small at first");
    const std::string late = tree.WriteFile("source/a/zz.txt", "listed, then deleted");
    const std::string one = tree.WriteFile("source/b/one.txt", "one");
    const std::string two = tree.WriteFile("source/b/two.txt", "two");
    const std::string top = tree.WriteFile("source/top.txt", "top");
    const std::string settings = tree.Path("vanish.TVX");
    WriteJob(settings, destination, tree.Path("source"), {}, 0, 2);
    QCOMPARE(RunPass(tree, settings).status, 0);

    const std::time_t before = FileTime(large);
    WriteLargeFile(large, 128, 3);
    SetFileTime(large, before + 100);
    ChangeFile(top, "top, changed");
    CPassResult result;
    {
        CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa", "-q"});
        QVERIFY2(WaitForCopyInto(ParentPath(BackupOf(destination, large)), kPassMs, run.Pid()),
                 run.Output().constData());
        QVERIFY(QFile::remove(QString::fromStdString(late)));
        QVERIFY(QDir(QString::fromStdString(tree.Path("source/b"))).removeRecursively());
        QVERIFY(run.Finish(kPassMs));
        result.status = run.Process().exitCode();
        result.output = run.Output();
    }
    QVERIFY2(result.status == 0 && !HasLine(result.output, kErrorLetter, QByteArray()),
             Problems(result).constData());
    QVERIFY(SameContents(large, BackupOf(destination, large)));
    QCOMPARE(ReadFileBytes(BackupOf(destination, top)), std::string("top, changed"));
    QCOMPARE(ReadFileBytes(BackupOf(destination, one)), std::string("one"));
    QCOMPARE(ReadFileBytes(BackupOf(destination, two)), std::string("two"));
    QCOMPARE(TemporaryFilesBelow(destination), QStringList());
}

// Run as an unprivileged user, who cannot read a file, enter a folder, or look at the
// entries of a folder it may only list: an error for each, and the backups of what it
// could not see stay, although the old-file action deletes.
void TestReliability::unreadableSourceCostsNoBackup()
{
    if (geteuid() != 0)
        QSKIP("needs root to prepare files of another user and start the program as that user");
    CTempTree tree;
    QVERIFY(::chmod(tree.Root().c_str(), 0755) == 0);
    const std::string source = tree.Path("source");
    const std::string destination = tree.Path("backup");
    const std::string readable = tree.WriteFile("source/readable.txt", "readable");
    const std::string secret = tree.WriteFile("source/secret.txt", "secret, changed");
    const std::string hidden = tree.WriteFile("source/locked/inside.txt", "inside, changed");
    const std::string unlisted = tree.WriteFile("source/listonly/seen.txt", "seen, changed");
    // A folder that may be entered but not listed: a name looked up there is "not found"
    // whether or not it exists, so only the failed listing tells that nothing is known.
    const std::string unlistable = tree.WriteFile("source/enteronly/kept.txt", "kept");
    const std::vector<std::pair<std::string, std::string>> backups = {
        {BackupOf(destination, secret), "secret"},
        {BackupOf(destination, hidden), "inside"},
        {BackupOf(destination, tree.Path("source/locked/gone.txt")), "gone"},
        {BackupOf(destination, unlisted), "seen"},
        {BackupOf(destination, tree.Path("source/listonly/gone.txt")), "gone"},
        {BackupOf(destination, unlistable), "kept"},
        {BackupOf(destination, tree.Path("source/enteronly/gone.txt")), "gone"},
    };
    for (const auto& [path, contents] : backups) {
        QVERIFY(QDir().mkpath(QString::fromStdString(ParentPath(path))));
        WriteFileBytes(path, contents);
        SetFileTime(path, FileTime(readable) - 1000);
    }
    tree.MakeFolder("config");
    tree.MakeFolder("logs");
    const std::string settings = tree.Path("logs/nobody.TVX");
    WriteJob(settings, destination, source, tree.Path("logs/tovix.log"), 0, 2);
    const QString nobody = "65534:65534";
    for (const char* folder : {"source", "backup", "config", "logs"})
        QCOMPARE(Execute("chown", {"-R", nobody, QString::fromStdString(tree.Path(folder))}), 0);
    // Left to root: a file only root reads, a folder only root enters, one that others
    // may list but not enter, and one that others may enter but not list.
    QCOMPARE(Execute("chown", {"-R", "0:0", QString::fromStdString(secret),
                               QString::fromStdString(tree.Path("source/locked")),
                               QString::fromStdString(tree.Path("source/listonly")),
                               QString::fromStdString(tree.Path("source/enteronly"))}),
             0);
    QVERIFY(::chmod(secret.c_str(), 0600) == 0);
    QVERIFY(::chmod(tree.Path("source/locked").c_str(), 0700) == 0);
    QVERIFY(::chmod(tree.Path("source/listonly").c_str(), 0744) == 0);
    QVERIFY(::chmod(tree.Path("source/enteronly").c_str(), 0311) == 0);

    const CPassResult result =
        RunPass(tree, settings, {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    QVERIFY2(result.status == 1, Problems(result).constData());
    const QByteArray denied = std::strerror(EACCES);
    QVERIFY2(HasLineFor(result.output, kErrorLetter, secret) && result.output.contains(denied),
             Problems(result).constData());
    QVERIFY2(HasLineFor(result.output, kErrorLetter, unlisted), Problems(result).constData());
    QVERIFY2(HasLineFor(result.output, kErrorLetter, tree.Path("source/locked")),
             Problems(result).constData());
    QCOMPARE(ReadFileBytes(BackupOf(destination, readable)), std::string("readable"));
    for (const auto& [path, contents] : backups)
        QCOMPARE(ReadFileBytes(path), contents);
}

void TestReliability::destinationFaultKeepsOldBackup_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("error");
    QTest::newRow("full file system") << "full" << ENOSPC;
    QTest::newRow("read-only bind mount") << "read-only" << EROFS;
    QTest::newRow("immutable folder") << "immutable" << EPERM;
}

// A destination that refuses the new copy: an error with the system's text, the old
// backup untouched, no temporary file left; once the fault is gone the pass succeeds.
void TestReliability::destinationFaultKeepsOldBackup()
{
    QFETCH(QString, fault);
    QFETCH(int, error);
    if (geteuid() != 0)
        QSKIP("needs root to mount a small file system, remount read-only or set the immutable attribute");
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    const QString destinationArgument = QString::fromStdString(destination);
    CCleanup unmount([&] { Execute("umount", {"-l", destinationArgument}); });
    if (fault == "full")
        QCOMPARE(Execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", destinationArgument}), 0);
    const std::string file = tree.WriteFile("source/doc.txt", "old version");
    const std::string settings = tree.Path("fault.TVX");
    WriteJob(settings, destination, tree.Path("source"), tree.Path("tovix.log"));
    QCOMPARE(RunPass(tree, settings).status, 0);
    const std::string backup = BackupOf(destination, file);
    QCOMPARE(ReadFileBytes(backup), std::string("old version"));

    const std::string newVersion(256 * 1024, 'n');
    ChangeFile(file, newVersion);
    const QString backupFolder = QString::fromStdString(ParentPath(backup));
    const std::string filler = destination + "/filler";
    CCleanup mutableAgain([&] { Execute("chattr", {"-i", backupFolder}); });
    if (fault == "full") {
        FILE* stream = std::fopen(filler.c_str(), "wb");
        QVERIFY(stream != nullptr);
        const std::string block(4096, 'f');
        while (std::fwrite(block.data(), 1, block.size(), stream) == block.size()
               && std::fflush(stream) == 0) {
        }
        std::fclose(stream);
    } else if (fault == "read-only") {
        QCOMPARE(Execute("mount", {"--bind", destinationArgument, destinationArgument}), 0);
        QCOMPARE(Execute("mount", {"-o", "remount,bind,ro", destinationArgument}), 0);
    } else {
        QCOMPARE(Execute("chattr", {"+i", backupFolder}), 0);
    }

    const CPassResult refused = RunPass(tree, settings);
    QVERIFY2(refused.status == 1, Problems(refused).constData());
    QVERIFY2(HasLineFor(refused.output, kErrorLetter, file) && refused.output.contains(std::strerror(error)),
             Problems(refused).constData());
    QCOMPARE(ReadFileBytes(backup), std::string("old version"));
    QCOMPARE(TemporaryFilesBelow(destination), QStringList());

    if (fault == "full")
        QVERIFY(QFile::remove(QString::fromStdString(filler)));
    else if (fault == "read-only")
        QCOMPARE(Execute("umount", {destinationArgument}), 0);
    else
        QCOMPARE(Execute("chattr", {"-i", backupFolder}), 0);
    const CPassResult freed = RunPass(tree, settings);
    QVERIFY2(freed.status == 0, Problems(freed).constData());
    QCOMPARE(ReadFileBytes(backup), newVersion);
}

// The destination's file system unmounted while a pass copies into it: what is left is
// the bare mount point folder, which must not be taken for the destination.
void TestReliability::destinationUnmountedDuringPassGetsNothingWritten()
{
    if (geteuid() != 0)
        QSKIP("needs root to mount and unmount a file system");
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    const QString destinationArgument = QString::fromStdString(destination);
    CScopedMount mount(destination, "size=256m");
    QVERIFY(mount.IsMounted());
    tree.MakeFolder("source/a");
    const std::string large = tree.Path("source/a/large.bin");
    WriteLargeFile(large, 128, 4);
    const std::vector<std::string> small = {tree.WriteFile("source/a/zz.txt", "zz"),
                                            tree.WriteFile("source/b/one.txt", "one"),
                                            tree.WriteFile("source/c/two.txt", "two")};
    const std::string settings = tree.Path("unmount.TVX");
    WriteJob(settings, destination, tree.Path("source"), {}, 0, 2, {}, "DlgCopyBig0=0\r\n");

    CPassResult result;
    {
        CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa", "-q"});
        QVERIFY2(WaitForCopyInto(ParentPath(BackupOf(destination, large)), kPassMs, run.Pid()),
                 run.Output().constData());
        QCOMPARE(Execute("umount", {"-l", destinationArgument}), 0);
        QVERIFY(run.Finish(kPassMs));
        result.status = run.Process().exitCode();
        result.output = run.Output();
    }
    QCOMPARE(EntriesOf(destination), QStringList());
    QVERIFY2(result.status != 0 && HasLine(result.output, kErrorLetter, EngineText::kDestinationLost),
             Problems(result).constData());
    QCOMPARE(EntriesOf(tree.Path("source")), QStringList({"a", "b", "c"}));
    QCOMPARE(EntriesOf(tree.Path("source/a")), QStringList({"large.bin", "zz.txt"}));
    QCOMPARE(QFileInfo(QString::fromStdString(large)).size(), 128LL * kMegabyte);
    QCOMPARE(ReadFileBytes(small[1]), std::string("one"));
}

// The source's drive is not mounted when a run starts: its mount point is an empty
// folder on the system disk, which must not turn every backup into a destination-only
// entry.
void TestReliability::unmountedSourceEmptiesNoBackup()
{
    if (geteuid() != 0)
        QSKIP("needs root to mount and unmount a file system");
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    const std::string source = tree.MakeFolder("source");
    CScopedMount mount(source, "size=1m");
    QVERIFY(mount.IsMounted());
    const std::string file = tree.WriteFile("source/a/data.txt", "data");
    const std::string settings = tree.Path("source.TVX");
    WriteJob(settings, destination, source, {}, 0, 2);
    QCOMPARE(RunPass(tree, settings).status, 0);
    QVERIFY(mount.Unmount());

    const CPassResult result = RunPass(tree, settings);

    QCOMPARE(ReadFileBytes(BackupOf(destination, file)), std::string("data"));
    QVERIFY2(HasLine(result.output, "W", EngineText::kEmptySourceKeepsBackup), Problems(result).constData());
}

// The destination's drive is not mounted when a pass starts: the bare mount point folder
// on the system disk receives nothing, and the pass says why.
void TestReliability::destinationNotMountedAtStartGetsNothing()
{
    if (geteuid() != 0)
        QSKIP("needs root to mount and unmount a file system");
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    CScopedMount mount(destination, "size=1m");
    QVERIFY(mount.IsMounted());
    const std::string first = tree.WriteFile("source/first.txt", "first");
    const std::string settings = tree.Path("destination.TVX");
    WriteJob(settings, destination, tree.Path("source"), {});

    CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa"});
    QVERIFY2(WaitFor([&] { return ReadFileBytes(BackupOf(destination, first)) == "first"; }, kPassMs),
             run.Output().constData());
    QVERIFY(WaitFor([&] { return run.Shows("i", EngineText::kDone); }, kPassMs));
    QVERIFY(mount.Unmount());
    tree.WriteFile("source/second.txt", "second");
    const bool refused = WaitFor([&] { return run.Shows("E", EngineText::kDestinationNotMounted); }, kPassMs);
    QCOMPARE(::kill(static_cast<pid_t>(run.Pid()), SIGTERM), 0);
    QVERIFY(run.Finish(kPassMs));

    QCOMPARE(EntriesOf(destination), QStringList());
    QVERIFY2(refused, run.Output().constData());
}

// Recycling into the desktop's trash at the top of the destination's file system: the
// trash folder is no destination-only entry in the passes that follow, whatever the action.
void TestReliability::trashAtTheDestinationRootIsLeftAlone()
{
    if (geteuid() != 0)
        QSKIP("needs root to mount a file system");
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    CScopedMount mount(destination, "size=1m");
    QVERIFY(mount.IsMounted());
    tree.WriteFile("source/kept.txt", "kept");
    WriteFileBytes(destination + "/old.txt", "old backup");
    const std::string own = "BakTo0=" + destination + "\r\n";
    const std::string recycle = tree.Path("recycle.TVX");
    const std::string remove = tree.Path("delete.TVX");
    WriteJob(recycle, tree.Path("general"), tree.Path("source"), {}, 0, 4, {}, own);
    WriteJob(remove, tree.Path("general"), tree.Path("source"), {}, 0, 2, {}, own);

    const CPassResult first = RunPass(tree, recycle);
    QVERIFY2(first.status == 0, Problems(first).constData());
    const std::string trash = destination + "/.Trash-0";
    QCOMPARE(ReadFileBytes(trash + "/files/old.txt"), std::string("old backup"));
    for (const std::string& settings : {recycle, remove}) {
        const CPassResult next = RunPass(tree, settings);
        QVERIFY2(next.status == 0 && !next.output.contains("E\t"), Problems(next).constData());
    }
    QCOMPARE(ReadFileBytes(trash + "/files/old.txt"), std::string("old backup"));
    QCOMPARE(EntriesOf(destination), QStringList({".Trash-0", "kept.txt"}));
}

// A link planted in the backup where the source has a folder: the pass neither writes
// through it nor deletes what it leads to.
void TestReliability::linkPlantedInTheBackupLeadsNowhere()
{
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    const std::string file = tree.WriteFile("source/sub/b.txt", "b");
    tree.WriteFile("source/a.txt", "a");
    tree.WriteFile("victim/victim.txt", "precious");
    tree.WriteFile("victim/inner/deep.txt", "precious");
    const std::string link = BackupOf(destination, tree.Path("source/sub"));
    QVERIFY(QDir().mkpath(QString::fromStdString(ParentPath(link))));
    QCOMPARE(::symlink(tree.Path("victim").c_str(), link.c_str()), 0);
    const std::string settings = tree.Path("link.TVX");
    WriteJob(settings, destination, tree.Path("source"), {}, 0, 2);

    const CPassResult result = RunPass(tree, settings);

    QVERIFY2(result.status == 0, Problems(result).constData());
    QCOMPARE(EntriesOf(tree.Path("victim")), QStringList({"inner", "victim.txt"}));
    QCOMPARE(ReadFileBytes(tree.Path("victim/inner/deep.txt")), std::string("precious"));
    struct stat status
    {
    };
    QCOMPARE(::lstat(link.c_str(), &status), 0);
    QVERIFY(S_ISDIR(status.st_mode));
    QCOMPARE(ReadFileBytes(BackupOf(destination, file)), std::string("b"));
}

// No watch to be had for the subfolders: the setting is polled instead, says so once, and
// every change still reaches the backup.
void TestReliability::watchLimitFallsBackToPollingOnce()
{
    if (geteuid() != 0)
        QSKIP("needs root to lower fs.inotify.max_user_watches");
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    tree.WriteFile("source/s1/s2/s3/old.txt", "old");
    const std::string settings = tree.Path("watches.TVX");
    WriteJob(settings, destination, tree.Path("source"), {});

    CKernelLimit watches("/proc/sys/fs/inotify/max_user_watches");
    QVERIFY(watches.Set(1));
    CConsoleRun run(tree, {"-i", QString::fromStdString(settings)});
    const bool ready = WaitFor([&] { return run.Shows("i", EngineText::kStateReady); }, kPassMs);
    watches.Restore();
    QVERIFY2(ready, run.Output().constData());

    const std::string deep = tree.WriteFile("source/s1/s2/s3/deep.txt", "deep");
    const std::string fresh = tree.WriteFile("source/new/fresh.txt", "fresh");
    QVERIFY2(WaitFor([&] { return ReadFileBytes(BackupOf(destination, deep)) == "deep"; }, kPassMs),
             run.Output().constData());
    QVERIFY(WaitFor([&] { return ReadFileBytes(BackupOf(destination, fresh)) == "fresh"; }, kPassMs));
    ChangeFile(deep, "deep, changed");
    QVERIFY(WaitFor([&] { return ReadFileBytes(BackupOf(destination, deep)) == "deep, changed"; }, kPassMs));

    QCOMPARE(CountLines(run.Output(), PlatformText::kNoMoreWatches), 1);
    QCOMPARE(::kill(static_cast<pid_t>(run.Pid()), SIGTERM), 0);
    QVERIFY(run.Finish(kPassMs));
    QCOMPARE(run.Process().exitCode(), 0);
}

// Events dropped by the kernel while the program stood still: the overflow turns the
// setting to polling, and every file of the flood is backed up.
void TestReliability::queueOverflowLosesNoChange()
{
    if (geteuid() != 0)
        QSKIP("needs root to lower fs.inotify.max_queued_events");
    constexpr int kFiles = 200;
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    tree.MakeFolder("source/sub");
    const std::string settings = tree.Path("flood.TVX");
    WriteJob(settings, destination, tree.Path("source"), {});

    CKernelLimit queue("/proc/sys/fs/inotify/max_queued_events");
    QVERIFY(queue.Set(16));
    CConsoleRun run(tree, {"-i", QString::fromStdString(settings)});
    const bool ready = WaitFor([&] { return run.Shows("i", EngineText::kStateReady); }, kPassMs);
    queue.Restore();
    QVERIFY2(ready, run.Output().constData());

    const pid_t pid = static_cast<pid_t>(run.Pid());
    QCOMPARE(::kill(pid, SIGSTOP), 0);
    CCleanup resume([pid] { ::kill(pid, SIGCONT); });
    std::vector<std::string> files;
    for (int index = 0; index < kFiles; ++index)
        files.push_back(tree.WriteFile((index % 4 == 0 ? "source/sub/f" : "source/f") + std::to_string(index),
                                       "flood " + std::to_string(index)));
    QCOMPARE(::kill(pid, SIGCONT), 0);

    const auto allBackedUp = [&] {
        for (const std::string& file : files)
            if (ReadFileBytes(BackupOf(destination, file)) != ReadFileBytes(file))
                return false;
        return true;
    };
    QVERIFY2(WaitFor(allBackedUp, kPassMs), Problems({0, run.Output(), {}}).constData());
    QCOMPARE(CountLines(run.Output(), PlatformText::kQueueOverflow), 1);
    QCOMPARE(::kill(pid, SIGTERM), 0);
    QVERIFY(run.Finish(kPassMs));
}

// FIFOs, sockets and devices are never opened (a FIFO would block the pass for good),
// links, to files and to folders, are copied as links: no loop, nothing reached through
// them, nothing written outside the destination.
void TestReliability::specialFilesAndLinksAreNeitherOpenedNorFollowed()
{
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    const std::string outside = tree.WriteFile("outside/secret.txt", "outside");
    const std::string plain = tree.WriteFile("source/plain.txt", "plain");
    const std::string source = tree.Path("source");
    tree.MakeFolder("source/sub");
    QCOMPARE(::mkfifo((source + "/pipe").c_str(), 0644), 0);
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(socketFd >= 0);
    CCleanup closeSocket([socketFd] { ::close(socketFd); });
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = source + "/socket";
    QVERIFY(socketPath.size() < sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    QCOMPARE(::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    QCOMPARE(::listen(socketFd, 1), 0);
    if (geteuid() == 0)
        QCOMPARE(::mknod((source + "/device").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    QCOMPARE(::symlink("loop", (source + "/loop").c_str()), 0);
    QCOMPARE(::symlink("..", (source + "/sub/up").c_str()), 0);
    QCOMPARE(::symlink(outside.c_str(), (source + "/outfile").c_str()), 0);
    QCOMPARE(::symlink(tree.Path("outside").c_str(), (source + "/outdir").c_str()), 0);
    const std::string settings = tree.Path("special.TVX");
    WriteJob(settings, destination, source, {}, 0, 2);

    const CPassResult result = RunPass(tree, settings);
    QVERIFY2(result.status == 0, Problems(result).constData());
    const std::string backup = BackupOf(destination, source);
    QCOMPARE(ReadFileBytes(backup + "/plain.txt"), std::string("plain"));
    QVERIFY(IsSymbolicLinkTo(backup + "/outfile", outside));
    QVERIFY(IsSymbolicLinkTo(backup + "/loop", "loop"));
    QVERIFY(IsSymbolicLinkTo(backup + "/outdir", tree.Path("outside")));
    QVERIFY(IsSymbolicLinkTo(backup + "/sub/up", ".."));
    QCOMPARE(NamesIn(backup), (std::vector<std::string>{"loop", "outdir", "outfile", "plain.txt", "sub"}));
    QCOMPARE(NamesIn(backup + "/sub"), std::vector<std::string>{"up"});
    QCOMPARE(NamesIn(tree.Path("outside")), std::vector<std::string>{"secret.txt"});
    for (const std::string& name : NamesIn(tree.Root()))
        QVERIFY2(QStringList({"backup", "config", "outside", "source", "special.TVX"})
                     .contains(QString::fromStdString(name)),
                 name.c_str());
}

// Names that are hard to carry through text: a TAB, a line break, bytes that are no
// UTF-8, and the longest name there is, which leaves no room for a generation number.
void TestReliability::awkwardNamesAreBackedUpByteExact()
{
    CTempTree tree;
    // The temporary folder's own removal gives up on names that are not UTF-8.
    CCleanup removeAll([&] { Execute("rm", {"-rf", "--", QString::fromStdString(tree.Root())}); });
    const std::string destination = tree.MakeFolder("backup");
    const std::string source = tree.MakeFolder("source");
    const std::string log = tree.Path("names.log");
    std::vector<std::string> names = {"tab\there.txt", "line\nbreak.txt", "bad\xff\xfe.txt",
                                      std::string(251, 'n') + ".txt"};
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        WriteFileBytes(source + "/" + name, "first " + name);
    const std::string settings = tree.Path("names.TVX");
    WriteJob(settings, destination, source, log, 1);
    const CPassResult first = RunPass(tree, settings);
    QVERIFY2(first.status == 0, Problems(first).constData());
    for (const std::string& name : names)
        ChangeFile(source + "/" + name, "second " + name);
    const CPassResult second = RunPass(tree, settings);

    const std::string backup = BackupOf(destination, source);
    std::vector<std::string> generations;
    for (const std::string& name : NamesIn(backup))
        if (std::find(names.begin(), names.end(), name) == names.end())
            generations.push_back(name);
    QCOMPARE(NamesIn(backup).size() - generations.size(), names.size());
    // The longest name keeps its old backup: without room for its generation, an update
    // would have overwritten the only copy of the first version.
    for (const std::string& name : names)
        QCOMPARE(ReadFileBytes(backup + "/" + name), (name.size() > 200 ? "first " : "second ") + name);
    for (const std::string& name : names) {
        if (name.size() > 200)
            continue;
        const std::string generation = name.substr(0, name.size() - 4) + ".$1.txt";
        QCOMPARE(ReadFileBytes(backup + "/" + generation), "first " + name);
    }
    // The longest name cannot get its generation: said so, as an error, and left as it was.
    QVERIFY2(second.status == 1 && HasLine(second.output, kErrorLetter, QByteArray()),
             Problems(second).constData());

    for (const QByteArray& line : (first.output + second.output).split('\n'))
        QVERIFY2(line.isEmpty() || line.split('\t').size() == 7, line.constData());
    const QByteArray logText = QByteArray::fromStdString(ReadFileBytes(log));
    QVERIFY(!logText.isEmpty());
    QCOMPARE(logText.count('\n'), logText.count("\r\n"));
    for (const QByteArray& line : logText.split('\n'))
        QVERIFY2(line.isEmpty() || line.split('\t').size() == 7, line.constData());
}

// Run as an unprivileged user: a folder that is read-only in the source is read-only in
// the backup too, and the next pass can still update and add files in it, and recycle it
// once it is gone from the source.
void TestReliability::readOnlyFoldersStayUpdatable()
{
    if (geteuid() != 0)
        QSKIP("needs root to start the program as another user");
    CTempTree tree;
    QVERIFY(::chmod(tree.Root().c_str(), 0755) == 0);
    const std::string source = tree.Path("source");
    const std::string destination = tree.MakeFolder("backup");
    const std::string kept = tree.WriteFile("source/locked/kept.txt", "first");
    // Keeps the source from becoming empty, which would look like an unmounted drive.
    tree.WriteFile("source/other.txt", "other");
    tree.MakeFolder("logs");
    const std::string settings = tree.Path("logs/nobody.TVX");
    const std::string recycle = tree.Path("logs/recycle");
    WriteJob(settings, destination, source, tree.Path("logs/tovix.log"), 0, 4,
             "Recycle2=" + recycle + "\r\n");
    for (const char* folder : {"source", "backup", "logs"})
        QCOMPARE(Execute("chown", {"-R", "65534:65534", QString::fromStdString(tree.Path(folder))}), 0);
    const std::string locked = tree.Path("source/locked");
    QVERIFY(::chmod(locked.c_str(), 0555) == 0);
    const QStringList nobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};

    const CPassResult first = RunPass(tree, settings, nobody);
    QVERIFY2(first.status == 0, Problems(first).constData());
    const std::string backup = BackupOf(destination, locked);
    QCOMPARE(FileMode(backup), 0555);

    // Changed and added by root, who may write into the read-only folder.
    ChangeFile(kept, "second");
    const std::string added = tree.WriteFile("source/locked/added.txt", "added");
    QCOMPARE(Execute("chown", {"65534:65534", QString::fromStdString(added)}), 0);
    SetFileTime(locked, FileTime(locked) - 1000);
    const CPassResult second = RunPass(tree, settings, nobody);
    QVERIFY2(second.status == 0, Problems(second).constData());
    QCOMPARE(ReadFileBytes(backup + "/kept.txt"), std::string("second"));
    QCOMPARE(ReadFileBytes(backup + "/added.txt"), std::string("added"));
    const CTreeComparison comparison = CompareTrees(source, BackupOf(destination, source));
    QVERIFY2(comparison.differences.empty(), DifferencesText(comparison).c_str());

    QCOMPARE(Execute("rm", {"-rf", "--", QString::fromStdString(locked)}), 0);
    const CPassResult third = RunPass(tree, settings, nobody);
    QVERIFY2(third.status == 0, Problems(third).constData());
    QVERIFY(!PathExists(backup));
    QCOMPARE(ReadFileBytes(recycle + "/locked/kept.txt"), std::string("second"));
}

// A tree nobody here made, with its links to folders: after one pass the backup holds
// every entry as it is, by this test's comparison and by rsync's; a second pass has
// nothing to do.
void TestReliability::systemTreeIsBackedUpAsItIs()
{
    const std::string system = "/usr/include";
    if (!QFileInfo(QString::fromStdString(system)).isDir())
        QSKIP("no /usr/include on this system");
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    const std::string settings = tree.Path("system.TVX");
    WriteJob(settings, destination, system, {});
    const CPassResult first = RunPass(tree, settings, {}, kLongPassMs);
    QVERIFY2(first.status == 0, Problems(first).constData());

    const std::string backup = BackupOf(destination, system);
    const CTreeComparison comparison = CompareTrees(system, backup);
    QVERIFY2(comparison.differences.empty(), DifferencesText(comparison).c_str());
    QProcess find;
    find.start("find", {QString::fromStdString(system), "-mindepth", "1", "-printf", "."});
    QVERIFY(find.waitForFinished(kPassMs));
    const std::size_t entries = static_cast<std::size_t>(find.readAllStandardOutput().size());
    QVERIFY(entries > 1000);
    QCOMPARE(comparison.entries, entries);
    QProcess rsync;
    rsync.start("rsync", {"-rlptn", "--itemize-changes", "--checksum", QString::fromStdString(system + "/"),
                          QString::fromStdString(backup + "/")});
    QVERIFY(rsync.waitForFinished(kLongPassMs));
    QCOMPARE(rsync.exitCode(), 0);
    QCOMPARE(rsync.readAllStandardOutput(), QByteArray());

    const CPassResult second = RunPass(tree, settings, {}, kLongPassMs);
    QVERIFY2(second.status == 0, Problems(second).constData());
    for (const QByteArray& line : second.output.split('\n'))
        QVERIFY2(!line.startsWith("F\t"), line.constData());
    const CTreeComparison again = CompareTrees(system, backup);
    QVERIFY2(again.differences.empty(), DifferencesText(again).c_str());
}

// An archiver that never ends, and a SIGTERM: the archiver and everything it started
// are ended with it, and the program ends cleanly.
void TestReliability::hangingArchiverEndsWithItsGroup()
{
    CTempTree tree;
    const std::string destination = tree.MakeFolder("backup");
    tree.WriteFile("source/a.txt", "a");
    const std::string archiverPidFile = tree.Path("archiver.pid");
    const std::string sleeperPidFile = tree.Path("sleeper.pid");
    const std::string archiver =
        tree.WriteFile("bin/hang.sh", "#!/bin/sh\necho $$ > '" + archiverPidFile
                                          + "'\nsleep 600 &\necho $! > '" + sleeperPidFile + "'\nwait\n");
    QVERIFY(::chmod(archiver.c_str(), 0755) == 0);
    const std::string settings = tree.Path("archive.TVX");
    WriteJob(settings, destination, tree.Path("source"), {}, 0, 0, "CpZIP=" + archiver + "\r\n",
             "CompMode0=3\r\nCompFile0=" + tree.Path("archive/backup") + "\r\n");

    pid_t archiverPid = 0;
    pid_t sleeperPid = 0;
    CCleanup killLeftovers([&] {
        for (const pid_t pid : {archiverPid, sleeperPid})
            if (pid > 1)
                ::kill(pid, SIGKILL);
    });
    CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-sa", "-q"});
    QVERIFY2(WaitFor([&] { return ReadFileBytes(sleeperPidFile).find('\n') != std::string::npos; }, kPassMs),
             run.Output().constData());
    archiverPid = std::stoi(ReadFileBytes(archiverPidFile));
    sleeperPid = std::stoi(ReadFileBytes(sleeperPidFile));
    QCOMPARE(::kill(static_cast<pid_t>(run.Pid()), SIGTERM), 0);
    QVERIFY(run.Finish(kPassMs));
    QCOMPARE(run.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.Process().exitCode(), 0);
    QVERIFY(WaitFor([&] { return ProcessGone(archiverPid) && ProcessGone(sleeperPid); }, 5000));
}

// The settings file is replaced while the program starts (a file without file settings
// gets the template's): killed at that moment, it holds the old or the new contents and
// loads either way.
void TestReliability::settingsFileSurvivesKillDuringWrite()
{
    constexpr int kAttempts = 20;
    CTempTree tree;
    const std::string folder = tree.MakeFolder("settings");
    const std::string settings = folder + "/Tovix.TVX";
    const std::string original =
        "[Setting]\r\nBakCopyPath=" + tree.Path("backup") + "\r\n[Backup]\r\nFiles=0\r\n";
    const std::string templateText =
        ReadFileBytes(QFileInfo(ConsoleProgram()).absolutePath().toStdString() + "/Tovix_.TVX");
    QVERIFY(!templateText.empty());
    const auto writing = [&] {
        for (const std::string& name : NamesIn(folder))
            if (name != "Tovix.TVX")
                return true;
        return false;
    };

    int interrupted = 0;
    for (int attempt = 0; attempt < kAttempts && interrupted == 0; ++attempt) {
        for (const std::string& name : NamesIn(folder))
            QVERIFY(::unlink((folder + "/" + name).c_str()) == 0);
        WriteFileBytes(settings, original);
        CConsoleRun run(tree, {"-i", QString::fromStdString(settings), "-q"});
        const pid_t pid = static_cast<pid_t>(run.Pid());
        QDeadlineTimer deadline(kPassMs);
        while (!writing() && !ProcessGone(pid) && !deadline.hasExpired()) {
        }
        ::kill(pid, SIGKILL);
        QVERIFY(run.Finish(kPassMs));
        if (writing())
            ++interrupted;
        const std::string now = ReadFileBytes(settings);
        QVERIFY2(now == original || now == templateText, now.c_str());
        CConsoleRun load(tree, {"-i", QString::fromStdString(settings), "--print-settings"});
        QVERIFY(load.Finish(kPassMs));
        QCOMPARE(load.Process().exitCode(), 0);
    }
    QVERIFY2(interrupted > 0, "no write was caught in the middle");
}

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"
