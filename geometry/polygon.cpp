// Cleaning and convex decomposition of the polygons of polygon blocks.
#include "geometry/polygon.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>

#include "foundation/run_end.hpp"
#include "geometry/primitives.hpp"

namespace {

constexpr int fatal_status = -1;

[[noreturn]] void fail(const char* message) {
    sea::end_run(std::string(message) + "\n", fatal_status);
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

namespace {

// A right turn at q, going from p through q to r.
bool right_turn(const vec2& p, const vec2& q, const vec2& r) {
    return (r.y - q.y) * (q.x - p.x) - (r.x - q.x) * (q.y - p.y) < -geom_eps;
}

// The bisector of the corner at q between its neighbours p and r; at a
// reflex corner of an anticlockwise outline it points into the polygon.
vec2 turn_bisector(const vec2& p, const vec2& q, const vec2& r) {
    const vec2 qp = unit(sub(q, p));
    const vec2 qr = unit(sub(q, r));
    return unit({qp.x + qr.x, qp.y + qr.y});
}

bool ahead_of_turn(const vec2& q, const vec2& bisector, const vec2& k) {
    return dot(unit(sub(k, q)), bisector) - geom_eps > 0;
}

// The orientation test, answering for each right turn which vertex lies
// ahead of it: with `witness`, its entry for each vertex q at a right turn
// is the vertex found (n when there is none), n for any other vertex, and
// the search goes on past a right turn that has none.
bool find_witnesses(const vec2* vertex, uint64_t n, std::vector<uint64_t>* witness) {
    // Whether some vertex lies ahead of a right turn does not depend on the
    // order of the search, so the likely ones are tried first: the vertices
    // found for the last few right turns (the corners of an outline's many
    // alike turns see the same far vertices), the outline's extremes along
    // the axes and diagonals, then its farthest vertex along the bisector.
    // The full search is left for the rare turn that none of them answers.
    constexpr std::size_t remembered = 4;
    uint64_t recent[remembered] = {n, n, n, n};
    std::size_t next_slot = 0;
    if (witness) witness->assign(n, n);
    const std::vector<uint64_t> extremes = extreme_vertices(vertex, n);
    std::vector<uint64_t> hull;
    bool hull_built = false;
    bool all_found = true;
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t qi = next_index(i, n), ri = next_index(qi, n);
        const vec2& q = vertex[qi];
        if (!right_turn(vertex[i], q, vertex[ri])) continue;
        const vec2 bisector = turn_bisector(vertex[i], q, vertex[ri]);
        auto ahead = [&](uint64_t k) {
            return k < n && k != i && k != qi && k != ri && ahead_of_turn(q, bisector, vertex[k]);
        };
        uint64_t k = n;
        if (const uint64_t* seen = std::find_if(recent, recent + remembered, ahead); seen != recent + remembered) {
            k = *seen;
        } else if (auto found = std::find_if(extremes.begin(), extremes.end(), ahead); found != extremes.end()) {
            k = *found;
        } else {
            if (!hull_built) {
                hull = convex_hull(vertex, n);
                hull_built = true;
            }
            for (uint64_t h : hull)
                if (k == n || dot(vertex[h], bisector) > dot(vertex[k], bisector)) k = h;
            if (!ahead(k)) {
                k = 0;
                while (k < n && !ahead(k)) ++k;
            }
        }
        if (k == n) {
            if (!witness) return false;
            all_found = false;
            continue;
        }
        if (witness) (*witness)[qi] = k;
        if (std::find(recent, recent + remembered, k) == recent + remembered) {
            recent[next_slot] = k;
            next_slot = (next_slot + 1) % remembered;
        }
    }
    return all_found;
}

}  // namespace

int poly_split_check(const vec2* vertex, uint64_t n) { return find_witnesses(vertex, n, nullptr) ? 1 : 0; }

namespace {

bool reflex_corner(const vec2& prev, const vec2& v, const vec2& next) {
    return cross(sub(v, prev), sub(next, v)) < -geom_eps;
}

// Whether p, a vertex other than the cut's ends, lies on the cut a-b.
bool blocks_cut(const vec2& a, const vec2& b, const vec2& p) {
    if (same_point(p, a) || same_point(p, b)) return false;
    return std::fabs(cross(sub(b, a), sub(p, a))) < geom_eps && in_widened_bounds(a, b, p);
}

// Whether the edge q1-q2, unless it shares an end with the cut a-b, crosses it.
bool blocks_cut(const vec2& a, const vec2& b, const vec2& q1, const vec2& q2) {
    if (same_point(q1, a) || same_point(q1, b) || same_point(q2, a) || same_point(q2, b)) return false;
    return segments_cross(a, b, q1, q2);
}

// Whether the cleaning pass of delete_duplicate_point keeps b, met between
// a and c in the middle of an outline, as it is.
bool cleaning_keeps(const vec2& a, const vec2& b, const vec2& c) {
    if (std::fabs(collinearity(a, b, c)) >= geom_eps) return true;
    return !same_point(b, c) && !(std::fabs((c.y - a.y) * (c.x - b.x) - (c.x - a.x) * (c.y - b.y)) < geom_eps);
}

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

void cut_into_convex(poly_record poly, bool oriented, std::vector<poly_record>& pieces);

// One side of a cut, as every cut treats it: cleaned, turned anticlockwise
// when the orientation test fails, then cut on.
void cut_side(const poly_record& like, std::vector<vec2> side, std::vector<poly_record>& pieces) {
    poly_record piece = make_piece(like, std::move(side));
    delete_duplicate_point(piece);
    const bool kept = poly_split_check(piece.vertex.data(), piece.n) == 1;
    if (!kept) std::reverse(piece.vertex.begin(), piece.vertex.end());
    cut_into_convex(std::move(piece), kept, pieces);
}

// An outline being cut at its reflex corners, with what each cut needs at
// hand, so that a cut costs about what it removes rather than what is left.
//
// The outline is a ring of vertices linked both ways; a vertex's id is its
// place in the list the ring was built from, and the ring keeps that cyclic
// order, so the vertex order from `start` is the order of ids from it. Each
// cut keeps its larger side in the ring and copies the smaller one out, so
// every vertex is copied about log n times. Kept up to date with the ring:
// - the reflex corners, by id, for the first one from the start;
// - the vertices that the cleaning pass would not keep as they are, for the
//   pass over the kept side is then known to change nothing but its ends;
// - for each right turn a vertex ahead of it (its witness), so that the
//   orientation test of the kept side need only look again where a corner
//   changed or a witness left;
// - for the crossing tests of a candidate cut, the long edges exactly along
//   x or y in order of their height (abscissa), and the other edges and all
//   vertices in a quadtree of cells that counts the live ones in and below
//   each cell, so that a search passes over empty ground at once.
class outline {
public:
    outline(const poly_record& like, std::vector<poly_record>& pieces) : like_(like), pieces_(pieces) {}

