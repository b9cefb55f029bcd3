// Band and fan cutting of convex outlines.
#include "geometry/convex_cut.hpp"

#include <algorithm>

#include "geometry/polygon_predicates.hpp"

namespace polygon_detail {

poly_record make_piece(const poly_record& like, std::vector<vec2> vertex) {
    poly_record piece;
    piece.n = vertex.size();
    piece.vertex = std::move(vertex);
    piece.z0 = like.z0;
    piece.z1 = like.z1;
    return piece;
}

rectangle bounds(const std::vector<vec2>& v) {
    rectangle r{v[0].x, v[0].x, v[0].y, v[0].y};
    for (const vec2& p : v) {
        r.lo_x = std::min(r.lo_x, p.x);
        r.hi_x = std::max(r.hi_x, p.x);
        r.lo_y = std::min(r.lo_y, p.y);
        r.hi_y = std::max(r.hi_y, p.y);
    }
    return r;
}

namespace {

void orient(poly_record& piece) {
    if (poly_split_check(piece.vertex.data(), piece.n) == 0)
        std::reverse(piece.vertex.begin(), piece.vertex.end());
}

// From this many vertices on, a convex outline is cut into bands instead of
// a fan from its first vertex. Every fan piece holds the first vertex, so
// the grown pieces of a large fan all overlap there, and the nearest-block
// and start-point searches meet nearly all of them wherever they look.
constexpr std::size_t min_band_vertices = 16;

void push_oriented(const poly_record& like, std::vector<vec2> vertex, std::vector<poly_record>& pieces) {
    poly_record piece = make_piece(like, std::move(vertex));
    orient(piece);
    pieces.push_back(std::move(piece));
}

// The thinner side of the bounding rectangle. The smallest of these over a
// layout's blocks sets its wire width, the length scale of the Gaussian
// offsets, so a cut must not make it needlessly small.
double thin_side(const std::vector<vec2>& v) {
    const rectangle r = bounds(v);
    return std::min(r.hi_x - r.lo_x, r.hi_y - r.lo_y);
}

// The vertices of a convex outline without those on a straight run, where
// the turn's sine is below 1e-9: a band between two chains that meet on a
// straight side would have no area. The tolerance is relative, as the turns
// of a finely drawn curve are smaller than any fixed length tolerance.
std::vector<vec2> turning_vertices(const std::vector<vec2>& v) {
    const std::size_t n = v.size();
    std::vector<vec2> out;
    for (std::size_t k = 0; k < n; ++k) {
        const vec2 in = sub(v[k], v[prev_index(k, n)]);
        const vec2 on = sub(v[next_index(k, n)], v[k]);
        if (cross(in, on) > 1e-9 * norm(in) * norm(on)) out.push_back(v[k]);
    }
    return out;
}

// Cuts a convex anticlockwise outline of five or more vertices into bands
// between chords across the longer side of its bounding rectangle, swept
// from the vertex lowest along that side to the far end. Two chains leave
// the start, one each way round, and each band joins their next vertices,
// so no vertex lies in more than three pieces and the bands' bounding
// rectangles are thin along the sweep. The tip at each end is a piece of
// four neighbouring vertices rather than a sliver of three, which would be
// far thinner than any fan piece.
void cut_into_bands(const poly_record& like, const std::vector<vec2>& v, std::vector<poly_record>& pieces) {
    const std::size_t n = v.size();
    auto fwd = [n](std::size_t k, std::size_t steps) { return (k + steps) % n; };
    auto back = [n](std::size_t k, std::size_t steps) { return (k + n - steps) % n; };
    auto run = [&](std::size_t from, std::size_t count) {
        std::vector<vec2> out;
        for (std::size_t k = 0; k < count; ++k)
            out.push_back(v[fwd(from, k)]);
        return out;
    };
    const rectangle r = bounds(v);
    const bool along_x = r.hi_x - r.lo_x >= r.hi_y - r.lo_y;
    auto along = [&](std::size_t k) { return along_x ? v[k].x : v[k].y; };
    std::size_t start = 0;
    for (std::size_t k = 1; k < n; ++k)
        if (along(k) < along(start)) start = k;

    // The chord runs from `ahead` (reached anticlockwise from the start) to
    // `behind` (reached clockwise); `left` vertices lie beyond it.
    const bool two_ahead = thin_side(run(back(start, 1), 4)) >= thin_side(run(back(start, 2), 4));
    std::size_t ahead = fwd(start, two_ahead ? 2 : 1);
    std::size_t behind = back(start, two_ahead ? 1 : 2);
    std::size_t left = n - 4;
    push_oriented(like, run(back(ahead, 3), 4), pieces);
    for (; left > 3; left -= 2) {
        push_oriented(like, {v[ahead], v[fwd(ahead, 1)], v[back(behind, 1)], v[behind]}, pieces);
        ahead = fwd(ahead, 1);
        behind = back(behind, 1);
    }
    if (left < 3) {  // the remaining vertices close the outline
        push_oriented(like, run(ahead, left + 2), pieces);
        return;
    }
    // Five vertices round the far end: of the five ways to cut them into a
    // triangle and a quadrilateral, the one whose thinner piece is thickest.
    const std::vector<vec2> end = run(ahead, 5);
    auto at = [&](std::size_t k) { return end[k % 5]; };
    std::size_t best = 0;
    double best_side = -1.0;
    for (std::size_t e = 0; e < 5; ++e) {
        const double side = std::min(thin_side({at(e + 4), at(e), at(e + 1)}),
                                     thin_side({at(e + 1), at(e + 2), at(e + 3), at(e + 4)}));
        if (side > best_side) {
            best = e;
            best_side = side;
        }
    }
    push_oriented(like, {at(best + 4), at(best), at(best + 1)}, pieces);
    push_oriented(like, {at(best + 1), at(best + 2), at(best + 3), at(best + 4)}, pieces);
}

}  // namespace

// A convex anticlockwise outline into pieces of three or four vertices.
void cut_convex(const poly_record& like, std::vector<vec2> v, std::vector<poly_record>& pieces) {
    const std::size_t n = v.size();
    if (n < 5) {
        pieces.push_back(make_piece(like, std::move(v)));
        return;
    }
    if (n >= min_band_vertices) {
        std::vector<vec2> turns = turning_vertices(v);
        if (turns.size() >= min_band_vertices) {
            cut_into_bands(like, turns, pieces);
            return;
        }
    }
    push_oriented(like, {v[0], v[1], v[2], v[3]}, pieces);
    for (std::size_t k = 4; k < n; ++k)
        push_oriented(like, {v[0], v[k - 1], v[k]}, pieces);
}


}  // namespace polygon_detail
