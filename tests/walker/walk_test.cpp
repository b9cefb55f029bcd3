#include <gtest/gtest.h>

#include <cmath>

#include "space/space_manager.hpp"
#include "synthetic_tables.hpp"
#include "walker/walk_steps.hpp"
#include "walker/walker_factory.hpp"
#include "walker_fixtures.hpp"

using namespace walker_test;

namespace {

// Two plates filling a Neumann window: the master at z 0..0.5 and the
// other at 2.5..3, so the gap is 2 and the potential varies in z only.
constexpr double master_top = 0.5, upper_bottom = 2.5;

struct plates : layout_fixture {
    synthetic_tables tables;
    std::unique_ptr<space_manager_interface> space;
    conductor* master;
    block* upper;
    std::unique_ptr<gauss_surface> gauss;

    explicit plates(std::vector<medium> media = {{-1e9, 1e9, 1.0}}, configure::layout_arg mode = configure::layout_two)
        : layout_fixture(make_box(0, 0, 0, 10, 10, 3), boundary_neumann, media) {
        cfg.multi_dielectric = mode;
        lay->wire_width = 0.1;
        master = &net("master");
        add(*master, make_box_solid(make_box(0, 0, 0, 10, 10, master_top)));
        conductor& other = net("upper");
        upper = &add(other, make_box_solid(make_box(0, 0, upper_bottom, 10, 10, 3)));
        for (std::size_t i = 0; i + 1 < media.size(); ++i) tables.add_interface(media[i].eps, media[i + 1].eps);
        create_space_manager(space, cfg, *lay);
        gauss = std::make_unique<gauss_surface>(&cfg, lay.get());
        build_master_gauss_surfaces(*gauss, *master);
    }

    walker_task_head head() { return walker_task_head{&cfg, lay.get(), &space, &tables.store}; }
};

template <class W>
W& as(std::unique_ptr<random_walker_interface>& p) {
    W* w = dynamic_cast<W*>(p.get());
    EXPECT_NE(w, nullptr);
    return *w;
}

// Runs walks from height z with the loop alone; the fraction ending on the
// upper plate.
template <class W>
double upper_fraction(W& w, const block* upper, double z, int n) {
    int hits = 0;
    for (int i = 0; i < n; ++i) {
        w.pos = {5.0, 5.0, z};
        w.result.hops = 0;
        w.domain.nearest = nullptr;
        w.layer.reset(z);
        while (w.loop_step()) {
        }
        hits += w.result.terminal == upper;
    }
    return double(hits) / n;
}

struct mean_error {
    double mean, se;
};

// Mean and standard error of weight over walks ending on the master.
mean_error master_weight(random_walker_interface& w, const conductor* master, int n) {
    double sum = 0, sq = 0;
    for (int i = 0; i < n; ++i) {
        const walk_result* r = w.walk_once();
        const double x = r->terminal && r->terminal->owner == master ? r->weight : 0.0;
        sum += x;
        sq += x * x;
    }
    const double mean = sum / n;
    return {mean, std::sqrt((sq / n - mean * mean) / (n - 1))};
}

}  // namespace

TEST(Walk, HomogeneousPlatesEndOnTheUpperPlateWithProbabilityZOverD) {
    plates p;
    std::unique_ptr<random_walker_interface> owner;
    create_walker(owner, p.head(), p.gauss.get());
    auto& w = as<default_walker<empty_layer_index, default_transfer_domain<true>>>(owner);
    w.rng.seed(11);
    const int n = 4000;
    for (double z : {0.9, 1.5, 2.2}) {
        const double expect = (z - master_top) / (upper_bottom - master_top);
        const double se = std::sqrt(expect * (1 - expect) / n);
        EXPECT_NEAR(upper_fraction(w, p.upper, z, n), expect, 3.5 * se) << z;
    }
}

