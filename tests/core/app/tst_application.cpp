#include <QtTest>

#include <algorithm>
#include <chrono>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/app_texts.h"
#include "app/application.h"
#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "helpers/fake_front_end.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/program_paths.h"
#include "settings/settings_storage.h"
#include "version.h"

Q_DECLARE_METATYPE(std::string)

namespace {

using namespace std::chrono_literals;
using Messages = std::vector<std::string>;

enum class ECommand
{
    Disable,
    Hold,
    Abort,
    Pause,
};

// An application on fake services whose one file setting "src" holds a few files, so
// that a pass pumps events while it runs.
struct CAppRig
{
    explicit CAppRig(std::vector<std::string> arguments = {})
        : app(CCommandLine(std::move(arguments)), host.Services())
    {
        app.SetFrontEndHooks(&hooks);
        CSettingsModel& model = app.Core().Settings();
        model.general.BakCopyPath.Assign(tree.MakeFolder("bak"));
        model.general.Recycle2.Assign(tree.Path("recycle"));
        CFileSetting& setting = model.files[0];
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            tree.WriteFile(std::string("src/") + name, name);
        setting.No.Assign(tree.Path("src"));
        model.Files = 1;
    }

    void Start(bool backUpAllAtOnce = false)
    {
        app.StartEngine(notifiers, backUpAllAtOnce);
        host.sink.Clear();
    }
    // The next pass, as a change seen at the first poll starts it (poll at 3.5 s, delay 5 s).
    void RunPassAfterChange()
    {
        notifiers.Signal(tree.Path("src"));
        host.timers.Advance(9000ms);
    }
    void AtFirstPumpOfPass(std::function<void()> action)
    {
        host.pump.pumpCount = 0;
        host.pump.actionsAtPump[1] = std::move(action);
    }
    Messages InfoMessages() const
    {
        Messages messages;
        for (const CMessageRow& row : host.sink.RowsOfKind(MessageKind::kInfo))
            messages.push_back(row.message);
        return messages;
    }
    CAppState& State() { return app.State(); }

    CFakeHost host;
    CTempTree tree;
    CFakeNotifierFactory notifiers{host.timers};
    CRecordingHooks hooks;
    CApplication app;
};

void Carry(CApplication& app, ECommand command)
{
    switch (command) {
    case ECommand::Disable:
        app.ToggleDisabled();
        break;
    case ECommand::Hold:
        app.ToggleHold();
        break;
    case ECommand::Abort:
        app.Abort();
        break;
    case ECommand::Pause:
        app.BeginPause();
        break;
    }
}

struct CPriority
{
    int nice;
    int policy;
};

CPriority CurrentPriority()
{
    errno = 0;
    return {getpriority(PRIO_PROCESS, 0), sched_getscheduler(0)};
}

} // namespace

Q_DECLARE_METATYPE(ECommand)
Q_DECLARE_METATYPE(EBackupState)

