#include "geometry/floating_surface.hpp"

#include <cmath>
#include <vector>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/dump_layout.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "geometry/prism.hpp"
#include "geometry/primitives.hpp"

namespace {

constexpr double pi_approx = 3.1415926536;
constexpr double four_pi_approx = 12.5663706144;
constexpr double ln2 = 0.693147181;
constexpr double no_block_d = 2.5e8;
constexpr double floating_size_share = 0.25;
constexpr double gap_share = 0.5;
constexpr std::size_t cd_pieces = 26;

double box_gap(const box& a, const box& b) {
    const double gx = tmax(b.lo.x - a.hi.x, a.lo.x - b.hi.x);
    const double gy = tmax(b.lo.y - a.hi.y, a.lo.y - b.hi.y);
    const double gz = tmax(b.lo.z - a.hi.z, a.lo.z - b.hi.z);
    return tmax(tmax(gy, gx), gz);
}

box grown(const box& b, double m) {
    return box{{b.lo.x - m, b.lo.y - m, b.lo.z - m}, {b.hi.x + m, b.hi.y + m, b.hi.z + m}};
}

// Outline points of a solid's x-y section: a prism's vertices, else the
// corners of its outer box.
std::vector<vec2> outline(const solid& s) {
    if (s.kind == solid_prism) return std::vector<vec2>(s.shape.prism.vertex, s.shape.prism.vertex + s.shape.prism.n);
    const box& o = s.outer_box;
    return {{o.lo.x, o.lo.y}, {o.hi.x, o.lo.y}, {o.hi.x, o.hi.y}, {o.lo.x, o.hi.y}};
}

// x-y distance from q to the solid's section, measured at the solid's
// mid height so that only the section counts.
double section_distance(const vec2& q, const solid& s) {
    const box& o = s.outer_box;
    return block_distance(vec3{q.x, q.y, 0.5 * (o.lo.z + o.hi.z)}, s);
}

[[noreturn]] void overlap_failure(const block& f, const block& b) {
    sea::writer& err = log_error_w();
    err.printf("error: floating d less than 0.").put('\n').flush();
    err.printf("%s : %s", f.owner->name.c_str(), b.owner->name.c_str()).put('\n').flush();
    dump_solid(err, f.solid).put('\n').flush();
    dump_solid(err, b.solid).put('\n').flush();
    fatal_exit(-1);
}

double floating_size(const solid& s) {
    if (s.kind == solid_box) {
        const box& o = s.outer_box;
        return tmin(tmin(o.hi.x - o.lo.x, o.hi.y - o.lo.y), o.hi.z - o.lo.z);
    }
    if (s.kind == solid_cylinder) return tmin(2 * s.shape.cylinder.radius, 2 * s.shape.cylinder.half_height);
    const nprism_t& p = s.shape.prism;
    double w = geom_infinity;
    for (uint64_t i = 0; i < p.n; ++i) {
        const vec2& a = p.vertex[i];
        const vec2& b = next_vertex(p, i);
        w = tmin(w, std::hypot(b.x - a.x, b.y - a.y));
    }
    return tmin(w, p.z1 - p.z0);
}

void make_cumulative(std::vector<double>& t, std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += t[i];
        t[i] = sum;
    }
    for (std::size_t i = 0; i < count; ++i) t[i] /= sum;
    if (count) t[count - 1] = 1.0;
}

void area_table(conductor& c) {
    c.surface_table.clear();
    for (const surface_element& e : c.surface_elements) c.surface_table.push_back(surface_piece_area(e));
    make_cumulative(c.surface_table, c.surface_table.size());
}

// Layer split of a floating box: the permittivities below and above the
// split height, and the heights of the parts below and above it.
struct box_split {
    double eps_b, eps_t, z_s, a, b;
};

box_split split_box(const layer_stack& stack, double bottom, double top, double d, bool easy) {
    const int top_code = find_layer_id(stack, layer_code_lowest_interface, top + d / 2);
    const int bottom_code = find_layer_id(stack, layer_code_lowest_interface, bottom - d / 2);
    // A height on an interface belongs to the layer on the box's side of it.
    const int top_layer = top_code >= layer_code_interface ? top_code - layer_code_interface - 1
                                                           : top_code - layer_code_inside;
    const int bottom_layer = bottom_code >= layer_code_interface ? bottom_code - layer_code_interface
                                                                 : bottom_code - layer_code_inside;
    box_split s;
    s.eps_t = stack.permittivity[std::size_t(top_layer)];
    s.eps_b = stack.permittivity[std::size_t(bottom_layer)];
    const double lo = easy ? bottom - d / 2 : bottom;
    const double hi = easy ? top + d / 2 : top;
    s.z_s = top_layer != bottom_layer ? stack.interface_z[std::size_t(top_layer)] : lo;
    s.a = s.z_s - lo;
    s.b = hi - s.z_s;
    return s;
}

