#include "geometry/layout.hpp"

#include "geometry/primitives.hpp"

namespace {

// Half side of the inner box of a prism, around its vertex centroid.
constexpr double prism_inner_half_side = 0.0001;
constexpr double half_sqrt2 = 0.7071067811865476;

solid with_boxes(solid s, const box& inner, const box& outer) {
    s.inner_box = inner;
    s.outer_box = outer;
    s.inner_boxes.push_back(inner);
    s.outer_boxes.push_back(outer);
    return s;
}

}  // namespace

solid make_box_solid(const box& b) {
    solid s;
    s.kind = solid_box;
    s.shape.box = b;
    return with_boxes(std::move(s), b, b);
}

solid make_cylinder_solid(const vec3& centre, double radius, double half_height) {
    solid s;
    s.kind = solid_cylinder;
    s.shape.cylinder = cylinder_t{centre, radius, half_height};
    const double k = radius * half_sqrt2;
    box inner{{centre.x - k, centre.y - k, centre.z - half_height},
              {centre.x + k, centre.y + k, centre.z + half_height}};
    box outer{{centre.x - radius, centre.y - radius, centre.z - half_height},
              {centre.x + radius, centre.y + radius, centre.z + half_height}};
    return with_boxes(std::move(s), inner, outer);
}

solid make_nprism_solid(const nprism_t& p) {
    solid s;
    s.kind = solid_prism;
    s.shape.prism = p;
    double cx = 0.0, cy = 0.0;
    for (uint64_t i = 0; i < p.n; ++i) {
        cx += p.vertex[i].x;
        cy += p.vertex[i].y;
    }
    if (p.n > 0) {
        cx /= double(p.n);
        cy /= double(p.n);
    }
    box inner{{cx - prism_inner_half_side, cy - prism_inner_half_side, p.z0},
              {cx + prism_inner_half_side, cy + prism_inner_half_side, p.z1}};
    return with_boxes(std::move(s), inner, outline_bounds(p.vertex, p.n, p.z0, p.z1));
}