    // Cuts v, which the orientation test has passed or turned, as
    // cut_into_convex would.
    void cut(std::vector<vec2> v);

private:
    static constexpr uint32_t none = UINT32_MAX;

    // Edges exactly along x and at least `edge_length_` long, the same
    // along y, those shorter, the other short ones, then the other long
    // ones by their direction, of `directions` sectors of a half turn.
    static constexpr uint32_t directions = 16;
    enum edge_kind : uint32_t { along_x, along_y, short_along_x, short_along_y, short_slanted, slanted,
                                edge_kinds = slanted + directions };
    // Bit k: edges of kind k; bit `edge_kinds`: vertices.
    using kind_set = uint32_t;
    static constexpr kind_set all_kinds = (kind_set{2} << edge_kinds) - 1;
    static constexpr kind_set bit(uint32_t kind) { return kind_set{1} << kind; }
    struct edge_ref {
        uint32_t from, to, kind;
    };
    // Entries that die stay listed until a search meets them; the counts
    // are of live entries, here and in the cells below.
    struct cell {
        std::vector<uint32_t> vertex;
        std::vector<edge_ref> edge;
        uint32_t live[edge_kinds + 1] = {};
        kind_set live_kinds = 0;  // the kinds with a live count
        uint64_t searched = 0;    // the last cut test that searched it in full
    };
    // Level 0 has cells of `size_`; each level above has cells twice as
    // wide, up to one cell over the whole outline.
    struct level {
        std::size_t columns, rows;
        std::vector<cell> cells;
    };
    // Where a vertex's outgoing edge is listed: by its height (abscissa),
    // or in the cells of one level along it.
    struct edge_home {
        uint32_t kind = short_slanted;
        bool by_key = false, in_cells = false;
        double key = 0;
        uint32_t to = 0;
        std::size_t level = 0;
    };

