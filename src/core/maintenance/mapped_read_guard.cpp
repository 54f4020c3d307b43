#include "maintenance/mapped_read_guard.h"

#include <mutex>

#include <setjmp.h>
#include <signal.h>

namespace pictavo {
namespace {

// Where a fault inside the innermost guarded read of a thread resumes.
struct GuardedRead
{
    sigjmp_buf resume;
    GuardedRead *outer;
};

// Read by the signal handler. Initial-exec: found at a fixed offset from the thread
// pointer, without a call that might allocate the thread's storage inside the handler.
[[gnu::tls_model("initial-exec")]] thread_local GuardedRead *t_read = nullptr;

// SIGBUS's action before ours, given back to a signal that is not a guarded read's.
struct sigaction g_before;

// The codes of a page the kernel could not supply: a file cut short, a read error, a
// memory error. A misaligned access is a fault of the program, and kill() or raise() give
// codes of zero or less: those end the process as before.
bool isUnreadablePage(const siginfo_t *info)
{
    if (info == nullptr)
        return false;
    switch (info->si_code) {
    case BUS_ADRERR:
    case BUS_OBJERR:
#ifdef BUS_MCEERR_AR
    case BUS_MCEERR_AR:
#endif
        return true;
    default:
        return false;
    }
}

// Only async-signal-safe calls here.
void onBusError(int signal, siginfo_t *info, void *)
{
    GuardedRead *const read = t_read;
    if (read != nullptr && isUnreadablePage(info))
        siglongjmp(read->resume, 1);
    ::sigaction(SIGBUS, &g_before, nullptr);
    // A fault happens again as soon as the handler returns, now meeting the old action.
    // A sent signal is sent again; it waits, blocked, until the handler has returned.
    if (info == nullptr || info->si_code <= 0)
        ::raise(signal);
}

void installHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ::sigaction(SIGBUS, nullptr, &g_before);
        struct sigaction action = {};
        action.sa_sigaction = onBusError;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO;
        ::sigaction(SIGBUS, &action, nullptr);
    });
}

} // namespace

bool readMapped(const std::function<void()> &read)
{
    installHandler();
    GuardedRead guarded;
    guarded.outer = t_read;
    // The signal mask is saved, so the jump out of the handler unblocks SIGBUS again.
    if (sigsetjmp(guarded.resume, 1) != 0) {
        t_read = guarded.outer;
        return false;
    }
    t_read = &guarded;
    try {
        read();
    } catch (...) {
        t_read = guarded.outer;
        throw;
    }
    t_read = guarded.outer;
    return true;
}

void outsideMappedReads(const std::function<void()> &call)
{
    struct Restore
    {
        GuardedRead *read;
        ~Restore() { t_read = read; }
    } restore{t_read};
    t_read = nullptr;
    call();
}

} // namespace pictavo
