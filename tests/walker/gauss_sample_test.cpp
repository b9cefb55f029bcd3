#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "geometry/primitives.hpp"
#include "walker/gauss_sample.hpp"
#include "walker_fixtures.hpp"
#include "tests/ends_run.hpp"

using namespace walker_test;

namespace {

// Chi-square of observed counts against expected probabilities.
double chi_square(const std::vector<double>& observed, const std::vector<double>& p, double n) {
    double chi = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) chi += std::pow(observed[i] - n * p[i], 2) / (n * p[i]);
    return chi;
}

// Upper 99.9 % point of chi-square with k degrees of freedom (Wilson-Hilferty).
double chi_square_limit(double k) {
    const double z = 3.09;
    return k * std::pow(1.0 - 2.0 / (9.0 * k) + z * std::sqrt(2.0 / (9.0 * k)), 3);
}

}  // namespace

TEST(GaussSample, DrawsAreUniformOverPiecesAndStrata) {
    layout_fixture f(make_box(-100, -100, -100, 100, 100, 100));
    f.lay->wire_width = 0.01;  // d = 0.5
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 0, 0, 3, 1, 2)));
    f.cfg.gauss_type = configure::gauss_uniform;
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    s.strata[0] = s.strata[1] = 4.0;

    walker_rng rng(12345);
    const int n = 120000;
    std::vector<double> by_face(6, 0.0), by_cell(16, 0.0), within_cell(5, 0.0);
    gauss_sample g;
    for (int i = 0; i < n; ++i) {
        sample_gauss_point(g, s, rng);
        ASSERT_EQ(g.gtried, 1u);
        by_face[g.face] += 1.0;
        if (g.face == face_pos_z) {
            // Face +z spans x in [-0.5, 3.5], y in [-0.5, 1.5]: 4 x 4 cells.
            const int cx = int((g.point.x + 0.5) / 1.0), cy = int((g.point.y + 0.5) / 0.5);
            by_cell[cy * 4 + cx] += 1.0;
            // Points spread over the whole cell, not its centre alone.
            within_cell[int(std::fmod(g.point.x + 0.5, 1.0) * 5.0)] += 1.0;
        }
    }
    std::vector<double> p(6);
    for (int k = 0; k < 6; ++k) p[k] = surface_element_area(s.pieces[k]) / s.total_area;
    EXPECT_LT(chi_square(by_face, p, n), chi_square_limit(5));
    EXPECT_LT(chi_square(by_cell, std::vector<double>(16, 1.0 / 16), by_face[face_pos_z]), chi_square_limit(15));
    EXPECT_LT(chi_square(within_cell, std::vector<double>(5, 0.2), by_face[face_pos_z]), chi_square_limit(4));
}

TEST(GaussSample, OverlapsRejectInsideAndCountSharedFaces) {
    layout_fixture f(make_box(-100, -100, -100, 100, 100, 100));
    f.lay->wire_width = 0.01;  // d = 0.5
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 0, 0, 2, 1, 1)));
    f.add(m, make_box_solid(make_box(1, 0, 0, 3, 1, 1)));  // same y-z extent: coplanar faces
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    const surface_piece& top0 = s.pieces[2];   // +z of box 0
    const surface_piece& px0 = s.pieces[0];    // +x of box 0, inside box 1
    EXPECT_EQ(gauss_point_multiplicity(s, {0.0, 0.5, 1.5}, top0), 1);  // only on box 0
    EXPECT_EQ(gauss_point_multiplicity(s, {2.0, 0.5, 1.5}, top0), 2);  // on both tops
    EXPECT_EQ(gauss_point_multiplicity(s, {2.5, 0.5, 0.5}, px0), -1);  // inside box 1

    // Face pressed against a face of the other box turned the other way.
    layout_fixture g(make_box(-100, -100, -100, 100, 100, 100));
    g.lay->wire_width = 0.01;
    conductor& m2 = g.net("m");
    g.add(m2, make_box_solid(make_box(0, 0, 0, 1, 1, 1)));
    g.add(m2, make_box_solid(make_box(0, 0, 1.2, 1, 1, 2)));  // overlapping in z by 0.3
    gauss_surface s2(&g.cfg, g.lay.get());
    build_master_gauss_surfaces(s2, m2);
    // +z face of box 0 at z = 1.5 lies inside box 1 (which starts at 0.7).
    EXPECT_EQ(gauss_point_multiplicity(s2, {0.5, 0.5, 1.5}, s2.pieces[2]), -1);
    // +y face of box 0 at y = 1.5, z = 0.7: on box 1's -z side, both outward: shared edge line.
    EXPECT_EQ(gauss_point_multiplicity(s2, {0.5, 1.5, 0.9}, s2.pieces[1]), 2);

    // Only overlapping grown boxes count, wherever they stand in the list: a
    // box that merely touches box 0 would reject its +x face, and the box
    // holding box 0's top comes last.
    layout_fixture h(make_box(-100, -100, -100, 100, 100, 100));
    h.lay->wire_width = 0.01;
    conductor& m3 = h.net("m");
    h.add(m3, make_box_solid(make_box(0, 0, 0, 1, 1, 1)));
    h.add(m3, make_box_solid(make_box(2, 0, 0, 3, 1, 1)));  // grown boxes touch at x = 1.5
    h.add(m3, make_box_solid(make_box(10, 10, 10, 11, 11, 11)));
    h.add(m3, make_box_solid(make_box(0, 0, 1.2, 1, 1, 2)));
    gauss_surface s3(&h.cfg, h.lay.get());
    build_master_gauss_surfaces(s3, m3);
    EXPECT_EQ(gauss_point_multiplicity(s3, {1.5, 0.5, 0.5}, s3.pieces[0]), 1);
    EXPECT_EQ(gauss_point_multiplicity(s3, {0.5, 0.5, 1.5}, s3.pieces[2]), -1);

    // Sampling never returns a point inside the other box; a coplanar point
    // is kept half of the time.
    walker_rng rng(7);
    gauss_sample out;
    double tried = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        sample_gauss_point(out, s, rng);
        tried += double(out.gtried);
        EXPECT_FALSE(out.point.x > -0.5 + 1e-9 && out.point.x < 3.5 - 1e-9 && out.point.y > -0.5 + 1e-9 &&
                     out.point.y < 1.5 - 1e-9 && out.point.z > -0.5 + 1e-9 && out.point.z < 1.5 - 1e-9);
    }
    EXPECT_GT(tried, n);
}

