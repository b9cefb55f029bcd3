#include "space/octree.hpp"

#include <algorithm>
#include <cmath>

#include "config/configure.hpp"
#include "space/box_measures.hpp"

namespace {

// Cells and entries the splits of one index may make: a fixed allowance
// plus a share per block, far above what ordinary layouts use.
constexpr uint64_t room_base = uint64_t(1) << 16;
constexpr uint64_t room_per_block = 256;

// Returns the cells and entries it made.
uint64_t octree_split(octree_cell& n) {
    const configure& cfg = *n.config;
    const spacemgr::candlist& l = n.list;
    const double scope = n.depth < octree_scope_rate_depth ? l.base_scope * cfg.spacemgr_scope_rate
                                                           : l.base_scope / 2;
    const double half = l.half / 2;
    n.children.reset(new octree_cell[8]());
    uint64_t made = 8;
    for (int i = 0; i < 8; ++i) {
        const vec3 centre{l.centre.x + (i & 1 ? half : -half), l.centre.y + (i & 2 ? half : -half),
                          l.centre.z + (i & 4 ? half : -half)};
        octree_cell& child = n.children[i];
        octree_init_cell(child, l.kind, cfg, centre, half, scope, n.depth + 1);
        spacemgr::node_inherit_candidates(child.list, l);
        made += child.list.entries.size();
    }
    n.list.entries.clear();
    n.list.entries.shrink_to_fit();
    return made;
}

}  // namespace

void octree_init_cell(octree_cell& n, spacemgr_t kind, const configure& cfg, const vec3& centre,
                      double half, double scope, uint32_t depth) {
    n.children.reset();
    n.list.make_cell(kind, cfg, centre, half, scope);
    n.depth = depth;
    n.config = &cfg;
}

octree_limits octree_limits_for(uint32_t list, uint32_t depth, std::size_t blocks) {
    return {list, std::min(depth, octree_depth_cap), room_base + room_per_block * uint64_t(blocks), true, false};
}

void octree_insert(octree_cell& n, const block& b, octree_limits& limits) {
    if (limits.spent) return;
    spacemgr::candlist& l = n.list;
    const spacemgr::candidate c = spacemgr::cell_candidate(b, l.centre, l.half, l.rotated_cube);
    if (!(l.scope - geom_eps > c.dist)) return;
    if (n.children) {
        // A child the outer box lies beyond on one axis by its reach would
        // refuse the block: the bound it measures is at least that gap.
        const box& o = b.solid.outer_box;
        const double reach = n.children[0].list.base_scope + spacemgr::bound_slack;
        unsigned lower_out = 0, upper_out = 0;  // bit k: the children on that side of axis k
        for (int k = 0; k < 3; ++k) {
            const double mid = axis_of(l.centre, k);
            if (axis_of(o.lo, k) - mid >= reach) lower_out |= 1u << k;
            if (mid - axis_of(o.hi, k) >= reach) upper_out |= 1u << k;
        }
        for (unsigned i = 0; i < 8; ++i)
            if (!(~i & lower_out) && !(i & upper_out)) octree_insert(n.children[i], b, limits);
        return;
    }
    if (!spacemgr::node_add_candidate(l, c) || !limits.split) return;
    if (limits.room == 0) {
        limits.spent = true;
        return;
    }
    --limits.room;
    if (l.entries.size() > limits.list && n.depth <= limits.depth) {
        const uint64_t made = octree_split(n);
        if (made >= limits.room) limits.spent = true;
        else limits.room -= made;
    }
}

void octree_finalize(octree_cell& n) {
    if (!n.children) {
        n.list.finalize();
        return;
    }
    for (int i = 0; i < 8; ++i) octree_finalize(n.children[i]);
}

void octree_leaf_lists(octree_cell& n, std::vector<spacemgr::candlist*>& out) {
    if (!n.children) {
        out.push_back(&n.list);
        return;
    }
    for (int i = 0; i < 8; ++i) octree_leaf_lists(n.children[i], out);
}

uint32_t octree_list_limit(const configure& cfg) {
    return cfg.spacemgr_list < 0 ? octree_default_list_limit : uint32_t(cfg.spacemgr_list);
}

uint32_t octree_depth_limit(const configure& cfg) {
    return cfg.spacemgr_depth < 0 ? octree_default_depth_limit
                                  : std::min(uint32_t(cfg.spacemgr_depth), octree_depth_cap);
}

void octree_build(octree_cell& root, spacemgr_t kind, const configure& cfg, const box& domain,
                  const std::vector<block*>& blocks, uint32_t list_limit, uint32_t depth_limit) {
    const cube c = bounding_cube(domain);
    // Depth limits 0 and 1 continue the power of two below 1: twice the half.
    octree_limits limits = octree_limits_for(list_limit, depth_limit, blocks.size());
    const double scope = std::ldexp(c.half, -(int(limits.depth / 2) - 1));
    fill_within_room(
        limits, [&] { octree_init_cell(root, kind, cfg, c.centre, c.half, scope, 0); },
        [&](octree_limits& l) {
            for (const block* b : blocks)
                if (!l.spent) octree_insert(root, *b, l);
        });
    octree_finalize(root);
}
