#pragma once

// SIGINT and SIGTERM end the console program in an orderly way. The signal handler
// only writes the signal number into a pipe (async-signal-safe); the event loop reads it
// through a socket notifier and calls the handler on the main thread, also from inside
// a pass that pumps events, so the pass sees the abort at its next step.

#include <QSocketNotifier>
#include <functional>
#include <memory>

class CTerminationSignals
{
public:
    using Handler = std::function<void(int signalNumber)>;

    CTerminationSignals() = default;
    // Puts the default dispositions back and closes the pipe.
    ~CTerminationSignals();
    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

    // Catches both signals from now on; false (errno set) when that is not possible.
    // After the first signal has been handed on, a second one ends the program at once:
    // a user who presses Ctrl+C again does not want to wait any longer.
    bool Install(Handler handler);

private:
    static void OnSignal(int signalNumber);
    void ReadPending();
    void Uninstall();

    Handler m_handler;
    int m_readFd = -1;
    int m_writeFd = -1;
    bool m_installed = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
