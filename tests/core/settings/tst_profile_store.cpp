#include <QDir>
#include <QtTest>
#include <cerrno>
#include <climits>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "helpers/temp_tree.h"
#include "helpers/unprivileged.h"
#include "settings/profile_store.h"
#include "settings/text_encoding.h"

namespace
{

// Byte arrays print their bytes when a comparison fails; std::string prints nothing.
QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Str(const QByteArray& bytes)
{
    return bytes.toStdString();
}

ino_t Inode(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

QStringList FolderEntries(const std::string& folder)
{
    return QDir(QString::fromStdString(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Code page 932 bytes of texts used below.
const std::string kScandisk = "\x83\x58\x83\x4C\x83\x83\x83\x93\x83\x66\x83\x42\x83\x58\x83\x4E";
const std::string kDisplay = "\x95\x5C\x8E\xA6";  // second byte of the first character is "\"
const std::string kZo = "\x83\x5D";                // second byte is "]"

}  // namespace

class TestProfileStore : public QObject
{
    Q_OBJECT

private slots:
    void writeKeepsOtherLines_data();
    void writeKeepsOtherLines();
    void readString_data();
    void readString();
    void readInt_data();
    void readInt();
    void valuesReadBackAsWritten_data();
    void valuesReadBackAsWritten();
    void utf8Detection_data();
    void utf8Detection();
    void cp932FileStaysCp932();
    void externalChangeIsSeen_data();
    void externalChangeIsSeen();
    void batchWritesOnceAtTheEnd();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void unwritablePaths_data();
    void unwritablePaths();
    void modesAndLinks();
    void readOnlyFileIsNotReplaced();
    void fileOnAShareThatIsNotMounted();
};

void TestProfileStore::writeKeepsOtherLines_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("replace in place, line end kept")
        << true
        << QByteArray("K=0\r\n; comment\r\n\r\n[Setting]\r\n# note\r\nBakTo = /old \nLogSize=1\r\n"
                      "[Other]\r\nBakTo=x\r\n")
        << QByteArray("Setting") << QByteArray("BakTo")
        << QByteArray("K=0\r\n; comment\r\n\r\n[Setting]\r\n# note\r\nBakTo=v\nLogSize=1\r\n"
                      "[Other]\r\nBakTo=x\r\n");
    QTest::newRow("names ignore case") << true << QByteArray("[setting]\r\nbakto=1\r\n")
                                       << QByteArray("SETTING") << QByteArray("BakTo")
                                       << QByteArray("[setting]\r\nBakTo=v\r\n");
    QTest::newRow("header with blanks") << true << QByteArray("[ Setting ]\r\nK=1\r\n")
                                        << QByteArray("Setting") << QByteArray("K")
                                        << QByteArray("[ Setting ]\r\nK=v\r\n");
    QTest::newRow("first of two keys") << true << QByteArray("[S]\r\nK=1\r\nK=2\r\n")
                                       << QByteArray("S") << QByteArray("k")
                                       << QByteArray("[S]\r\nk=v\r\nK=2\r\n");
    QTest::newRow("append after last non-blank line")
        << true << QByteArray("[S]\r\nA=1\r\n; tail\r\n\r\n\n[T]\r\nB=2\r\n") << QByteArray("S")
        << QByteArray("C") << QByteArray("[S]\r\nA=1\r\n; tail\r\nC=v\r\n\r\n\n[T]\r\nB=2\r\n");
    QTest::newRow("append to empty section") << true << QByteArray("[S]\n[T]\n") << QByteArray("S")
                                             << QByteArray("C") << QByteArray("[S]\nC=v\r\n[T]\n");
    QTest::newRow("append without final line end")
        << true << QByteArray("[S]\r\nA=1") << QByteArray("S") << QByteArray("C")
        << QByteArray("[S]\r\nA=1\r\nC=v\r\n");
    QTest::newRow("new section at the end")
        << true << QByteArray("[T]\r\nB=2\r\n\r\n") << QByteArray("S") << QByteArray("C")
        << QByteArray("[T]\r\nB=2\r\n\r\n[S]\r\nC=v\r\n");
    QTest::newRow("new section without final line end")
        << true << QByteArray("; only a comment") << QByteArray("S") << QByteArray("C")
        << QByteArray("; only a comment\r\n[S]\r\nC=v\r\n");
    QTest::newRow("key before any section is not the key")
        << true << QByteArray("C=9\n") << QByteArray("S") << QByteArray("C")
        << QByteArray("C=9\n[S]\r\nC=v\r\n");
    QTest::newRow("byte-order mark kept") << true << QByteArray("\xEF\xBB\xBF[S]\r\nC=1\r\n")
                                          << QByteArray("S") << QByteArray("C")
                                          << QByteArray("\xEF\xBB\xBF[S]\r\nC=v\r\n");
    QTest::newRow("empty file") << true << QByteArray() << QByteArray("S") << QByteArray("C")
                                << QByteArray("[S]\r\nC=v\r\n");
    QTest::newRow("missing file") << false << QByteArray() << QByteArray("S") << QByteArray("C")
                                  << QByteArray("[S]\r\nC=v\r\n");
    const QByteArray longLine = "L=" + QByteArray(100000, 'x') + "\r\n";
    QTest::newRow("100 KB line") << true << "[X]\r\n" + longLine + "[S]\r\n" << QByteArray("S")
                                 << QByteArray("C") << "[X]\r\n" + longLine + "[S]\r\nC=v\r\n";
}

void TestProfileStore::writeKeepsOtherLines()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, after);

    CTempTree tree;
    const std::string path = exists ? tree.WriteFile("a.tvx", Str(before)) : tree.Path("a.tvx");
    CProfileStore store(path);
    QVERIFY(store.WriteProfileString(Str(section), Str(key), "v"));
    QCOMPARE(store.LastWriteError(), 0);
    QCOMPARE(Bytes(ReadFileBytes(path)), after);
    QCOMPARE(Bytes(CProfileStore(path).GetProfileString(Str(section), Str(key), "")), "v");
}

void TestProfileStore::readString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("names ignore case") << QByteArray("[s]\r\nBAKTO=/a\r\n") << QByteArray("bakTo")
                                       << QByteArray("/a");
    QTest::newRow("trimmed") << QByteArray("[S]\r\n K \t= \t x y \t\r\r\n") << QByteArray("K")
                             << QByteArray("x y");
    QTest::newRow("double quotes") << QByteArray("[S]\r\nK= \" x \" \r\n") << QByteArray("K")
                                   << QByteArray(" x ");
    QTest::newRow("single quotes") << QByteArray("[S]\r\nK='y'\r\n") << QByteArray("K")
                                   << QByteArray("y");
    QTest::newRow("unmatched quotes") << QByteArray("[S]\r\nK=\"y'\r\n") << QByteArray("K")
                                      << QByteArray("\"y'");
    QTest::newRow("= in value") << QByteArray("[S]\r\nK=a=b\r\n") << QByteArray("K")
                                << QByteArray("a=b");
    QTest::newRow("empty value is not the default") << QByteArray("[S]\r\nK=\r\n")
                                                    << QByteArray("K") << QByteArray("");
    QTest::newRow("missing key") << QByteArray("[S]\r\nJ=1\r\n") << QByteArray("K")
                                 << QByteArray("dflt");
    QTest::newRow("key of another section") << QByteArray("[T]\r\nK=1\r\n[S]\r\n")
                                            << QByteArray("K") << QByteArray("dflt");
    QTest::newRow("key before any section") << QByteArray("K=1\r\n[S]\r\n") << QByteArray("K")
                                            << QByteArray("dflt");
    QTest::newRow("comments") << QByteArray("[S]\r\n;K=1\r\n  #K=2\r\n") << QByteArray("K")
                              << QByteArray("dflt");
    QTest::newRow("first of two keys") << QByteArray("[S]\r\nK=1\r\nk=2\r\n") << QByteArray("K")
                                       << QByteArray("1");
    QTest::newRow("first of two sections") << QByteArray("[S]\r\nK=1\r\n[s]\r\nK=2\r\n")
                                           << QByteArray("K") << QByteArray("1");
    QTest::newRow("header with blanks, no final line end") << QByteArray("[ S ]\r\nK=1")
                                                           << QByteArray("K") << QByteArray("1");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[S]\r\nK=1\r\n") << QByteArray("K")
                                     << QByteArray("1");
    QTest::newRow("LF line ends") << QByteArray("[S]\nK=1\nJ=2\n") << QByteArray("J")
                                  << QByteArray("2");
    // 4094 bytes and a two-byte character: the 4095-byte limit falls inside it.
    QTest::newRow("cut on a character boundary")
        << "[S]\r\nK=" + QByteArray(4094, 'a') + "\xC3\xA9zz\r\n" << QByteArray("K")
        << QByteArray(4094, 'a');
}

