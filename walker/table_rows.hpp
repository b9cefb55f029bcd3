// Row access into the loaded transition tables. Rows are cumulative over the
// panels of one cube (5766 for 31-panel sets, 6144 for 32-panel sets);
// configuration c of a set owns gft row c, gft_is rows 3c + axis and the
// weight values wvt_is[3c + axis]. Single-configuration sets (h-pair, equal
// slab) are configuration 0. Every row comes with its cut points, so a draw
// costs a step or two, not a search.
#pragma once

#include <cstdint>

#include "transition_tables/table_store.hpp"
#include "walker/layer_index.hpp"
#include "walker/transfer.hpp"

// The homogeneous hop row with its cut points.
inline const guided_row<double>* single_gft(const table_store& t) { return &t.single.hop_row; }
inline first_hop_row<double> single_first_hop(const table_store& t, int axis) {
    return {&t.single.gft_is[0] + std::size_t(axis) * panel_count<31>, t.single.gft_is_signed[axis] != 0,
            t.single.wvt_is[axis], &t.single.gft_is_guide[0] + std::size_t(axis) * guide_cells};
}

// Hop row of configuration c of a layered set with N panels a side, with
// its cut points (built by build_row_guides).
template <int N, class Set>
inline const guided_row<float>* set_gft(const Set& s, uint64_t c) { return &s.hop_rows[c]; }

// First-hop row of configuration c for the start axis; sets made without
// sign flags read every row with the landing-side rule.
template <int N, class Set>
inline first_hop_row<float> set_first_hop(const Set& s, uint64_t c, int axis) {
    const uint64_t row = 3 * c + uint64_t(axis);
    const guide_entry* cells = s.gft_is_guide.empty() ? nullptr : &s.gft_is_guide[0] + row * guide_cells;
    return {&s.gft_is[0] + row * panel_count<N>, row < s.gft_is_signed.size() && s.gft_is_signed[row] != 0,
            s.wvt_is[row], cells};
}

// Ratio-grid positions and weights per interface (empty outside grid modes).
inline grid_weights table_grid_weights(const table_store& t) {
    return {t.interface_table_pos.data(), t.interface_weight.data()};
}
