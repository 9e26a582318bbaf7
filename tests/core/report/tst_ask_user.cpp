#include <QtTest>

#include <cerrno>
#include <string>
#include <vector>

#include "helpers/fake_services.h"
#include "platform/last_error.h"
#include "report/ask_user.h"
#include "report/message_output.h"
#include "report/report_texts.h"
#include "settings/application_core.h"
#include "settings/settings_model.h"

namespace {

std::string S(const char* text)
{
    return text;
}

const std::string kWarning = ReportText::kWarningPrefix;
constexpr unsigned kYesNoQuestion =
    MessageBoxType::kYesNo | MessageBoxType::kIconQuestion | MessageBoxType::kTopmost;

struct CFixture
{
    CFixture()
    {
        settings.LogFile.raw.clear();
        settings.LogFile.expanded.clear();
    }
    CFakeHost host;
    CHostServices services = host.Services();
    CGeneralSettings settings;
    CMessageOutput output{settings, services};
};

// A box during which the front end runs something that fails (and sets the last error).
class CFailingPrompter final : public IPrompter
{
public:
    int TimedMessageBox(const std::string&, const std::string&, unsigned, int) override
    {
        SetLastSystemError(ENOENT);
        return MessageBoxAnswer::kRetry;
    }
    int MessageBox(const std::string&, const std::string&, unsigned) override { return 0; }
    bool AskCredentials(const std::string&, const std::string&, std::string&, std::string&) override { return false; }
};

} // namespace

class TestAskUser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }
    void cleanup() { ClearLastSystemError(); }

    void answerWords_data();
    void answerWords();
    void timeLimit_data();
    void timeLimit();
    void title_data();
    void title();
    void noLogNoRows();
    void lineBreaksFlattened();
    void systemErrorInTheInfo();
    void systemErrorTakenBeforeTheBox();
    void withoutPrompterTimesOut();
};

void TestAskUser::answerWords_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<std::string>("word");

    QTest::newRow("0") << 0 << S("Dialog:Timeout");
    QTest::newRow("1") << 1 << S("Dialog:OK");
    QTest::newRow("2") << 2 << S("Dialog:Cancel");
    QTest::newRow("3") << 3 << S("Dialog:Abort");
    QTest::newRow("4") << 4 << S("Dialog:Retry");
    QTest::newRow("5") << 5 << S("Dialog:Ignore");
    QTest::newRow("6") << 6 << S("Dialog:Yes");
    QTest::newRow("7") << 7 << S("Dialog:No");
    QTest::newRow("8") << 8 << S("Dialog:8");
    QTest::newRow("11") << 11 << S("Dialog:11");
    QTest::newRow("-1") << -1 << S("Dialog:-1");
}

void TestAskUser::answerWords()
{
    QFETCH(int, answer);
    QFETCH(std::string, word);

    QCOMPARE(AnswerWord(answer), word);

    CFixture f;
    f.host.prompter.answers.push_back(answer);
    const int result = AskUser(f.output, f.services, 30, "Continue?", "", kYesNoQuestion, true);
    QCOMPARE(result, answer);
    QCOMPARE(f.host.sink.reportRows.size(), 1u);
    const CMessageRow& row = f.host.sink.reportRows[0];
    QCOMPARE(row.kind, 1);
    QCOMPARE(row.message, kWarning + "Continue?");
    QCOMPARE(row.source, S(""));
    QCOMPARE(row.destination, S(""));
    QCOMPARE(row.info, word + ", ");
    QCOMPARE(f.host.sink.errorRows.size(), 1u);
    QCOMPARE(f.host.sink.errorRows[0].info, word + ", ");
}

void TestAskUser::timeLimit_data()
{
    QTest::addColumn<int>("dlgTimer");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("limitMs");

    QTest::newRow("DlgTimer 30") << 30 << -1 << true << 30000;
    QTest::newRow("own seconds") << 30 << 10 << true << 10000;
    QTest::newRow("own seconds, DlgTimer 0") << 0 << 5 << true << 5000;
    QTest::newRow("DlgTimer 0") << 0 << -1 << false << 0;
    QTest::newRow("own 0") << 30 << 0 << false << 0;
}

