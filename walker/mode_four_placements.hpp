// Fitting a cube to the placement tables of mode four: two or three
// interfaces inside a cube must lie, within the placement tolerance, on
// distinct inner boundaries of a 16-cell division of its side. Which cube
// sides do that is a question of small fractions: the offsets of two
// interfaces from the walker must stand nearly in a ratio p / j with j < 8.
// Only the count and the coordinate are inline: the classification takes
// them on every hop, the fit only for cubes holding two or more.
#pragma once

#include "geometry/primitives.hpp"
#include "transition_tables/cube_configurations.hpp"

// Interfaces at offsets t (sorted, from the walker's height) counted
// against a cube of half side a: those below its bottom, and those below
// its bottom or strictly inside it.
struct interface_count {
    int below;
    int inside;
};

inline interface_count count_interfaces(const double (&t)[3], double a) {
    int below = 0;
    while (below < 3 && -a + geom_eps > t[below]) ++below;
    int under_top = 0;
    while (under_top < 3 && a - geom_eps > t[under_top]) ++under_top;
    if (under_top < below) under_top = below;
    return {below, under_top - below};
}

// Cell boundary of the 16-cell division nearest an interface at offset t
// in a cube of half side a (the cube's bottom is boundary 0).
inline double placement_coordinate(double t, double a) { return (t / a + 1.0) * placement_cells_per_half_side; }

// The half side, at most a, of the cube whose n.inside >= 2 interfaces the
// placement tables hold without moving any by more than the tolerance:
// the largest such cube, else the largest holding fewer than two, whose
// one interface the pair tables place exactly.
double fit_placement_cube(const double (&t)[3], double a, interface_count n);
