#include "walker/floating_jump.hpp"

#include <cmath>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/prism.hpp"
#include "geometry/primitives.hpp"

namespace {

constexpr double sqrt2 = 1.4142135623730951;
constexpr double sqrt3 = 1.7320508075688772;
constexpr double c3 = 0.8660254037844386;  // cos 30 degrees
constexpr double k_corner = 1.2247448713915892;  // sqrt(3/2)
// Cells per side of the stratified (u, v) draw on a surface element.
constexpr double element_cells = 64.0;

// Box table layouts: cumulative weights, then pairs of a cut height of the
// side faces and the probability of the side below it.
constexpr std::size_t cd_pieces = 26;
constexpr std::size_t face_count = 6;

[[noreturn]] void fail_cylinder() {
    log_error_w().printf("Cylinder floating conductor haven't implemented yet!");
    log_error_w().put('\n');
    fatal_exit(-1, false);
}

bool strictly_inside(const window& w, const vec3& p) {
    return p.x + geom_eps > w.box.lo.x && w.box.hi.x + geom_eps > p.x && p.y + geom_eps > w.box.lo.y &&
           w.box.hi.y + geom_eps > p.y && p.z + geom_eps > w.box.lo.z && w.box.hi.z + geom_eps > p.z;
}

std::size_t pick(jump_state& w, const std::vector<double>& table, std::size_t n) {
    const std::size_t i = cdf_lower_bound(table.data(), n, uniform01(w.rng));
    return i < n ? i : n - 1;
}

std::size_t element_count(const conductor& f) { return f.surface_elements.size(); }

// A height on the side faces bottom .. top of a box table whose cut pairs
// start at `cuts`: r picks the layer part, s the height within it.
double side_height(const std::vector<double>& t, std::size_t cuts, double bottom, double top, double r, double s) {
    for (std::size_t k = cuts; k + 1 < t.size(); k += 2) {
        if (t[k + 1] > r) return bottom + s * (t[k] - bottom);
        bottom = t[k];
    }
    return bottom + s * (top - bottom);
}

}  // namespace

void jump_floating(jump_state& w, const block& b) {
    const conductor& f = *b.owner;
    do {
        if (f.blocks.size() >= 2) {
            jump_floating_multi_block(w, f);
        } else if (b.solid.kind == solid_prism) {
            if (w.cfg.floating_type_prism == configure::floating_arg::prism_fd)
                jump_floating_prism_fd(w, b);
            else
                jump_floating_prism_easy(w, b);
        } else if (b.solid.kind != solid_box) {
            fail_cylinder();
        } else if (w.cfg.floating_type == configure::floating_arg::cd) {
            jump_floating_box_cd(w, b);
        } else if (w.cfg.floating_type == configure::floating_arg::fd) {
            jump_floating_box_fd(w, b);
        } else {
            jump_floating_box_easy(w, b);
        }
    } while (!strictly_inside(w.win, w.pos));
}

namespace {

// The face rules of a one-box surface: faces `stand_off` out from the box,
// reaching `margin` beyond it on their own axes.
void jump_box_faces(jump_state& w, const block& b, double stand_off, double margin) {
    const std::vector<double>& t = b.owner->surface_table;
    const box& bx = b.solid.shape.box;
    const double s = stand_off, m = margin;
    const double sx = bx.hi.x - bx.lo.x + 2 * m, sy = bx.hi.y - bx.lo.y + 2 * m;
    const std::size_t f = pick(w, t, face_count);
    const double r2 = uniform01(w.rng);
    if (f >= 4) {
        const double r3 = uniform01(w.rng), r4 = uniform01(w.rng);
        w.pos = {bx.lo.x - m + r3 * sx, bx.lo.y - m + r4 * sy, f == 4 ? bx.lo.z - s : bx.hi.z + s};
    } else {
        const double r3 = uniform01(w.rng);
        const double z = side_height(t, face_count, bx.lo.z - m, bx.hi.z + m, r2, r3);
        const double r4 = uniform01(w.rng);
        switch (f) {
        case 0: w.pos = {bx.lo.x - m + r4 * sx, bx.lo.y - s, z}; break;
        case 1: w.pos = {bx.lo.x - s, bx.lo.y - m + r4 * sy, z}; break;
        case 2: w.pos = {bx.lo.x - m + r4 * sx, bx.hi.y + s, z}; break;
        default: w.pos = {bx.hi.x + s, bx.lo.y - m + r4 * sy, z}; break;
        }
    }
    ++w.hops;
}

}  // namespace

