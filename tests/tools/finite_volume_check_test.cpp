// The separated series against a plain finite-volume solve of the same
// layered cube. The finite-volume error is second order in the cell size:
// about 0.2 % of the largest panel at 62 cells a side for a pair cube, and
// it falls four times when the cells halve.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/tools/finite_volume_cube.hpp"
#include "tools/tablegen/configuration_profiles.hpp"
#include "tools/tablegen/cube_exit.hpp"
#include "walker/layer_index.hpp"

namespace {

// Largest panel difference relative to the largest panel.
double deviation(const std::vector<double>& series, const std::vector<double>& volumes) {
    double largest = 0.0, worst = 0.0;
    for (std::size_t i = 0; i < series.size(); ++i) {
        largest = std::max(largest, std::abs(series[i]));
        worst = std::max(worst, std::abs(series[i] - volumes[i]));
    }
    return worst / largest;
}

constexpr int value = 3, d_dz = 2;

TEST(finite_volume_check, pair_and_triple_cubes_agree_to_second_order) {
    // Pair: interface 7/31 half sides above the walker, ten times the
    // permittivity above it, on a cell boundary of the 62-cell grid.
    const dielectric_profile pair = configuration_profile(table_kind::pair, {1.0, 10.0}, 18);
    const cube_exit pe = compute_cube_exit(pair, 31);
    const fv_check::layered_cube pair_cells(pair, 62);
    EXPECT_LT(deviation(pe.probability, pair_cells.panel_masses(31, value)), 2.5e-3);
    EXPECT_LT(deviation(pe.gradient[d_dz], pair_cells.panel_masses(31, d_dz)), 3e-3);

    // Triple: interfaces at -3/8 and +3/8 half sides, at 32 and 64 cells.
    const dielectric_profile triple =
        configuration_profile(table_kind::triple, {3.9, 1.5, 7.0}, int(two_interface_placement(5, 11)));
    ASSERT_EQ(triple.interface_z, (std::vector<double>{-0.375, 0.375}));
    const cube_exit te = compute_cube_exit(triple, 32);
    for (int q : {value, d_dz}) {
        const std::vector<double>& series = q == value ? te.probability : te.gradient[std::size_t(q)];
        const double coarse = deviation(series, fv_check::layered_cube(triple, 32).panel_masses(32, q));
        const double fine = deviation(series, fv_check::layered_cube(triple, 64).panel_masses(32, q));
        EXPECT_LT(fine, 2.5e-3) << "quantity " << q;
        EXPECT_GT(coarse / fine, 3.5) << "quantity " << q;
        EXPECT_LT(coarse / fine, 4.5) << "quantity " << q;
    }
}

} // namespace