TEST(GaussSample, WeightsFollowGaussTypeAndPermittivity) {
    std::vector<medium> media = {{-1e9, 1.0, 2.0}, {1.0, 1e9, 4.0}};
    layout_fixture f(make_box(-100, -100, -100, 100, 100, 100), boundary_dirichlet, media);
    EXPECT_DOUBLE_EQ(permittivity_taking_mean(f.lay->layers, 0.5), 2.0);
    EXPECT_DOUBLE_EQ(permittivity_taking_mean(f.lay->layers, 1.0), 3.0);
    EXPECT_DOUBLE_EQ(permittivity_taking_below(f.lay->layers, 1.0), 2.0);
    EXPECT_DOUBLE_EQ(permittivity_taking_mean(f.lay->layers, 1.5), 4.0);

    f.lay->wire_width = 0.01;
    f.cfg.multi_dielectric = configure::layout_four;
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 0, 0.0, 1, 1, 2.0)));  // crosses the interface
    walker_rng rng(99);
    gauss_sample g;
    {
        f.cfg.gauss_type = configure::gauss_uniform;
        gauss_surface s(&f.cfg, f.lay.get());
        build_master_gauss_surfaces(s, m);
        for (int i = 0; i < 200; ++i) {
            sample_gauss_point(g, s, rng);
            EXPECT_EQ(g.gtried, 1u);
            EXPECT_EQ(g.sumpdf, 1.0);
            EXPECT_DOUBLE_EQ(g.weight, permittivity_taking_mean(f.lay->layers, g.point.z));
        }
    }
    {
        // "default": points in the weaker layer survive half of the time.
        f.cfg.gauss_type = configure::gauss_default;
        gauss_surface s(&f.cfg, f.lay.get());
        build_master_gauss_surfaces(s, m);
        double below = 0, n = 40000;
        for (int i = 0; i < n; ++i) {
            sample_gauss_point(g, s, rng);
            EXPECT_EQ(g.weight, 1.0);
            if (g.point.z < 1.0 - 1e-9) below += 1;
        }
        // Area below z = 1: bottom face plus the lower halves of the sides.
        double area_below = 0;
        for (const surface_piece& p : s.pieces) {
            if (p.face == face_neg_z) area_below += surface_element_area(p);
            else if (p.face != face_pos_z) area_below += surface_element_area(p) * (1.5 / 3.0);
        }
        const double q = area_below * 2.0, r = (s.total_area - area_below) * 4.0;
        const double expect = q / (q + r);
        EXPECT_NEAR(below / n, expect, 4.0 * std::sqrt(expect * (1 - expect) / n));
    }
}