void TestAskUser::timeLimit()
{
    QFETCH(int, dlgTimer);
    QFETCH(int, seconds);
    QFETCH(bool, asked);
    QFETCH(int, limitMs);

    CFixture f;
    f.host.prompter.defaultAnswer = MessageBoxAnswer::kYes;
    const int answer = AskUser(f.output, f.services, dlgTimer, "Q", "T", kYesNoQuestion, true, seconds);

    QCOMPARE(f.host.prompter.asked.size(), asked ? 1u : 0u);
    if (asked) {
        QCOMPARE(answer, MessageBoxAnswer::kYes);
        QCOMPARE(f.host.prompter.asked[0].limitMs, limitMs);
        QCOMPARE(f.host.prompter.asked[0].type, kYesNoQuestion);
        QCOMPARE(f.host.prompter.asked[0].text, S("Q"));
        QVERIFY(f.host.prompter.asked[0].timed);
        QCOMPARE(f.host.sink.reportRows.at(0).info, S("Dialog:Yes, "));
    } else {
        // No box at all: the time-out answer at once, and it is logged as such.
        QCOMPARE(answer, MessageBoxAnswer::kTimeout);
        QCOMPARE(f.host.sink.reportRows.at(0).info, S("Dialog:Timeout, "));
    }
}

void TestAskUser::title_data()
{
    QTest::addColumn<std::string>("title");
    QTest::addColumn<std::string>("shown");
    QTest::newRow("none") << S("") << S(kApplicationName);
    QTest::newRow("own") << S("Tovix - バッテリー") << S("Tovix - バッテリー");
}

void TestAskUser::title()
{
    QFETCH(std::string, title);
    QFETCH(std::string, shown);
    CFixture f;
    AskUser(f.output, f.services, 30, "Q", title, MessageBoxType::kOk, false);
    QCOMPARE(f.host.prompter.asked.at(0).title, shown);
}

void TestAskUser::noLogNoRows()
{
    CFixture f;
    f.host.prompter.answers.push_back(MessageBoxAnswer::kNo);
    QCOMPARE(AskUser(f.output, f.services, 30, "Q", "", kYesNoQuestion, false), MessageBoxAnswer::kNo);
    QVERIFY(f.host.sink.reportRows.empty());
    QVERIFY(f.host.sink.errorRows.empty());
    QVERIFY(f.host.sink.statusTexts.empty());
}

void TestAskUser::lineBreaksFlattened()
{
    CFixture f;
    const std::string text = "バックアップ先が見つかりません\r\n/media/backup\nを待ちますか?";
    AskUser(f.output, f.services, 30, text, "", kYesNoQuestion, true);
    // The box shows the text as it is; the reports keep it on one line.
    QCOMPARE(f.host.prompter.asked.at(0).text, text);
    QCOMPARE(f.host.sink.reportRows.at(0).message,
             kWarning + "バックアップ先が見つかりません  /media/backup を待ちますか?");
}

void TestAskUser::systemErrorInTheInfo()
{
    CFixture f;
    f.host.prompter.answers.push_back(MessageBoxAnswer::kOk);
    SetLastSystemError(EACCES);
    AskUser(f.output, f.services, 30, "Q", "", MessageBoxType::kOk, true);
    QCOMPARE(f.host.sink.reportRows.at(0).info, S("Dialog:OK, .$0000000D-Permission denied"));
    QCOMPARE(GetLastSystemError(), EACCES);
}

void TestAskUser::systemErrorTakenBeforeTheBox()
{
    CFixture f;
    CFailingPrompter prompter;
    f.services.prompter = &prompter;
    SetLastSystemError(EACCES);
    QCOMPARE(AskUser(f.output, f.services, 30, "Q", "", MessageBoxType::kOk, true), MessageBoxAnswer::kRetry);
    QCOMPARE(f.host.sink.reportRows.at(0).info, S("Dialog:Retry, .$0000000D-Permission denied"));
}

void TestAskUser::withoutPrompterTimesOut()
{
    CFixture f;
    f.services.prompter = nullptr;
    QCOMPARE(AskUser(f.output, f.services, 30, "Q", "", MessageBoxType::kOk, true),
             MessageBoxAnswer::kTimeout);
    QCOMPARE(f.host.sink.reportRows.at(0).info, S("Dialog:Timeout, "));
}

QTEST_GUILESS_MAIN(TestAskUser)
#include "tst_ask_user.moc"
