#include <gtest/gtest.h>

#include <cmath>

#include "walker/layer_index.hpp"
#include "walker_fixtures.hpp"

namespace {

// Interfaces at the given heights between layers of the given permittivities.
layer_stack make_stack(const std::vector<double>& tops, const std::vector<double>& eps) {
    std::vector<medium> media;
    double bottom = -1e9;
    for (std::size_t i = 0; i < eps.size(); ++i) {
        const double top = i < tops.size() ? tops[i] : 1e9;
        media.push_back({bottom, top, eps[i]});
        bottom = top;
    }
    layer_stack s;
    build_layer_stack(s, media);
    return s;
}

constexpr uint64_t first_interface = 20006;

}  // namespace

TEST(Classification, OneInterfacePositionsAndShrink) {
    const layer_stack ls = make_stack({0.0}, {1.0, 2.0});
    const double a = 1.0;
    cube_fields c;
    struct row {
        double z;  // walker height; the interface is at 0
        uint32_t type;
        uint64_t pos;
        double half;
    };
    const row rows[] = {
        {-0.3, cube_one_interface, 20, 15.5 * 0.3 / 5.5},  // 0.3 a above: n = 5
        {0.9, cube_one_interface, 0, 15.5 * 0.9 / 14.5},   // 0.9 a below: n = 14
        {0.95, cube_homogeneous, 0, 0.95},                 // n = 15: shrunk to touch it
        {1.0, cube_homogeneous, 0, 1.0},                   // at the bottom face: untouched
        {1.0 - 5e-10, cube_homogeneous, 0, 1.0},           // within 1e-9 of the bottom
        {-1.0 + 5e-10, cube_homogeneous, 0, 1.0},          // within 1e-9 of the top
    };
    for (const row& r : rows) {
        c = cube_fields{};
        const double h = classify_one_interface(c, ls, a, r.z, 10005, first_interface, nullptr);
        EXPECT_EQ(c.cube_type, r.type) << r.z;
        if (r.type == cube_one_interface) {
            EXPECT_EQ(c.interface_pos, r.pos) << r.z;
        }
        EXPECT_DOUBLE_EQ(h, r.half) << r.z;
        EXPECT_EQ(c.single_table, 1);
    }
    // On the interface: the h-pair set of that interface, cube unchanged.
    c = cube_fields{};
    EXPECT_EQ(classify_one_interface(c, ls, a, 0.0, first_interface, first_interface, nullptr), a);
    EXPECT_EQ(c.cube_type, uint32_t(cube_on_interface));
    EXPECT_EQ(c.table_index, 0u);
}

TEST(Classification, GridWeightsBlendAndMirror) {
    const layer_stack ls = make_stack({0.0}, {4.0, 1.0});
    const int64_t pos[1] = {6};
    struct row {
        double w;
        uint8_t single;
        uint64_t index;
        uint8_t mirror;
    };
    const row rows[] = {{0.05, 1, 6, 0}, {0.5, 0, 6, 0}, {0.95, 1, 7, 0}, {-0.5, 0, 6, 1}, {-0.95, 1, 7, 1}};
    for (const row& r : rows) {
        const double weight[1] = {r.w};
        const grid_weights grid{pos, weight};
        cube_fields c;
        classify_one_interface(c, ls, 1.0, -0.3, 10005, first_interface, &grid);
        EXPECT_EQ(c.single_table, r.single) << r.w;
        EXPECT_EQ(c.table_index, r.index) << r.w;
        EXPECT_EQ(c.mirror, r.mirror) << r.w;
        EXPECT_DOUBLE_EQ(c.blend_weight, std::fabs(r.w));
        EXPECT_EQ(c.interface_pos, r.mirror ? 29u - 20u : 20u);
    }
}

TEST(Classification, TwoAndThreeInterfacePlacements) {
    EXPECT_EQ(two_interface_placement(1, 2), 0u);
    EXPECT_EQ(two_interface_placement(14, 15), 104u);
    EXPECT_EQ(three_interface_placement(1, 2, 3), 0u);
    EXPECT_EQ(three_interface_placement(13, 14, 15), 454u);
    // Every placement of two and three cells is numbered once, in order.
    uint64_t next = 0;
    for (int i = 1; i < 15; ++i)
        for (int j = i + 1; j <= 15; ++j) EXPECT_EQ(two_interface_placement(i, j), next++);
    next = 0;
    for (int i = 1; i < 14; ++i)
        for (int j = i + 1; j < 15; ++j)
            for (int k = j + 1; k <= 15; ++k) EXPECT_EQ(three_interface_placement(i, j, k), next++);

    // Cube z in [-1, 1] (a = 1, z = 0); cell boundaries every 1/8. The
    // cube shrinks until its interfaces lie on boundaries, or until it
    // holds one only.
    struct placement_case {
        std::vector<double> tops;
        uint64_t layer_id;
        uint32_t type;
        uint64_t row;
        double half_side;
    };
    const uint64_t inside_layer = 10005;
    const placement_case cases[] = {
        // Within the tolerance of boundaries 3 and 10: kept.
        {{-1.0 + 3.0 / 8 + 1e-6, 0.25, 5.0}, inside_layer, cube_two_interfaces, two_interface_placement(3, 10), 1.0},
        // Off the boundaries: at half side 0.6 they lie on 2 and 12.
        {{-0.45, 0.3, 5.0}, inside_layer, cube_two_interfaces, two_interface_placement(2, 12), 0.6},
        // No cube places both: the nearer alone, as one interface.
        {{-0.3, 0.3 * 1.6180339887, 5.0}, inside_layer, cube_one_interface, 4, 15.5 * 0.3 / 10.5},
        // The walker's own interface sits on boundary 8 of every cube.
        {{0.0, 0.3, 5.0}, first_interface, cube_two_interfaces, two_interface_placement(8, 11), 0.8},
        {{-0.5, 0.25, 0.75}, inside_layer, cube_three_interfaces, three_interface_placement(4, 10, 14), 1.0},
        // Only the farthest exactly on a boundary, the two nearest just
        // within the tolerance of theirs (7 and 9, both 7e-4 cells up).
        {{-0.09993, 0.10007, 0.7}, inside_layer, cube_three_interfaces, three_interface_placement(7, 9, 15), 0.8},
        // One inside with two below: snapped like a single interface.
        {{-3.0, -2.0, 0.3}, inside_layer, cube_one_interface, 20, 15.5 * 0.3 / 5.5},
        {{-3.0, -2.0, -1.0}, inside_layer, cube_homogeneous, 0, 1.0},
    };
    for (const placement_case& p : cases) {
        std::vector<double> eps;
        for (std::size_t i = 0; i <= p.tops.size(); ++i) eps.push_back(i % 2 ? 2.0 : 1.0);
        const layer_stack ls = make_stack(p.tops, eps);
        cube_fields c;
        uint64_t ids[3] = {first_interface, first_interface + 1, first_interface + 2};
        const double a = classify_three_interfaces(c, ls, 1.0, 0.0, p.layer_id, ids);
        EXPECT_EQ(c.cube_type, p.type) << p.tops[0] << " " << p.tops[1];
        if (p.type != cube_homogeneous) {
            EXPECT_EQ(c.interface_pos, p.row) << p.tops[0] << " " << p.tops[1];
        }
        EXPECT_NEAR(a, p.half_side, 1e-12) << p.tops[0] << " " << p.tops[1];
    }
}

