#include "geometry/layout_builder.hpp"

#include <cmath>
#include <string>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/run_end.hpp"
#include "geometry/parse_layout.hpp"
#include "geometry/polygon.hpp"
#include "geometry/prism.hpp"
#include "geometry/primitives.hpp"

namespace {

// Half side of the square that has the area of a circle of radius 1.
constexpr double square_of_circle_area = 0.886226925452759;

// Vertex counts of a convex polygon piece that a prism block can hold.
constexpr uint64_t max_piece_vertices = 4;
constexpr uint64_t min_piece_vertices = 3;

std::string name_or_default(const char* name) { return name ? std::string(name) : make_default_name(); }

solid piece_solid(const poly_record& piece, bool manhattan_approximation) {
    if (!poly_split_check(piece.vertex.data(), piece.n))
        log_error_w().printf("Implemetation error: convex vertex should be anticlock. (lumod)\n").flush();
    if (piece.n > max_piece_vertices) {
        sea::end_run("Implemetation error: convex sides should less than 5. (lumod)\n", -1);
    }
    if (piece.n < min_piece_vertices) prism_vertex_count_failure(piece.n);
    nprism_t p{};
    p.n = piece.n;
    for (uint64_t i = 0; i < piece.n; ++i)
        p.vertex[i] = piece.vertex[i];
    p.z0 = piece.z0;
    p.z1 = piece.z1;
    if (manhattan_approximation)
        return make_box_solid(make_nprism_solid(p).outer_box);
    return make_nprism_solid(p);
}

// A box written with a negative extent is the same box: later steps, and
// the window that grows over the media, take lo <= hi for granted.
box ordered_box(const vec3& a, const vec3& b) {
    return {{std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fmin(a.z, b.z)},
            {std::fmax(a.x, b.x), std::fmax(a.y, b.y), std::fmax(a.z, b.z)}};
}

}  // namespace

block_shape layout_builder::box_shape(const vec3& base, const vec3& v1, const vec3& v2, const vec3& h) const {
    return {{make_box_solid(ordered_box(base, {base.x + v1.x, base.y + v2.y, base.z + h.z}))}};
}

block_shape layout_builder::cylinder_shape(const vec3& centre, double radius, double height) const {
    const double half_height = std::fabs(height) / 2;
    if (!lay.cfg->manhattan_approximation)
        return {{make_cylinder_solid(centre, radius, half_height)}};
    const double k = radius * square_of_circle_area;
    return {{make_box_solid(ordered_box({centre.x - k, centre.y - k, centre.z - half_height},
                                        {centre.x + k, centre.y + k, centre.z + half_height}))}};
}

block_shape layout_builder::polygon_shape(const block_shape& base_box, const std::vector<vec2>& points) const {
    const box& b = base_box.solids.front().outer_box;
    poly_record poly;
    poly.n = points.size();
    for (const vec2& v : points)
        poly.vertex.push_back({v.x + b.lo.x, v.y + b.lo.y});
    poly.z0 = b.lo.z;
    poly.z1 = b.hi.z;
    // A repeated vertex would leave a zero-length edge in a piece; an
    // outline left with fewer than three vertices fails as one given so.
    remove_repeated_vertices(poly);

    std::vector<poly_record> pieces;
    decompose_poly(poly, pieces);
    block_shape shape;
    for (const poly_record& piece : pieces)
        shape.solids.push_back(piece_solid(piece, lay.cfg->manhattan_approximation));
    return shape;
}

// Bounds within the tolerance of the window's current ones are kept.
void layout_builder::add_medium(const block_shape& medium_box, double eps) {
    const box& b = medium_box.solids.front().outer_box;
    lay.media.push_back({b.lo.z, b.hi.z, eps, {b.lo.x, b.lo.y}, {b.hi.x, b.hi.y}});
    box& w = lay.window.box;
    w.lo = {tmin(w.lo.x, b.lo.x), tmin(w.lo.y, b.lo.y), tmin(w.lo.z, b.lo.z)};
    w.hi = {tmax(b.hi.x, w.hi.x), tmax(b.hi.y, w.hi.y), tmax(b.hi.z, w.hi.z)};
}

uint64_t layout_builder::add_blocks(const char* name, const block_shape& shape) {
    const std::string block_name = name_or_default(name);
    for (const solid& s : shape.solids)
        lay.blocks.emplace_back(block_name, s);
    return shape.solids.size();
}

// The conductor's section has just added its blocks: they are the last ones.
void layout_builder::add_conductor(const char* name, bool floating_word, uint64_t count) {
    const uint8_t floating = floating_word && lay.cfg->enable_floating;
    conductor& c = lay.conductors.emplace_back(name_or_default(name), floating);
    for (auto it = lay.blocks.end() - static_cast<std::ptrdiff_t>(count); it != lay.blocks.end(); ++it) {
        c.blocks.push_back(&*it);
        it->owner = &c;
        it->floating = floating;
    }
}

const std::string& layout_builder::input_name() const { return lay.cfg->input_name; }
