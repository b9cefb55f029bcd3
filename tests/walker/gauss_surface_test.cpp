#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "foundation/errors.hpp"

#include "geometry/primitives.hpp"
#include "walker/gauss_offsets.hpp"
#include "walker/gauss_surface.hpp"
#include "walker_fixtures.hpp"
#include "tests/ends_run.hpp"

using namespace walker_test;

namespace {

double box_area(const box& b) {
    const double x = b.hi.x - b.lo.x, y = b.hi.y - b.lo.y, z = b.hi.z - b.lo.z;
    return 2.0 * (x * y + y * z + z * x);
}

}  // namespace

TEST(GaussSurface, LoneBoxTakesTheSmallestLimitAndSixFaces) {
    // Window gap 3 on -z limits d before 20 * side (20) and 100 * wire width.
    layout_fixture f(make_box(-10, -10, -4, 10, 10, 10));
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 0, -1, 1, 1, 0)));
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_DOUBLE_EQ(s.boxes[0].offset, 1.5);
    ASSERT_EQ(s.pieces.size(), 6u);
    const box g = make_box(-1.5, -1.5, -2.5, 2.5, 2.5, 1.5);
    EXPECT_DOUBLE_EQ(s.total_area, box_area(g));
    EXPECT_EQ(s.area_cdf.back(), 1.0);
    for (std::size_t i = 1; i < s.area_cdf.size(); ++i) EXPECT_GE(s.area_cdf[i], s.area_cdf[i - 1]);
    // Faces 0..5 = +x, +y, +z, -x, -y, -z, each spanning the grown box.
    EXPECT_EQ(s.pieces[0].face, 0u);
    EXPECT_DOUBLE_EQ(s.pieces[0].data[0].f, 2.5);
    EXPECT_DOUBLE_EQ(s.pieces[5].data[2].f, -2.5);
    EXPECT_EQ(s.strata[0], default_strata);
    EXPECT_EQ(s.max_weight, 1.0);

    // The wire width limit wins when it is the smallest.
    f.lay->wire_width = 0.01;
    gauss_surface narrow(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(narrow, m);
    EXPECT_DOUBLE_EQ(narrow.boxes[0].offset, 0.5);
}

TEST(GaussSurface, NearNeighbourSetsOffsetAndStrata) {
    layout_fixture f(make_box(-50, -50, -50, 50, 50, 50));
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 0, 0, 8, 1, 1)));
    conductor& other = f.net("o");
    // 0.6 away in y, overlapping in x and z: within d on every axis.
    f.add(other, make_box_solid(make_box(0, 1.6, 0, 2, 2.6, 0.5)));
    // Far in x: does not qualify.
    f.add(other, make_box_solid(make_box(30, 0, 0, 30.1, 0.1, 0.1)));
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    EXPECT_DOUBLE_EQ(s.boxes[0].offset, 0.3);
    EXPECT_EQ(s.strata[0], 64.0);       // 8 * ceil(8 / 2) = 32 stays below 64
    EXPECT_EQ(s.strata[1], 64.0);

    // A thin neighbour raises the strata: 8 * ceil(8 / 0.125) = 512 in x.
    layout_fixture g(make_box(-50, -50, -50, 50, 50, 50));
    conductor& m2 = g.net("m");
    g.add(m2, make_box_solid(make_box(0, 0, 0, 8, 1, 1)));
    conductor& thin = g.net("t");
    g.add(thin, make_box_solid(make_box(1, 1.5, 0, 1.125, 1.5625, 0.25)));
    gauss_surface s2(&g.cfg, g.lay.get());
    build_master_gauss_surfaces(s2, m2);
    EXPECT_DOUBLE_EQ(s2.boxes[0].offset, 0.25);
    EXPECT_EQ(s2.strata[0], 512.0);
    EXPECT_EQ(s2.strata[1], 128.0);
}

