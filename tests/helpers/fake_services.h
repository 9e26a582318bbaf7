#pragma once

// Stand-ins for the front-end services: they record what the core shows and answer what
// it asks, so engine tests run without a display, without sleeping and in a fixed order.

#include <chrono>
#include <ctime>
#include <functional>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/host_services.h"
#include "platform/power_status.h"
#include "platform/running_applications.h"
#include "platform/storage_info.h"

class CRecordingSink final : public IMessageSink
{
public:
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void AddReportRow(const CMessageRow& row) override { reportRows.push_back(row); }
    void AddErrorRow(const CMessageRow& row) override { errorRows.push_back(row); }
    bool PlaySoundFile(const std::string& path) override
    {
        playedSounds.push_back(path);
        return soundFilesPlayable;
    }
    void Beep(EBeep beep) override { beeps.push_back(beep); }

    // The report rows' messages, in order (handy for exact comparisons).
    std::vector<std::string> Messages() const;
    // The rows of one kind.
    std::vector<CMessageRow> RowsOfKind(int kind) const;
    bool HasMessage(const std::string& message) const;
    void Clear();

    std::vector<std::string> statusTexts;
    std::vector<CMessageRow> reportRows;
    std::vector<CMessageRow> errorRows;
    std::vector<std::string> playedSounds;
    std::vector<EBeep> beeps;
    bool soundFilesPlayable = true;
};

struct CAskedQuestion
{
    std::string text;
    std::string title;
    unsigned type = 0;
    int limitMs = 0;
    bool timed = true;
};

// Answers questions from a script, in order; when the script is empty it answers
// defaultAnswer (a time-out unless set otherwise).
class CScriptedPrompter final : public IPrompter
{
public:
    int TimedMessageBox(const std::string& text, const std::string& title, unsigned type,
                        int limitMs) override;
    int MessageBox(const std::string& text, const std::string& title, unsigned type) override;
    bool AskCredentials(const std::string& title, const std::string& prompt, std::string& user,
                        std::string& password) override;

    std::deque<int> answers;
    int defaultAnswer = MessageBoxAnswer::kTimeout;
    std::vector<CAskedQuestion> asked;
    // Credentials handed out by AskCredentials; empty user means "cancelled".
    std::string credentialUser;
    std::string credentialPassword;
    std::vector<std::string> credentialPrompts;
    // The user names the asking side prefilled, one per question.
    std::vector<std::string> credentialUsersOffered;

private:
    int NextAnswer();
};

class CFakeClock final : public IClock
{
public:
    std::chrono::system_clock::time_point Now() const override { return now; }
    void SetSeconds(std::time_t seconds) { now = std::chrono::system_clock::from_time_t(seconds); }
    void Advance(std::chrono::milliseconds step) { now += step; }

    std::chrono::system_clock::time_point now = std::chrono::system_clock::from_time_t(1'700'000'000);
};

class CFakeKeyState final : public IKeyState
{
public:
    bool AbortKeysHeld() const override { return query ? query() : held; }
    bool held = false;
    // When set, asked at every look instead of held (keys pressed and released at will).
    std::function<bool()> query;
};

// Counts pumps; a test may hook an action into the n-th pump (for example pressing
// Abort in the middle of a pass).
class CScriptedPump final : public IEventPump
{
public:
    bool PumpPendingMessages() override;

    int pumpCount = 0;
    bool quitting = false;
    std::map<int, std::function<void()>> actionsAtPump;
};

// Timers that fire only when the test advances the fake time.
class CFakeTimers final : public ITimerService
{
public:
    explicit CFakeTimers(CFakeClock* clock = nullptr) : m_clock(clock) {}
    void SetHandler(Handler handler) override { m_handler = std::move(handler); }
    void StartTimer(int id, int intervalMs) override;
    void StopTimer(int id) override { m_timers.erase(id); }

    bool IsRunning(int id) const { return m_timers.count(id) != 0; }
    int IntervalOf(int id) const;
    // Moves the time forward by step, firing every timer that comes due on the way, in
    // time order (the clock follows when one was given). May be called from inside a
    // handler; as on the real event loop, a timer never fires again while its own handler
    // still runs.
    void Advance(std::chrono::milliseconds step);
    std::chrono::milliseconds Elapsed() const { return m_elapsed; }

private:
    struct CTimer
    {
        int intervalMs;
        std::chrono::milliseconds due;
    };
    Handler m_handler;
    std::map<int, CTimer> m_timers;
    std::set<int> m_firing;
    std::chrono::milliseconds m_elapsed{0};
    CFakeClock* m_clock;
};

class CFakePowerStatus final : public IPowerStatus
{
public:
    EPowerLine PowerLine() override { return line; }
    EPowerLine line = EPowerLine::Unknown;
};

// Each look answers the first snapshot and drops it while more follow, so a test can
// let an application end after a given number of looks. No snapshot: nothing runs.
class CFakeRunningApplications final : public IRunningApplications
{
public:
    std::vector<std::string> ApplicationNames() override;

    std::deque<std::vector<std::string>> snapshots;
    int looks = 0;
};

// One file system mounted at mountPoint holds every path.
class CFakeStorageInfo final : public IStorageInfo
{
public:
    std::string MountPointOf(std::string_view) override { return mountPoint; }
    std::optional<std::uint64_t> FreeBytes(std::string_view) override { return freeBytes; }
    void VolumeNames(std::string_view, std::string& volumeLabel, std::string& type) override
    {
        volumeLabel = label;
        type = fileSystem;
    }

    std::string mountPoint = "/";
    std::optional<std::uint64_t> freeBytes = std::uint64_t(1) << 40; // far above any warning
    std::string label;
    std::string fileSystem = "ext4";
};

// All fakes together, wired into a CHostServices.
struct CFakeHost
{
    CRecordingSink sink;
    CScriptedPrompter prompter;
    CScriptedPump pump;
    CFakeClock clock;
    CFakeTimers timers{&clock};
    CFakeKeyState keys;
    CFakePowerStatus power;
    CFakeRunningApplications applications;
    CFakeStorageInfo storage;

    CHostServices Services()
    {
        CHostServices services{&sink, &prompter, &pump, &timers, &clock, &keys};
        services.power = &power;
        services.applications = &applications;
        services.storage = &storage;
        return services;
    }
};
