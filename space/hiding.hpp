// Tests that let one block hide another in a cell list: a hidden block is
// farther than the hider (its distance divided by the hider's factor) from
// every point of the cell. A test may answer false when unsure; it must never
// answer true wrongly, or a query could miss the nearest block.
#pragma once

#include <vector>

#include "geometry/box.hpp"

namespace spacemgr {

struct candlist;

// Hider box a (inside the hider's solid) is within the distance of hidden box
// b divided by factor from every point of the cell.
bool dominate_test(const candlist& cell, const box& a, const box& b, int factor);

// The hider's boxes a together are within the distance of hidden box b divided
// by factor from every point of the cell: they cover the cell once grown by
// the lower bound of that distance.
bool dominate_group(const candlist& cell, const std::vector<box>& a, const box& b, int factor);

}  // namespace spacemgr
