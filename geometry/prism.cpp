// Prism geometry: growth, faces, slab cuts and the face of a box.
#include "geometry/prism.hpp"

#include <algorithm>
#include <cmath>
#include <set>

#include "foundation/run_end.hpp"
#include "foundation/writer.hpp"
#include "geometry/primitives.hpp"

namespace {

// Most vertices expand_prism accepts: the grown outline has twice as many.
constexpr uint64_t expand_max_vertices = 4;
constexpr double slab_inner_half_side = 0.0001;

surface_element empty_element(uint32_t shape) {
    surface_element e{};
    e.shape = shape;
    return e;
}

surface_element rect_element(const vec3& corner, double extent1, double extent2, uint64_t face) {
    surface_element e = empty_element(surface_rect);
    e.data[0].f = corner.x;
    e.data[1].f = corner.y;
    e.data[2].f = corner.z;
    e.data[3].f = extent1;
    e.data[4].f = extent2;
    e.data[5].u = face;
    return e;
}

surface_element triangle_element(double z, const vec2& a, const vec2& b, const vec2& c,
                                 uint64_t face) {
    surface_element e = empty_element(surface_triangle);
    e.data[0].f = z;
    e.data[1].f = a.x;
    e.data[2].f = a.y;
    e.data[3].f = b.x;
    e.data[4].f = b.y;
    e.data[5].f = c.x;
    e.data[6].f = c.y;
    e.data[7].u = face;
    return e;
}

// Crossings of the outline with the line {axis = c}; u is the cutting
// axis's coordinate and w the other one.
template <class U, class W, class Make>
std::vector<vec2> prism_cut(const nprism_t& p, double c, U u, W w, Make make) {
    std::vector<vec2> points;
    for (uint64_t i = 0; i < p.n; ++i) {
        const vec2& a = p.vertex[i];
        const vec2& b = next_vertex(p, i);
        const double du = u(b) - u(a);
        if (std::fabs(du) < geom_eps) {
            if (std::fabs(c - u(a)) < geom_eps) {  // the edge lies on the line
                points = {a, b};
                break;
            }
            continue;
        }
        const double lo = std::fmin(u(a), u(b)), hi = std::fmax(u(a), u(b));
        if (c < lo - geom_eps || c > hi + geom_eps) continue;
        // The end vertex belongs to the next edge.
        if (!(std::fabs(c - u(b)) >= geom_eps)) continue;
        const double dw = w(b) - w(a);
        points.push_back(make(c, std::fabs(dw) < geom_eps ? w(a) : w(a) + (c - u(a)) * dw / du));
    }
    if (points.size() == 2 && w(points[0]) - geom_eps > w(points[1])) std::swap(points[0], points[1]);
    return points;
}

double get_x(const vec2& v) { return v.x; }
double get_y(const vec2& v) { return v.y; }

struct slab {
    nprism_t prism;
    box inner;
    box outer;
};

double signed_area(const std::vector<vec2>& v) {
    double a = 0.0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const vec2& p = v[i];
        const vec2& q = v[next_index(i, v.size())];
        a += p.x * q.y - q.x * p.y;
    }
    return 0.5 * a;
}

// Cuts p across its longer side at every vertex and at pieces - 1 even lines.
std::vector<slab> cut_slabs(const nprism_t& p, uint64_t pieces) {
    double xmin = p.vertex[0].x, xmax = xmin, ymin = p.vertex[0].y, ymax = ymin;
    for (uint64_t i = 1; i < p.n; ++i) {
        xmin = tmin(xmin, p.vertex[i].x);
        xmax = tmax(xmax, p.vertex[i].x);
        ymin = tmin(ymin, p.vertex[i].y);
        ymax = tmax(ymax, p.vertex[i].y);
    }
    const bool along_x = (xmax - xmin) - geom_eps > (ymax - ymin);
    const double lo = along_x ? xmin : ymin;
    const double extent = along_x ? xmax - xmin : ymax - ymin;
    std::set<double> cuts;
    for (uint64_t i = 0; i < p.n; ++i) cuts.insert(along_x ? p.vertex[i].x : p.vertex[i].y);
    if (pieces < 1) pieces = 1;
    for (uint64_t k = 1; k < pieces; ++k) cuts.insert(lo + double(k) * (extent / double(pieces)));

    std::vector<slab> slabs;
    std::vector<vec2> previous;
    bool first = true;
    for (double c : cuts) {
        std::vector<vec2> current = along_x ? prism_cut_x(p, c) : prism_cut_y(p, c);
        if (!first) {
            std::vector<vec2> outline = previous;
            outline.insert(outline.end(), current.rbegin(), current.rend());
            // Cuts across x come out clockwise; keep every outline anticlockwise.
            if (signed_area(outline) < 0) std::reverse(outline.begin(), outline.end());
            if (outline.size() > nprism_max_vertices) {
                sea::end_run(sea::formatted("error (split_block): slab of %lu vertices.\n",
                                            (unsigned long)outline.size()),
                             -1);
            }
            if (outline.size() >= 3) {
                slab s{};
                s.prism.n = outline.size();
                double cx = 0.0, cy = 0.0;
                for (std::size_t k = 0; k < outline.size(); ++k) {
                    const vec2& v = outline[k];
                    s.prism.vertex[k] = v;
                    cx += v.x;
                    cy += v.y;
                }
                cx /= double(outline.size());
                cy /= double(outline.size());
                s.prism.z0 = p.z0;
                s.prism.z1 = p.z1;
                s.inner = {{cx - slab_inner_half_side, cy - slab_inner_half_side, p.z0},
                           {cx + slab_inner_half_side, cy + slab_inner_half_side, p.z1}};
                s.outer = outline_bounds(outline.data(), outline.size(), p.z0, p.z1);
                slabs.push_back(s);
            }
        }
        previous = std::move(current);
        first = false;
    }
    return slabs;
}

}  // namespace

