// Panel order of a transition cube's surface, shared by the table files, the
// table generator and the walkers.
//
// Face, then row, then column, n x n panels per face (n = 31 or 32); faces
// -z, -y, +x, +y, -x, +z. Rows run along z on x and y faces and along y on
// z faces; columns along y on x faces and along x otherwise. Row and column
// 0 lie at the low end of their axis.
#pragma once

#include <cstddef>

#include "geometry/vec3.hpp"

// Face number -> direction code: below 3 the + side of that axis, else the
// - side of axis code - 3.
constexpr int panel_face_code[6] = {5, 4, 0, 1, 3, 2};
constexpr int panel_row_axis[3] = {2, 2, 1};
constexpr int panel_column_axis[3] = {1, 0, 0};

template <int N>
constexpr std::size_t panel_count = std::size_t(6 * N * N);

// Unit-cube direction (half side 1) of panel i: the panel's centre.
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
