// The one way a run ends early: an error that carries its message, the
// stream the message goes to, the exit status and whether the clean-up at
// exit runs. Raised wherever a run must end (the geometry, the tables, the
// space manager, the walks), carried across a walk thread's end to the
// master's thread, and handled once, by the entry (app/real_main.cpp).
//
// Not a sea::base_error: those end in "Fatal error: %s\n" and status 255,
// while a run_end's message and status are already final.
#pragma once

#include <string>

namespace sea {

class run_end {
public:
    enum stream_kind : int {
        error_log,        // the error-level log writer
        error_handler,    // the error handler's writer ("Fatal error: ..." lines)
        standard_error,   // standard error itself, whatever the log options
        already_written,  // printed where it was detected; nothing left to print
    };
    // Without clean-up the process ends by _Exit: no at-exit routine and no
    // static destructor runs (the walks, the space manager and the prism
    // records end so, as other walk threads may still use what those
    // routines free); standard I/O buffers are still flushed.
    run_end(std::string message, int status, bool cleanup = true, stream_kind stream = error_log);

    const std::string& message() const { return text; }
    stream_kind stream() const { return where; }
    int status() const { return code; }
    bool cleanup() const { return with_cleanup; }

    // Prints the message on its stream, flushes, and ends the process.
    [[noreturn]] void finish() const;

private:
    std::string text;
    stream_kind where;
    int code;
    bool with_cleanup;
};

// Cold throw helpers, so that the sites on hot paths stay small.
[[noreturn, gnu::cold, gnu::noinline]] void end_run(std::string message, int status, bool cleanup = true,
                                                     run_end::stream_kind stream = run_end::error_log);

}  // namespace sea