// A neighbour near one spot of a wide block limits only the tiles around
// it; the grown tiles cover the block, keep clear of every other net, and
// stand farther out away from the spot. A neighbour along the whole block
// leaves it one box, and so do start points drawn by the offset, which
// would hardly ever be accepted on the far tiles.
TEST(GaussSurface, WideBlockIsTiledAroundANeighbourThatLimitsOnlyPartOfIt) {
    struct tiling_case {
        box neighbour;
        configure::gauss_arg type;
        bool tiled;
    };
    const box spot = make_box(50, 50, 1.1, 50.5, 50.5, 1.6);
    for (const tiling_case c : {tiling_case{spot, configure::gauss_default, true},
                                tiling_case{spot, configure::gauss_both, false},
                                tiling_case{make_box(0, 0, -1.1, 100, 100, -0.1), configure::gauss_default, false}}) {
        layout_fixture f(make_box(-200, -200, -200, 300, 300, 200));
        f.cfg.gauss_type = c.type;
        conductor& m = f.net("m");
        const box plate = make_box(0, 0, 0, 100, 100, 1);
        f.add(m, make_box_solid(plate));
        conductor& o = f.net("o");
        f.add(o, make_box_solid(c.neighbour));
        f.lay->wire_width = 0.5;
        gauss_surface s(&f.cfg, f.lay.get());
        build_master_gauss_surfaces(s, m);
        ASSERT_EQ(s.boxes.size() > 1, c.tiled) << s.boxes.size();
        double volume = 0, smallest = 1e9, largest = 0;
        for (const gauss_box& gb : s.boxes) {
            const box& g = gb.solid.outer_box;
            const box t = grow_box(g, -gb.offset);
            EXPECT_TRUE(box_contains_point(plate, t.lo) && box_contains_point(plate, t.hi));
            EXPECT_GE(box_gap(g, c.neighbour), gb.offset - 1e-12);
            volume += (t.hi.x - t.lo.x) * (t.hi.y - t.lo.y) * (t.hi.z - t.lo.z);
            smallest = std::min(smallest, gb.offset);
            largest = std::max(largest, gb.offset);
        }
        EXPECT_NEAR(volume, 1e4, 1e-6);
        EXPECT_NEAR(smallest, 0.05, 1e-12);
        if (c.tiled) {
            EXPECT_GE(largest, 16 * smallest);
        }
    }
}

TEST(GaussSurface, InterfacesLimitTheOffsetByMode) {
    // Layers with tops 1, 2, 3, 4 (and above): the master spans z 2.2..2.6.
    std::vector<medium> media = {{-1e9, 1, 1.0}, {1, 2, 2.0}, {2, 3, 3.0}, {3, 4, 4.0}, {4, 1e9, 5.0}};
    layout_fixture f(make_box(-100, -100, -100, 100, 100, 100), boundary_dirichlet, media);
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 0, 2.2, 10, 10, 2.6)));
    f.cfg.multi_dielectric = configure::layout_two;
    gauss_surface two(&f.cfg, f.lay.get());
    EXPECT_DOUBLE_EQ(interface_gap(two, f.lay->blocks[0].solid.outer_box), 2.0 * (2.2 - 1.0));
    f.cfg.multi_dielectric = configure::layout_four;
    EXPECT_DOUBLE_EQ(interface_gap(two, f.lay->blocks[0].solid.outer_box), 2.0 * (1e9 - 2.6));
    f.cfg.multi_dielectric = configure::layout_approx;
    EXPECT_EQ(interface_gap(two, f.lay->blocks[0].solid.outer_box), 1e9);
    // An interface exactly at the bottom does not count as below it.
    f.cfg.multi_dielectric = configure::layout_two;
    EXPECT_DOUBLE_EQ(interface_gap(two, make_box(0, 0, 3, 1, 1, 3.5)), 2.0 * (3.0 - 1.0));
}

TEST(GaussSurface, NeumannWindowClipsOnlyBoxesReachingOut) {
    layout_fixture f(make_box(0, 0, 0, 10, 10, 10), boundary_neumann);
    conductor& m = f.net("m");
    f.lay->wire_width = 0.01;  // d = 0.5
    f.add(m, make_box_solid(make_box(0, 4, 4, 2, 6, 6)));  // touches x = 0
    f.add(m, make_box_solid(make_box(4, 4, 4, 5, 5, 5)));
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    ASSERT_EQ(s.boxes.size(), 2u);
    EXPECT_EQ(s.boxes[0].clip, 1);
    EXPECT_EQ(s.boxes[1].clip, 0);
    EXPECT_DOUBLE_EQ(s.boxes[0].offset, 0.5);  // the window does not limit d

    // A master alone takes an offset of 20 times its side: here every face
    // of the grown box lies beyond the window, and no start point could
    // ever be drawn.
    layout_fixture lone(make_box(-6, -6, 0, 6, 6, 3), boundary_neumann);
    conductor& l = lone.net("lone");
    lone.add(l, make_box_solid(make_box(-1, -1, 1, 1, 1, 1.3)));
    gauss_surface sl(&lone.cfg, lone.lay.get());
    try {
        build_master_gauss_surfaces(sl, l);
        ADD_FAILURE() << "a surface wholly outside the window was accepted";
    } catch (const sea::basic_error& e) {
        EXPECT_STREQ(e.what(), "no start point of master lone can be drawn: its Gaussian surface lies wholly outside "
                               "the Neumann window");
    }
}

