// Axis-aligned box; in memory the six doubles run x0, y0, z0, x1, y1, z1.
#pragma once

#include "geometry/vec3.hpp"

struct box {
    vec3 lo;  // minimum corner
    vec3 hi;  // maximum corner
};

// b grown by d on every side.
inline box grow_box(const box& b, double d) {
    return {{b.lo.x - d, b.lo.y - d, b.lo.z - d}, {b.hi.x + d, b.hi.y + d, b.hi.z + d}};
}
