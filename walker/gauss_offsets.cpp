#include "walker/gauss_offsets.hpp"

#include <cmath>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/prism.hpp"
#include "geometry/section_distance.hpp"
#include "walker/gauss_surface.hpp"
#include "walker/gauss_tiles.hpp"

namespace {

// A stratification count is raised to this many cells per neighbour extent.
constexpr double strata_per_ratio = 8.0;

// L-infinity distance in the x-y plane from p to the solid's cross-section.
// Evaluated at the solid's mid height, so only a point deeper inside than
// half the height can come back clipped (still negative).
double section_distance(const vec2& p, const solid& s) {
    const double zmid = 0.5 * (s.outer_box.lo.z + s.outer_box.hi.z);
    return block_distance(vec3{p.x, p.y, zmid}, s);
}

// Corners in x-y of a box or cylinder, vertices of a prism.
int outline_points(const solid& s, vec2 (&out)[nprism_max_vertices]) {
    if (s.kind == solid_prism) {
        for (uint64_t i = 0; i < s.shape.prism.n; ++i) out[i] = s.shape.prism.vertex[i];
        return int(s.shape.prism.n);
    }
    const box& b = s.outer_box;
    out[0] = {b.lo.x, b.lo.y};
    out[1] = {b.lo.x, b.hi.y};
    out[2] = {b.hi.x, b.lo.y};
    out[3] = {b.hi.x, b.hi.y};
    return 4;
}

}  // namespace

double longest_side(const box& b) {
    double longest = box_extent(b, 0);
    longest = keep_max(longest, box_extent(b, 1));
    return keep_max(longest, box_extent(b, 2));
}

double interface_gap(const gauss_surface& s, const box& outer) {
    const layer_stack& ls = s.layout->layers;
    if (ls.layer_count() < 2 || s.cfg->multi_dielectric == configure::layout_approx)
        return geom_infinity;
    const int k = (s.cfg->multi_dielectric == configure::layout_two ||
                   s.cfg->multi_dielectric == configure::layout_approx2)
                      ? 2
                      : 3;
    const int lo_code = find_layer_id(ls, layer_code_lowest_interface, outer.lo.z);
    // The interface just below a layer is numbered like the layer; one on
    // the height itself does not count as below it.
    const int64_t lo_interface = interface_at_or_below(lo_code);
    const int64_t below = is_interface_code(lo_code) ? lo_interface - k : lo_interface - k + 1;
    const double gap_low = 2.0 * (outer.lo.z - ls.interface_z[std::size_t(below)]);
    const int hint = int(interface_code(lo_interface - 1));
    const int hi_code = find_layer_id(ls, hint, outer.hi.z);
    const int64_t above = interface_at_or_below(hi_code) + k;
    const double gap_high = 2.0 * (ls.interface_z[std::size_t(above)] - outer.hi.z);
    return tmin(gap_low, gap_high);
}

double window_gap(const gauss_surface& s, const box& outer) {
    const window& w = s.layout->window;
    if (w.boundary == boundary_neumann) return geom_infinity;
    double gap = 0.0;
    for (int c = 0; c < 3; ++c) {
        const double low = axis_of(outer.lo, c) - axis_of(w.box.lo, c);
        const double high = axis_of(w.box.hi, c) - axis_of(outer.hi, c);
        const double g = tmin(high, low);
        gap = c == 0 ? g : tmin(gap, g);
    }
    return gap;
}

double neighbour_limit(const solid& sd, const conductor* owner, const std::vector<block*>& blocks, double d,
                       double (&ratio)[2], std::vector<block*>* close) {
    const box& ob = sd.outer_box;
    vec2 own[nprism_max_vertices];
    const int own_n = outline_points(sd, own);
    for (block* p : blocks) {
        if (p->owner == owner) continue;
        const box& pb = p->solid.outer_box;
        double g[3];
        bool near = true;
        bool within = close != nullptr;
        for (int c = 0; c < 3 && (near || within); ++c) {
            const double above = axis_of(pb.lo, c) - axis_of(ob.hi, c);
            const double below = axis_of(ob.lo, c) - axis_of(pb.hi, c);
            g[c] = tmax(above, below);
            near = near && g[c] < d - geom_eps;
            within = within && g[c] < tiling_gain * d;
        }
        if (within) close->push_back(p);
        if (!near) continue;
        for (int c = 0; c < 2; ++c) ratio[c] = std::ceil(box_extent(ob, c) / box_extent(pb, c));
        if (boxlike(sd) && boxlike(p->solid)) {
            d = keep_max(keep_max(g[0], g[1]), g[2]);
            continue;
        }
        double q = d;
        for (int i = 0; i < own_n; ++i) q = tmin(q, section_distance(own[i], p->solid));
        vec2 other[nprism_max_vertices];
        const int other_n = outline_points(p->solid, other);
        for (int i = 0; i < other_n; ++i) q = tmin(q, section_distance(other[i], sd));
        d = q < g[2] - geom_eps ? g[2] : q;
    }
    return d;
}

void raise_strata(gauss_surface& s, const double (&ratio)[2]) {
    for (int c = 0; c < 2; ++c)
        if (strata_per_ratio * ratio[c] > s.strata[c]) s.strata[c] = strata_per_ratio * ratio[c];
}

[[noreturn]] void fail_touched(const gauss_surface& s, const block& b, const std::vector<block*>& blocks) {
    log_error_w().printf("Error: the master net is touched by other net!\n");
    // The offset before halving below which a start point would touch.
    const double room = 2.0 * touch_distance;
    const block* nearest = nullptr;
    double gap = geom_infinity;
    std::vector<block*> one(1);
    for (block* p : blocks) {
        if (p->owner == b.owner) continue;
        one[0] = p;
        double ratio[2];
        const double g = neighbour_limit(b.solid, b.owner, one, geom_infinity, ratio);
        if (g < gap) {
            gap = g;
            nearest = p;
        }
    }
    const box& ob = b.solid.outer_box;
    if (nearest && gap < room) {
        log_error_w().printf("master net %s (block %s) and net %s (block %s) ", b.owner->name.c_str(),
                             b.name.c_str(), nearest->owner->name.c_str(), nearest->name.c_str());
        if (gap > 0)
            log_error_w().printf("lie %g um apart, closer than %g um", gap, room);
        else
            log_error_w().printf("touch or overlap");
        log_error_w().printf(": move them apart, or join them into one net\n");
    } else if (window_gap(s, ob) < room) {
        log_error_w().printf("block %s of master net %s touches a side of the Dirichlet window: move the window "
                             "side away from it\n",
                             b.name.c_str(), b.owner->name.c_str());
    } else {
        log_error_w().printf("block %s of master net %s lies within %g um of the dielectric interfaces near it, "
                             "which leave its start points no room: make those layers thicker\n",
                             b.name.c_str(), b.owner->name.c_str(), room / 2.0);
    }
    log_error_w().put('\n');
    fatal_exit(1, true);
}
