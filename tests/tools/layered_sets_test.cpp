// Layered sets against the homogeneous cube and against themselves: equal
// permittivities, the cube turned upside down, a common scale, and the
// conservation of probability.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tools/tablegen/configuration_profiles.hpp"
#include "tools/tablegen/stored_rows.hpp"
#include "tools/tablegen/table_generator.hpp"
#include "walker/layer_index.hpp"
#include "walker/transfer.hpp"

namespace {

std::size_t row_length(table_kind kind) {
    const std::size_t n = std::size_t(table_panels_per_side(kind));
    return 6 * n * n;
}

// Configuration c of a generated set, in the form of one cube's rows.
stored_rows configuration_rows(const generated_set& s, int c) {
    const std::size_t row = row_length(s.kind), cc = std::size_t(c);
    stored_rows r{};
    r.gft.assign(s.gft.begin() + std::ptrdiff_t(cc * row), s.gft.begin() + std::ptrdiff_t((cc + 1) * row));
    if (s.gft_is.empty()) return r;
    for (std::size_t a = 0; a < 3; ++a) {
        r.gft_is[a].assign(s.gft_is.begin() + std::ptrdiff_t((3 * cc + a) * row),
                           s.gft_is.begin() + std::ptrdiff_t((3 * cc + a + 1) * row));
        r.wvt_is[a] = s.wvt_is[3 * cc + a];
    }
    return r;
}

stored_rows cube_rows(table_kind kind, const std::vector<double>& key, int c) {
    return make_stored_rows(compute_cube_exit(configuration_profile(kind, key, c), table_panels_per_side(kind)));
}

stored_rows homogeneous_rows(int n) { return make_stored_rows(compute_cube_exit(homogeneous_profile(), n)); }

// Panel i of the same cube turned upside down: the z faces swap, the rows
// of the side faces (which run along z) reverse.
std::size_t z_mirrored_panel(int n, std::size_t i) {
    const std::size_t per_face = std::size_t(n) * n;
    const std::size_t face = i / per_face, row = (i / n) % n, column = i % n;
    if (face == 0 || face == 5) return (5 - face) * per_face + row * n + column;
    return face * per_face + (n - 1 - row) * n + column;
}

std::size_t same_panel(int, std::size_t i) { return i; }

// a's panel i against b's panel map(i), every row; relative to the row's
// largest value.
void expect_rows_equal(const stored_rows& a, const stored_rows& b, int n, std::size_t (*map)(int, std::size_t),
                       double tol, const std::string& what) {
    ASSERT_EQ(a.gft.size(), b.gft.size()) << what;
    for (std::size_t i = 0; i < a.gft.size(); ++i)
        ASSERT_NEAR(a.gft[i], b.gft[map(n, i)], tol) << what << ": gft panel " << i;
    if (a.gft_is[0].empty()) return;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        for (std::size_t i = 0; i < a.gft.size(); ++i)
            ASSERT_NEAR(a.gft_is[axis][i], b.gft_is[axis][map(n, i)], tol)
                << what << ": gft_is axis " << axis << " panel " << i;
        EXPECT_NEAR(a.wvt_is[axis], b.wvt_is[axis], 100 * tol) << what << ": wvt_is axis " << axis;
    }
}

constexpr double rounding = 1e-13;

TEST(layered_sets, equal_permittivities_give_the_homogeneous_cube) {
    const stored_rows h31 = homogeneous_rows(31), h32 = homogeneous_rows(32);
    const generated_set pair = generate_table_set(table_kind::pair, {2.2, 2.2}, 4);
    for (int c : {0, 14, 15, 29})
        expect_rows_equal(configuration_rows(pair, c), h31, 31, same_panel, rounding, "pair row " + std::to_string(c));

    const generated_set h = generate_table_set(table_kind::h_pair, {7.0, 7.0}, 1);
    expect_rows_equal(configuration_rows(h, 0), h32, 32, same_panel, rounding, "h_pair");
    const generated_set slab = generate_table_set(table_kind::equal_slab, {0.6, 0.6, 0.6, 0.6}, 1);
    expect_rows_equal(configuration_rows(slab, 0), h32, 32, same_panel, rounding, "equal slab");
    const generated_set triple = generate_table_set(table_kind::triple, {3.9, 3.9, 3.9}, 4);
    for (int c = 0; c < table_configurations(table_kind::triple); c += 13)
        expect_rows_equal(configuration_rows(triple, c), h32, 32, same_panel, rounding,
                          "triple row " + std::to_string(c));
    // A whole four-layer set is 455 cubes: a few rows alone.
    for (int c : {0, 200, 454})
        expect_rows_equal(cube_rows(table_kind::four_layer, {5, 5, 5, 5}, c), h32, 32, same_panel, rounding,
                          "four-layer row " + std::to_string(c));
}