class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    void init() { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_tree.Path("config"))); }

    // The transitions of the backup state, each from its starting flags through one command.
    void commands_data()
    {
        QTest::addColumn<int>("disabled");
        QTest::addColumn<int>("enabled");
        QTest::addColumn<int>("counter");
        QTest::addColumn<ECommand>("command");
        QTest::addColumn<EBackupState>("stateAfter");
        QTest::addColumn<int>("abortAfter");
        QTest::addColumn<Messages>("reported");
        QTest::addColumn<int>("beeps");

        using S = EBackupState;
        using C = ECommand;
        const std::string disabled = EngineText::kStateDisabled;
        const std::string hold = EngineText::kStateHold;
        const std::string ready = EngineText::kStateReady;
        QTest::newRow("ready, disable")
            << 0 << 1 << 0 << C::Disable << S::Disabled << 0 << Messages{disabled} << 0;
        QTest::newRow("disabled, disable")
            << 1 << 1 << 0 << C::Disable << S::Ready << 0 << Messages{ready} << 0;
        QTest::newRow("disabled hold, disable")
            << 1 << 0 << 0 << C::Disable << S::Hold << 0 << Messages{hold} << 0;
        QTest::newRow("processing, disable")
            << 0 << 0 << 1 << C::Disable << S::Disabled << 0 << Messages{disabled} << 0;
        QTest::newRow("ready, hold") << 0 << 1 << 0 << C::Hold << S::Hold << 0 << Messages{hold} << 0;
        QTest::newRow("hold, hold") << 0 << 0 << 0 << C::Hold << S::Ready << 0 << Messages{ready} << 0;
        QTest::newRow("processing, hold") << 0 << 0 << 1 << C::Hold << S::Processing << 0 << Messages{} << 1;
        QTest::newRow("processing, abort")
            << 0 << 0 << 1 << C::Abort << S::Disabled << 1 << Messages{AppText::kAborted, disabled} << 0;
        QTest::newRow("disabled processing, abort")
            << 1 << 0 << 1 << C::Abort << S::Disabled << 0 << Messages{} << 0;
        QTest::newRow("idle, abort") << 0 << 1 << 0 << C::Abort << S::Ready << 0 << Messages{} << 0;
        QTest::newRow("processing, pause")
            << 0 << 1 << 1 << C::Pause << S::Processing << 0 << Messages{AppText::kPaused} << 0;
        QTest::newRow("idle, pause") << 0 << 1 << 0 << C::Pause << S::Ready << 0 << Messages{} << 0;
    }

    void commands()
    {
        QFETCH(int, disabled);
        QFETCH(int, enabled);
        QFETCH(int, counter);
        QFETCH(ECommand, command);
        QFETCH(EBackupState, stateAfter);
        QFETCH(int, abortAfter);
        QFETCH(Messages, reported);
        QFETCH(int, beeps);

        CAppRig rig;
        rig.Start();
        CAppState& state = rig.State();
        state.disabled = disabled;
        state.processingEnabled = enabled;
        state.processingCounter = counter;
        Carry(rig.app, command);
        QCOMPARE(rig.app.BackupState(), stateAfter);
        QCOMPARE(state.abortRequested, abortAfter);
        QCOMPARE(rig.InfoMessages(), reported);
        QCOMPARE(static_cast<int>(rig.host.sink.beeps.size()), beeps);
        if (beeps > 0)
            QCOMPARE(rig.host.sink.beeps.back(), EBeep::Error);
    }

    // Hold pressed while a pass copies only beeps; the pass ends in the state it began in.
    void holdDuringPassBeeps()
    {
        CAppRig rig;
        rig.Start();
        bool refused = false;
        rig.AtFirstPumpOfPass([&] { refused = !rig.app.ToggleHold(); });
        rig.RunPassAfterChange();
        QVERIFY(refused);
        const auto& beeps = rig.host.sink.beeps;
        QCOMPARE(std::count(beeps.begin(), beeps.end(), EBeep::Error), 1);
        QVERIFY(rig.tree.Exists("bak" + rig.tree.Path("src") + "/c.txt"));
        QCOMPARE(rig.app.BackupState(), EBackupState::Ready);
    }

    // Abort in a pass: reported, disabled while the pass unwinds, then the earlier state
    // returns and is reported; the files after the abort are left for the next pass.
    void abortDuringPassReturnsAfterPass()
    {
        CAppRig rig;
        rig.Start();
        EBackupState during = EBackupState::Ready;
        rig.AtFirstPumpOfPass([&] {
            rig.app.Abort();
            during = rig.app.BackupState();
        });
        rig.RunPassAfterChange();
        QCOMPARE(during, EBackupState::Disabled);
        QCOMPARE(rig.app.BackupState(), EBackupState::Ready);
        QCOMPARE(rig.State().abortRequested, 0);
        Messages states;
        for (const std::string& message : rig.InfoMessages())
            if (message == AppText::kAborted || message == EngineText::kStateDisabled
                || message == EngineText::kStateReady)
                states.push_back(message);
        QCOMPARE(states, (Messages{AppText::kAborted, EngineText::kStateDisabled, EngineText::kStateReady}));
        QVERIFY(!rig.tree.Exists("bak" + rig.tree.Path("src") + "/c.txt"));
    }

    // A pause keeps the pass from taking up more settings until continue; a second pause
    // only brings the first forward; continue restores a hold chosen before the pause.
    void pauseRestoresEarlierHold()
    {
        CAppRig rig;
        rig.Start();
        rig.State().processingCounter = 1;
        rig.State().processingEnabled = 0;
        QCOMPARE(rig.app.BeginPause(), EPauseStart::Started);
        QCOMPARE(rig.app.BeginPause(), EPauseStart::AlreadyPaused);
        rig.State().processingEnabled = 1; // something else enabled it meanwhile
        rig.app.EndPause();
        QCOMPARE(rig.State().processingEnabled, 0);
        QVERIFY(!rig.app.IsPaused());
    }

    // The notice of the no-output toggle is shown also when output goes off.
    void noOutputNotice()
    {
        CAppRig rig;
        rig.Start();
        rig.app.ToggleNoOutput();
        rig.app.Core().OutputMessage(MessageKind::kInfo, "hidden");
        rig.app.ToggleNoOutput();
        QCOMPARE(rig.InfoMessages(), (Messages{"表示 OFF", "表示 ON"}));
        QVERIFY(!rig.app.NoOutput());
    }

    // The back-up-all pass of sa runs outside the status timer's handler, so the status
    // timer goes on ticking (blinking, hiding the window) while it runs.
    void statusTimerTicksDuringBackUpAll()
    {
        CAppRig rig({"-q"});
        rig.app.Core().Settings().startup.sa = 2;
        rig.Start();
        std::size_t ticksBefore = 0;
        std::size_t ticksDuring = 0;
        rig.AtFirstPumpOfPass([&] {
            ticksBefore = rig.hooks.trayIcons.size();
            rig.host.timers.Advance(2000ms);
            ticksDuring = rig.hooks.trayIcons.size() - ticksBefore;
        });
        rig.host.timers.Advance(3500ms);
        QVERIFY(ticksBefore > 0);
        QCOMPARE(ticksDuring, std::size_t(4));
        QVERIFY(rig.tree.Exists("bak" + rig.tree.Path("src") + "/a.txt"));
        QCOMPARE(rig.hooks.quitCodes, std::vector<int>{0});
    }

    // With a window the sa pass waits for the first poll (the state is shown first); a run
    // without one starts it as soon as monitoring is set up.
    void backUpAllStart_data()
    {
        QTest::addColumn<bool>("atOnce");
        QTest::addColumn<int>("passMs");
        QTest::newRow("first poll") << false << 3500;
        QTest::newRow("at once") << true << 0;
    }

    void backUpAllStart()
    {
        QFETCH(bool, atOnce);
        QFETCH(int, passMs);
        CAppRig rig({"-q"});
        rig.app.Core().Settings().startup.sa = 2;
        rig.Start(atOnce);
        int pumpedAtMs = -1;
        rig.AtFirstPumpOfPass([&] { pumpedAtMs = static_cast<int>(rig.host.timers.Elapsed().count()); });
        rig.host.timers.Advance(4000ms);
        QCOMPARE(pumpedAtMs, passMs);
        QCOMPARE(rig.hooks.quitCodes, std::vector<int>{0});
    }

    // Process priority follows the policy: idle only with a destination and without pn,
    // and normal always returns to what the process had.
    void priority_data()
    {
        QTest::addColumn<int>("pn");
        QTest::addColumn<bool>("destination");
        QTest::addColumn<bool>("idle");
        QTest::newRow("destination") << 0 << true << true;
        QTest::newRow("pn") << 2 << true << false;
        QTest::newRow("no destination") << 0 << false << false;
    }

    void priority()
    {
        QFETCH(int, pn);
        QFETCH(bool, destination);
        QFETCH(bool, idle);
        if (geteuid() != 0)
            QSKIP("returning from idle priority needs root here; the unprivileged case is tested separately");
        const CPriority start = CurrentPriority();
        CAppRig rig;
        rig.app.Core().Settings().startup.pn = pn;
        if (!destination)
            rig.app.Core().Settings().general.BakCopyPath.Assign("");
        rig.app.SetIdlePriority();
        const CPriority during = CurrentPriority();
        rig.app.SetNormalPriority();
        const CPriority after = CurrentPriority();
        QCOMPARE(during.nice, idle ? 19 : start.nice);
        QCOMPARE(during.policy, idle ? SCHED_IDLE : start.policy);
        QCOMPARE(after.nice, start.nice);
        QCOMPARE(after.policy, start.policy);
    }

    // An ordinary user cannot lower its nice value again nor leave SCHED_IDLE: idle must
    // then use only what can be undone, or the window would stay slow once restored.
    void idlePriorityUndoneByOrdinaryUser()
    {
        if (geteuid() != 0)
            QSKIP("needs root to become another user");
        const pid_t child = fork();
        if (child == 0) {
            if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
                _exit(2);
            rlimit none{0, 0};
            setrlimit(RLIMIT_NICE, &none);
            const CPriority start = CurrentPriority();
            CProcessPriority priority;
            priority.SetIdle();
            const CPriority during = CurrentPriority();
            priority.SetNormal();
            const CPriority after = CurrentPriority();
            const bool lowered = during.policy != start.policy;
            _exit(lowered && after.nice == start.nice && after.policy == start.policy ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    // The front end may set its sink after making the application: what the load reports
    // reaches it, behind the five steps of the start-up progress.
    void loadReportsToLateSink()
    {
        const std::string path = m_tree.WriteFile("many.TVX", "[Backup]\r\nFiles=150\r\nNo0=/nowhere\r\n");
        CFakeHost host;
        CHostServices services = host.Services();
        services.sink = nullptr;
        CApplication app(CCommandLine{}, services);
        CRecordingHooks hooks;
        app.SetFrontEndHooks(&hooks);
        app.SetMessageSink(&host.sink);
        QVERIFY(app.LoadSettingsFile(path));
        QCOMPARE(host.sink.RowsOfKind(MessageKind::kWarning).size(), std::size_t(1));
        QCOMPARE(hooks.progressTexts, Messages{AppText::kStartingProgress});
        QCOMPARE(hooks.progressSteps, (std::vector<int>{1, 2, 3, 4, 5}));
    }

    // New, Open and Save as switch the settings file, restart and tell the window; a
    // template that cannot be copied leaves everything as it was.
    void settingsFileCommands()
    {
        CAppRig rig;
        const std::string first = m_tree.WriteFile("first.TVX", "[Backup]\r\nFiles=1\r\nNo0=/first\r\n");
        QVERIFY(rig.app.LoadSettingsFile(first));
        rig.Start();
        QCOMPARE(rig.app.ChooserInitialPath(ESettingsChooserMode::Open), first);
        QCOMPARE(rig.app.ChooserInitialPath(ESettingsChooserMode::New),
                 GetConfigDirectory() + "/" + AppText::kNewSettingsFileName);

        const std::string fresh = m_tree.Path("fresh.TVX");
        QVERIFY(rig.app.NewSettingsFile(fresh));
        QCOMPARE(ReadFileBytes(fresh), ReadFileBytes(FindDataFile(kTemplateSettingsFileName)));
        QCOMPARE(rig.app.Core().SettingsFilePath(), fresh);
        QCOMPARE(rig.host.sink.reportRows.back().message, std::string(EngineText::kStateDisabled));
        QVERIFY(std::any_of(
            rig.host.sink.reportRows.begin(), rig.host.sink.reportRows.end(),
            [&](const CMessageRow& row) { return row.message == AppText::kRestart && row.source == fresh; }));

        QVERIFY(!rig.app.NewSettingsFile(m_tree.Path("missing/folder/x.TVX")));
        QCOMPARE(rig.host.prompter.asked.back().type & MessageBoxType::kIconMask, MessageBoxType::kIconStop);
        QCOMPARE(rig.app.Core().SettingsFilePath(), fresh);

        const std::string before = ReadFileBytes(first);
        rig.app.OpenSettingsFile(first);
        rig.app.SaveSettingsFileAs(first);
        QCOMPARE(ReadFileBytes(first), before);
        const std::string copy = m_tree.Path("copy.TVX");
        rig.app.SaveSettingsFileAs(copy);
        QCOMPARE(ReadFileBytes(copy), before);
        QCOMPARE(rig.app.Core().Settings().files[0].No.expanded, std::string("/first"));
        QCOMPARE(rig.hooks.settingsFiles, (Messages{fresh, first, first, copy}));
    }

    // Exit asks unless cp is on; Cancel keeps the program, OK aborts a running pass.
    void confirmExit_data()
    {
        QTest::addColumn<int>("cp");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("mayEnd");
        QTest::addColumn<int>("questions");
        QTest::newRow("cp on") << 1 << MessageBoxAnswer::kCancel << true << 0;
        QTest::newRow("ok") << 0 << MessageBoxAnswer::kOk << true << 1;
        QTest::newRow("cancel") << 0 << MessageBoxAnswer::kCancel << false << 1;
    }

    void confirmExit()
    {
        QFETCH(int, cp);
        QFETCH(int, answer);
        QFETCH(bool, mayEnd);
        QFETCH(int, questions);
        CAppRig rig;
        rig.Start();
        rig.app.Core().Settings().startup.cp = cp;
        rig.host.prompter.answers = {answer};
        rig.State().processingCounter = 1;
        QCOMPARE(rig.app.ConfirmExit(), mayEnd);
        QCOMPARE(static_cast<int>(rig.host.prompter.asked.size()), questions);
        QCOMPARE(rig.State().abortRequested, mayEnd ? 1 : 0);
    }

private:
    CTempTree m_tree;
};

QTEST_GUILESS_MAIN(TestApplication)
#include "tst_application.moc"
