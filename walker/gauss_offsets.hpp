// How far the Gaussian surface of a master stands off each of its blocks:
// the limits that the block's own size, the wire width, the dielectric
// interfaces, the window and the blocks of other nets set on the offset d,
// and the stratification counts that the nearest neighbour raises. Lengths
// in micrometres.
#pragma once

#include <vector>

#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"

struct gauss_surface;

// Limits on the offset before any neighbour is seen: a multiple of the
// block's longest side and of the wire width.
constexpr double offset_side_factor = 20.0;
constexpr double offset_wire_factor = 100.0;

inline double box_extent(const box& b, int axis) { return axis_of(b.hi, axis) - axis_of(b.lo, axis); }

inline bool boxlike(const solid& s) { return s.kind == solid_box || s.kind == solid_cylinder; }

// The surface's own tolerant maximum: on a near-tie the current value stays.
inline double keep_max(double current, double v) { return v > current + geom_eps ? v : current; }

// The tolerant maximum of the three sides, x, y, z in that order.
double longest_side(const box& b);

// Limits of the offset (before halving) of a block of outer box outer: the
// k-th interface below and above it (k by the dielectric mode), and the
// sides of a Dirichlet window; 1e9 where none limits.
double interface_gap(const gauss_surface& s, const box& outer);
double window_gap(const gauss_surface& s, const box& outer);

// The offset (before halving) that the blocks of other nets leave the solid
// sd of a block of owner, from d down; ratio takes the extent ratios in x
// and y against the last block that limits it. close, when given, receives
// (at least) the blocks closer than tiling_gain times the result, in list
// order.
double neighbour_limit(const solid& sd, const conductor* owner, const std::vector<block*>& blocks, double d,
                       double (&ratio)[2], std::vector<block*>* close = nullptr);

// Raises the surface's stratification counts to the ratios that
// neighbour_limit took.
void raise_strata(gauss_surface& s, const double (&ratio)[2]);

// Ends the run when the surface of the master's block b has no room: the
// message's second line names what is too close, out of blocks.
[[noreturn]] void fail_touched(const gauss_surface& s, const block& b, const std::vector<block*>& blocks);
