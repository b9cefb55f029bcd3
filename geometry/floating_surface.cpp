#include "geometry/floating_surface.hpp"

#include <cmath>
#include <vector>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/run_end.hpp"
#include "foundation/writer.hpp"
#include "geometry/dump_layout.hpp"
#include "geometry/floating_table.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "geometry/prism.hpp"
#include "geometry/primitives.hpp"
#include "geometry/section_distance.hpp"

namespace {

constexpr double ln2 = 0.693147181;
constexpr double no_block_d = 2.5e8;
constexpr double floating_size_share = 0.25;
constexpr double gap_share = 0.5;
// A landing point of a jump stands at least d / 2 off its conductor (the
// faces of a one-box surface); nearer than the touch distance, the walk
// touches the conductor again at once and jumps for ever.
constexpr double least_floating_d = 2 * touch_distance;
// Golden-section steps along an edge: the bracket shrinks below 1e-16 of it.
constexpr int golden_steps = 80;
constexpr double golden_ratio = 0.6180339887498949;

// x-y outline of a polygonal section, anticlockwise: a prism's vertices or
// the corners of a box's outer box. A cylinder has none.
std::vector<vec2> outline(const solid& s) {
    if (s.kind == solid_prism) return std::vector<vec2>(s.shape.prism.vertex, s.shape.prism.vertex + s.shape.prism.n);
    if (s.kind == solid_cylinder) return {};
    const box& o = s.outer_box;
    return {{o.lo.x, o.lo.y}, {o.hi.x, o.lo.y}, {o.hi.x, o.hi.y}, {o.lo.x, o.hi.y}};
}

// Smallest x-y distance from the segment a b to the section of s. The
// distance to a convex section is convex along the segment, so a golden
// section search finds its minimum.
double segment_distance_xy(const vec2& a, const vec2& b, const solid& s) {
    auto at = [&](double t) { return block_distance_xy(vec3{lerp(a.x, b.x, t), lerp(a.y, b.y, t), 0.0}, s); };
    double lo = 0.0, hi = 1.0;
    double t1 = hi - golden_ratio * (hi - lo), t2 = lo + golden_ratio * (hi - lo);
    double f1 = at(t1), f2 = at(t2);
    for (int i = 0; i < golden_steps; ++i) {
        if (f1 <= f2) {
            hi = t2;
            t2 = t1;
            f2 = f1;
            t1 = hi - golden_ratio * (hi - lo);
            f1 = at(t1);
        } else {
            lo = t1;
            t1 = t2;
            f1 = f2;
            t2 = lo + golden_ratio * (hi - lo);
            f2 = at(t2);
        }
    }
    return std::fmin(std::fmin(at(0.0), at(1.0)), std::fmin(f1, f2));
}

// x-y distance from the section of a to the section of b, as seen from a:
// the nearest point of a's outline edges, or for a cylinder a negative value
// when its centre lies inside b (a disc clear of b is measured from b's side).
double section_gap_from(const solid& a, const solid& b) {
    if (a.kind == solid_cylinder) {
        const cylinder_t& c = a.shape.cylinder;
        const double centre = block_distance_xy(c.centre, b);
        return centre < 0 ? centre - c.radius : geom_infinity;
    }
    const std::vector<vec2> v = outline(a);
    double gap = geom_infinity;
    for (std::size_t i = 0; i < v.size(); ++i)
        gap = std::fmin(gap, segment_distance_xy(v[i], v[next_index(i, v.size())], b));
    return gap;
}

// One layer's part of a vertical span.
struct layer_part {
    double bottom, top, eps;
    double weight() const { return (top - bottom) * eps; }
};

// The span z0 .. z1 cut at every interface strictly inside it, bottom up,
// each part with its own layer's permittivity.
std::vector<layer_part> layer_parts(const layer_stack& stack, double z0, double z1) {
    std::vector<layer_part> parts;
    double z = z0;
    for (double zi : stack.interface_z) {
        if (!(zi > z + geom_eps && zi < z1 - geom_eps)) continue;
        parts.push_back({z, zi, permittivity_taking_below(stack, 0.5 * (z + zi))});
        z = zi;
    }
    parts.push_back({z, z1, permittivity_taking_below(stack, 0.5 * (z + z1))});
    return parts;
}

// The two weights every floating surface takes, whatever its shape: flux
// along the layers (a vertical face) sees each layer's permittivity over its
// own part of the face, and flux across them (a horizontal face, over the
// gap z0 .. z1 to its conductor) sees the series permittivity of the gap's
// layers.
double series_permittivity(const layer_stack& stack, double z0, double z1) {
    double resistance = 0.0;
    for (const layer_part& p : layer_parts(stack, z0, z1)) resistance += (p.top - p.bottom) / p.eps;
    return (z1 - z0) / resistance;
}

// The word holding the height of a vertical element, or null for a
// horizontal one.
surface_word* height_word(surface_element& e) {
    if (e.shape == surface_slanted_rect) return &e.data[5];
    if (e.shape == surface_rect && e.data[5].u % 3 == 0) return &e.data[4];
    if (e.shape == surface_rect && e.data[5].u % 3 == 1) return &e.data[3];
    return nullptr;
}

// A piece of a floating surface and its weight: its area times the
// permittivity the flux through it crosses, so that the floating potential
// is the flux-weighted mean of the surface's potentials.
struct weighted_piece {
    surface_element element;
    double weight;
    std::size_t source;  // index of the element it was cut from
};

// Cuts the vertical elements at the interfaces they cross, one piece per
// layer. A horizontal element takes the series permittivity of its gap to
// the conductor: `gap` along its normal (negative: the conductor lies
// inside the surface, at that distance behind it).
std::vector<weighted_piece> layered_pieces(const layer_stack& stack, const std::vector<surface_element>& elements,
                                           double gap) {
    std::vector<weighted_piece> pieces;
    for (std::size_t k = 0; k < elements.size(); ++k) {
        surface_element e = elements[k];
        surface_word* height = height_word(e);
        if (!height) {
            const double z = sample_surface_point(e, 0.0, 0.0).z;
            const double far = z + gap * surface_normal(e).z;
            const double eps = series_permittivity(stack, std::fmin(z, far), std::fmax(z, far));
            pieces.push_back({e, surface_element_area(e) * eps, k});
            continue;
        }
        const double bottom = e.data[2].f;
        for (const layer_part& p : layer_parts(stack, bottom, bottom + height->f)) {
            surface_element piece = e;
            piece.data[2].f = p.bottom;
            height_word(piece)->f = p.top - p.bottom;
            pieces.push_back({piece, surface_element_area(piece) * p.eps, k});
        }
    }
    return pieces;
}

[[noreturn]] void overlap_failure(const block& f, const block& b) {
    std::string message;
    sea::string_writer err(&message);
    err.printf("error: floating d less than 0.").put('\n');
    err.printf("%s : %s", f.owner->name.c_str(), b.owner->name.c_str()).put('\n');
    dump_solid(err, f.solid).put('\n');
    dump_solid(err, b.solid).put('\n');
    sea::end_run(std::move(message), -1);
}

// A floating distance that leaves a landing point of a jump within the
// touch distance of its conductor; names what made it so small.
[[noreturn]] void too_small_d_failure(const configure& cfg, double d, double w, double g, const block* thinnest,
                                      const block* g_floating, const block* g_other) {
    std::string message;
    sea::string_writer err(&message);
    err.printf("error: floating d %.12f is below %g (twice the touch distance): walks would jump onto the floating "
               "conductor for ever; ",
               d, least_floating_d);
    const bool by_option = cfg.floating_d > 0;
    if (by_option && cfg.floating_d < least_floating_d)
        err.printf("\"--floating-d\" %g is too small.", cfg.floating_d);
    else if (!by_option && thinnest && floating_size_share * w <= gap_share * g)
        err.printf("block %s of floating conductor %s is only %g thick, %g needed.", thinnest->name.c_str(),
                   thinnest->owner->name.c_str(), w, least_floating_d / floating_size_share);
    else
        err.printf("floating conductor %s lies only %g from conductor %s, %g needed.", g_floating->owner->name.c_str(),
                   g, g_other->owner->name.c_str(), least_floating_d / (by_option ? 1.0 : gap_share));
    err.put('\n');
    sea::end_run(std::move(message), -1);
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

// The conductor's elements and cumulative table from weighted pieces.
void weighted_table(conductor& c, const std::vector<weighted_piece>& pieces) {
    c.surface_elements.clear();
    c.surface_table.clear();
    for (const weighted_piece& p : pieces) {
        c.surface_elements.push_back(p.element);
        c.surface_table.push_back(p.weight);
    }
    make_cumulative_table(c.surface_table.data(), c.surface_table.size());
}

// The jumps draw a one-box surface by rule, not from elements: its table
// (floating_table.hpp) holds the weights of its pieces, then the cuts of
// its side faces at the layers.
void single_box_table(const layout& l, conductor& c, const box& o, double d) {
    const configure& cfg = *l.cfg;
    const layer_stack& stack = l.layers;
    // "fd" faces stand d / 2 off the box, "cd" and "easy" faces d; "easy"
    // faces also reach d / 2 beyond the box along the face.
    const double stand_off = cfg.floating_type == configure::floating_arg::fd ? d / 2 : d;
    const double margin = cfg.floating_type == configure::floating_arg::easy ? d / 2 : 0.0;
    const double X = (o.hi.x - o.lo.x) + 2 * margin;
    const double Y = (o.hi.y - o.lo.y) + 2 * margin;
    const std::vector<layer_part> side = layer_parts(stack, o.lo.z - margin, o.hi.z + margin);
    double H = 0.0;
    for (const layer_part& p : side) H += p.weight();
    const double eps_b = series_permittivity(stack, o.lo.z - stand_off, o.lo.z);
    const double eps_t = series_permittivity(stack, o.hi.z, o.hi.z + stand_off);
    std::vector<double>& t = c.surface_table;
    t.clear();
    if (cfg.floating_type == configure::floating_arg::cd) {
        // Horizontal edges and corners stand over the top or bottom gap and
        // share its permittivity; vertical edges run along the side's layers.
        const double D = d / 2;
        const double xf = X * H / D, yf = Y * H / D;
        const double corner = 3 * D * (1 - ln2);
        t = {xf, yf, xf, yf, X * Y * eps_b / D, X * Y * eps_t / D};
        for (int i = 0; i < 4; ++i) t.push_back(2 * ln2 * H);
        for (double e : {eps_b, eps_b, eps_t, eps_t}) t.push_back(2 * Y * ln2 * e);
        for (double e : {eps_b, eps_b, eps_t, eps_t}) t.push_back(2 * X * ln2 * e);
        for (int i = 0; i < 4; ++i) t.push_back(corner * eps_b);
        for (int i = 0; i < 4; ++i) t.push_back(corner * eps_t);
        make_cumulative_table(t.data(), box_cd_pieces);
    } else {
        t = {X * H, Y * H, X * H, Y * H, X * Y * eps_b, X * Y * eps_t};
        make_cumulative_table(t.data(), box_face_pieces);
    }
    if (side.size() == 1) {
        append_side_cut(t, side.front().bottom, 0.0);
        return;
    }
    double below = 0.0;
    for (std::size_t k = 0; k + 1 < side.size(); ++k) {
        below += side[k].weight();
        append_side_cut(t, side[k].top, below / H);
    }
}

void single_prism_table(const layout& l, conductor& c, const nprism_t& p, double d, bool fd) {
    std::vector<surface_element> faces;
    if (!fd) {
        prism_faces(expand_prism(p, d), faces);
        weighted_table(c, layered_pieces(l.layers, faces, -d));
        return;
    }
    // The caps' points are pushed out by d and the sides' by their own
    // push distances: the gap to the conductor lies outside the faces.
    prism_faces(p, faces);
    const std::vector<weighted_piece> pieces = layered_pieces(l.layers, faces, d);
    const std::size_t n = p.n;
    std::vector<double> push(n);
    for (std::size_t i = 0; i < n; ++i) {
        const vec2& a = p.vertex[i];
        const vec2& b = next_vertex(p, i);
        push[i] = tmax(point_line_distance_2d({a.x + d, a.y + d}, a, b), point_line_distance_2d({a.x + d, a.y - d}, a, b));
    }
    // A side cut at interfaces keeps its push distance in every piece.
    const std::size_t triangles = 2 * n - 4;
    std::vector<weighted_piece> scaled = pieces;
    std::vector<double> piece_push;
    for (weighted_piece& q : scaled) {
        if (q.source < triangles) {
            q.weight /= d;
        } else {
            q.weight /= push[q.source - triangles];
            piece_push.push_back(push[q.source - triangles]);
        }
    }
    weighted_table(c, scaled);
    c.surface_table.insert(c.surface_table.end(), piece_push.begin(), piece_push.end());
}

} // namespace

double point_line_distance_2d(const vec2& q, const vec2& a, const vec2& b) {
    return tabs((q.y - a.y) * (b.x - a.x) - (q.x - a.x) * (b.y - a.y)) / std::hypot(b.x - a.x, b.y - a.y);
}

double block_pair_distance(const solid& a, const solid& b) {
    if (a.kind == solid_box && b.kind == solid_box) return box_gap(a.outer_box, b.outer_box);
    const box& ao = a.outer_box;
    const box& bo = b.outer_box;
    const double gz = tmax(bo.lo.z - ao.hi.z, ao.lo.z - bo.hi.z);
    double gxy;
    if (a.kind == solid_cylinder && b.kind == solid_cylinder) {
        // Two discs are as far apart as a's centre from b grown by a's radius.
        const cylinder_t& ca = a.shape.cylinder;
        const cylinder_t& cb = b.shape.cylinder;
        gxy = block_distance_xy(ca.centre, make_cylinder_solid(cb.centre, cb.radius + ca.radius, cb.half_height));
    } else {
        // Sections that overlap without holding each other's vertices still
        // cross at an edge: the edges are measured, not the vertices alone.
        gxy = std::fmin(section_gap_from(a, b), section_gap_from(b, a));
    }
    return tmax(gz, gxy);
}

void build_multi_block_floating_surface(const layout& l, conductor& c) {
    const double d = l.floating_d;
    std::vector<surface_element> faces;
    c.grown_blocks.clear();
    for (const block* b : c.blocks) {
        if (b->solid.kind != solid_box)
            log_info_w()
                .printf("info: multi-block floating conductor(%s) contain non-Manhattan block.", c.name.c_str())
                .put('\n')
                .flush();
        if (b->solid.kind == solid_prism) {
            const nprism_t grown = expand_prism(b->solid.shape.prism, d);
            prism_faces(grown, faces);
            c.grown_blocks.push_back(make_nprism_solid(grown));
        } else {
            const box grown = grow_box(b->solid.outer_box, d);
            box_faces(grown, faces);
            c.grown_blocks.push_back(make_box_solid(grown));
        }
    }
    weighted_table(c, layered_pieces(l.layers, faces, -d));
}

void build_single_block_floating_surface(const layout& l, conductor& c) {
    const double d = l.floating_d;
    const solid& s = c.blocks.front()->solid;
    if (s.kind == solid_prism) {
        single_prism_table(l, c, s.shape.prism, d, l.cfg->floating_type_prism == configure::floating_arg::prism_fd);
        return;
    }
    single_box_table(l, c, s.outer_box, d);
}

namespace {

// Under "--floating-debug", the smallest gap measured on the solids alone.
void report_debug_gap(const layout& l) {
    double g_dbg = geom_infinity;
    for (const block* f : l.floating_blocks)
        for (const block* b : l.all_blocks)
            if (b->owner != f->owner) g_dbg = std::fmin(g_dbg, block_pair_distance(f->solid, b->solid));
    log_info_w().printf("floating debug d is: %.12f", g_dbg).put('\n').flush();
}

// The smallest gap g between a floating block and a block of another net,
// and the pair that makes it.
struct nearest_pair {
    double g = geom_infinity;
    const block* floating = nullptr;
    const block* other = nullptr;
};

// Ends the run when a floating block overlaps another net's block.
nearest_pair find_nearest_pair(const layout& l) {
    nearest_pair n;
    for (const block* f : l.floating_blocks) {
        const box& fo = f->solid.outer_box;
        const double m = tmax(tmax(fo.hi.x - fo.lo.x, fo.hi.y - fo.lo.y), fo.hi.z - fo.lo.z);
        const box near = grow_box(fo, m);
        for (const block* b : l.all_blocks) {
            if (b->owner == f->owner) continue;
            // Outer boxes bound from below the gap to a block that stays clear
            // of the neighbourhood; a nearer one is measured on its solids.
            const box& bo = b->solid.outer_box;
            const double gap =
                box_gap(near, bo) < -geom_eps ? block_pair_distance(f->solid, b->solid) : box_gap(fo, bo);
            if (gap < n.g) {
                n.g = gap;
                n.floating = f;
                n.other = b;
            }
            if (n.g < 0) overlap_failure(*f, *b);
        }
    }
    if (n.g >= geom_infinity) n.g = geom_infinity;
    return n;
}

[[noreturn]] void touching_failure(double g) {
    sea::end_run(sea::formatted("floating d is %.12f.\n", g) +
                     "error: floating d should be larger than 0, this maybe caused by that floating conductor is "
                     "touched by some other conductor.\n",
                 -1);
}

[[noreturn]] void flat_block_failure(double d) {
    sea::end_run(sea::formatted("floating d is %.12f.\n", d) +
                     "error: floating d should be larger than 0, a floating block has no width, depth or height.\n",
                 -1);
}

// The smallest size w of a floating block, and the first block of that size.
struct thinnest_block {
    double w = geom_infinity;
    const block* b = nullptr;
};

thinnest_block find_thinnest_block(const layout& l) {
    thinnest_block t;
    for (const block* b : l.all_blocks) {
        if (!b->floating) continue;
        const double size = tmin(t.w, floating_size(b->solid));
        if (size != t.w || !t.b) t.b = b;
        t.w = size;
    }
    return t;
}

// The floating distance: a share of the thinnest floating block and of the
// nearest gap, or the option's value within the gap.
double choose_floating_d(const layout& l, const configure& cfg, double w, double g) {
    double d = l.all_blocks.empty() ? std::fmin(no_block_d, gap_share * g)
                                    : std::fmin(floating_size_share * w, gap_share * g);
    if (cfg.floating_d > 0) d = std::fmin(g, cfg.floating_d);
    return d;
}

}  // namespace

void cylinder_floating_failure(const conductor& c, bool cleanup) {
    sea::end_run(sea::formatted("Cylinder floating conductor haven't implemented yet!\n"
                                "floating conductor %s is one cylinder block (%s); a floating conductor of one block "
                                "must be a box or a polygon.\n",
                                c.name.c_str(), c.blocks.front()->name.c_str()),
                 -1, cleanup);
}

void setup_floating_conductors(layout& l) {
    const configure& cfg = *l.cfg;
    // Refused before any walk rather than at the first walk that reaches it.
    for (const conductor& c : l.conductors)
        if (c.floating && c.blocks.size() == 1 && c.blocks.front()->solid.kind == solid_cylinder)
            cylinder_floating_failure(c, true);
    if (cfg.floating_debug) report_debug_gap(l);
    log_debug_w().printf("Use optimized traversal algo to calculate critical distance.").put('\n').flush();

    const nearest_pair nearest = find_nearest_pair(l);
    if (nearest.g == 0) touching_failure(nearest.g);
    const thinnest_block thinnest = find_thinnest_block(l);
    const double d = choose_floating_d(l, cfg, thinnest.w, nearest.g);
    // A floating block without extent in some direction leaves no room for
    // its surface: walks would jump onto the conductor itself forever.
    if (!(d > 0)) flat_block_failure(d);
    if (!l.floating_blocks.empty() && d < least_floating_d)
        too_small_d_failure(cfg, d, thinnest.w, nearest.g, thinnest.b, nearest.floating, nearest.other);
    l.floating_d = d;
    log_info_w().printf("floating d: %.12f", d).put('\n').flush();

    for (conductor& c : l.conductors) {
        if (!c.floating) continue;
        if (c.blocks.size() >= 2)
            build_multi_block_floating_surface(l, c);
        else if (!c.blocks.empty())
            build_single_block_floating_surface(l, c);
    }
}
