// Hiding tests: whenever they let a block hide another, the hider must be
// nearer (the hidden block's distance divided by the hider's factor) from
// every point of the cell.
#include <gtest/gtest.h>

#include <random>

#include "space/box_measures.hpp"
#include "space/candidate_list.hpp"
#include "space/hiding.hpp"
#include "random_layout.hpp"

namespace {

using spacemgr::candlist;

candlist unit_cell(const vec3& centre, double half) {
    candlist l;
    l.centre = centre;
    l.half = half;
    return l;
}

box random_box(std::mt19937_64& rng, double spread) {
    std::uniform_real_distribution<double> u(-spread, spread), s(0.05, spread / 2);
    const vec3 lo{u(rng), u(rng), u(rng)};
    return {lo, {lo.x + s(rng), lo.y + s(rng), lo.z + s(rng)}};
}

// Largest excess of the hider's distance over the hidden one's share, over
// the cell's corners, face centres and random points.
double worst_excess(std::mt19937_64& rng, const candlist& c, const std::vector<box>& a, const box& b,
                    int factor) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    double worst = -1e300;
    auto probe = [&](const vec3& off) {
        const vec3 q{c.centre.x + off.x * c.half, c.centre.y + off.y * c.half, c.centre.z + off.z * c.half};
        double da = 1e300;
        for (const box& x : a) da = std::min(da, box_distance(x, q));
        worst = std::max(worst, da - box_distance(b, q) / factor);
    };
    for (int i = 0; i < 27; ++i) probe({double(i % 3 - 1), double(i / 3 % 3 - 1), double(i / 9 - 1)});
    for (int i = 0; i < 300; ++i) probe({u(rng), u(rng), u(rng)});
    return worst;
}

TEST(dominate_test, a_rotated_cube_hider_must_stay_within_half_the_hidden_distance) {
    const candlist c = unit_cell({0, 0, 0}, 1.0);
    const box hidden{{10, -100, -100}, {100, 100, 100}};
    // At the cell's far face (x = -1) this hider is 6.4 away, the hidden box
    // 11, so with factor 2 it does not shield: 6.4 > 5.5.
    const box near_enough_at_centre{{5.4, -100, -100}, {6, 100, 100}};
    EXPECT_TRUE(spacemgr::dominate_test(c, near_enough_at_centre, hidden, 1));
    EXPECT_FALSE(spacemgr::dominate_test(c, near_enough_at_centre, hidden, 2));
    const box nearer{{4, -100, -100}, {6, 100, 100}};  // 5 <= 5.5 everywhere
    EXPECT_TRUE(spacemgr::dominate_test(c, nearer, hidden, 2));
    // A hider beyond the hidden box's share at the centre never shields.
    EXPECT_FALSE(spacemgr::dominate_test(c, {{8, -100, -100}, {9, 100, 100}}, hidden, 2));
}

TEST(dominate_test, never_hides_a_box_that_is_nearer_somewhere_in_the_cell) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(-2.0, 2.0), h(0.05, 1.0);
    int hidden = 0;
    for (int i = 0; i < 20000; ++i) {
        const candlist c = unit_cell({u(rng), u(rng), u(rng)}, h(rng));
        const box a = random_box(rng, 8.0), b = random_box(rng, 8.0);
        const int factor = 1 + i % 2;
        if (!spacemgr::dominate_test(c, a, b, factor)) continue;
        ++hidden;
        ASSERT_LE(worst_excess(rng, c, {a}, b, factor), 1e-9) << "case " << i;
    }
    EXPECT_GT(hidden, 100);
}