TEST(Walk, TwoSlabPlatesFollowTheLayeredPotential) {
    // eps 1 below z = 1.2, eps 10 above: a contrast that makes a cube
    // classified on the wrong side of the interface miss by many errors.
    const std::vector<medium> media = {{-1e9, 1.2, 1.0}, {1.2, 1e9, 10.0}};
    const double total = (1.2 - master_top) / 1.0 + (upper_bottom - 1.2) / 10.0;
    auto potential = [&](double z) {
        return z < 1.2 ? (z - master_top) / total : ((1.2 - master_top) + (z - 1.2) / 10.0) / total;
    };
    for (auto mode : {configure::layout_two, configure::layout_four}) {
        plates p(media, mode);
        std::unique_ptr<random_walker_interface> owner;
        create_walker(owner, p.head(), p.gauss.get());
        const int n = 3000;
        for (double z : {0.8, 1.0, 1.2, 1.9}) {
            const double expect = potential(z);
            const double se = std::sqrt(expect * (1 - expect) / n);
            double got;
            if (mode == configure::layout_two) {
                auto& w = as<default_walker<multi_layer_index<1ul, false>, default_transfer_domain<true>>>(owner);
                got = upper_fraction(w, p.upper, z, n);
            } else {
                auto& w = as<default_walker<multi_layer_index<3ul, false>, default_transfer_domain<true>>>(owner);
                got = upper_fraction(w, p.upper, z, n);
            }
            EXPECT_NEAR(got, expect, 3.5 * se) << "mode " << int(mode) << " z " << z;
        }
    }
}

TEST(Walk, MeanFirstHopWeightGivesTheCapacitancePerArea) {
    {
        // Homogeneous: start on z = 1.5, -dphi/dz = 1 / gap.
        plates p;
        std::unique_ptr<random_walker_interface> owner;
        create_walker(owner, p.head(), p.gauss.get());
        const mean_error m = master_weight(*owner, p.master, 20000);
        EXPECT_NEAR(m.mean, 1.0 / (upper_bottom - master_top), 3.0 * m.se);
    }
    {
        // Two slabs: eps * mean = 1 / sum(d_i / eps_i) at the start height.
        const std::vector<medium> media = {{-1e9, 1.2, 1.0}, {1.2, 1e9, 10.0}};
        plates p(media);
        std::unique_ptr<random_walker_interface> owner;
        create_walker(owner, p.head(), p.gauss.get());
        const mean_error m = master_weight(*owner, p.master, 20000);
        const double total = (1.2 - master_top) / 1.0 + (upper_bottom - 1.2) / 10.0;
        EXPECT_NEAR(10.0 * m.mean, 1.0 / total, 3.0 * 10.0 * m.se);
    }
}

TEST(Walk, ModeOutsideTheTableOnALayeredStackBuildsNothing) {
    plates p;
    std::unique_ptr<random_walker_interface> owner;
    create_walker(owner, p.head(), p.gauss.get());
    plates q({{-1e9, 1.2, 1.0}, {1.2, 1e9, 4.0}}, configure::layout_off);
    random_walker_interface* before = owner.get();
    create_walker(owner, q.head(), q.gauss.get());
    EXPECT_EQ(owner.get(), before);
}

TEST(Walk, HighContrastBitsAndReplacingAnOwner) {
    plates p({{-1e9, 1.0, 1.0}, {1.0, 2.0, 1.5}, {2.0, 1e9, 2.4}}, configure::layout_approx);
    std::unique_ptr<random_walker_interface> owner;
    create_walker(owner, p.head(), p.gauss.get());
    auto& w = as<default_walker<equal_layer_index, default_transfer_domain<true>>>(owner);
    ASSERT_EQ(w.layer.high_contrast.size(), 2u);
    EXPECT_FALSE(w.layer.high_contrast[0]);  // 1.5 is not above 1.500000001
    EXPECT_TRUE(w.layer.high_contrast[1]);   // 2.4 / 1.5 = 1.6

    // The old walker is deleted only after the new one is stored.
    struct probe final : random_walker_interface {
        std::unique_ptr<random_walker_interface>* owner;
        bool* replaced;
        ~probe() override { *replaced = owner->get() != this && owner->get() != nullptr; }
        const walk_result* walk_once() override { return nullptr; }
        const crossed_floating_set& crossed() const override { static crossed_floating_set s; return s; }
    };
    bool replaced = false;
    auto* old = new probe;
    old->owner = &owner;
    old->replaced = &replaced;
    owner.reset(old);
    create_walker(owner, p.head(), p.gauss.get());
    EXPECT_TRUE(replaced);
}