TEST(layered_sets, upside_down_cube_reverses_key_and_row) {
    const generated_set up = generate_table_set(table_kind::pair, {1.0, 12.0}, 4);
    const generated_set down = generate_table_set(table_kind::pair, {12.0, 1.0}, 4);
    for (int p : {0, 7, 14, 15, 22, 29})
        expect_rows_equal(configuration_rows(up, p), configuration_rows(down, 29 - p), 31, z_mirrored_panel,
                          rounding, "pair row " + std::to_string(p));

    // Triple placement (i, j) mirrors to (16 - j, 16 - i); four-layer
    // (i, j, k) to (16 - k, 16 - j, 16 - i).
    const std::vector<double> key = {2.0, 9.0, 4.0}, reversed = {4.0, 9.0, 2.0};
    for (auto [i, j] : {std::pair<int, int>{1, 2}, {3, 8}, {5, 11}, {8, 9}, {14, 15}})
        expect_rows_equal(cube_rows(table_kind::triple, key, int(two_interface_placement(i, j))),
                          cube_rows(table_kind::triple, reversed, int(two_interface_placement(16 - j, 16 - i))), 32,
                          z_mirrored_panel, rounding, "triple " + std::to_string(i) + "," + std::to_string(j));
    const std::vector<double> key4 = {1.0, 6.0, 2.0, 30.0}, reversed4 = {30.0, 2.0, 6.0, 1.0};
    expect_rows_equal(cube_rows(table_kind::four_layer, key4, int(three_interface_placement(2, 7, 13))),
                      cube_rows(table_kind::four_layer, reversed4, int(three_interface_placement(3, 9, 14))), 32,
                      z_mirrored_panel, rounding, "four-layer 2,7,13");
}

TEST(layered_sets, common_scale_of_permittivities_changes_nothing) {
    for (double scale : {0.01, 3.9, 250.0}) {
        for (int c : {3, 14, 27}) {
            const stored_rows a = cube_rows(table_kind::pair, {1.0, 4.5}, c);
            const stored_rows b = cube_rows(table_kind::pair, {scale, 4.5 * scale}, c);
            expect_rows_equal(a, b, 31, same_panel, rounding, "pair row " + std::to_string(c));
        }
        expect_rows_equal(cube_rows(table_kind::h_pair, {2.0, 11.0}, 0),
                          cube_rows(table_kind::h_pair, {2.0 * scale, 11.0 * scale}, 0), 32, same_panel, rounding,
                          "h_pair");
        expect_rows_equal(cube_rows(table_kind::equal_slab, {1.0, 0.55, 0.8, 0.5}, 0),
                          cube_rows(table_kind::equal_slab, {scale, 0.55 * scale, 0.8 * scale, 0.5 * scale}, 0), 32,
                          same_panel, rounding, "equal slab");
    }
}

