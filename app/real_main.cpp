#include "app/real_main.hpp"

#include "config/configure.hpp"
#include "config/parse_configure.hpp"
#include "extraction/problem_manager.hpp"
#include "foundation/duration.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/file_opener.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/run_end.hpp"

int real_main(int argc, char** argv) {
    const std::int64_t t0 = steady_nanoseconds();
    configure cfg;
    parse_configure(cfg, argc, argv);

    rebuild_log_writers(cfg.log_level,
                        {cfg.log_debug_file, cfg.log_info_file, cfg.log_warn_file, cfg.log_error_file});
    // Fatal messages reach the error stream even when error logging is off.
    if (cfg.log_error_file) error_handler::instance().set_stream(cfg.log_error_file);

    problem_manager run(cfg);
    try {
        if (!run.run()) return 0;
        run.extract_all();
    } catch (const sea::run_end& end) {
        // The one place a run that must end early ends. It is handled while
        // `run` still lives: its writers flush the screen and the output
        // file after the message, as when the process ended where the error
        // was found.
        end.finish();
    }

    const std::int64_t elapsed = steady_nanoseconds() - t0;
    run.both().printf("Total cost: ");
    write_duration(run.screen(), elapsed).put('\n').flush();
    write_seconds(run.file(), elapsed).put('\n').flush();
    // A report that did not reach its file in full is no success.
    sea::config_impl::check_written(cfg.output_file, "the report");
    return run.unconverged_masters() > 0 ? unconverged_exit_status : 0;
}
