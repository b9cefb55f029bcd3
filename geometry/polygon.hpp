// Geometry of horizontal outlines: polygon cleaning and convex decomposition
// for polygon blocks, and prism growth, faces, slab cuts and box faces.
// Outlines are anticlockwise seen from +z; the outward normal of the edge
// from v_i to v_i+1 is (dy, -dx) normalised. Preparation-time code, except
// expand_prism and box_face_of_point, which walk threads also call.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/box.hpp"
#include "geometry/layout.hpp"
#include "geometry/surface_element.hpp"
#include "geometry/vec3.hpp"

// A polygon of the geometry file between two heights; every operation
// carries z0 and z1 unchanged into its results.
struct poly_record {
    uint64_t n = 0;
    std::vector<vec2> vertex;
    double z0 = 0.0;
    double z1 = 0.0;
};

// Drops repeated and straight-through vertices in place. Fatal (status -1)
// on a vertex that turns back along its line or fewer than three vertices.
void delete_duplicate_point(poly_record& poly);

// Appends convex anticlockwise pieces of 3 or 4 vertices. Fatal (status -1)
// when no valid cut exists at a reflex vertex.
void decompose_poly(const poly_record& poly, std::vector<poly_record>& pieces);

// 1 when every right-turn vertex sees another vertex ahead of its bisector,
// else 0 (a clockwise convex outline gives 0).
int poly_split_check(const vec2* vertex, uint64_t n);

// The prism grown outward by d: each edge moved out by d (2n vertices, each
// corner bevelled), z0 - d and z1 + d. Fatal without clean-up for more than
// four vertices (status -1) or fewer than two (status 1).
nprism_t expand_prism(const nprism_t& p, double d);

// Longest slanted edge over shortest edge; 0 without slanted edges.
double prism_edge_ratio(const nprism_t& p);

// Appends the six faces of b (faces +x, +y, +z, -x, -y, -z).
void box_faces(const box& b, std::vector<surface_element>& out);

// Appends the fan triangles of bottom and top (2n - 4), then one side per edge.
void prism_faces(const nprism_t& p, std::vector<surface_element>& out);

// Crossing points of the outline with the line x = c (y = c); two points come
// ordered by increasing y (x).
std::vector<vec2> prism_cut_x(const nprism_t& p, double c);
std::vector<vec2> prism_cut_y(const nprism_t& p, double c);

// Cuts the prism into slabs across its longer side (at every vertex and at
// pieces - 1 even lines) and appends one inner and one outer box per slab.
void split_prism_pieces(const nprism_t& p, uint64_t pieces, std::vector<box>& inner,
                        std::vector<box>& outer);

// Same slabs, appended as prism solids.
void split_block(const nprism_t& p, uint64_t pieces, std::vector<solid>& out);

// Face of b beyond which p lies farthest (largest gap; a near-tie keeps the
// lower number), numbered 0..5 = x-min, y-min, z-min, x-max, y-max, z-max.
int box_face_of_point(const vec3& p, const box& b);
