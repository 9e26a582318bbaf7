#include <QtTest>

#include <cerrno>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/last_error.h"
#include "report/log_file.h"
#include "report/message_output.h"
#include "report/report_texts.h"
#include "settings/settings_model.h"

Q_DECLARE_METATYPE(std::string)

namespace {

// The fake clock's default moment, 1,700,000,000 s, in UTC.
constexpr const char* kTime = "22:13:20";
constexpr const char* kDate = "11/14/23";

const std::string kWarning = ReportText::kWarningPrefix;
const std::string kError = ReportText::kErrorPrefix;
const std::string kNotice = ReportText::kLogRotatedNotice;

std::string Line(const std::string& letter, const std::string& message, const std::string& source = {},
                 const std::string& destination = {}, const std::string& info = {})
{
    return letter + "\t" + kTime + "\t" + kDate + "\t" + message + "\t" + source + "\t" + destination + "\t"
           + info + "\r\n";
}

// One output with fake services and its own settings.
struct CFixture
{
    CFixture()
    {
        settings.LogFile.raw.clear();
        settings.LogFile.expanded.clear();
        settings.LogSize = 0;
    }
    void SetLog(const std::string& path)
    {
        settings.LogFile.raw = path;
        settings.LogFile.expanded = path;
    }

    CFakeHost host;
    CHostServices services = host.Services();
    CGeneralSettings settings;
    CMessageOutput output{settings, services};
};

std::string S(const char* text)
{
    return text;
}

} // namespace

class TestMessageOutput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void kinds_data();
    void kinds();
    void statusTextForEveryCall_data();
    void statusTextForEveryCall();
    void rowCarriesTimeAndDate();
    void timeAndDateFollowTheLocalZone();
    void warningLogLineWithEmptyFields();
    void logLineOfEveryField();
    void fieldsLoseTabsAndLineBreaks_data();
    void fieldsLoseTabsAndLineBreaks();
    void appendsToAnExistingLog();
    void rotationAtTheLimit_data();
    void rotationAtTheLimit();
    void rotationReplacesTheOldGeneration();
    void noLimit_data();
    void noLimit();
    void failedRenameNoticesOnce();
    void rotationResumesWhenTheWayIsFree();
    void noticeLongerThanTheLimitRotatesOnce();
    void fifoWithoutReaderDoesNotHang();
    void unwritableLogLosesOnlyTheLine();
    void newLogIsPrivate();
    void existingLogKeepsItsMode();
    void errorStateSurvivesReporting_data();
    void errorStateSurvivesReporting();
    void sounds_data();
    void sounds();
    void notifySoundWithoutFile_data();
    void notifySoundWithoutFile();
    void beepInfo_data();
    void beepInfo();
};

void TestMessageOutput::kinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("detail");
    QTest::addColumn<int>("debug");
    QTest::addColumn<bool>("noOutput");
    QTest::addColumn<std::string>("shown"); // message in the rows and the log; "" = dropped
    QTest::addColumn<bool>("reportRow");
    QTest::addColumn<bool>("errorRow");
    QTest::addColumn<std::string>("letter");

    QTest::newRow("0 file action") << 0 << 0 << 0 << false << S("m") << true << false << S("F");
    QTest::newRow("1 warning") << 1 << 0 << 0 << false << kWarning + "m" << true << true << S("W");
    QTest::newRow("2 error") << 2 << 0 << 0 << false << kError + "m" << true << true << S("E");
    QTest::newRow("3 information") << 3 << 0 << 0 << false << S("m") << true << false << S("i");
    QTest::newRow("4 detail, shown") << 4 << 1 << 0 << false << S("m") << true << false << S("j");
    QTest::newRow("4 detail, hidden") << 4 << 0 << 1 << false << S("") << false << false << S("");
    QTest::newRow("5 debug, shown") << 5 << 0 << 1 << false << S("m") << true << false << S("k");
    QTest::newRow("5 debug, hidden") << 5 << 1 << 0 << false << S("") << false << false << S("");
    QTest::newRow("6 test") << 6 << 0 << 0 << false << S("m") << true << false << S("T");
    QTest::newRow("no output: file action") << 0 << 0 << 0 << true << S("m") << false << false << S("F");
    QTest::newRow("no output: warning") << 1 << 0 << 0 << true << kWarning + "m" << false << true << S("W");
    QTest::newRow("no output: error") << 2 << 0 << 0 << true << kError + "m" << false << true << S("E");
    QTest::newRow("no output: debug hidden") << 5 << 1 << 0 << true << S("") << false << false << S("");
}

