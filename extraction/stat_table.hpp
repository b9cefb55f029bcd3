// Stratified sums of walk weights by key. Stratum 0 holds walks of positive
// weight, stratum 1 (only with two strata) the others; `npath` counts walks per
// stratum over the whole table, which is what makes the per-key estimate of a
// stratum its share of all walks of that stratum.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>

struct block;
struct conductor;

// Farad per micrometre: turns a mean walk weight (micrometres) into farads.
constexpr double eps0_per_um = 8.854187817e-18;

constexpr std::size_t max_strata = 2;

struct stratum_sums {
    double sum = 0.0;
    double sum_sq = 0.0;
};
using key_sums = std::array<stratum_sums, max_strata>;

struct key_estimate {
    double mean = 0.0;
    double variance = 0.0;

    double raw() const { return std::fabs(mean) * eps0_per_um; }
    bool has_rel() const { return !(variance < 0.0); }
    // Only meaningful when has_rel().
    double rel() const { return std::sqrt(variance) / std::fabs(mean); }
};

template <class Key, class Hash = std::hash<Key>>
struct stat_table {
    std::int64_t nwalks = 0;
    std::uint64_t nstrata = 1;
    std::int64_t npath[max_strata] = {0, 0};
    std::unordered_map<Key, key_sums, Hash> sums;

    void add(const Key& key, std::size_t stratum, double weight) {
        stratum_sums& s = sums[key][stratum];
        s.sum += weight;
        s.sum_sq += weight * weight;
        ++npath[stratum];
        ++nwalks;
    }

    key_estimate estimate(const key_sums& s) const {
        key_estimate e;
        const double n_strata = static_cast<double>(nstrata);
        for (std::size_t k = 0; k < nstrata; ++k) {
            if (npath[k] == 0) continue;
            const double n = static_cast<double>(npath[k]);
            e.mean += s[k].sum / (n_strata * n);
            e.variance += (s[k].sum_sq - s[k].sum * s[k].sum / n) / ((n_strata * n) * (n_strata * n));
        }
        return e;
    }

    const key_sums* find(const Key& key) const {
        auto it = sums.find(key);
        return it == sums.end() ? nullptr : &it->second;
    }
};

using block_pair = std::pair<const block*, const block*>;

struct block_pair_hash {
    std::size_t operator()(const block_pair& p) const noexcept {
        std::size_t a = std::hash<const block*>()(p.first);
        std::size_t b = std::hash<const block*>()(p.second);
        return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    }
};

using net_stat_table = stat_table<const conductor*>;
using block_stat_table = stat_table<block_pair, block_pair_hash>;
