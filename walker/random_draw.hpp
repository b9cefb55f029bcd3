// Uniform numbers and cumulative-table picks of the walkers. Every draw takes
// one 32-bit output of the walker's own engine, so a run's random sequence is
// fixed by the engines' seeds and the order of the draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

using walker_rng = std::mt19937;

// 2^-32: a 32-bit output maps into [0, 1).
constexpr double uniform_scale = 2.3283064365386963e-10;

inline double uniform01(walker_rng& rng) { return double(rng()) * uniform_scale; }

// First index i in [0, n) with value(i) >= r (n when none); value ascending.
template <class Value>
inline std::size_t first_reaching(std::size_t n, double r, Value value) {
    std::size_t lo = 0;
    while (n > 0) {
        const std::size_t half = n / 2;
        if (value(lo + half) < r) {
            lo += half + 1;
            n -= half + 1;
        } else {
            n = half;
        }
    }
    return lo;
}

// First index i in [0, n) with cdf[i] >= r (n when none); cdf ascending.
template <class T>
inline std::size_t cdf_lower_bound(const T* cdf, std::size_t n, double r) {
    return first_reaching(n, r, [cdf](std::size_t i) { return double(cdf[i]); });
}

// The index cdf_lower_bound finds for r = k 2^-32, clamped to n - 1 (n >= 1),
// started at the table's cut points (build_guide over 2^bits slices): no
// value before the cut point of r's slice reaches the slice's lower end.
inline std::size_t guided_lower_bound(const double* cdf, std::size_t n, const std::uint32_t* cells, unsigned bits,
                                      std::uint32_t k) {
    const double r = double(k) * uniform_scale;
    std::size_t i = cells[k >> (32 - bits)];
    while (i + 1 < n && cdf[i] < r) ++i;
    return i;
}

// Cell centre of a stratified draw: (floor(r n) + 0.5) / n.
inline double cell_centre(double r, double n) {
    return (double((long long)(r * n)) + 0.5) / n;
}

// A stratified draw spread over its whole cell: the cell from r, the place
// within it from s. Centres alone would be a fixed midpoint rule, which
// quantises every area the sample is clipped to.
inline double cell_point(double r, double s, double n) {
    return (double((long long)(r * n)) + s) / n;
}
