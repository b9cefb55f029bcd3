#include "geometry/primitives.hpp"

#include <cmath>

#include "geometry/layout.hpp"
#include "geometry/prism.hpp"
#include "geometry/section_distance.hpp"
#include "geometry/surface_element.hpp"

namespace {

constexpr double pi_approx = 3.1415926536;
constexpr double two_pi = 6.2831853072;
constexpr double four_pi_approx = 12.5663706144;

// Unit axis vector of a surface face 0..5 = +x, +y, +z, -x, -y, -z.
vec3 face_normal(uint64_t face) {
    if (face > face_neg_z) return {0.0, 0.0, 0.0};
    const double sign = face < 3 ? 1.0 : -1.0;
    vec3 n{0.0, 0.0, 0.0};
    axis_of(n, int(face % 3)) = sign;
    return n;
}

}  // namespace

vec3 surface_normal(const surface_element& e) {
    switch (e.shape) {
    case surface_rect: return face_normal(e.data[5].u);
    case surface_disc: return face_normal(e.data[4].u);
    case surface_triangle: return face_normal(e.data[7].u);
    case surface_slanted_rect: {
        const vec2 n = edge_normal(e.data[3].f, e.data[4].f);
        return {n.x, n.y, 0.0};
    }
    default: return {0.0, 0.0, 0.0};
    }
}

vec3 sample_surface_point(const surface_element& e, double u, double v) {
    const surface_word* d = e.data;
    switch (e.shape) {
    case surface_rect: {
        const uint64_t f = d[5].u;
        const int a = int(f < 3 ? f : f - 3);
        vec3 p{d[0].f, d[1].f, d[2].f};
        axis_of(p, (a + 1) % 3) += u * d[3].f;
        axis_of(p, (a + 2) % 3) += v * d[4].f;
        return p;
    }
    case surface_disc: {
        const double rho = std::sqrt(u);
        const double theta = v * two_pi;
        const double r = d[3].f;
        return {d[0].f + std::cos(theta) * rho * r, d[1].f + std::sin(theta) * rho * r, d[2].f};
    }
    case surface_cylinder_side: {
        // No surface holds cylinder sides; the axis is taken through x = y = 0.
        const double theta = v * two_pi;
        const double r = d[3].f;
        return {r * std::cos(theta), r * std::sin(theta), d[2].f + (2.0 * u - 1.0) * d[4].f};
    }
    case surface_triangle: {
        const double qx = lerp(d[3].f, d[5].f, u);
        const double qy = lerp(d[4].f, d[6].f, u);
        const double s = std::sqrt(v);
        return {lerp(d[1].f, qx, s), lerp(d[2].f, qy, s), d[0].f};
    }
    case surface_slanted_rect:
        return {d[0].f + u * d[3].f, d[1].f + u * d[4].f, d[2].f + v * d[5].f};
    default: return {0.0, 0.0, 0.0};
    }
}

double surface_element_area(const surface_element& e) {
    const surface_word* w = e.data;
    switch (e.shape) {
    case surface_rect: return w[3].f * w[4].f;
    case surface_disc: return w[3].f * w[3].f * pi_approx;
    case surface_cylinder_side: return w[3].f * w[4].f * four_pi_approx;
    case surface_triangle:
        return 0.5 * tabs((w[3].f - w[1].f) * (w[6].f - w[2].f) - (w[4].f - w[2].f) * (w[5].f - w[1].f));
    case surface_slanted_rect: return (tabs(w[3].f) + tabs(w[4].f)) * w[5].f;
    default: return 0.0;
    }
}