void TestProfileStore::readString()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);

    CTempTree tree;
    CProfileStore store(tree.WriteFile("a.tvx", Str(file)));
    QCOMPARE(Bytes(store.GetProfileString("S", Str(key), "dflt")), expected);
}

void TestProfileStore::readInt_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");

    QTest::newRow("12") << QByteArray("K=12") << 12;
    QTest::newRow("-3") << QByteArray("K=-3") << -3;
    QTest::newRow("blanks") << QByteArray("K= 7 ") << 7;
    QTest::newRow("+4") << QByteArray("K=+4") << 4;
    QTest::newRow("12abc") << QByteArray("K=12abc") << 12;
    QTest::newRow("abc") << QByteArray("K=abc") << 0;
    QTest::newRow("empty") << QByteArray("K=") << 0;
    QTest::newRow("quoted") << QByteArray("K=\"8\"") << 8;
    QTest::newRow("too large") << QByteArray("K=99999999999") << INT_MAX;
    QTest::newRow("too small") << QByteArray("K=-99999999999999999999999") << INT_MIN;
    QTest::newRow("missing") << QByteArray("J=1") << 55;
}

void TestProfileStore::readInt()
{
    QFETCH(QByteArray, line);
    QFETCH(int, expected);

    CTempTree tree;
    CProfileStore store(tree.WriteFile("a.tvx", "[S]\r\n" + Str(line) + "\r\n"));
    QCOMPARE(store.GetProfileInt("s", "k", 55), expected);
}