void jump_floating_box_easy(jump_state& w, const block& b) {
    const double d = w.cfg.floating_d;
    jump_box_faces(w, b, d, 0.5 * d);
}

void jump_floating_box_fd(jump_state& w, const block& b) { jump_box_faces(w, b, 0.5 * w.cfg.floating_d, 0.0); }

void jump_floating_box_cd(jump_state& w, const block& b) {
    const std::vector<double>& t = b.owner->surface_table;
    const box& bx = b.solid.shape.box;
    const vec3 lo = bx.lo, hi = bx.hi;
    const double d = w.cfg.floating_d, h = 0.5 * d;
    const double sx = hi.x - lo.x, sy = hi.y - lo.y;
    const std::size_t i = pick(w, t, cd_pieces);
    const double r2 = uniform01(w.rng);

    double z_side = 0.0;
    if (i <= 3 || (i >= 6 && i <= 9)) {
        z_side = side_height(t, cd_pieces, lo.z, hi.z, r2, uniform01(w.rng));
    }
    // Edge pieces: offsets (E1, E2) across the quarter-round edge region.
    double e1 = 0.0, e2 = 0.0;
    if (i >= 6 && i <= 17) {
        double tt;
        for (;;) {
            const double r = uniform01(w.rng), r1 = uniform01(w.rng);
            tt = r * h / sqrt2;
            if (1.0 / (h * sqrt2 - tt) >= r1 * sqrt2 / h) break;
        }
        double a, bb;
        if (uniform01(w.rng) > 0.5) {
            const double s = h * sqrt2 - tt;
            a = bb = s / sqrt2;
        } else {
            a = tt / sqrt2;
            bb = (h * sqrt2 - tt) / sqrt2;
        }
        e1 = a + bb;
        e2 = a - bb;
    }
    // Corner pieces: offsets (a, b, c) over the corner region.
    double ca = 0.0, cb = 0.0, cc = 0.0;
    if (i >= 18) {
        double t1, t2, g;
        for (;;) {
            const double r = uniform01(w.rng), r1 = uniform01(w.rng), r3 = uniform01(w.rng);
            t1 = r * h / sqrt2;
            t2 = r1 * h / (sqrt2 * sqrt3);
            if (t2 > t1 / sqrt3) continue;
            g = 2.0 * h / sqrt3 - sqrt2 * t2;
            if (1.0 / g >= r3 * sqrt3 / h) break;
        }
        double p, q;
        switch (int(6.0 * uniform01(w.rng))) {
        case 0: p = t1; q = t2; break;
        case 1: p = 0.5 * t1 + c3 * t2; q = c3 * t1 - 0.5 * t2; break;
        case 2: p = -0.5 * t1 + c3 * t2 + h / sqrt2; q = -c3 * t1 - 0.5 * t2 + k_corner * h; break;
        case 3: p = 0.5 * t1 - c3 * t2 + h / sqrt2; q = -c3 * t1 - 0.5 * t2 + sqrt3 * h / sqrt2; break;
        case 4: p = -0.5 * t1 - c3 * t2 + sqrt2 * h; q = c3 * t1 - 0.5 * t2; break;
        default: p = sqrt2 * h - t1; q = t2; break;
        }
        ca = p / sqrt2;
        cc = q / sqrt2;
        cb = g / sqrt2;
    }
    const double ra = uniform01(w.rng), rb = uniform01(w.rng);
    double rc = 0.0;
    if (i >= 10 && i <= 17) rc = uniform01(w.rng);

    vec3& p = w.pos;
    switch (i) {
    case 0: p = {lo.x + ra * sx, lo.y - d, z_side}; break;
    case 1: p = {lo.x - d, lo.y + ra * sy, z_side}; break;
    case 2: p = {lo.x + ra * sx, hi.y + d, z_side}; break;
    case 3: p = {hi.x + d, lo.y + ra * sy, z_side}; break;
    case 4: p = {lo.x + ra * sx, lo.y + rb * sy, lo.z - d}; break;
    case 5: p = {lo.x + ra * sx, lo.y + rb * sy, hi.z + d}; break;
    case 6: p = {lo.x - e1, lo.y - h + e2, z_side}; break;
    case 7: p = {lo.x - e1, hi.y + h - e2, z_side}; break;
    case 8: p = {hi.x + e1, hi.y + h - e2, z_side}; break;
    case 9: p = {hi.x + e1, lo.y - h + e2, z_side}; break;
    case 10: p = {lo.x - e1, lo.y + rc * sy, lo.z - h + e2}; break;
    case 11: p = {hi.x + e1, lo.y + rc * sy, lo.z - h + e2}; break;
    case 12: p = {hi.x + e1, lo.y + rc * sy, hi.z + h - e2}; break;
    case 13: p = {lo.x - e1, lo.y + rc * sy, hi.z + h - e2}; break;
    case 14: p = {lo.x + rc * sx, lo.y - e1, lo.z - h + e2}; break;
    case 15: p = {lo.x + rc * sx, hi.y + h - e2, lo.z - e1}; break;
    case 16: p = {lo.x + rc * sx, hi.y + e1, hi.z + h - e2}; break;
    case 17: p = {lo.x + rc * sx, lo.y - e1, hi.z + h - e2}; break;
    default: {
        // Corners 18..25: bottom four then top four, each ring (lo,lo),
        // (lo,hi), (hi,hi), (hi,lo) in (x, y).
        const int c = int(i) - 18;
        const bool high_x = (c % 4) == 2 || (c % 4) == 3;
        const bool high_y = (c % 4) == 1 || (c % 4) == 2;
        const bool high_z = c >= 4;
        p.x = high_x ? hi.x + h - ca : lo.x - h + ca;
        p.y = high_y ? hi.y + ca : lo.y - ca;
        p.z = high_z ? hi.z + cc + cb : lo.z - cc - cb;
        break;
    }
    }
    ++w.hops;
}

