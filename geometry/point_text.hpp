// Points as the layout dump and the preparation's log lines write them:
// "(x, y, z)" and "(x, y)", every coordinate in "%.12f".
#pragma once

#include "foundation/writer.hpp"
#include "geometry/vec3.hpp"

inline sea::writer& print_point(sea::writer& w, const vec3& p) {
    return w.printf("(%.12f, %.12f, %.12f)", p.x, p.y, p.z);
}

inline sea::writer& print_point(sea::writer& w, const vec2& p) { return w.printf("(%.12f, %.12f)", p.x, p.y); }
