// The last layout preparation before the floating surfaces: the ground
// slab and wire width, the master conductors, and the window with its
// critical box and boundary kind.
#pragma once

#include "foundation/writer.hpp"

struct box;
struct layout;
struct solid;

// "(x0, y0, z0):(x1, y1, z1), xlen: .., ylen: .., zlen: .." in "%.12f".
sea::writer& print_box(sea::writer& w, const box& b);
sea::writer& print_solid(sea::writer& w, const solid& s);

// Ends the run when the ground net is not one box under every other block.
void setup_ground_and_wire_width(layout& l);
// Warns of task names that match no conductor and leaves floating
// conductors out of ALL with a warning; refuses a floating conductor named
// as a master.
void select_masters(layout& l);
// Refuses a run left without any master.
void require_masters(const layout& l);
// The boundary line goes to screen and file, the boxes to the debug log.
void setup_window(layout& l, sea::writer& screen, sea::writer& file);