void TestMessageOutput::kinds()
{
    QFETCH(int, kind);
    QFETCH(int, detail);
    QFETCH(int, debug);
    QFETCH(bool, noOutput);
    QFETCH(std::string, shown);
    QFETCH(bool, reportRow);
    QFETCH(bool, errorRow);
    QFETCH(std::string, letter);

    CTempTree tree;
    CFixture f;
    f.SetLog(tree.Path("log.txt"));
    f.settings.DispDetailInfo = detail;
    f.settings.DispDebugInfo = debug;
    f.output.SetNoMessageOutput(noOutput);

    f.output.OutputMessage(kind, "m", "s", "d", "x");

    QCOMPARE(f.host.sink.statusTexts, std::vector<std::string>{"m, s, d, x"});
    QCOMPARE(f.host.sink.reportRows.size(), reportRow ? 1u : 0u);
    QCOMPARE(f.host.sink.errorRows.size(), errorRow ? 1u : 0u);
    for (const auto* rows : {&f.host.sink.reportRows, &f.host.sink.errorRows}) {
        for (const CMessageRow& row : *rows) {
            QCOMPARE(row.kind, kind);
            QCOMPARE(row.message, shown);
            QCOMPARE(row.source, S("s"));
            QCOMPARE(row.destination, S("d"));
            QCOMPARE(row.info, S("x"));
        }
    }
    if (shown.empty())
        QVERIFY(!tree.Exists("log.txt"));
    else
        QCOMPARE(tree.Read("log.txt"), Line(letter, shown, "s", "d", "x"));
}

void TestMessageOutput::statusTextForEveryCall_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<std::string>("source");
    QTest::addColumn<std::string>("destination");
    QTest::addColumn<std::string>("info");
    QTest::addColumn<std::string>("status");

    QTest::newRow("all parts") << 0 << S("/a") << S("/b") << S("i") << S("msg, /a, /b, i");
    QTest::newRow("absent parts keep their separators") << 3 << S("") << S("") << S("") << S("msg, , , ");
    QTest::newRow("error without prefix") << 2 << S("/a") << S("") << S("") << S("msg, /a, , ");
    QTest::newRow("hidden detail") << 4 << S("/a") << S("") << S("") << S("msg, /a, , ");
    QTest::newRow("hidden debug") << 5 << S("") << S("") << S("x") << S("msg, , , x");
}

void TestMessageOutput::statusTextForEveryCall()
{
    QFETCH(int, kind);
    QFETCH(std::string, source);
    QFETCH(std::string, destination);
    QFETCH(std::string, info);
    QFETCH(std::string, status);

    CFixture f;
    f.settings.DispDetailInfo = 0;
    f.settings.DispDebugInfo = 0;
    f.output.OutputMessage(kind, "msg", source, destination, info);
    QCOMPARE(f.host.sink.statusTexts, std::vector<std::string>{status});
}

void TestMessageOutput::rowCarriesTimeAndDate()
{
    CFixture f;
    f.output.OutputMessage(2, "m");
    QCOMPARE(f.host.sink.reportRows.size(), 1u);
    QCOMPARE(f.host.sink.reportRows[0].time, S(kTime));
    QCOMPARE(f.host.sink.reportRows[0].date, S(kDate));
    QCOMPARE(f.host.sink.errorRows.size(), 1u);
    QCOMPARE(f.host.sink.errorRows[0].time, S(kTime));
    QCOMPARE(f.host.sink.errorRows[0].date, S(kDate));
}

void TestMessageOutput::timeAndDateFollowTheLocalZone()
{
    // 2001-12-31 09:05:30 UTC is 18:05:30 in Tokyo; two-digit fields keep their zeros.
    qputenv("TZ", "Asia/Tokyo");
    tzset();
    CFixture f;
    f.host.clock.SetSeconds(1009789530);
    f.output.OutputMessage(3, "m");
    qputenv("TZ", "UTC");
    tzset();
    QCOMPARE(f.host.sink.reportRows.at(0).time, S("18:05:30"));
    QCOMPARE(f.host.sink.reportRows.at(0).date, S("12/31/01"));

    CFixture g;
    g.host.clock.SetSeconds(1009789530);
    g.output.OutputMessage(3, "m");
    QCOMPARE(g.host.sink.reportRows.at(0).time, S("09:05:30"));
    QCOMPARE(g.host.sink.reportRows.at(0).date, S("12/31/01"));
}

