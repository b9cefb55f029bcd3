// The candidate list of one cell of space (the whole domain, an octree leaf or
// a grid cell): the blocks that can be nearest to some point of the cell, each
// with a lower bound of its distance to the cell, sorted by that bound once
// built. Every query ends in `candlist::nearest`. L-infinity distances in
// micrometres.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "geometry/section_distance.hpp"
#include "space/nearest_result.hpp"

struct configure;

// Which blocks a list keeps and whether blocks shrink its scope and hide
// entries.
enum spacemgr_t : uint64_t {
    spacemgr_all = 0,           // every block; shrinks and hides
    spacemgr_incline = 1,       // non-rectangular only; shrunk and hidden by every block
    spacemgr_incline_keep = 2,  // non-rectangular only; no shrinking, hiding or duplicate test
    spacemgr_rect = 3,          // rectangular only; shrunk and hidden by every block
    spacemgr_unused = 4,        // nothing: the list of an unused index
};

namespace spacemgr {

// Deeper inside a block than this, a query point is a fatal error.
constexpr double inside_tolerance = 1.00001e-4;
// Room for the tolerant distances behind a candidate's bound: a bound lies
// at most a few 1e-9 below the plain box distances it stands for.
constexpr double bound_slack = 1e-8;
// Cube multiple of a non-box block when cubes are rotated against it.
constexpr int32_t rotated_factor = 2;

struct candidate {
    const ::block* block;
    // Lower bound of the distance from any point of the cell to the block;
    // negative when the block reaches into the cell. The sort key.
    double dist;
    uint8_t rectangular;  // the solid is a box
    uint8_t shrink;       // equals `rectangular` in cell lists, 0 in whole-domain lists
    int32_t factor;       // rotated_factor for a non-box block with rotated cubes, else 1
};

// A block as the scans of one index read it, in one cache line: the
// extents tested before the block itself is read. Each block has one row
// per index, the rows in the order the scans first meet them, so that
// neighbouring cells read neighbouring rows.
struct alignas(64) scan_box {
    double lo_z, hi_z;  // of the outer box
    // Of the box a box solid's cross-section is measured from; of the outer
    // box for other solids, whose cross-section is measured from the block.
    double lo_x, lo_y, hi_x, hi_y;
    const ::block* block;
    uint8_t rectangular;  // the solid is a box
    // A prism's cross-section distance is the larger of its outer box's and
    // its slanted edges', so the box alone may already rule it out.
    uint8_t prism;
    // The candidates' factor: every list of an index takes it from the
    // same setting and solid kind.
    int32_t factor;
};

// One candidate of a sealed list.
struct scan_entry {
    double dist;
    const scan_box* box;
};

// The sealed lists of one index: each list's candidates in one array, and
// the rows of the blocks they name. One array per list, not one for all:
// each then takes about the room the list's building array just freed, so
// sealing adds little more than the rows to the peak of the build.
struct scan_pool {
    std::vector<std::unique_ptr<scan_entry[]>> lists;
    // Reserved in full by the first seal: lists hold addresses of rows.
    std::vector<scan_box> rows;
};

struct candlist {
    spacemgr_t kind = spacemgr_all;
    uint8_t dominate_group_on = 0;
    uint8_t dominate_group_opt_on = 0;
    uint8_t rotated_cube = 0;
    uint32_t scan_size = 0;  // candidates at scan_begin once sealed
    vec3 centre{};
    double half = 0.0;
    // Reach the cell was made with: the complete radius of a hint, and the
    // base of the children's reach when the cell splits or halves.
    double base_scope = 0.0;
    // Working reach: an entry whose `dist` is not below it (within 1e-9) is
    // not kept. Starts at `base_scope` and only shrinks.
    double scope = 0.0;
    // Filled while the index is built; `seal_lists` moves them into the
    // index's scan pool, where queries read them.
    std::vector<candidate> entries;
    const scan_entry* scan_begin = nullptr;

    // An empty list of the given kind for the cube of the given centre and
    // half side, reaching scope beyond it; flags from the run's settings.
    void make_cell(spacemgr_t kind, const configure& cfg, const vec3& centre, double half,
                   double scope);

    // Nearest block to p within min(max, h.radius), scanning h's list.
    static nearest_result nearest(const search_hint& h, const vec3& p, double max);

