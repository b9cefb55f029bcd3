// Geometry of prisms (vertical prisms over a convex outline) and boxes:
// growth, surface elements, slab cuts and the face beyond which a point
// lies. Outlines are anticlockwise seen from +z, so the outward normal of
// the edge from v_i to v_i+1 is edge_normal(v_i, v_i+1). Preparation-time code,
// except expand_prism and box_face_of_point, which walk threads also call.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/box.hpp"
#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "geometry/surface_element.hpp"
#include "geometry/vec3.hpp"

// The vertex after v_i, the last one closing the outline.
inline const vec2& next_vertex(const nprism_t& p, uint64_t i) { return p.vertex[next_index(i, p.n)]; }

// The prism grown outward by d: each edge moved out by d (2n vertices, each
// corner bevelled), z0 - d and z1 + d. Fatal without clean-up for more than
// four vertices (status -1) or fewer than two (status 1).
nprism_t expand_prism(const nprism_t& p, double d);

// A prism outline of n vertices that no prism can hold: "nprism_t error:
// vertex number n not supported." on the error log writer, then exit status
// 1 without the clean-up at exit.
[[noreturn]] void prism_vertex_count_failure(uint64_t n);

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