void single_box_table(const layout& l, conductor& c, const box& o, double d) {
    const configure& cfg = *l.cfg;
    const bool easy = cfg.floating_type == configure::floating_arg::easy;
    const box_split s = split_box(l.layers, o.lo.z, o.hi.z, d, easy);
    const double X = (o.hi.x - o.lo.x) + (easy ? d : 0.0);
    const double Y = (o.hi.y - o.lo.y) + (easy ? d : 0.0);
    const double H = s.a * s.eps_b + s.b * s.eps_t;
    const double lower = s.a * s.eps_b / (s.a * s.eps_b + s.b * s.eps_t);
    std::vector<double>& t = c.surface_table;
    t.clear();
    if (cfg.floating_type == configure::floating_arg::cd) {
        const double D = d / 2;
        const double xf = X * H / D, yf = Y * H / D;
        const double corner = 3 * D * (1 - ln2);
        t = {xf, yf, xf, yf, X * Y * s.eps_b / D, X * Y * s.eps_t / D};
        for (int i = 0; i < 4; ++i) t.push_back(2 * ln2 * H);
        for (double e : {s.eps_b, s.eps_b, s.eps_t, s.eps_t}) t.push_back(2 * Y * ln2 * e);
        for (double e : {s.eps_b, s.eps_b, s.eps_t, s.eps_t}) t.push_back(2 * X * ln2 * e);
        for (int i = 0; i < 4; ++i) t.push_back(corner * s.eps_b);
        for (int i = 0; i < 4; ++i) t.push_back(corner * s.eps_t);
        make_cumulative(t, cd_pieces);
    } else {
        t = {X * H, Y * H, X * H, Y * H, X * Y * s.eps_b, X * Y * s.eps_t};
        make_cumulative(t, t.size());
    }
    t.push_back(s.z_s);
    t.push_back(lower);
}

void single_prism_table(conductor& c, const nprism_t& p, double d, bool fd) {
    c.surface_elements.clear();
    if (!fd) {
        prism_faces(expand_prism(p, d), c.surface_elements);
        area_table(c);
        return;
    }
    prism_faces(p, c.surface_elements);
    const std::size_t n = p.n;
    std::vector<double> push(n);
    for (std::size_t i = 0; i < n; ++i) {
        const vec2& a = p.vertex[i];
        const vec2& b = next_vertex(p, i);
        push[i] = tmax(point_line_distance_2d({a.x + d, a.y + d}, a, b), point_line_distance_2d({a.x + d, a.y - d}, a, b));
    }
    std::vector<double>& t = c.surface_table;
    t.clear();
    const std::size_t triangles = 2 * n - 4;
    for (std::size_t k = 0; k < c.surface_elements.size(); ++k) {
        const double area = surface_piece_area(c.surface_elements[k]);
        t.push_back(k < triangles ? area / d : area / push[k - triangles]);
    }
    make_cumulative(t, t.size());
    t.insert(t.end(), push.begin(), push.end());
}

} // namespace

double point_line_distance_2d(const vec2& q, const vec2& a, const vec2& b) {
    return tabs((q.y - a.y) * (b.x - a.x) - (q.x - a.x) * (b.y - a.y)) / std::hypot(b.x - a.x, b.y - a.y);
}

double surface_piece_area(const surface_element& e) {
    const surface_word* w = e.data;
    switch (e.shape) {
    case surface_rect: return w[3].f * w[4].f;
    case surface_disc: return w[3].f * w[3].f * pi_approx;
    case surface_cylinder_side: return w[3].f * w[4].f * four_pi_approx;
    case surface_triangle:
        return 0.5 * tabs((w[3].f - w[1].f) * (w[6].f - w[2].f) - (w[4].f - w[2].f) * (w[5].f - w[1].f));
    case surface_slanted_rect: return (tabs(w[3].f) + tabs(w[4].f)) * w[5].f;
    default: return 0.0;
    }
}

box prism_bounding_box(const nprism_t& p) {
    box b{{p.vertex[0].x, p.vertex[0].y, p.z0}, {p.vertex[0].x, p.vertex[0].y, p.z1}};
    for (uint64_t i = 1; i < p.n; ++i) {
        b.lo.x = tmin(b.lo.x, p.vertex[i].x);
        b.lo.y = tmin(b.lo.y, p.vertex[i].y);
        b.hi.x = tmax(b.hi.x, p.vertex[i].x);
        b.hi.y = tmax(b.hi.y, p.vertex[i].y);
    }
    return b;
}

