#include <QtTest>

#include <functional>
#include <optional>
#include <string>

#include "engine/engine_texts.h"
#include "engine/file_decision.h"
#include "report/message_kinds.h"

namespace {

constexpr std::time_t kNow = 1'700'000'000; // 2023-11-14 22:13:20 UTC
constexpr std::time_t kDay = 86400;
constexpr std::int64_t kTenMegabytes = 10 * 1048576;
const std::string kSource = "/src/a.txt";
const std::string kBackup = "/dst/a.txt";

// One file's situation as the decision sees it and the action that must come of it.
struct CDecisionRow
{
    std::time_t sourceAge = 100;
    std::int64_t sourceSize = 3;
    EFileKind sourceKind = EFileKind::File;
    unsigned sourcePermissions = 0644;
    // Empty: no backup.
    std::optional<std::time_t> backupAge = 100;
    std::int64_t backupSize = 3;
    // The newer-backup list names the source.
    bool listed = false;
    std::optional<CArchiveDifference> archive{};
    std::function<void(CFileRules&)> rules{};
    CFileAction expected{};
};

CFileStatus Status(std::time_t age, std::int64_t size, EFileKind kind, unsigned permissions)
{
    CFileStatus status;
    status.kind = kind;
    status.modified.seconds = kNow - age;
    status.size = size;
    status.permissions = permissions;
    return status;
}

CFileMessage Message(int kind, const std::string& text, const std::string& source = kSource,
                     const std::string& destination = {}, const std::string& info = {})
{
    return CFileMessage{kind, text, source, destination, info};
}

CFileAction Update(const std::string& text, int generationCount = 0)
{
    return CFileAction{.what = EFileAction::Update,
                       .checksBackupTree = true,
                       .updateText = text,
                       .generationCount = generationCount};
}

CFileAction Reported(const CFileMessage& message, bool checksBackupTree)
{
    return CFileAction{.checksBackupTree = checksBackupTree, .message = message};
}

} // namespace

Q_DECLARE_METATYPE(CDecisionRow)

namespace QTest {
template <> inline char* toString(const CFileAction& action)
{
    const auto message = [](const std::optional<CFileMessage>& m) {
        return m ? QString::asprintf("{%d, %s, %s, %s, %s}", m->kind, m->text.c_str(), m->source.c_str(),
                                     m->destination.c_str(), m->info.c_str())
                 : QString("-");
    };
    const QString text =
        QString::asprintf("what %d, unkept %d/%d, tree %d, question \"%s\", update \"%s\", generations %d",
                          static_cast<int>(action.what), action.sourceStateUnkept, action.backupStateUnkept,
                          action.checksBackupTree, action.question.c_str(), action.updateText.c_str(),
                          action.generationCount)
        + ", note " + message(action.note) + ", message " + message(action.message);
    return qstrdup(text.toUtf8().constData());
}
} // namespace QTest

class TestFileDecision : public QObject
{
    Q_OBJECT

private:
    static CFileFacts Facts(const CDecisionRow& row)
    {
        CFileFacts facts;
        facts.source = kSource;
        facts.backup = kBackup;
        facts.sourceStatus = Status(row.sourceAge, row.sourceSize, row.sourceKind, row.sourcePermissions);
        if (row.backupAge)
            facts.backupStatus = Status(*row.backupAge, row.backupSize, EFileKind::File, 0644);
        facts.now = kNow;
        facts.archive = row.archive;
        return facts;
    }

