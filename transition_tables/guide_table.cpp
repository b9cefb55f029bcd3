#include "transition_tables/guide_table.hpp"

#include <algorithm>
#include <cmath>

namespace {

// One sweep per row: the rows ascend in magnitude, so each cut point starts
// where the previous one stopped. A slice no value reaches points at the
// last panel, where every search ends.
template <class T, class C>
void fill_row(const T* row, std::size_t panels, std::size_t n, C* out) {
    std::size_t i = 0;
    for (std::size_t j = 0; j < n; ++j) {
        const double start = double(j) / double(n);
        while (i + 1 < panels && std::fabs(double(row[i])) < start) ++i;
        out[j] = C(i);
    }
}

template <class T, class C>
void fill(const T* rows, std::size_t count, std::size_t panels, C* cells) {
    for (std::size_t r = 0; r < count; ++r) fill_row(rows + r * panels, panels, guide_cells, cells + r * guide_cells);
}

template <class T>
void fill_records(const T* rows, std::size_t count, std::size_t panels, const guide_entry* cells,
                  slice_record<T>* records) {
    for (std::size_t r = 0; r < count; ++r) {
        const T* row = rows + r * panels;
        for (std::size_t j = 0; j < guide_cells; ++j) {
            slice_record<T>& out = records[r * guide_cells + j];
            out.first = cells[r * guide_cells + j];
            for (std::size_t k = 0; k < 3; ++k) out.value[k] = row[std::min(std::size_t(out.first) + k, panels - 1)];
        }
    }
}

}  // namespace

void build_guides(const float* rows, std::size_t count, std::size_t panels, guide_entry* cells) {
    fill(rows, count, panels, cells);
}
void build_guides(const double* rows, std::size_t count, std::size_t panels, guide_entry* cells) {
    fill(rows, count, panels, cells);
}

void build_slice_records(const float* rows, std::size_t count, std::size_t panels, const guide_entry* cells,
                         slice_record<float>* records) {
    fill_records(rows, count, panels, cells, records);
}
void build_slice_records(const double* rows, std::size_t count, std::size_t panels, const guide_entry* cells,
                         slice_record<double>* records) {
    fill_records(rows, count, panels, cells, records);
}

unsigned guide_bits_for(std::size_t n) {
    unsigned bits = 4;
    while (bits < 20 && (std::size_t(1) << bits) < 2 * n) ++bits;
    return bits;
}

void build_guide(const double* cdf, std::size_t n, unsigned bits, std::uint32_t* cells) {
    fill_row(cdf, n, std::size_t(1) << bits, cells);
}
