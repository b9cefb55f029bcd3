// How far a master is from done, judged after every merged batch of walks.
#pragma once

#include <vector>

#include "extraction/coupling_criteria.hpp"
#include "extraction/stat_table.hpp"

struct configure;

// Walks after which a master estimate that has shown no spread counts as
// converged all the same (a master that no other net can take charge from).
constexpr std::int64_t degenerate_walks = 10000000;

struct convergence {
    int progress;  // 0..100
    int figure;    // percent of the master's capacitance in accurate couplings; -1 when not asked
    int count;     // number of accurate couplings; -1 when none
    bool degenerate = false;  // the master's estimate has shown no spread yet
};

// Whether the master's estimate e has shown a spread that its error can be
// judged by. Walks that have all ended on one net, or a sample variance of
// zero, say only that too few walks have reached anything else: an error bar
// of zero is no accuracy.
bool master_spread_shown(const net_stat_table& net_stats, const key_estimate& e);

convergence evaluate_convergence(const net_stat_table& net_stats, const std::vector<coupling_criterion>& criteria,
                                 const conductor* master, const configure& cfg);
