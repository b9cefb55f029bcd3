// What a nearest-block query returns, and the per-walker hint that lets a run
// of nearby queries reuse the cell found last. Distances are L-infinity, in
// micrometres.
#pragma once

struct block;
namespace spacemgr {
struct candlist;
}

struct nearest_result {
    // Nearest block, or null when none lies within the limit or the answer is
    // a window side.
    const ::block* block;
    // Half side of the largest empty cube around the point; 0 when touching.
    double dist;
    // Only `block` lies within this distance (capped at its factor times
    // `dist`); 0 when touching.
    double bound;
};

// One per index and walker; the walker owns it and clears it when made.
struct search_hint {
    const spacemgr::candlist* list = nullptr;  // list used last for this index
    double radius = 0.0;  // around the last point the list is complete within this
    // Leaf of the index's wide tree used last, while it answers better than
    // the cells (indexes without one leave it null).
    const spacemgr::candlist* wide = nullptr;
};
