#include <gtest/gtest.h>

#include <cmath>

#include "geometry/prism.hpp"
#include "geometry/primitives.hpp"
#include "walker/floating_jump.hpp"
#include "walker_fixtures.hpp"
#include "tests/ends_run.hpp"

using namespace walker_test;

namespace {

constexpr double d = 0.4;
constexpr double tol = 1e-12;

struct floating_fixture : layout_fixture {
    walker_rng rng{2024};
    vec3 pos{0, 0, 0};
    uint64_t hops = 0;

    explicit floating_fixture(const box& window = make_box(-50, -50, -50, 50, 50, 50))
        : layout_fixture(window) {
        cfg.floating_d = d;  // what the surface builders read
        lay->floating_d = d;
    }
    jump_state state() { return jump_state{rng, pos, hops, cfg, lay->window, d}; }
};

// Equal weights over the first n entries, then the extra entries.
std::vector<double> uniform_table(std::size_t n, std::vector<double> extra) {
    std::vector<double> t;
    for (std::size_t i = 1; i <= n; ++i) t.push_back(double(i) / double(n));
    t.insert(t.end(), extra.begin(), extra.end());
    return t;
}

// Largest L-infinity gap outside the box (negative inside).
double outside(const vec3& p, const box& b) {
    return std::max({b.lo.x - p.x, p.x - b.hi.x, b.lo.y - p.y, p.y - b.hi.y, b.lo.z - p.z, p.z - b.hi.z});
}

}  // namespace

TEST(FloatingJump, BoxFaceModesLandAtTheirDistances) {
    floating_fixture f;
    const box bx = make_box(0, 0, 0, 2, 1, 1);
    conductor& fl = f.net("fl", 1);
    block& b = f.add(fl, make_box_solid(bx));
    fl.surface_table = uniform_table(6, {0.0, 0.0});  // split at the bottom: all above
    jump_state js = f.state();
    for (int i = 0; i < 2000; ++i) {
        f.cfg.floating_type = configure::floating_arg::fd;
        jump_floating(js, b);
        // Half the distance out, within the face's own rectangle.
        EXPECT_NEAR(outside(f.pos, bx), d / 2, tol);
        int beyond = 0;
        for (int c = 0; c < 3; ++c)
            beyond += axis_of(f.pos, c) < axis_of(bx.lo, c) - tol || axis_of(f.pos, c) > axis_of(bx.hi, c) + tol;
        EXPECT_EQ(beyond, 1);

        f.cfg.floating_type = configure::floating_arg::easy;
        jump_floating(js, b);
        // The full distance out along the normal, up to d/2 beyond the edges.
        EXPECT_NEAR(outside(f.pos, bx), d, tol);
        const box reach = make_box(-d / 2, -d / 2, -d / 2, 2 + d / 2, 1 + d / 2, 1 + d / 2);
        int off_reach = 0;
        for (int c = 0; c < 3; ++c)
            off_reach += axis_of(f.pos, c) < axis_of(reach.lo, c) - tol || axis_of(f.pos, c) > axis_of(reach.hi, c) + tol;
        EXPECT_EQ(off_reach, 1);
    }
    EXPECT_EQ(f.hops, 4000u);
}

TEST(FloatingJump, BoxSidePointsFollowTheLayerPartsOfTheTable) {
    floating_fixture f;
    const box bx = make_box(0, 0, 0, 1, 1, 1);
    conductor& fl = f.net("fl", 1);
    block& b = f.add(fl, make_box_solid(bx));
    // Side faces only; cuts at 0.25 and 0.75 with half the side below the
    // first and 0.6 below the second.
    const std::vector<double> tail = {0.25, 0.5, 0.75, 0.6};
    const std::vector<double> share = {0.5, 0.1, 0.4};
    for (const auto type : {configure::floating_arg::fd, configure::floating_arg::cd}) {
        f.cfg.floating_type = type;
        const std::size_t pieces = type == configure::floating_arg::cd ? 26 : 6;
        fl.surface_table = uniform_table(4, {});
        fl.surface_table.resize(pieces, 1.0);
        fl.surface_table.insert(fl.surface_table.end(), tail.begin(), tail.end());
        jump_state js = f.state();
        const int n = 20000;
        std::vector<int> count(3, 0);
        for (int i = 0; i < n; ++i) {
            jump_floating(js, b);
            ASSERT_GE(f.pos.z, 0.0);
            ASSERT_LE(f.pos.z, 1.0);
            ++count[f.pos.z < 0.25 ? 0 : f.pos.z < 0.75 ? 1 : 2];
        }
        for (std::size_t k = 0; k < share.size(); ++k)
            EXPECT_NEAR(double(count[k]) / n, share[k], 4.0 * std::sqrt(share[k] * (1 - share[k]) / n)) << k;
    }
}