void TestProfileStore::valuesReadBackAsWritten_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("leading blank") << QByteArray(" lead") << QByteArray(" lead");
    QTest::newRow("trailing tab") << QByteArray("trail\t") << QByteArray("trail\t");
    QTest::newRow("in double quotes") << QByteArray("\"q\"") << QByteArray("\"q\"");
    QTest::newRow("in single quotes") << QByteArray("'q'") << QByteArray("'q'");
    QTest::newRow("equals sign") << QByteArray("a=b") << QByteArray("a=b");
    QTest::newRow("Japanese") << QByteArray("日本語") << QByteArray("日本語");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("line breaks cannot add keys")
        << QByteArray("x\r\n[Evil]\nK=1") << QByteArray("x  [Evil] K=1");
    // Invalid UTF-8 would turn the whole file into code page 932 at the next read.
    QTest::newRow("invalid UTF-8") << QByteArray("a\xFF") << QByteArray("a?");
}

void TestProfileStore::valuesReadBackAsWritten()
{
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);

    CTempTree tree;
    const std::string path = tree.WriteFile("a.tvx", "[S]\r\nK=日本\r\n");
    CProfileStore store(path);
    QVERIFY(store.WriteProfileString("S", "V", Str(value)));
    QCOMPARE(Bytes(store.GetProfileString("S", "V", "dflt")), expected);
    CProfileStore fresh(path);
    QCOMPARE(Bytes(fresh.GetProfileString("S", "V", "dflt")), expected);
    QCOMPARE(fresh.GetProfileInt("Evil", "K", -1), -1);
    QVERIFY(fresh.Encoding() == CProfileStore::EEncoding::Utf8);
    QCOMPARE(Bytes(fresh.GetProfileString("S", "K", "")), "日本");
}

void TestProfileStore::utf8Detection_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("Japanese") << QByteArray("スキャン") << true;
    QTest::newRow("code page 932") << Bytes(kScandisk) << false;
    QTest::newRow("overlong") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("cut off") << QByteArray("a\xE6\x97") << false;
}

void TestProfileStore::utf8Detection()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QCOMPARE(IsValidUtf8(Str(text)), valid);
}

