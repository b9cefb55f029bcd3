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

// Where a face's panels lie: the face's side (+1 or -1 along its axis) and,
// for each of x, y and z, which of (that side, the row coordinate, the
// column coordinate) it takes.
struct panel_face_frame {
    double side;
    int take[3];
};

constexpr panel_face_frame make_panel_face_frame(int face) {
    int code = panel_face_code[face];
    const double side = code < 3 ? 1.0 : -1.0;
    if (code >= 3) code -= 3;
    panel_face_frame f{side, {0, 0, 0}};
    f.take[panel_row_axis[code]] = 1;
    f.take[panel_column_axis[code]] = 2;
    return f;
}

constexpr panel_face_frame panel_face_frames[6] = {make_panel_face_frame(0), make_panel_face_frame(1),
                                                    make_panel_face_frame(2), make_panel_face_frame(3),
                                                    make_panel_face_frame(4), make_panel_face_frame(5)};

// Centre coordinate of row or column k of n: (2k + 1) / n - 1.
template <int N>
struct panel_centres {
    double at[N];
};

template <int N>
constexpr panel_centres<N> make_panel_centres() {
    panel_centres<N> c{};
    for (int k = 0; k < N; ++k) c.at[k] = double(2 * k + 1) / N - 1.0;
    return c;
}

template <int N>
constexpr panel_centres<N> panel_centre = make_panel_centres<N>();

// Unit-cube direction (half side 1) of panel i: the panel's centre. Tables,
// not branches on the face: every hop draws a panel at random.
template <int N>
inline vec3 panel_direction(std::size_t i) {
    const std::size_t face = i / std::size_t(N * N);
    const std::size_t rest = i % std::size_t(N * N);
    const panel_face_frame& f = panel_face_frames[face];
    const double v[3] = {f.side, panel_centre<N>.at[rest / N], panel_centre<N>.at[rest % N]};
    return {v[f.take[0]], v[f.take[1]], v[f.take[2]]};
}