void prism_vertex_count_failure(uint64_t n) {
    sea::end_run(sea::formatted("nprism_t error: vertex number %lu not supported.\n", (unsigned long)n), 1, false);
}

nprism_t expand_prism(const nprism_t& p, double d) {
    if (p.n > expand_max_vertices) {
        sea::end_run(sea::formatted("not supported prism vertex number: %lu\n"
                                    "prism vertex number must be less than or equal to 4.\n",
                                    (unsigned long)p.n),
                     -1, false);
    }
    const uint64_t grown = 2 * p.n;
    if (grown < 3 || grown > nprism_max_vertices) prism_vertex_count_failure(grown);
    nprism_t r{};
    r.n = grown;
    for (uint64_t i = 0; i < p.n; ++i) {
        const vec2& a = p.vertex[i];
        const vec2& b = next_vertex(p, i);
        const vec2 n = edge_normal(a, b);
        const double nx = n.x * d, ny = n.y * d;
        r.vertex[2 * i] = {a.x + nx, a.y + ny};
        r.vertex[2 * i + 1] = {b.x + nx, b.y + ny};
    }
    r.z0 = p.z0 - d;
    r.z1 = p.z1 + d;
    return r;
}

double prism_edge_ratio(const nprism_t& p) {
    double shortest = 0.0, longest_slanted = 0.0;
    for (uint64_t i = 0; i < p.n; ++i) {
        const vec2& a = p.vertex[i];
        const vec2& b = next_vertex(p, i);
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len = std::sqrt(dx * dx + dy * dy);
        if (i == 0 || shortest - geom_eps > len) shortest = len;
        if (std::fabs(dx) >= geom_eps && std::fabs(dy) >= geom_eps && len - geom_eps > longest_slanted)
            longest_slanted = len;
    }
    return longest_slanted / shortest;
}

void box_faces(const box& b, std::vector<surface_element>& out) {
    const vec3 size{b.hi.x - b.lo.x, b.hi.y - b.lo.y, b.hi.z - b.lo.z};
    for (uint64_t f = face_pos_x; f <= face_neg_z; ++f) {
        const int a = int(f % 3);
        vec3 corner = b.lo;
        if (f < 3) axis_of(corner, a) = axis_of(b.hi, a);
        out.push_back(rect_element(corner, axis_of(size, (a + 1) % 3), axis_of(size, (a + 2) % 3), f));
    }
}

void prism_faces(const nprism_t& p, std::vector<surface_element>& out) {
    if (p.n >= 3) {
        for (uint64_t k = 1; k + 1 < p.n; ++k) {
            out.push_back(triangle_element(p.z0, p.vertex[0], p.vertex[k], p.vertex[k + 1], face_neg_z));
            out.push_back(triangle_element(p.z1, p.vertex[0], p.vertex[k], p.vertex[k + 1], face_pos_z));
        }
    }
    const double height = p.z1 - p.z0;
    for (uint64_t i = 0; i < p.n; ++i) {
        const vec2& a = p.vertex[i];
        const vec2& b = next_vertex(p, i);
        const double dx = b.x - a.x, dy = b.y - a.y;
        if (std::fabs(dx) < geom_eps) {
            const uint64_t face = b.y - geom_eps > a.y ? face_pos_x : face_neg_x;
            out.push_back(rect_element({a.x, tmin(a.y, b.y), p.z0}, tabs(dy), height, face));
        } else if (std::fabs(dy) < geom_eps) {
            const uint64_t face = b.x - geom_eps > a.x ? face_neg_y : face_pos_y;
            out.push_back(rect_element({tmin(a.x, b.x), a.y, p.z0}, height, tabs(dx), face));
        } else {
            surface_element e = empty_element(surface_slanted_rect);
            e.data[0].f = a.x;
            e.data[1].f = a.y;
            e.data[2].f = p.z0;
            e.data[3].f = dx;
            e.data[4].f = dy;
            e.data[5].f = height;
            out.push_back(e);
        }
    }
}

std::vector<vec2> prism_cut_x(const nprism_t& p, double c) {
    return prism_cut(p, c, get_x, get_y, [](double u, double w) { return vec2{u, w}; });
}

std::vector<vec2> prism_cut_y(const nprism_t& p, double c) {
    return prism_cut(p, c, get_y, get_x, [](double u, double w) { return vec2{w, u}; });
}

void split_prism_pieces(const nprism_t& p, uint64_t pieces, std::vector<box>& inner,
                        std::vector<box>& outer) {
    for (const slab& s : cut_slabs(p, pieces)) {
        inner.push_back(s.inner);
        outer.push_back(s.outer);
    }
}

void split_block(const nprism_t& p, uint64_t pieces, std::vector<solid>& out) {
    for (const slab& s : cut_slabs(p, pieces)) {
        solid piece;
        piece.kind = solid_prism;
        piece.shape.prism = s.prism;
        piece.inner_box = s.inner;
        piece.outer_box = s.outer;
        piece.inner_boxes.push_back(s.inner);
        piece.outer_boxes.push_back(s.outer);
        out.push_back(std::move(piece));
    }
}

int box_face_of_point(const vec3& p, const box& b) {
    const double gap[6] = {b.lo.x - p.x, b.lo.y - p.y, b.lo.z - p.z,
                           p.x - b.hi.x, p.y - b.hi.y, p.z - b.hi.z};
    // The face of the largest gap: the one the point lies farthest beyond.
    int face = 0;
    for (int k = 1; k < 6; ++k)
        if (gap[k] - geom_eps > gap[face]) face = k;
    return face;
}
