// Stratified sums of walk weights by key. Stratum 0 holds walks of positive
// weight, stratum 1 (only with two strata) the others; `npath` counts walks per
// stratum over the whole table, which is what makes the per-key estimate of a
// stratum its share of all walks of that stratum.
//
// A capacitance is the surface factor (Gaussian area x sumpdf / gtried)
// times a key's mean walk weight, and the surface factor is a Monte Carlo
// estimate too, drawn by the same walks. The table therefore also keeps, per
// stratum, the sums of each walk's start-point draw (its sumpdf and gtried),
// their squares and product, and per key the sums of weight x sumpdf and
// weight x gtried: enough for the delta-method variance of the whole
// product, covariances included.
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
    double sum_pdf = 0.0;    // weight x the walk's sumpdf
    double sum_tried = 0.0;  // weight x the walk's gtried
};
using key_sums = std::array<stratum_sums, max_strata>;

// The start-point draw of one walk: the density weights of its candidates
// that reached the weight test, and the number of candidates drawn.
struct start_draw {
    double sumpdf = 0.0;
    double gtried = 0.0;
};

// Per stratum, over every walk of a table.
struct draw_sums {
    double pdf = 0.0;
    double pdf_sq = 0.0;
    double tried = 0.0;
    double tried_sq = 0.0;
    double pdf_tried = 0.0;
};

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
    std::array<draw_sums, max_strata> draws{};
    std::unordered_map<Key, key_sums, Hash> sums;

    // A table fed no draws (all zero) estimates the walk mean alone.
    void add(const Key& key, std::size_t stratum, double weight, const start_draw& d = {}) {
        stratum_sums& s = sums[key][stratum];
        s.sum += weight;
        s.sum_sq += weight * weight;
        s.sum_pdf += weight * d.sumpdf;
        s.sum_tried += weight * d.gtried;
        draw_sums& t = draws[stratum];
        t.pdf += d.sumpdf;
        t.pdf_sq += d.sumpdf * d.sumpdf;
        t.tried += d.gtried;
        t.tried_sq += d.gtried * d.gtried;
        t.pdf_tried += d.sumpdf * d.gtried;
        ++npath[stratum];
        ++nwalks;
    }

    // The mean walk weight, and the variance of the capacitance estimate
    // mean x F (F = sumpdf / gtried over the table) in units of the mean:
    // the walk mean's own variance, the surface factor's and their
    // covariance, by the delta method. A walk i of stratum k
    // contributes z_i = m (p_i / P - g_i / G) + w_i / (N n_k) to the
    // linearised estimate (m the mean, P and G the table's totals of sumpdf
    // and gtried, N the number of strata), and the variance is the sum over
    // the strata of the centred sums of squares of z, expanded in the
    // stored sums. Walks do not choose their stratum by their start point,
    // so the draws of a stratum are a sample like any other.
    key_estimate estimate(const key_sums& s) const {
        key_estimate e;
        const double n_strata = static_cast<double>(nstrata);
        double pdf = 0.0, tried = 0.0;
        for (std::size_t k = 0; k < nstrata; ++k) {
            if (npath[k] == 0) continue;
            e.mean += s[k].sum / (n_strata * static_cast<double>(npath[k]));
            pdf += draws[k].pdf;
            tried += draws[k].tried;
        }
        const bool surface = pdf > 0.0 && tried > 0.0;
        const double a = surface ? e.mean / pdf : 0.0;
        const double b = surface ? e.mean / tried : 0.0;
        for (std::size_t k = 0; k < nstrata; ++k) {
            if (npath[k] == 0) continue;
            const double n = static_cast<double>(npath[k]);
            const double c = 1.0 / (n_strata * n);
            const stratum_sums& w = s[k];
            const draw_sums& d = draws[k];
            const double ww = w.sum_sq - w.sum * w.sum / n;
            const double pp = d.pdf_sq - d.pdf * d.pdf / n;
            const double gg = d.tried_sq - d.tried * d.tried / n;
            const double pg = d.pdf_tried - d.pdf * d.tried / n;
            const double wp = w.sum_pdf - w.sum * d.pdf / n;
            const double wg = w.sum_tried - w.sum * d.tried / n;
            e.variance += c * c * ww + a * a * pp + b * b * gg - 2.0 * a * b * pg + 2.0 * a * c * wp - 2.0 * b * c * wg;
        }
        return e;
    }

    // Whether restored sums could come from real walks, within the relative
    // rounding `slack`: each walk drew at least one candidate, no draw is
    // negative (so a sum of squares lies between S^2 / n and S^2), and no
    // cross sum exceeds what the sums of squares allow (Q1 Q2). Held to
    // these bounds, no term of the variance can outgrow the estimate's own.
    bool draws_fit(double slack) const {
        for (std::size_t k = 0; k < nstrata; ++k) {
            const draw_sums& d = draws[k];
            const double n = static_cast<double>(npath[k]);
            if (!(d.pdf >= 0.0) || !(d.tried >= n) || !std::isfinite(d.pdf * d.pdf) ||
                !std::isfinite(d.tried * d.tried) || !(d.pdf * d.pdf <= n * d.pdf_sq * (1 + slack)) ||
                !(d.pdf_sq <= d.pdf * d.pdf * (1 + slack)) || !(d.tried * d.tried <= n * d.tried_sq * (1 + slack)) ||
                !(d.tried_sq <= d.tried * d.tried * (1 + slack)) || !(d.pdf_tried >= 0.0) ||
                !(d.pdf_tried * d.pdf_tried <= d.pdf_sq * d.tried_sq * (1 + slack)))
                return false;
        }
        return true;
    }
    bool key_fits(const key_sums& s, double slack) const {
        for (std::size_t k = 0; k < nstrata; ++k)
            if (!(s[k].sum_pdf * s[k].sum_pdf <= s[k].sum_sq * draws[k].pdf_sq * (1 + slack)) ||
                !(s[k].sum_tried * s[k].sum_tried <= s[k].sum_sq * draws[k].tried_sq * (1 + slack)))
                return false;
        return true;
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
