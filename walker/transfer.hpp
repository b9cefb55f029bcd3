// Transfer sampling: one hop from the centre of a transition cube to the
// centre of a surface panel drawn from a cumulative table row.
//
// Panel order: face, then row, then column, n x n panels per face (n = 31 or
// 32); faces -z, -y, +x, +y, -x, +z. Rows run along z on x and y faces and
// along y on z faces; columns along y on x faces and along x otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

#include "geometry/vec3.hpp"
#include "walker/random_draw.hpp"

// Face number -> direction code: below 3 the + side of that axis, else the
// - side of axis code - 3.
constexpr int panel_face_code[6] = {5, 4, 0, 1, 3, 2};
constexpr int panel_row_axis[3] = {2, 2, 1};
constexpr int panel_column_axis[3] = {1, 0, 0};

template <int N>
constexpr std::size_t panel_count = std::size_t(6 * N * N);

// Unit-cube direction (half side 1) of panel i.
template <int N>
inline vec3 panel_direction(std::size_t i) {
    const std::size_t face = i / std::size_t(N * N);
    const std::size_t row = (i / N) % N;
    const std::size_t column = i % N;
    int code = panel_face_code[face];
    const double side = code < 3 ? 1.0 : -1.0;
    if (code >= 3) code -= 3;
    vec3 u;
    axis_of(u, code) = side;
    axis_of(u, panel_row_axis[code]) = double(2 * row + 1) / N - 1.0;
    axis_of(u, panel_column_axis[code]) = double(2 * column + 1) / N - 1.0;
    return u;
}

// How a cube's row is read: one set alone, or two sets blended with weight
// w on the second; directions mirrored in z for inverted interfaces.
struct row_blend {
    bool single;
    double w;
    bool mirror;
};

// First panel whose (possibly blended) cumulative value reaches r.
template <int N, class T>
inline std::size_t pick_panel(const T* t1, const T* t2, const row_blend& b, double r) {
    constexpr std::size_t count = panel_count<N>;
    if (b.single) {
        const std::size_t i = cdf_lower_bound(t1, count, r);
        return i < count ? i : count - 1;
    }
    const double w = b.w, keep = 1.0 - w;
    std::size_t lo = 0, n = count;
    while (n > 0) {
        const std::size_t half = n / 2;
        const std::size_t mid = lo + half;
        if (keep * double(t1[mid]) + w * double(t2[mid]) < r) {
            lo = mid + 1;
            n -= half + 1;
        } else {
            n = half;
        }
    }
    return lo < count ? lo : count - 1;
}

// Draws one hop direction (mirror applied, no rotation).
template <int N, class T>
inline vec3 draw_direction(walker_rng& rng, const T* t1, const T* t2, const row_blend& b) {
    vec3 u = panel_direction<N>(pick_panel<N>(t1, t2, b, uniform01(rng)));
    if (b.mirror) u.z = -u.z;
    return u;
}

// Signed weight factor of a first hop of half side a from a start face
// (0..5 = +x, +y, +z, -x, -y, -z) landing in direction u; k1, k2 are the
// two sets' weight values for the face's axis.
inline double first_hop_factor(uint64_t face, const vec3& u, double k1, double k2, const row_blend& b,
                               double a) {
    const int axis = int(face < 3 ? face : face - 3);
    const double k = b.single ? k1 : (1.0 - b.w) * k1 + b.w * k2;
    double f = k / (2.0 * a);
    if ((face < 3) == (axis_of(u, axis) > 0)) f = -f;
    return f;
}

// Turns a direction about z.
inline vec3 rotate_about_z(const vec3& u, double c, double s) {
    return {c * u.x - s * u.y, s * u.x + c * u.y, u.z};
}
