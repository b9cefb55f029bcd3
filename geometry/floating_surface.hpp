// Floating conductors: the stand-off distance d of their surfaces and, per
// floating conductor, the surface elements and selection table the jumps
// of a walk draw from.
#pragma once

#include "geometry/vec3.hpp"

struct conductor;
struct layout;
struct solid;

// Computes d into l.floating_d and builds every floating surface. Ends the
// run when a floating conductor touches or overlaps another net.
void setup_floating_conductors(layout& l);

// The jumps of a walk cannot leave a floating conductor of one cylinder
// block. Ends the run with status 255: the message on the error log writer
// and a line naming the conductor; `cleanup` runs the clean-up at exit.
[[noreturn]] void cylinder_floating_failure(const conductor& c, bool cleanup);

// The surface elements and selection table of one floating conductor of
// two or more blocks, and of one of a single block, at the distance
// cfg.floating_d.
void build_multi_block_floating_surface(const layout& l, conductor& c);
void build_single_block_floating_surface(const layout& l, conductor& c);

// L-infinity gap between two solids; negative when they overlap.
double block_pair_distance(const solid& a, const solid& b);
double point_line_distance_2d(const vec2& q, const vec2& a, const vec2& b);
