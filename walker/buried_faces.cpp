// Faces of a cut polygon's grown pieces that lie inside a neighbouring grown
// piece, and why they are left out of the surface.
#include "geometry/prism.hpp"
#include "geometry/section_distance.hpp"
#include "walker/gauss_surface.hpp"

namespace {

// Prism pieces a master needs before faces buried in neighbouring grown
// pieces are dropped. Hand-drawn outlines (a fan of at most 12 pieces)
// stay below it.
constexpr std::size_t buried_face_min_prisms = 16;

// Whether the grown solid of other holds piece q: its middle strictly, its
// corners at least on the surface. Grown solids and pieces are convex, so
// then every point of q lies strictly inside but a band of the tolerance's
// width along q's edges, where q meets the surface of other.
bool buries(const gauss_box& other, const box& bounds, const surface_piece& q) {
    const vec3 middle = sample_surface_point(q, 0.5, 0.5);
    if (!box_contains_point(bounds, middle) || !(block_distance(middle, other.solid) < -geom_eps)) return false;
    for (double u : {0.0, 1.0})
        for (double v : {0.0, 1.0})
            if (!(block_distance(sample_surface_point(q, u, v), other.solid) < geom_eps)) return false;
    return true;
}

// Drops the faces of a cut polygon's grown pieces that lie wholly inside a
// neighbouring grown piece. Every point drawn on them would be rejected,
// and a polygon of n vertices cut into bands has about n such faces, so
// without this a start point would cost attempts in proportion to n. The
// surface factor is unchanged: the area falls by what the acceptance rises.
// Only masters of many prism pieces are looked at: the saving grows with
// the count, and the others keep their surfaces, draws and results.
}  // namespace

void drop_buried_pieces(gauss_surface& s) {
    std::size_t prisms = 0;
    for (const gauss_box* b : s.box_list) prisms += b->master->solid.kind == solid_prism ? 1 : 0;
    if (prisms < buried_face_min_prisms) return;
    const gauss_box_grid& g = s.box_grid;
    std::vector<surface_piece> kept;
    kept.reserve(s.pieces.size());
    for (const surface_piece& q : s.pieces) {
        auto buried_by = [&](std::size_t j) {
            const gauss_box& o = *s.box_list[j];
            return j != q.box->index && o.master->solid.kind == solid_prism && buries(o, s.grown_bounds[j], q);
        };
        bool buried = false;
        if (q.box->master->solid.kind == solid_prism && !g.start.empty()) {
            const vec3 c = sample_surface_point(q, 0.0, 0.0);
            buried = g.scan_from(q.box->index, c.x, c.y, s.box_list.size(), buried_by);
        }
        if (!buried) kept.push_back(q);
    }
    s.pieces.swap(kept);
}
