#include "console_host.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "engine/backup_engine.h"
#include "engine/engine_texts.h"
#include "report/ask_user.h"
#include "report/log_file.h"
#include "settings/settings_report.h"

namespace {

constexpr int kMillisecondsPerSecond = 1000;
constexpr std::size_t kInputChunk = 256;

struct CChoice
{
    char key;
    int answer;
    const char* word;
};

// The buttons of a box as keys that answer it.
std::vector<CChoice> ChoicesOf(unsigned type)
{
    using namespace MessageBoxAnswer;
    constexpr unsigned kAbortRetryIgnore = 0x2;
    constexpr unsigned kRetryCancel = 0x5;
    switch (type & MessageBoxType::kButtonMask) {
    case MessageBoxType::kOkCancel:
        return {{'o', kOk, "OK"}, {'c', kCancel, "Cancel"}};
    case kAbortRetryIgnore:
        return {{'a', kAbort, "Abort"}, {'r', kRetry, "Retry"}, {'i', kIgnore, "Ignore"}};
    case MessageBoxType::kYesNoCancel:
        return {{'y', kYes, "Yes"}, {'n', kNo, "No"}, {'c', kCancel, "Cancel"}};
    case MessageBoxType::kYesNo:
        return {{'y', kYes, "Yes"}, {'n', kNo, "No"}};
    case kRetryCancel:
        return {{'r', kRetry, "Retry"}, {'c', kCancel, "Cancel"}};
    default:
        return {{'o', kOk, "OK"}};
    }
}

std::string ChoiceHint(const std::vector<CChoice>& choices)
{
    std::string hint = "(";
    for (const CChoice& choice : choices) {
        if (hint.size() > 1)
            hint += ", ";
        hint += choice.key;
        hint += " = ";
        hint += choice.word;
    }
    return hint + ") > ";
}

// The answer a typed line gives, or the time-out when it names none of the choices. A
// box with a single button is answered by Enter alone.
int AnswerOfLine(const std::vector<CChoice>& choices, const std::string& line)
{
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return choices.size() == 1 ? choices.front().answer : MessageBoxAnswer::kTimeout;
    const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(line[first])));
    for (const CChoice& choice : choices)
        if (choice.key == key)
            return choice.answer;
    return MessageBoxAnswer::kTimeout;
}

bool InputReady(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

} // namespace

std::string ConsoleUsageNotes()
{
    return "  --print-settings  print the loaded settings and end\n"
           "\n"
           "Every report is printed to standard output as one line of seven TAB-separated\n"
           "fields, as in the log file: kind letter (F file, W warning, E error, i info,\n"
           "j detail, k debug, T test), time, date, message, source, destination, details.\n"
           "When standard output cannot be written any more (its reader went away), the\n"
           "lines are no longer printed and the backup goes on; the log file keeps them.\n"
           "What archivers print goes to standard error.\n"
           "Questions are written to standard error with their countdown. When standard\n"
           "input is a terminal they can be answered; otherwise they time out after\n"
           "DlgTimer seconds, as an unattended question does.\n"
           "\n"
           "Without -q the program monitors and backs up until it receives SIGINT or\n"
           "SIGTERM: a running pass is aborted (every backup stays whole) and the program\n"
           "ends with status 0.\n"
           "\n"
           "Exit status:\n"
           "  0  with -q: every pass succeeded and no error was reported; also after\n"
           "     SIGINT or SIGTERM\n"
           "  1  with -q: the passes ran, but errors were reported (see the E lines)\n"
           "  2  with -q: a file setting could not be backed up at all (source or\n"
           "     destination missing, creating the destination refused or unanswered,\n"
           "     waiting for a watched application refused, or the walk failed)\n"
           "  3  it could not start: no backup destination (BakCopyPath) is set, or the\n"
           "     settings file cannot be used\n";
}

