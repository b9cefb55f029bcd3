// Cleaning and convex decomposition of the polygons of polygon blocks.
#include "geometry/polygon.hpp"

#include <algorithm>
#include <cmath>

#include "foundation/log_writers.hpp"
#include "geometry/primitives.hpp"

namespace {

constexpr int fatal_status = -1;

[[noreturn]] void fail(const char* message) {
    log_error_w().printf("%s\n", message).flush();
    fatal_exit(fatal_status);
}

// The neighbour before vertex i in a closed outline of n vertices.
std::size_t prev_index(std::size_t i, std::size_t n) { return i == 0 ? n - 1 : i - 1; }

double cross(const vec2& a, const vec2& b) { return a.x * b.y - a.y * b.x; }
vec2 sub(const vec2& a, const vec2& b) { return {a.x - b.x, a.y - b.y}; }
double norm(const vec2& a) { return std::sqrt(a.x * a.x + a.y * a.y); }
vec2 unit(const vec2& a) {
    const double l = norm(a);
    return {a.x / l, a.y / l};
}
double dot(const vec2& a, const vec2& b) { return a.x * b.x + a.y * b.y; }

bool same_point(const vec2& a, const vec2& b) {
    return std::fabs(a.x - b.x) < geom_eps && std::fabs(a.y - b.y) < geom_eps;
}

// Zero when a, b, c are collinear.
double collinearity(const vec2& a, const vec2& b, const vec2& c) {
    return (b.x - c.x) * (b.y - a.y) - (b.x - a.x) * (b.y - c.y);
}

// c lies beyond both a and b along one axis (a straight continuation).
bool beyond_both(const vec2& a, const vec2& b, const vec2& c) {
    return (c.x - geom_eps > a.x && c.x - geom_eps > b.x) ||
           (c.x + geom_eps < a.x && c.x + geom_eps < b.x) ||
           (c.y - geom_eps > a.y && c.y - geom_eps > b.y) ||
           (c.y + geom_eps < a.y && c.y + geom_eps < b.y);
}

std::size_t vertex_count(const poly_record& poly) {
    return std::min<std::size_t>(poly.n, poly.vertex.size());
}

// -1, 0 or 1: the side of line a-b on which p lies.
int side_of(const vec2& a, const vec2& b, const vec2& p) {
    const double c = cross(sub(b, a), sub(p, a));
    if (std::fabs(c) < geom_eps) return 0;
    return c > 0 ? 1 : -1;
}

bool in_widened_bounds(const vec2& a, const vec2& b, const vec2& p) {
    return p.x > std::min(a.x, b.x) - geom_eps && p.x < std::max(a.x, b.x) + geom_eps &&
           p.y > std::min(a.y, b.y) - geom_eps && p.y < std::max(a.y, b.y) + geom_eps;
}

bool segments_cross(const vec2& p1, const vec2& p2, const vec2& q1, const vec2& q2) {
    const int sq1 = side_of(p1, p2, q1), sq2 = side_of(p1, p2, q2);
    const int sp1 = side_of(q1, q2, p1), sp2 = side_of(q1, q2, p2);
    if (sq1 != sq2 && sp1 != sp2) return true;
    return (sq1 == 0 && in_widened_bounds(p1, p2, q1)) ||
           (sq2 == 0 && in_widened_bounds(p1, p2, q2)) ||
           (sp1 == 0 && in_widened_bounds(q1, q2, p1)) ||
           (sp2 == 0 && in_widened_bounds(q1, q2, p2));
}

// Whether the segment v[i]-v[j] is a usable cut of the outline.
bool valid_diagonal(const std::vector<vec2>& v, std::size_t i, std::size_t j,
                    const vec2& bisector) {
    const std::size_t n = v.size();
    const vec2& a = v[i];
    const vec2& b = v[j];
    if (j == i || !(dot(bisector, unit(sub(b, a))) >= -geom_eps)) return false;
    for (std::size_t k = 0; k < n; ++k) {
        const vec2& p = v[k];
        if (same_point(p, a) || same_point(p, b)) continue;
        if (std::fabs(cross(sub(b, a), sub(p, a))) < geom_eps && in_widened_bounds(a, b, p))
            return false;
    }
    for (std::size_t k = 0; k < n; ++k) {
        const vec2& q1 = v[k];
        const vec2& q2 = v[next_index(k, n)];
        if (same_point(q1, a) || same_point(q1, b) || same_point(q2, a) || same_point(q2, b))
            continue;
        if (segments_cross(a, b, q1, q2)) return false;
    }
    return true;
}

poly_record make_piece(const poly_record& like, std::vector<vec2> vertex) {
    poly_record piece;
    piece.n = vertex.size();
    piece.vertex = std::move(vertex);
    piece.z0 = like.z0;
    piece.z1 = like.z1;
    return piece;
}

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

struct rectangle {
    double lo_x, hi_x, lo_y, hi_y;
};

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

// The vertices lowest and highest along x, y, x + y and x - y: the hull's
// corners in eight directions.
std::vector<uint64_t> extreme_vertices(const vec2* vertex, uint64_t n) {
    const vec2 directions[4] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    std::vector<uint64_t> out(8, 0);
    for (uint64_t k = 1; k < n; ++k)
        for (std::size_t d = 0; d < 4; ++d) {
            const double along = dot(vertex[k], directions[d]);
            if (along < dot(vertex[out[2 * d]], directions[d])) out[2 * d] = k;
            if (along > dot(vertex[out[2 * d + 1]], directions[d])) out[2 * d + 1] = k;
        }
    if (n == 0) out.clear();
    return out;
}

// Indices of the convex hull's vertices (Andrew's monotone chain), in no
// particular order; points on a hull side are left out.
std::vector<uint64_t> convex_hull(const vec2* vertex, uint64_t n) {
    std::vector<uint64_t> order(n);
    for (uint64_t k = 0; k < n; ++k) order[k] = k;
    if (n < 3) return order;
    std::sort(order.begin(), order.end(), [vertex](uint64_t a, uint64_t b) {
        return vertex[a].x < vertex[b].x || (vertex[a].x == vertex[b].x && vertex[a].y < vertex[b].y);
    });
    std::vector<uint64_t> hull(2 * n + 1);
    std::size_t size = 0;
    auto turns_left = [&](uint64_t a, uint64_t b, uint64_t c) {
        return cross(sub(vertex[b], vertex[a]), sub(vertex[c], vertex[a])) > 0;
    };
    for (uint64_t k : order) {  // lower hull
        while (size >= 2 && !turns_left(hull[size - 2], hull[size - 1], k)) --size;
        hull[size++] = k;
    }
    for (std::size_t t = n - 1, lower = size + 1; t-- > 0;) {  // upper hull
        const uint64_t k = order[t];
        while (size >= lower && !turns_left(hull[size - 2], hull[size - 1], k)) --size;
        hull[size++] = k;
    }
    hull.resize(size > 1 ? size - 1 : size);
    return hull;
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

int poly_split_check(const vec2* vertex, uint64_t n) {
    // Whether some vertex lies ahead of a right turn does not depend on the
    // order of the search, so the likely ones are tried first: the vertices
    // found for the last few right turns (the corners of an outline's many
    // alike turns see the same far vertices), the outline's extremes along
    // the axes and diagonals, then its farthest vertex along the bisector.
    // The full search is left for the rare turn that none of them answers.
    constexpr std::size_t remembered = 4;
    uint64_t recent[remembered] = {n, n, n, n};
    std::size_t next_slot = 0;
    const std::vector<uint64_t> extremes = extreme_vertices(vertex, n);
    std::vector<uint64_t> hull;
    bool hull_built = false;
    for (uint64_t i = 0; i < n; ++i) {
        const vec2& p = vertex[i];
        const uint64_t qi = next_index(i, n), ri = next_index(qi, n);
        const vec2& q = vertex[qi];
        const vec2& r = vertex[ri];
        const double turn = (r.y - q.y) * (q.x - p.x) - (r.x - q.x) * (q.y - p.y);
        if (!(turn < -geom_eps)) continue;
        const vec2 qp = unit(sub(q, p));
        const vec2 qr = unit(sub(q, r));
        const vec2 bisector = unit({qp.x + qr.x, qp.y + qr.y});
        auto ahead = [&](uint64_t k) {
            return k < n && k != i && k != qi && k != ri && dot(unit(sub(vertex[k], q)), bisector) - geom_eps > 0;
        };
        if (std::any_of(recent, recent + remembered, ahead)) continue;
        auto found = std::find_if(extremes.begin(), extremes.end(), ahead);
        if (found != extremes.end()) {
            recent[next_slot] = *found;
            next_slot = (next_slot + 1) % remembered;
            continue;
        }
        if (!hull_built) {
            hull = convex_hull(vertex, n);
            hull_built = true;
        }
        uint64_t k = n;
        for (uint64_t h : hull)
            if (k == n || dot(vertex[h], bisector) > dot(vertex[k], bisector)) k = h;
        if (!ahead(k)) {
            k = 0;
            while (k < n && !ahead(k)) ++k;
            if (k == n) return 0;
        }
        recent[next_slot] = k;
        next_slot = (next_slot + 1) % remembered;
    }
    return 1;
}

namespace {

// The cut of decompose_poly. `oriented`: the orientation test has just
// passed on these very vertices, so it need not run again; on an outline
// of many reflex corners the test is most of the work of each cut.
void cut_into_convex(poly_record poly, bool oriented, std::vector<poly_record>& pieces) {
    const std::size_t n = vertex_count(poly);
    std::vector<vec2> v = std::move(poly.vertex);
    v.resize(n);
    if (!oriented && poly_split_check(v.data(), n) == 0) std::reverse(v.begin(), v.end());

    std::size_t i = 0;
    for (; i < n; ++i) {
        const vec2& prev = v[prev_index(i, n)];
        const vec2& next = v[next_index(i, n)];
        if (cross(sub(v[i], prev), sub(next, v[i])) < -geom_eps) break;
    }

    if (i == n) {  // convex
        if (n < 5) {
            pieces.push_back(make_piece(poly, std::move(v)));
            return;
        }
        if (n >= min_band_vertices) {
            std::vector<vec2> turns = turning_vertices(v);
            if (turns.size() >= min_band_vertices) {
                cut_into_bands(poly, turns, pieces);
                return;
            }
        }
        poly_record quad = make_piece(poly, {v[0], v[1], v[2], v[3]});
        orient(quad);
        pieces.push_back(std::move(quad));
        for (std::size_t k = 4; k < n; ++k) {
            poly_record tri = make_piece(poly, {v[0], v[k - 1], v[k]});
            orient(tri);
            pieces.push_back(std::move(tri));
        }
        return;
    }

    // The bisector of a reflex vertex points into the polygon.
    const vec2 a = unit(sub(v[i], v[prev_index(i, n)]));
    const vec2 b = unit(sub(v[i], v[next_index(i, n)]));
    const vec2 bisector = unit({a.x + b.x, a.y + b.y});
    std::size_t j = 0;
    while (j < n && !valid_diagonal(v, i, j, bisector)) ++j;
    if (j == n) j = 0;

    // A cut to a neighbour (also across the wrap) would give a piece no
    // smaller than the polygon and recurse for ever.
    const bool neighbour = j + 1 == i || j == i || j == i + 1 || (i == n - 1 && j == 0) ||
                           (i == 0 && j == n - 1);
    if (neighbour) fail("error: input poly not valid(may have same vertexs).");

    std::vector<vec2> first, second;
    for (std::size_t k = j;; k = next_index(k, n)) {
        first.push_back(v[k]);
        if (k == i) break;
    }
    for (std::size_t k = i;; k = next_index(k, n)) {
        second.push_back(v[k]);
        if (k == j) break;
    }
    // Held through the recursion, the outline of every level would add up
    // to the square of the vertex count for an outline cut corner by corner.
    std::vector<vec2>().swap(v);
    for (std::vector<vec2>* part : {&first, &second}) {
        poly_record piece = make_piece(poly, std::move(*part));
        delete_duplicate_point(piece);
        const bool kept = poly_split_check(piece.vertex.data(), piece.n) == 1;
        if (!kept) std::reverse(piece.vertex.begin(), piece.vertex.end());
        cut_into_convex(std::move(piece), kept, pieces);
    }
}

}  // namespace

void decompose_poly(const poly_record& poly, std::vector<poly_record>& pieces) {
    cut_into_convex(poly, false, pieces);
}
