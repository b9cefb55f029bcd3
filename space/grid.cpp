#include "space/grid.hpp"

#include <algorithm>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "space/box_measures.hpp"

namespace {

// Primary cells are at least about half the smallest extent of the domain.
constexpr double primary_min_side_share = 0.51;
// Incline cells are about a 32nd of the domain.
constexpr double incline_side_share = 0.03125;
constexpr double incline_min_side_share = 0.031251;

// Tolerant maximum: b only when a is below it by more than 1e-9.
double above(double a, double b) { return a < b - geom_eps ? b : a; }

uint32_t limit_or(int option, uint32_t fallback) { return option < 0 ? fallback : uint32_t(option); }

}  // namespace

grid_sizing size_grid(const configure& cfg, const box& domain, bool incline_sized,
                      uint32_t list_default, uint32_t depth_default) {
    const double big = box_max_side(domain);
    const double small =
        tmin(tmin(domain.hi.x - domain.lo.x, domain.hi.y - domain.lo.y), domain.hi.z - domain.lo.z);
    grid_sizing s;
    if (incline_sized) {
        s.list_limit = limit_or(cfg.spacemgr_list_incline, list_default);
        s.depth_limit = limit_or(cfg.spacemgr_depth_incline, depth_default);
        s.length = above(big * incline_side_share, small * incline_min_side_share);
        s.scope = s.length;
        log_info_w().printf("use seperated incline spacemgr (grid).\n").flush();
    } else {
        s.list_limit = limit_or(cfg.spacemgr_list, list_default);
        s.depth_limit = limit_or(cfg.spacemgr_depth, depth_default);
        s.scope = std::ldexp(big, -int(s.depth_limit / 2));
        s.length = above(s.scope, small * primary_min_side_share);
    }
    // A degenerate domain still gets cells of some size.
    if (!(s.length > 0)) s.length = big > 0 ? big : 1.0;
    if (!(s.scope > 0)) s.scope = s.length;
    log_debug_w().printf("grid_length: %.12f\n", s.length).flush();
    log_debug_w().printf("grid scope: %.12f\n", s.scope).flush();
    return s;
}

void place_grid(grid_frame& g, const box& domain, double length) {
    g.length = length;
    uint64_t* n[3] = {&g.nx, &g.ny, &g.nz};
    for (int k = 0; k < 3; ++k) {
        const double extent = axis_of(domain.hi, k) - axis_of(domain.lo, k);
        *n[k] = std::max<uint64_t>(1, uint64_t(std::ceil(extent / length)));
        const double pad = (double(*n[k]) * length - extent) / 2;
        axis_of(g.origin, k) = axis_of(domain.lo, k) - pad;
        axis_of(g.upper, k) = axis_of(domain.hi, k) + pad;
    }
    g.count = g.nx * g.ny * g.nz;
    log_debug_w().printf("grid size: %lu\n", (unsigned long)g.count).flush();
}

cell_range grid_cells_near(const grid_frame& g, const box& b, double scope) {
    const uint64_t n[3] = {g.nx, g.ny, g.nz};
    cell_range r;
    for (int k = 0; k < 3; ++k) {
        const double o = axis_of(g.origin, k);
        const double lo = std::floor((axis_of(b.lo, k) - scope - o) / g.length);
        const double hi = std::ceil((axis_of(b.hi, k) + scope - o) / g.length);
        const double top = double(n[k]);
        r.lo[k] = uint64_t(std::clamp(lo, 0.0, top));
        r.hi[k] = uint64_t(std::clamp(hi, 0.0, top));
    }
    return r;
}

void grid_cell_init(octree_cell& c, spacemgr_t kind, const configure& cfg, const vec3& centre,
                    double half, double scope) {
    octree_init_cell(c, kind, cfg, centre, half, scope, 0);
}

void grid_cell_init(incline_cell& c, spacemgr_t kind, const configure& cfg, const vec3& centre,
                    double half, double scope) {
    c.list.make_cell(kind, cfg, centre, half, scope);
    c.scope_variable = cfg.spacemgr_grid_scope_variable;
    c.shrink_count = 0;
}

void grid_cell_offer(octree_cell& c, const block& b, uint32_t list_limit, uint32_t depth_limit) {
    octree_insert(c, b, list_limit, depth_limit);
}

void grid_cell_offer(incline_cell& c, const block& b, uint32_t list_limit, uint32_t depth_limit) {
    if (b.solid.kind == solid_box) return;
    spacemgr::candlist& l = c.list;
    const int32_t factor = l.rotated_cube ? spacemgr::rotated_factor : 1;
    // Measured to the solid, not its outer box: adding the entry shrinks the
    // cell's scope to what the entry's distance guarantees, and the outer box
    // of a slanted block can lie far nearer than the block itself.
    const spacemgr::candidate e{&b, block_distance(l.centre, b.solid) - l.half, 0, 0, factor};
    spacemgr::node_add_candidate(l, e);
    if (c.scope_variable && l.entries.size() > list_limit && uint32_t(c.shrink_count) < depth_limit) {
        ++c.shrink_count;
        c.shrink_scope(list_limit, depth_limit);
    }
}

void incline_cell::shrink_scope(uint32_t list_limit, uint32_t depth_limit) {
    for (;;) {
        std::vector<spacemgr::candidate> old;
        old.swap(list.entries);
        list.base_scope /= 2;
        for (const spacemgr::candidate& e : old) {
            const solid& s = e.block->solid;
            const double zd = std::max(list.centre.z - s.outer_box.hi.z, s.outer_box.lo.z - list.centre.z);
            const double d = std::max(spacemgr::section_distance(list.centre, s), zd) - list.half;
            if (!(d - geom_eps > list.base_scope)) list.add(e);
        }
        if (!(list.entries.size() > list_limit && uint32_t(shrink_count) < depth_limit)) return;
        ++shrink_count;
    }
}

void grid_cell_finish(octree_cell& c) { octree_finalize(c); }

void grid_cell_finish(incline_cell& c) {
    c.list.finalize();
    if (!c.list.entries.empty())
        log_debug_w().printf("grid list size: %lu\n", (unsigned long)c.list.entries.size()).flush();
}
