#include <QtTest>

#include <QMessageBox>
#include <QPushButton>

#include "helpers/fake_services.h"
#include "helpers/gui_profile.h"
#include "report/ask_user.h"
#include "report/message_output.h"
#include "report/timed_message_box.h"
#include "settings/settings_model.h"

namespace {

constexpr unsigned kTopmost = MessageBoxType::kTopmost;

// The engine's side of a question: the core's AskUser with the GUI's box as prompter and
// a recording sink for the reports.
struct CAsking
{
    CAsking()
    {
        settings.LogFile.raw.clear();
        settings.LogFile.expanded.clear();
        services.prompter = &box;
    }
    int Ask(const std::string& text, unsigned type, int seconds, bool log = true)
    {
        return AskUser(output, services, settings.DlgTimer, text, "Tovix", type, log, seconds);
    }

    CGuiProfile profile;
    CTimedMessageBox box;
    CFakeHost host;
    CHostServices services = host.Services();
    CGeneralSettings settings;
    CMessageOutput output{settings, services};
};

QStringList Titles(const QSignalSpy& spy)
{
    QStringList titles;
    for (const QList<QVariant>& arguments : spy)
        titles << arguments.at(0).toString();
    return titles;
}

} // namespace

class TestTimedMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void countdownToTimeout();
    void queuedAnswers_data();
    void queuedAnswers();
    void noBoxWithoutTime();
    void positionIsRemembered();
    void questionInsideAQuestion();
    void realShortTimeout();
};

void TestTimedMessageBox::countdownToTimeout()
{
    CAsking asking;
    QSignalSpy titles(&asking.box, &CTimedMessageBox::TitleShown);
    QSignalSpy flashes(&asking.box, &CTimedMessageBox::Flashed);
    asking.box.QueueTimeout();
    const int answer = asking.Ask("Line one\r\nline two",
                                  MessageBoxType::kYesNo | MessageBoxType::kIconQuestion | kTopmost, 7);

    QCOMPARE(answer, MessageBoxAnswer::kTimeout);
    QCOMPARE(Titles(titles), QStringList({"Tovix  [7]", "Tovix  [6]", "Tovix  [5]", "Tovix  [4]",
                                          "Tovix  [3]", "Tovix  [2]", "Tovix  [1]", "Tovix  [0]"}));
    // Every tick from [5] on flashes: the ticks with 5 seconds or less to go.
    QCOMPARE(flashes.count(), 70 - 19);
    QCOMPARE(asking.host.sink.reportRows.size(), std::size_t(1));
    const CMessageRow& row = asking.host.sink.reportRows.front();
    QCOMPARE(row.kind, 1);
    QCOMPARE(row.message, std::string("警告: Line one  line two"));
    QCOMPARE(row.info, std::string("Dialog:Timeout, "));
    QVERIFY(!asking.box.ActiveBox());
}

void TestTimedMessageBox::queuedAnswers_data()
{
    QTest::addColumn<unsigned>("type");
    QTest::addColumn<int>("queued");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("word");
    const unsigned yesNo = MessageBoxType::kYesNo | MessageBoxType::kIconQuestion | kTopmost;
    const unsigned okCancel = MessageBoxType::kOkCancel | MessageBoxType::kIconQuestion | kTopmost;
    const unsigned ok = MessageBoxType::kOk | MessageBoxType::kIconExclamation | kTopmost;
    QTest::newRow("yes") << yesNo << 6 << 6 << "Dialog:Yes, ";
    QTest::newRow("no") << yesNo << 7 << 7 << "Dialog:No, ";
    QTest::newRow("ok of ok/cancel") << okCancel << 1 << 1 << "Dialog:OK, ";
    QTest::newRow("cancel") << okCancel << 2 << 2 << "Dialog:Cancel, ";
    QTest::newRow("ok alone") << ok << 1 << 1 << "Dialog:OK, ";
    QTest::newRow("a code no button gives") << ok << 42 << 42 << "Dialog:42, ";
}

void TestTimedMessageBox::queuedAnswers()
{
    QFETCH(unsigned, type);
    QFETCH(int, queued);
    QFETCH(int, answer);
    QFETCH(QString, word);
    CAsking asking;
    QSignalSpy titles(&asking.box, &CTimedMessageBox::TitleShown);
    asking.box.QueueAnswer(queued);
    QCOMPARE(asking.Ask("Question?", type, 30), answer);
    QVERIFY(!asking.box.HasQueuedAnswers());
    QCOMPARE(Titles(titles), QStringList({"Tovix  [30]"}));
    QCOMPARE(QString::fromStdString(asking.host.sink.reportRows.at(0).info), word);
}

