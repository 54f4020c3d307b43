#include "cli/stop_signals.h"

namespace pictavo::cli {

namespace {

// All a signal handler may safely do is set such a flag; the progress handler reads it.
volatile std::sig_atomic_t g_received = 0;

extern "C" void noteSignal(int signal)
{
    g_received = signal;
}

} // namespace

StopSignals::StopSignals()
{
    g_received = 0;
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // Output that a signal interrupts goes on; a second signal finds the default again.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, &m_previousInt);
    sigaction(SIGTERM, &action, &m_previousTerm);
}

StopSignals::~StopSignals()
{
    sigaction(SIGINT, &m_previousInt, nullptr);
    sigaction(SIGTERM, &m_previousTerm, nullptr);
}

bool StopSignals::keepGoing(std::chrono::milliseconds)
{
    return g_received == 0;
}

int StopSignals::received() const
{
    return int(g_received);
}

} // namespace pictavo::cli
