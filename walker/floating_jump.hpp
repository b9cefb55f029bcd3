// Crossing a floating conductor: a walk that touches one of its blocks is
// moved to a point of the conductor's floating surface, which stands off the
// conductor at the floating distance d ("--floating-d").
#pragma once

#include <cstdint>

#include "geometry/layout.hpp"
#include "walker/random_draw.hpp"

struct configure;

// The walker state a jump reads and writes.
struct jump_state {
    walker_rng& rng;
    vec3& pos;
    uint64_t& hops;
    const configure& cfg;
    const window& win;
    double floating_d;  // the layout's floating distance
};

// Moves pos onto the floating surface of b's conductor, strictly inside the
// window box; every draw that had to be repeated for the window counts a hop.
// Ends the process for a conductor made of one cylinder.
void jump_floating(jump_state& w, const block& b);

// Several blocks: draws from the elements and tests the point against the
// grown blocks the builder stored with the conductor.
void jump_floating_multi_block(jump_state& w, const conductor& f);
void jump_floating_prism_fd(jump_state& w, const block& b);
void jump_floating_prism_easy(jump_state& w, const block& b);
void jump_floating_box_cd(jump_state& w, const block& b);
void jump_floating_box_fd(jump_state& w, const block& b);
void jump_floating_box_easy(jump_state& w, const block& b);
