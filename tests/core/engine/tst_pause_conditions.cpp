#include <QtTest>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/backup_folder.h"
#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/folder_safety.h"
#include "engine/pause_conditions.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/linux/power_supply.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

using Names = std::vector<std::string>;
using Snapshots = std::vector<Names>;
Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(Snapshots)
Q_DECLARE_METATYPE(std::vector<int>)

namespace {

constexpr int kYes = MessageBoxAnswer::kYes;
constexpr int kNo = MessageBoxAnswer::kNo;
constexpr int kTimeout = MessageBoxAnswer::kTimeout;
const std::string kDiskChecker = "スキャンディスク - C:";
constexpr std::chrono::milliseconds kShortInterval{5};

// Every file the walk hands on counts as one processed file.
class CCountingProcessor final : public CBackupProcessor
{
public:
    using CBackupProcessor::CBackupProcessor;
    int ProcessFile(const std::string&) override
    {
        CountAttempt();
        return 0;
    }
    int AfterFiles() override { return 1; }
};

std::string WatchedQuestion(const std::string& name)
{
    return FormatText(EngineText::kWatchedApplicationQuestionFormat, name.c_str());
}

} // namespace

class TestPauseConditions : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<CFakeHost>();
        m_tree = std::make_unique<CTempTree>();
        QVERIFY(m_tree->IsValid());
        m_power = std::make_unique<CLinuxPowerStatus>(m_tree->Path("power_supply"));
        CHostServices services = m_host->Services();
        services.power = m_power.get();
        m_core = std::make_unique<CApplicationCore>(services, CCommandLine{});
        m_core->State().disabled = 0;
        m_core->Settings().general.Recycle2.Assign(m_tree->Path("recycle"));
    }

    // On battery the question comes once; its answer decides hold or ready; the return
    // of the AC line makes the program ready without a word; the next battery period
    // asks again.
    void batteryQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("enabledBefore");
        QTest::addColumn<int>("enabledAfter");
        QTest::newRow("Yes holds") << kYes << 1 << 0;
        QTest::newRow("No makes ready, also after a hold") << kNo << 0 << 1;
        QTest::newRow("no answer makes ready") << kTimeout << 0 << 1;
    }

    void batteryQuestion()
    {
        QFETCH(int, answer);
        QFETCH(int, enabledBefore);
        QFETCH(int, enabledAfter);
        SetMainsOnline("0");
        CBatteryCheck check(*m_core);
        m_core->State().processingEnabled = enabledBefore;
        m_host->prompter.answers = {answer};

        check.CheckBatteryPower();
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(1));
        QCOMPARE(m_host->prompter.asked[0].text, std::string(EngineText::kBatteryQuestion));
        QCOMPARE(m_host->prompter.asked[0].type, kPauseQuestionBoxType);
        QCOMPARE(m_host->sink.RowsOfKind(MessageKind::kWarning).size(), std::size_t(1));
        QCOMPARE(m_core->State().processingEnabled, enabledAfter);
        QVERIFY(!check.IsQuestionOpen());

        // Still on battery: no second question; a hold set by the user meanwhile stays.
        m_core->State().processingEnabled = 0;
        check.CheckBatteryPower();
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(1));
        QCOMPARE(m_core->State().processingEnabled, 0);

        const std::size_t rows = m_host->sink.reportRows.size();
        SetMainsOnline("1");
        check.CheckBatteryPower();
        QCOMPARE(m_core->State().processingEnabled, 1);
        QCOMPARE(m_host->sink.reportRows.size(), rows);
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(1));

        SetMainsOnline("0");
        check.CheckBatteryPower();
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(2));
    }

    void watchedApplications_data()
    {
        QTest::addColumn<std::string>("stopApp");
        QTest::addColumn<Snapshots>("snapshots");
        QTest::addColumn<std::vector<int>>("answers");
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<int>("questions");
        QTest::addColumn<std::string>("named");

        const std::string stopApp = CGeneralSettings().StopApp;
        QTest::newRow("window title, Yes")
            << stopApp << Snapshots{{"Terminal", kDiskChecker, "最適化中 - D:"}} << std::vector<int>{kYes}
            << true << 1 << kDiskChecker;
        QTest::newRow("program name, No") << std::string("gimp;fsck*") << Snapshots{{"bash", "fsck.ext4"}}
                                          << std::vector<int>{kNo} << false << 1 << std::string("fsck.ext4");
        QTest::newRow("no answer: asked again until the application ends")
            << stopApp << Snapshots{{kDiskChecker}, {kDiskChecker}, {kDiskChecker}, {}} << std::vector<int>{}
            << true << 3 << kDiskChecker;
        QTest::newRow("nothing matches") << stopApp << Snapshots{{"Terminal", "スキャンディスク"}}
                                         << std::vector<int>{} << true << 0 << std::string();
        QTest::newRow("StopApp empty") << std::string() << Snapshots{{kDiskChecker, ""}} << std::vector<int>{}
                                       << true << 0 << std::string();
    }

    void watchedApplications()
    {
        QFETCH(std::string, stopApp);
        QFETCH(Snapshots, snapshots);
        QFETCH(std::vector<int>, answers);
        QFETCH(bool, goOn);
        QFETCH(int, questions);
        QFETCH(std::string, named);
        m_host->applications.snapshots.assign(snapshots.begin(), snapshots.end());
        m_host->prompter.answers.assign(answers.begin(), answers.end());
        CPatternList patterns;
        SplitPatternList(patterns, stopApp);

        QCOMPARE(WaitForWatchedApplications(*m_core, patterns, kShortInterval), goOn);
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(questions));
        for (const CAskedQuestion& question : m_host->prompter.asked) {
            QCOMPARE(question.text, WatchedQuestion(named));
            QCOMPARE(question.limitMs, 30000);
        }
        // Only the first question of a wait goes to the log.
        QCOMPARE(m_host->sink.RowsOfKind(MessageKind::kWarning).size(), std::size_t(questions > 0 ? 1 : 0));
    }

    // Nobody can be asked: the wait looks again after a pause instead of spinning, and
    // goes on by itself once the application has ended.
    void noDialogTimeWaitsBetweenChecks()
    {
        m_core->Settings().general.DlgTimer = 0;
        m_host->applications.snapshots = {{kDiskChecker}, {kDiskChecker}, {kDiskChecker}, {}};
        const auto started = std::chrono::steady_clock::now();

        QVERIFY(WaitForWatchedApplications(*m_core, {"スキャンディスク - *"}, kShortInterval));
        QCOMPARE(m_host->applications.looks, 4);
        QVERIFY(std::chrono::steady_clock::now() - started >= 3 * kShortInterval);
        QVERIFY(m_host->prompter.asked.empty());
    }

    void abortEndsTheWait()
    {
        m_host->applications.snapshots = {{kDiskChecker}, {kDiskChecker}, {kDiskChecker}, {kDiskChecker}, {}};
        m_host->pump.actionsAtPump[1] = [this] { m_core->State().abortRequested = 1; };
        QVERIFY(!WaitForWatchedApplications(*m_core, {"スキャンディスク - *"}, kShortInterval));
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(1));
    }

    void backupFolder_data()
    {
        QTest::addColumn<bool>("destinationExists");
        QTest::addColumn<int>("nbc");
        QTest::addColumn<bool>("watchedRuns");
        QTest::addColumn<std::vector<int>>("answers");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("destinationQuestion");

        QTest::newRow("missing destination, Yes")
            << false << 0 << false << std::vector<int>{kYes} << 2 << true;
        QTest::newRow("missing destination, No")
            << false << 0 << false << std::vector<int>{kNo} << -1 << true;
        QTest::newRow("missing destination, no answer")
            << false << 0 << false << std::vector<int>{} << -1 << true;
        QTest::newRow("missing destination, nbc") << false << 1 << false << std::vector<int>{} << 2 << false;
        QTest::newRow("destination exists") << true << 0 << false << std::vector<int>{} << 2 << false;
        QTest::newRow("watched application, No") << true << 0 << true << std::vector<int>{kNo} << -1 << false;
    }

    void backupFolder()
    {
        QFETCH(bool, destinationExists);
        QFETCH(int, nbc);
        QFETCH(bool, watchedRuns);
        QFETCH(std::vector<int>, answers);
        QFETCH(int, result);
        QFETCH(bool, destinationQuestion);
        const std::string source = m_tree->MakeFolder("src");
        m_tree->WriteFile("src/a.txt", "a");
        m_tree->WriteFile("src/Sub/b.txt", "b");
        const std::string destination = m_tree->Path("bak/own");
        if (destinationExists)
            m_tree->MakeFolder("bak/own");
        if (watchedRuns)
            m_host->applications.snapshots = {{kDiskChecker}};
        m_host->prompter.answers.assign(answers.begin(), answers.end());
        m_core->Settings().startup.nbc = nbc;
        CFileSetting setting;
        setting.BakTo.Assign(destination);
        CCountingProcessor processor(*m_core);
        processor.LoadRules(setting);

        QCOMPARE(BackupFolder(processor, source, true), result);
        QCOMPARE(m_tree->Exists("bak/own/Sub"), result >= 0);
        std::vector<std::string> texts;
        for (const CAskedQuestion& question : m_host->prompter.asked)
            texts.push_back(question.text);
        std::vector<std::string> expected;
        if (watchedRuns)
            expected.push_back(WatchedQuestion(kDiskChecker));
        if (destinationQuestion) {
            expected.push_back(std::string("バックアップ先が存在しません\n..") + SystemErrorSuffixOf(ENOENT)
                               + "\n" + destination + "\n\nフォルダを作成して処理継続しますか?");
        }
        QCOMPARE(texts, expected);
    }

    // A missing source, and the file system root as the general destination of a local
    // source (the source would be its own backup): an error, nothing asked, nothing walked.
    void refusedWithAnError_data()
    {
        QTest::addColumn<bool>("sourceExists");
        QTest::addColumn<std::string>("destination");
        QTest::addColumn<std::string>("message");
        QTest::addColumn<std::string>("info");
        QTest::newRow("source missing")
            << false << std::string("bak") << std::string("フォルダが見つかりません ")
            << SystemErrorSuffixOf(ENOENT);
        QTest::newRow("destination is the root")
            << true << std::string("/") << std::string(EngineText::kFolderIsSource)
            << std::string("BakCopyPath");
    }

    void refusedWithAnError()
    {
        QFETCH(bool, sourceExists);
        QFETCH(std::string, destination);
        QFETCH(std::string, message);
        QFETCH(std::string, info);
        const std::string source = m_tree->Path("src");
        if (sourceExists)
            m_tree->WriteFile("src/a.txt", "a");
        m_core->Settings().general.BakCopyPath.Assign(destination == "/" ? destination
                                                                         : m_tree->Path(destination));
        CCountingProcessor processor(*m_core);
        processor.LoadRules(CFileSetting{});

        QCOMPARE(BackupFolder(processor, source, true), -1);
        QCOMPARE(processor.CopyCount(), 0L);
        const auto errors = m_host->sink.RowsOfKind(MessageKind::kError);
        QCOMPARE(errors.size(), std::size_t(1));
        QCOMPARE(errors[0].message, std::string("エラー: ") + message);
        QCOMPARE(errors[0].source, source);
        QCOMPARE(errors[0].info, info);
        QVERIFY(m_host->prompter.asked.empty());
    }

private:
    void SetMainsOnline(const char* online)
    {
        m_tree->WriteFile("power_supply/AC/type", "Mains\n");
        m_tree->WriteFile("power_supply/AC/online", std::string(online) + "\n");
        m_tree->WriteFile("power_supply/BAT0/type", "Battery\n");
    }

    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CTempTree> m_tree;
    std::unique_ptr<CLinuxPowerStatus> m_power;
    std::unique_ptr<CApplicationCore> m_core;
};

QTEST_GUILESS_MAIN(TestPauseConditions)
#include "tst_pause_conditions.moc"
