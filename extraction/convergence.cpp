#include "extraction/convergence.hpp"

#include <algorithm>

#include "config/check_options.hpp"
#include "config/configure.hpp"

namespace {

// Walks after which an unreached master counts as converged.
constexpr std::int64_t blind_walks = 100000;

// 100 q^2, capped at 400 once q > 2; a q that is no number scores 0 rather
// than reaching an undefined float-to-int conversion.
int accuracy_score(double q) {
    if (q > 2.0) return 400;
    return q >= 0.0 ? static_cast<int>(100.0 * q * q) : 0;
}

// Truncated percentage, saturated so that a master estimate of 0 cannot
// overflow the conversion.
int percent_of(double part, double whole) {
    const double p = 100.0 * part / whole;
    if (!(p < 1e9)) return p != p ? 0 : 1000000000;
    return static_cast<int>(p);
}

} // namespace

bool master_spread_shown(const net_stat_table& net_stats, const key_estimate& e) {
    return net_stats.sums.size() > 1 && e.has_rel() && !(e.rel() < smallest_accuracy);
}

convergence evaluate_convergence(const net_stat_table& net_stats, const std::vector<coupling_criterion>& criteria,
                                 const conductor* master, const configure& cfg) {
    const double target = cfg.coupling_accuracy > 0 ? cfg.coupling_accuracy : cfg.accuracy;
    // In 128 bits: a resumed table may hold more walks than 100 times them
    // fits in 64.
    std::int64_t walk_progress = static_cast<std::int64_t>(
        std::min<__int128>(static_cast<__int128>(net_stats.nwalks) * 100 / cfg.min_walks, 100));

    const bool blind_passed = net_stats.nwalks > blind_walks - 1;
    const bool cap_passed = net_stats.nwalks > degenerate_walks - 1;
    double raw_master = 0.0;
    int acc = blind_passed ? 400 : 0;
    bool degenerate = false;
    if (const key_sums* own = net_stats.find(master)) {
        const key_estimate e = net_stats.estimate(*own);
        raw_master = e.raw();
        degenerate = !master_spread_shown(net_stats, e);
        if (degenerate)
            acc = cap_passed ? 400 : 0;
        else
            acc = accuracy_score(target / e.rel());
    }
    const int progress = static_cast<int>(std::min<std::int64_t>(acc, walk_progress));

    // A coupling is waited for as long as the master's own estimate would
    // be: a net that no walk reaches (one inside a closed shell) until the
    // blind walk count, one whose estimate shows no spread until the walk
    // cap. Past them the coupling no longer holds the master; the report
    // says that it missed its error.
    int cp = 100;
    for (const coupling_criterion& c : criteria) {
        const key_sums* s = net_stats.find(c.net);
        if (!s) {
            if (!(c.ratio * raw_master > 0) && !blind_passed) cp = 0;
            continue;
        }
        const key_estimate e = net_stats.estimate(*s);
        const double raw_net = e.raw();
        if (!e.has_rel()) {
            if (raw_net >= c.ratio * raw_master && !cap_passed) cp = 0;
            continue;
        }
        if (raw_net < c.ratio * raw_master) continue;
        const double rel = e.rel();
        if (rel != 0.0)
            cp = std::min(cp, accuracy_score(c.error / rel));
        else if (!cap_passed)
            cp = 0;
    }
    const int final_progress = std::min(cp, progress);
    if (final_progress != 100 || !(cfg.coupling_accuracy > 0)) return {final_progress, -1, -1, degenerate};

    // The window takes its share of the master's capacitance like a net, so
    // the absorbed walks count once they are known well enough; without them
    // a master losing more than a fifth to the window would never stop.
    double sum = 0.0;
    int count = 0;
    bool reached = false;
    for (const auto& [net, s] : net_stats.sums) {
        if (net == master) continue;
        reached = true;
        const key_estimate e = net_stats.estimate(s);
        if (e.has_rel() && !(e.rel() <= cfg.coupling_accuracy)) continue;
        sum += e.raw();
        ++count;
    }
    if (!reached) return {100, 100, -1, degenerate};
    return {100, percent_of(sum, raw_master), count, degenerate};
}