    // Whole-domain lists: keeps c when the kind stores its block.
    void insert(const candidate& c);
    // Cell lists: shrinks the scope by c, drops the entries it hides, then
    // stores c when the kind stores its block.
    void add(const candidate& c);
    // H's block is nearer than X's (X's distance divided by H's factor) from
    // every point of the cell, so X can never be the nearest.
    bool shadowed(const candidate& h, const candidate& x) const;
    // False when `shadowed` must answer false because H's bound alone lies
    // beyond X's (divided by H's factor): a test costing no box distances.
    bool may_shadow(const candidate& h, const candidate& x) const {
        // The group tests measure other boxes than the bounds describe.
        if (dominate_group_on || (!rotated_cube && dominate_group_opt_on)) return true;
        // The bounds come from tolerant distances, within a few 1e-9 below
        // the box distances the single test measures; the slack covers that.
        return !(h.dist - bound_slack > (x.dist + bound_slack) / h.factor);
    }
    // Drops non-box entries out of reach and sorts by `dist`; sealing then
    // frees the building array.
    void finalize();

    // Removes entry i by moving the last one into its place.
    void remove_entry(std::size_t i) {
        entries[i] = entries.back();
        entries.pop_back();
    }
};

// Distance to the solid's cross-section in x and y, by exact comparisons.
inline double section_distance(const vec3& p, const solid& s) { return section_distance_by<exact_comparison>(p, s); }

// The radius around p within which h's list is complete; stored in h. At
// least the list's `base_scope` exactly when p lies in its cell.
__attribute__((always_inline)) inline double hint_radius(search_hint& h, const vec3& p) {
    const candlist& l = *h.list;
    const double off = std::max(std::max(std::fabs(l.centre.x - p.x), std::fabs(l.centre.y - p.y)),
                                std::fabs(l.centre.z - p.z));
    h.radius = l.base_scope - (off - l.half);
    return h.radius;
}

// Ends the process: p lies inside the block by more than inside_tolerance.
[[noreturn, gnu::cold]] void report_point_inside(const ::block& b);

// Forced inline: the query's callers take it at four places, where a call
// would cost more than the scan of a short list.
__attribute__((always_inline)) inline nearest_result candlist::nearest(const search_hint& h, const vec3& p, double max) {
    const candlist& l = *h.list;
    if (l.kind == spacemgr_unused) return {nullptr, geom_infinity, geom_infinity};
    const double limit = max < h.radius - geom_eps ? max : h.radius;
    const ::block* best = nullptr;
    double best_d = limit;
    double bound = limit;
    const scan_entry* const end = l.scan_begin + l.scan_size;
    for (const scan_entry* c = l.scan_begin; c != end; ++c) {
        if (!(bound - geom_eps > c->dist)) break;
        const scan_box& x = *c->box;
        // The z gap is cheap; the cross-section only when it can still win.
        const double zd = std::max(p.z - x.hi_z, x.lo_z - p.z);
        if (!(zd < bound - geom_eps)) continue;
        // A box's cross-section as section_distance measures it.
        const double box_sd = std::max(std::max(p.y - x.hi_y, x.lo_y - p.y), std::max(p.x - x.hi_x, x.lo_x - p.x));
        if (x.prism && !(box_sd < bound - geom_eps)) continue;
        const double sd = x.rectangular ? box_sd : section_distance(p, x.block->solid);
        if (!(sd < bound - geom_eps)) continue;
        const double d = std::max(sd, zd);
        if (d < touch_distance) {
            if (d < -inside_tolerance) report_point_inside(*x.block);
            return {x.block, 0.0, 0.0};
        }
        if (best_d - geom_eps > d) {
            const double fd = x.factor * d;
            bound = fd < best_d - geom_eps ? fd : best_d;
            best = x.block;
            best_d = d;
        } else {
            bound = d;
        }
    }
    return {best, best_d, bound};
}

// Moves the entries of every list into pool, each list's in its order, and
// releases their building arrays; the lists then answer queries from the
// pool, which must outlive them. A pool may take several seals, all of
// them over at most `blocks` distinct blocks.
void seal_lists(scan_pool& pool, const std::vector<candlist*>& lists, std::size_t blocks);

// Offers c to a cell list; returns whether it was added.
bool node_add_candidate(candlist& list, const candidate& c);

// Hands the entries of a splitting cell to one child, measured exactly from
// the child's cell.
void node_inherit_candidates(candlist& child, const candlist& parent);

// A candidate for b measured from a cell of the given centre and half side,
// with the exact solid distance.
candidate cell_candidate(const ::block& b, const vec3& centre, double half, bool rotated_cube);

// The kind-0, 1 or 3 list over the whole domain's bounding cube.
void build_whole_domain_list(candlist& list, spacemgr_t kind, const configure& cfg,
                             const box& domain, const std::vector<::block*>& blocks);

}  // namespace spacemgr
