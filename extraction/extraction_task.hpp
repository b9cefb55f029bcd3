// The work on one master: its Gaussian surface, walks on several threads,
// stratified statistics, convergence and progress lines, and the report.
//
// Lifecycle: start (surface, strata, criteria), then, when resuming, the
// stored statistics go in through statistics_before_walks, then run_walks,
// then the run reads the totals, the report and the resume data. The walk
// threads share the prepared input and the surface read-only; the
// statistics are theirs under `lock` while they walk.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <unordered_map>
#include <vector>

#include "extraction/convergence.hpp"
#include "extraction/coupling_criteria.hpp"
#include "extraction/run_writers.hpp"
#include "extraction/stat_table.hpp"
#include "extraction/walk_record.hpp"
#include "foundation/spin_lock.hpp"
#include "walker/gauss_surface.hpp"

struct configure;
struct prepared_input;

struct floating_count {
    std::int64_t master_hits = 0;  // walks across the conductor that ended on the master
    std::int64_t walks = 0;        // walks across the conductor
};

// What one master's merged walks have gathered: the statistics tables and
// the start-point sums behind the surface factor.
struct task_statistics {
    net_stat_table net_stats;
    block_stat_table block_stats;
    std::uint64_t hops = 0;    // of the walks merged in this run only
    std::uint64_t gtried = 0;  // start-point draws (JSON key "task.gtried")
    double sumpdf = 0.0;       // start-point weights (JSON key "task.sumpdf")
};

class extraction_task {
public:
    extraction_task(const configure& cfg, const prepared_input& input, const run_writers& writers,
                    const conductor* master);
    extraction_task(const extraction_task&) = delete;
    extraction_task& operator=(const extraction_task&) = delete;

    void start();
    // Returns when every walk thread has ended; a walk thread's error is
    // raised again here, on the master's thread.
    void run_walks();
    convergence check_convergence() const;
    void report() const;

    // Turns a raw estimate into farads: Gaussian area x sumpdf / gtried.
    double surface_factor() const;

    // Why the master's estimate shows no error to judge it by, or null when
    // it does. A master stops so only at the walk cap (degenerate_walks).
    const char* unconverged_reason() const;

    // False once a sum of the statistics or the surface factor is no longer
    // a finite number: the master could then never converge.
    bool estimate_is_finite() const;

    const conductor& master_conductor() const { return *master; }
    const gauss_surface& surface() const { return gauss; }
    const task_statistics& statistics() const { return stats; }
    // The statistics to fill from the resume file: only before run_walks.
    task_statistics& statistics_before_walks() { return stats; }

    // Stops the walks for good: takes the task's lock and keeps it, so that
    // no walk thread merges or prints any more (an interrupt ends the
    // process meanwhile).
    void stop_and_hold();

private:
    friend struct extraction_task_probe;  // tests set a task's state directly

    void walk();
    void walk_until_stopped();
    void merge(std::vector<walk_record>& buffer);
    void act_on_convergence();
    // Keeps the first error of a walk thread and stops the walks.
    void keep_failure(std::exception_ptr e);

    const configure* cfg;
    const prepared_input* input;
    const run_writers* writers;
    gauss_surface gauss;
    task_statistics stats;
    std::vector<coupling_criterion> criteria;
    const conductor* master;
    std::unordered_map<const conductor*, floating_count> floating_hits;
    sea::spin_lock floating_lock;   // floating_hits is updated outside `lock`
    std::atomic<bool> stop{false};  // set once, under `lock`; read by every walk thread
    sea::spin_lock lock;            // guards the statistics and everything below
    bool master_done = false;
    std::int64_t last_progress_walks = 0;
    std::int32_t last_coupling_count = 0;

    sea::spin_lock failure_lock;
    std::exception_ptr failure;       // the first walk thread's error, under failure_lock
    std::atomic<bool> failed{false};  // set with `failure`
};
