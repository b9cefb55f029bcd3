// Tests that let one block hide another in a cell list: a hidden block is
// farther than the hider (its distance divided by the hider's factor) from
// every point of the cell. A test may answer false when unsure; it must never
// answer true wrongly, or a query could miss the nearest block.
#pragma once

#include <vector>

#include "geometry/box.hpp"
#include "geometry/primitives.hpp"
#include "space/box_measures.hpp"

namespace spacemgr {

struct candlist;

// A box seen from a cube cell: its distance beyond the cell, and per axis
// how far its lower side lies above the cell's lower face and its upper
// side below the cell's upper face. A list measures a block's boxes once
// and tests them against each entry's.
struct cell_gaps {
    double dist;
    double lo[3];
    double hi[3];
};

inline cell_gaps measure_gaps(const vec3& centre, double half, const box& b) {
    cell_gaps g;
    g.dist = box_distance(b, centre) - half;
    for (int k = 0; k < 3; ++k) {
        g.lo[k] = axis_of(b.lo, k) - (axis_of(centre, k) - half);
        g.hi[k] = (axis_of(centre, k) + half) - axis_of(b.hi, k);
    }
    return g;
}

// Hider box a (inside the hider's solid) is within the distance of hidden box
// b divided by factor from every point of the cell.
inline bool dominates(const cell_gaps& a, const cell_gaps& b, int factor) {
    // Division by 1 is exact: skipping it changes no answer.
    auto share = [factor](double x) { return factor == 1 ? x : x / factor; };
    const double t = share(b.dist);  // b is at least this far
    if (a.dist - geom_eps > t) return false;
    // Per axis, the worst point of the cell is at the cell face away from a's
    // side; there a's gap must not exceed what b's distance allows: the
    // bound t, or b's own gap on that axis divided by factor (factor >= 1, so
    // b's share shrinks no faster than a's gap grows across the cell).
    for (int k = 0; k < 3; ++k) {
        if (!(a.lo[k] < std::max(t, share(b.lo[k])) + geom_eps)) return false;
        if (!(a.hi[k] < std::max(t, share(b.hi[k])) + geom_eps)) return false;
    }
    return true;
}

// `dominates` for two boxes measured from the cell.
bool dominate_test(const candlist& cell, const box& a, const box& b, int factor);

// The hider's boxes a together are within the distance of hidden box b divided
// by factor from every point of the cell: they cover the cell once grown by
// the lower bound of that distance.
bool dominate_group(const candlist& cell, const std::vector<box>& a, const box& b, int factor);

}  // namespace spacemgr
