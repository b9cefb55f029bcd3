// The factory's kinds and log lines, grid and octree construction, search
// hints, the critical box and the primary/secondary combination.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "foundation/errors.hpp"
#include "foundation/log_writers.hpp"
#include "space/basic_space_manager.hpp"
#include "space/grid.hpp"
#include "space/octree.hpp"
#include "space/space_manager.hpp"
#include "random_layout.hpp"
#include "tests/ends_run.hpp"

namespace {

using space_test::layout_builder;

// Sends all four log writers to one temporary file for the test's life.
class log_capture {
public:
    log_capture() : f(std::tmpfile()) { rebuild_log_writers(log_debug, {f, f, f, f}); }
    ~log_capture() {
        rebuild_log_writers(log_off, {nullptr, nullptr, nullptr, nullptr});
        std::fclose(f);
    }
    std::string text() {
        for (sea::writer* w : log_writers()) w->flush();
        std::string s;
        std::rewind(f);
        for (int c; (c = std::fgetc(f)) != EOF;) s += char(c);
        return s;
    }

private:
    FILE* f;
};

const char* const info_lines[] = {
    "using simple-simple space manager\n", "using octree-octree space manager\n",
    "using hybrid-hybrid space manager\n", "using simple-none space manager\n",
    "using octree-none space manager\n",   "using hybrid-none space manager\n",
    "using hybrid-simple space manager\n", "using hybrid-grid space manager\n",
    "using hybrid-grid-nd space manager\n"};

TEST(create_space_manager, logs_the_kind_and_whether_the_critical_box_is_used) {
    for (int k = 0; k < 9; ++k) {
        for (uint32_t boundary : {boundary_neumann, boundary_dirichlet}) {
            layout_builder lb({{0, 0, 0}, {10, 10, 10}}, boundary);
            configure cfg;
            cfg.spacemgr_type = configure::spacemgr_arg(k);
            cfg.critical_box = true;
            log_capture log;
            std::unique_ptr<space_manager_interface> m;
            create_space_manager(m, cfg, *lb.lay);
            ASSERT_TRUE(m);
            const std::string t = log.text();
            EXPECT_EQ(t.find(info_lines[k]), 0u) << t;
            const char* critical =
                boundary == boundary_dirichlet ? "\nuse critical box.\n" : "\nDon't use critical box.\n";
            EXPECT_NE(t.find(critical), std::string::npos) << t;
        }
    }
}

TEST(grid_spacemgr, is_sized_from_the_domain_and_centred_on_it) {
    configure cfg;
    log_capture log;
    basic_grid_spacemgr<octree_node<spacemgr_all>, 20, 16> g;
    g.build(cfg, {{0, 0, 0}, {10, 10, 1}}, {});
    EXPECT_DOUBLE_EQ(g.length, 0.51);  // 0.51 x smallest side beats 10 / 256
    EXPECT_EQ(g.nx, 20u);
    EXPECT_EQ(g.ny, 20u);
    EXPECT_EQ(g.nz, 2u);
    EXPECT_EQ(g.count, 800u);
    EXPECT_NEAR(g.origin.x, -0.1, 1e-12);
    EXPECT_NEAR(g.upper.y, 10.1, 1e-12);
    EXPECT_NEAR(g.origin.z, -0.01, 1e-12);
    EXPECT_EQ(g.cells[0].list.base_scope, 0.0390625);
    EXPECT_EQ(log.text(), "grid_length: 0.510000000000\ngrid scope: 0.039062500000\ngrid size: 800\n");

    basic_grid_spacemgr<incline_node<spacemgr_incline>, 20, 16> inc;
    log_capture log2;
    inc.build(cfg, {{0, 0, 0}, {10, 10, 1}}, {});
    EXPECT_DOUBLE_EQ(inc.length, 0.3125);
    EXPECT_EQ(log2.text(),
              "use seperated incline spacemgr (grid).\ngrid_length: 0.312500000000\n"
              "grid scope: 0.312500000000\ngrid size: 4096\n");
}

TEST(grid_spacemgr, holds_a_bounded_count_of_cells_and_refuses_a_domain_without_finite_size) {
    const double inf = std::numeric_limits<double>::infinity();
    struct domain_case {
        box domain;
        int depth;
        bool refused;
    };
    const domain_case cases[] = {
        {{{0, 0, 0}, {2e10, 2e10, 1}}, 70, false},  // a deep option on a wide flat slab
        {{{0, 0, 0}, {2e10, 2e10, 1e-300}}, 70, false},
        {{{-1e306, -1e306, -1e306}, {1e306, 1e306, 1e306}}, -1, false},
        {{{-1e308, 0, 0}, {1e308, 1, 1}}, -1, true},  // the extent overflows
        {{{0, 0, 0}, {inf, 1, 1}}, -1, true},
        {{{0, 0, 0}, {std::nan(""), 1, 1}}, -1, true},
    };
    for (const domain_case& c : cases) {
        configure cfg;
        cfg.spacemgr_depth = c.depth;
        log_capture log;
        basic_grid_spacemgr<octree_node<spacemgr_all>, 20, 16> g;
        if (c.refused) {
            try {
                g.build(cfg, c.domain, {});
                ADD_FAILURE() << "built over " << c.domain.hi.x;
            } catch (const sea::fatal_error& e) {
                EXPECT_NE(std::string(e.what()).find("has no finite size"), std::string::npos) << e.what();
            }
            continue;
        }
        g.build(cfg, c.domain, {});
        EXPECT_LE(g.count, uint64_t(1) << 18) << c.domain.hi.x;
        EXPECT_EQ(g.count, g.nx * g.ny * g.nz);
        EXPECT_LE(g.origin.x, c.domain.lo.x);
        EXPECT_GE(g.upper.z, c.domain.hi.z);
        EXPECT_TRUE(std::isfinite(g.length));
    }
}

// Visits every leaf of an octree.
template <class F>
void each_leaf(const octree_cell& n, F f) {
    if (!n.children) return f(n);
    for (int i = 0; i < 8; ++i) each_leaf(n.children[i], f);
}

TEST(octree_spacemgr, splits_crowded_leaves_with_the_scope_rate) {
    layout_builder lb({{0, 0, 0}, {16, 16, 16}});
    for (int i = 0; i < 30; ++i)
        lb.add(make_box_solid({{1.0 + (i % 6) * 2.3, 1.0 + (i / 6) * 2.9, 4}, {1.6 + (i % 6) * 2.3, 1.5 + (i / 6) * 2.9, 5}}));
    for (double rate : {1.0, 0.5}) {
        configure cfg;
        cfg.spacemgr_list = 3;
        cfg.spacemgr_scope_rate = rate;
        octree_spacemgr<spacemgr_all> t;
        t.build(cfg, lb.lay->window.box, lb.lay->all_blocks);
        EXPECT_EQ(t.root.list.base_scope, 8.0 / 32);  // half / 2^(12/2 - 1)
        ASSERT_TRUE(t.root.children);
        EXPECT_EQ(t.root.children[0].list.base_scope, 8.0 / 32 * rate);
        EXPECT_EQ(t.root.children[7].list.half, 4.0);
        EXPECT_EQ(t.root.children[7].list.centre.z, 12.0);
        EXPECT_TRUE(t.root.list.entries.empty());
        std::size_t leaves = 0;
        each_leaf(t.root, [&](const octree_cell& n) {
            ++leaves;
            // Sorted, and every entry reaches within the leaf's scope.
            for (const spacemgr::scan_entry* e = n.list.scan_begin; e != n.list.scan_begin + n.list.scan_size; ++e) {
                EXPECT_LT(e->dist, n.list.scope);
                if (e != n.list.scan_begin) {
                    EXPECT_LE(e[-1].dist, e->dist);
                }
            }
        });
        EXPECT_GT(leaves, 8u);
    }
}

TEST(find_nearest, reuses_the_hinted_cell_until_the_point_leaves_it) {
    layout_builder lb({{0, 0, 0}, {20, 20, 20}});
    for (int i = 0; i < 9; ++i) {
        const double o = i == 8 ? 9.5 : 1 + 16 * (i & 1);
        const double p = i == 8 ? 9.5 : 1 + 16 * (i >> 1 & 1), q = i == 8 ? 9.5 : 1 + 16 * (i >> 2 & 1);
        lb.add(make_box_solid({{o, p, q}, {o + 1, p + 1, q + 1}}));
    }
    configure cfg;
    cfg.spacemgr_type = configure::octree_none;
    cfg.spacemgr_list = 1;
    std::unique_ptr<space_manager_interface> m;
    create_space_manager(m, cfg, *lb.lay);
    search_hint h1, h2;
    m->find_nearest({0.5, 0.5, 0.5}, h1, h2, 1e9);
    const spacemgr::candlist* first = h1.list;
    ASSERT_NE(first, nullptr);
    const double half = first->half;
    const vec3 c = first->centre;
    // Another point of the same cell keeps the list; its radius follows it.
    m->find_nearest({c.x + half / 2, c.y, c.z}, h1, h2, 1e9);
    EXPECT_EQ(h1.list, first);
    EXPECT_DOUBLE_EQ(h1.radius, first->base_scope + half / 2);
    // A point of another cell locates again.
    m->find_nearest({19.5, 19.5, 19.5}, h1, h2, 1e9);
    EXPECT_NE(h1.list, first);
    EXPECT_NE(h1.list, nullptr);
}

TEST(find_nearest, a_nearer_secondary_block_wins_with_its_bound_capped) {
    // Without growth the primary grid has 2 x 2 x 2 cells of side 10.2 from
    // -0.2; (4.9, 4.9, 4.9) is the centre of the first.
    layout_builder lb({{0, 0, 0}, {20, 20, 20}});
    lb.lay->wire_width = 0.0;
    const double c = 4.9;
    const block& cyl = lb.add(make_cylinder_solid({c + 2, c, c}, 1.0, 1.0));               // 1 away
    lb.add(make_box_solid({{c - 3, c - 1, c - 1}, {c - 2, c + 1, c + 1}}));  // 2 away
    for (bool rotated : {true, false}) {
        configure cfg;
        cfg.spacemgr_type = configure::hybrid_simple;
        cfg.rotated_cube = rotated;
        std::unique_ptr<space_manager_interface> m;
        create_space_manager(m, cfg, *lb.lay);
        search_hint h1, h2;
        const nearest_result r = m->find_nearest({c, c, c}, h1, h2, 1e9);
        EXPECT_EQ(r.block, &cyl);
        EXPECT_DOUBLE_EQ(r.dist, 1.0);
        EXPECT_DOUBLE_EQ(r.bound, rotated ? 2.0 : 1.0);  // twice 1, capped by the box at 2
    }
}

TEST(find_nearest, outside_the_critical_box_answers_from_the_window) {
    layout_builder lb({{0, 0, 0}, {20, 20, 20}}, boundary_dirichlet);
    lb.lay->critical_box = {{5, 5, 5}, {15, 15, 15}};
    lb.add(make_box_solid({{11.6, 11.6, 11.6}, {13.6, 13.6, 13.6}}));
    for (int k = 0; k < 9; ++k) {
        configure cfg;
        cfg.spacemgr_type = configure::spacemgr_arg(k);
        cfg.critical_box = true;
        std::unique_ptr<space_manager_interface> m;
        create_space_manager(m, cfg, *lb.lay);
        search_hint h1, h2;
        nearest_result r = m->find_nearest({2, 10, 10}, h1, h2, 1e9);
        EXPECT_EQ(r.block, nullptr);
        EXPECT_DOUBLE_EQ(r.dist, 2.0);
        EXPECT_DOUBLE_EQ(r.bound, 2.0);
        EXPECT_EQ(h1.list, nullptr);  // the hint is left as it was
        r = m->find_nearest({2, 10, 10}, h1, h2, 1.5);
        EXPECT_DOUBLE_EQ(r.dist, 1.5);
        // Inside, the block is found.
        r = m->find_nearest({12.6, 12.6, 13.9}, h1, h2, 1e9);
        EXPECT_EQ(r.block, lb.lay->all_blocks[0]) << info_lines[k];
        EXPECT_NEAR(r.dist, 0.3, 1e-12);
    }
}

}  // namespace

namespace {

TEST(find_nearest_death, every_kind_ends_the_run_for_a_point_deep_inside_a_block) {
    layout_builder lb({{0, 0, 0}, {20, 20, 20}});
    lb.add(make_box_solid({{4, 4, 4}, {6, 6, 6}}));
    lb.add(make_cylinder_solid({14, 14, 14}, 1.0, 1.0));
    for (int k = 0; k < 9; ++k) {
        configure cfg;
        cfg.spacemgr_type = configure::spacemgr_arg(k);
        std::unique_ptr<space_manager_interface> m;
        create_space_manager(m, cfg, *lb.lay);
        for (const vec3& p : {vec3{5, 5, 6 - 2e-4}, vec3{14.5, 14, 14}}) {
            search_hint h1, h2;
            EXPECT_EXIT(
                {
                    rebuild_log_writers(log_error, {stdout, stdout, stderr, stderr});
                    korvex_test::ending_as_the_program([&] { m->find_nearest(p, h1, h2, 1e9); });
                },
                ::testing::ExitedWithCode(255),
                "^error \\(spacemgr::candlist::nearest\\): point is inside conductor\\(net[01]\\)\\.\n$")
                << info_lines[k];
        }
    }
}

}  // namespace
