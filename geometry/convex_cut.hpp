// Convex outlines into pieces of three or four vertices: a fan from the
// first vertex, or bands across the longer side when the outline is large.
#pragma once

#include <vector>

#include "geometry/polygon.hpp"

namespace polygon_detail {

// A piece of vertices `vertex` between the heights of `like`.
poly_record make_piece(const poly_record& like, std::vector<vec2> vertex);

// The bounding rectangle of an outline.
struct rectangle {
    double lo_x, hi_x, lo_y, hi_y;
};

rectangle bounds(const std::vector<vec2>& v);

// A convex anticlockwise outline into pieces of three or four vertices.
void cut_convex(const poly_record& like, std::vector<vec2> v, std::vector<poly_record>& pieces);

}  // namespace polygon_detail
