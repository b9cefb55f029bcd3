// Measures of axis-aligned boxes used to place blocks in the cells of the
// space managers. L-infinity distances, micrometres.
#pragma once

#include <algorithm>

#include "geometry/box.hpp"

inline double box_max_side(const box& b) {
    return std::max({b.hi.x - b.lo.x, b.hi.y - b.lo.y, b.hi.z - b.lo.z});
}

// The cube around b that the octrees and whole-domain lists cover.
struct cube {
    vec3 centre;
    double half;
};

inline cube bounding_cube(const box& b) {
    return {{(b.lo.x + b.hi.x) / 2, (b.lo.y + b.hi.y) / 2, (b.lo.z + b.hi.z) / 2},
            box_max_side(b) / 2};
}

// Signed L-infinity distance from p to b: the gap outside, minus the depth
// inside.
inline double box_distance(const box& b, const vec3& p) {
    return std::max({b.lo.x - p.x, p.x - b.hi.x, b.lo.y - p.y, p.y - b.hi.y, b.lo.z - p.z,
                     p.z - b.hi.z});
}