TEST(Walk, WindowChecksAbsorbFoldOrIgnore) {
    plates p;
    std::unique_ptr<random_walker_interface> owner;
    create_walker(owner, p.head(), p.gauss.get());
    auto& w = as<default_walker<empty_layer_index, default_transfer_domain<true>>>(owner);
    w.pos = {10.3, -0.3, 1.0};
    EXPECT_TRUE(w.window_checks());  // Neumann: folded back
    EXPECT_NEAR(w.pos.x, 9.7, 1e-12);
    EXPECT_NEAR(w.pos.y, 0.3, 1e-12);
    w.pos = {10.0 + 5e-10, 5.0, 1.0};  // on the side within 1e-9: inside, not folded
    EXPECT_TRUE(w.window_checks());
    EXPECT_EQ(w.pos.x, 10.0 + 5e-10);

    p.lay->window.boundary = boundary_dirichlet;
    w.result.terminal = p.upper;
    w.pos = {10.3, 5.0, 1.0};
    EXPECT_FALSE(w.window_checks());
    EXPECT_EQ(w.result.terminal, nullptr);

    p.lay->window.boundary = boundary_none;
    EXPECT_TRUE(w.window_checks());
    EXPECT_EQ(w.pos.x, 10.3);
}

TEST(Walk, TouchingABoundaryWithoutBlockEndsWithoutHop) {
    // Dirichlet window with the critical box in use: outside the critical
    // box the query answers the distance to the window.
    layout_fixture f(make_box(0, 0, 0, 10, 10, 10), boundary_dirichlet);
    f.cfg.critical_box = true;
    f.lay->critical_box = make_box(4, 4, 4, 6, 6, 6);
    f.lay->wire_width = 0.1;
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(4.5, 4.5, 4.5, 5.5, 5.5, 5.5)));
    synthetic_tables t;
    std::unique_ptr<space_manager_interface> space;
    create_space_manager(space, f.cfg, *f.lay);
    gauss_surface g(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(g, m);
    std::unique_ptr<random_walker_interface> owner;
    create_walker(owner, walker_task_head{&f.cfg, f.lay.get(), &space, &t.store}, &g);
    auto& w = as<default_walker<empty_layer_index, default_transfer_domain<true>>>(owner);
    w.pos = {5.0, 5.0, 10.0 - 5e-5};
    w.result.hops = 0;
    w.result.terminal = &f.lay->blocks[0];
    EXPECT_FALSE(w.loop_step());
    EXPECT_EQ(w.result.terminal, nullptr);
    EXPECT_EQ(w.result.hops, 0u);
    EXPECT_EQ(w.domain.cube_mode, uint32_t(cube_touching));
}

TEST(Walk, FloatingConductorIsCrossedAndListedOnce) {
    plates p;
    p.lay->floating_d = 0.1;
    p.cfg.floating_type = configure::floating_arg::fd;
    conductor& fl = p.net("float", 1);
    // A floating plate in the middle of the gap, with a hole-free border.
    block& fb = p.add(fl, make_box_solid(make_box(2, 2, 1.4, 8, 8, 1.6)));
    // Faces -y, -x, +y, +x, -z, +z by area; nothing below the split.
    const double side = 6 * 0.2, cap = 36;
    const double total = 4 * side + 2 * cap;
    fl.surface_table = {side / total, 2 * side / total, 3 * side / total, 4 * side / total,
                        (4 * side + cap) / total, 1.0, 1.4, 0.0};
    create_space_manager(p.space, p.cfg, *p.lay);
    gauss_surface g(&p.cfg, p.lay.get());
    build_master_gauss_surfaces(g, *p.master);
    std::unique_ptr<random_walker_interface> owner;
    create_walker(owner, p.head(), &g);
    int crossed = 0;
    for (int i = 0; i < 3000; ++i) {
        const walk_result* r = owner->walk_once();
        ASSERT_NE(r->terminal, &fb);
        const crossed_floating_set& c = owner->crossed();
        EXPECT_LE(c.size(), 1u);
        if (!c.empty()) {
            EXPECT_EQ(*c.begin(), &fl);
            ++crossed;
        }
    }
    EXPECT_GT(crossed, 100);
}