    static void AddRow(const char* name, const CDecisionRow& row) { QTest::newRow(name) << row; }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void decide_data()
    {
        QTest::addColumn<CDecisionRow>("row");
        using K = int;
        constexpr K kWarning = MessageKind::kWarning;
        constexpr K kError = MessageKind::kError;
        constexpr K kDebug = MessageKind::kDebug;
        const CFileAction copyNew{.what = EFileAction::CopyNew, .checksBackupTree = true};
        const auto days = [](long from, long to) {
            return [from, to](CFileRules& r) {
                r.daysFrom = from;
                r.daysTo = to;
            };
        };
        const auto newer = [](int action) {
            return [action](CFileRules& r) {
                r.newerBackupAction = action;
                r.hasNewerBackupMoveFolder = true;
            };
        };

        AddRow("DaysFrom 3, written 2 days ago",
               {.sourceAge = 2 * kDay,
                .backupAge = std::nullopt,
                .rules = days(3, -1),
                .expected = Reported(Message(kDebug, "Ignored; <3 DaysFrom"), false)});
        AddRow("DaysFrom 0", {.backupAge = std::nullopt, .rules = days(0, -1), .expected = copyNew});
        AddRow("DaysTo 30, written 40 days ago",
               {.sourceAge = 40 * kDay,
                .backupAge = std::nullopt,
                .rules = days(-1, 30),
                .expected = Reported(Message(kDebug, "Ignored; >30 DaysTo"), false)});
        AddRow("DaysTo 0", {.backupAge = std::nullopt,
                            .rules = days(-1, 0),
                            .expected = Reported(Message(kDebug, "Ignored; >0 DaysTo"), false)});

        AddRow("new file", {.backupAge = std::nullopt, .expected = copyNew});
        const auto bigLimit = [](CFileRules& r) { r.bigFileLimitMb = 10; };
        AddRow(
            "new file of exactly the big-file limit",
            {.sourceSize = kTenMegabytes, .backupAge = std::nullopt, .rules = bigLimit, .expected = copyNew});
        CFileAction asked = copyNew;
        asked.question = "以下の大きなファイルをコピーしようとしています\n" + kSource
                         + "\n10241 KBytes\nよろしいですか?\n(処理に暫く時間を要します)";
        AddRow("new file one byte over the limit", {.sourceSize = kTenMegabytes + 1,
                                                    .backupAge = std::nullopt,
                                                    .rules = bigLimit,
                                                    .expected = asked});
        AddRow("update of a big file is not asked", {.sourceSize = kTenMegabytes + 1,
                                                     .backupAge = 200,
                                                     .rules = bigLimit,
                                                     .expected = Update("更新(TS)")});

        AddRow("equal time and size", {.expected = {}});
        AddRow("equal, contents compared",
               {.rules = [](CFileRules& r) { r.contentCompare = true; },
                .expected = {.what = EFileAction::CompareContents, .checksBackupTree = true}});
        AddRow("time 3 s apart", {.backupAge = 103, .expected = Update("更新(T)")});
        AddRow("time 2 s apart, tolerated",
               {.backupAge = 102, .expected = {.note = Message(kDebug, "Ignored; +-2sec")}});
        AddRow("time 1 s apart, backup newer, tolerated",
               {.backupAge = 99, .expected = {.note = Message(kDebug, "Ignored; +-2sec")}});
        CFileAction toleratedCompared{.what = EFileAction::CompareContents,
                                      .note = Message(kDebug, "Ignored; +-2sec"),
                                      .checksBackupTree = true};
        AddRow("time 2 s apart, tolerated, contents compared",
               {.backupAge = 102,
                .rules = [](CFileRules& r) { r.contentCompare = true; },
                .expected = toleratedCompared});
        CFileAction toleratedUpdate = Update("更新(S)");
        toleratedUpdate.note = Message(kDebug, "Ignored; +-2sec");
        AddRow("time 2 s apart, tolerated, size differs",
               {.sourceSize = 5, .backupAge = 102, .expected = toleratedUpdate});
        AddRow("time 2 s apart without Ignore2sec", {.backupAge = 102,
                                                     .rules = [](CFileRules& r) { r.ignore2sec = false; },
                                                     .expected = Update("更新(T)")});
        AddRow("time and size", {.sourceSize = 5, .backupAge = 200, .expected = Update("更新(TS)")});
        AddRow("size only, written more than a day ago",
               {.sourceAge = kDay + 1,
                .sourceSize = 6,
                .backupAge = kDay + 1,
                .expected =
                    Reported(Message(kWarning, "ファイルの大きさだけが違います", kSource, kBackup), true)});
        AddRow("size only, written within the day",
               {.sourceAge = kDay, .sourceSize = 6, .backupAge = kDay, .expected = Update("更新(S24h)")});
        AddRow("read-only source", {.sourcePermissions = 0444, .expected = Update("更新(A)")});

        const CFileAction backupNewerError =
            Reported(Message(kError, "バックアップ先のファイルのほうが最新です", kSource, kBackup,
                             "1699999800:1699999900"),
                     true);
        AddRow("backup newer", {.sourceAge = 200, .expected = backupNewerError});
        AddRow(
            "backup newer, not listed, newer-backup action set",
            {.sourceAge = 200, .rules = newer(NewerBackupAction::kOverwrite), .expected = backupNewerError});
        AddRow("backup newer, general Forced",
               {.sourceAge = 200,
                .rules = [](CFileRules& r) { r.overwriteNewerBackups = true; },
                .expected = Update("更新(T)")});
        AddRow("backup older, listed, warn", {.backupAge = 200,
                                              .listed = true,
                                              .rules = newer(NewerBackupAction::kWarn),
                                              .expected = Update("更新(T)")});
        AddRow("backup newer, listed, ignore", {.sourceAge = 200,
                                                .listed = true,
                                                .rules = newer(NewerBackupAction::kIgnore),
                                                .expected = {.checksBackupTree = true}});
        AddRow("backup newer, listed, warn",
               {.sourceAge = 200,
                .listed = true,
                .rules = newer(NewerBackupAction::kWarn),
                .expected = Reported(
                    Message(kWarning, "バックアップ先のファイルのほうが最新です", kSource, kBackup), true)});
        AddRow("backup newer, listed, overwrite", {.sourceAge = 200,
                                                   .listed = true,
                                                   .rules = newer(NewerBackupAction::kOverwrite),
                                                   .expected = Update("更新(T,Forced)")});
        AddRow("backup newer, listed, move",
               {.sourceAge = 200,
                .listed = true,
                .rules = newer(NewerBackupAction::kMove),
                .expected = {.what = EFileAction::MoveNewerBackup, .checksBackupTree = true}});
        AddRow("backup newer, listed, move without a folder",
               {.sourceAge = 200,
                .listed = true,
                .rules = [](CFileRules& r) { r.newerBackupAction = NewerBackupAction::kMove; },
                .expected = {.checksBackupTree = true}});
        AddRow("backup newer, listed, copy back",
               {.sourceAge = 200,
                .listed = true,
                .rules = newer(NewerBackupAction::kCopyBack),
                .expected = {.what = EFileAction::CopyNewerBackupBack, .checksBackupTree = true}});

        // Archive mode: times and sizes differ in every row, only the archive state counts.
        const auto archiveMode = [](CFileRules& r) { r.archiveMode = true; };
        AddRow("archive, source changed", {.backupAge = 200,
                                           .archive = CArchiveDifference{.sourceChanged = true},
                                           .rules = archiveMode,
                                           .expected = Update("更新(Arc)")});
        AddRow("archive, neither changed",
               {.backupAge = 200, .archive = CArchiveDifference{}, .rules = archiveMode, .expected = {}});
        AddRow("archive, backup changed",
               {.backupAge = 200,
                .archive = CArchiveDifference{.sourceChanged = true, .backupChanged = true},
                .rules = archiveMode,
                .expected = Reported(Message(kError, "バックアップ先ファイルが更新されています(Archive属性)",
                                             kSource, kBackup),
                                     false)});
        CFileAction sourceUnkept = Update("更新(Arc)");
        sourceUnkept.sourceStateUnkept = true;
        AddRow("archive, no record at the source",
               {.backupAge = 200,
                .archive = CArchiveDifference{.sourceChanged = true, .sourceStateKept = false},
                .rules = archiveMode,
                .expected = sourceUnkept});
        CFileAction backupUnkept = Update("更新(Arc)");
        backupUnkept.backupStateUnkept = true;
        AddRow(
            "archive, no record at the backup: it counts as untouched",
            {.backupAge = 200,
             .archive =
                 CArchiveDifference{.sourceChanged = true, .backupStateKept = false, .backupChanged = true},
             .rules = archiveMode,
             .expected = backupUnkept});
        AddRow("archive, a link is compared by time", {.sourceKind = EFileKind::SymbolicLink, .sourcePermissions = 0777,
                                                       .backupAge = 200,
                                                       .rules = archiveMode,
                                                       .expected = Update("更新(T)")});

        // Quick saves spare the generations (general Forced in every row).
        const auto generations = [](int count, bool sameDate, int nearTime, bool numbered = true) {
            return [=](CFileRules& r) {
                r.overwriteNewerBackups = true;
                r.generationCount = count;
                r.sameDate = sameDate;
                r.nearTimeSeconds = nearTime;
                r.numberedGenerations = numbered;
            };
        };
        AddRow("same date, Gen 5", {.backupAge = 1100,
                                    .rules = generations(5, true, 0),
                                    .expected = Update("同一日付の更新(T)", 1)});
        AddRow("same date, Gen 1", {.backupAge = 1100,
                                    .rules = generations(1, true, 0),
                                    .expected = Update("同一日付の更新(T)", 0)});
        AddRow("previous day, same-date flag",
               {.backupAge = 100 + kDay, .rules = generations(5, true, 0), .expected = Update("更新(T)", 5)});
        AddRow("near time", {.backupAge = 103,
                             .rules = generations(5, false, 5),
                             .expected = Update("差異が5秒以下の更新(T)", 1)});
        AddRow("exactly the near time",
               {.backupAge = 105, .rules = generations(5, false, 5), .expected = Update("更新(T)", 5)});
        AddRow("backup newer, overwritten: no near time", {.sourceAge = 100,
                                                           .backupAge = 50,
                                                           .rules = generations(5, false, 5),
                                                           .expected = Update("更新(T)", 5)});
        AddRow(
            "near time never lowers dated generations",
            {.backupAge = 103, .rules = generations(5, false, 5, false), .expected = Update("更新(T)", 5)});
        AddRow(
            "same date wins over near time",
            {.backupAge = 103, .rules = generations(5, true, 5), .expected = Update("同一日付の更新(T)", 1)});
    }

