// Checks of a parsed layout before anything is derived from it: every later
// step (window, Gaussian surfaces, space manager, walks) assumes finite
// coordinates, positive permittivities and blocks the walks can resolve.
// A refusal is a fatal error ("Fatal error: ...", status 255) naming the
// medium, conductor or block.
#pragma once

#include <vector>

struct layout;
struct medium;

// Largest magnitude of a coordinate or extent, micrometres. Beyond it a
// coordinate meets the guard values that stand for "no bound" (empty boxes,
// the layer stack's end interfaces, "no wire width").
constexpr double layout_coordinate_limit = 1e9;

// Refuses coordinates or extents that are not finite or beyond
// layout_coordinate_limit, permittivities that are not finite and positive,
// degenerate blocks (an extent or cross-section width of at most 1e-9, a
// radius that is not positive) and blocks that are thinner than the touch
// distance in two directions (lines and specks; a thin sheet is kept). Solids
// arrive with lo <= hi: the reader orders a negative extent. The ground
// net's blocks are only range-checked, since the ground becomes a slab of
// its own.
void validate_layout(const layout& l);

// With a Neumann window, refuses a master with a block that does not reach
// into the window: its walks could never start.
void check_masters_inside_window(const layout& l);

// The layer stack describes horizontal layers only: refuses media (in input
// order) that do not share one x-y extent, that have no height, or that
// overlap, nest or leave a gap in height, each by more than 1e-9. Media
// given in any order that tile the height pass.
void check_media_form_layers(const std::vector<medium>& media);