TEST(GaussSurface, APieceMayLieInsideTheWindowOnlyWhereItOverlapsItsInside) {
    const box win = make_box(0, 0, 0, 10, 10, 10);
    auto rect = [](double x, double y0, double y1) {
        surface_piece q{};
        q.shape = surface_rect;
        q.data[0].f = x, q.data[1].f = y0, q.data[2].f = 2;
        q.data[3].f = y1 - y0, q.data[4].f = 3;  // along y, then z
        q.data[5].u = face_pos_x;
        return q;
    };
    EXPECT_TRUE(piece_may_lie_inside(rect(5, -3, 1), win));
    EXPECT_TRUE(piece_may_lie_inside(rect(10, 2, 4), win));    // on a side, within the slack
    EXPECT_FALSE(piece_may_lie_inside(rect(10.1, 2, 4), win));  // beyond a side
    EXPECT_FALSE(piece_may_lie_inside(rect(5, -3, -1), win));   // beside the window
    EXPECT_FALSE(piece_may_lie_inside(rect(5, 10.1, 12), win));
    surface_piece t{};
    t.shape = surface_triangle;
    t.data[0].f = 5;
    t.data[1].f = -1, t.data[2].f = -1, t.data[3].f = -2, t.data[4].f = -1, t.data[5].f = -1, t.data[6].f = -2;
    t.data[7].u = face_pos_z;
    EXPECT_FALSE(piece_may_lie_inside(t, win));
    t.data[1].f = 1, t.data[2].f = 1;  // one corner inside
    EXPECT_TRUE(piece_may_lie_inside(t, win));
}

TEST(GaussSurface, OverlapsRelateOverlappingGrownBoxesBothWays) {
    layout_fixture f(make_box(-100, -100, -100, 100, 100, 100));
    f.lay->wire_width = 0.005;  // d = 0.25 for every block
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 0, 0, 1, 1, 1)));
    f.add(m, make_box_solid(make_box(1.2, 0, 0, 2, 1, 1)));  // grown boxes overlap
    f.add(m, make_box_solid(make_box(2.5, 0, 0, 3, 1, 1)));  // grown boxes only touch
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    ASSERT_EQ(s.box_list.size(), 3u);
    ASSERT_EQ(s.grown_bounds.size(), 3u);
    EXPECT_TRUE(gauss_boxes_overlap(s.grown_bounds[1], s.grown_bounds[0]));
    EXPECT_FALSE(gauss_boxes_overlap(s.grown_bounds[2], s.grown_bounds[0]));
    EXPECT_FALSE(gauss_boxes_overlap(s.grown_bounds[2], s.grown_bounds[1]));
    EXPECT_EQ(s.box_list[2]->index, 2u);
}

TEST(GaussSurface, PrismPiecesCapsSidesAndSlantedNormals) {
    layout_fixture f(make_box(-100, -100, -100, 100, 100, 100));
    f.lay->wire_width = 0.01;  // d = 0.5
    conductor& m = f.net("m");
    f.add(m, make_nprism_solid(make_prism({{0, 0}, {2, 0}, {2, 1}, {0, 1}}, 0, 1)));
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    ASSERT_EQ(s.pieces.size(), 2u * 2u + 4u);
    EXPECT_EQ(s.boxes[0].solid.shape.prism.n, 4u);
    EXPECT_EQ(s.pieces[0].face, uint64_t(face_neg_z));
    EXPECT_EQ(s.pieces[1].face, uint64_t(face_pos_z));
    EXPECT_DOUBLE_EQ(s.total_area, box_area(make_box(-0.5, -0.5, -0.5, 2.5, 1.5, 1.5)));
    EXPECT_EQ(s.pieces[4].face, uint64_t(face_neg_y));

    // A right triangle: its hypotenuse is slanted, facing (+1, +1)/sqrt 2.
    layout_fixture g(make_box(-100, -100, -100, 100, 100, 100));
    g.lay->wire_width = 0.01;
    conductor& t = g.net("t");
    g.add(t, make_nprism_solid(make_prism({{0, 0}, {2, 0}, {0, 2}}, 0, 1)));
    gauss_surface st(&g.cfg, g.lay.get());
    build_master_gauss_surfaces(st, t);
    int slanted = 0;
    for (const surface_piece& p : st.pieces) {
        if (p.face != face_slanted) continue;
        ++slanted;
        EXPECT_EQ(p.value.nx, 23170);
        EXPECT_EQ(p.value.ny, 23170);
        EXPECT_EQ(st.boxes[0].slant_pieces.count(slant_normal{-23170, -23170}), 1u);
    }
    EXPECT_EQ(slanted, 1);
}

