// Cut points of a cumulative row (a guide table), so that a draw finds its
// panel in a step or two instead of a binary search.
//
// The range [0, 1) of a uniform draw is cut into 2^bits equal slices; cut
// point j is the first panel whose value reaches j 2^-bits, the slice's lower
// end. A draw r in slice j lies at or above that end, so no panel before the
// cut point can be its panel: stepping forward from it to the first value
// that reaches r finds exactly the panel a lower-bound search of the whole
// row finds. The slice is the top bits of the draw's 32-bit integer.
//
// Cut points are kept in the row's own type (small integers, exact), 2^12 of
// them for a float row and 2^11 for a double row: 16 KiB a row, less than
// 4 bytes per panel of the 5766- and 6144-panel rows.
#pragma once

#include <cstddef>
#include <cstdint>

template <class T>
constexpr unsigned guide_bits = sizeof(T) == sizeof(float) ? 12 : 11;
template <class T>
constexpr std::size_t guide_cells = std::size_t(1) << guide_bits<T>;

// The slice of the draw r = k 2^-32.
template <class T>
inline std::size_t guide_slice(std::uint32_t k) { return k >> (32 - guide_bits<T>); }

// A cumulative row and its cut points.
template <class T>
struct guided_row {
    const T* cdf;
    const T* cells;
};

// Fills the guide_cells<T> cut points of each of count rows of the given
// length, stored one after another. Values are compared by magnitude:
// first-hop rows carry their panels' signs, hop rows are non-negative.
void build_guides(const float* rows, std::size_t count, std::size_t panels, float* cells);
void build_guides(const double* rows, std::size_t count, std::size_t panels, double* cells);