    void build(std::vector<vec2> v);
    std::vector<vec2> vertices_from(uint32_t from, uint32_t to) const;
    std::vector<vec2> vertices() const { return vertices_from(start_, prev_[start_]); }
    void link(uint32_t a, uint32_t b);
    void remove(uint32_t u);
    void update_corner(uint32_t u);
    void add_edge(uint32_t from);
    void set_witness(uint32_t u, uint32_t k);
    bool find_witness(uint32_t u);
    bool witnesses_found();
    void clean_and_orient();
    void rebuild_turned(std::vector<vec2> v);
    bool usable_cut(uint32_t i, uint32_t j, const vec2& bisector);
    bool near_cell_clear(cell& c, const vec2& a, const vec2& b);
    bool edges_clear(cell& c, const vec2& a, const vec2& b, kind_set kinds);
    bool axis_edges_clear(uint32_t kind, double lo, double hi, const vec2& a, const vec2& b) const;

    std::size_t column(double x) const;
    std::size_t row(double y) const;
    cell& cell_at(std::size_t l, std::size_t c, std::size_t r) { return levels_[l].cells[r * levels_[l].columns + c]; }
    void count(std::size_t l, std::size_t c, std::size_t r, std::size_t kind, int change);
    void drop_edge(uint32_t from);
    double edge_reach(const vec2& a, const vec2& b) const;
    template <class F>
    void cells_along(std::size_t l, const vec2& a, const vec2& b, double reach, const F& visit) const;
    template <class Meets, class Visit>
    bool search(std::size_t l, std::size_t c, std::size_t r, kind_set kinds, const Meets& meets, const Visit& visit);

    const poly_record& like_;
    std::vector<poly_record>& pieces_;

    std::vector<vec2> at_;
    std::vector<uint32_t> next_, prev_;
    std::vector<char> alive_;
    std::vector<char> right_turn_;
    std::vector<uint32_t> witness_;
    std::vector<std::vector<uint32_t>> witness_of_;  // the turns a vertex is witness to
    std::set<uint32_t> reflex_;
    std::set<uint32_t> unclean_;
    std::vector<uint32_t> to_search_;
    uint32_t recent_[4] = {none, none, none, none};
    std::size_t recent_slot_ = 0;
    std::vector<uint32_t> extremes_;
    uint32_t start_ = 0;
    std::size_t count_ = 0;

    double x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0, size_ = 1, extent_ = 0, slack_ = 0;
    double margin_ = 0;  // how near a cut an edge is searched in full
    double edge_length_ = 0, long_edge_ = 0;
    std::size_t columns_ = 1, rows_ = 1;
    std::set<std::pair<double, uint32_t>> axis_edges_[2];
    std::vector<level> levels_;
    std::vector<std::size_t> vertex_column_, vertex_row_;
    std::vector<edge_home> edge_home_;
    uint64_t cut_tests_ = 0;
};

std::size_t outline::column(double x) const {
    const double c = std::floor((x - x0_) / size_);
    return c <= 0 ? 0 : c >= static_cast<double>(columns_ - 1) ? columns_ - 1 : static_cast<std::size_t>(c);
}

std::size_t outline::row(double y) const {
    const double r = std::floor((y - y0_) / size_);
    return r <= 0 ? 0 : r >= static_cast<double>(rows_ - 1) ? rows_ - 1 : static_cast<std::size_t>(r);
}

void outline::build(std::vector<vec2> v) {
    const std::size_t n = v.size();
    at_ = std::move(v);
    next_.resize(n);
    prev_.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        next_[k] = static_cast<uint32_t>(next_index(k, n));
        prev_[k] = static_cast<uint32_t>(prev_index(k, n));
    }
    alive_.assign(n, 1);
    right_turn_.assign(n, 0);
    witness_.assign(n, none);
    witness_of_.assign(n, {});
    reflex_.clear();
    unclean_.clear();
    to_search_.clear();
    std::fill(std::begin(recent_), std::end(recent_), none);
    start_ = 0;
    count_ = n;
    extremes_.clear();
    for (uint64_t k : extreme_vertices(at_.data(), n)) extremes_.push_back(static_cast<uint32_t>(k));

    std::vector<uint64_t> witness;
    find_witnesses(at_.data(), n, &witness);
    for (uint32_t u = 0; u < n; ++u) {
        update_corner(u);
        if (right_turn_[u] && witness[u] < n) set_witness(u, static_cast<uint32_t>(witness[u]));
    }

