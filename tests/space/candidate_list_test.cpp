// Candidate lists: cross-section distances, the nearest scan with its touch
// and inside rules, bounds with rotated cubes, and how cell lists admit,
// shrink and finalize.
#include <gtest/gtest.h>

#include <array>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "space/box_measures.hpp"
#include "space/candidate_list.hpp"
#include "random_layout.hpp"
#include "tests/ends_run.hpp"

namespace {

using spacemgr::candidate;
using spacemgr::candlist;
using space_test::layout_builder;
using space_test::make_prism;

// A whole-domain style list holding the given blocks, searched around p.
struct scan {
    candlist list;
    spacemgr::scan_pool pool;
    search_hint hint;

    scan(std::initializer_list<const block*> blocks, bool rotated, double radius = 100.0) {
        list.kind = spacemgr_all;
        for (const block* b : blocks) {
            const bool rect = b->solid.kind == solid_box;
            list.entries.push_back({b, -1.0, uint8_t(rect), 0, rotated && !rect ? 2 : 1});
        }
        spacemgr::seal_lists(pool, {&list}, blocks.size());
        hint.list = &list;
        hint.radius = radius;
    }
    nearest_result at(const vec3& p, double max = 1e9) const { return candlist::nearest(hint, p, max); }
};

TEST(section_distance, matches_the_linf_gap_of_each_cross_section) {
    const solid bx = make_box_solid({{0, 0, 0}, {2, 1, 1}});
    EXPECT_DOUBLE_EQ(spacemgr::section_distance({3, 0.5, 50}, bx), 1.0);  // z ignored
    EXPECT_DOUBLE_EQ(spacemgr::section_distance({1, 0.5, 0}, bx), -0.5);

    const solid cyl = make_cylinder_solid({0, 0, 0}, 1.0, 1.0);
    EXPECT_DOUBLE_EQ(spacemgr::section_distance({3, 0, 0}, cyl), 2.0);       // along an axis
    EXPECT_NEAR(spacemgr::section_distance({2, 2, 0}, cyl), 2 - std::sqrt(0.5), 1e-12);  // diagonal
    // A square of half side d at (a, b) reaches the circle with its corner.
    const double a = 1.5, b = 1.0;
    const double d = spacemgr::section_distance({a, b, 0}, cyl);
    EXPECT_NEAR(std::hypot(a - d, b - d), 1.0, 1e-12);

    const solid tri = make_nprism_solid(make_prism({{0, 0}, {1, 0}, {0, 1}}, 0, 1));
    // Beyond the slanted edge x + y = 1 by an L-infinity gap of 0.5.
    EXPECT_NEAR(spacemgr::section_distance({1, 1, 0.5}, tri), 0.5, 1e-12);
    EXPECT_NEAR(spacemgr::section_distance({-0.5, 0.5, 0.5}, tri), 0.5, 1e-12);

    solid odd = bx;
    odd.kind = 7;
    EXPECT_EQ(spacemgr::section_distance({0, 0, 0}, odd), geom_infinity);
}

TEST(candlist_nearest, touching_points_get_distance_zero) {
    layout_builder lb({{-10, -10, -10}, {10, 10, 10}});
    const block& b = lb.add(make_box_solid({{0, 0, 0}, {1, 1, 1}}));
    const scan s({&b}, true);
    for (const vec3& p : {vec3{1, 0.5, 0.5}, vec3{1 - 1e-4, 0.5, 0.5}, vec3{0.5, 0.5, 1 + 9e-5}}) {
        const nearest_result r = s.at(p);
        EXPECT_EQ(r.block, &b);
        EXPECT_EQ(r.dist, 0.0);
        EXPECT_EQ(r.bound, 0.0);
    }
    const nearest_result r = s.at({0.5, 0.5, 1.5});
    EXPECT_EQ(r.block, &b);
    EXPECT_DOUBLE_EQ(r.dist, 0.5);
}

TEST(candlist_nearest_death, a_point_deep_inside_a_block_ends_the_run) {
    layout_builder lb({{-10, -10, -10}, {10, 10, 10}});
    block& b = lb.add(make_box_solid({{0, 0, 0}, {1, 1, 1}}));
    const scan s({&b}, true);
    EXPECT_EXIT(
        {
            rebuild_log_writers(log_debug, {stdout, stdout, stderr, stderr});
            korvex_test::ending_as_the_program([&] { s.at({1 - 2e-4, 0.5, 0.5}); });
        },
        ::testing::ExitedWithCode(255),
        "error \\(spacemgr::candlist::nearest\\): point is inside conductor\\(net0\\)\\.");
}

TEST(candlist_nearest, bound_reaches_twice_a_curved_blocks_distance_with_rotated_cubes) {
    layout_builder lb({{-20, -20, -20}, {20, 20, 20}});
    // Point at the origin; cylinder at distance 1, box at distance 3.
    const block& cyl = lb.add(make_cylinder_solid({2, 0, 0}, 1.0, 1.0));
    const block& far = lb.add(make_box_solid({{-5, -1, -1}, {-3, 1, 1}}));
    const block& box1 = lb.add(make_box_solid({{1, -1, -1}, {2, 1, 1}}));

    nearest_result r = scan({&cyl, &far}, true).at({0, 0, 0});
    EXPECT_EQ(r.block, &cyl);
    EXPECT_DOUBLE_EQ(r.dist, 1.0);
    EXPECT_DOUBLE_EQ(r.bound, 2.0);

    r = scan({&cyl, &far}, false).at({0, 0, 0});
    EXPECT_DOUBLE_EQ(r.bound, 1.0);

    r = scan({&box1, &far}, true).at({0, 0, 0});
    EXPECT_EQ(r.block, &box1);
    EXPECT_DOUBLE_EQ(r.bound, 1.0);

    // A second block inside twice the distance caps the bound at its distance.
    const block& near2 = lb.add(make_box_solid({{-2.5, -1, -1}, {-1.5, 1, 1}}));
    r = scan({&far, &near2, &cyl}, true).at({0, 0, 0});
    EXPECT_EQ(r.block, &cyl);
    EXPECT_DOUBLE_EQ(r.bound, 1.5);
}

candlist cell(spacemgr_t kind, double half, double scope, bool rotated = true) {
    candlist l;
    l.kind = kind;
    l.rotated_cube = rotated;
    l.centre = {0, 0, 0};
    l.half = half;
    l.base_scope = l.scope = scope;
    return l;
}

TEST(cell_list, scope_shrinks_to_what_an_entry_guarantees) {
    layout_builder lb({{-50, -50, -50}, {50, 50, 50}});
    const block& bx = lb.add(make_box_solid({{3, -1, -1}, {4, 1, 1}}));       // dist 2 from the cell
    const block& cyl = lb.add(make_cylinder_solid({-4, 0, 0}, 1.0, 1.0));     // dist 2
    const block& far = lb.add(make_box_solid({{0, 6.5, -1}, {1, 7.5, 1}}));  // dist 5.5

    candlist l = cell(spacemgr_all, 1.0, 10.0);
    EXPECT_TRUE(node_add_candidate(l, spacemgr::cell_candidate(far, l.centre, l.half, true)));
    EXPECT_TRUE(node_add_candidate(l, spacemgr::cell_candidate(bx, l.centre, l.half, true)));
    EXPECT_DOUBLE_EQ(l.scope, 4.0);  // 2 half + dist
    EXPECT_EQ(l.entries.size(), 1u);  // the far box fell out of reach
    // The same block is not taken twice.
    EXPECT_FALSE(node_add_candidate(l, spacemgr::cell_candidate(bx, l.centre, l.half, true)));

    // A rotated cube around a cylinder may reach twice as far.
    candlist c = cell(spacemgr_all, 1.0, 10.0);
    node_add_candidate(c, spacemgr::cell_candidate(cyl, c.centre, c.half, true));
    EXPECT_DOUBLE_EQ(c.scope, 8.0);

    // A rectangles-only list is shrunk by the cylinder it does not keep.
    candlist r = cell(spacemgr_rect, 1.0, 10.0);
    node_add_candidate(r, spacemgr::cell_candidate(cyl, r.centre, r.half, true));
    EXPECT_TRUE(r.entries.empty());
    EXPECT_DOUBLE_EQ(r.scope, 8.0);
    EXPECT_TRUE(node_add_candidate(r, spacemgr::cell_candidate(far, r.centre, r.half, true)));
    EXPECT_DOUBLE_EQ(r.scope, 7.5);
}

TEST(cell_list, kind_2_keeps_every_incline_block_in_reach) {
    layout_builder lb({{-50, -50, -50}, {50, 50, 50}});
    candlist l = cell(spacemgr_incline_keep, 1.0, 10.0);
    for (int i = 0; i < 6; ++i) {
        const block& c = lb.add(make_cylinder_solid({3.0 + i, 0, 0}, 0.5, 1.0));
        EXPECT_TRUE(node_add_candidate(l, spacemgr::cell_candidate(c, l.centre, l.half, true)));
        // Kind 2 has no duplicate test either.
        EXPECT_TRUE(node_add_candidate(l, spacemgr::cell_candidate(c, l.centre, l.half, true)));
    }
    const block& bx = lb.add(make_box_solid({{1.5, -1, -1}, {2, 1, 1}}));
    EXPECT_TRUE(node_add_candidate(l, spacemgr::cell_candidate(bx, l.centre, l.half, true)));
    EXPECT_EQ(l.entries.size(), 12u);  // the box is not stored
    EXPECT_DOUBLE_EQ(l.scope, 10.0);
    const block& out = lb.add(make_cylinder_solid({12.5, 0, 0}, 0.5, 1.0));
    EXPECT_FALSE(node_add_candidate(l, spacemgr::cell_candidate(out, l.centre, l.half, true)));
}

TEST(cell_list, finalize_drops_slanted_blocks_out_of_reach_and_sorts) {
    layout_builder lb({{-50, -50, -50}, {50, 50, 50}});
    // A thin diagonal prism whose outer box covers the cell but whose solid
    // passes 2.9 away from its centre.
    const block& thin =
        lb.add(make_nprism_solid(make_prism({{-7, 1}, {1, -7}, {1.1, -6.9}, {-6.9, 1.1}}, -1, 1)));
    const block& b1 = lb.add(make_box_solid({{2.5, -1, -1}, {3, 1, 1}}));
    const block& b2 = lb.add(make_box_solid({{-2.5, -1, -1}, {-1.8, 1, 1}}));
    candlist l = cell(spacemgr_all, 1.0, 1.5);
    for (const block* b : {&b1, &thin, &b2}) {
        const bool rect = b->solid.kind == solid_box;
        l.entries.push_back({b, box_distance(b->solid.outer_box, l.centre) - l.half, uint8_t(rect), 0, 1});
    }
    l.finalize();
    ASSERT_EQ(l.entries.size(), 2u);
    EXPECT_EQ(l.entries[0].block, &b2);
    EXPECT_EQ(l.entries[1].block, &b1);
}

}  // namespace
