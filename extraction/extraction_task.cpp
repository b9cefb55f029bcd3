#include "extraction/extraction_task.hpp"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <mutex>

#include "config/configure.hpp"
#include "extraction/prepared_input.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/memory_usage.hpp"
#include "foundation/run_end.hpp"
#include "foundation/thread_pool.hpp"
#include "geometry/layout.hpp"
#include "walker/walker_factory.hpp"

namespace {

// Walks buffered by a thread before it tries to merge them.
constexpr std::size_t merge_batch = 1000;
// Merged walks between two progress lines.
constexpr std::int64_t progress_interval = 200000;

struct thread_sums {
    std::uint64_t hops = 0;
    std::uint64_t gtried = 0;
    double sumpdf = 0.0;
};

} // namespace

extraction_task::extraction_task(const configure& c, const prepared_input& in, const run_writers& w,
                                 const conductor* m)
    : cfg(&c), input(&in), writers(&w), gauss(&c, &in.layout), master(m) {}

void extraction_task::start() {
    writers->screen().printf("Online Info. Start For Master %s\n", master->name.c_str());
    build_master_gauss_surfaces(gauss, *master);
    if (cfg->strat_sampling) {
        stats.net_stats.nstrata = 2;
        stats.block_stats.nstrata = 2;
    }
    parse_criteria(criteria, *cfg, input->layout, master);
}

void extraction_task::run_walks() {
    sea::thread_pool::temporary_run(static_cast<int>(cfg->nthreads), [this](int) { walk(); });
    // A walk thread's error ends the run from the master's thread, once
    // every walk thread has ended.
    if (failure) std::rethrow_exception(failure);
    write_memory_line(log_info_w());
}

void extraction_task::stop_and_hold() {
    lock.lock();
    stop.store(true, std::memory_order_seq_cst);
}

void extraction_task::keep_failure(std::exception_ptr e) {
    {
        std::lock_guard<sea::spin_lock> guard(failure_lock);
        if (!failure) failure = std::move(e);
    }
    failed.store(true, std::memory_order_relaxed);
    stop.store(true, std::memory_order_seq_cst);
}

convergence extraction_task::check_convergence() const {
    return evaluate_convergence(stats.net_stats, criteria, master, *cfg);
}

double extraction_task::surface_factor() const {
    return gauss.total_area * stats.sumpdf / static_cast<double>(stats.gtried);
}

const char* extraction_task::unconverged_reason() const {
    const net_stat_table& net_stats = stats.net_stats;
    const key_sums* own = net_stats.find(master);
    if (!own || master_spread_shown(net_stats, net_stats.estimate(*own))) return nullptr;
    return net_stats.sums.size() < 2
               ? "every walk ended on the master itself (no other net and no absorbing window side takes its charge)"
               : "its walks showed no spread";
}

bool extraction_task::estimate_is_finite() const {
    const net_stat_table& net_stats = stats.net_stats;
    if (stats.gtried != 0 && !std::isfinite(surface_factor())) return false;
    for (const auto& entry : net_stats.sums)
        for (std::size_t k = 0; k < net_stats.nstrata; ++k)
            if (!std::isfinite(entry.second[k].sum) || !std::isfinite(entry.second[k].sum_sq) ||
                !std::isfinite(entry.second[k].sum_pdf) || !std::isfinite(entry.second[k].sum_tried))
                return false;
    return true;
}

void extraction_task::merge(std::vector<walk_record>& buffer) {
    for (const walk_record& r : buffer) {
        const conductor* net = r.terminal_block ? r.terminal_block->owner : nullptr;
        const start_draw draw{r.sumpdf, r.gtried};
        stats.net_stats.add(net, static_cast<std::size_t>(r.stratum), r.weight, draw);
        // Every walk that came back to the master is booked on its own start
        // block, whichever master block it reached.
        const bool on_own_net =
            r.origin_block && r.terminal_block && r.terminal_block->owner == r.origin_block->owner;
        const block_pair key = on_own_net ? block_pair{r.origin_block, r.origin_block}
                                          : block_pair{r.origin_block, r.terminal_block};
        stats.block_stats.add(key, static_cast<std::size_t>(r.stratum), r.weight, draw);
    }
    buffer.clear();
}

