// Cleaning and convex decomposition of the polygons of polygon blocks: the
// public entries and the driver that sends each outline, or each side of a
// cut, to the convex cut or the ring.
#include "geometry/polygon.hpp"

#include <algorithm>
#include <cmath>

#include "geometry/convex_cut.hpp"
#include "geometry/cut_outline.hpp"
#include "geometry/polygon_orientation.hpp"
#include "geometry/polygon_predicates.hpp"

using namespace polygon_detail;

namespace {

std::size_t vertex_count(const poly_record& poly) {
    return std::min<std::size_t>(poly.n, poly.vertex.size());
}

}  // namespace

void remove_repeated_vertices(poly_record& poly) {
    std::vector<vec2> out;
    for (std::size_t k = 0; k < vertex_count(poly); ++k) {
        const vec2& v = poly.vertex[k];
        if (!out.empty() && same_point(out.back(), v))
            out.back() = v;
        else
            out.push_back(v);
    }
    if (out.size() >= 2 && same_point(out.back(), out.front())) out.pop_back();
    poly.vertex = std::move(out);
    poly.n = poly.vertex.size();
}

void delete_duplicate_point(poly_record& poly) {
    const std::size_t n = vertex_count(poly);
    std::vector<vec2> out(poly.vertex.begin(), poly.vertex.begin() + std::min<std::size_t>(n, 2));
    for (std::size_t k = 2; k < n; ++k) {
        const vec2& c = poly.vertex[k];
        const vec2& a = out[out.size() - 2];
        const vec2& b = out.back();
        if (std::fabs(collinearity(a, b, c)) >= geom_eps) {
            out.push_back(c);
        } else if (same_point(b, c)) {
            out.back() = c;
        } else if (std::fabs((c.y - a.y) * (c.x - b.x) - (c.x - a.x) * (c.y - b.y)) < geom_eps) {
            if (!beyond_both(a, b, c))
                fail("error (delete_duplicate_point): invalid poly, point position invalid.");
            out.back() = c;  // b was a straight-through vertex
        } else {
            out.push_back(c);
        }
    }
    if (out.size() >= 3) {
        if (std::fabs(collinearity(out[out.size() - 2], out.back(), out.front())) < geom_eps)
            out.pop_back();
        if (out.size() >= 3 &&
            std::fabs(collinearity(out.back(), out.front(), out[1])) < geom_eps)
            out.erase(out.begin());
    }
    if (out.size() < 3) fail("error (delete_duplicate_point): invalid poly, point less than 3.");
    poly.vertex = std::move(out);
    poly.n = poly.vertex.size();
}

int poly_split_check(const vec2* vertex, uint64_t n) { return find_witnesses(vertex, n, nullptr) ? 1 : 0; }

namespace {

void cut_into_convex(poly_record poly, bool oriented, std::vector<poly_record>& pieces);

}  // namespace

void polygon_detail::cut_side(const poly_record& like, std::vector<vec2> side, std::vector<poly_record>& pieces) {
    poly_record piece = make_piece(like, std::move(side));
    delete_duplicate_point(piece);
    const bool kept = poly_split_check(piece.vertex.data(), piece.n) == 1;
    if (!kept) std::reverse(piece.vertex.begin(), piece.vertex.end());
    cut_into_convex(std::move(piece), kept, pieces);
}

namespace {

// decompose_poly. `oriented`: the orientation test has just passed on these
// very vertices, so it need not run again.
void cut_into_convex(poly_record poly, bool oriented, std::vector<poly_record>& pieces) {
    const std::size_t n = vertex_count(poly);
    std::vector<vec2> v = std::move(poly.vertex);
    v.resize(n);
    if (!oriented && poly_split_check(v.data(), n) == 0) std::reverse(v.begin(), v.end());
    bool convex = true;
    for (std::size_t i = 0; i < n && convex; ++i)
        convex = !reflex_corner(v[prev_index(i, n)], v[i], v[next_index(i, n)]);
    if (convex)
        cut_convex(poly, std::move(v), pieces);
    else
        outline(poly, pieces).cut(std::move(v));
}

}  // namespace

void decompose_poly(const poly_record& poly, std::vector<poly_record>& pieces) {
    cut_into_convex(poly, false, pieces);
}
