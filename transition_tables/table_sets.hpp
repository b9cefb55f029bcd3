// In-memory transition tables, one record per table set. GFT and GFT_IS rows
// are cumulative over the panels of a cube (last entry exactly 1 in
// magnitude); WVT_IS values are absolute first-hop weight factors.
// Configuration c of a set owns gft row c, gft_is rows 3c + axis and
// wvt_is[3c + axis].
//
// A first-hop row is cumulative over the absolute panel masses. When its
// file stored signed masses, the entry of a panel of negative mass carries a
// minus sign and the row's gft_is_signed flag is set; rows without the flag
// (older files, hand-made sets) take the sign from the panel's side of the
// start axis.
//
// Each cumulative row has its cut points (guide_table.hpp), built once the
// rows are complete (build_row_guides). A layered set keeps them in
// gft_guide and gft_is_guide, row after row, and hands its hop rows to the
// walkers through hop_rows, which point into gft and gft_guide: a set is
// not copied once its guides are built. The sets whose hop rows a walk draws
// most (the single, pair, h-pair and equal-slab sets) also keep the slice
// records of those rows; the placement sets, with hundreds of rows drawn
// seldom, do without.
#pragma once

#include <cstddef>
#include <vector>

#include "transition_tables/guide_table.hpp"

// Panels of a cube with n x n panels on each of its six faces.
constexpr std::size_t panels_31 = 6 * 31 * 31;  // 5766
constexpr std::size_t panels_32 = 6 * 32 * 32;  // 6144

// The homogeneous cube, kept in double precision. hop_row points into gft
// and gft_guide: the set is not copied once its guides are built.
struct single_table_set {
    double wvt_is[3];
    double gft[panels_31];
    double gft_is[3 * panels_31];
    unsigned char gft_is_signed[3] = {0, 0, 0};
    guide_entry gft_guide[guide_cells];
    guide_entry gft_is_guide[3 * guide_cells];
    slice_record<double> gft_records[guide_cells];
    guided_row<double> hop_row{};
};

// 30 interface positions of a 31-cell division of the side.
struct pair_table_set {
    std::vector<float> wvt_is, gft, gft_is;
    std::vector<guide_entry> gft_guide, gft_is_guide;
    std::vector<slice_record<float>> gft_records;  // hop rows
    std::vector<guided_row<float>> hop_rows;
    std::vector<unsigned char> gft_is_signed;  // per gft_is row; empty: none
};

// One interface through the walker, 32 panels a side.
struct h_pair_table_set {
    std::vector<float> wvt_is, gft, gft_is;
    std::vector<guide_entry> gft_guide, gft_is_guide;
    std::vector<slice_record<float>> gft_records;  // hop rows
    std::vector<guided_row<float>> hop_rows;
    std::vector<unsigned char> gft_is_signed;
};

// 105 placements of two interfaces.
struct triple_table_set {
    std::vector<float> wvt_is, gft, gft_is;
    std::vector<guide_entry> gft_guide, gft_is_guide;
    std::vector<guided_row<float>> hop_rows;
    std::vector<unsigned char> gft_is_signed;
};

// 455 placements of three interfaces; ordinary hops only.
struct four_layer_table {
    std::vector<float> gft;
    std::vector<guide_entry> gft_guide;
    std::vector<guided_row<float>> hop_rows;
};

// Four slabs of equal height.
struct equal_slab_table_set {
    std::vector<float> wvt_is, gft, gft_is;
    std::vector<guide_entry> gft_guide, gft_is_guide;
    std::vector<slice_record<float>> gft_records;  // hop rows
    std::vector<guided_row<float>> hop_rows;
    std::vector<unsigned char> gft_is_signed;
};
