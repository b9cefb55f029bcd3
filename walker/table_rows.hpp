// Row access into the loaded transition tables. Rows are cumulative over the
// panels of one cube (5766 for 31-panel sets, 6144 for 32-panel sets);
// configuration c of a set owns gft row c, gft_is rows 3c + axis and the
// weight values wvt_is[3c + axis].
#pragma once

#include <cstdint>

#include "transition_tables/table_store.hpp"
#include "walker/layer_index.hpp"
#include "walker/transfer.hpp"

inline const double* single_gft(const table_store& t) { return &t.single.gft[0]; }
inline const double* single_gft_is(const table_store& t, int axis) {
    return &t.single.gft_is[0] + std::size_t(axis) * panel_count<31>;
}
inline double single_wvt_is(const table_store& t, int axis) { return t.single.wvt_is[axis]; }

template <class Set>
inline const float* pair_gft(const Set& s, uint64_t p) { return &s.gft[0] + p * panel_count<31>; }
template <class Set>
inline const float* pair_gft_is(const Set& s, uint64_t p, int axis) {
    return &s.gft_is[0] + (3 * p + uint64_t(axis)) * panel_count<31>;
}
template <class Set>
inline double pair_wvt_is(const Set& s, uint64_t p, int axis) { return s.wvt_is[3 * p + uint64_t(axis)]; }

template <class Set>
inline const float* h_pair_gft(const Set& s) { return &s.gft[0]; }
template <class Set>
inline const float* h_pair_gft_is(const Set& s, int axis) {
    return &s.gft_is[0] + std::size_t(axis) * panel_count<32>;
}
template <class Set>
inline double h_pair_wvt_is(const Set& s, int axis) { return s.wvt_is[axis]; }

template <class Set>
inline const float* triple_gft(const Set& s, uint64_t p) { return &s.gft[0] + p * panel_count<32>; }
template <class Set>
inline const float* triple_gft_is(const Set& s, uint64_t p, int axis) {
    return &s.gft_is[0] + (3 * p + uint64_t(axis)) * panel_count<32>;
}
template <class Set>
inline double triple_wvt_is(const Set& s, uint64_t p, int axis) { return s.wvt_is[3 * p + uint64_t(axis)]; }

template <class Set>
inline const float* four_layer_gft(const Set& s, uint64_t p) { return &s.gft[0] + p * panel_count<32>; }

template <class Set>
inline const float* equal_slab_gft(const Set& s) { return &s.gft[0]; }
template <class Set>
inline const float* equal_slab_gft_is(const Set& s, int axis) {
    return &s.gft_is[0] + std::size_t(axis) * panel_count<32>;
}
template <class Set>
inline double equal_slab_wvt_is(const Set& s, int axis) { return s.wvt_is[axis]; }

// Ratio-grid positions and weights per interface (empty outside grid modes).
inline grid_weights table_grid_weights(const table_store& t) {
    return {t.interface_table_pos.data(), t.interface_weight.data()};
}
