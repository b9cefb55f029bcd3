// Octree cells: a leaf holds a candidate list and splits into eight children
// when the list grows past a limit, so crowded regions get small cells with
// short lists. Used alone over the domain's bounding cube (`octree_spacemgr`)
// and as the cells of the hybrid grids.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "space/candidate_list.hpp"

// Depth of the octree below which children take the scope rate; deeper ones
// halve their parent's reach.
constexpr uint32_t octree_scope_rate_depth = 6;

// Invariant: entries only in leaves; child i lies on the upper side of the
// centre on x when bit 0 of i is set, on y for bit 1, on z for bit 2.
struct octree_cell {
    std::unique_ptr<octree_cell[]> children;  // 8 or none
    spacemgr::candlist list;
    uint32_t depth = 0;
    const configure* config = nullptr;  // flags and scope rate at split time
};

// Makes n an empty leaf of the given cell.
void octree_init_cell(octree_cell& n, spacemgr_t kind, const configure& cfg, const vec3& centre,
                      double half, double scope, uint32_t depth);

// What one index may build. Crowded blocks (a fan of prisms meeting in one
// edge, a reach that does not shrink with the cells) would split cells down
// to the depth limit wherever they meet and hand every block to every leaf,
// so the cells and entries a whole index makes are counted against a share
// per block. An index that spends it is built again without splitting:
// lists then stay as long as the blocks in reach of a cell, which is
// correct, bounded by the layout, and only slower to scan.
struct octree_limits {
    uint32_t list;   // a leaf with more entries splits...
    uint32_t depth;  // ...while its depth is at most this
    uint64_t room;   // cells and entries the index may still make
    bool split;      // false: leaves never split and room is not counted
    bool spent;      // the room ran out; the build stopped
};

// Runs reset() and fill(limits) once within the room; when the room runs
// out, runs them again without splits.
template <class Reset, class Fill>
void fill_within_room(octree_limits limits, Reset reset, Fill fill) {
    reset();
    fill(limits);
    if (!limits.spent) return;
    limits.split = false;
    limits.spent = false;
    reset();
    fill(limits);
}

// Depth limits beyond this divide a cell below any length a double resolves.
constexpr uint32_t octree_depth_cap = 40;

// Limits for an index over the given number of blocks.
octree_limits octree_limits_for(uint32_t list, uint32_t depth, std::size_t blocks);

// Offers b to n and every descendant in reach; splits a leaf that grew past
// the list limit while its depth and the split budget allow.
void octree_insert(octree_cell& n, const block& b, octree_limits& limits);

// Finalizes the list of every leaf, depth first.
void octree_finalize(octree_cell& n);

// Appends the list of every leaf, depth first.
void octree_leaf_lists(octree_cell& n, std::vector<spacemgr::candlist*>& out);

// The list of the leaf holding p; a point on a splitting plane goes up.
inline const spacemgr::candlist* octree_locate(const octree_cell* n, const vec3& p) {
    while (n->children) {
        const vec3& c = n->list.centre;
        const int i = (p.x + geom_eps > c.x ? 1 : 0) + (p.y + geom_eps > c.y ? 2 : 0) +
                      (p.z + geom_eps > c.z ? 4 : 0);
        n = &n->children[i];
    }
    return &n->list;
}

// An octree cell whose list has kind Kind.
template <spacemgr_t Kind>
struct octree_node : octree_cell {
    static constexpr spacemgr_t kind = Kind;
};

// The list and depth limits of an octree manager (options, or these defaults).
constexpr uint32_t octree_default_list_limit = 20;
constexpr uint32_t octree_default_depth_limit = 12;
uint32_t octree_list_limit(const configure& cfg);
uint32_t octree_depth_limit(const configure& cfg);

// Builds the tree over the bounding cube of domain.
void octree_build(octree_cell& root, spacemgr_t kind, const configure& cfg, const box& domain,
                  const std::vector<block*>& blocks, uint32_t list_limit, uint32_t depth_limit);

template <spacemgr_t Kind>
struct octree_spacemgr {
    octree_node<Kind> root;
    uint32_t list_limit = 0;
    uint32_t depth_limit = 0;
    spacemgr::scan_pool pool;

    void build(const configure& cfg, const box& domain, const std::vector<block*>& blocks) {
        list_limit = octree_list_limit(cfg);
        depth_limit = octree_depth_limit(cfg);
        octree_build(root, Kind, cfg, domain, blocks, list_limit, depth_limit);
        std::vector<spacemgr::candlist*> lists;
        octree_leaf_lists(root, lists);
        spacemgr::seal_lists(pool, lists, blocks.size());
    }
    const spacemgr::candlist* locate(const vec3& p) const { return octree_locate(&root, p); }
};