void TestMessageOutput::warningLogLineWithEmptyFields()
{
    CTempTree tree;
    CFixture f;
    f.SetLog(tree.Path("log.txt"));
    f.output.OutputMessage(1, "ファイルの大きさだけが違います");
    QCOMPARE(tree.Read("log.txt"),
             S("W\t22:13:20\t11/14/23\t警告: ファイルの大きさだけが違います\t\t\t\r\n"));
}

void TestMessageOutput::logLineOfEveryField()
{
    CTempTree tree;
    CFixture f;
    f.SetLog(tree.Path("log.txt"));
    f.output.OutputMessage(0, "コピー", "/src/a.txt", "/bak/a.txt", "12 bytes");
    f.output.OutputMessage(2, "フォルダが見つかりません ", "/src", "",
                           ".$00000002-No such file or directory");
    QCOMPARE(tree.Read("log.txt"), S("F\t22:13:20\t11/14/23\tコピー\t/src/a.txt\t/bak/a.txt\t12 bytes\r\n"
                                     "E\t22:13:20\t11/14/23\tエラー: フォルダが見つかりません \t/src\t\t"
                                     ".$00000002-No such file or directory\r\n"));
}

void TestMessageOutput::fieldsLoseTabsAndLineBreaks_data()
{
    QTest::addColumn<std::string>("message");
    QTest::addColumn<std::string>("source");
    QTest::addColumn<std::string>("destination");
    QTest::addColumn<std::string>("info");
    QTest::addColumn<std::string>("line");

    QTest::newRow("tab in message") << S("a\tb") << S("") << S("") << S("") << Line("i", "a b");
    QTest::newRow("CR LF in source") << S("m") << S("/x\r\ny") << S("") << S("") << Line("i", "m", "/x  y");
    QTest::newRow("LF in destination") << S("m") << S("") << S("/d\n") << S("") << Line("i", "m", "", "/d ");
    QTest::newRow("all three in info")
        << S("m") << S("") << S("") << S("\t\r\n") << Line("i", "m", "", "", "   ");
    QTest::newRow("other bytes pass") << S("m\x01\xff") << S("") << S("") << S("") << Line("i", "m\x01\xff");
}

void TestMessageOutput::fieldsLoseTabsAndLineBreaks()
{
    QFETCH(std::string, message);
    QFETCH(std::string, source);
    QFETCH(std::string, destination);
    QFETCH(std::string, info);
    QFETCH(std::string, line);

    CTempTree tree;
    CFixture f;
    f.SetLog(tree.Path("log.txt"));
    f.output.OutputMessage(3, message, source, destination, info);
    QCOMPARE(tree.Read("log.txt"), line);
    // The lists show the texts as given.
    QCOMPARE(f.host.sink.reportRows.at(0).message, message);
    QCOMPARE(f.host.sink.reportRows.at(0).info, info);
}

void TestMessageOutput::appendsToAnExistingLog()
{
    CTempTree tree;
    const std::string path = tree.WriteFile("log.txt", "earlier\r\n");
    CFixture f;
    f.SetLog(path);
    f.output.OutputMessage(3, "a");
    f.output.OutputMessage(3, "b");
    QCOMPARE(tree.Read("log.txt"), "earlier\r\n" + Line("i", "a") + Line("i", "b"));
}

void TestMessageOutput::rotationAtTheLimit_data()
{
    QTest::addColumn<int>("lengthAfterWrite");
    QTest::addColumn<bool>("rotates");

    QTest::newRow("1,999 bytes stay") << 1999 << false;
    QTest::newRow("2,000 bytes rotate") << 2000 << true;
    QTest::newRow("2,001 bytes rotate") << 2001 << true;
}

