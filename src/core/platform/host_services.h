#pragma once

// The services a front end hands to the core. The engine never touches a window, a
// real timer or the keyboard directly: it asks these, so that the GUI, the console and
// the tests can each host the same engine.

#include <chrono>
#include <functional>
#include <string>

// One row of the report or error list, already filtered and prefixed.
struct CMessageRow
{
    int kind = 0;
    std::string message;
    std::string source;
    std::string destination;
    std::string info;
    std::string time;  // "HH:MM:SS"
    std::string date;  // "MM/DD/YY"
};

enum class EBeep
{
    Information,
    Exclamation,
    Error, // a refused command
};

class IMessageSink
{
public:
    virtual ~IMessageSink() = default;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void AddReportRow(const CMessageRow& row) = 0;
    virtual void AddErrorRow(const CMessageRow& row) = 0;
    // Starts playing a sound file without waiting; false when it cannot be played.
    virtual bool PlaySoundFile(const std::string& path) = 0;
    virtual void Beep(EBeep beep) = 0;
};

// Message box types and answers keep the values of the original program so that stored
// logs and callers read the same numbers.
namespace MessageBoxType {
inline constexpr unsigned kOk = 0x0;
inline constexpr unsigned kOkCancel = 0x1;
inline constexpr unsigned kYesNoCancel = 0x3;
inline constexpr unsigned kYesNo = 0x4;
inline constexpr unsigned kIconStop = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconExclamation = 0x30;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kTopmost = 0x40000;
inline constexpr unsigned kButtonMask = 0xF;
inline constexpr unsigned kIconMask = 0xF0;
}  // namespace MessageBoxType

namespace MessageBoxAnswer {
inline constexpr int kTimeout = 0;
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kAbort = 3;
inline constexpr int kRetry = 4;
inline constexpr int kIgnore = 5;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace MessageBoxAnswer

class IPrompter
{
public:
    virtual ~IPrompter() = default;
    // Shows a question that answers itself with MessageBoxAnswer::kTimeout after
    // limitMs milliseconds. A limit of 0 is handled by the caller (no box at all).
    virtual int TimedMessageBox(const std::string& text, const std::string& title, unsigned type,
                                int limitMs) = 0;
    // A plain message box that waits for the user.
    virtual int MessageBox(const std::string& text, const std::string& title, unsigned type) = 0;
    // Asks for a user name and password; false when the user cancels.
    virtual bool AskCredentials(const std::string& title, const std::string& prompt, std::string& user,
                                std::string& password) = 0;
};

class IEventPump
{
public:
    virtual ~IEventPump() = default;
    // Lets the front end handle pending events; false when the application is quitting.
    virtual bool PumpPendingMessages() = 0;
};

class ITimerService
{
public:
    using Handler = std::function<void(int id)>;
    virtual ~ITimerService() = default;
    virtual void SetHandler(Handler handler) = 0;
    // Starting a running timer restarts it with the new interval.
    virtual void StartTimer(int id, int intervalMs) = 0;
    virtual void StopTimer(int id) = 0;
};

class IClock
{
public:
    virtual ~IClock() = default;
    virtual std::chrono::system_clock::time_point Now() const = 0;
};

class IKeyState
{
public:
    virtual ~IKeyState() = default;
    // Shift, Ctrl and Alt all held: the user asks for a dry run of the current action.
    virtual bool AbortKeysHeld() const = 0;
};

class CSystemClock final : public IClock
{
public:
    std::chrono::system_clock::time_point Now() const override
    {
        return std::chrono::system_clock::now();
    }
};

class CNoKeyState final : public IKeyState
{
public:
    bool AbortKeysHeld() const override { return false; }
};

class IPowerStatus;
class IRunningApplications;
class IStorageInfo;

// Non-owning: the front end owns every service for the lifetime of the core.
struct CHostServices
{
    IMessageSink* sink = nullptr;
    IPrompter* prompter = nullptr;
    IEventPump* pump = nullptr;
    ITimerService* timers = nullptr;
    const IClock* clock = nullptr;
    const IKeyState* keys = nullptr;
    // Platform queries; null means the platform's own implementation (platform_services.h).
    IPowerStatus* power = nullptr;
    IRunningApplications* applications = nullptr;
    IStorageInfo* storage = nullptr;
};
