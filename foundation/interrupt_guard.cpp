#include "foundation/interrupt_guard.hpp"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>

namespace sea {

namespace {

constexpr int stop_value = 0x6b767278;

} // namespace

interrupt_guard::interrupt_guard(std::function<void()> fn) : on_interrupt(std::move(fn)) {
    sigemptyset(&guarded);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction current;
        if (::sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) sigaddset(&guarded, sig);
    }
    // The waiter also blocks SIGTERM when the process ignores it: its own
    // stop request must wait for it, not be dropped.
    sigset_t waited = guarded;
    sigaddset(&waited, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &waited, &old_mask);
    waiter = std::thread([this] { wait_for_signals(); });
    ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
    ::pthread_sigmask(SIG_BLOCK, &guarded, nullptr);
}

interrupt_guard::~interrupt_guard() {
    stopping.store(true);
    // SIGTERM queued to the waiter alone, with this process as its sender,
    // is told apart from one sent to the process.
    union sigval stop_request;
    stop_request.sival_int = stop_value;
    ::pthread_sigqueue(waiter.native_handle(), SIGTERM, stop_request);
    waiter.join();
    ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
}

void interrupt_guard::wait_for_signals() {
    sigset_t waited = guarded;
    sigaddset(&waited, SIGTERM);
    for (;;) {
        siginfo_t info;
        const int sig = ::sigwaitinfo(&waited, &info);
        if (sig < 0) continue;  // EINTR
        const bool from_guard =
            info.si_code == SI_QUEUE && info.si_pid == ::getpid() && info.si_value.sival_int == stop_value;
        if (from_guard && stopping.load()) return;
        if (!sigismember(&guarded, sig)) continue;  // a SIGTERM the process ignores
        on_interrupt();
        ::signal(sig, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, sig);
        ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(sig);
        ::_exit(128 + sig);
    }
}

} // namespace sea
