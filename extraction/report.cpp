#include "extraction/extraction_task.hpp"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/configure.hpp"
#include "extraction/prepared_input.hpp"
#include "geometry/layout.hpp"

namespace {

// Nets below this share of the master's capacitance are not listed.
constexpr double net_threshold = 0.0001;
constexpr double block_threshold = 1e-05;
// A coupling known worse than this is shown as an upper bound.
constexpr double bound_rel = 0.5;
// Slack allowed before a coupling criterion counts as missed.
constexpr double criterion_slack = 1.01;

struct capacitance {
    double cap = 0.0;
    double rel = 0.0;
};

// An error that the walks cannot tell: a variance below zero is rounding
// noise, and an error of 0 would claim an exact value.
constexpr double unknown_rel = std::numeric_limits<double>::infinity();

template <class Table>
capacitance capacitance_of(const Table& table, const key_sums& s, double factor) {
    const key_estimate e = table.estimate(s);
    return {factor * e.raw(), e.has_rel() ? e.rel() : unknown_rel};
}

// Written so that a ratio that is no number (0 / 0) is listed too.
bool below(double cap, double master_cap, double threshold) { return cap / master_cap < threshold; }

// Position of each entry of a list, so that the report lists nets and blocks
// in input order: the statistics' hash order follows their addresses, which
// change from run to run.
template <class T>
struct positions {
    explicit positions(const std::vector<T*>& list) {
        for (std::size_t i = 0; i < list.size(); ++i) at.emplace(list[i], i);
    }
    // Null, or anything not in the list, ranks last.
    std::size_t operator()(const T* item) const {
        const auto it = at.find(item);
        return it == at.end() ? at.size() : it->second;
    }
    std::unordered_map<const T*, std::size_t> at;
};

// The entries of a statistics map in the order of rank(key).
template <class Map, class Rank>
std::vector<const typename Map::value_type*> in_order(const Map& map, Rank rank) {
    std::vector<const typename Map::value_type*> entries;
    entries.reserve(map.size());
    for (const auto& entry : map) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(), [&](auto* a, auto* b) { return rank(a->first) < rank(b->first); });
    return entries;
}

} // namespace

void extraction_task::report() const {
    sea::writer& both = writers->both();
    sea::writer& file = writers->file();
    const double factor = surface_factor();
    const char* mname = master->name.c_str();
    const net_stat_table& net_stats = stats.net_stats;
    const block_stat_table& block_stats = stats.block_stats;
    const positions<conductor> net_at(input->layout.nets);
    const positions<block> block_at(input->layout.all_blocks);
    const auto nets = in_order(net_stats.sums, net_at);

    capacitance own;
    if (const key_sums* s = net_stats.find(master)) own = capacitance_of(net_stats, *s, factor);
    const char* unconverged = unconverged_reason();
    if (unconverged) own.rel = unknown_rel;
    const double own_error = own.rel == unknown_rel ? unknown_rel : own.rel * own.cap;
    both.printf("\nMaster %s : %12.3eF  +/-%10.2eF   (%5.2f%%)\n", mname, own.cap, own_error, 100 * own.rel);
    if (unconverged)
        both.printf("Not converged: master %s stopped after %lld walks, at the walk cap of %lld; %s, so its error "
                    "cannot be measured.\n",
                    mname, static_cast<long long>(net_stats.nwalks), static_cast<long long>(degenerate_walks),
                    unconverged);
    both.printf("\n");

    for (const auto* entry : nets) {
        const auto& [net, s] = *entry;
        if (net == nullptr) continue;
        capacitance c = capacitance_of(net_stats, s, factor);
        if (below(c.cap, own.cap, net_threshold)) continue;
        if (net == master) c.rel = own.rel;
        if (cfg->simple_format) {
            file.printf("caperr %s %s ", mname, net->name.c_str());
            file.printf("%.3e %.4f\n", c.cap, c.rel);
            continue;
        }
        file.printf("    %-15s: %12.3eF  ", net->name.c_str(), net == master ? c.cap : -c.cap);
        if (c.rel < bound_rel)
            file.printf("+/- %5.2f%%\n", 100 * c.rel);
        else
            file.printf("<~  %5.2eF\n", (2 * c.rel + 1) * c.cap);
    }

    file.printf("\nCAPACITANCE\n\n");
    file.printf("Capacitance on %s =  %12.6e F\n", mname, own.cap);
    for (const auto* entry : nets) {
        const auto& [net, s] = *entry;
        if (net == nullptr || net == master) continue;
        const capacitance c = capacitance_of(net_stats, s, factor);
        if (below(c.cap, own.cap, net_threshold)) continue;
        file.printf("Capacitance on %s = -%12.6e F\n", net->name.c_str(), c.cap);
    }
    file.printf("\n");

    for (const auto* entry : in_order(floating_hits, net_at)) {
        const auto& [net, count] = *entry;
        if (count.master_hits == 0) continue;
        file.printf("Voltage of floating conductor %s: %f V\n", net->name.c_str(),
                    static_cast<double>(count.master_hits) / static_cast<double>(count.walks));
    }

    bool block_level = cfg->simple_format;
    if (!cfg->simple_format) {
        for (const coupling_criterion& c : criteria) {
            const key_sums* s = net_stats.find(c.net);
            // A net that no walk reached is under no control, unless the
            // criterion's ratio excuses a net of no capacitance.
            const double rel = s ? capacitance_of(net_stats, *s, factor).rel
                                 : (c.ratio * own.cap > 0 ? 0.0 : unknown_rel);
            if (rel > criterion_slack * c.error)
                file.printf("No error control on coupling capacitancebetween %s and %s\n", mname, c.net->name.c_str());
        }
        if (cfg->extract_level) {
            file.printf("\nblock capacitance of %s's blocks: \n\n", mname);
            block_level = true;
        }
    }
    if (block_level) {
        const auto rank = [&](const block_pair& p) { return std::make_pair(block_at(p.first), block_at(p.second)); };
        for (const auto* entry : in_order(block_stats.sums, rank)) {
            const auto& [pair, s] = *entry;
            const block* from = pair.first;
            const block* to = pair.second;
            if (!from || !to) continue;
            capacitance c = capacitance_of(block_stats, s, factor);
            if (below(c.cap, own.cap, block_threshold)) continue;
            if (unconverged && to->owner == master) c.rel = unknown_rel;
            if (cfg->simple_format) {
                file.printf("caperr %s::%s ", from->owner->name.c_str(), from->name.c_str());
                file.printf("%s::%s ", to->owner->name.c_str(), to->name.c_str());
                file.printf("%.3e %.4f\n", c.cap, c.rel);
            } else {
                file.printf("    %-15s ", from->name.c_str());
                file.printf("<-> %-15s::%-15s ", to->owner->name.c_str(), to->name.c_str());
                file.printf(" : %10.3eF  +/- %5.2f%%\n", c.cap, 100 * c.rel);
            }
        }
    }
    both.printf("\n").flush();
}
