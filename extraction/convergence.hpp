// How far a master is from done, judged after every merged batch of walks.
#pragma once

#include <vector>

#include "extraction/coupling_criteria.hpp"
#include "extraction/stat_table.hpp"

struct configure;

struct convergence {
    int progress;  // 0..100
    int figure;    // percent of the master's capacitance in accurate couplings; -1 when not asked
    int count;     // number of accurate couplings; -1 when none
};

convergence evaluate_convergence(const net_stat_table& net_stats, const std::vector<coupling_criterion>& criteria,
                                 const conductor* master, const configure& cfg);