TEST(dominate_group, boxes_that_together_cover_the_cell_hide_and_gaps_do_not) {
    const candlist c = unit_cell({0, 0, 0}, 1.0);
    const box hidden{{3, -100, -100}, {100, 100, 100}};  // 2 beyond the cell
    // Two halves of a wall at x = 1 with a gap around y = 0: grown by 2, each
    // covers only part of the cell, together all of it.
    const box lower{{0.9, -12, -20}, {1.1, -1.5, 20}}, upper{{0.9, 1.5, -20}, {1.1, 12, 20}};
    EXPECT_FALSE(spacemgr::dominate_test(c, lower, hidden, 1));
    EXPECT_TRUE(spacemgr::dominate_group(c, {lower, upper}, hidden, 1));
    // A gap wider than the growth leaves a hole.
    const box far_upper{{0.9, 4, -20}, {1.1, 12, 20}};
    EXPECT_FALSE(spacemgr::dominate_group(c, {lower, far_upper}, hidden, 1));
    EXPECT_FALSE(spacemgr::dominate_group(c, {}, hidden, 1));

    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(-2.0, 2.0), h(0.05, 1.0);
    int hides = 0;
    for (int i = 0; i < 20000; ++i) {
        const candlist cell = unit_cell({u(rng), u(rng), u(rng)}, h(rng));
        std::vector<box> a;
        for (int k = 0; k < 2 + i % 3; ++k) a.push_back(random_box(rng, 6.0));
        const box b = random_box(rng, 8.0);
        const int factor = 1 + i % 2;
        if (!spacemgr::dominate_group(cell, a, b, factor)) continue;
        ++hides;
        ASSERT_LE(worst_excess(rng, cell, a, b, factor), 1e-9) << "case " << i;
    }
    EXPECT_GT(hides, 100);
}

// A slanted solid with the given inner and outer box lists.
solid pieces(const std::vector<box>& inner, const std::vector<box>& outer) {
    solid s = make_nprism_solid(space_test::make_prism({{0, 0}, {1, 0}, {0, 1}}, 0, 1));
    s.inner_boxes = inner;
    s.outer_boxes = outer;
    s.inner_box = inner.front();
    box o = outer.front();
    for (const box& b : outer)
        o = {{std::min(o.lo.x, b.lo.x), std::min(o.lo.y, b.lo.y), std::min(o.lo.z, b.lo.z)},
             {std::max(o.hi.x, b.hi.x), std::max(o.hi.y, b.hi.y), std::max(o.hi.z, b.hi.z)}};
    s.outer_box = o;
    return s;
}

TEST(shadowed, group_forms_follow_their_flags) {
    space_test::layout_builder lb({{-50, -50, -50}, {50, 50, 50}});
    // Hidden block: two pieces far off in -y and +y, so its bounding box
    // spans the cell. Hider: two pieces, each in front of one of them.
    const block& h = lb.add(pieces({{{-1, -5, -1}, {1, -4, 1}}, {{-1, 4, -1}, {1, 5, 1}}},
                                   {{{-1, -5, -1}, {1, -4, 1}}, {{-1, 4, -1}, {1, 5, 1}}}));
    const block& x = lb.add(pieces({{{-1, -10, -1}, {1, -9, 1}}, {{-1, 9, -1}, {1, 10, 1}}},
                                   {{{-1, -10, -1}, {1, -9, 1}}, {{-1, 9, -1}, {1, 10, 1}}}));
    candlist c;
    c.kind = spacemgr_all;
    c.centre = {0, 0, 0};
    c.half = 0.5;
    const spacemgr::candidate ch = spacemgr::cell_candidate(h, c.centre, c.half, false);
    const spacemgr::candidate cx = spacemgr::cell_candidate(x, c.centre, c.half, false);

    EXPECT_FALSE(c.shadowed(ch, cx));  // single test only
    c.dominate_group_on = 1;
    EXPECT_TRUE(c.shadowed(ch, cx));  // every hidden piece behind one hider piece
    c.dominate_group_on = 0;
    c.dominate_group_opt_on = 1;
    EXPECT_TRUE(c.shadowed(ch, cx));  // the pieces together cover the cell
    c.rotated_cube = 1;  // the covering form needs unrotated cubes
    EXPECT_FALSE(c.shadowed(ch, cx));
}

}  // namespace
