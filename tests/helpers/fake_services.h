#pragma once

// Stand-ins for the front-end services: they record what the core shows and answer what
// it asks, so engine tests run without a display, without sleeping and in a fixed order.

#include <chrono>
#include <ctime>
#include <functional>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/host_services.h"

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
    bool AskCredentials(const std::string& prompt, std::string& user,
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
    bool AbortKeysHeld() const override { return held; }
    bool held = false;
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
    // time order (the clock follows when one was given).
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
    std::chrono::milliseconds m_elapsed{0};
    CFakeClock* m_clock;
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

    CHostServices Services()
    {
        return CHostServices{&sink, &prompter, &pump, &timers, &clock, &keys};
    }
};
