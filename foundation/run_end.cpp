#include "foundation/run_end.hpp"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "foundation/error_handler.hpp"
#include "foundation/log_writers.hpp"

namespace sea {

run_end::run_end(std::string message, int status, bool cleanup, stream_kind stream)
    : text(std::move(message)), where(stream), code(status), with_cleanup(cleanup) {}

void run_end::finish() const {
    switch (where) {
        case error_log: log_error_w().write(text.data(), text.size()); break;
        case error_handler: ::error_handler::instance().out().write(text.data(), text.size()).flush(); break;
        case standard_error: std::fwrite(text.data(), 1, text.size(), stderr); break;
        case already_written: break;
    }
    log_error_w().flush();
    if (with_cleanup) std::exit(code);
    std::fflush(nullptr);
    std::_Exit(code);
}

void end_run(std::string message, int status, bool cleanup, run_end::stream_kind stream) {
    throw run_end(std::move(message), status, cleanup, stream);
}

}  // namespace sea
