#pragma once

// The headless front end: the core on a QCoreApplication event loop. Reports are printed
// to standard output as log lines, questions wait on standard error and standard input
// as an unattended box would, SIGINT and SIGTERM end the program in an orderly way.

#include <memory>
#include <string>

#include "engine/front_end_hooks.h"
#include "platform/host_services.h"
#include "platform/linux/canberra_sound.h"
#include "platform/linux/inotify_notifier.h"
#include "platform/qt_event_pump.h"
#include "platform/qt_timer_service.h"
#include "app/application.h"
#include "termination_signals.h"

// Exit statuses of a run with -q (and of a run that cannot start), for scripts and cron.
namespace ConsoleExit {
inline constexpr int kSuccess = 0;        // every pass succeeded, no error was reported
inline constexpr int kErrorsReported = 1; // the passes ran, but errors were reported
inline constexpr int kSettingFailed = 2;  // a file setting could not be backed up at all
inline constexpr int kCannotStart = 3;    // no destination, or the settings file is unusable
} // namespace ConsoleExit

// What --help adds to the options of the program.
std::string ConsoleUsageNotes();

class CConsoleSink final : public IMessageSink
{
public:
    void SetStatusText(const std::string&) override {}
    // One line of the seven log fields, as the log file has it.
    void AddReportRow(const CMessageRow& row) override;
    void AddErrorRow(const CMessageRow& row) override;
    bool PlaySoundFile(const std::string& path) override { return m_sound.PlayFile(path); }
    void Beep(EBeep beep) override { m_sound.Beep(beep); }

    int ErrorCount() const { return m_errorCount; }

private:
    CCanberraSound m_sound{kApplicationName};
    int m_errorCount = 0;
    bool m_outputClosed = false;  // standard output could not be written
};

// Questions are written to standard error with their countdown. When standard input is
// a terminal the user can answer; otherwise, or when nobody answers in time, the answer
// is the time-out, exactly as an unattended box gives. Meanwhile the event loop runs on.
class CConsolePrompter final : public IPrompter
{
public:
    CConsolePrompter(const CQtEventPump& pump, bool interactive);

    int TimedMessageBox(const std::string& text, const std::string& title, unsigned type,
                        int limitMs) override;
    // Nobody there: a Yes/No question gets "No", anything else "OK".
    int MessageBox(const std::string& text, const std::string& title, unsigned type) override;
    // No credentials can be read safely on this console: the question counts as cancelled.
    bool AskCredentials(const std::string& title, const std::string& prompt, std::string& user,
                        std::string& password) override;

private:
    bool CanAnswer() const;
    // limitMs < 0: no time limit (only when someone can answer).
    int Ask(const std::string& text, const std::string& title, unsigned type, int limitMs);

    const CQtEventPump& m_pump;
    bool m_interactive;
};

class CConsoleHost
{
public:
    explicit CConsoleHost(CCommandLine commandLine);
    ~CConsoleHost();
    CConsoleHost(const CConsoleHost&) = delete;
    CConsoleHost& operator=(const CConsoleHost&) = delete;

    // Loads the settings, monitors and backs up until -q ends the run or a signal comes.
    // Returns the exit status (ConsoleExit).
    int Run();
    // Loads the settings and prints the model.
    int PrintSettings();

private:
    class CHooks final : public IFrontEndHooks
    {
    public:
        explicit CHooks(CConsoleHost& host) : m_host(host) {}
        void ShowNotice(const std::string& text) override;
        void RequestQuit(int exitCode) override { m_host.Quit(); }

    private:
        CConsoleHost& m_host;
    };

    void OnTerminationSignal(int signalNumber);
    // Ends the event loop once the current event has been handled; work in progress
    // sees the end at its next pump.
    void Quit();
    int ExitStatus() const;

    CConsoleSink m_sink;
    CQtEventPump m_pump;
    CConsolePrompter m_prompter;
    CQtTimerService m_timers;
    CSystemClock m_clock;
    CNoKeyState m_keys;
    CApplication m_app;
    CInotifyNotifierFactory m_notifiers;
    CHooks m_hooks{*this};
    CTerminationSignals m_signals;
    bool m_signalled = false;
};
