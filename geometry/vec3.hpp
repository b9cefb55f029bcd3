// Points and vectors of the geometry, in micrometres.
#pragma once

struct vec3 {
    double x, y, z;
};

// A point of a horizontal outline (prism cross-sections, polygons).
struct vec2 {
    double x, y;
};

// Component by axis number 0 = x, 1 = y, 2 = z.
inline double& axis_of(vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
inline double axis_of(const vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