void TestMessageOutput::rotationAtTheLimit()
{
    QFETCH(int, lengthAfterWrite);
    QFETCH(bool, rotates);

    CTempTree tree;
    const std::string line = Line("i", "m");
    const std::string earlier(static_cast<std::size_t>(lengthAfterWrite) - line.size(), 'x');
    const std::string path = tree.WriteFile("log.txt", earlier);
    const std::string oldPath = path + ".OLD";

    CFixture f;
    f.SetLog(path);
    f.settings.LogSize = 1;
    f.settings.SoundW = 1;
    f.settings.SoundWFile = "/sounds/w.wav";
    f.output.OutputMessage(3, "m");

    if (!rotates) {
        QCOMPARE(tree.Read("log.txt"), earlier + line);
        QVERIFY(!PathExists(oldPath));
        QCOMPARE(f.host.sink.Messages(), std::vector<std::string>{"m"});
        QVERIFY(f.host.sink.errorRows.empty());
        return;
    }

    QCOMPARE(ReadFileBytes(oldPath), earlier + line);
    QCOMPARE(tree.Read("log.txt"), Line("W", kWarning + kNotice, path, oldPath));
    QCOMPARE(f.host.sink.Messages(), (std::vector<std::string>{"m", kWarning + kNotice}));
    QCOMPARE(f.host.sink.errorRows.size(), 1u);
    QCOMPARE(f.host.sink.errorRows[0].message, kWarning + kNotice);
    QCOMPARE(f.host.sink.errorRows[0].source, path);
    QCOMPARE(f.host.sink.errorRows[0].destination, oldPath);
    QCOMPARE(f.host.sink.errorRows[0].info, S(""));
    QCOMPARE(f.host.sink.playedSounds, std::vector<std::string>{"/sounds/w.wav"});

    // The next message goes on in the new file.
    f.output.OutputMessage(0, "n");
    QCOMPARE(tree.Read("log.txt"), Line("W", kWarning + kNotice, path, oldPath) + Line("F", "n"));
}

void TestMessageOutput::rotationReplacesTheOldGeneration()
{
    CTempTree tree;
    const std::string path = tree.WriteFile("log.txt", std::string(3000, 'y'));
    tree.WriteFile("log.txt.OLD", "older generation");
    CFixture f;
    f.SetLog(path);
    f.settings.LogSize = 2;
    f.output.OutputMessage(3, "m");
    QCOMPARE(tree.Read("log.txt.OLD"), std::string(3000, 'y') + Line("i", "m"));
    QCOMPARE(tree.Read("log.txt"), Line("W", kWarning + kNotice, path, path + ".OLD"));
}

void TestMessageOutput::noLimit_data()
{
    QTest::addColumn<int>("logSize");
    QTest::newRow("0") << 0;
    QTest::newRow("negative") << -5;
}

void TestMessageOutput::noLimit()
{
    QFETCH(int, logSize);
    CTempTree tree;
    const std::string earlier(50000, 'z');
    const std::string path = tree.WriteFile("log.txt", earlier);
    CFixture f;
    f.SetLog(path);
    f.settings.LogSize = logSize;
    f.output.OutputMessage(3, "a");
    f.output.OutputMessage(1, "b");
    QCOMPARE(tree.Read("log.txt"), earlier + Line("i", "a") + Line("W", kWarning + "b"));
    QVERIFY(!tree.Exists("log.txt.OLD"));
    QCOMPARE(f.host.sink.reportRows.size(), 2u);
}

void TestMessageOutput::failedRenameNoticesOnce()
{
    CTempTree tree;
    const std::string earlier(3000, 'x');
    const std::string path = tree.WriteFile("log.txt", earlier);
    // A non-empty folder in the way of the old generation: neither delete nor rename work.
    tree.WriteFile("log.txt.OLD/keep", "k");

    CFixture f;
    f.SetLog(path);
    f.settings.LogSize = 1;
    f.output.OutputMessage(3, "a");
    f.output.OutputMessage(3, "b");
    f.output.OutputMessage(3, "c");

    const std::vector<CMessageRow> notices = f.host.sink.RowsOfKind(1);
    QCOMPARE(notices.size(), 1u);
    QCOMPARE(notices[0].message, kWarning + kNotice);
    QCOMPARE(notices[0].source, path);
    QCOMPARE(notices[0].destination, path + ".OLD");
    // The reason why the log could not be renamed.
    QVERIFY2(notices[0].info.rfind(".$", 0) == 0, notices[0].info.c_str());
    QCOMPARE(f.host.sink.Messages(), (std::vector<std::string>{"a", kWarning + kNotice, "b", "c"}));

    // Nothing is lost: the log simply keeps growing.
    QCOMPARE(tree.Read("log.txt"), earlier + Line("i", "a")
                                       + Line("W", kWarning + kNotice, path, path + ".OLD", notices[0].info)
                                       + Line("i", "b") + Line("i", "c"));
    QCOMPARE(tree.Read("log.txt.OLD/keep"), S("k"));
}