void TestTimedMessageBox::noBoxWithoutTime()
{
    CAsking asking;
    QSignalSpy titles(&asking.box, &CTimedMessageBox::TitleShown);
    asking.settings.DlgTimer = 0;
    asking.box.QueueAnswer(MessageBoxAnswer::kYes);
    QCOMPARE(asking.Ask("Q", MessageBoxType::kYesNo, -1), MessageBoxAnswer::kTimeout);
    QCOMPARE(titles.count(), 0);
    QVERIFY2(asking.box.HasQueuedAnswers(), "no box was shown, so no answer was taken");
    QCOMPARE(asking.host.sink.reportRows.at(0).info, std::string("Dialog:Timeout, "));
    // The prompter itself shows nothing for a limit of 0 either.
    QCOMPARE(asking.box.TimedMessageBox("Q", "T", MessageBoxType::kYesNo, 0), MessageBoxAnswer::kTimeout);
    QCOMPARE(titles.count(), 0);
}

void TestTimedMessageBox::positionIsRemembered()
{
    CAsking asking;
    QPoint movedTo;
    int boxWidth = 0;
    int titleWidth = 0;
    // The user moves the box while it counts down.
    auto connection = connect(&asking.box, &CTimedMessageBox::TitleShown, this, [&](const QString& title) {
        if (title.endsWith("[3]") && asking.box.ActiveBox()) {
            asking.box.ActiveBox()->move(111, 77);
            movedTo = asking.box.ActiveBox()->pos();
            boxWidth = asking.box.ActiveBox()->width();
            titleWidth = asking.box.ActiveBox()->fontMetrics().horizontalAdvance(title);
        }
    });
    asking.box.QueueTimeout();
    asking.Ask("Q", MessageBoxType::kOk, 5);
    disconnect(connection);
    QCOMPARE(movedTo, QPoint(111, 77));
    // A short question still leaves room for the title, its countdown and the title buttons.
    QVERIFY2(boxWidth >= titleWidth + 100, qPrintable(QString("%1 < %2 + 100").arg(boxWidth).arg(titleWidth)));
    QCOMPARE(asking.profile.Int(TimedBoxKey::kSection, TimedBoxKey::kX), 111);
    QCOMPARE(asking.profile.Int(TimedBoxKey::kSection, TimedBoxKey::kY), 77);

    // The next box opens there.
    QPoint openedAt;
    connection = connect(&asking.box, &CTimedMessageBox::TitleShown, this, [&](const QString& title) {
        if (title.endsWith("[4]") && asking.box.ActiveBox())
            openedAt = asking.box.ActiveBox()->pos();
    });
    asking.box.QueueTimeout();
    asking.Ask("Q", MessageBoxType::kOk, 5);
    QCOMPARE(openedAt, QPoint(111, 77));
}

// The engine's timers run inside a box's event loop and may ask again: the inner box is
// answered and the outer one goes on counting down where it was.
void TestTimedMessageBox::questionInsideAQuestion()
{
    CAsking asking;
    QSignalSpy titles(&asking.box, &CTimedMessageBox::TitleShown);
    int inner = -1;
    connect(&asking.box, &CTimedMessageBox::TitleShown, this, [&](const QString& title) {
        if (title == "Tovix  [3]") {
            asking.box.QueueAnswer(MessageBoxAnswer::kNo);
            inner = asking.box.TimedMessageBox("inner", "Inner", MessageBoxType::kYesNo, 20000);
        }
    });
    asking.box.QueueTimeout();
    QCOMPARE(asking.Ask("outer", MessageBoxType::kOkCancel, 4), MessageBoxAnswer::kTimeout);
    QCOMPARE(inner, MessageBoxAnswer::kNo);
    QCOMPARE(Titles(titles), QStringList({"Tovix  [4]", "Tovix  [3]", "Inner  [20]", "Tovix  [2]",
                                          "Tovix  [1]", "Tovix  [0]"}));
    QVERIFY(!asking.box.ActiveBox());
}

// The one test that lets the clock run: a box of one second closes by itself.
void TestTimedMessageBox::realShortTimeout()
{
    CAsking asking;
    QSignalSpy titles(&asking.box, &CTimedMessageBox::TitleShown);
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(asking.box.TimedMessageBox("Q", "T", MessageBoxType::kYesNo | kTopmost, 1000),
             MessageBoxAnswer::kTimeout);
    QVERIFY(elapsed.elapsed() >= 900);
    QCOMPARE(Titles(titles), QStringList({"T  [1]", "T  [0]"}));
}

QTEST_MAIN(TestTimedMessageBox)
#include "tst_timed_message_box.moc"
