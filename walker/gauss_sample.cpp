#include "walker/gauss_sample.hpp"

#include <algorithm>
#include <cmath>

#include "config/configure.hpp"
#include "foundation/run_end.hpp"
#include "foundation/writer.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/primitives.hpp"
#include "geometry/section_distance.hpp"

namespace {

// Half-width band around a slanted side, per unit of its projected length,
// within which a point counts as lying on it.
constexpr double slant_touch_tolerance = 1e-6;

bool inside_window(const window& w, const vec3& p) {
    return p.x + geom_eps > w.box.lo.x && p.y + geom_eps > w.box.lo.y && p.z + geom_eps > w.box.lo.z &&
           w.box.hi.x + geom_eps > p.x && w.box.hi.y + geom_eps > p.y && w.box.hi.z + geom_eps > p.z;
}

// A solid whose outer box is farther than this from p on some axis cannot
// hold p: its distance exceeds the tolerance even after the tolerant
// maxima have dropped a few multiples of it.
constexpr double holding_margin = 1e-8;

bool beyond_bounds(const vec3& p, const box& b) {
    return p.x < b.lo.x - holding_margin || p.x > b.hi.x + holding_margin || p.y < b.lo.y - holding_margin ||
           p.y > b.hi.y + holding_margin || p.z < b.lo.z - holding_margin || p.z > b.hi.z + holding_margin;
}

// -1 when the grown solid of other rejects p on piece q, 0 when it does not
// hold p, 1 when p also lies on its surface.
int other_holds(const gauss_box& other, const vec3& p, const surface_piece& q) {
    const double d = block_distance(p, other.solid);
    if (d > geom_eps) return 0;
    if (d < -geom_eps) return -1;
    if (q.face < face_slanted) {
        const int axis = int(q.face % 3);
        const box& ob = other.solid.outer_box;
        const double facing = q.face < 3 ? axis_of(ob.lo, axis) : axis_of(ob.hi, axis);
        return std::fabs(axis_of(p, axis) - facing) < geom_eps ? -1 : 1;
    }
    const auto hits = other.slant_pieces.equal_range(q.value);
    for (auto h = hits.first; h != hits.second; ++h) {
        const surface_piece& sp = *h->second;
        const double x0 = sp.data[0].f, y0 = sp.data[1].f;
        const double dx = sp.data[3].f, dy = sp.data[4].f;
        const double off = tabs((p.x - x0) * dy - (p.y - y0) * dx);
        if (off < (tabs(dx) + tabs(dy)) * slant_touch_tolerance - geom_eps) return -1;
    }
    return 1;
}

// Ends the run from a walk thread, without the clean-up at exit that the
// other walk threads could still be using.
[[noreturn]] void fail_no_start_point(const gauss_surface& s) {
    sea::end_run(sea::formatted("Fatal error: no start point of master %s could be drawn in %llu candidates: nearly "
                                "all of its Gaussian surface lies outside the Neumann window or inside its own "
                                "grown blocks\n",
                                s.others_of ? s.others_of->name.c_str() : "",
                                static_cast<unsigned long long>(max_start_candidates)),
                 -1, false, sea::run_end::error_handler);
}

}  // namespace

double gauss_weight(int gauss_type, double eps, double d) {
    switch (gauss_type) {
    case configure::gauss_default:
    case configure::gauss_diel: return eps;
    case configure::gauss_uniform: return 1.0;
    case configure::gauss_dist: return 1.0 / d;
    case configure::gauss_both: return eps / d;
    default: return 0.0;
    }
}

// The answer does not depend on the order in which the other solids are
// seen, so only the boxes of the point's grid cell are looked at, those
// registered next to q's own first: a candidate inside a neighbour (most
// candidates on a cut face) ends after a few looks.
int32_t gauss_point_multiplicity(const gauss_surface& s, const vec3& p, const surface_piece& q) {
    const std::size_t n = s.box_list.size();
    const std::size_t own = q.box->index;
    if (n < 2 || own >= n || s.box_list[own] != q.box) return 1;
    const box& own_bounds = s.grown_bounds[own];
    int32_t k = 1;
    const bool rejected = s.box_grid.scan_from(own, p.x, p.y, n, [&](std::size_t j) {
        if (j == own) return false;
        const box& b = s.grown_bounds[j];
        if (beyond_bounds(p, b)) return false;
        const bool overlap = j < own ? gauss_boxes_overlap(own_bounds, b) : gauss_boxes_overlap(b, own_bounds);
        const int h = overlap ? other_holds(*s.box_list[j], p, q) : 0;
        k += h;
        return h < 0;
    });
    return rejected ? -1 : k;
}

void sample_gauss_point(gauss_sample& out, const gauss_surface& s, walker_rng& rng) {
    const std::size_t npieces = s.pieces.size();
    const window& win = s.layout->window;
    const int gauss_type = s.cfg->gauss_type;
    double sumpdf = 0.0;
    for (uint64_t attempt = 1;; ++attempt) {
        if (attempt > max_start_candidates) fail_no_start_point(s);
        const std::size_t i =
            guided_lower_bound(s.area_cdf.data(), npieces, s.area_guide.data(), s.area_guide_bits, uint32_t(rng()));
        const surface_piece& piece = s.pieces[i];
        // Each parameter takes its cell, then its place within the cell.
        const double ru = uniform01(rng);
        const double u = cell_point(ru, uniform01(rng), s.strata[0]);
        const double rv = uniform01(rng);
        const double v = cell_point(rv, uniform01(rng), s.strata[1]);
        const vec3 p = sample_surface_point(piece, u, v);
        const gauss_box& gb = *piece.box;
        if (gb.clip && !inside_window(win, p)) continue;
        const int32_t k = gauss_point_multiplicity(s, p, piece);
        if (k < 0) continue;
        if (uniform01(rng) * double(k) > 1.0) continue;
        const double eps = permittivity_taking_mean(s.layout->layers, p.z);
        const double w = gauss_weight(gauss_type, eps, gb.offset);
        sumpdf += w;
        if (uniform01(rng) * s.max_weight > w) continue;

        out.face = piece.face;
        out.gauss_offset = gb.offset;
        out.piece_value = piece.value;
        out.gtried = attempt;
        out.sumpdf = sumpdf;
        out.origin = gb.master;
        out.weight = eps / w;
        out.point = p;
        if (piece.face == face_slanted) {
            const double a = std::fabs(double(piece.value.nx));
            const double b = std::fabs(double(piece.value.ny));
            if (a > uniform01(rng) * (a + b))
                out.face = piece.value.nx < 1 ? face_neg_x : face_pos_x;
            else
                out.face = piece.value.ny < 1 ? face_neg_y : face_pos_y;
        }
        return;
    }
}