TEST(GaussSample, ClipRejectsOutsideWindowAndSlantedFacesSplitByNormal) {
    layout_fixture f(make_box(0, 0, 0, 10, 10, 10), boundary_neumann);
    f.lay->wire_width = 0.01;
    f.cfg.gauss_type = configure::gauss_uniform;
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 4, 4, 1, 5, 5)));
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    // Three cells across the grown 2 x 2 x 2 box: the window side x = 0
    // cuts a cell, and the cell centres alone would put a third of four
    // faces outside instead of a quarter.
    s.strata[0] = s.strata[1] = 3.0;
    walker_rng rng(3);
    gauss_sample g;
    uint64_t tried = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        sample_gauss_point(g, s, rng);
        tried += g.gtried;
        EXPECT_GT(g.point.x + 1e-9, 0.0);
        EXPECT_EQ(g.sumpdf, 1.0);  // clipped candidates add nothing
    }
    // Inside: the +x face and three quarters of the four faces across x = 0.
    const double kept = 16.0 / 24.0;
    EXPECT_NEAR(n / double(tried), kept, 4.0 * std::sqrt(kept * (1 - kept) / double(tried)));

    // A 45-degree side facing (+x, -y) resolves to +x or -y half and half.
    layout_fixture h(make_box(-100, -100, -100, 100, 100, 100));
    h.lay->wire_width = 0.01;
    h.cfg.gauss_type = configure::gauss_uniform;
    conductor& t = h.net("t");
    h.add(t, make_nprism_solid(make_prism({{0, 0}, {2, 2}, {0, 2}}, 0, 1)));
    gauss_surface st(&h.cfg, h.lay.get());
    build_master_gauss_surfaces(st, t);
    std::map<uint64_t, int> faces;
    for (int i = 0; i < 40000; ++i) {
        sample_gauss_point(g, st, rng);
        if (g.piece_value.nx != 0 || g.piece_value.ny != 0) faces[g.face]++;
    }
    ASSERT_EQ(faces.size(), 2u);
    const double resolved = faces[face_pos_x] + faces[face_neg_y];
    EXPECT_NEAR(faces[face_pos_x] / resolved, 0.5, 4.0 * std::sqrt(0.25 / resolved));
}

// A surface that leaves no candidate inside the window (here the window is
// moved away after the build, which no run does) ends the run by the
// master's name instead of drawing for ever.
TEST(GaussSampleDeathTest, ASurfaceThatRejectsEveryCandidateEndsTheRun) {
    layout_fixture f(make_box(0, 0, 0, 10, 10, 10), boundary_neumann);
    f.lay->wire_width = 0.01;
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 4, 4, 1, 5, 5)));
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    ASSERT_EQ(s.boxes[0].clip, 1);
    f.lay->window.box = make_box(20, 20, 20, 30, 30, 30);
    walker_rng rng(3);
    gauss_sample g;
    EXPECT_EXIT(korvex_test::ending_as_the_program([&] { sample_gauss_point(g, s, rng); }), ::testing::ExitedWithCode(255),
                "^Fatal error: no start point of master m could be drawn in 100000000 candidates");
}

// A disc cut into slivers that share one vertex, plus a box across it: the
// grid over the grown solids must give every candidate the multiplicity a
// look at every box gives.
TEST(GaussSample, GridCellsGiveTheMultiplicityOfEveryBox) {
    layout_fixture f(make_box(-100, -100, -100, 100, 100, 100));
    f.lay->wire_width = 0.002;  // d = 0.1, several slivers wide
    conductor& m = f.net("m");
    const int n = 60;
    const double pi = std::acos(-1.0);
    auto rim = [&](int i) { return vec2{2 * std::cos(2 * pi * i / n), 2 * std::sin(2 * pi * i / n)}; };
    for (int i = 2; i < n; ++i) f.add(m, make_nprism_solid(make_prism({rim(0), rim(i - 1), rim(i)}, 0, 0.3)));
    f.add(m, make_box_solid(make_box(-0.5, -3, 0.1, 0.5, 3, 0.6)));
    gauss_surface s(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(s, m);
    ASSERT_GT(s.box_grid.nx, 1u);
    gauss_box_grid none;  // without a grid every box is looked at

    walker_rng rng(11);
    std::map<int32_t, int> seen;
    for (int t = 0; t < 20000; ++t) {
        const surface_piece& q = s.pieces[std::size_t(uniform01(rng) * double(s.pieces.size()))];
        const vec3 p = sample_surface_point(q, uniform01(rng), uniform01(rng));
        const int32_t k = gauss_point_multiplicity(s, p, q);
        std::swap(s.box_grid, none);
        const int32_t every = gauss_point_multiplicity(s, p, q);
        std::swap(s.box_grid, none);
        ASSERT_EQ(k, every) << t;
        ++seen[k < 3 ? k : 3];
    }
    // Rejections, single points and shared points all occur.
    EXPECT_GT(seen[-1], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[3], 0);
}