TEST(FloatingJump, CentralEdgePieceLiesOnTwoHalfLines) {
    floating_fixture f;
    const box bx = make_box(0, 0, 0, 1, 1, 1);
    conductor& fl = f.net("fl", 1);
    block& b = f.add(fl, make_box_solid(bx));
    f.cfg.floating_type = configure::floating_arg::cd;
    // Only piece 6 (vertical edge at lo.x, lo.y) can be drawn.
    fl.surface_table.assign(26, 1.0);
    for (int i = 0; i < 6; ++i) fl.surface_table[i] = 0.0;
    fl.surface_table.push_back(0.0);  // split height
    fl.surface_table.push_back(0.0);  // nothing below it
    jump_state js = f.state();
    const double h = d / 2;
    int on_x = 0, n = 20000;
    for (int i = 0; i < n; ++i) {
        jump_floating(js, b);
        const bool leg_x = std::fabs(f.pos.x - (-h)) < tol;
        const bool leg_y = std::fabs(f.pos.y - (-h)) < tol;
        ASSERT_TRUE(leg_x || leg_y);
        if (leg_x) {
            EXPECT_GE(f.pos.y, -d - tol);
            EXPECT_LT(f.pos.y, -h + tol);
            ++on_x;
        } else {
            EXPECT_GE(f.pos.x, -d - tol);
            EXPECT_LT(f.pos.x, -h + tol);
        }
        EXPECT_GE(f.pos.z, 0.0);
        EXPECT_LE(f.pos.z, 1.0);
    }
    EXPECT_NEAR(double(on_x) / n, 0.5, 4.0 * std::sqrt(0.25 / n));
}

TEST(FloatingJump, LandingOutsideTheWindowRepeatsAndCountsHops) {
    // The window's low x side lies inside the floating surface.
    floating_fixture f(make_box(-0.1, -50, -50, 50, 50, 50));
    const box bx = make_box(0, 0, 0, 1, 1, 1);
    conductor& fl = f.net("fl", 1);
    block& b = f.add(fl, make_box_solid(bx));
    f.cfg.floating_type = configure::floating_arg::fd;
    fl.surface_table = uniform_table(6, {0.0, 0.0});
    jump_state js = f.state();
    uint64_t before = 0;
    bool repeated = false;
    for (int i = 0; i < 500; ++i) {
        jump_floating(js, b);
        EXPECT_GT(f.pos.x + 1e-9, -0.1);
        repeated = repeated || f.hops - before > 1;
        before = f.hops;
    }
    EXPECT_TRUE(repeated);
}

TEST(FloatingJump, MultiBlockPointsAvoidOtherGrownBlocks) {
    floating_fixture f;
    conductor& fl = f.net("fl", 1);
    const box b0 = make_box(0, 0, 0, 1, 1, 1), b1 = make_box(0.5, 0, 0, 1.5, 1, 1);
    block& first = f.add(fl, make_box_solid(b0));
    f.add(fl, make_box_solid(b1));
    const box g0 = make_box(-d, -d, -d, 1 + d, 1 + d, 1 + d), g1 = make_box(0.5 - d, -d, -d, 1.5 + d, 1 + d, 1 + d);
    box_faces(g0, fl.surface_elements);
    box_faces(g1, fl.surface_elements);
    fl.grown_blocks = {make_box_solid(g0), make_box_solid(g1)};
    double total = 0;
    for (const surface_element& e : fl.surface_elements) total += e.data[3].f * e.data[4].f;
    double run = 0;
    for (const surface_element& e : fl.surface_elements) fl.surface_table.push_back((run += e.data[3].f * e.data[4].f) / total);
    fl.surface_table.back() = 1.0;
    jump_state js = f.state();
    int shared = 0, n = 20000;
    for (int i = 0; i < n; ++i) {
        jump_floating(js, first);
        EXPECT_GE(outside(f.pos, g0), -1e-9);
        EXPECT_GE(outside(f.pos, g1), -1e-9);
        if (std::fabs(outside(f.pos, g0)) < 1e-9 && std::fabs(outside(f.pos, g1)) < 1e-9) ++shared;
    }
    EXPECT_EQ(f.hops, uint64_t(n));
    EXPECT_GT(shared, 0);
}

TEST(FloatingJump, PrismForwardPushesCapsByDAndSidesByTheirDistance) {
    floating_fixture f;
    conductor& fl = f.net("fl", 1);
    const nprism_t p = make_prism({{0, 0}, {2, 0}, {0, 2}}, 0, 1);
    block& b = f.add(fl, make_nprism_solid(p));
    prism_faces(p, fl.surface_elements);  // 2 triangles, then 3 sides
    ASSERT_EQ(fl.surface_elements.size(), 5u);
    fl.surface_table = uniform_table(5, {0.7, 0.8, 0.9});
    jump_state js = f.state();
    for (int i = 0; i < 3000; ++i) {
        jump_floating(js, b);
        const double bottom = -f.pos.z, top = f.pos.z - 1.0;
        if (std::fabs(bottom - d) < tol || std::fabs(top - d) < tol) continue;  // caps: pushed by d
        ASSERT_GE(f.pos.z, 0.0);
        // Sides: pushed by 0.7 (y = 0 side), 0.8 (hypotenuse) or 0.9 (x = 0).
        const double s0 = -f.pos.y, s2 = -f.pos.x;
        const double s1 = (f.pos.x + f.pos.y - 2.0) / std::sqrt(2.0);
        EXPECT_TRUE(std::fabs(s0 - 0.7) < tol || std::fabs(s1 - 0.8) < tol || std::fabs(s2 - 0.9) < tol)
            << f.pos.x << " " << f.pos.y;
    }
}

TEST(FloatingJump, CylinderConductorEndsTheRun) {
    floating_fixture f;
    conductor& fl = f.net("fl", 1);
    block& b = f.add(fl, make_cylinder_solid({0, 0, 0}, 1.0, 1.0));
    jump_state js = f.state();
    EXPECT_EXIT(
        {
            errors_to_stderr();
            korvex_test::ending_as_the_program([&] { jump_floating(js, b); });
        },
        ::testing::ExitedWithCode(255), "Cylinder floating conductor haven't implemented yet!\n");
}
