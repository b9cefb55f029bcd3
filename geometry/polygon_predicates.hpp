// The tolerant vector tests shared by the polygon sources: every length
// test is within geom_eps, so cleaning, the orientation test and the cuts
// agree on what is collinear, coincident or crossing. Inline, as the cut
// tests run them on every vertex and edge they meet.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/run_end.hpp"
#include "geometry/primitives.hpp"
#include "geometry/vec3.hpp"

namespace polygon_detail {

constexpr int fatal_status = -1;

[[noreturn]] inline void fail(const char* message) {
    sea::end_run(std::string(message) + "\n", fatal_status);
}

// The neighbour before vertex i in a closed outline of n vertices.
inline std::size_t prev_index(std::size_t i, std::size_t n) { return i == 0 ? n - 1 : i - 1; }

inline double cross(const vec2& a, const vec2& b) { return a.x * b.y - a.y * b.x; }
inline vec2 sub(const vec2& a, const vec2& b) { return {a.x - b.x, a.y - b.y}; }
inline double norm(const vec2& a) { return std::sqrt(a.x * a.x + a.y * a.y); }
inline vec2 unit(const vec2& a) {
    const double l = norm(a);
    return {a.x / l, a.y / l};
}
inline double dot(const vec2& a, const vec2& b) { return a.x * b.x + a.y * b.y; }

inline bool same_point(const vec2& a, const vec2& b) {
    return std::fabs(a.x - b.x) < geom_eps && std::fabs(a.y - b.y) < geom_eps;
}

// Zero when a, b, c are collinear.
inline double collinearity(const vec2& a, const vec2& b, const vec2& c) {
    return (b.x - c.x) * (b.y - a.y) - (b.x - a.x) * (b.y - c.y);
}

// c lies beyond both a and b along one axis (a straight continuation).
inline bool beyond_both(const vec2& a, const vec2& b, const vec2& c) {
    return (c.x - geom_eps > a.x && c.x - geom_eps > b.x) ||
           (c.x + geom_eps < a.x && c.x + geom_eps < b.x) ||
           (c.y - geom_eps > a.y && c.y - geom_eps > b.y) ||
           (c.y + geom_eps < a.y && c.y + geom_eps < b.y);
}

// -1, 0 or 1: the side of line a-b on which p lies.
inline int side_of(const vec2& a, const vec2& b, const vec2& p) {
    const double c = cross(sub(b, a), sub(p, a));
    if (std::fabs(c) < geom_eps) return 0;
    return c > 0 ? 1 : -1;
}

inline bool in_widened_bounds(const vec2& a, const vec2& b, const vec2& p) {
    return p.x > std::min(a.x, b.x) - geom_eps && p.x < std::max(a.x, b.x) + geom_eps &&
           p.y > std::min(a.y, b.y) - geom_eps && p.y < std::max(a.y, b.y) + geom_eps;
}

inline bool segments_cross(const vec2& p1, const vec2& p2, const vec2& q1, const vec2& q2) {
    const int sq1 = side_of(p1, p2, q1), sq2 = side_of(p1, p2, q2);
    const int sp1 = side_of(q1, q2, p1), sp2 = side_of(q1, q2, p2);
    if (sq1 != sq2 && sp1 != sp2) return true;
    return (sq1 == 0 && in_widened_bounds(p1, p2, q1)) ||
           (sq2 == 0 && in_widened_bounds(p1, p2, q2)) ||
           (sp1 == 0 && in_widened_bounds(q1, q2, p1)) ||
           (sp2 == 0 && in_widened_bounds(q1, q2, p2));
}

// A right turn at q, going from p through q to r.
inline bool right_turn(const vec2& p, const vec2& q, const vec2& r) {
    return (r.y - q.y) * (q.x - p.x) - (r.x - q.x) * (q.y - p.y) < -geom_eps;
}

// The bisector of the corner at q between its neighbours p and r; at a
// reflex corner of an anticlockwise outline it points into the polygon.
inline vec2 turn_bisector(const vec2& p, const vec2& q, const vec2& r) {
    const vec2 qp = unit(sub(q, p));
    const vec2 qr = unit(sub(q, r));
    return unit({qp.x + qr.x, qp.y + qr.y});
}

inline bool ahead_of_turn(const vec2& q, const vec2& bisector, const vec2& k) {
    return dot(unit(sub(k, q)), bisector) - geom_eps > 0;
}

inline bool reflex_corner(const vec2& prev, const vec2& v, const vec2& next) {
    return cross(sub(v, prev), sub(next, v)) < -geom_eps;
}

// Whether p, a vertex other than the cut's ends, lies on the cut a-b.
inline bool blocks_cut(const vec2& a, const vec2& b, const vec2& p) {
    if (same_point(p, a) || same_point(p, b)) return false;
    return std::fabs(cross(sub(b, a), sub(p, a))) < geom_eps && in_widened_bounds(a, b, p);
}

// Whether the edge q1-q2, unless it shares an end with the cut a-b, crosses it.
inline bool blocks_cut(const vec2& a, const vec2& b, const vec2& q1, const vec2& q2) {
    if (same_point(q1, a) || same_point(q1, b) || same_point(q2, a) || same_point(q2, b)) return false;
    return segments_cross(a, b, q1, q2);
}

// Whether the cleaning pass of delete_duplicate_point keeps b, met between
// a and c in the middle of an outline, as it is.
inline bool cleaning_keeps(const vec2& a, const vec2& b, const vec2& c) {
    if (std::fabs(collinearity(a, b, c)) >= geom_eps) return true;
    return !same_point(b, c) && !(std::fabs((c.y - a.y) * (c.x - b.x) - (c.x - a.x) * (c.y - b.y)) < geom_eps);
}

}  // namespace polygon_detail