void CConsoleSink::AddReportRow(const CMessageRow& row)
{
    const CLogLine line{CLogFile::KindLetter(row.kind),
                        row.time,
                        row.date,
                        row.message,
                        row.source,
                        row.destination,
                        row.info};
    std::string text = CLogFile::FormatLine(line);
    // The log file's CR LF is for other tools of the log; a terminal or a pipe reads LF.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    text += '\n';
    if (m_outputClosed)
        return;
    // A reader that went away does not come back: the log file keeps every line, and
    // retrying would only cost a failed write per report.
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        m_outputClosed = true;
        std::clearerr(stdout);
    }
}

void CConsoleSink::AddErrorRow(const CMessageRow& row)
{
    if (row.kind == MessageKind::kError)
        ++m_errorCount;
}

CConsolePrompter::CConsolePrompter(const CQtEventPump& pump, bool interactive)
    : m_pump(pump), m_interactive(interactive)
{
}

int CConsolePrompter::TimedMessageBox(const std::string& text, const std::string& title, unsigned type,
                                      int limitMs)
{
    if (limitMs <= 0)
        return MessageBoxAnswer::kTimeout;
    return Ask(text, title, type, limitMs);
}

int CConsolePrompter::MessageBox(const std::string& text, const std::string& title, unsigned type)
{
    if (CanAnswer())
        return Ask(text, title, type, -1);
    std::fprintf(stderr, "\n%s\n%s\n", title.c_str(), text.c_str());
    return (type & MessageBoxType::kButtonMask) == MessageBoxType::kYesNo ? MessageBoxAnswer::kNo
                                                                          : MessageBoxAnswer::kOk;
}

bool CConsolePrompter::AskCredentials(const std::string&, const std::string& prompt, std::string&, std::string&)
{
    std::fprintf(stderr, "%s\n(no credentials can be entered here: use -pw)\n", prompt.c_str());
    return false;
}

// A program started in the background of a shell shares the terminal, but reading from
// it (or flushing it) would stop the whole program: only the foreground job can answer.
bool CConsolePrompter::CanAnswer() const
{
    return m_interactive && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

int CConsolePrompter::Ask(const std::string& text, const std::string& title, unsigned type, int limitMs)
{
    if (m_pump.IsQuitting())
        return MessageBoxAnswer::kTimeout;

    const bool interactive = CanAnswer();
    const std::vector<CChoice> choices = ChoicesOf(type);
    const bool limited = limitMs >= 0;
    const int limitSeconds = limitMs / kMillisecondsPerSecond;
    const bool liveCountdown = interactive && ::isatty(STDERR_FILENO);
    const std::string hint = interactive ? ChoiceHint(choices) : std::string();

    std::string heading = title;
    if (limited)
        heading += "  [" + std::to_string(limitSeconds) + "]";
    std::fprintf(stderr, "\n%s\n%s\n", heading.c_str(), text.c_str());
    auto showPrompt = [&](int remaining) {
        if (!interactive)
            return;
        if (limited)
            std::fprintf(stderr, "\r[%d] %s", remaining, hint.c_str());
        else
            std::fprintf(stderr, "\r%s", hint.c_str());
        std::fflush(stderr);
    };
    showPrompt(limitSeconds);

    QEventLoop loop;
    int answer = MessageBoxAnswer::kTimeout;
    QElapsedTimer elapsed;
    // Rounded: a coarse tick that comes a little early still counts down by one.
    auto RemainingSeconds = [&] {
        return limitSeconds
               - static_cast<int>((elapsed.elapsed() + kMillisecondsPerSecond / 2) / kMillisecondsPerSecond);
    };
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&loop] { loop.exit(); });
    QTimer countdown;
    countdown.setInterval(kMillisecondsPerSecond);
    QObject::connect(&countdown, &QTimer::timeout, &loop, [&] {
        if (liveCountdown)
            showPrompt(RemainingSeconds());
    });

    std::unique_ptr<QSocketNotifier> input;
    std::string pending;
    if (interactive) {
        // Lines typed before the question was put must not answer it.
        ::tcflush(STDIN_FILENO, TCIFLUSH);
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, &loop, [&] {
            if (!InputReady(STDIN_FILENO))
                return;
            char buffer[kInputChunk];
            const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (count <= 0) {
                // End of input: nobody can answer any more, the time limit decides.
                if (count == 0 || (errno != EINTR && errno != EAGAIN))
                    input->setEnabled(false);
                return;
            }
            pending.append(buffer, static_cast<std::size_t>(count));
            for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                answer = AnswerOfLine(choices, line);
                if (answer != MessageBoxAnswer::kTimeout) {
                    loop.exit();
                    return;
                }
            }
            showPrompt(RemainingSeconds());
        });
    }

    elapsed.start();
    if (limited) {
        deadline.start(limitMs);
        countdown.start();
    }
    // Timers, signals and the rest of the program keep running in this loop, as they do
    // while a box is shown. A program that is ending leaves it at once: the time-out.
    loop.exec();
    if (!m_pump.IsQuitting() || answer != MessageBoxAnswer::kTimeout)
        std::fprintf(stderr, "%s-> %s\n", interactive ? "\n" : "", AnswerWord(answer).c_str());
    std::fflush(stderr);
    return answer;
}

