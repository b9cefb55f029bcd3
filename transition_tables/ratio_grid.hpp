// The 51 permittivity ratios whose pair and h-pair tables stand in for any
// interface in the interpolating modes, and the placement of interfaces on
// that grid.
#pragma once

#include <cstddef>
#include <string>

struct layer_stack;
struct table_selection;

constexpr std::size_t ratio_grid_size = 51;
// Filled just before the grid loaders run; read by them only.
extern double ratio_grid[ratio_grid_size];

// 0.02 x 50^(k/50), top entry exactly 1.
void fill_geometric_ratio_grid();
// 0.02, 0.04, ... accumulated in double, top entry exactly 1.
void fill_arithmetic_ratio_grid();

// Per interface: its grid cell, signed weight and list position; the sets
// of a cell's two ratios are appended once per distinct cell. Stops with
// selection.ratio_refused at a ratio of 50 or more.
void load_pair_grid_tables(table_selection& selection, const layer_stack& stack, const std::string& prefix);
void load_h_pair_grid_tables(table_selection& selection, const layer_stack& stack, const std::string& prefix);