void TestMessageOutput::rotationResumesWhenTheWayIsFree()
{
    CTempTree tree;
    const std::string earlier(3000, 'x');
    const std::string path = tree.WriteFile("log.txt", earlier);
    tree.WriteFile("log.txt.OLD/keep", "k");

    CFixture f;
    f.SetLog(path);
    f.settings.LogSize = 1;
    f.output.OutputMessage(3, "a");
    QCOMPARE(f.host.sink.RowsOfKind(1).size(), 1u);

    // The user clears the way: the next line over the limit rotates as usual.
    QVERIFY(QDir(QString::fromStdString(path + ".OLD")).removeRecursively());
    f.host.sink.Clear();
    f.output.OutputMessage(3, "b");
    QCOMPARE(f.host.sink.Messages(), (std::vector<std::string>{"b", kWarning + kNotice}));
    QCOMPARE(f.host.sink.errorRows.at(0).info, S(""));
    QVERIFY(ReadFileBytes(path + ".OLD").rfind(earlier, 0) == 0);
    QCOMPARE(tree.Read("log.txt"), Line("W", kWarning + kNotice, path, path + ".OLD"));
}

void TestMessageOutput::fifoWithoutReaderDoesNotHang()
{
    CTempTree tree;
    const std::string path = tree.Path("log.fifo");
    QVERIFY(::mkfifo(path.c_str(), 0600) == 0);
    CFixture f;
    f.SetLog(path);
    f.output.OutputMessage(2, "e");
    QCOMPARE(f.host.sink.errorRows.size(), 1u);
}

void TestMessageOutput::noticeLongerThanTheLimitRotatesOnce()
{
    // The notice names the log twice; with a long enough path its line alone is over the
    // limit, and it must still not start a rotation of its own.
    CTempTree tree;
    std::string relative;
    for (int level = 0; level < 6; ++level)
        relative += std::string(200, char('a' + level)) + "/";
    tree.MakeFolder(relative);
    const std::string path = tree.Path(relative + "log.txt");
    WriteFileBytes(path, std::string(2500, 'x'));

    CFixture f;
    f.SetLog(path);
    f.settings.LogSize = 1;
    f.output.OutputMessage(3, "m");

    QCOMPARE(f.host.sink.Messages(), (std::vector<std::string>{"m", kWarning + kNotice}));
    QCOMPARE(ReadFileBytes(path), Line("W", kWarning + kNotice, path, path + ".OLD"));
    QVERIFY(ReadFileBytes(path).size() > 2000);
}

void TestMessageOutput::unwritableLogLosesOnlyTheLine()
{
    CTempTree tree;
    tree.WriteFile("plain", "p");
    CFixture f;
    f.SetLog(tree.Path("plain/log.txt")); // below a file: cannot be created
    f.settings.LogSize = 1;
    f.settings.SoundE = 1;
    f.settings.SoundEFile = "/sounds/e.wav";
    f.output.OutputMessage(2, "e", "s", "d", "x");
    f.output.OutputMessage(0, "f");

    QCOMPARE(f.host.sink.Messages(), (std::vector<std::string>{kError + "e", "f"}));
    QCOMPARE(f.host.sink.errorRows.size(), 1u);
    QCOMPARE(f.host.sink.playedSounds, std::vector<std::string>{"/sounds/e.wav"});
    QCOMPARE(f.host.sink.statusTexts.size(), 2u);
    QCOMPARE(tree.Read("plain"), S("p"));

    CFixture g;
    g.SetLog(tree.Path("missing/folder/log.txt"));
    g.output.OutputMessage(3, "i");
    QCOMPARE(g.host.sink.Messages(), std::vector<std::string>{"i"});
    QVERIFY(!tree.Exists("missing"));

    // A log on a share that is not mounted is lost as well, never written to the local
    // path of the same letters ("//tmp/x/log" is no "/tmp/x/log").
    CFixture h;
    h.SetLog("/" + tree.Path("net.log"));
    h.output.OutputMessage(3, "i");
    QCOMPARE(h.host.sink.Messages(), std::vector<std::string>{"i"});
    QVERIFY(!tree.Exists("net.log"));
}

