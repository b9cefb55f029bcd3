// Geometric primitives shared by layout preparation, space managers and
// walkers. Pure, allocation-free, safe from any thread. Lengths in micrometres.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "geometry/box.hpp"
#include "geometry/vec3.hpp"

struct solid;
struct surface_element;

// Absolute tolerance of every geometric comparison.
constexpr double geom_eps = 1e-9;
// Stands for an unlimited distance or height.
constexpr double geom_infinity = 1e9;
// Closer to a block than this (micrometres), a walk touches it.
constexpr double touch_distance = 9.9999e-05;

// Tolerant maximum: on a near-tie the second operand wins.
inline double tmax(double a, double b) { return a - geom_eps > b ? a : b; }
// Tolerant minimum: on a near-tie the first operand wins.
inline double tmin(double a, double b) { return b < a - geom_eps ? b : a; }
// Tolerant absolute value: a value in (0, 1e-9] comes back negated.
inline double tabs(double x) { return x > geom_eps ? x : -x; }

inline double lerp(double a, double b, double t) { return (b - a) * t + a; }

// Signed L-infinity distance from p to b in x and y only: positive outside,
// minus the depth inside.
inline double box_distance_xy(const vec3& p, const box& b) {
    double dx = tmax(p.x - b.hi.x, b.lo.x - p.x);
    double dy = tmax(p.y - b.hi.y, b.lo.y - p.y);
    return tmax(dy, dx);
}

// Signed L-infinity distance from p to b: positive outside, minus the depth
// inside.
inline double box_point_distance(const vec3& p, const box& b) {
    return tmax(tmax(p.z - b.hi.z, b.lo.z - p.z), box_distance_xy(p, b));
}

// L-infinity gap between two boxes; negative when they overlap.
inline double box_gap(const box& a, const box& b) {
    const double gx = tmax(b.lo.x - a.hi.x, a.lo.x - b.hi.x);
    const double gy = tmax(b.lo.y - a.hi.y, a.lo.y - b.hi.y);
    const double gz = tmax(b.lo.z - a.hi.z, a.lo.z - b.hi.z);
    return tmax(gz, tmax(gy, gx));
}

// Bounds of an outline of n >= 1 points between heights z0 and z1; a later
// point moves a bound only when it lies beyond it by more than 1e-9.
inline box outline_bounds(const vec2* v, uint64_t n, double z0, double z1) {
    box b{{v[0].x, v[0].y, z0}, {v[0].x, v[0].y, z1}};
    for (uint64_t i = 1; i < n; ++i) {
        b.lo.x = tmin(b.lo.x, v[i].x);
        b.lo.y = tmin(b.lo.y, v[i].y);
        b.hi.x = tmax(v[i].x, b.hi.x);
        b.hi.y = tmax(v[i].y, b.hi.y);
    }
    return b;
}

// p lies in b grown by 1e-9 on every side.
inline bool box_contains_point(const box& b, const vec3& p) {
    return p.x + geom_eps > b.lo.x && p.y + geom_eps > b.lo.y && p.z + geom_eps > b.lo.z &&
           b.hi.x + geom_eps > p.x && b.hi.y + geom_eps > p.y && b.hi.z + geom_eps > p.z;
}

// Unit outward normal; zero for cylinder sides and unknown shapes.
vec3 surface_normal(const surface_element& e);

// Maps uniforms u, v in [0, 1) to a point on e.
vec3 sample_surface_point(const surface_element& e, double u, double v);

// Area of e in square micrometres; zero for unknown shapes.
double surface_element_area(const surface_element& e);

// The index after i in a closed outline of n points.
inline std::size_t next_index(std::size_t i, std::size_t n) { return i + 1 == n ? 0 : i + 1; }

// Unit outward normal of an outline edge running (dx, dy): outlines run
// anticlockwise, so the outside lies to the right of each edge.
inline vec2 edge_normal(double dx, double dy) {
    const double len = std::sqrt(dx * dx + dy * dy);
    return {dy / len, -dx / len};
}
inline vec2 edge_normal(const vec2& a, const vec2& b) { return edge_normal(b.x - a.x, b.y - a.y); }

// Turns the first count weights of t into a cumulative selection table: the
// running sums divided by their total, the last entry exactly 1 so that a
// uniform draw below 1 always lands. Returns the total.
inline double make_cumulative_table(double* t, std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += t[i];
        t[i] = sum;
    }
    for (std::size_t i = 0; i < count; ++i) t[i] /= sum;
    if (count) t[count - 1] = 1.0;
    return sum;
}
