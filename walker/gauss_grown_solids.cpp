// The grown solids of a master's blocks and the pieces of their surfaces.
#include <cmath>

#include "geometry/prism.hpp"
#include "geometry/primitives.hpp"
#include "walker/gauss_surface.hpp"

namespace {

int32_t round_half_away(double v) { return int32_t(std::lround(v)); }

// Wraps a face of the grown solid; slanted sides get their scaled normal.
surface_piece piece_of(const surface_element& e, gauss_box* owner) {
    surface_piece p{};
    static_cast<surface_element&>(p) = e;
    p.box = owner;
    switch (e.shape) {
    case surface_rect: p.face = e.data[5].u; break;
    case surface_triangle: p.face = e.data[7].u; break;
    default: {
        // The scale is a power of two: scaling the unit normal is exact.
        const vec2 n = edge_normal(e.data[3].f, e.data[4].f);
        p.value = {round_half_away(slant_normal_scale * n.x), round_half_away(slant_normal_scale * n.y)};
        p.face = face_slanted;
        break;
    }
    }
    return p;
}

int sign_of(double v) { return std::fabs(v) < geom_eps ? 0 : (v > 0 ? 1 : -1); }

struct offset2 {
    int x, y;
    bool operator==(const offset2& o) const { return x == o.x && y == o.y; }
    bool operator!=(const offset2& o) const { return !(*this == o); }
};

// The polygon grown by the square of half side d (its L-infinity offset):
// each edge moves out by d and every convex corner gains the square's corner.
uint64_t grow_outline(const nprism_t& p, double d, vec2* out, uint64_t capacity) {
    const uint64_t n = p.n;
    std::vector<offset2> start(n), end(n);
    for (uint64_t i = 0; i < n; ++i) {
        const vec2& a = p.vertex[i];
        const vec2& b = next_vertex(p, i);
        const int sx = sign_of(b.x - a.x);
        const int sy = sign_of(b.y - a.y);
        if (sx != 0 && sy != 0) {
            start[i] = end[i] = {sy, -sx};
        } else {
            start[i] = {sy - sx, -sx - sy};
            end[i] = {sy + sx, sy - sx};
        }
    }
    uint64_t m = 0;
    auto emit = [&](double x, double y) {
        if (m < capacity) out[m] = {x, y};
        ++m;
    };
    for (uint64_t i = 0; i < n; ++i) {
        const vec2& v = p.vertex[i];
        const offset2 pp = end[i == 0 ? n - 1 : i - 1];
        const offset2 q = start[i];
        emit(v.x + pp.x * d, v.y + pp.y * d);
        if (q != pp) {
            if (pp.x + q.x == 0 && pp.y + q.y == 0) emit(v.x - pp.y * d, v.y + pp.x * d);
            emit(v.x + q.x * d, v.y + q.y * d);
        }
    }
    return m;
}

// Appends the grown solid of b and the pieces of its faces.
void append_gauss_box(gauss_surface& s, const block& b, double d, solid grown_solid,
                      const std::vector<surface_element>& faces) {
    s.boxes.emplace_back();
    gauss_box& gb = s.boxes.back();
    gb.solid = std::move(grown_solid);
    gb.offset = d;
    gb.master = &b;
    gb.slant_pieces.max_load_factor(1.0f);
    for (const surface_element& e : faces) s.pieces.push_back(piece_of(e, &gb));
}

}  // namespace

// Appends part (the master block or a tile of it) grown by d.
void append_grown_box(gauss_surface& s, const block& b, const box& part, double d) {
    const box g = grow_box(part, d);
    std::vector<surface_element> faces;
    box_faces(g, faces);
    append_gauss_box(s, b, d, make_box_solid(g), faces);
}

void make_box_gauss_surface(gauss_surface& s, const block& b, double d) {
    append_grown_box(s, b, b.solid.outer_box, d);
}

void make_prism_gauss_surface(gauss_surface& s, const block& b, double d) {
    const nprism_t& prism = b.solid.shape.prism;
    vec2 points[nprism_max_vertices];
    const uint64_t m = prism.n == 0 ? 0 : grow_outline(prism, d, points, nprism_max_vertices);
    if (m < 3 || m > nprism_max_vertices) prism_vertex_count_failure(m);

    nprism_t g{};
    g.n = m;
    for (uint64_t i = 0; i < m; ++i) g.vertex[i] = points[i];
    g.z0 = prism.z0 - d;
    g.z1 = prism.z1 + d;
    // Fan triangles of both caps, then one side per edge.
    std::vector<surface_element> faces;
    prism_faces(g, faces);
    append_gauss_box(s, b, d, make_nprism_solid(g), faces);
}
