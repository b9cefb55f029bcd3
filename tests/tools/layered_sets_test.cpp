// Layered sets against the homogeneous cube and against themselves (equal
// permittivities, the cube upside down, a common scale), and against a
// potential that varies with height alone.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tools/tablegen/configuration_profiles.hpp"
#include "tools/tablegen/stored_rows.hpp"
#include "tools/tablegen/table_generator.hpp"
#include "walker/layer_index.hpp"
#include "transition_tables/panel_layout.hpp"

namespace {

constexpr double rounding = 1e-13;

// Configuration c of a generated set as one cube's rows.
stored_rows configuration_rows(const generated_set& s, int c) {
    const int n = table_panels_per_side(s.kind);
    const std::ptrdiff_t row = 6 * n * n, cc = c;
    stored_rows r{};
    r.gft.assign(s.gft.begin() + cc * row, s.gft.begin() + (cc + 1) * row);
    for (std::ptrdiff_t a = 0; a < 3 && !s.gft_is.empty(); ++a) {
        r.gft_is[std::size_t(a)].assign(s.gft_is.begin() + (3 * cc + a) * row, s.gft_is.begin() + (3 * cc + a + 1) * row);
        r.wvt_is[std::size_t(a)] = s.wvt_is[std::size_t(3 * cc + a)];
    }
    return r;
}

stored_rows cube_rows(table_kind kind, const std::vector<double>& key, int c) {
    return make_stored_rows(compute_cube_exit(configuration_profile(kind, key, c), table_panels_per_side(kind)));
}

// Panel i of the same cube upside down: the z faces swap, the rows of the
// side faces (which run along z) reverse.
std::size_t z_mirrored_panel(int n, std::size_t i) {
    const std::size_t per_face = std::size_t(n) * n;
    const std::size_t face = i / per_face, row = (i / n) % n, column = i % n;
    if (face == 0 || face == 5) return (5 - face) * per_face + row * n + column;
    return face * per_face + (n - 1 - row) * n + column;
}

std::size_t same_panel(int, std::size_t i) { return i; }

void expect_rows_equal(const stored_rows& a, const stored_rows& b, std::size_t (*map)(int, std::size_t),
                       const std::string& what) {
    ASSERT_EQ(a.gft.size(), b.gft.size()) << what;
    const int n = a.gft.size() == panel_count<31> ? 31 : 32;
    for (std::size_t i = 0; i < a.gft.size(); ++i) {
        ASSERT_NEAR(a.gft[i], b.gft[map(n, i)], rounding) << what << ": gft panel " << i;
        // Turning the cube over turns the z gradient's sign.
        for (std::size_t axis = 0; axis < 3 && !a.gft_is[0].empty(); ++axis)
            ASSERT_NEAR(a.gft_is[axis][i], (axis == 2 && map == z_mirrored_panel ? -1 : 1) * b.gft_is[axis][map(n, i)],
                        rounding)
                << what << ": gft_is axis " << axis << " panel " << i;
    }
    for (std::size_t axis = 0; axis < 3; ++axis) EXPECT_NEAR(a.wvt_is[axis], b.wvt_is[axis], 100 * rounding) << what;
}

TEST(layered_sets, equal_permittivities_give_the_homogeneous_cube) {
    const stored_rows h31 = cube_rows(table_kind::single, {}, 0), h32 = cube_rows(table_kind::h_pair, {1, 1}, 0);
    const generated_set pair = generate_table_set(table_kind::pair, {2.2, 2.2}, 4);
    for (int c : {0, 14, 15, 29}) expect_rows_equal(configuration_rows(pair, c), h31, same_panel, "pair " + std::to_string(c));
    const generated_set triple = generate_table_set(table_kind::triple, {3.9, 3.9, 3.9}, 4);
    for (int c = 0; c < 105; c += 26) expect_rows_equal(configuration_rows(triple, c), h32, same_panel, "triple " + std::to_string(c));
    expect_rows_equal(cube_rows(table_kind::h_pair, {7, 7}, 0), h32, same_panel, "h_pair");
    expect_rows_equal(cube_rows(table_kind::equal_slab, {0.6, 0.6, 0.6, 0.6}, 0), h32, same_panel, "equal slab");
    expect_rows_equal(cube_rows(table_kind::four_layer, {5, 5, 5, 5}, 200), h32, same_panel, "four-layer");
}

TEST(layered_sets, upside_down_cube_reverses_key_and_row) {
    const generated_set up = generate_table_set(table_kind::pair, {1.0, 12.0}, 4);
    const generated_set down = generate_table_set(table_kind::pair, {12.0, 1.0}, 4);
    for (int p : {0, 7, 14, 15, 22, 29})
        expect_rows_equal(configuration_rows(up, p), configuration_rows(down, 29 - p), z_mirrored_panel,
                          "pair " + std::to_string(p));
    // Triple placement (i, j) mirrors to (16 - j, 16 - i).
    for (auto [i, j] : {std::pair<int, int>{1, 2}, {3, 8}, {8, 9}, {14, 15}})
        expect_rows_equal(cube_rows(table_kind::triple, {2, 9, 4}, int(two_interface_placement(i, j))),
                          cube_rows(table_kind::triple, {4, 9, 2}, int(two_interface_placement(16 - j, 16 - i))),
                          z_mirrored_panel, "triple " + std::to_string(i) + "," + std::to_string(j));
}

TEST(layered_sets, common_scale_of_permittivities_changes_nothing) {
    struct scale_case {
        table_kind kind;
        std::vector<double> key;
        int configuration;
    };
    const scale_case cases[] = {{table_kind::pair, {1.0, 4.5}, 3},
                                {table_kind::pair, {1.0, 4.5}, 27},
                                {table_kind::h_pair, {2.0, 11.0}, 0},
                                {table_kind::equal_slab, {1.0, 0.55, 0.8, 0.5}, 0}};
    for (const scale_case& sc : cases)
        for (double scale : {0.01, 3.9, 250.0}) {
            std::vector<double> scaled = sc.key;
            for (double& e : scaled) e *= scale;
            expect_rows_equal(cube_rows(sc.kind, sc.key, sc.configuration), cube_rows(sc.kind, scaled, sc.configuration),
                              same_panel, "kind " + std::to_string(int(sc.kind)) + " scale " + std::to_string(scale));
        }
}

// phi(z) = integral from 0 to z of dz' / eps(z'): harmonic in the layered
// cube (its flux eps phi' is 1 everywhere) and linear on every panel.
double height_potential(const dielectric_profile& p, double z) {
    double phi = 0.0;
    for (std::size_t s = 0; s < p.layer_count(); ++s) {
        const double lo = std::max(std::min(0.0, z), p.layer_bottom(s));
        const double hi = std::min(std::max(0.0, z), p.layer_top(s));
        if (hi > lo) phi += (hi - lo) / p.eps[s];
    }
    return z < 0.0 ? -phi : phi;
}

// Probabilities sum to 1 and their gradients to 0 (to rounding); they
// reproduce phi(0) = 0 and the z gradients phi' at the walker: 1 / eps, or
// 1 / (mean of the two eps) for a walker on an interface (panel centres
// stand in for panel integrals, so that match is close, not to rounding).
// The stored first-hop z rows (side-1 cube, signed) give the same phi': a
// layered pair cube has panels whose sign differs from their side, while
// the h-pair rows keep the side's sign.
TEST(layered_sets, potential_varying_with_height_is_reproduced) {
    enum class signs { by_side, off_side, any };
    struct profile_case {
        table_kind kind;
        std::vector<double> key;
        int configuration;
        double derivative;
        signs z_signs;
    };
    const profile_case cases[] = {
        {table_kind::single, {}, 0, 1.0, signs::by_side},
        {table_kind::pair, {1.0, 9.0}, 3, 1.0 / 9.0, signs::off_side},
        {table_kind::pair, {1.0, 9.0}, 16, 1.0, signs::off_side},
        {table_kind::h_pair, {1.0, 9.0}, 0, 1.0 / 5.0, signs::by_side},
        {table_kind::h_pair, {40.0, 2.0}, 0, 1.0 / 21.0, signs::by_side},
        {table_kind::triple, {2.0, 9.0, 1.0}, 40, 1.0, signs::any},
        {table_kind::triple, {2.0, 9.0, 1.0}, int(two_interface_placement(8, 12)), 2.0 / 11.0, signs::any},
        {table_kind::four_layer, {1.0, 40.0, 1.0, 30.0}, int(three_interface_placement(4, 8, 12)), 1.0 / 20.5,
         signs::any},
        {table_kind::equal_slab, {1.0, 0.5, 0.7, 0.6}, 0, 1.0 / 0.6, signs::off_side},
    };
    for (const profile_case& pc : cases) {
        const dielectric_profile p = configuration_profile(pc.kind, pc.key, pc.configuration);
        const int n = table_panels_per_side(pc.kind);
        const cube_exit e = compute_cube_exit(p, n);
        double total = 0.0, value = 0.0, slope = 0.0;
        std::array<double, 3> gradient_sum{};
        for (std::size_t i = 0; i < e.probability.size(); ++i) {
            const double phi = height_potential(p, n == 31 ? panel_direction<31>(i).z : panel_direction<32>(i).z);
            total += e.probability[i];
            value += e.probability[i] * phi;
            slope += e.gradient[2][i] * phi;
            for (std::size_t a = 0; a < 3; ++a) gradient_sum[a] += e.gradient[a][i];
        }
        const std::string what = "kind " + std::to_string(int(pc.kind)) + " row " + std::to_string(pc.configuration);
        EXPECT_NEAR(total, 1.0, rounding) << what;
        for (double g : gradient_sum) EXPECT_NEAR(g, 0.0, 10 * rounding) << what;
        EXPECT_NEAR(value, 0.0, 1e-4 * pc.derivative) << what;
        EXPECT_NEAR(slope, pc.derivative, 1e-4 * pc.derivative) << what;

        if (pc.kind == table_kind::four_layer) continue;  // no first-hop rows
        const std::vector<double> z_row = make_stored_rows(e).gft_is[2];
        double stored_slope = 0.0;
        std::size_t off_side = 0;
        for (std::size_t i = 0; i < z_row.size(); ++i) {
            const double z = n == 31 ? panel_direction<31>(i).z : panel_direction<32>(i).z;
            stored_slope += z_row[i] * height_potential(p, z) / 2;  // side 1: twice the half-side gradient
            off_side += z_row[i] != 0 && (z_row[i] > 0) != (z > 0);
        }
        EXPECT_NEAR(stored_slope, pc.derivative, 1e-4 * pc.derivative) << what;
        if (pc.z_signs == signs::by_side) {
            EXPECT_EQ(off_side, 0u) << what;
        } else if (pc.z_signs == signs::off_side) {
            EXPECT_GT(off_side, 0u) << what;
        }
    }
}

} // namespace