TEST(Classification, NearestInterfacesTieToTheLowerOne) {
    const layer_stack ls = make_stack({0.0, 1.0, 2.0, 3.0}, {1, 2, 3, 4, 5});
    multi_layer_index<1ul, false> one;
    one.layers = &ls;
    one.reset(0.5);  // halfway between the interfaces at 0 and 1
    one.locate_start();
    EXPECT_EQ(one.interface_id[0], first_interface);
    EXPECT_DOUBLE_EQ(one.radius, 0.5);

    multi_layer_index<3ul, false> three;
    three.layers = &ls;
    three.reset(1.4);
    three.locate_start();
    // Taken: 1 (0.4), 2 (0.6), then 0 (1.4); stored ascending.
    EXPECT_EQ(three.interface_id[0], first_interface);
    EXPECT_EQ(three.interface_id[1], first_interface + 1);
    EXPECT_EQ(three.interface_id[2], first_interface + 2);
    EXPECT_DOUBLE_EQ(three.radius, 0.6);  // the second interface taken
    three.locate_loop(1.4);
    EXPECT_DOUBLE_EQ(three.radius, 1.6);  // the fourth: 3.0 lies 1.6 above
}

TEST(Classification, EqualSlabsAndHighContrast) {
    // One medium: ratios 1, 1, 1, 1.
    const layer_stack one = make_stack({}, {3.9});
    cube_fields c;
    EXPECT_EQ(fit_equal_slab_cube(c, one, 1.0, 0.0), 1.0);
    EXPECT_EQ(c.cube_type, uint32_t(cube_equal_slab));
    EXPECT_EQ(c.table_index, 1330u);
    EXPECT_EQ(c.mirror, 0);

    // Stronger medium on top: mirrored so the strongest slab is slab 0 or 1.
    const layer_stack two = make_stack({0.0}, {1.0, 1.4});
    c = cube_fields{};
    fit_equal_slab_cube(c, two, 1.0, 0.0);
    EXPECT_EQ(c.mirror, 1);
    // Means bottom up 1, 1, 1.4, 1.4 -> reversed ratios 1, 1, 1/1.4, 1/1.4.
    const uint64_t q = uint64_t(std::floor((1.0 / 1.4 - 0.475) / 0.05));
    EXPECT_EQ(c.table_index, ((1 * 11 + 10) * 11 + q) * 11 + q);  // strongest slab 2 -> 1

    // A ratio below 0.475 halves the cube until none is.
    const layer_stack steep = make_stack({0.0, 0.2}, {1.0, 1.45, 2.15});
    c = cube_fields{};
    EXPECT_DOUBLE_EQ(fit_equal_slab_cube(c, steep, 1.0, 0.1), 0.125);

    // 1.0 / 1.5 is not high contrast, 1.0 / 1.6 is.
    const layer_stack mixed = make_stack({0.0, 5.0}, {1.0, 1.5, 2.4});
    equal_layer_index e;
    e.layers = &mixed;
    e.mark_high_contrast();
    ASSERT_EQ(e.high_contrast.size(), 2u);
    EXPECT_FALSE(e.high_contrast[0]);
    EXPECT_TRUE(e.high_contrast[1]);
    EXPECT_EQ(e.any_high_contrast, 1);
    // Near the low-contrast interface: limited by the high-contrast one.
    e.reset(1.0);
    e.locate_layer();
    EXPECT_EQ(e.nearest_high_contrast, 0);
    EXPECT_DOUBLE_EQ(e.radius, 4.0);
    // Near the high-contrast interface: the one-interface rule applies.
    e.reset(4.5);
    e.locate_layer();
    EXPECT_EQ(e.nearest_high_contrast, 1);
    EXPECT_EQ(e.nearest_layer_id, first_interface + 1);
    EXPECT_DOUBLE_EQ(e.radius, 4.5);
}
