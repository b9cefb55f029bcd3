#include "transition_tables/table_key.hpp"

#include <cmath>
#include <cstdint>
#include <functional>

table_key::table_key(std::initializer_list<double> values) {
    for (double x : values)
        if (size < max_key_length) v[size++] = x;
}

std::size_t table_key_hash::operator()(const table_key& k) const noexcept {
    std::uint64_t h = 5381;
    for (std::size_t i = 0; i < k.size; ++i) {
        const std::uint64_t x = k.v[i] == 0.0 ? 0 : std::hash<double>()(k.v[i]);
        h = h * 33 + x;
    }
    return static_cast<std::size_t>(h);
}

bool table_key_equal::operator()(const table_key& a, const table_key& b) const noexcept {
    if (a.size != b.size) return false;
    for (std::size_t i = 0; i < a.size; ++i)
        if (!(std::fabs(a.v[i] - b.v[i]) < key_tolerance)) return false;
    return true;
}