TEST(GaussSurface, GrownPolygonBeyondEightVerticesIsFatal) {
    layout_fixture f(make_box(-100, -100, -100, 100, 100, 100));
    f.lay->wire_width = 0.01;
    conductor& m = f.net("m");
    // Three slanted edges grow to seven vertices, which is still accepted.
    f.add(m, make_nprism_solid(make_prism({{0, 0}, {3, 1}, {1, 3}}, 0, 1)));
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    EXPECT_EQ(s.boxes[0].solid.shape.prism.n, 7u);

    layout_fixture g(make_box(-100, -100, -100, 100, 100, 100));
    g.lay->wire_width = 0.01;
    conductor& m2 = g.net("m");
    // Five slanted edges grow to nine (two neighbours share a side pattern).
    g.add(m2, make_nprism_solid(make_prism({{0, 0}, {4, 1}, {5, 4}, {2, 6}, {-1, 3}}, 0, 1)));
    gauss_surface s2(&g.cfg, g.lay.get());
    EXPECT_EXIT(
        {
            errors_to_stderr();
            korvex_test::ending_as_the_program([&] { build_master_gauss_surfaces(s2, m2); });
        },
        ::testing::ExitedWithCode(1), "nprism_t error: vertex number 9 not supported.\n");
}

TEST(GaussSurface, TouchedOrEmptyMasterEndsTheRun) {
    // The message's second line names what is too close, then a blank line.
    const std::string touched = "Error: the master net is touched by other net!\n";
    // Neighbour gaps: touching, and so close that the start points (half
    // the gap away) would touch both nets; just beyond that it is accepted.
    struct gap_case {
        double gap;
        bool touched;
        const char* names;  // the second line's account of the two nets
    };
    for (const gap_case c : {gap_case{0.0, true, "touch or overlap"},
                             gap_case{1.5e-4, true, "lie 0.00015 um apart, closer than 0.000199998 um"},
                             gap_case{2.1e-4, false, ""}}) {
        layout_fixture f(make_box(-10, -10, -10, 10, 10, 10));
        conductor& m = f.net("m");
        f.add(m, make_box_solid(make_box(0, 0, 0, 1, 1, 1)));
        conductor& o = f.net("o");
        f.add(o, make_box_solid(make_box(1 + c.gap, 0, 0, 2, 1, 1)));
        gauss_surface s(&f.cfg, f.lay.get());
        if (!c.touched) {
            // The face across the gap keeps half of it; the far side of
            // the cube is cut off as tiles that stand farther out.
            build_master_gauss_surfaces(s, m);
            double smallest = 1e9;
            for (const gauss_box& gb : s.boxes) smallest = std::min(smallest, gb.offset);
            EXPECT_NEAR(smallest, 0.5 * c.gap, 1e-15);
            continue;
        }
        EXPECT_EXIT(
            {
                errors_to_stderr();
                korvex_test::ending_as_the_program([&] { build_master_gauss_surfaces(s, m); });
            },
            ::testing::ExitedWithCode(1),
            touched + "master net m \\(block m0\\) and net o \\(block o0\\) " + c.names +
                ": move them apart, or join them into one net\n\n")
            << "gap " << c.gap;
    }

    // A master on a Dirichlet window side is touched too.
    layout_fixture w(make_box(0, 0, 0, 10, 10, 10));
    conductor& mw = w.net("m");
    w.add(mw, make_box_solid(make_box(0, 4, 4, 1, 5, 5)));
    gauss_surface sw(&w.cfg, w.lay.get());
    EXPECT_EXIT(
        {
            errors_to_stderr();
            korvex_test::ending_as_the_program([&] { build_master_gauss_surfaces(sw, mw); });
        },
        ::testing::ExitedWithCode(1),
        touched + "block m0 of master net m touches a side of the Dirichlet window: move the window side away from "
                  "it\n\n");

    layout_fixture e(make_box(0, 0, 0, 10, 10, 10));
    conductor& empty = e.net("empty");
    gauss_surface se(&e.cfg, e.lay.get());
    // No block to start from: reported instead of sampling an empty surface.
    EXPECT_EXIT(
        {
            errors_to_stderr();
            korvex_test::ending_as_the_program([&] { build_master_gauss_surfaces(se, empty); });
        },
        ::testing::ExitedWithCode(1), "the master net empty has no block");
}
