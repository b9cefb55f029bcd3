// Permittivity keys of the layered table sets: up to four values, bottom
// layer first. Equal keys agree within 1e-9 in every value; the hash runs
// over the exact values, so near-equal keys that are not bit-identical
// usually land in different buckets and load twice.
#pragma once

#include <cstddef>
#include <vector>

constexpr std::size_t max_key_length = 4;
constexpr double key_tolerance = 1e-9;

struct table_key {
    std::size_t size = 0;
    double v[max_key_length] = {0, 0, 0, 0};

    table_key() = default;
    table_key(std::initializer_list<double> values);
    std::vector<double> values() const { return std::vector<double>(v, v + size); }
};

struct table_key_hash {
    std::size_t operator()(const table_key& k) const noexcept;
};

struct table_key_equal {
    bool operator()(const table_key& a, const table_key& b) const noexcept;
};
