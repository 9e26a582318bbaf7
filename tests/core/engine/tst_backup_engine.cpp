#include <QtTest>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <map>
#include <memory>
#include <signal.h>
#include <string>
#include <thread>
#include <vector>

#include "engine/backup_engine.h"
#include "engine/compress_folder.h"
#include "engine/engine_texts.h"
#include "engine/front_end_hooks.h"
#include "helpers/fake_front_end.h"
#include "engine/setting_ranges.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/last_error.h"
#include "platform/platform_texts.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "report/report_texts.h"
#include "settings/application_core.h"

using Moments = std::vector<int>;
Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(Moments)
Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

using namespace std::chrono_literals;

// A row's message without the prefix that warnings and errors get in the lists.
std::string PlainMessage(const CMessageRow& row)
{
    const std::string prefix = row.kind == MessageKind::kError     ? ReportText::kErrorPrefix
                               : row.kind == MessageKind::kWarning ? ReportText::kWarningPrefix
                                                                   : "";
    return row.message.rfind(prefix, 0) == 0 ? row.message.substr(prefix.size()) : row.message;
}

struct CTimedRow
{
    int ms;
    CMessageRow row;
};

// Report rows with the moment of the fake timers at which they were output.
class CTimedSink final : public IMessageSink
{
public:
    CTimedSink(CRecordingSink& inner, const CFakeTimers& timers) : m_inner(inner), m_timers(timers) {}
    void SetStatusText(const std::string& text) override { m_inner.SetStatusText(text); }
    void AddReportRow(const CMessageRow& row) override
    {
        rows.push_back({static_cast<int>(m_timers.Elapsed().count()), row});
        m_inner.AddReportRow(row);
    }
    void AddErrorRow(const CMessageRow& row) override { m_inner.AddErrorRow(row); }
    bool PlaySoundFile(const std::string& path) override { return m_inner.PlaySoundFile(path); }
    void Beep(EBeep beep) override { m_inner.Beep(beep); }

    Moments MomentsOf(const std::string& message) const
    {
        Moments moments;
        for (const auto& timed : rows)
            if (PlainMessage(timed.row) == message)
                moments.push_back(timed.ms);
        return moments;
    }
    std::vector<CMessageRow> RowsOf(const std::string& message) const
    {
        std::vector<CMessageRow> found;
        for (const auto& timed : rows)
            if (PlainMessage(timed.row) == message)
                found.push_back(timed.row);
        return found;
    }
    // Messages of one kind, in order.
    std::vector<std::string> MessagesOfKind(int kind) const
    {
        std::vector<std::string> messages;
        for (const auto& timed : rows)
            if (timed.row.kind == kind)
                messages.push_back(timed.row.message);
        return messages;
    }

    std::vector<CTimedRow> rows;

private:
    CRecordingSink& m_inner;
    const CFakeTimers& m_timers;
};

// One engine on fake services, with its folders in a real temporary tree.
struct CRig
{
    explicit CRig(std::vector<std::string> arguments = {})
    {
        CHostServices services = host.Services();
        services.sink = &sink;
        core = std::make_unique<CApplicationCore>(services, CCommandLine(std::move(arguments)));
        core->Settings().general.BakCopyPath.Assign(tree.MakeFolder("bak"));
        core->Settings().general.SoundFile = "done.wav";
        engine = std::make_unique<CBackupEngine>(*core, notifiers, hooks);
    }

    // A file setting whose source holds one file "a.txt".
    CFileSetting& AddSetting(const std::string& name)
    {
        CSettingsModel& model = core->Settings();
        CFileSetting& setting = model.files[static_cast<std::size_t>(model.Files++)];
        tree.WriteFile(name + "/a.txt", "contents of " + name);
        setting.No.Assign(tree.Path(name));
        return setting;
    }
    // Where a setting's "a.txt" is backed up (below the general destination by its path).
    std::string BackupOf(const std::string& name) const
    {
        return tree.Path("bak") + tree.Path(name) + "/a.txt";
    }

    void Advance(std::chrono::milliseconds step) { host.timers.Advance(step); }
    CFileSetting& Setting(int index) { return core->Settings().files[static_cast<std::size_t>(index)]; }
    CAppState& State() { return core->State(); }

    CFakeHost host;
    CTempTree tree;
    CTimedSink sink{host.sink, host.timers};
    CFakeNotifierFactory notifiers{host.timers};
    CRecordingHooks hooks;
    std::unique_ptr<CApplicationCore> core;
    std::unique_ptr<CBackupEngine> engine;
};

std::string Suffix(int error)
{
    return SystemErrorSuffixOf(error);
}

// Waits for a file that a detached program writes.
bool WaitForFile(const std::string& path, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!PathExists(path)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

} // namespace

