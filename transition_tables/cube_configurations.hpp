// What the rows of the layered table sets mean: where each configuration puts
// its interfaces in the cube. The table generator writes rows in this order
// and the walkers' classification reads them in it.
#pragma once

#include <cstdint>

// Pair sets: the cube's side is cut into 31 cells along z, the walker at the
// centre of cell 15; row p has its interface between cells p and p + 1.
constexpr int pair_cells = 31;
constexpr int pair_walker_cell = 15;
constexpr int pair_rows = pair_cells - 1;

// Triple and four-layer sets: the side is cut into 16 cells, and interfaces
// lie on inner cell boundaries i = 1 .. 15, at -1 + i / 8 half sides.
constexpr int placement_cells_per_half_side = 8;
constexpr int placement_boundaries = 2 * placement_cells_per_half_side - 1;
// Largest move, as a fraction of the half side, by which an interface is
// snapped onto a boundary. A move changes the result by about its own
// fraction of the cube (moves of a/32 on a thin high-contrast layer bias it
// by 3 %, a/64 still by 1.7 %), so only a move far below the finest
// accuracy asked for is harmless.
constexpr double placement_tolerance = 1e-4;

// Placement rows: the boundaries 1 <= i < j (< k) <= 15 numbered densely in
// lexicographic order, so that every placement owns one row.
constexpr int two_interface_rows = 105;
constexpr int three_interface_rows = 455;
inline uint64_t two_interface_placement(int i, int j) {
    return uint64_t((30 - i) * (i - 1) / 2 + (j - i) - 1);
}
inline uint64_t three_interface_placement(int i, int j, int k) {
    // Triples whose first boundary is below i, then pairs (j', k') of this i
    // with j' < j, then the position of k.
    return uint64_t((2730 - (15 - i) * (16 - i) * (14 - i)) / 6 + ((30 - i - j) * (j - 1 - i)) / 2 + (k - j) - 1);
}
