// The candidate list of one cell of space (the whole domain, an octree leaf or
// a grid cell): the blocks that can be nearest to some point of the cell, each
// with a lower bound of its distance to the cell, sorted by that bound once
// built. Every query ends in `candlist::nearest`. L-infinity distances in
// micrometres.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
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

struct candlist {
    spacemgr_t kind = spacemgr_all;
    uint8_t dominate_group_on = 0;
    uint8_t dominate_group_opt_on = 0;
    uint8_t rotated_cube = 0;
    vec3 centre{};
    double half = 0.0;
    // Reach the cell was made with: the complete radius of a hint, and the
    // base of the children's reach when the cell splits or halves.
    double base_scope = 0.0;
    // Working reach: an entry whose `dist` is not below it (within 1e-9) is
    // not kept. Starts at `base_scope` and only shrinks.
    double scope = 0.0;
    std::vector<candidate> entries;

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
    // Drops non-box entries out of reach, sorts by `dist`, frees spare room.
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
inline double hint_radius(search_hint& h, const vec3& p) {
    const candlist& l = *h.list;
    const double off = std::max(std::max(std::fabs(l.centre.x - p.x), std::fabs(l.centre.y - p.y)),
                                std::fabs(l.centre.z - p.z));
    h.radius = l.base_scope - (off - l.half);
    return h.radius;
}

// Ends the process: p lies inside the block by more than inside_tolerance.
[[noreturn]] void report_point_inside(const ::block& b);

inline nearest_result candlist::nearest(const search_hint& h, const vec3& p, double max) {
    const candlist& l = *h.list;
    if (l.kind == spacemgr_unused) return {nullptr, geom_infinity, geom_infinity};
    const double limit = max < h.radius - geom_eps ? max : h.radius;
    const ::block* best = nullptr;
    double best_d = limit;
    double bound = limit;
    for (const candidate& c : l.entries) {
        if (!(bound - geom_eps > c.dist)) break;
        const solid& s = c.block->solid;
        // The z gap is cheap; the cross-section only when it can still win.
        const double zd = std::max(p.z - s.outer_box.hi.z, s.outer_box.lo.z - p.z);
        if (!(zd < bound - geom_eps)) continue;
        const double sd = section_distance(p, s);
        if (!(sd < bound - geom_eps)) continue;
        const double d = std::max(sd, zd);
        if (d < touch_distance) {
            if (d < -inside_tolerance) report_point_inside(*c.block);
            return {c.block, 0.0, 0.0};
        }
        if (best_d - geom_eps > d) {
            const double fd = c.factor * d;
            bound = fd < best_d - geom_eps ? fd : best_d;
            best = c.block;
            best_d = d;
        } else {
            bound = d;
        }
    }
    return {best, best_d, bound};
}

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
