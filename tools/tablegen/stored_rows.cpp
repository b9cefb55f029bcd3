#include "tools/tablegen/stored_rows.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "transition_tables/panel_layout.hpp"

namespace {

// Gradients of a side-1 cube are twice those in half-side units.
constexpr double unit_side_scale = 2.0;

vec3 direction_of(int panels, std::size_t i) {
    return panels == 31 ? panel_direction<31>(i) : panel_direction<32>(i);
}

} // namespace

stored_rows make_stored_rows(const cube_exit& e) {
    stored_rows s;
    // Rounding may leave a far panel a hair below zero; a cumulative row
    // must never decrease.
    s.gft.resize(e.probability.size());
    std::transform(e.probability.begin(), e.probability.end(), s.gft.begin(),
                   [](double v) { return std::max(v, 0.0); });

    for (int axis = 0; axis < 3; ++axis) {
        const std::vector<double>& g = e.gradient[std::size_t(axis)];
        std::vector<double>& row = s.gft_is[std::size_t(axis)];
        row.resize(g.size());
        double total = 0.0;
        for (double v : g) total += std::abs(v);
        double sum = 0.0;
        for (std::size_t i = 0; i < g.size(); ++i) {
            double v = unit_side_scale * g[i];
            if (axis_of(direction_of(e.panels, i), axis) == 0.0 &&
                std::abs(g[i]) <= symmetry_zero_fraction * total)
                v = 0.0;
            row[i] = v;
            sum += std::abs(v);
        }
        s.wvt_is[std::size_t(axis)] = sum;
    }
    return s;
}
