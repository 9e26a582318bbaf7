#include "termination_signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kCaughtSignals[] = {SIGINT, SIGTERM};

// Written before the handlers are installed and cleared after they are removed; the
// handler only reads it.
volatile sig_atomic_t g_signalPipe = -1;

bool SetDisposition(void (*handler)(int))
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Restarting keeps the file work of a pass free of EINTR surprises; the pass learns
    // of the signal through the pipe anyway.
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kCaughtSignals)
        if (sigaction(signalNumber, &action, nullptr) != 0)
            return false;
    return true;
}

} // namespace

CTerminationSignals::~CTerminationSignals()
{
    Uninstall();
}

void CTerminationSignals::OnSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = g_signalPipe;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a pending signal: losing this byte loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

bool CTerminationSignals::Install(Handler handler)
{
    Uninstall();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m_readFd = fds[0];
    m_writeFd = fds[1];
    m_handler = std::move(handler);
    m_notifier = std::make_unique<QSocketNotifier>(m_readFd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { ReadPending(); });
    g_signalPipe = m_writeFd;
    m_installed = true;
    if (!SetDisposition(&CTerminationSignals::OnSignal)) {
        const int error = errno;
        Uninstall();
        errno = error;
        return false;
    }
    return true;
}

void CTerminationSignals::ReadPending()
{
    unsigned char bytes[16];
    ssize_t count;
    int first = 0;
    while ((count = ::read(m_readFd, bytes, sizeof bytes)) > 0 || (count < 0 && errno == EINTR))
        if (count > 0 && first == 0)
            first = bytes[0];
    if (first == 0)
        return;
    // From here on the next signal is not caught any more (see Install).
    SetDisposition(SIG_DFL);
    if (m_handler) {
        const Handler handler = m_handler;
        handler(first);
    }
}

void CTerminationSignals::Uninstall()
{
    if (m_installed) {
        SetDisposition(SIG_DFL);
        m_installed = false;
    }
    g_signalPipe = -1;
    m_notifier.reset();
    m_handler = {};
    for (int* fd : {&m_readFd, &m_writeFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}