void TestProfileStore::cp932FileStaysCp932()
{
    CTempTree tree;
    const std::string untouched =
        "; " + kDisplay + "\r\n[" + kZo + "]\r\nK=" + kZo + "\r\n[Setting]\r\nStopApp=";
    const std::string path =
        tree.WriteFile("a.tvx", untouched + kScandisk + ";" + kDisplay + "\r\nOther=1\n");
    CProfileStore store(path);
    QVERIFY(store.Encoding() == CProfileStore::EEncoding::Cp932);
    QCOMPARE(Bytes(store.GetProfileString("setting", "stopapp", "")), "スキャンディスク;表示");
    QCOMPARE(Bytes(store.GetProfileString("ゾ", "K", "")), "ゾ");

    // The emoji has no code in code page 932: refused rather than stored as "?". A "?"
    // of the value's own is no loss.
    QVERIFY(!store.WriteProfileString("Setting", "StopApp", "スキャンディスク😀"));
    QCOMPARE(store.LastWriteError(), EILSEQ);
    QVERIFY(store.WriteProfileString("Setting", "StopApp", "スキャンディスク?"));
    QVERIFY(store.WriteProfileString("表示", "Name", "表示"));
    QCOMPARE(Bytes(ReadFileBytes(path)), Bytes(untouched + kScandisk + "?\r\nOther=1\n[" + kDisplay +
                                               "]\r\nName=" + kDisplay + "\r\n"));
    CProfileStore fresh(path);
    QCOMPARE(Bytes(fresh.GetProfileString("Setting", "StopApp", "")), "スキャンディスク?");
    QCOMPARE(Bytes(fresh.GetProfileString("表示", "Name", "")), "表示");
}

void TestProfileStore::externalChangeIsSeen_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("other size") << "size";
    QTest::newRow("same size, other time") << "time";
    QTest::newRow("renamed over, same size and time") << "rename";
    QTest::newRow("deleted") << "delete";
}

void TestProfileStore::externalChangeIsSeen()
{
    QFETCH(QString, how);

    CTempTree tree;
    const std::string path = tree.WriteFile("a.tvx", "[S]\r\nK=1\r\n", 1000000);
    CProfileStore store(path);
    QCOMPARE(store.GetProfileInt("S", "K", -1), 1);

    int expected = -1;
    if (how == "size") {
        tree.WriteFile("a.tvx", "[S]\r\nK=22\r\nJ=5\r\n", 1000000);
        expected = 22;
    } else if (how == "time") {
        tree.WriteFile("a.tvx", "[S]\r\nK=2\r\n", 1000001);
        expected = 2;
    } else if (how == "rename") {
        const std::string other = tree.WriteFile("b.tvx", "[S]\r\nK=3\r\n", 1000000);
        QCOMPARE(rename(other.c_str(), path.c_str()), 0);
        expected = 3;
    } else {
        QCOMPARE(unlink(path.c_str()), 0);
    }
    QCOMPARE(store.GetProfileInt("S", "K", -1), expected);

    // A write goes into the file as it is now, not as it was first read.
    QVERIFY(store.WriteProfileInt("S", "W", 9));
    CProfileStore fresh(path);
    QCOMPARE(fresh.GetProfileInt("S", "K", -1), expected);
    QCOMPARE(fresh.GetProfileInt("S", "J", -1), how == "size" ? 5 : -1);
    QCOMPARE(fresh.GetProfileInt("S", "W", -1), 9);
}

void TestProfileStore::batchWritesOnceAtTheEnd()
{
    CTempTree tree;
    const std::string before = "[S]\r\nK=1\r\n";
    const std::string path = tree.WriteFile("a.tvx", before);
    const ino_t firstInode = Inode(path);
    CProfileStore store(path);

    store.BeginBatch();
    QVERIFY(store.WriteProfileInt("S", "K", 2));
    QVERIFY(store.WriteProfileString("T", "X", "y"));
    {
        CProfileBatch inner(store);
        QVERIFY(store.WriteProfileInt("S", "J", INT_MIN));
    }
    QCOMPARE(Bytes(ReadFileBytes(path)), Bytes(before));
    QCOMPARE(Inode(path), firstInode);
    QCOMPARE(store.GetProfileInt("S", "K", 0), 2);
    QVERIFY(store.EndBatch());

    QCOMPARE(Bytes(ReadFileBytes(path)), "[S]\r\nK=2\r\nJ=-2147483648\r\n[T]\r\nX=y\r\n");
    const ino_t writtenInode = Inode(path);
    QVERIFY(writtenInode != firstInode);

    // Writing the values the file already holds does not rewrite it.
    {
        CProfileBatch batch(store);
        QVERIFY(store.WriteProfileInt("s", "k", 2));
    }
    QVERIFY(store.WriteProfileString("T", "X", "y"));
    QCOMPARE(Inode(path), writtenInode);
}

