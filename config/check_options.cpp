#include "config/check_options.hpp"

#include <cmath>
#include <string>
#include <thread>
#include <utility>

#include "config/configure.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/number_text.hpp"

namespace {

void refuse(const std::string& message) { error_handler::instance().raise(sea::basic_error(message)); }

const std::string least_accuracy = "a number of at least " + number_text(smallest_accuracy);
const std::string layout_bound = "at most " + number_text(largest_layout_option);
const std::string tile_bound = std::to_string(largest_tile_count);

// NaN fails every comparison, so each test is written to accept.
bool is_accuracy(double v) { return v >= smallest_accuracy; }
bool within_layout(double v) { return std::isfinite(v) && v <= largest_layout_option; }

void check_accuracies(const configure& cfg) {
    if (!is_accuracy(cfg.accuracy)) refuse("the accuracy \"-p\" must be " + least_accuracy);
    if (!(cfg.coupling_accuracy == 0.0 || is_accuracy(cfg.coupling_accuracy)))
        refuse("the coupling accuracy \"-c\" must be 0 (off) or " + least_accuracy);
    if (!(cfg.coupling_error <= 0.0 || is_accuracy(cfg.coupling_error)))
        refuse("the coupling error \"-e\" (\"--coupling-error\") must be 0 or below (off) or " + least_accuracy);
}

void check_counts(configure& cfg) {
    if (cfg.min_walks < 1) refuse("the minimum walk count \"-t\" must be at least 1");
    if (cfg.nthreads < 0) refuse("the walk thread count \"-n\" must not be negative");
    // Walk threads never wait on anything but each other: beyond one per
    // processor they add no speed, only memory, and far beyond it the
    // machine cannot start them.
    const unsigned processors = std::thread::hardware_concurrency();
    if (processors > 0 && static_cast<unsigned>(cfg.nthreads) > processors) {
        log_warn_w()
            .printf("warning: \"-n\" asks for %d walk threads, more than the %u processors of this machine; %u "
                    "are started.",
                    cfg.nthreads, processors, processors)
            .put('\n')
            .flush();
        cfg.nthreads = static_cast<int>(processors);
    }
}

void check_layout_options(const configure& cfg) {
    if (!within_layout(cfg.window_extension))
        refuse("the window extension \"--window-extension\" must be a finite number of " + layout_bound);
    if (!within_layout(cfg.min_wire_width))
        refuse("the wire width \"-w\" must be a finite number of " + layout_bound + " um");
    if (cfg.min_wire_width > 0 && !within_layout(cfg.window_extension * cfg.min_wire_width))
        refuse("the window extension \"--window-extension\" times the wire width \"-w\" must be " + layout_bound +
               " um");
    if (!std::isfinite(cfg.dump_rotate_degree))
        refuse("the dump rotation \"--dump-rotate-degree\" must be a finite number of degrees");
    const std::pair<const char*, int> tiles[] = {{"--dump-tile-nx", cfg.dump_tile_nx},
                                                 {"--dump-tile-ny", cfg.dump_tile_ny},
                                                 {"--dump-tile-nz", cfg.dump_tile_nz}};
    long long product = 1;
    for (const auto& [name, count] : tiles) {
        if (count < 1 || count > largest_tile_count)
            refuse(std::string("the tile count \"") + name + "\" must be from 1 to " + tile_bound);
        product *= count;
        if (product > largest_tile_count)
            refuse("the tile counts \"--dump-tile-nx\", \"--dump-tile-ny\" and \"--dump-tile-nz\" must make at most " +
                   tile_bound + " tiles together");
    }
}

} // namespace

void check_run_options(configure& cfg) {
    check_counts(cfg);
    check_accuracies(cfg);
    check_layout_options(cfg);
}
