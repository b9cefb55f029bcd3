// The outline's ring, its quadtree of cells and sorted axis edges, and the
// cuts at its reflex corners.
#include "geometry/cut_outline.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "geometry/convex_cut.hpp"
#include "geometry/polygon_orientation.hpp"
#include "geometry/polygon_predicates.hpp"

namespace polygon_detail {

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

namespace {

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

}  // namespace

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

}  // namespace polygon_detail
