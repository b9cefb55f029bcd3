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

// Largest panel difference relative to the largest panel, and the largest
// difference of a face total.
struct deviation {
    double panel;
    double face;
};

deviation compare(const std::vector<double>& series, const std::vector<double>& volumes, int panels) {
    double largest = 0.0, panel = 0.0;
    std::vector<double> face(6, 0.0);
    const std::size_t per_face = std::size_t(panels) * panels;
    for (std::size_t i = 0; i < series.size(); ++i) {
        largest = std::max(largest, std::abs(series[i]));
        panel = std::max(panel, std::abs(series[i] - volumes[i]));
        face[i / per_face] += series[i] - volumes[i];
    }
    double worst_face = 0.0;
    for (double f : face) worst_face = std::max(worst_face, std::abs(f));
    return {panel / largest, worst_face};
}

constexpr int value = 3, d_dz = 2;

TEST(finite_volume_check, pair_cube_agrees_to_discretisation_error) {
    // Interface 7/31 half sides above the walker, ten times the permittivity
    // above it: a cell boundary of the 62-cell grid.
    const dielectric_profile p = configuration_profile(table_kind::pair, {1.0, 10.0}, 18);
    const cube_exit e = compute_cube_exit(p, 31);
    const fv_check::layered_cube cube(p, 62);

    const deviation v = compare(e.probability, cube.panel_masses(31, value), 31);
    EXPECT_LT(v.panel, 2.5e-3);
    EXPECT_LT(v.face, 1e-4);
    const deviation g = compare(e.gradient[d_dz], cube.panel_masses(31, d_dz), 31);
    EXPECT_LT(g.panel, 3e-3);
    EXPECT_LT(g.face, 1e-3);
}

TEST(finite_volume_check, triple_cube_converges_at_second_order) {
    const int i = 5, j = 11;  // interfaces at -3/8 and +3/8 half sides
    const dielectric_profile p =
        configuration_profile(table_kind::triple, {3.9, 1.5, 7.0}, int(two_interface_placement(i, j)));
    ASSERT_EQ(p.interface_z, (std::vector<double>{-0.375, 0.375}));
    const cube_exit e = compute_cube_exit(p, 32);
    for (int q : {value, d_dz}) {
        const std::vector<double>& series = q == value ? e.probability : e.gradient[std::size_t(q)];
        const deviation coarse = compare(series, fv_check::layered_cube(p, 32).panel_masses(32, q), 32);
        const deviation fine = compare(series, fv_check::layered_cube(p, 64).panel_masses(32, q), 32);
        EXPECT_LT(fine.panel, 2.5e-3) << "quantity " << q;
        const double order = coarse.panel / fine.panel;
        EXPECT_GT(order, 3.5) << "quantity " << q;
        EXPECT_LT(order, 4.5) << "quantity " << q;
    }
}

} // namespace