TEST(Walk, RotatedCubeFacesACylinder) {
    layout_fixture f(make_box(-10, -10, -10, 10, 10, 10), boundary_dirichlet);
    f.lay->wire_width = 0.1;
    conductor& m = f.net("m");
    block& cyl = f.add(m, make_cylinder_solid({0, 0, 0}, 1.0, 5.0));
    synthetic_tables t;
    std::unique_ptr<space_manager_interface> space;
    f.cfg.spacemgr_type = configure::simple_simple;
    create_space_manager(space, f.cfg, *f.lay);
    gauss_surface g(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(g, m);
    std::unique_ptr<random_walker_interface> owner;
    create_walker(owner, walker_task_head{&f.cfg, f.lay.get(), &space, &t.store}, &g);
    auto& w = as<default_walker<empty_layer_index, default_transfer_domain<true>>>(owner);
    // On the x axis the round side is as near as the axis-aligned cube.
    w.pos = {3.0, 0.0, 0.0};
    w.loop_step();
    EXPECT_EQ(w.domain.nearest, &cyl);
    EXPECT_EQ(w.domain.cube_mode, uint32_t(cube_rotated));
    EXPECT_DOUBLE_EQ(w.domain.half_size, 2.0);
    EXPECT_DOUBLE_EQ(w.domain.rot_cos, 1.0);

    f.cfg.rotated_cube = false;
    create_walker(owner, walker_task_head{&f.cfg, f.lay.get(), &space, &t.store}, &g);
    auto& fixed = as<default_walker<empty_layer_index, default_transfer_domain<false>>>(owner);
    fixed.pos = {3.0, 0.0, 0.0};
    fixed.loop_step();
    EXPECT_EQ(fixed.domain.cube_mode, uint32_t(cube_axis_aligned));
}

namespace {

// Answers every query with no block at a fixed distance, ignoring the limit:
// the rounding case in which a start cube reaches past its interfaces.
struct fixed_distance_space final : space_manager_interface {
    double dist;
    explicit fixed_distance_space(double d) : dist(d) {}
    nearest_result find_nearest(const vec3&, search_hint&, search_hint&, double) const override {
        return {nullptr, dist, dist};
    }
};

}  // namespace

TEST(Walk, StartCubeWithThreeInterfacesShrinksAndStillWeighs) {
    // Interfaces 0.3, 0.6 and 0.7 above a flat master at z = 0.
    const std::vector<medium> media = {
        {-1e9, 0.3, 1.0}, {0.3, 0.6, 2.0}, {0.6, 0.7, 3.0}, {0.7, 1e9, 4.0}};
    layout_fixture f(make_box(-10, -10, -10, 10, 10, 10), boundary_dirichlet, media);
    f.cfg.multi_dielectric = configure::layout_four;
    f.lay->wire_width = 0.0001;  // d = 0.005
    conductor& m = f.net("m");
    f.add(m, make_box_solid(make_box(0, 0, 0, 1, 1, 0.001)));
    synthetic_tables t;
    for (std::size_t i = 0; i + 1 < media.size(); ++i) t.add_interface(media[i].eps, media[i + 1].eps);
    std::unique_ptr<space_manager_interface> space = std::make_unique<fixed_distance_space>(1.0);
    gauss_surface g(&f.cfg, f.lay.get());
    build_master_gauss_surfaces(g, m);
    std::unique_ptr<random_walker_interface> owner;
    create_walker(owner, walker_task_head{&f.cfg, f.lay.get(), &space, &t.store}, &g);
    auto& w = as<default_walker<multi_layer_index<3ul, false>, default_transfer_domain<true>>>(owner);
    for (int i = 0; i < 50; ++i) {
        w.result.hops = 0;
        ASSERT_TRUE(w.start_walk());
        // Halved to 0.5, then snapped to the interface at 0.3: one pair hop.
        EXPECT_EQ(w.layer.cube_type, uint32_t(cube_one_interface));
        EXPECT_EQ(w.result.hops, 1u);
        EXPECT_NE(w.result.weight, 1.0);
        EXPECT_TRUE(std::isfinite(w.result.weight));
    }
}
