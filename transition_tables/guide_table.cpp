#include "transition_tables/guide_table.hpp"

#include <cmath>

namespace {

// One sweep per row: the rows ascend in magnitude, so each cut point starts
// where the previous one stopped. A slice no value reaches points at the
// last panel, where every search ends.
template <class T, class C>
void fill(const T* rows, std::size_t count, std::size_t panels, C* cells) {
    constexpr std::size_t n = guide_cells;
    for (std::size_t r = 0; r < count; ++r) {
        const T* row = rows + r * panels;
        C* out = cells + r * n;
        std::size_t i = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const double start = double(j) / double(n);
            while (i + 1 < panels && std::fabs(double(row[i])) < start) ++i;
            out[j] = C(i);
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