void CConsoleHost::CHooks::ShowNotice(const std::string& text)
{
    std::fprintf(stderr, "\n%s\n%s\n", kApplicationName, text.c_str());
}

CConsoleHost::CConsoleHost(CCommandLine commandLine)
    : m_prompter(m_pump, ::isatty(STDIN_FILENO) != 0),
      m_app(std::move(commandLine), CHostServices{&m_sink, &m_prompter, &m_pump, &m_timers, &m_clock, &m_keys})
{
    m_app.SetFrontEndHooks(&m_hooks);
}

CConsoleHost::~CConsoleHost() = default;

int CConsoleHost::PrintSettings()
{
    if (!m_app.LoadSettingsFile(m_app.InitialSettingsFileName()))
        return ConsoleExit::kCannotStart;
    const CApplicationCore& core = m_app.Core();
    std::printf("Settings file: %s\n\n%s", core.SettingsFilePath().c_str(),
                DescribeSettings(core.Settings()).c_str());
    return ConsoleExit::kSuccess;
}

int CConsoleHost::Run()
{
    // Caught before anything is loaded: a signal during the start ends the run as well.
    if (!m_signals.Install([this](int signalNumber) { OnTerminationSignal(signalNumber); }))
        std::fprintf(stderr, "SIGINT and SIGTERM cannot be caught: %s\n", std::strerror(errno));

    if (!m_app.LoadSettingsFile(m_app.InitialSettingsFileName()))
        return ConsoleExit::kCannotStart;

    // Nothing to show first: a back-up-all run starts as soon as monitoring is set up.
    m_app.StartEngine(m_notifiers, true);
    if (!m_signalled && m_app.Core().Settings().general.BakCopyPath.expanded.empty()) {
        // Nothing can ever be backed up, and nothing here can set a destination.
        m_app.StopEngine();
        return ConsoleExit::kCannotStart;
    }

    QCoreApplication::exec();
    const int status = ExitStatus();
    m_app.StopEngine();
    return status;
}

void CConsoleHost::OnTerminationSignal(int)
{
    m_signalled = true;
    // The Abort command: the pass stops at its next step, and the copy in progress either
    // completes or leaves the previous backup untouched.
    m_app.Abort();
    CApplicationCore& core = m_app.Core();
    // With -q the engine reports the end itself once the running pass has unwound.
    if (!(core.CommandLine().GetCommandLineOption("q") && core.State().processingCounter > 0))
        core.OutputMessage(MessageKind::kInfo, EngineText::kEnding);
    if (CBackupEngine* engine = m_app.Engine())
        engine->StopMonitoring();
    Quit();
}

void CConsoleHost::Quit()
{
    m_pump.MarkQuitting();
    // Queued: a quit asked for before the loop runs is not lost, and one asked for inside
    // a pass ends the loop once the pass has unwound.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

int CConsoleHost::ExitStatus() const
{
    if (m_signalled)
        return ConsoleExit::kSuccess;
    if (const CBackupEngine* engine = m_app.Engine(); engine && engine->SettingBackupFailed())
        return ConsoleExit::kSettingFailed;
    if (m_sink.ErrorCount() > 0)
        return ConsoleExit::kErrorsReported;
    return ConsoleExit::kSuccess;
}
