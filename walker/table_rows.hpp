// Row access into the loaded transition tables. Rows are cumulative over the
// panels of one cube (5766 for 31-panel sets, 6144 for 32-panel sets);
// configuration c of a set owns gft row c, gft_is rows 3c + axis and the
// weight values wvt_is[3c + axis]. Single-configuration sets (h-pair, equal
// slab) are configuration 0. Every row comes with its cut points, so a draw
// costs a step or two, not a search.
#pragma once

#include <cstdint>
#include <type_traits>

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

template <int N>
struct panels_per_side {
    static constexpr int value = N;
};

// The four-layer sets hold hop rows only.
template <class Set>
constexpr bool has_first_hop_rows = !std::is_same<Set, four_layer_table>::value;

// Hands f the table sets of a layered cube: panels_per_side<N>, the cube's
// set, the set a blend mixes in (the same one unless b blends) and the
// configuration's row. Sets that no ratio grid blends clear b.single.
template <class F>
inline void with_cube_sets(const table_store& t, const cube_fields& c, row_blend& b, F&& f) {
    const uint64_t k = c.table_index, p = c.interface_pos;
    switch (c.cube_type) {
    case cube_one_interface: f(panels_per_side<31>{}, *t.pair_list[k], *t.pair_list[b.single ? k : k + 1], p); return;
    case cube_on_interface:
        f(panels_per_side<32>{}, *t.h_pair_list[k], *t.h_pair_list[b.single ? k : k + 1], uint64_t(0));
        return;
    case cube_two_interfaces:
        b.single = true;
        f(panels_per_side<32>{}, *t.triple_list[k], *t.triple_list[k], p);
        return;
    case cube_three_interfaces:
        b.single = true;
        f(panels_per_side<32>{}, *t.four_layer_list[k], *t.four_layer_list[k], p);
        return;
    default:
        b.single = true;
        f(panels_per_side<32>{}, *t.equal_slab_list[k], *t.equal_slab_list[k], uint64_t(0));
    }
}

// The start step halves a cube until it holds fewer than three interfaces,
// which always succeeds: reaching a first hop with three is a fault.
[[noreturn, gnu::cold]] void three_interfaces_at_start();

// Ratio-grid positions and weights per interface (empty outside grid modes).
inline grid_weights table_grid_weights(const table_store& t) {
    return {t.interface_table_pos.data(), t.interface_weight.data()};
}