void extraction_task::act_on_convergence() {
    // After a walk thread's error the run ends: nothing more is said of it.
    if (failed.load(std::memory_order_relaxed)) return;
    // The run reports the broken estimate once the walk threads have ended.
    if (!estimate_is_finite()) {
        stop.store(true, std::memory_order_seq_cst);
        return;
    }
    const convergence c = check_convergence();
    sea::writer& screen = writers->screen();
    // Threads still merging after the stop would repeat the warning.
    if (c.progress == 100 && c.degenerate && !master_done && !stop.load(std::memory_order_relaxed))
        log_warn_w()
            .printf("warning: master %s stops after %lld walks without a measurable error: every walk ended on one "
                    "net or the walks show no spread, so its capacitance may be far off.",
                    master->name.c_str(), static_cast<long long>(stats.net_stats.nwalks))
            .put('\n')
            .flush();
    if (c.progress == 100) {
        if (c.figure == -1) {
            stop.store(true, std::memory_order_seq_cst);
        } else {
            if (!master_done)
                screen.printf(
                    "\nMaster cap has attained required accuracy.\n...Continue for more accurate coupling caps.\n\n");
            master_done = true;
            if (c.figure > 79) {
                screen.printf("\nCoupling caps with wanted accuracy count for %2d%% of master cap.\n", c.figure);
                stop.store(true, std::memory_order_seq_cst);
            }
        }
    }
    const net_stat_table& net_stats = stats.net_stats;
    const std::int64_t walks = net_stats.nwalks;
    if (walks - last_progress_walks < progress_interval) return;
    last_progress_walks = walks;
    if (!master_done) {
        const key_sums* own = net_stats.find(master);
        const double raw = own ? net_stats.estimate(*own).raw() : 0.0;
        screen.printf("Online Info. %10lld random walks,  master cap: %10.3g,  progress %2d%%\n",
                      static_cast<long long>(walks), surface_factor() * raw, c.progress);
    } else {
        screen.printf("Online Info. %10lld random walks\n", static_cast<long long>(walks));
        if (static_cast<std::int32_t>(c.count - last_coupling_count) > 0) {
            last_coupling_count = c.count;
            screen.printf("\nCoupling caps with wanted accuracy count for %2d%% of master cap.\n\n", c.figure);
        }
    }
}

void extraction_task::walk() {
    try {
        walk_until_stopped();
    } catch (...) {
        keep_failure(std::current_exception());
    }
}

void extraction_task::walk_until_stopped() {
    std::unique_ptr<random_walker_interface> walker;
    create_walker(walker, walker_task_head{cfg, &input->layout, &input->space_manager, &input->tables}, &gauss);
    std::vector<walk_record> buffer;
    buffer.reserve(2 * merge_batch);
    thread_sums local;
    const bool strata = cfg->strat_sampling;
#ifdef KORVEX_TEST_HOOKS
    // Tests end every walk thread with an error after this many of its
    // walks, to show that the error ends the run from the master's thread,
    // once. Builds with KORVEX_TEST_HOOKS only.
    const char* fail_after = std::getenv("KORVEX_TEST_FAIL_AFTER_WALKS");
    long long walks_left = fail_after ? std::atoll(fail_after) : -1;
#endif

    auto merge_local = [&] {
        stats.hops += local.hops;
        stats.gtried += local.gtried;
        stats.sumpdf += local.sumpdf;
        local = thread_sums{};
        merge(buffer);
    };

    while (!stop.load(std::memory_order_acquire)) {
        const walk_result& r = *walker->walk_once();
#ifdef KORVEX_TEST_HOOKS
        if (walks_left >= 0 && walks_left-- == 0) sea::end_run("a walk failed (test hook)\n", -1, false);
#endif
        const crossed_floating_set& crossed = walker->crossed();
        if (!crossed.empty()) {
            const bool on_master = r.terminal && r.terminal->owner == master;
            std::lock_guard<sea::spin_lock> guard(floating_lock);
            for (const conductor* f : crossed) {
                floating_count& fc = floating_hits[f];
                fc.master_hits += on_master ? 1 : 0;
                fc.walks += 1;
            }
        }
        local.hops += r.hops;
        local.gtried += r.gtried;
        local.sumpdf += r.sumpdf;
        // A NaN weight is not greater than 0 either, so it goes to stratum 1.
        const std::int64_t stratum = (strata && !(r.weight > 0.0)) ? 1 : 0;
        buffer.push_back({r.origin, r.terminal, r.weight, stratum, r.sumpdf, static_cast<double>(r.gtried)});
        if (buffer.size() < merge_batch) continue;
        std::unique_lock<sea::spin_lock> merging(lock, std::try_to_lock);
        if (!merging) continue;
        merge_local();
        act_on_convergence();
    }
    std::lock_guard<sea::spin_lock> guard(lock);
    merge_local();
}
