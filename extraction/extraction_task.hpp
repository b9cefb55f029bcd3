// The work on one master: its Gaussian surface, walks on several threads,
// stratified statistics, convergence and progress lines, and the report.
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

class problem_manager;
class space_manager_interface;
struct configure;
struct layout;
struct table_store;

struct floating_count {
    std::int64_t master_hits = 0;  // walks across the conductor that ended on the master
    std::int64_t walks = 0;        // walks across the conductor
};

class extraction_task {
public:
    extraction_task(problem_manager& run, conductor* master);
    extraction_task(const extraction_task&) = delete;
    extraction_task& operator=(const extraction_task&) = delete;

    void start();
    void run_walks();
    void walk();
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

    configure* cfg;
    ::layout* layout;
    std::unique_ptr<space_manager_interface>* space_manager;
    table_store* tables;
    run_writers* writers;
    gauss_surface gauss;
    net_stat_table net_stats;
    block_stat_table block_stats;
    std::vector<coupling_criterion> criteria;
    conductor* master;
    std::unordered_map<const conductor*, floating_count> floating_hits;
    sea::spin_lock floating_lock;  // floating_hits is updated outside `lock`
    std::atomic<bool> stop{false};  // set once, under `lock`; read by every walk thread
    sea::spin_lock lock;            // guards the statistics and everything below
    bool master_done = false;
    std::uint64_t hops = 0;
    std::uint64_t gtried = 0;
    double sumpdf = 0.0;
    std::int64_t last_progress_walks = 0;
    std::int32_t last_coupling_count = 0;

private:
    void merge(std::vector<walk_record>& buffer);
    void act_on_convergence();
    void walk_until_stopped();
    // Keeps the first error of a walk thread and stops the walks.
    void keep_failure(std::exception_ptr e);

    sea::spin_lock failure_lock;
    std::exception_ptr failure;      // the first walk thread's error, under failure_lock
    std::atomic<bool> failed{false};  // set with `failure`
};
