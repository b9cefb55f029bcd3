// The selection table of a floating surface (conductor::surface_table): its
// layout as the builders (floating_surface.cpp) write it and the jumps of a
// walk (walker/floating_jump.cpp) read it.
//
// Every table starts with the cumulative weights of the surface's pieces.
// What follows them depends on the surface:
// - one box: the side cuts, pairs (height of a cut of the side faces,
//   probability that a side point lies below it), lowest first; a side
//   within one layer has the single pair (its bottom, 0);
// - one prism, "fd": the push distance of each side piece, in piece order
//   (the side pieces follow the cap triangles);
// - any other surface: nothing.
#pragma once

#include <cstddef>
#include <vector>

// Pieces of a one-box surface: its faces, or for "cd" also its edges and
// corners. Both start with the sides 0..3 (-y, -x, +y, +x), then the
// bottom and the top.
constexpr std::size_t box_face_pieces = 6;
constexpr std::size_t box_cd_pieces = 26;
constexpr std::size_t box_bottom_piece = 4;
constexpr std::size_t box_top_piece = 5;

// The further "cd" pieces in table order, each group's first index.
// - vertical edges 6..9: (lo, lo), (lo, hi), (hi, hi), (hi, lo) in (x, y);
// - edges along y 10..13: bottom -x, bottom +x, top +x, top -x;
// - edges along x 14..17: bottom -y, bottom +y, top +y, top -y;
// - corners 18..25: bottom four then top four, each ring (lo, lo), (lo, hi),
//   (hi, hi), (hi, lo) in (x, y).
constexpr std::size_t cd_first_vertical_edge = 6;
constexpr std::size_t cd_first_y_edge = 10;
constexpr std::size_t cd_first_x_edge = 14;
constexpr std::size_t cd_first_corner = 18;

inline bool box_is_side(std::size_t i) { return i < box_bottom_piece; }
inline bool cd_is_vertical_edge(std::size_t i) { return i >= cd_first_vertical_edge && i < cd_first_y_edge; }
inline bool cd_is_horizontal_edge(std::size_t i) { return i >= cd_first_y_edge && i < cd_first_corner; }
inline bool cd_is_edge(std::size_t i) { return i >= cd_first_vertical_edge && i < cd_first_corner; }
inline bool cd_is_corner(std::size_t i) { return i >= cd_first_corner; }

// Appends one side cut to a one-box table.
inline void append_side_cut(std::vector<double>& t, double height, double below) {
    t.push_back(height);
    t.push_back(below);
}

// The side cuts of a one-box table of `pieces` weights.
inline std::size_t side_cut_count(const std::vector<double>& t, std::size_t pieces) {
    return (t.size() - pieces) / 2;
}
inline double side_cut_height(const std::vector<double>& t, std::size_t pieces, std::size_t k) {
    return t[pieces + 2 * k];
}
inline double side_cut_below(const std::vector<double>& t, std::size_t pieces, std::size_t k) {
    return t[pieces + 2 * k + 1];
}

// Push distance of side piece k of a one-prism "fd" table of `pieces`
// weights.
inline double prism_side_push(const std::vector<double>& t, std::size_t pieces, std::size_t k) {
    return t[pieces + k];
}
