// Lets a process finish what must not be cut short when it is interrupted
// (SIGINT, SIGTERM, SIGHUP of a closed terminal or session, SIGQUIT). While
// a guard lives, these signals are blocked in the thread that made it and
// in every thread that thread starts afterwards; a thread of the guard's
// own waits for them. On one it calls the given function (an ordinary call
// on an ordinary thread, never inside a signal handler) and then ends the
// process by the signal's default action (a core dump for SIGQUIT), so the
// parent still sees the process killed by that signal. The function does
// not hand control back to the interrupted work: it may keep locks that the
// work's threads then wait on until the end.
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace sea {

class interrupt_guard {
public:
    // Must be made before the threads it should cover. A signal that the
    // process ignores (a background job's SIGINT) stays ignored.
    explicit interrupt_guard(std::function<void()> on_interrupt);
    // Stops the waiting thread and restores the signal mask; a signal that
    // came meanwhile is delivered then, by its default action.
    ~interrupt_guard();
    interrupt_guard(const interrupt_guard&) = delete;
    interrupt_guard& operator=(const interrupt_guard&) = delete;

private:
    void wait_for_signals();

    std::function<void()> on_interrupt;
    sigset_t guarded;
    sigset_t old_mask;
    std::atomic<bool> stopping{false};
    std::thread waiter;
};

} // namespace sea
