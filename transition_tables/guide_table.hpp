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
// A row has 2^11 cut points of 16 bits: 4 KiB, under 0.75 bytes a panel of
// the 5766- and 6144-panel rows, with about three panels a slice. (Twice as
// many slices measured no faster.)
#pragma once

#include <cstddef>
#include <cstdint>

using guide_entry = std::uint16_t;  // a panel index; rows have at most 6144 panels

constexpr unsigned guide_bits = 11;
constexpr std::size_t guide_cells = std::size_t(1) << guide_bits;

// The slice of the draw r = k 2^-32.
inline std::size_t guide_slice(std::uint32_t k) { return k >> (32 - guide_bits); }

// The cut point of one slice with the row's values at it and at the panels
// just after it. A draw reads the cut point, then the row where it points:
// two dependent loads, and the rows drawn most (tens of kilobytes each, a
// hundred and more of them in a layered stack) seldom stay in cache. Most
// draws end within a slice's first three panels, so with the values beside
// the cut point they end in the one line that held it.
template <class T>
struct alignas(sizeof(T) == 4 ? 16 : 32) slice_record {
    guide_entry first;
    // The row at first, first + 1 and first + 2; past the last panel, the
    // last panel's value (never read: a draw stops there).
    T value[3];
};

// A cumulative row and its cut points; the slice records, when the row has
// them, hold the same cut points.
template <class T>
struct guided_row {
    const T* cdf;
    const guide_entry* cells;
    const slice_record<T>* records = nullptr;
};

// Fills the guide_cells cut points of each of count rows of the given
// length, stored one after another. Values are compared by magnitude:
// first-hop rows carry their panels' signs, hop rows are non-negative.
void build_guides(const float* rows, std::size_t count, std::size_t panels, guide_entry* cells);
void build_guides(const double* rows, std::size_t count, std::size_t panels, guide_entry* cells);

// Fills the guide_cells slice records of each of count rows from their cut
// points (as build_guides made them).
void build_slice_records(const float* rows, std::size_t count, std::size_t panels, const guide_entry* cells,
                         slice_record<float>* records);
void build_slice_records(const double* rows, std::size_t count, std::size_t panels, const guide_entry* cells,
                         slice_record<double>* records);

// The cut points of one cumulative table of n values (not a transition
// row) over 2^bits slices, bits at most 31: 32-bit entries, and about two
// slices a value (guide_bits_for), so that a draw takes a step or two
// however many values the table has.
unsigned guide_bits_for(std::size_t n);
void build_guide(const double* cdf, std::size_t n, unsigned bits, std::uint32_t* cells);
