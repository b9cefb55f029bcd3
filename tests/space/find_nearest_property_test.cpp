// Every kind of space manager against brute force on random layouts: the
// answer is the nearest distance wherever the searched radius reaches it, never
// more, and no other block lies within the bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <malloc.h>

#include <random>

#include "space/space_manager.hpp"
#include "random_layout.hpp"

namespace {

// Bytes the allocator holds for the program (none are counted under a
// sanitizer's allocator).
std::size_t bytes_in_use() { return mallinfo2().uordblks; }

using space_test::nearest_by_scan;
using space_test::random_layout;

constexpr double tol = 1e-9;
// Query points stay clear of every block by more than the touch depth.
constexpr double clearance = 2e-4;

struct flags {
    bool rotated;
    bool critical;
    int group;  // 0 none, 1 --spacemgr-dominate-group, 2 also the -opt form
    bool split;
};

std::string describe(const flags& f) {
    return std::string("rotated=") + (f.rotated ? "1" : "0") + " critical=" + (f.critical ? "1" : "0") +
           " group=" + std::to_string(f.group) + " split=" + (f.split ? "1" : "0");
}

struct tally {
    long queries = 0;
    long exact = 0;  // answered with the brute-force distance
};

// Checks one answer; returns whether the exact nearest distance was returned.
void check(const layout& lay, const configure& cfg, const vec3& p, const nearest_result& r,
           const search_hint& h1, const search_hint& h2, double max, tally& t, const std::string& what) {
    ++t.queries;
    const bool outside_critical = cfg.critical_box && !box_contains_point(lay.critical_box, p);
    const space_test::brute_nearest bn = nearest_by_scan(lay, p);
    ASSERT_LE(r.dist, std::min(bn.d, max) + tol)
        << what << " p=(" << p.x << "," << p.y << "," << p.z << ") got " << (r.block ? r.block->name : "none")
        << " nearest " << bn.b->name << " kind " << bn.b->solid.kind << " outside_critical " << outside_critical;
    if (outside_critical && !r.block) {
        // Window answer: the distance to the nearest window face, or the limit.
        const box& w = lay.window.box;
        const double wd = std::min({p.x - w.lo.x, w.hi.x - p.x, p.y - w.lo.y, w.hi.y - p.y,
                                    p.z - w.lo.z, w.hi.z - p.z});
        if (std::fabs(r.dist - std::min(wd, max)) <= tol) return;
    }
    ASSERT_GE(r.bound, r.dist - tol) << what;
    if (r.block) {
        ASSERT_NEAR(r.dist, bn.d, tol) << what;
        ASSERT_NEAR(block_distance(p, r.block->solid), r.dist, tol) << what;
    }
    for (const block* b : lay.all_blocks) {
        if (b == r.block) continue;
        ASSERT_GE(block_distance(p, b->solid), r.bound - tol) << what << " bound broken by " << b->name;
    }
    // Within the radius both hints guarantee, nothing may be missed.
    double reach = std::min(max, h1.radius);
    if (cfg.spacemgr_type != configure::simple_none && cfg.spacemgr_type != configure::octree_none &&
        cfg.spacemgr_type != configure::hybrid_none)
        reach = std::min(reach, h2.radius);
    ASSERT_GE(r.dist, std::min(bn.d, reach) - tol) << what;
    if (std::fabs(r.dist - bn.d) <= tol) ++t.exact;
}

class find_nearest_property : public ::testing::TestWithParam<int> {};

TEST_P(find_nearest_property, matches_brute_force_on_random_layouts) {
    const auto kind = configure::spacemgr_arg(GetParam());
    std::uniform_real_distribution<double> u(0.0, 1.0);
    tally t;
    for (int combo = 0; combo < 24; ++combo) {
        const flags f{bool(combo & 1), bool(combo & 2), (combo >> 2) % 3, combo >= 12};
        configure cfg;
        cfg.spacemgr_type = kind;
        cfg.rotated_cube = f.rotated;
        cfg.critical_box = f.critical;
        cfg.spacemgr_dominate_group = f.group >= 1;
        cfg.spacemgr_dominate_group_opt = f.group == 2;
        cfg.spacemgr_split_block = f.split;
        // Small limits make the octrees split and the incline cells halve.
        // (Children keep their parent's reach down to depth 6, so a small
        // limit with a deep tree multiplies cells where blocks crowd.)
        cfg.spacemgr_list = combo % 2 ? 8 : -1;
        cfg.spacemgr_depth = combo % 2 ? 10 : -1;
        cfg.spacemgr_list_incline = combo % 2 ? 10 : -1;
        cfg.spacemgr_depth_incline = combo % 2 ? 3 : -1;
        cfg.spacemgr_grid_scope_variable = combo % 3 == 0;
        for (int seed = 0; seed < 2; ++seed) {
            std::mt19937_64 rng(1000 * combo + seed + 17);
            const auto lay = random_layout(rng, 70, f.split, f.critical, boundary_dirichlet);
            // The ground slab spans the whole window, out of the critical box.
            if (f.critical) space_test::add_ground_slab(*lay, 0.5, 0.7);
            lay->cfg = &cfg;
            std::unique_ptr<space_manager_interface> m;
            create_space_manager(m, cfg, *lay);
            const std::string what = describe(f) + " seed=" + std::to_string(seed);
            search_hint h1, h2;
            const box& w = lay->window.box;
            auto random_point = [&] {
                for (;;) {
                    vec3 p{w.lo.x + 20 * u(rng), w.lo.y + 20 * u(rng), w.lo.z + 10 * u(rng)};
                    if (nearest_by_scan(*lay, p).d > clearance) return p;
                }
            };
            // Scattered points, then walks whose hops land on cube surfaces.
            for (int q = 0; q < 150; ++q) {
                const vec3 p = random_point();
                const double max = q % 5 == 0 ? 0.3 : 1e9;
                const nearest_result r = m->find_nearest(p, h1, h2, max);
                check(*lay, cfg, p, r, h1, h2, max, t, what);
                if (HasFatalFailure()) return;
            }
            vec3 p = random_point();
            for (int q = 0; q < 600; ++q) {
                const nearest_result r = m->find_nearest(p, h1, h2, 1e9);
                check(*lay, cfg, p, r, h1, h2, 1e9, t, what);
                if (HasFatalFailure()) return;
                const double s = r.dist;
                vec3 n = p;
                const int axis = int(u(rng) * 3);
                const double side = u(rng) < 0.5 ? -s : s;
                n.x += axis == 0 ? side : s * (2 * u(rng) - 1);
                n.y += axis == 1 ? side : s * (2 * u(rng) - 1);
                n.z += axis == 2 ? side : s * (2 * u(rng) - 1);
                const bool inside = box_contains_point({{w.lo.x + 1e-3, w.lo.y + 1e-3, w.lo.z + 1e-3},
                                                        {w.hi.x - 1e-3, w.hi.y - 1e-3, w.hi.z - 1e-3}},
                                                       n);
                p = inside && s > clearance && nearest_by_scan(*lay, n).d > clearance ? n : random_point();
            }
        }
    }
    // Not vacuous: many points had their nearest block within the searched radius.
    EXPECT_GT(t.exact, t.queries / 20) << t.exact << " of " << t.queries;
}

TEST_P(find_nearest_property, builds_within_a_share_per_block_and_stays_exact_on_crowded_layouts) {
    // Crowded: 300 blocks in the 20 x 20 x 10 window; with small limits no
    // hiding empties a list, and the incline cells' children keep their
    // parent's reach, so without a bound every cell splits to the depth limit.
    const int n = 300;
    std::mt19937_64 seed_rng(23);
    const auto lay = random_layout(seed_rng, n, true);
    for (const bool small : {false, true}) {
        configure cfg;
        cfg.spacemgr_type = configure::spacemgr_arg(GetParam());
        // Small lists never emptied by hiding, deep trees.
        cfg.spacemgr_list = small ? 3 : -1;
        cfg.spacemgr_depth = small ? 60 : -1;
        cfg.spacemgr_list_incline = small ? 3 : -1;
        cfg.spacemgr_depth_incline = small ? 5 : -1;
        lay->cfg = &cfg;
        std::unique_ptr<space_manager_interface> m;
        const std::size_t before = bytes_in_use();
        create_space_manager(m, cfg, *lay);
        const std::size_t made = bytes_in_use() - before;
        // A fixed allowance, the grid's included, and a share per block.
        EXPECT_LE(made, (std::size_t(16) << 20) + std::size_t(n) * (64 << 10)) << "small limits " << small;
        std::mt19937_64 rng(5);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        tally t;
        search_hint h1, h2;
        for (int q = 0; q < 300; ++q) {
            const vec3 p{6 + 8 * u(rng), 6 + 8 * u(rng), 3 + 4 * u(rng)};
            if (nearest_by_scan(*lay, p).d <= clearance) continue;
            check(*lay, cfg, p, m->find_nearest(p, h1, h2, 1e9), h1, h2, 1e9, t, "crowded fan");
            if (HasFatalFailure()) return;
        }
    }
}

const char* const kind_names[] = {"simple_simple", "octree_octree", "hybrid_hybrid",
                                  "simple_none",   "octree_none",   "hybrid_none",
                                  "hybrid_simple", "hybrid_grid",   "hybrid_grid_nd"};

std::string kind_name(const ::testing::TestParamInfo<int>& i) { return kind_names[i.param]; }

INSTANTIATE_TEST_SUITE_P(all_kinds, find_nearest_property, ::testing::Range(0, 9), kind_name);

}  // namespace