void TestMessageOutput::newLogIsPrivate()
{
    CTempTree tree;
    CFixture f;
    f.SetLog(tree.Path("log.txt"));
    f.output.OutputMessage(3, "m");
    QCOMPARE(FileMode(tree.Path("log.txt")), 0600);

    // The log begun after a rotation as well.
    const std::string big = tree.WriteFile("big.txt", std::string(5000, 'x'));
    f.SetLog(big);
    f.settings.LogSize = 1;
    f.output.OutputMessage(3, "m");
    QVERIFY(tree.Exists("big.txt.OLD"));
    QCOMPARE(FileMode(big), 0600);
}

void TestMessageOutput::existingLogKeepsItsMode()
{
    CTempTree tree;
    const std::string path = tree.WriteFile("log.txt", "");
    QVERIFY(::chmod(path.c_str(), 0640) == 0);
    CFixture f;
    f.SetLog(path);
    f.output.OutputMessage(3, "m");
    QCOMPARE(FileMode(path), 0640);
    QCOMPARE(tree.Read("log.txt"), Line("i", "m"));
}

void TestMessageOutput::errorStateSurvivesReporting_data()
{
    QTest::addColumn<std::string>("logName"); // below the temporary tree; "" = no log
    QTest::addColumn<int>("logSize");
    QTest::addColumn<std::string>("earlier"); // what the log holds before

    QTest::newRow("no log") << S("") << 0 << S("");
    QTest::newRow("log write") << S("log.txt") << 0 << S("");
    QTest::newRow("log rotation") << S("log.txt") << 1 << std::string(2500, 'x');
    QTest::newRow("log cannot be opened") << S("plain/log.txt") << 0 << S("");
}

void TestMessageOutput::errorStateSurvivesReporting()
{
    QFETCH(std::string, logName);
    QFETCH(int, logSize);
    QFETCH(std::string, earlier);

    CTempTree tree;
    tree.WriteFile("plain", "p");
    if (!earlier.empty())
        tree.WriteFile(logName, earlier);
    CFixture f;
    if (!logName.empty())
        f.SetLog(tree.Path(logName));
    f.settings.LogSize = logSize;
    f.settings.SoundE = 1;
    f.host.sink.soundFilesPlayable = false;
    f.settings.SoundEFile = "/missing.wav";

    SetLastSystemError(EACCES);
    errno = EXDEV;
    f.output.OutputMessage(2, "e", "/s", "/d", "x");
    const int errnoAfter = errno;
    QCOMPARE(GetLastSystemError(), EACCES);
    QCOMPARE(errnoAfter, EXDEV);
    QVERIFY(!f.host.sink.reportRows.empty());
    if (logSize > 0)
        QVERIFY(tree.Exists(logName + ".OLD"));
    ClearLastSystemError();
}

void TestMessageOutput::sounds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("sound");
    QTest::addColumn<int>("soundW");
    QTest::addColumn<int>("soundE");
    QTest::addColumn<std::string>("fileW");
    QTest::addColumn<std::string>("fileE");
    QTest::addColumn<bool>("playable");
    QTest::addColumn<bool>("noOutput");
    QTest::addColumn<std::vector<std::string>>("played");
    QTest::addColumn<std::vector<EBeep>>("beeps");

    using V = std::vector<std::string>;
    using B = std::vector<EBeep>;
    const EBeep ex = EBeep::Exclamation;

    QTest::newRow("error sound") << 2 << 1 << 1 << 1 << S("w.wav") << S("e.wav") << true << false
                                 << V{"e.wav"} << B{};
    QTest::newRow("error sound unplayable")
        << 2 << 1 << 0 << 1 << S("") << S("e.wav") << false << false << V{"e.wav"} << B{ex};
    QTest::newRow("error, empty error file")
        << 2 << 1 << 0 << 1 << S("w.wav") << S("") << true << false << V{} << B{ex};
    QTest::newRow("error, SoundE off")
        << 2 << 1 << 1 << 0 << S("w.wav") << S("e.wav") << true << false << V{} << B{};
    QTest::newRow("error, master switch off")
        << 2 << 0 << 1 << 1 << S("w.wav") << S("e.wav") << true << false << V{} << B{};
    QTest::newRow("error, no message output")
        << 2 << 1 << 0 << 1 << S("") << S("e.wav") << true << true << V{"e.wav"} << B{};
    QTest::newRow("warning sound") << 1 << 1 << 1 << 1 << S("w.wav") << S("e.wav") << true << false
                                   << V{"w.wav"} << B{};
    QTest::newRow("warning unplayable")
        << 1 << 1 << 1 << 0 << S("w.wav") << S("") << false << false << V{"w.wav"} << B{ex};
    QTest::newRow("warning, empty file")
        << 1 << 1 << 1 << 0 << S("") << S("e.wav") << true << false << V{} << B{ex};
    QTest::newRow("warning, SoundW off")
        << 1 << 1 << 0 << 1 << S("w.wav") << S("e.wav") << true << false << V{} << B{};
    QTest::newRow("warning, master switch off")
        << 1 << 0 << 1 << 1 << S("w.wav") << S("e.wav") << true << false << V{} << B{};
    for (const int kind : {0, 3, 4, 5, 6}) {
        const QByteArray name = "kind " + QByteArray::number(kind) + " is silent";
        QTest::newRow(name.constData())
            << kind << 1 << 1 << 1 << S("w.wav") << S("e.wav") << true << false << V{} << B{};
    }
}