// Leaving the cube is certain from every start point, so the probabilities
// sum to 1 and their gradients to 0, whatever the layers; the gradients
// along x and y are positive exactly on the + side (z-layers keep that
// symmetry), and without layers also along z.
TEST(layered_sets, probability_is_conserved_and_lateral_gradients_follow_the_side) {
    struct profile_case {
        dielectric_profile p;
        int n;
    };
    const profile_case cases[] = {
        {homogeneous_profile(), 31},
        {configuration_profile(table_kind::pair, {1.0, 49.0}, 14), 31},
        {configuration_profile(table_kind::pair, {30.0, 1.0}, 0), 31},
        {configuration_profile(table_kind::h_pair, {1.0, 49.0}, 0), 32},
        {configuration_profile(table_kind::triple, {3.9, 1.0, 40.0}, 50), 32},
        {configuration_profile(table_kind::four_layer, {1.0, 40.0, 1.0, 30.0}, 300), 32},
        {configuration_profile(table_kind::equal_slab, {0.5, 1.0, 0.5, 0.95}, 0), 32},
    };
    for (const profile_case& pc : cases) {
        const cube_exit e = compute_cube_exit(pc.p, pc.n);
        double total = 0.0;
        for (double v : e.probability) {
            EXPECT_GT(v, 0.0);
            total += v;
        }
        EXPECT_NEAR(total, 1.0, 1e-13);
        const bool layered = pc.p.layer_count() > 1;
        for (int axis = 0; axis < 3; ++axis) {
            double sum = 0.0, mass = 0.0;
            for (std::size_t i = 0; i < e.probability.size(); ++i) {
                const double g = e.gradient[std::size_t(axis)][i];
                sum += g;
                mass += std::abs(g);
                const double u = axis_of(pc.n == 31 ? panel_direction<31>(i) : panel_direction<32>(i), axis);
                if (u != 0.0 && !(layered && axis == 2)) {
                    EXPECT_EQ(g > 0.0, u > 0.0) << "axis " << axis << " panel " << i;
                }
            }
            EXPECT_NEAR(sum, 0.0, 1e-13 * mass) << "axis " << axis;
        }
    }
}

// phi(z) = integral from 0 to z of dz' / eps(z'): harmonic in the layered
// cube (its flux eps phi' is 1 everywhere), linear on every panel.
double height_potential(const dielectric_profile& p, double z) {
    double phi = 0.0;
    for (std::size_t s = 0; s < p.layer_count(); ++s) {
        const double lo = std::max(std::min(0.0, z), p.layer_bottom(s));
        const double hi = std::min(std::max(0.0, z), p.layer_top(s));
        if (hi > lo) phi += (hi - lo) / p.eps[s];
    }
    return z < 0.0 ? -phi : phi;
}

// The exit probabilities reproduce phi(0) = 0 and the z gradients its
// derivative at the walker: 1 / eps there, or 1 / (mean of the two eps)
// for a walker on an interface. Panel centres stand in for panel
// integrals, so the match is close but not to rounding.
TEST(layered_sets, potential_varying_with_height_is_reproduced) {
    struct profile_case {
        table_kind kind;
        std::vector<double> key;
        int configuration;
        double derivative;
    };
    const profile_case cases[] = {
        {table_kind::single, {}, 0, 1.0},
        {table_kind::pair, {1.0, 9.0}, 3, 1.0 / 9.0},
        {table_kind::pair, {1.0, 9.0}, 16, 1.0},
        {table_kind::h_pair, {1.0, 9.0}, 0, 1.0 / 5.0},
        {table_kind::h_pair, {40.0, 2.0}, 0, 1.0 / 21.0},
        {table_kind::triple, {2.0, 9.0, 1.0}, 40, 1.0},
        {table_kind::triple, {2.0, 9.0, 1.0}, int(two_interface_placement(8, 12)), 2.0 / 11.0},
        {table_kind::equal_slab, {1.0, 0.5, 0.7, 0.6}, 0, 1.0 / 0.6},
    };
    for (const profile_case& pc : cases) {
        const dielectric_profile p = configuration_profile(pc.kind, pc.key, pc.configuration);
        const int n = table_panels_per_side(pc.kind);
        const cube_exit e = compute_cube_exit(p, n);
        double value = 0.0, slope = 0.0;
        for (std::size_t i = 0; i < e.probability.size(); ++i) {
            const double phi = height_potential(p, n == 31 ? panel_direction<31>(i).z : panel_direction<32>(i).z);
            value += e.probability[i] * phi;
            slope += e.gradient[2][i] * phi;
        }
        const std::string what = "kind " + std::to_string(int(pc.kind)) + " row " + std::to_string(pc.configuration);
        EXPECT_NEAR(value, 0.0, 1e-4 * pc.derivative) << what;
        EXPECT_NEAR(slope, pc.derivative, 1e-4 * pc.derivative) << what;
    }
}

} // namespace
