#include "space/grid.hpp"

#include <algorithm>

#include "config/configure.hpp"
#include "foundation/errors.hpp"
#include "foundation/log_writers.hpp"
#include "space/box_measures.hpp"

namespace {

// Primary cells are at least about half the smallest extent of the domain.
constexpr double primary_min_side_share = 0.51;
// Incline cells are about a 32nd of the domain.
constexpr double incline_side_share = 0.03125;
constexpr double incline_min_side_share = 0.031251;

// Cells a grid may have: a fixed allowance above what the default sizing
// gives any domain, plus a share per block.
constexpr uint64_t max_cells_base = uint64_t(1) << 18;
constexpr uint64_t max_cells_per_block = 4;

// Tolerant maximum: b only when a is below it by more than 1e-9.
double above(double a, double b) { return a < b - geom_eps ? b : a; }

// A cell bound clamped to 0..n without a cast of a value out of range; a
// bound that is not a number (a block without finite extent) takes nan_to.
uint64_t clamp_cell(double f, uint64_t n, uint64_t nan_to) {
    if (std::isnan(f)) return nan_to;
    return f > 0 ? (f < double(n) ? uint64_t(f) : n) : 0;
}

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
        s.depth_limit = std::min(limit_or(cfg.spacemgr_depth_incline, depth_default), octree_depth_cap);
        s.length = above(big * incline_side_share, small * incline_min_side_share);
        s.scope = s.length;
        log_info_w().printf("use seperated incline spacemgr (grid).\n").flush();
    } else {
        s.list_limit = limit_or(cfg.spacemgr_list, list_default);
        s.depth_limit = std::min(limit_or(cfg.spacemgr_depth, depth_default), octree_depth_cap);
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

void place_grid(grid_frame& g, const box& domain, double length, std::size_t blocks) {
    const double extent[3] = {domain.hi.x - domain.lo.x, domain.hi.y - domain.lo.y,
                              domain.hi.z - domain.lo.z};
    for (const double e : extent)
        if (!std::isfinite(e) || !std::isfinite(length))
            throw sea::fatal_error(
                "space manager: the domain (" + std::to_string(domain.lo.x) + ", " + std::to_string(domain.lo.y) +
                ", " + std::to_string(domain.lo.z) + "):(" + std::to_string(domain.hi.x) + ", " +
                std::to_string(domain.hi.y) + ", " + std::to_string(domain.hi.z) +
                ") has no finite size, so no grid of cells can cover it\n");
    // Counted in doubles, which cannot wrap; widened cells keep the lists
    // complete, they only hold more.
    const double most = double(max_cells_base + max_cells_per_block * uint64_t(blocks));
    auto cells_along = [&](double e) { return std::max(1.0, std::ceil(e / length)); };
    for (;;) {
        const double cells = cells_along(extent[0]) * cells_along(extent[1]) * cells_along(extent[2]);
        if (cells <= most) break;
        // Cells too small to count at all: one cell as wide as the domain.
        length = std::isfinite(cells) ? length * std::max(1.01, std::cbrt(cells / most))
                                      : std::max({extent[0], extent[1], extent[2]});
    }
    g.length = length;
    uint64_t* n[3] = {&g.nx, &g.ny, &g.nz};
    for (int k = 0; k < 3; ++k) {
        *n[k] = uint64_t(cells_along(extent[k]));
        const double pad = (double(*n[k]) * length - extent[k]) / 2;
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
        r.lo[k] = clamp_cell(lo, n[k], 0);
        r.hi[k] = clamp_cell(hi, n[k], n[k]);
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

void grid_cell_offer(octree_cell& c, const block& b, octree_limits& limits) { octree_insert(c, b, limits); }

void grid_cell_offer(incline_cell& c, const block& b, octree_limits& limits) {
    const uint32_t list_limit = limits.list, depth_limit = limits.depth;
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