class TestBackupEngine : public QObject
{
    Q_OBJECT

private slots:
    // Polls come every FileChkInterval + 0.5 s; 0 polls on every status tick.
    void pollMoments_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("advanceMs");
        QTest::addColumn<Moments>("expected");
        QTest::newRow("3 s") << 3 << 11000 << Moments{3500, 7000, 10500};
        QTest::newRow("0 s") << 0 << 2000 << Moments{500, 1000, 1500, 2000};
    }

    void pollMoments()
    {
        QFETCH(int, interval);
        QFETCH(int, advanceMs);
        QFETCH(Moments, expected);
        CRig rig;
        rig.core->Settings().general.FileChkInterval = interval;
        rig.AddSetting("src");
        rig.engine->StartMonitoring();
        rig.Advance(std::chrono::milliseconds(advanceMs));
        QCOMPARE(rig.notifiers.lookMoments, expected);
    }

    // A change every 2 s keeps pushing the pass back; it runs BakDelayTime after the last
    // poll that saw a change, once, and later delay firings with nothing marked are silent.
    void changesPushThePassBack()
    {
        CRig rig;
        rig.core->Settings().general.FileChkInterval = 1; // polls at 1.5, 3.0, 4.5, 6.0, 7.5 s
        rig.core->Settings().general.BakDelayTime = 5;
        rig.AddSetting("src");
        rig.engine->StartMonitoring();
        for (int ms = 0; ms < 25000; ms += 500) {
            if (ms <= 6000 && ms % 2000 == 0)
                rig.notifiers.Signal(rig.tree.Path("src"));
            rig.Advance(500ms);
        }
        // The change at 6.0 s comes after that moment's poll and is seen at 7.5 s.
        QCOMPARE(rig.sink.MomentsOf(EngineText::kChangeDetected), (Moments{1500, 3000, 4500, 7500}));
        QCOMPARE(rig.sink.MomentsOf(EngineText::kBackupStart), Moments{12500});
        QCOMPARE(rig.sink.MomentsOf(EngineText::kDone), Moments{12500});
        QCOMPARE(ReadFileBytes(rig.BackupOf("src")), std::string("contents of src"));
        QCOMPARE(rig.Setting(0).changeMark, ChangeMark::kNone);
    }

    // Changes at every poll postpone the pass by at most ten delays (at least a minute):
    // then the delay timer is left to fire, and debug output says so.
    void endlessChangesPostponeThePassOnlySoLong()
    {
        CRig rig;
        rig.core->Settings().general.FileChkInterval = 1; // polls every 1.5 s
        rig.core->Settings().general.BakDelayTime = 5;
        rig.core->Settings().general.DispDebugInfo = 1;
        rig.AddSetting("src");
        rig.engine->StartMonitoring();
        for (int ms = 0; ms < 120000; ms += 500) {
            rig.notifiers.Signal(rig.tree.Path("src"));
            rig.Advance(500ms);
        }
        // First change seen at 1.5 s; the last restart at 60.0 s, so it fires at 65.0 s.
        QCOMPARE(rig.sink.MomentsOf(EngineText::kBackupStart), Moments{65000});
        QCOMPARE(rig.sink.MomentsOf(FormatText(EngineText::kPostponedLongEnoughFormat, 60)), Moments{61500});
        QCOMPARE(ReadFileBytes(rig.BackupOf("src")), std::string("contents of src"));
    }

    // What the notifier of a setting leaves unreported: the program's own files, and
    // folders the walk never enters; everything else in the source is a change.
    void ownFilesAndUnwalkedFoldersAreNoChange_data()
    {
        QTest::addColumn<QString>("path"); // below the source
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<bool>("subfolders"); // Sub
        QTest::addColumn<bool>("ignored");
        QTest::newRow("log file") << "tovix.log" << false << true << true;
        QTest::newRow("rotated log file") << "tovix.log.OLD" << false << true << true;
        QTest::newRow("settings file") << "own.TVX" << false << true << true;
        QTest::newRow("settings being rewritten") << ".own.TVX.a1B2c3" << false << true << true;
        QTest::newRow("template copy") << ".tovix-settings-Qw3rTy" << false << true << true;
        QTest::newRow("dot folder") << ".config" << true << true << true;
        QTest::newRow("excluded folder") << "sub/cache" << true << true << true;
        QTest::newRow("folder of a setting without subfolders") << "sub" << true << false << true;
        QTest::newRow("ordinary file") << "a.txt" << false << true << false;
        QTest::newRow("hidden file") << ".profile" << false << true << false;
        QTest::newRow("other settings file") << "other.TVX" << false << true << false;
        QTest::newRow("ordinary folder") << "sub" << true << true << false;
    }

    void ownFilesAndUnwalkedFoldersAreNoChange()
    {
        QFETCH(QString, path);
        QFETCH(bool, isFolder);
        QFETCH(bool, subfolders);
        QFETCH(bool, ignored);
        CRig rig;
        CFileSetting& setting = rig.AddSetting("src");
        setting.Sub = subfolders ? 1 : 0;
        setting.DirExc = "tmp;cach?";
        const std::string settingsFile = rig.tree.WriteFile("src/own.TVX", "[Backup]\r\nFiles=1\r\n");
        rig.core->Profile().SetPath(settingsFile);
        rig.core->Settings().general.LogFile.Assign(rig.tree.Path("src/tovix.log"));
        rig.engine->StartMonitoring();
        QCOMPARE(rig.notifiers.ignoreFilters.size(), std::size_t(1));
        const auto& ignore = rig.notifiers.ignoreFilters[0];
        QVERIFY(ignore);
        QCOMPARE(ignore(rig.tree.Path("src/" + path.toStdString()), isFolder), ignored);
    }

    // A value outside its range is reported once at the start, with what is used in its
    // place; a compression mode that names no archiver keeps the setting from running.
    void outOfRangeValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("info");
        QTest::addColumn<bool>("backedUp");
        const int warning = MessageKind::kWarning;
        const int error = MessageKind::kError;
        QTest::newRow("old-file action") << "OldDel0" << 99 << 5 << warning << "1 を使います" << true;
        QTest::newRow("newer-backup action") << "Forced0" << -1 << 4 << warning << "1 を使います" << true;
        QTest::newRow("negative generations") << "Gen0" << -3 << INT_MAX << warning << "0 を使います" << true;
        QTest::newRow("too few list lines") << "LogLines" << 5 << 9999 << warning << "10 を使います" << true;
        QTest::newRow("generation style") << "GenStyle" << 7 << 3 << warning << "1 を使います" << true;
        QTest::newRow("unknown archiver") << "CompMode0" << 99 << 3 << error
                                          << QString::fromUtf8(EngineText::kNotBackedUp) << false;
        QTest::newRow("negative count") << "Files" << -5 << 100 << error << "0 を使います" << false;
    }

    void outOfRangeValues()
    {
        QFETCH(QString, key);
        QFETCH(int, value);
        QFETCH(int, high);
        QFETCH(int, kind);
        QFETCH(QString, info);
        QFETCH(bool, backedUp);
        CRig rig;
        CFileSetting& setting = rig.AddSetting("src");
        CSettingsModel& model = rig.core->Settings();
        std::map<QString, int*> fields{{"OldDel0", &setting.OldDel}, {"Forced0", &setting.Forced},
                                       {"Gen0", &setting.Gen},       {"CompMode0", &setting.CompMode},
                                       {"Files", &model.Files},      {"LogLines", &model.general.LogLines},
                                       {"GenStyle", &model.general.GenStyle}};
        *fields.at(key) = value;
        if (key == "CompMode0")
            setting.CompFile.Assign(rig.tree.Path("bak/src.zip"));
        rig.engine->StartMonitoring();
        const int low = key == "LogLines" ? 10 : 0;
        const auto rows = rig.sink.RowsOf(
            FormatText(EngineText::kOutOfRangeFormat, key.toUtf8().constData(), value, low, high));
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(rows[0].kind, kind);
        QCOMPARE(QString::fromStdString(rows[0].info), info);
        rig.engine->StopMonitoring();
        rig.engine->StartMonitoring(); // the value used stays: no second report
        QCOMPARE(rig.sink.RowsOf(FormatText(EngineText::kOutOfRangeFormat, key.toUtf8().constData(), value, low,
                                            high))
                     .size(),
                 key == "CompMode0" ? std::size_t(2) : std::size_t(1));

        setting.changeMark = ChangeMark::kRequested;
        rig.engine->RunBackupPass();
        QCOMPARE(PathExists(rig.BackupOf("src")), backedUp);
        QVERIFY(!PathExists(rig.tree.Path("bak/src.zip")));
        for (const CMessageRow& row : rig.host.sink.errorRows)
            QVERIFY2(!row.message.empty(), row.source.c_str());
    }

    // The period timer marks its setting whatever NoDetect says, and a change in a
    // setting that is only periodic is never looked for.
    void periodTimerIndependentOfNoDetect()
    {
        CRig rig;
        CFileSetting& periodic = rig.AddSetting("periodic");
        periodic.DoInterval = 600;
        periodic.NoDetect = 1;
        rig.AddSetting("watched");
        rig.engine->StartMonitoring();
        QCOMPARE(rig.notifiers.watchedFolders, std::vector<std::string>{rig.tree.Path("watched")});
        QCOMPARE(rig.host.timers.IntervalOf(TimerId::kPeriodBase + 0), 600000);
        QVERIFY(!rig.host.timers.IsRunning(TimerId::kPeriodBase + 1));

        rig.Advance(1200s);
        const std::string periodicStart = std::string(EngineText::kPeriodicPrefix) + EngineText::kBackupStart;
        QCOMPARE(rig.sink.MomentsOf(periodicStart), (Moments{600000, 1200000}));
        for (const CMessageRow& row : rig.sink.RowsOf(periodicStart)) {
            QCOMPARE(row.source, rig.tree.Path("periodic"));
            QCOMPARE(row.info, FormatText(EngineText::kEveryMinutesFormat, 10));
        }
        QVERIFY(rig.sink.RowsOf(EngineText::kBackupStart).empty());
        QVERIFY(PathExists(rig.BackupOf("periodic")));
        QVERIFY(!PathExists(rig.BackupOf("watched")));

        // Disabled, the period marks nothing (held as well, so that no pass clears a mark).
        rig.State().disabled = 1;
        rig.State().processingEnabled = 0;
        rig.Advance(600s);
        QCOMPARE(rig.sink.MomentsOf(periodicStart).size(), std::size_t(2));
        QCOMPARE(rig.Setting(0).changeMark, ChangeMark::kNone);
    }

    // A change seen while on hold stays marked and is backed up at the first delay
    // firing after the hold; one seen before the program is disabled is dropped by the
    // next pass and never backed up.
    void holdKeepsAndDisableDropsMarks_data()
    {
        QTest::addColumn<bool>("hold");
        QTest::addColumn<Moments>("passMoments");
        QTest::addColumn<bool>("backedUp");
        QTest::newRow("hold") << true << Moments{10500} << true;
        QTest::newRow("disable") << false << Moments{} << false;
    }

    void holdKeepsAndDisableDropsMarks()
    {
        QFETCH(bool, hold);
        QFETCH(Moments, passMoments);
        QFETCH(bool, backedUp);
        CRig rig;
        rig.core->Settings().general.FileChkInterval = 0;
        rig.core->Settings().general.BakDelayTime = 5;
        rig.AddSetting("src");
        rig.engine->StartMonitoring();
        rig.notifiers.Signal(rig.tree.Path("src"));
        rig.Advance(500ms); // seen: the delay fires at 5.5 s, 10.5 s, ...
        QCOMPARE(rig.Setting(0).changeMark, ChangeMark::kChangeSeen);
        if (hold)
            rig.State().processingEnabled = 0;
        else
            rig.State().disabled = 1;

        rig.Advance(6000ms); // 6.5 s: past the first delay firing
        QCOMPARE(rig.Setting(0).changeMark, hold ? ChangeMark::kChangeSeen : ChangeMark::kNone);
        rig.State().processingEnabled = 1;
        rig.State().disabled = 0;
        rig.Advance(10000ms);
        QCOMPARE(rig.sink.MomentsOf(EngineText::kBackupStart), passMoments);
        QCOMPARE(PathExists(rig.BackupOf("src")), backedUp);
    }

    // sa with q: one pass over every setting that is not a sample at the first tick that
    // goes beyond blinking, then the program ends.
    void backUpAllThenQuit()
    {
        CRig rig({"-q"});
        rig.core->Settings().startup.sa = 2;
        rig.AddSetting("one");
        CFileSetting& sample = rig.AddSetting("sample");
        sample.No.Assign("#" + rig.tree.Path("sample"));
        CFileSetting& noDetect = rig.AddSetting("two");
        noDetect.NoDetect = 1;
        rig.engine->StartMonitoring();

        rig.Advance(3000ms);
        QVERIFY(rig.sink.RowsOf(EngineText::kBackUpChosenFolders).empty());
        rig.Advance(500ms);
        QCOMPARE(rig.sink.MomentsOf(EngineText::kBackUpChosenFolders), Moments{3500});
        const auto starts = rig.sink.RowsOf(EngineText::kBackupStart);
        QCOMPARE(starts.size(), std::size_t(2));
        QCOMPARE(starts[0].source, rig.tree.Path("one"));
        QCOMPARE(starts[1].source, rig.tree.Path("two"));
        QVERIFY(PathExists(rig.BackupOf("one")));
        QVERIFY(PathExists(rig.BackupOf("two")));
        QVERIFY(!PathExists(rig.BackupOf("sample")));
        QCOMPARE(rig.sink.rows.back().row.message, std::string(EngineText::kEnding));
        QCOMPARE(rig.sink.rows.back().ms, 3500);
        QCOMPARE(rig.hooks.quitCodes, std::vector<int>{0});
        QVERIFY(!rig.host.timers.IsRunning(TimerId::kStatus));
        QCOMPARE(rig.State().processingCounter, 0);
    }

    // The start-up line of one file setting, at index 1 behind a setting without a source.
    void startupLine_data()
    {
        QTest::addColumn<std::string>("source"); // "" → an existing folder, "missing", or a path
        QTest::addColumn<bool>("ownDestination");
        QTest::addColumn<int>("ignore");
        QTest::addColumn<int>("doInterval");
        QTest::addColumn<int>("noDetect");
        QTest::addColumn<int>("xn");
        QTest::addColumn<int>("refuseWatch");
        QTest::addColumn<int>("kind");
        QTest::addColumn<std::string>("details");
        QTest::addColumn<bool>("watched");
        QTest::addColumn<int>("periodMs"); // -1: no period timer

        const int info = MessageKind::kInfo;
        QTest::newRow("watched with patterns")
            << std::string() << false << 0 << 0 << 0 << 0 << 0 << info
            << std::string("#1, 包含=*.txt , 除外=*.tmp , 除外フォルダ=cache ") << true << -1;
        QTest::newRow("own destination, period") << std::string() << true << 0 << 3600 << 0 << 0 << 0 << info
                                                 << std::string("#1, 60分周期") << true << 3600000;
        QTest::newRow("not backed up: no watch, no period")
            << std::string() << false << 1 << 600 << 0 << 0 << 0 << info
            << std::string("#1, バックアップしない") << false << -1;
        QTest::newRow("no real-time detection")
            << std::string() << false << 0 << 0 << 1 << 0 << 0 << info
            << std::string("#1, リアルタイムなファイル検出しない") << false << -1;
        QTest::newRow("network source with xn")
            << std::string("//server/share/data") << false << 0 << 600 << 0 << 1 << 0 << info
            << std::string("#1, /xn, バックアップしない") << false << -1;
        QTest::newRow("deleted source")
            << std::string("missing") << false << 0 << 0 << 0 << 0 << 0 << int(MessageKind::kError)
            << "#1, フォルダが見つかりません " + Suffix(ENOENT) << false << -1;
        QTest::newRow("no notification possible")
            << std::string() << false << 0 << 0 << 0 << 0 << ENOSPC << int(MessageKind::kWarning)
            << "#1, リアルタイム検出不可能です" + Suffix(ENOSPC) << false << -1;
        // Longer than the timers can count in milliseconds: the longest interval, no wrap.
        QTest::newRow("period beyond the timer range")
            << std::string() << false << 0 << 3000000 << 1 << 0 << 0 << info
            << std::string("#1, 50000分周期, リアルタイムなファイル検出しない") << false << INT_MAX;
        QTest::newRow("sample: no line") << std::string("#sample") << false << 0 << 600 << 0 << 0 << 0 << -1
                                         << std::string() << false << -1;
    }

    void startupLine()
    {
        QFETCH(std::string, source);
        QFETCH(bool, ownDestination);
        QFETCH(int, ignore);
        QFETCH(int, doInterval);
        QFETCH(int, noDetect);
        QFETCH(int, xn);
        QFETCH(int, refuseWatch);
        QFETCH(int, kind);
        QFETCH(std::string, details);
        QFETCH(bool, watched);
        QFETCH(int, periodMs);
        CRig rig;
        rig.core->Settings().Files = 1; // setting 0 has no source: no line
        CFileSetting& setting = rig.AddSetting("src");
        if (source == "missing")
            setting.No.Assign(rig.tree.Path("missing"));
        else if (!source.empty())
            setting.No.Assign(source);
        setting.Ignore = ignore;
        setting.DoInterval = doInterval;
        setting.NoDetect = noDetect;
        setting.Inc = "*.txt";
        setting.Exc = "*.tmp";
        setting.DirExc = "cache";
        if (doInterval != 0)
            setting.Inc = setting.Exc = setting.DirExc = "";
        if (ownDestination)
            setting.BakTo.Assign(rig.tree.Path("own"));
        rig.core->Settings().startup.xn = xn;
        rig.notifiers.refuseWithError = refuseWatch;
        SetLastSystemError(EIO); // nothing stale may reach a line

        rig.engine->StartMonitoring();
        const auto lines = rig.sink.RowsOf(EngineText::kSetting);
        if (kind < 0) {
            QVERIFY(lines.empty());
        } else {
            QCOMPARE(lines.size(), std::size_t(1));
            QCOMPARE(lines[0].kind, kind);
            QCOMPARE(lines[0].info, details);
            QCOMPARE(lines[0].source, setting.No.expanded);
            QCOMPARE(lines[0].destination, ownDestination
                                               ? rig.tree.Path("own")
                                               : rig.core->Settings().general.BakCopyPath.expanded);
        }
        QCOMPARE(rig.engine->Notifier(1) != nullptr, watched);
        QCOMPARE(rig.host.timers.IntervalOf(TimerId::kPeriodBase + 1), periodMs);
        QCOMPARE(rig.Setting(1).Ignore, ignore); // xn leaves the model alone
        const auto destination = rig.sink.RowsOf(EngineText::kDestination);
        QCOMPARE(destination.size(), std::size_t(1));
        QCOMPARE(destination[0].destination, rig.tree.Path("bak"));
        QCOMPARE(rig.sink.RowsOf(EngineText::kStateReady).size(), std::size_t(1));
        QCOMPARE(rig.State().disabled, 0);
        QCOMPARE(rig.State().processingEnabled, 1);
        QCOMPARE(rig.State().monitoringActive, 1);
    }

    // A notifier that fell back to polling says so once, as a warning with its reason.
    void degradedNotifierReportedOnce()
    {
        CRig rig;
        rig.core->Settings().general.FileChkInterval = 0;
        rig.AddSetting("src");
        rig.engine->StartMonitoring();
        rig.notifiers.notices[rig.tree.Path("src")] = PlatformText::kQueueOverflow;
        rig.Advance(1500ms);
        const auto rows = rig.sink.RowsOf(EngineText::kDetectionImpossible);
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(rows[0].kind, int(MessageKind::kWarning));
        QCOMPARE(rows[0].source, rig.tree.Path("src"));
        QCOMPARE(rows[0].info, std::string(PlatformText::kQueueOverflow));
    }

    // Without a destination the program stays disabled, opens the manual, explains, runs
    // no pass (the marks stay) and is not ended by q, which waits for the ready state.
    void noDestination()
    {
        CRig rig({"-q"});
        rig.core->Settings().general.BakCopyPath.Assign("");
        CFileSetting& setting = rig.AddSetting("src");
        setting.BakTo.Assign(rig.tree.Path("own"));
        rig.engine->StartMonitoring();
        QCOMPARE(rig.State().disabled, 1);
        QCOMPARE(rig.State().processingEnabled, 0);
        QCOMPARE(rig.State().monitoringActive, 0);
        QCOMPARE(rig.hooks.manualsOpened, 1);
        QCOMPARE(rig.hooks.notices, std::vector<std::string>{EngineText::kNoDestination});
        const auto warnings = rig.sink.RowsOf(EngineText::kNoDestination);
        QCOMPARE(warnings.size(), std::size_t(1));
        QCOMPARE(warnings[0].kind, int(MessageKind::kWarning));
        QCOMPARE(rig.sink.RowsOf(EngineText::kStateDisabled).size(), std::size_t(1));
        rig.Advance(4000ms);
        QVERIFY(rig.hooks.quitCodes.empty());

        rig.State().processingEnabled = 1;
        rig.State().disabled = 0;
        setting.changeMark = ChangeMark::kRequested;
        QCOMPARE(rig.engine->RunBackupPass(), 0);
        QCOMPARE(setting.changeMark, ChangeMark::kRequested);
        QVERIFY(rig.sink.RowsOf(EngineText::kBackupStart).empty());
    }

    // The end of an abort: at the first timer event that is not a mere blink with no pass
    // running, the request is cleared and the application told, while still disabled.
    void abortEnds()
    {
        CRig rig;
        rig.AddSetting("src");
        Moments endMoments;
        rig.engine->SetAbortEndHandler(
            [&] { endMoments.push_back(static_cast<int>(rig.host.timers.Elapsed().count())); });
        rig.engine->StartMonitoring(); // FileChkInterval 3: the first poll tick at 3.5 s
        rig.State().abortRequested = 1;
        rig.State().disabled = 1;
        rig.State().processingCounter = 1;
        rig.Advance(3500ms);
        QCOMPARE(rig.State().abortRequested, 1); // a pass is still running

        rig.State().processingCounter = 0;
        rig.Advance(3000ms); // blink ticks only
        QCOMPARE(rig.State().abortRequested, 1);
        rig.Advance(500ms);
        QCOMPARE(rig.State().abortRequested, 0);
        QCOMPARE(endMoments, Moments{7000});

        // Enabled again by hand before the pass ended: nothing to return from.
        rig.State().abortRequested = 1;
        rig.State().disabled = 0;
        rig.Advance(3500ms);
        QCOMPARE(rig.State().abortRequested, 0);
        QCOMPARE(endMoments, Moments{7000});
    }

    // Marked settings in table order: a plain one, an unmarked one, one not backed up
    // and a periodic one; every mark is cleared and only the marked, not ignored sources
    // reach the destination.
    void passOverMarkedSettings()
    {
        CRig rig;
        rig.AddSetting("changed");
        rig.AddSetting("unmarked");
        rig.AddSetting("ignored").Ignore = 1;
        rig.AddSetting("periodic").DoInterval = 600;
        rig.engine->StartMonitoring();
        rig.Setting(0).changeMark = ChangeMark::kChangeSeen;
        rig.Setting(2).changeMark = ChangeMark::kRequested;
        rig.Setting(3).changeMark = ChangeMark::kPeriodDue;
        rig.sink.rows.clear();

        QCOMPARE(rig.engine->RunBackupPass(), 1);
        const std::string bak = rig.tree.Path("bak");
        QCOMPARE(
            rig.sink.MessagesOfKind(MessageKind::kInfo),
            (std::vector<std::string>{EngineText::kBackupStart, EngineText::kNotBackedUp,
                                      std::string(EngineText::kPeriodicPrefix) + EngineText::kBackupStart,
                                      EngineText::kDone}));
        const auto notBackedUp = rig.sink.RowsOf(EngineText::kNotBackedUp);
        QCOMPARE(notBackedUp[0].source, rig.tree.Path("ignored"));
        QCOMPARE(notBackedUp[0].destination, bak);
        QCOMPARE(rig.sink.RowsOf(std::string(EngineText::kPeriodicPrefix) + EngineText::kBackupStart)[0].info,
                 FormatText(EngineText::kEveryMinutesFormat, 10));
        QCOMPARE(rig.sink.RowsOf(FormatText(EngineText::kFilesProcessedFormat, 1)).size(), std::size_t(2));
        QVERIFY(PathExists(rig.BackupOf("changed")));
        QVERIFY(!PathExists(rig.BackupOf("unmarked")));
        QVERIFY(!PathExists(rig.tree.Path("bak") + rig.tree.Path("ignored")));
        QVERIFY(PathExists(rig.BackupOf("periodic")));
        for (int index = 0; index < 4; ++index)
            QCOMPARE(rig.Setting(index).changeMark, ChangeMark::kNone);
        QCOMPARE(rig.host.sink.playedSounds, std::vector<std::string>{"done.wav"});
        QCOMPARE(rig.State().processingCounter, 0);
        QCOMPARE(rig.State().processingEnabled, 1);
        QCOMPARE(rig.State().monitoringActive, 1);
    }

    // A timer that comes while a pass pumps, after the power changed, meets the battery
    // check but never starts a pass inside the pass; the answer given then is what the
    // pass leaves behind.
    void noPassInsideAPass_data()
    {
        QTest::addColumn<bool>("onBatteryAtStart");
        QTest::addColumn<int>("answer"); // to the one battery question
        QTest::addColumn<int>("enabledAfter");
        QTest::newRow("AC line returns during the pass") << true << int(MessageBoxAnswer::kNo) << 1;
        QTest::newRow("hold chosen during the pass") << false << int(MessageBoxAnswer::kYes) << 0;
    }

    void noPassInsideAPass()
    {
        QFETCH(bool, onBatteryAtStart);
        QFETCH(int, answer);
        QFETCH(int, enabledAfter);
        CRig rig;
        rig.AddSetting("one");
        rig.tree.WriteFile("one/b.txt", "b");
        rig.AddSetting("two");
        rig.engine->StartMonitoring();
        rig.Setting(0).changeMark = ChangeMark::kChangeSeen;
        rig.Setting(1).changeMark = ChangeMark::kChangeSeen;
        rig.host.power.line = onBatteryAtStart ? EPowerLine::Offline : EPowerLine::Online;
        rig.host.prompter.answers = {answer};
        rig.sink.rows.clear();
        int nestedResult = -1;
        rig.host.pump.pumpCount = 0;
        rig.host.pump.actionsAtPump[8] = [&rig, &nestedResult, onBatteryAtStart] {
            rig.host.power.line = onBatteryAtStart ? EPowerLine::Online : EPowerLine::Offline;
            nestedResult = rig.engine->RunBackupPass(); // the delay timer, say
        };

        QCOMPARE(rig.engine->RunBackupPass(), 1);
        QCOMPARE(nestedResult, 0);
        QCOMPARE(rig.host.prompter.asked.size(), std::size_t(1));
        QCOMPARE(rig.sink.MomentsOf(EngineText::kBackupStart).size(), std::size_t(2));
        QCOMPARE(rig.sink.MomentsOf(EngineText::kDone).size(), std::size_t(1));
        QVERIFY(PathExists(rig.BackupOf("one")));
        QVERIFY(PathExists(rig.BackupOf("two")));
        QVERIFY(!PathExists(rig.tree.Path("bak") + rig.tree.Path("one") + rig.tree.Path("two")));
        QCOMPARE(rig.State().processingCounter, 0);
        QCOMPARE(rig.State().processingEnabled, enabledAfter);
    }

    // The back-up-all timer that comes while a chosen-folder run paces itself waits for
    // that run to end: the run keeps its test mode (nothing written) or its generation
    // deletion, and the back-up-all pass follows it.
    void backUpAllWaitsForTheRunningPass_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("testMode");
        QTest::newRow("test run") << ProcessorMode::kBackup << 1;
        QTest::newRow("generation deletion") << ProcessorMode::kDeleteGenerations << 0;
    }
    void backUpAllWaitsForTheRunningPass()
    {
        QFETCH(int, mode);
        QFETCH(int, testMode);
        CRig rig;
        rig.AddSetting("one");
        for (int i = 0; i < 20; ++i)
            rig.tree.WriteFile("one/f" + std::to_string(i) + ".txt", "x");
        rig.core->Settings().startup.sa = 1;
        rig.engine->StartMonitoring();
        rig.Setting(0).changeMark = ChangeMark::kRequested;
        rig.host.pump.pumpCount = 0;
        rig.host.pump.actionsAtPump[4] = [&rig] { rig.engine->OnTimer(TimerId::kBackUpAll); };

        CManualChoices choices;
        choices.testMode = testMode;
        rig.engine->RunManual(mode, choices);
        QVERIFY(rig.sink.MessagesOfKind(MessageKind::kFile).empty());
        QVERIFY(!PathExists(rig.BackupOf("one")));
        QCOMPARE(rig.engine->Processor().run.mode, int(ProcessorMode::kBackup));
        QCOMPARE(rig.engine->Processor().run.testMode, 0);

        rig.Advance(1000ms);
        QVERIFY(PathExists(rig.BackupOf("one")));
        QCOMPARE(rig.State().processingCounter, 0);
    }

    // A run chosen in a dialog covers only the chosen settings: another setting whose
    // period comes due during the run, or whose change was seen before it, is neither
    // only tested nor stripped of its generations, and is backed up by the plain pass
    // that follows.
    void runChosenInADialogCoversOnlyTheChosen_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("testMode");
        QTest::addColumn<bool>("periodDuringTheRun");
        QTest::newRow("test run, period") << ProcessorMode::kBackup << 1 << true;
        QTest::newRow("test run, change seen") << ProcessorMode::kBackup << 1 << false;
        QTest::newRow("generation deletion, period") << ProcessorMode::kDeleteGenerations << 0 << true;
        QTest::newRow("generation deletion, change seen") << ProcessorMode::kDeleteGenerations << 0 << false;
    }
    void runChosenInADialogCoversOnlyTheChosen()
    {
        QFETCH(int, mode);
        QFETCH(int, testMode);
        QFETCH(bool, periodDuringTheRun);
        CRig rig;
        rig.AddSetting("one");
        rig.AddSetting("two");
        rig.engine->StartMonitoring();
        const std::string generation = rig.tree.WriteFile("bak" + rig.tree.Path("two") + "/a.$1.txt", "older");
        rig.Setting(0).changeMark = ChangeMark::kRequested;
        if (periodDuringTheRun) {
            rig.host.pump.pumpCount = 0;
            rig.host.pump.actionsAtPump[4] = [&rig] { rig.engine->OnTimer(TimerId::kPeriodBase + 1); };
        } else {
            rig.Setting(1).changeMark = ChangeMark::kChangeSeen;
        }

        CManualChoices choices;
        choices.testMode = testMode;
        rig.engine->RunManual(mode, choices);
        QVERIFY(PathExists(generation));
        QVERIFY(!PathExists(rig.BackupOf("two")));
        QVERIFY(rig.Setting(1).changeMark != ChangeMark::kNone);

        rig.Advance(5000ms);
        QVERIFY(PathExists(rig.BackupOf("two")));
        QVERIFY(PathExists(generation));
        QCOMPARE(rig.Setting(1).changeMark, ChangeMark::kNone);
    }

    // A setting whose backup is refused (its source went missing) gets no after-program
    // and no count, and makes the pass result 0; the next setting is still backed up.
    void refusedSettingSkipsTheRest()
    {
        CRig rig;
        CFileSetting& gone = rig.AddSetting("gone");
        gone.ObsRunExe.Assign(rig.tree.WriteFile("after.sh", "#!/bin/sh\ntouch \"$0.ran\"\n"));
        rig.AddSetting("kept");
        rig.engine->StartMonitoring();
        QVERIFY(QDir(QString::fromStdString(rig.tree.Path("gone"))).removeRecursively());
        gone.changeMark = ChangeMark::kChangeSeen;
        rig.Setting(1).changeMark = ChangeMark::kChangeSeen;
        rig.sink.rows.clear();

        QCOMPARE(rig.engine->RunBackupPass(), 0);
        QVERIFY(rig.sink.RowsOf(EngineText::kAfterProgram).empty());
        QCOMPARE(rig.sink.RowsOf(FormatText(EngineText::kFilesProcessedFormat, 1)).size(), std::size_t(1));
        QVERIFY(PathExists(rig.BackupOf("kept")));
        QCOMPARE(rig.sink.RowsOf(EngineText::kDone).size(), std::size_t(1));
        QCOMPARE(gone.changeMark, ChangeMark::kNone);
    }

    // Marks only on settings without a source: nothing was processed, so no "done" and
    // no sound.
    void nothingWithASource()
    {
        CRig rig;
        rig.AddSetting("src");
        rig.engine->StartMonitoring();
        rig.Setting(0).No.Assign("");
        rig.Setting(0).changeMark = ChangeMark::kRequested;
        rig.sink.rows.clear();
        QCOMPARE(rig.engine->RunBackupPass(), 1);
        QVERIFY(rig.sink.rows.empty());
        QVERIFY(rig.host.sink.playedSounds.empty());
        QCOMPARE(rig.Setting(0).changeMark, ChangeMark::kRequested);
    }

    // The file system root as own destination is held by the processor as its root ("");
    // any other destination loses a trailing separator only.
    void destinationRoot_data()
    {
        QTest::addColumn<std::string>("bakTo");
        QTest::addColumn<std::string>("processorRoot");
        QTest::addColumn<std::string>("shown");
        QTest::newRow("root") << std::string("/") << std::string() << std::string("/");
        QTest::newRow("folder") << std::string("own/") << std::string("own") << std::string("own");
    }

    void destinationRoot()
    {
        QFETCH(std::string, bakTo);
        QFETCH(std::string, processorRoot);
        QFETCH(std::string, shown);
        CRig rig;
        CFileSetting& setting = rig.AddSetting("src");
        setting.Ignore = 1; // nothing is written, whatever the destination
        const auto inTree = [&](const std::string& path) {
            return path.empty() || path[0] == '/' ? path : rig.tree.Path(path);
        };
        setting.BakTo.Assign(inTree(bakTo));
        rig.engine->StartMonitoring();
        setting.changeMark = ChangeMark::kRequested;
        QCOMPARE(rig.engine->RunBackupPass(), 1);
        QCOMPARE(rig.engine->Processor().place.destinationRoot, inTree(processorRoot));
        QCOMPARE(rig.engine->Processor().rules.ownDestination, 1);
        QCOMPARE(rig.sink.RowsOf(EngineText::kNotBackedUp)[0].destination, inTree(shown));
    }

    // Deleting generations and the backup-state run never run an archiver: a compressed
    // setting only reports (the state run reports nothing).
    void manualModesSkipCompressed_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<std::vector<std::string>>("reported");
        QTest::newRow("generation deletion")
            << ProcessorMode::kDeleteGenerations
            << std::vector<std::string>{EngineText::kDeleteGenerations, EngineText::kDone};
        QTest::newRow("backup state") << ProcessorMode::kBackupState << std::vector<std::string>{};
    }
    void manualModesSkipCompressed()
    {
        QFETCH(int, mode);
        QFETCH(std::vector<std::string>, reported);
        CRig rig;
        CFileSetting& setting = rig.AddSetting("src");
        setting.CompMode = CompressionMode::kZip;
        setting.CompFile.Assign(rig.tree.Path("bak/src.zip"));
        setting.ObsRunExe.Assign(rig.tree.Path("no-such-program"));
        rig.engine->StartMonitoring();
        setting.changeMark = ChangeMark::kRequested;
        rig.engine->Processor().run.mode = mode;
        rig.sink.rows.clear();
        QCOMPARE(rig.engine->RunBackupPass(), 1);
        rig.engine->Processor().run.mode = ProcessorMode::kBackup;
        std::vector<std::string> messages;
        for (const auto& timed : rig.sink.rows)
            messages.push_back(timed.row.message);
        QCOMPARE(messages, reported);
        QVERIFY(!rig.tree.Exists("bak/src.zip"));
    }

    // The after-program is started with its arguments split as a shell would, not
    // waited for, and without the signal state of this process.
    void afterProgramStarted()
    {
        CRig rig;
        CFileSetting& setting = rig.AddSetting("src");
        const std::string out = rig.tree.Path("argv.txt");
        const std::string script = rig.tree.WriteFile(
            "after.sh",
            "#!/bin/sh\n{ printf '%s\\n' \"$0\" \"$@\"; grep -E '^Sig(Blk|Ign)' /proc/self/status; } > \"" + out
                + ".part\"\nmv \"" + out + ".part\" \"" + out + "\"\n");
        QVERIFY(QFile::setPermissions(QString::fromStdString(script), QFileDevice::ReadOwner
                                                                          | QFileDevice::WriteOwner
                                                                          | QFileDevice::ExeOwner));
        setting.ObsRunExe.Assign(script);
        setting.ObsRunArg.Assign("one \"two words\" 'three'");
        rig.engine->StartMonitoring();
        setting.changeMark = ChangeMark::kChangeSeen;
        rig.sink.rows.clear();

        // A test process that ignores SIGPIPE and blocks SIGTERM.
        const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
        sigset_t term;
        sigset_t previousMask;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &term, &previousMask);
        const int result = rig.engine->RunBackupPass();
        pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
        std::signal(SIGPIPE, previousPipe);
        QCOMPARE(result, 1);

        const auto rows = rig.sink.RowsOf(EngineText::kAfterProgram);
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(rows[0].kind, int(MessageKind::kInfo));
        QCOMPARE(rows[0].info, script + " one \"two words\" 'three'");
        QCOMPARE(rig.sink.MessagesOfKind(MessageKind::kInfo).back(), std::string(EngineText::kDone));
        // grep reports the state it inherited through the script; the shell's own mask is
        // not a witness, since the shell blocks signals for a moment around its forks.
        QVERIFY(WaitForFile(out, 10s));
        QCOMPARE(QString::fromStdString(ReadFileBytes(out)),
                 QString::fromStdString(script + "\none\ntwo words\nthree\nSigBlk:\t0000000000000000\n"
                                                 "SigIgn:\t0000000000000000\n"));
    }

    // A walk cut short by an abort is no finished backup: the setting counts as refused,
    // and a dry run never starts the after-program.
    void abortedOrDryRunStartsNoAfterProgram_data()
    {
        QTest::addColumn<bool>("abortDuringWalk");
        QTest::addColumn<int>("passResult");
        QTest::addColumn<int>("afterProgramKind");
        QTest::newRow("abort after the first copy") << true << 0 << -1;
        QTest::newRow("test mode") << false << 1 << int(MessageKind::kTest);
    }

    void abortedOrDryRunStartsNoAfterProgram()
    {
        QFETCH(bool, abortDuringWalk);
        QFETCH(int, passResult);
        QFETCH(int, afterProgramKind);
        CRig rig;
        CFileSetting& setting = rig.AddSetting("src");
        rig.tree.WriteFile("src/b.txt", "b");
        rig.tree.WriteFile("src/c.txt", "c");
        setting.ObsRunExe.Assign(rig.tree.Path("no-such/program"));
        rig.engine->StartMonitoring();
        // Chosen in a dialog: a test run covers only what was chosen there.
        setting.changeMark = ChangeMark::kRequested;
        rig.sink.rows.clear();
        if (abortDuringWalk) {
            // Two pumps per pacing step: two steps before the walk, then one per file.
            rig.host.pump.pumpCount = 0;
            rig.host.pump.actionsAtPump[8] = [&rig] {
                rig.State().abortRequested = 1;
                rig.State().disabled = 1;
            };
        } else {
            rig.engine->Processor().run.testMode = 1;
        }

        QCOMPARE(rig.engine->RunBackupPass(), passResult);
        const auto rows = rig.sink.RowsOf(EngineText::kAfterProgram);
        QCOMPARE(rows.empty() ? -1 : rows[0].kind, afterProgramKind);
        if (abortDuringWalk) {
            QVERIFY(PathExists(rig.BackupOf("src")));
            QVERIFY(rig.sink.RowsOf(FormatText(EngineText::kFilesProcessedFormat, 1)).empty());
        }
    }

    void afterProgramMissing()
    {
        CRig rig;
        CFileSetting& setting = rig.AddSetting("src");
        const std::string program = rig.tree.Path("no-such/program");
        setting.ObsRunExe.Assign(program);
        setting.ObsRunArg.Assign("-x");
        rig.engine->StartMonitoring();
        setting.changeMark = ChangeMark::kChangeSeen;
        QCOMPARE(rig.engine->RunBackupPass(), 1);
        const auto rows = rig.sink.RowsOf(EngineText::kAfterProgram);
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(rows[0].kind, int(MessageKind::kError));
        QCOMPARE(rows[0].info, program + " -x" + Suffix(ENOENT));
        QCOMPARE(rig.host.sink.errorRows.back().message,
                 std::string(ReportText::kErrorPrefix) + EngineText::kAfterProgram);
        QCOMPARE(rig.sink.RowsOf(FormatText(EngineText::kFilesProcessedFormat, 1)).size(), std::size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestBackupEngine)
#include "tst_backup_engine.moc"
