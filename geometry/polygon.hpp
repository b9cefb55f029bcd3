// Polygons of the geometry file's polygon blocks: cleaning and the cut into
// convex pieces that prism blocks can hold. Outlines are anticlockwise seen
// from +z. Preparation-time code on the main thread.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/vec3.hpp"

// A polygon of the geometry file between two heights; every operation
// carries z0 and z1 unchanged into its results.
struct poly_record {
    uint64_t n = 0;
    std::vector<vec2> vertex;
    double z0 = 0.0;
    double z1 = 0.0;
};

// Drops, in place, every vertex that repeats the one before it within 1e-9
// in x and in y (the later one stays), then a last vertex that repeats the
// first (an outline written closed). Straight-through vertices stay.
void remove_repeated_vertices(poly_record& poly);

// Drops repeated and straight-through vertices in place. Fatal (status -1)
// on a vertex that turns back along its line or fewer than three vertices.
void delete_duplicate_point(poly_record& poly);

// Appends convex anticlockwise pieces of 3 or 4 vertices. Fatal (status -1)
// when no valid cut exists at a reflex vertex. A small convex outline is cut
// as a fan from its first vertex, a large one into bands across its shorter
// side, in which no vertex lies in more than three pieces.
void decompose_poly(const poly_record& poly, std::vector<poly_record>& pieces);

// 1 when every right-turn vertex sees another vertex ahead of its bisector,
// else 0 (a clockwise convex outline gives 0).
int poly_split_check(const vec2* vertex, uint64_t n);
