// Writes the prepared layout back as a geometry file ("--dump-layout"),
// optionally tiled and turned about z, then the run ends.
#pragma once

#include "foundation/writer.hpp"

struct layout;
struct solid;

// Does nothing and returns false without "--dump-layout"; otherwise writes
// the dump, prints "dump layout finished." and returns true: the run ends
// there, normally (status 0), before any table is loaded.
bool dump_layout(layout& l);

// Appends the tile copies of every net ("--dump-tile-nx/ny/nz").
void replicate_layout_tiles(layout& l);

// The dump text of the layout, plain or turned by degrees about z.
void write_layout(sea::writer& w, const layout& l);
void dump_rotated_layout(sea::writer& w, const layout& l, double degrees);

// One block section of the dump (box, cylinder or poly).
sea::writer& dump_solid(sea::writer& w, const solid& s);
