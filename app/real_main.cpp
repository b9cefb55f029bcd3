#include "app/real_main.hpp"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/configure.hpp"
#include "config/parse_configure.hpp"
#include "extraction/problem_manager.hpp"
#include "foundation/duration.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/log_writers.hpp"

namespace {

// The name a stream was opened under, for messages.
std::string stream_name(FILE* stream) {
    char name[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(::fileno(stream));
    const ssize_t n = ::readlink(link.c_str(), name, sizeof name - 1);
    return n > 0 ? std::string(name, static_cast<std::size_t>(n)) : link;
}

// A report that did not reach its file in full (a full disk, a file size
// limit) must not end as a successful run.
void check_report_written(FILE* report) {
    if (!report) return;
    const bool flushed = std::fflush(report) == 0;
    const int reason = errno;
    if (flushed && !std::ferror(report)) return;
    std::string message = "the report could not be written in full to \"" + stream_name(report) + "\"";
    if (!flushed) message += std::string(": ") + std::strerror(reason);
    error_handler::instance().raise(sea::basic_error(message));
}

} // namespace

void real_main(int argc, char** argv) {
    const std::int64_t t0 = steady_nanoseconds();
    configure cfg;
    parse_configure(cfg, argc, argv);

    rebuild_log_writers(cfg.log_level,
                        {cfg.log_debug_file, cfg.log_info_file, cfg.log_warn_file, cfg.log_error_file});
    // Fatal messages reach the error stream even when error logging is off.
    if (cfg.log_error_file) error_handler::instance().set_stream(cfg.log_error_file);

    problem_manager run(cfg);
    run.run();
    run.extract_all();

    const std::int64_t elapsed = steady_nanoseconds() - t0;
    run.both().printf("Total cost: ");
    write_duration(run.screen(), elapsed).put('\n').flush();
    write_seconds(run.file(), elapsed).put('\n').flush();
    check_report_written(cfg.output_file);
}