    // About one cell per vertex, none thinner than the cleaning tolerance.
    const rectangle r = bounds(at_);
    const double w = r.hi_x - r.lo_x, h = r.hi_y - r.lo_y;
    extent_ = std::max(w, h);
    size_ = std::max({std::sqrt(w * h / static_cast<double>(n)), extent_ / static_cast<double>(n), 1e-8});
    x0_ = r.lo_x;
    y0_ = r.lo_y;
    x1_ = r.hi_x;
    y1_ = r.hi_y;
    slack_ = 1e-9 * (1 + extent_ + std::fabs(x0_) + std::fabs(y0_));
    margin_ = size_ / 16;
    edge_length_ = 1e-8 / margin_;
    long_edge_ = std::max(4 * size_, edge_length_);
    axis_edges_[along_x].clear();
    axis_edges_[along_y].clear();
    columns_ = static_cast<std::size_t>(w / size_) + 1;
    rows_ = static_cast<std::size_t>(h / size_) + 1;
    levels_.clear();
    for (std::size_t c = columns_, r = rows_;; c = (c + 1) / 2, r = (r + 1) / 2) {
        levels_.push_back({c, r, std::vector<cell>(c * r)});
        if (c == 1 && r == 1) break;
    }
    vertex_column_.resize(n);
    vertex_row_.resize(n);
    edge_home_.assign(n, {});
    for (uint32_t u = 0; u < n; ++u) {
        vertex_column_[u] = column(at_[u].x);
        vertex_row_[u] = row(at_[u].y);
        cell_at(0, vertex_column_[u], vertex_row_[u]).vertex.push_back(u);
        count(0, vertex_column_[u], vertex_row_[u], edge_kinds, 1);
        add_edge(u);
    }
}

// Kind `edge_kinds` counts vertices.
void outline::count(std::size_t l, std::size_t c, std::size_t r, std::size_t kind, int change) {
    for (; l < levels_.size(); ++l, c /= 2, r /= 2) {
        cell& k = cell_at(l, c, r);
        k.live[kind] += change;
        if (k.live[kind] == 0)
            k.live_kinds &= ~bit(kind);
        else
            k.live_kinds |= bit(kind);
    }
}

void outline::drop_edge(uint32_t from) {
    edge_home& home = edge_home_[from];
    if (home.by_key) axis_edges_[home.kind].erase({home.key, from});
    if (home.in_cells)
        cells_along(home.level, at_[from], at_[home.to], edge_reach(at_[from], at_[home.to]),
                    [&](std::size_t c, std::size_t r) { count(home.level, c, r, home.kind, -1); });
    home.by_key = false;
    home.in_cells = false;
}

// The reach of an edge's own tolerance: a point whose class against its
// line can be zero and which lies in its widened bounding rectangle is
// within it of the edge.
double outline::edge_reach(const vec2& a, const vec2& b) const {
    const double reach = 1.1e-9 / norm(sub(b, a)) + 4 * geom_eps + slack_;
    return std::isfinite(reach) ? reach : extent_ + size_;
}

// Calls visit(column, row) for each cell of level l that holds a point
// within `reach` of the segment a-b, and some more. Lines of cells are
// walked along the axis the segment runs more along: a point X in one lies
// within `reach`, across and along, of its nearest point S of the segment,
// so the cells across the line from the segment's span over the line's
// reach, widened by `reach`, hold every such X.
template <class F>
void outline::cells_along(std::size_t l, const vec2& a, const vec2& b, double reach, const F& visit) const {
    const bool by_columns = std::fabs(b.x - a.x) >= std::fabs(b.y - a.y);
    const double ua = by_columns ? a.x : a.y, ub = by_columns ? b.x : b.y;
    const double wa = by_columns ? a.y : a.x, wb = by_columns ? b.y : b.x;
    const double u_lo = std::min(ua, ub), u_hi = std::max(ua, ub);
    const double origin = by_columns ? x0_ : y0_;
    const double width = size_ * static_cast<double>(std::size_t{1} << l);
    auto along = [&](double u) { return (by_columns ? column(u) : row(u)) >> l; };
    auto across = [&](double w) { return (by_columns ? row(w) : column(w)) >> l; };
    for (std::size_t k = along(u_lo - reach), last = along(u_hi + reach); k <= last; ++k) {
        const double from = std::max(u_lo, origin + (static_cast<double>(k) - 0.5) * width - reach);
        const double to = std::min(u_hi, origin + (static_cast<double>(k) + 1.5) * width + reach);
        if (from > to) continue;
        double w_lo = std::min(wa, wb), w_hi = std::max(wa, wb);
        if (ub != ua) {
            const double slope = (wb - wa) / (ub - ua);
            const double w0 = wa + (from - ua) * slope, w1 = wa + (to - ua) * slope;
            w_lo = std::min(w0, w1);
            w_hi = std::max(w0, w1);
        }
        for (std::size_t m = across(w_lo - reach), end = across(w_hi + reach); m <= end; ++m)
            by_columns ? visit(k, m) : visit(m, k);
    }
}

std::vector<vec2> outline::vertices_from(uint32_t from, uint32_t to) const {
    std::vector<vec2> out;
    for (uint32_t k = from;; k = next_[k]) {
        out.push_back(at_[k]);
        if (k == to) break;
    }
    return out;
}

// The edge from a is then to be added again.
void outline::link(uint32_t a, uint32_t b) {
    drop_edge(a);
    next_[a] = b;
    prev_[b] = a;
}

void outline::remove(uint32_t u) {
    alive_[u] = 0;
    --count_;
    count(0, vertex_column_[u], vertex_row_[u], edge_kinds, -1);
    drop_edge(u);
    reflex_.erase(u);
    unclean_.erase(u);
    for (uint32_t d : witness_of_[u])
        if (alive_[d] && witness_[d] == u) {
            witness_[d] = none;
            to_search_.push_back(d);
        }
    std::vector<uint32_t>().swap(witness_of_[u]);
}

// After u has a new neighbour: its corner flags, and a new witness search
// when it is a right turn.
void outline::update_corner(uint32_t u) {
    const vec2& p = at_[prev_[u]];
    const vec2& q = at_[u];
    const vec2& r = at_[next_[u]];
    if (reflex_corner(p, q, r))
        reflex_.insert(u);
    else
        reflex_.erase(u);
    if (cleaning_keeps(p, q, r))
        unclean_.erase(u);
    else
        unclean_.insert(u);
    right_turn_[u] = right_turn(p, q, r);
    witness_[u] = none;
    if (right_turn_[u]) to_search_.push_back(u);
}

// The sector of a half turn, of `sectors`, that holds the direction of d.
uint32_t direction_sector(const vec2& d, uint32_t sectors) {
    const double half_turn = std::acos(-1.0);
    double angle = std::atan2(d.y, d.x);
    if (angle < 0) angle += half_turn;
    const auto k = static_cast<uint32_t>(angle / (half_turn / sectors));
    return std::min(k, sectors - 1);
}

bool segment_meets(const vec2& a, const vec2& b, double lo_x, double hi_x, double lo_y, double hi_y) {
    double t0 = 0, t1 = 1;
    auto clip = [&](double p, double q) {  // keeps the part with p t <= q
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    const double dx = b.x - a.x, dy = b.y - a.y;
    return clip(-dx, a.x - lo_x) && clip(dx, hi_x - a.x) && clip(-dy, a.y - lo_y) && clip(dy, hi_y - a.y);
}

bool line_meets(const vec2& a, const vec2& b, double lo_x, double hi_x, double lo_y, double hi_y) {
    const vec2 d = sub(b, a);
    const vec2 corner[4] = {{lo_x, lo_y}, {hi_x, lo_y}, {lo_x, hi_y}, {hi_x, hi_y}};
    bool left = false, right = false;
    for (const vec2& c : corner) {
        const double side = cross(d, sub(c, a));
        left = left || side >= 0;
        right = right || side <= 0;
    }
    return left && right;
}

// Visits, from cell (c, r) of level l down, each cell with live entries of
// `kinds` (edges by kind, then vertices) whose rectangle `meets` accepts,
// until `visit` returns false.
template <class Meets, class Visit>
bool outline::search(std::size_t l, std::size_t c, std::size_t r, kind_set kinds, const Meets& meets,
                     const Visit& visit) {
    cell& k = cell_at(l, c, r);
    if (!(k.live_kinds & kinds)) return true;
    const double width = size_ * static_cast<double>(std::size_t{1} << l);
    if (!meets(x0_ + static_cast<double>(c) * width, x0_ + static_cast<double>(c + 1) * width,
               y0_ + static_cast<double>(r) * width, y0_ + static_cast<double>(r + 1) * width))
        return true;
    if (!visit(k)) return false;
    if (l == 0) return true;
    for (std::size_t rr = 2 * r; rr <= 2 * r + 1 && rr < levels_[l - 1].rows; ++rr)
        for (std::size_t cc = 2 * c; cc <= 2 * c + 1 && cc < levels_[l - 1].columns; ++cc)
            if (!search(l - 1, cc, rr, kinds, meets, visit)) return false;
    return true;
}

// A long edge along x or y is listed by its height (abscissa); any other in
// the cells within the reach of its own tolerance along it, on a level with
// few enough of them.
void outline::add_edge(uint32_t from) {
    const uint32_t to = next_[from];
    const vec2& a = at_[from];
    const vec2& b = at_[to];
    edge_home& home = edge_home_[from];
    const double dx = std::fabs(b.x - a.x), dy = std::fabs(b.y - a.y);
    const bool long_enough = norm(sub(b, a)) >= edge_length_;
    if (a.y == b.y)
        home.kind = dx >= edge_length_ ? along_x : short_along_x;
    else if (a.x == b.x)
        home.kind = dy >= edge_length_ ? along_y : short_along_y;
    else if (!long_enough)
        home.kind = short_slanted;
    else
        home.kind = slanted + direction_sector(sub(b, a), directions);
    if ((home.kind == along_x && dx >= long_edge_) || (home.kind == along_y && dy >= long_edge_)) {
        home.by_key = true;
        home.key = home.kind == along_x ? a.y : a.x;
        axis_edges_[home.kind].insert({home.key, from});
        return;
    }
    // The lowest level on which the edge spans at most `span` cells.
    constexpr double span = 64;
    const double reach = edge_reach(a, b);
    const double length_in_cells = (std::max(dx, dy) + 2 * reach) / size_;
    std::size_t l = 0;
    while (l + 1 < levels_.size() && length_in_cells > span * static_cast<double>(std::size_t{1} << l)) ++l;
    home.in_cells = true;
    home.to = to;
    home.level = l;
    cells_along(l, a, b, reach, [&](std::size_t c, std::size_t r) {
        cell_at(l, c, r).edge.push_back({from, to, home.kind});
        count(l, c, r, home.kind, 1);
    });
}

void outline::set_witness(uint32_t u, uint32_t k) {
    witness_[u] = k;
    witness_of_[k].push_back(u);
    if (std::find(std::begin(recent_), std::end(recent_), k) == std::end(recent_)) {
        recent_[recent_slot_] = k;
        recent_slot_ = (recent_slot_ + 1) % std::size(recent_);
    }
}

// The candidates in the order of find_witnesses, its hull aside: recent
// witnesses, the extremes (found again once one has left), then all.
bool outline::find_witness(uint32_t u) {
    const uint32_t p = prev_[u], r = next_[u];
    const vec2& q = at_[u];
    const vec2 bisector = turn_bisector(at_[p], q, at_[r]);
    auto ahead = [&](uint32_t k) {
        return k != none && alive_[k] && k != p && k != u && k != r && ahead_of_turn(q, bisector, at_[k]);
    };
    for (uint32_t k : recent_)
        if (ahead(k)) {
            set_witness(u, k);
            return true;
        }
    if (std::any_of(extremes_.begin(), extremes_.end(), [&](uint32_t k) { return !alive_[k]; })) {
        const std::vector<vec2> v = vertices();
        std::vector<uint32_t> ids;
        for (uint32_t k = start_; ids.size() < count_; k = next_[k]) ids.push_back(k);
        extremes_.clear();
        for (uint64_t k : extreme_vertices(v.data(), v.size())) extremes_.push_back(ids[k]);
    }
    for (uint32_t k : extremes_)
        if (ahead(k)) {
            set_witness(u, k);
            return true;
        }
    uint32_t k = start_;
    for (std::size_t s = 0; s < count_; ++s, k = next_[k])
        if (ahead(k)) {
            set_witness(u, k);
            return true;
        }
    return false;
}

// The orientation test of the ring: every right turn has a witness.
bool outline::witnesses_found() {
    for (std::size_t s = 0; s < to_search_.size(); ++s) {
        const uint32_t u = to_search_[s];
        if (!alive_[u] || !right_turn_[u] || witness_[u] != none) continue;
        if (!find_witness(u)) return false;
    }
    to_search_.clear();
    return true;
}

// The ring as a cut's kept side: v failed the orientation test and is
// turned, then taken as cut_into_convex takes an outline not yet oriented.
void outline::rebuild_turned(std::vector<vec2> v) {
    std::reverse(v.begin(), v.end());
    if (poly_split_check(v.data(), v.size()) == 0) std::reverse(v.begin(), v.end());
    build(std::move(v));
}

// What cut_side does to the side kept in the ring. When only its first and
// last vertices can be cleaned away, the pass is done here; otherwise, and
// when the outline must be turned, the ring is built again.
void outline::clean_and_orient() {
    const uint32_t last = prev_[start_];
    if (std::any_of(unclean_.begin(), unclean_.end(), [&](uint32_t u) { return u != start_ && u != last; })) {
        poly_record piece = make_piece(like_, vertices());
        delete_duplicate_point(piece);
        if (poly_split_check(piece.vertex.data(), piece.n) == 1)
            build(std::move(piece.vertex));
        else
            rebuild_turned(std::move(piece.vertex));
        return;
    }
    if (std::fabs(collinearity(at_[prev_[last]], at_[last], at_[start_])) < geom_eps) {
        const uint32_t before = prev_[last];
        remove(last);
        link(before, start_);
        update_corner(before);
        update_corner(start_);
        add_edge(before);
    }
    if (count_ >= 3 && std::fabs(collinearity(at_[prev_[start_]], at_[start_], at_[next_[start_]])) < geom_eps) {
        const uint32_t before = prev_[start_], after = next_[start_];
        remove(start_);
        link(before, after);
        start_ = after;
        update_corner(before);
        update_corner(after);
        add_edge(before);
    }
    if (count_ < 3) fail("error (delete_duplicate_point): invalid poly, point less than 3.");
    if (!witnesses_found()) rebuild_turned(vertices());
}

// The vertex and edge tests of a cut near it: on every vertex and edge
// listed in the cell.
bool outline::near_cell_clear(cell& c, const vec2& a, const vec2& b) {
    for (std::size_t t = 0; t < c.vertex.size();) {
        if (!alive_[c.vertex[t]]) {
            c.vertex[t] = c.vertex.back();
            c.vertex.pop_back();
        } else if (blocks_cut(a, b, at_[c.vertex[t]])) {
            return false;
        } else {
            ++t;
        }
    }
    return edges_clear(c, a, b, all_kinds);
}

bool outline::edges_clear(cell& c, const vec2& a, const vec2& b, kind_set kinds) {
    for (std::size_t t = 0; t < c.edge.size();) {
        const edge_ref e = c.edge[t];
        if (!alive_[e.from] || next_[e.from] != e.to) {
            c.edge[t] = c.edge.back();
            c.edge.pop_back();
        } else if ((kinds >> e.kind & 1) && blocks_cut(a, b, at_[e.from], at_[e.to])) {
            return false;
        } else {
            ++t;
        }
    }
    return true;
}

// The edge test on the long edges of `kind` at heights (abscissae) lo to hi.
bool outline::axis_edges_clear(uint32_t kind, double lo, double hi, const vec2& a, const vec2& b) const {
    for (auto e = axis_edges_[kind].lower_bound({lo, 0}); e != axis_edges_[kind].end() && e->first <= hi; ++e)
        if (blocks_cut(a, b, at_[e->second], at_[next_[e->second]])) return false;
    return true;
}

// valid_diagonal on the ring. A vertex on the cut, and an edge whose end
// is classed zero against the other segment's line and lies in its widened
// bounding rectangle, lie within the cut's tolerance or the edge's of the
// cut, so everything within `margin_` and that tolerance of the cut is
// tested. An edge farther away crosses only where both segments have ends
// classed apart against the other's line, so it meets the thin band round
// the cut's line in which the class can be zero, and the edges along that
// band are tested too, but for those exactly along x or y that cannot
// cross: when the cut runs along the same axis their ends are classed
// alike; across it, the cut's ends are (an edge of at least `edge_length_`
// is too long for a class of zero that far off its line), or its own ends
// are, on one side of a cut long enough; and a far edge meeting both bands
// lies at a small angle to the cut, as both bands are thin.
bool outline::usable_cut(uint32_t i, uint32_t j, const vec2& bisector) {
    const vec2& a = at_[i];
    const vec2& b = at_[j];
    if (j == i || !(dot(bisector, unit(sub(b, a))) >= -geom_eps)) return false;
    const uint64_t test = ++cut_tests_;
    const vec2 d = sub(b, a);
    const double length = norm(d);
    const double tolerance = 1.1e-9 / length + 4 * geom_eps + slack_;
    const double reach = margin_ + tolerance;
    const std::size_t top = levels_.size() - 1;
    const bool near_clear = search(
        top, 0, 0, all_kinds,
        [&](double lo_x, double hi_x, double lo_y, double hi_y) {
            return segment_meets(a, b, lo_x - reach, hi_x + reach, lo_y - reach, hi_y + reach);
        },
        [&](cell& c) {
            c.searched = test;
            return near_cell_clear(c, a, b);
        });
    if (!near_clear ||
        !axis_edges_clear(along_x, std::min(a.y, b.y) - reach, std::max(a.y, b.y) + reach, a, b) ||
        !axis_edges_clear(along_y, std::min(a.x, b.x) - reach, std::max(a.x, b.x) + reach, a, b))
        return false;

    // Which far edges along x and y may cross: none along the cut's own
    // axis, none across it, and at other angles only the nearly parallel;
    // the listed ones are a height (abscissa) off the cut, the others at
    // least a distance.
    const bool wide = length * margin_ >= 2e-8;
    const double small_angle = std::asin(std::min(1.0, 2 * (tolerance + 1.1e-9 / edge_length_ + slack_) / margin_));
    kind_set tested = bit(short_slanted);
    bool listed_tested[2] = {true, true};
    for (const uint32_t kind : {along_x, along_y}) {
        const double across = kind == along_x ? d.y : d.x, along = kind == along_x ? d.x : d.y;
        const bool parallel = across == 0, square = along == 0;
        const bool steep = std::fabs(across) > std::sin(small_angle) * length;
        if (!(parallel || (square && wide) || steep)) tested |= bit(kind);
        if (!parallel) tested |= bit(kind + 2);
        listed_tested[kind] = !(parallel || square || steep);
    }
    // A sector of directions within the small angle of the cut's, as both
    // are taken modulo a half turn.
    const double half_turn = std::acos(-1.0), sector = half_turn / directions;
    const double cut_direction = std::atan2(d.y, d.x);
    for (uint32_t k = 0; k < directions; ++k) {
        double off = std::fmod(std::fabs(cut_direction - (k + 0.5) * sector), half_turn);
        off = std::min(off, half_turn - off) - sector / 2;
        if (off <= small_angle + 1e-9) tested |= bit(slanted + k);
    }
    const double band = tolerance + 1e-12 * (1 + extent_);
    const bool far_clear = search(
        top, 0, 0, tested,
        [&](double lo_x, double hi_x, double lo_y, double hi_y) {
            return line_meets(a, b, lo_x - band, hi_x + band, lo_y - band, hi_y + band);
        },
        [&](cell& c) { return c.searched == test || edges_clear(c, a, b, tested); });
    if (!far_clear) return false;
    for (const uint32_t kind : {along_x, along_y}) {
        if (!listed_tested[kind]) continue;
        // The band's heights (abscissae) over the outline's width (height).
        const double across = kind == along_x ? d.y : d.x, along = kind == along_x ? d.x : d.y;
        double lo = kind == along_x ? y0_ : x0_, hi = kind == along_x ? y1_ : x1_;
        if (std::fabs(along) >= std::fabs(across)) {
            const double a_along = kind == along_x ? a.x : a.y, a_across = kind == along_x ? a.y : a.x;
            const double from = kind == along_x ? x0_ : y0_, to = kind == along_x ? x1_ : y1_;
            const double u0 = a_across + (from - a_along) * (across / along);
            const double u1 = a_across + (to - a_along) * (across / along);
            const double half = band * length / std::fabs(along) + slack_;
            lo = std::min(u0, u1) - half;
            hi = std::max(u0, u1) + half;
        }
        if (!axis_edges_clear(kind, lo, hi, a, b)) return false;
    }
    return true;
}

void outline::cut(std::vector<vec2> v) {
    build(std::move(v));
    // Smaller sides copied out after the kept one, cut once it is done.
    std::vector<std::vector<vec2>> waiting;
    while (!reflex_.empty()) {
        auto first = reflex_.lower_bound(start_);
        const uint32_t i = first != reflex_.end() ? *first : *reflex_.begin();
        const vec2 bisector = turn_bisector(at_[prev_[i]], at_[i], at_[next_[i]]);
        uint32_t j = start_;
        bool found = false;
        for (std::size_t s = 0; s < count_ && !found; ++s) {
            found = usable_cut(i, j, bisector);
            if (!found) j = next_[j];
        }
        if (!found) j = start_;
        // A cut to a neighbour would give a piece no smaller than the
        // polygon and recurse for ever.
        if (j == i || j == next_[i] || j == prev_[i]) fail("error: input poly not valid(may have same vertexs).");

        // The first side runs from j to i, the second from i to j; walk
        // both at once to learn the smaller.
        uint32_t a = j, b = i;
        while (a != i && b != j) {
            a = next_[a];
            b = next_[b];
        }
        const bool first_smaller = a == i;
        const uint32_t from = first_smaller ? j : i, to = first_smaller ? i : j;
        std::vector<vec2> side = vertices_from(from, to);
        for (uint32_t k = next_[from]; k != to;) {
            const uint32_t after = next_[k];
            remove(k);
            k = after;
        }
        link(from, to);
        update_corner(from);
        update_corner(to);
        add_edge(from);
        start_ = first_smaller ? i : j;
        if (first_smaller)
            cut_side(like_, std::move(side), pieces_);
        else
            waiting.push_back(std::move(side));
        clean_and_orient();
    }
    cut_convex(like_, vertices(), pieces_);
    // The latest copied side belongs to the deepest cut, whose kept side is done.
    while (!waiting.empty()) {
        std::vector<vec2> side = std::move(waiting.back());
        waiting.pop_back();
        cut_side(like_, std::move(side), pieces_);
    }
}

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
