// Uniform grids of cubic cells over the domain. The hybrid primaries are grids
// of octree roots (a crowded cell splits into an octree); the secondaries are
// coarser grids sized for the non-rectangular blocks, of octree roots or of
// incline cells that refine by halving their reach instead of splitting.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "space/candidate_list.hpp"
#include "space/octree.hpp"

// A grid cell for non-rectangular blocks only (kind 1 or 2).
struct incline_cell {
    spacemgr::candlist list;
    uint8_t scope_variable = 0;  // may halve its reach when crowded
    int32_t shrink_count = 0;    // halvings so far

    // Halves the cell's reach (not its working scope) and drops the entries
    // beyond it, while the list holds more than list_limit entries and
    // fewer than depth_limit halvings were made.
    void shrink_scope(uint32_t list_limit, uint32_t depth_limit);
};

template <spacemgr_t Kind>
struct incline_node : incline_cell {
    static constexpr spacemgr_t kind = Kind;
};

// Where the cells lie: cell (i, j, k) is number (i ny + j) nz + k.
struct grid_frame {
    double length = 0.0;  // side of a cell
    uint64_t nx = 0, ny = 0, nz = 0;
    uint64_t count = 0;
    vec3 origin{};  // lower corner
    vec3 upper{};   // upper corner

    // Cell of p; a point outside the grid is clamped to the nearest cell.
    uint64_t cell_index(const vec3& p) const {
        return (axis_cell(p.x - origin.x, nx) * ny + axis_cell(p.y - origin.y, ny)) * nz +
               axis_cell(p.z - origin.z, nz);
    }
    uint64_t axis_cell(double offset, uint64_t n) const {
        const double f = std::floor(offset / length);
        if (!(f > 0)) return 0;
        return f < double(n) ? uint64_t(f) : n - 1;
    }
    vec3 cell_centre(uint64_t i, uint64_t j, uint64_t k) const {
        return {origin.x + (double(i) + 0.5) * length, origin.y + (double(j) + 0.5) * length,
                origin.z + (double(k) + 0.5) * length};
    }
};

// Limits and cell size of one grid, from the options and the domain.
struct grid_sizing {
    uint32_t list_limit;
    uint32_t depth_limit;
    double scope;
    double length;
};

// Sizes a grid and logs its length and scope; incline-sized grids are the
// coarse ones of the secondaries.
grid_sizing size_grid(const configure& cfg, const box& domain, bool incline_sized,
                      uint32_t list_default, uint32_t depth_default);

// Centres a grid of cells of at least the given side on the domain and logs
// its size. The cells are widened until their count stays within a share per
// block; a domain without finite size is refused (fatal error).
void place_grid(grid_frame& g, const box& domain, double length, std::size_t blocks);

// Cells within scope of the box, per axis [lo, hi), clamped to the grid.
struct cell_range {
    uint64_t lo[3];
    uint64_t hi[3];
};
cell_range grid_cells_near(const grid_frame& g, const box& b, double scope);

// Per-cell policy of the two cell types.
void grid_cell_init(octree_cell& c, spacemgr_t kind, const configure& cfg, const vec3& centre,
                    double half, double scope);
void grid_cell_init(incline_cell& c, spacemgr_t kind, const configure& cfg, const vec3& centre,
                    double half, double scope);
void grid_cell_offer(octree_cell& c, const block& b, octree_limits& limits);
void grid_cell_offer(incline_cell& c, const block& b, octree_limits& limits);
void grid_cell_finish(octree_cell& c);
void grid_cell_finish(incline_cell& c);
inline const spacemgr::candlist* grid_cell_list(const octree_cell& c, const vec3& p) {
    return octree_locate(&c, p);
}
inline const spacemgr::candlist* grid_cell_list(const incline_cell& c, const vec3&) {
    return &c.list;
}
inline void grid_cell_lists(octree_cell& c, std::vector<spacemgr::candlist*>& out) { octree_leaf_lists(c, out); }
inline void grid_cell_lists(incline_cell& c, std::vector<spacemgr::candlist*>& out) { out.push_back(&c.list); }

// ListDefault and DepthDefault stand in for the limit options when below 0.
//
// A cell's list is complete only within the cell's small reach, so far from
// every block it can prove little. An answer that the reach capped is
// retried in `wide`, a plain octree over the same domain whose leaves grow
// large where blocks are sparse; the larger of two proven distances stands.
template <class Node, uint32_t ListDefault, uint32_t DepthDefault>
struct basic_grid_spacemgr : grid_frame {
    static constexpr bool incline_sized =
        std::is_base_of<incline_cell, Node>::value || Node::kind == spacemgr_incline;
    // A keep-everything list never shrinks and so would never stop
    // splitting; the wide tree of such a grid hides like kind 1.
    static constexpr spacemgr_t wide_kind = Node::kind == spacemgr_incline_keep ? spacemgr_incline : Node::kind;

    std::unique_ptr<Node[]> cells;
    uint32_t list_limit = 0;
    uint32_t depth_limit = 0;
    octree_node<wide_kind> wide;
    // The cells' lists in cell order, then the wide tree's, over one set of
    // rows.
    spacemgr::scan_pool pool;

    void build(const configure& cfg, const box& domain, const std::vector<block*>& blocks) {
        const grid_sizing s = size_grid(cfg, domain, incline_sized, ListDefault, DepthDefault);
        list_limit = s.list_limit;
        depth_limit = s.depth_limit;
        place_grid(*this, domain, s.length, blocks.size());
        cells.reset(new Node[count]());
        fill_within_room(
            octree_limits_for(list_limit, depth_limit, blocks.size()),
            [&] {
                for (uint64_t i = 0; i < nx; ++i)
                    for (uint64_t j = 0; j < ny; ++j)
                        for (uint64_t k = 0; k < nz; ++k)
                            grid_cell_init(cells[(i * ny + j) * nz + k], Node::kind, cfg, cell_centre(i, j, k),
                                           length / 2, s.scope);
            },
            [&](octree_limits& limits) {
                for (const block* b : blocks) {
                    if (limits.spent) return;
                    const cell_range r = grid_cells_near(*this, b->solid.outer_box, s.scope);
                    for (uint64_t i = r.lo[0]; i < r.hi[0]; ++i)
                        for (uint64_t j = r.lo[1]; j < r.hi[1]; ++j)
                            for (uint64_t k = r.lo[2]; k < r.hi[2]; ++k)
                                grid_cell_offer(cells[(i * ny + j) * nz + k], *b, limits);
                }
            });
        for (uint64_t n = 0; n < count; ++n) grid_cell_finish(cells[n]);
        // Sealed before the wide tree is built, which then reuses the room
        // the cells' building arrays held.
        std::vector<spacemgr::candlist*> lists;
        for (uint64_t n = 0; n < count; ++n) grid_cell_lists(cells[n], lists);
        spacemgr::seal_lists(pool, lists, blocks.size());
        // The octree managers' default limits, whatever the grid's options ask.
        octree_build(wide, wide_kind, cfg, domain, blocks, octree_default_list_limit, octree_default_depth_limit);
        lists.clear();
        octree_leaf_lists(wide, lists);
        spacemgr::seal_lists(pool, lists, blocks.size());
    }

    const spacemgr::candlist* locate(const vec3& p) const {
        return grid_cell_list(cells[cell_index(p)], p);
    }
    const spacemgr::candlist* locate_wide(const vec3& p) const { return octree_locate(&wide, p); }
};
