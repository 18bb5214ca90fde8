#include "Vude/App/UnixSignalWatcher.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// The self-pipe: the handler may only do async-signal-safe work, so it writes
// the signal number and the event loop reads it.
std::array<int, 2> g_pipe{-1, -1};

void handleSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

bool makePipe()
{
    return g_pipe[0] >= 0 || ::pipe2(g_pipe.data(), O_CLOEXEC | O_NONBLOCK) == 0;
}

} // namespace

void UnixSignalWatcher::catchSignals(std::initializer_list<int> signalNumbers)
{
    if (!makePipe())
        return;
    sigset_t unblocked;
    sigemptyset(&unblocked);
    for (const int signalNumber : signalNumbers) {
        struct sigaction action {};
        action.sa_handler = handleSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(signalNumber, &action, nullptr);
        sigaddset(&unblocked, signalNumber);
    }
    // After the handlers are in place, so a signal pending since the start is
    // caught rather than acted on by default.
    ::pthread_sigmask(SIG_UNBLOCK, &unblocked, nullptr);
}

UnixSignalWatcher::UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent)
{
    catchSignals(signalNumbers);
    if (g_pipe[0] < 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readPending);
}

UnixSignalWatcher::~UnixSignalWatcher() = default;

void UnixSignalWatcher::readPending()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        emit received(byte);
}