double block_pair_distance(const solid& a, const solid& b) {
    const box& ao = a.outer_box;
    const box& bo = b.outer_box;
    const double gz = tmax(bo.lo.z - ao.hi.z, ao.lo.z - bo.hi.z);
    if (a.kind != solid_prism && b.kind != solid_prism) {
        const double gx = tmax(bo.lo.x - ao.hi.x, ao.lo.x - bo.hi.x);
        const double gy = tmax(bo.lo.y - ao.hi.y, ao.lo.y - bo.hi.y);
        return tmax(gz, tmax(gy, gx));
    }
    double gxy = geom_infinity;
    for (const vec2& q : outline(a)) gxy = std::fmin(gxy, section_distance(q, b));
    for (const vec2& q : outline(b)) gxy = std::fmin(gxy, section_distance(q, a));
    return tmax(gz, gxy);
}

void build_multi_block_gauss_surface(const layout& l, conductor& c) {
    const double d = l.cfg->floating_d;
    c.surface_elements.clear();
    for (const block* b : c.blocks) {
        if (b->solid.kind != solid_box)
            log_info_w()
                .printf("info: multi-block floating conductor(%s) contain non-Manhattan block.", c.name.c_str())
                .put('\n')
                .flush();
        if (b->solid.kind == solid_prism)
            prism_faces(expand_prism(b->solid.shape.prism, d), c.surface_elements);
        else
            box_faces(grown(b->solid.outer_box, d), c.surface_elements);
    }
    area_table(c);
}

void build_single_block_gauss_surface(const layout& l, conductor& c) {
    const double d = l.cfg->floating_d;
    const solid& s = c.blocks.front()->solid;
    if (s.kind == solid_prism) {
        single_prism_table(c, s.shape.prism, d, l.cfg->floating_type_prism == configure::floating_arg::prism_fd);
        return;
    }
    single_box_table(l, c, s.outer_box, d);
}

void setup_floating_conductors(layout& l) {
    configure& cfg = *l.cfg;
    if (cfg.floating_debug) {
        double g_dbg = geom_infinity;
        for (const block* f : l.floating_blocks)
            for (const block* b : l.all_blocks)
                if (b->owner != f->owner) g_dbg = std::fmin(g_dbg, block_pair_distance(f->solid, b->solid));
        log_info_w().printf("floating debug d is: %.12f", g_dbg).put('\n').flush();
    }
    log_debug_w().printf("Use optimized traversal algo to calculate critical distance.").put('\n').flush();

    double g = geom_infinity;
    for (const block* f : l.floating_blocks) {
        const box& fo = f->solid.outer_box;
        const double m = tmax(tmax(fo.hi.x - fo.lo.x, fo.hi.y - fo.lo.y), fo.hi.z - fo.lo.z);
        const box near = grown(fo, m);
        for (const block* b : l.all_blocks) {
            if (b->owner == f->owner) continue;
            double gap;
            if (f->solid.kind != solid_prism && b->solid.kind != solid_prism) {
                gap = box_gap(fo, b->solid.outer_box);
            } else {
                if (!(box_gap(near, b->solid.outer_box) < -geom_eps)) continue;
                gap = block_pair_distance(f->solid, b->solid);
            }
            g = std::fmin(g, gap);
            if (g < 0) overlap_failure(*f, *b);
        }
    }
    if (g >= geom_infinity) g = geom_infinity;
    if (g == 0) {
        log_error_w().printf("floating d is %.12f.", g).put('\n').flush();
        log_error_w()
            .printf("error: floating d should be larger than 0, this maybe caused by that floating conductor is "
                    "touched by some other conductor.")
            .put('\n')
            .flush();
        fatal_exit(-1);
    }

    double w = geom_infinity;
    for (const block* b : l.all_blocks)
        if (b->floating) w = tmin(w, floating_size(b->solid));
    double d = l.all_blocks.empty() ? std::fmin(no_block_d, gap_share * g)
                                    : std::fmin(floating_size_share * w, gap_share * g);
    if (cfg.floating_d > 0) d = std::fmin(g, cfg.floating_d);
    // A floating block without extent in some direction leaves no room for
    // its surface: walks would jump onto the conductor itself forever.
    if (!(d > 0)) {
        log_error_w().printf("floating d is %.12f.", d).put('\n').flush();
        log_error_w()
            .printf("error: floating d should be larger than 0, a floating block has no width, depth or height.")
            .put('\n')
            .flush();
        fatal_exit(-1);
    }
    cfg.floating_d = d;
    log_info_w().printf("floating d: %.12f", d).put('\n').flush();

    for (conductor& c : l.conductors) {
        if (!c.floating) continue;
        if (c.blocks.size() >= 2)
            build_multi_block_gauss_surface(l, c);
        else if (!c.blocks.empty())
            build_single_block_gauss_surface(l, c);
    }
}
