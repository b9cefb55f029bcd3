// Tiles of a large block: a block whose offset a small neighbour near one
// part of it sets is wrapped by several grown boxes, each with the offset
// its own neighbourhood allows. Lengths in micrometres.
#pragma once

#include <vector>

#include "geometry/layout.hpp"

struct gauss_surface;

// A block is cut into tiles (see tile_block) only when some tile gains at
// least this factor over the block's own offset. Smaller gains pay too,
// less (a plate whose tiles gain 2 needs 3.5 times fewer walks, one whose
// tiles gain 16 eight times fewer), but in ordinary layouts a block gains
// at most about 4 (a wire with a neighbour near one end), converges well
// with its single grown box, and keeps the results it had.
constexpr double tiling_gain = 16.0;

// Cuts a box or cylinder block of offset d into tiles and appends their
// grown boxes, or returns false (nothing appended) when no tile would gain
// tiling_gain over d. blocks are the blocks to look at, close those that
// neighbour_limit collected for d.
bool tile_block(gauss_surface& s, const block& b, double d, const std::vector<block*>& blocks,
                const std::vector<block*>& close);