    void decide()
    {
        QFETCH(CDecisionRow, row);
        CFileRules rules;
        if (row.rules)
            row.rules(rules);
        const CPatternList listed{"*.txt"};
        const CPatternList other{"*.doc"};
        rules.newerBackupList = row.listed ? &listed : &other;
        QCOMPARE(DecideFile(rules, Facts(row)), row.expected);
    }

    void needsArchiveState_data()
    {
        QTest::addColumn<CDecisionRow>("row");
        QTest::addColumn<bool>("archiveMode");
        QTest::addColumn<bool>("needed");

        QTest::newRow("archive mode, backup exists") << CDecisionRow{} << true << true;
        QTest::newRow("not in archive mode") << CDecisionRow{} << false << false;
        QTest::newRow("no backup") << CDecisionRow{.backupAge = std::nullopt} << true << false;
        QTest::newRow("a link") << CDecisionRow{.sourceKind = EFileKind::SymbolicLink, .sourcePermissions = 0777} << true << false;
        QTest::newRow("outside the age window")
            << CDecisionRow{.rules = [](CFileRules& r) { r.daysFrom = 1; }} << true << false;
    }

    // Reading the archive state touches the backup: it is read only when it decides.
    void needsArchiveState()
    {
        QFETCH(CDecisionRow, row);
        QFETCH(bool, archiveMode);
        QFETCH(bool, needed);
        CFileRules rules;
        rules.archiveMode = archiveMode;
        if (row.rules)
            row.rules(rules);
        QCOMPARE(NeedsArchiveState(rules, Facts(row)), needed);
    }
};

QTEST_GUILESS_MAIN(TestFileDecision)
#include "tst_file_decision.moc"