void jump_floating_prism_fd(jump_state& w, const block& b) {
    const conductor& f = *b.owner;
    const std::size_t m = element_count(f);
    const std::size_t caps = 2 * b.solid.shape.prism.n - 4;
    const std::size_t i = pick(w, f.surface_table, m);
    const double u = cell_centre(uniform01(w.rng), element_cells);
    const double v = cell_centre(uniform01(w.rng), element_cells);
    const surface_element& e = f.surface_elements[i];
    const vec3 point = sample_surface_point(e, u, v);
    const vec3 n = surface_normal(e);
    const double push = i >= caps ? f.surface_table[m + (i - caps)] : w.cfg.floating_d;
    w.pos = {point.x + push * n.x, point.y + push * n.y, point.z + push * n.z};
    ++w.hops;
}

void jump_floating_prism_easy(jump_state& w, const block& b) {
    const conductor& f = *b.owner;
    const std::size_t i = pick(w, f.surface_table, element_count(f));
    const double u = cell_centre(uniform01(w.rng), element_cells);
    const double v = cell_centre(uniform01(w.rng), element_cells);
    w.pos = sample_surface_point(f.surface_elements[i], u, v);
    ++w.hops;
}

void jump_floating_multi_block(jump_state& w, const conductor& f) {
    const double d = w.cfg.floating_d;
    const std::size_t m = element_count(f);
    for (;;) {
        const std::size_t i = pick(w, f.surface_table, m);
        const double u = cell_centre(uniform01(w.rng), element_cells);
        const double v = cell_centre(uniform01(w.rng), element_cells);
        w.pos = sample_surface_point(f.surface_elements[i], u, v);
        int k = 0;
        bool inside = false;
        for (const block* p : f.blocks) {
            double dist;
            if (p->solid.kind == solid_prism)
                dist = block_distance(w.pos, make_nprism_solid(expand_prism(p->solid.shape.prism, d)));
            else
                dist = box_point_distance(w.pos, grow_box(p->solid.outer_box, d));
            if (dist < -geom_eps) {
                inside = true;
                break;
            }
            if (std::fabs(dist) < geom_eps) ++k;
        }
        if (inside) continue;
        const double r4 = uniform01(w.rng);
        if (k == 0 || 1.0 / double(k) > r4) break;
    }
    ++w.hops;
}