void TestProfileStore::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("file size limit") << false;
    QTest::newRow("full disk") << true;
}

void TestProfileStore::failedWriteKeepsOldFile()
{
    QFETCH(bool, fullDisk);

    CTempTree tree;
    std::string folder = tree.Root();
    struct CUnmount
    {
        std::string point;
        ~CUnmount()
        {
            if (!point.empty())
                umount2(point.c_str(), MNT_DETACH);
        }
    } unmount;
    if (fullDisk) {
        folder = tree.MakeFolder("disk");
        if (geteuid() != 0 || mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("needs to mount a small tmpfs (root)");
        unmount.point = folder;
    }
    const std::string before = "; keep\r\n[S]\r\nK=1\r\n";
    const std::string path = folder + "/a.tvx";
    WriteFileBytes(path, before);
    if (fullDisk) {
        const std::string filler(4096, 'f');
        FILE* file = fopen((folder + "/filler").c_str(), "wb");
        QVERIFY(file);
        while (fwrite(filler.data(), 1, filler.size(), file) == filler.size() && fflush(file) == 0) {
        }
        fclose(file);
    }

    CProfileStore store(path);
    std::string handlerPath;
    int handlerError = 0;
    store.SetWriteErrorHandler([&](const std::string& p, int error) {
        handlerPath = p;
        handlerError = error;
    });
    QCOMPARE(store.GetProfileInt("S", "K", -1), 1);

    bool written = true;
    if (fullDisk) {
        written = store.WriteProfileString("S", "Big", std::string(10000, 'x'));
    } else {
        rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small {4096, saved.rlim_max};
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        written = store.WriteProfileString("S", "Big", std::string(10000, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, oldHandler);
    }
    const int expectedError = fullDisk ? ENOSPC : EFBIG;
    QVERIFY(!written);
    QCOMPARE(store.LastWriteError(), expectedError);
    QCOMPARE(handlerError, expectedError);
    QCOMPARE(Bytes(handlerPath), Bytes(path));
    QCOMPARE(Bytes(ReadFileBytes(path)), Bytes(before));
    QStringList expectedEntries {"a.tvx"};
    if (fullDisk)
        expectedEntries << "filler";
    QCOMPARE(FolderEntries(folder), expectedEntries);
    // The store holds what the file holds, not the value that was not saved.
    QCOMPARE(Bytes(store.GetProfileString("S", "Big", "none")), "none");

    if (fullDisk)
        QCOMPARE(unlink((folder + "/filler").c_str()), 0);
    QVERIFY(store.WriteProfileInt("S", "K", 2));
    QCOMPARE(store.LastWriteError(), 0);
    QCOMPARE(Bytes(ReadFileBytes(path)), "; keep\r\n[S]\r\nK=2\r\n");
}

void TestProfileStore::unwritablePaths_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("error");
    QTest::newRow("empty path") << "empty" << ENOENT;
    QTest::newRow("folder is a file") << "notdir" << ENOTDIR;
    QTest::newRow("path is a folder") << "folder" << EISDIR;
    QTest::newRow("bad key name") << "key" << EINVAL;
}

void TestProfileStore::unwritablePaths()
{
    QFETCH(QString, kind);
    QFETCH(int, error);

    CTempTree tree;
    std::string path;
    std::string key = "K";
    if (kind == "notdir") {
        path = tree.WriteFile("file", "x") + "/a.tvx";
    } else if (kind == "folder") {
        path = tree.MakeFolder("a.tvx");
    } else if (kind == "key") {
        path = tree.Path("a.tvx");
        key = "K=1";
    }
    const QStringList entries = FolderEntries(tree.Root());

    CProfileStore store(path);
    int handlerError = 0;
    store.SetWriteErrorHandler([&](const std::string&, int e) { handlerError = e; });
    QCOMPARE(store.GetProfileInt("S", "K", 7), 7);
    QVERIFY(!store.WriteProfileInt("S", key, 1));
    QCOMPARE(store.LastWriteError(), error);
    QCOMPARE(handlerError, error);
    QCOMPARE(store.GetProfileInt("S", "K", 7), 7);
    QCOMPARE(FolderEntries(tree.Root()), entries);
}

void TestProfileStore::modesAndLinks()
{
    CTempTree tree;
    const mode_t oldMask = umask(022);
    CProfileStore created(tree.Path("new.tvx"));
    QVERIFY(created.WriteProfileString("S", "Password", "secret"));
    umask(oldMask);
    QCOMPARE(FileMode(tree.Path("new.tvx")), 0600);

    const std::string existing = tree.WriteFile("old.tvx", "[S]\r\n");
    QCOMPARE(chmod(existing.c_str(), 0644), 0);
    QVERIFY(CProfileStore(existing).WriteProfileInt("S", "K", 1));
    QCOMPARE(FileMode(existing), 0644);

    // Links are written through, relative targets resolved from the link's folder.
    const std::string target = tree.WriteFile("real/target.tvx", "[S]\r\nK=1\r\n");
    QCOMPARE(chmod(target.c_str(), 0640), 0);
    const std::string link = tree.Path("link.tvx");
    QCOMPARE(symlink("real/target.tvx", link.c_str()), 0);
    const std::string dangling = tree.Path("real/dangling.tvx");
    QCOMPARE(symlink("later.tvx", dangling.c_str()), 0);

    CProfileStore linked(link);
    QCOMPARE(linked.GetProfileInt("S", "K", -1), 1);
    QVERIFY(linked.WriteProfileInt("S", "K", 2));
    QVERIFY(CProfileStore(dangling).WriteProfileInt("S", "K", 3));

    struct stat st {};
    QCOMPARE(lstat(link.c_str(), &st), 0);
    QVERIFY(S_ISLNK(st.st_mode));
    QCOMPARE(lstat(dangling.c_str(), &st), 0);
    QVERIFY(S_ISLNK(st.st_mode));
    QCOMPARE(Bytes(ReadFileBytes(target)), "[S]\r\nK=2\r\n");
    QCOMPARE(FileMode(target), 0640);
    QCOMPARE(Bytes(tree.Read("real/later.tvx")), "[S]\r\nK=3\r\n");
}

// Run as nobody, since permission bits do not stop root.
void TestProfileStore::readOnlyFileIsNotReplaced()
{
    if (RunsAsRoot()) {
        QByteArray output;
        QVERIFY2(RunTestAsNobody("readOnlyFileIsNotReplaced", output), output.constData());
        return;
    }
    CTempTree tree;
    const std::string path = tree.WriteFile("a.tvx", "[S]\r\nK=1\r\n");
    QCOMPARE(chmod(path.c_str(), 0444), 0);
    CProfileStore store(path);
    QVERIFY(!store.WriteProfileInt("S", "K", 2));
    QCOMPARE(store.LastWriteError(), EACCES);
    QCOMPARE(Bytes(ReadFileBytes(path)), "[S]\r\nK=1\r\n");
}

// "//tmp/x/a.tvx" names a share "x" of a server "tmp": while it is not mounted the file
// is unreachable, and the local "/tmp/x/a.tvx" is neither read nor replaced.
void TestProfileStore::fileOnAShareThatIsNotMounted()
{
    CTempTree tree;
    const std::string local = tree.WriteFile("a.tvx", "[S]\r\nK=1\r\n");
    CProfileStore store("/" + local);
    QCOMPARE(store.GetProfileInt("S", "K", 7), 7);
    QVERIFY(!store.WriteProfileInt("S", "K", 2));
    QCOMPARE(store.LastWriteError(), EHOSTDOWN);
    QCOMPARE(Bytes(ReadFileBytes(local)), "[S]\r\nK=1\r\n");
}

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profile_store.moc"
