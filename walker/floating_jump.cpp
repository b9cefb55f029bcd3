#include "walker/floating_jump.hpp"

#include <cmath>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/floating_surface.hpp"
#include "geometry/floating_table.hpp"
#include "geometry/primitives.hpp"
#include "geometry/section_distance.hpp"

namespace {

constexpr double sqrt2 = 1.4142135623730951;
constexpr double sqrt3 = 1.7320508075688772;
constexpr double c3 = 0.8660254037844386;  // cos 30 degrees
constexpr double k_corner = 1.2247448713915892;  // sqrt(3/2)
// Cells per side of the stratified (u, v) draw on a surface element.
constexpr double element_cells = 64.0;

bool strictly_inside(const window& w, const vec3& p) {
    return p.x + geom_eps > w.box.lo.x && w.box.hi.x + geom_eps > p.x && p.y + geom_eps > w.box.lo.y &&
           w.box.hi.y + geom_eps > p.y && p.z + geom_eps > w.box.lo.z && w.box.hi.z + geom_eps > p.z;
}

std::size_t pick(jump_state& w, const std::vector<double>& table, std::size_t n) {
    const std::size_t i = cdf_lower_bound(table.data(), n, uniform01(w.rng));
    return i < n ? i : n - 1;
}

std::size_t element_count(const conductor& f) { return f.surface_elements.size(); }

// A height on the side faces bottom .. top of a one-box table of `pieces`
// weights: r picks the layer part, s the height within it.
double side_height(const std::vector<double>& t, std::size_t pieces, double bottom, double top, double r, double s) {
    const std::size_t cuts = side_cut_count(t, pieces);
    for (std::size_t k = 0; k < cuts; ++k) {
        const double height = side_cut_height(t, pieces, k);
        if (side_cut_below(t, pieces, k) > r) return bottom + s * (height - bottom);
        bottom = height;
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
            cylinder_floating_failure(f, false);  // refused in preparation already
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
    const std::size_t f = pick(w, t, box_face_pieces);
    const double r2 = uniform01(w.rng);
    if (!box_is_side(f)) {
        const double r3 = uniform01(w.rng), r4 = uniform01(w.rng);
        w.pos = {bx.lo.x - m + r3 * sx, bx.lo.y - m + r4 * sy, f == box_bottom_piece ? bx.lo.z - s : bx.hi.z + s};
    } else {
        const double r3 = uniform01(w.rng);
        const double z = side_height(t, box_face_pieces, bx.lo.z - m, bx.hi.z + m, r2, r3);
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
    const double d = w.floating_d;
    jump_box_faces(w, b, d, 0.5 * d);
}

void jump_floating_box_fd(jump_state& w, const block& b) { jump_box_faces(w, b, 0.5 * w.floating_d, 0.0); }

namespace {

// Offsets (e1, e2) of a point of a "cd" edge piece across its quarter-round
// region of radius h.
struct edge_offsets {
    double e1, e2;
};

edge_offsets draw_edge_offsets(jump_state& w, double h) {
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
    return {a + bb, a - bb};
}

// Offsets (a, b, c) of a point of a "cd" corner piece over its region.
struct corner_offsets {
    double a, b, c;
};

corner_offsets draw_corner_offsets(jump_state& w, double h) {
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
    return {p / sqrt2, g / sqrt2, q / sqrt2};
}

// The point of "cd" corner piece i with offsets o.
vec3 corner_point(std::size_t i, const vec3& lo, const vec3& hi, double h, const corner_offsets& o) {
    const std::size_t c = i - cd_first_corner;
    const bool high_x = (c % 4) == 2 || (c % 4) == 3;
    const bool high_y = (c % 4) == 1 || (c % 4) == 2;
    const bool high_z = c >= 4;
    return {high_x ? hi.x + h - o.a : lo.x - h + o.a, high_y ? hi.y + o.a : lo.y - o.a,
            high_z ? hi.z + o.c + o.b : lo.z - o.c - o.b};
}

}  // namespace

void jump_floating_box_cd(jump_state& w, const block& b) {
    const std::vector<double>& t = b.owner->surface_table;
    const box& bx = b.solid.shape.box;
    const vec3 lo = bx.lo, hi = bx.hi;
    const double d = w.floating_d, h = 0.5 * d;
    const double sx = hi.x - lo.x, sy = hi.y - lo.y;
    const std::size_t i = pick(w, t, box_cd_pieces);
    const double r2 = uniform01(w.rng);

    // The draws come in a fixed order: height, edge or corner offsets, then
    // the positions along the face or edge.
    double z_side = 0.0;
    if (box_is_side(i) || cd_is_vertical_edge(i)) z_side = side_height(t, box_cd_pieces, lo.z, hi.z, r2, uniform01(w.rng));
    const edge_offsets e = cd_is_edge(i) ? draw_edge_offsets(w, h) : edge_offsets{0.0, 0.0};
    const corner_offsets corner = cd_is_corner(i) ? draw_corner_offsets(w, h) : corner_offsets{0.0, 0.0, 0.0};
    const double ra = uniform01(w.rng), rb = uniform01(w.rng);
    const double rc = cd_is_horizontal_edge(i) ? uniform01(w.rng) : 0.0;

    const double e1 = e.e1, e2 = e.e2;
    vec3& p = w.pos;
    switch (i) {
    case 0: p = {lo.x + ra * sx, lo.y - d, z_side}; break;
    case 1: p = {lo.x - d, lo.y + ra * sy, z_side}; break;
    case 2: p = {lo.x + ra * sx, hi.y + d, z_side}; break;
    case 3: p = {hi.x + d, lo.y + ra * sy, z_side}; break;
    case box_bottom_piece: p = {lo.x + ra * sx, lo.y + rb * sy, lo.z - d}; break;
    case box_top_piece: p = {lo.x + ra * sx, lo.y + rb * sy, hi.z + d}; break;
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
    default: p = corner_point(i, lo, hi, h, corner); break;
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
    const double push = i >= caps ? prism_side_push(f.surface_table, m, i - caps) : w.floating_d;
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
    const std::size_t m = element_count(f);
    for (;;) {
        const std::size_t i = pick(w, f.surface_table, m);
        const double u = cell_centre(uniform01(w.rng), element_cells);
        const double v = cell_centre(uniform01(w.rng), element_cells);
        w.pos = sample_surface_point(f.surface_elements[i], u, v);
        int k = 0;
        bool inside = false;
        for (const solid& grown : f.grown_blocks) {
            const double dist = grown.kind == solid_prism ? block_distance(w.pos, grown)
                                                          : box_point_distance(w.pos, grown.outer_box);
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