void TestMessageOutput::sounds()
{
    QFETCH(int, kind);
    QFETCH(int, sound);
    QFETCH(int, soundW);
    QFETCH(int, soundE);
    QFETCH(std::string, fileW);
    QFETCH(std::string, fileE);
    QFETCH(bool, playable);
    QFETCH(bool, noOutput);
    QFETCH(std::vector<std::string>, played);
    QFETCH(std::vector<EBeep>, beeps);

    CFixture f;
    f.settings.DispDetailInfo = 1;
    f.settings.DispDebugInfo = 1;
    f.settings.Sound = sound;
    f.settings.SoundW = soundW;
    f.settings.SoundE = soundE;
    f.settings.SoundWFile = fileW;
    f.settings.SoundEFile = fileE;
    f.host.sink.soundFilesPlayable = playable;
    f.output.SetNoMessageOutput(noOutput);

    f.output.OutputMessage(kind, "m");
    QCOMPARE(f.host.sink.playedSounds, played);
    QCOMPARE(f.host.sink.beeps, beeps);
}

void TestMessageOutput::notifySoundWithoutFile_data()
{
    QTest::addColumn<int>("sound");
    QTest::addColumn<std::vector<EBeep>>("beeps");
    QTest::newRow("sound on") << 1 << std::vector<EBeep>{EBeep::Information};
    QTest::newRow("sound off") << 0 << std::vector<EBeep>{};
}

void TestMessageOutput::notifySoundWithoutFile()
{
    QFETCH(int, sound);
    QFETCH(std::vector<EBeep>, beeps);
    CFixture f;
    f.settings.Sound = sound;
    f.output.PlayNotifySound();
    QCOMPARE(f.host.sink.beeps, beeps);
    QVERIFY(f.host.sink.playedSounds.empty());

    // A completion sound file is played the same way as the warning and error sounds.
    f.host.sink.Clear();
    f.output.PlayNotifySound("/sounds/done.wav");
    QCOMPARE(f.host.sink.playedSounds,
             sound ? std::vector<std::string>{"/sounds/done.wav"} : std::vector<std::string>{});
    QVERIFY(f.host.sink.beeps.empty());
}

void TestMessageOutput::beepInfo_data()
{
    QTest::addColumn<int>("sound");
    QTest::addColumn<bool>("force");
    QTest::addColumn<bool>("beeps");
    QTest::newRow("sound on") << 1 << false << true;
    QTest::newRow("sound on, forced") << 1 << true << true;
    QTest::newRow("sound off") << 0 << false << false;
    QTest::newRow("sound off, forced") << 0 << true << true;
}

void TestMessageOutput::beepInfo()
{
    QFETCH(int, sound);
    QFETCH(bool, force);
    QFETCH(bool, beeps);
    CFixture f;
    f.settings.Sound = sound;
    f.output.BeepInfo(force);
    QCOMPARE(f.host.sink.beeps, beeps ? std::vector<EBeep>{EBeep::Information} : std::vector<EBeep>{});
    QVERIFY(f.host.sink.playedSounds.empty());
}

QTEST_GUILESS_MAIN(TestMessageOutput)
#include "tst_message_output.moc"
