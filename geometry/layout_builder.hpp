// Turns the sections that the lumod grammar recognises into layout records:
// block shapes (a polygon cut into convex prisms), blocks, conductors, media,
// the window's boundary kind and the task names. The grammar only recognises
// and calls; every rule of what a section makes lives here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/layout.hpp"
#include "geometry/vec3.hpp"

// The solids of one block section: one for a box or a cylinder, the convex
// pieces of a polygon in decomposition order.
struct block_shape {
    std::vector<solid> solids;
};

class layout_builder {
public:
    explicit layout_builder(layout& target) : lay(target) {}

    // Lower corner base, upper corner (base.x + v1.x, base.y + v2.y,
    // base.z + h.z): only the axis components of the edge vectors count.
    block_shape box_shape(const vec3& base, const vec3& v1, const vec3& v2, const vec3& h) const;
    // A cylinder about z centred at mid height, or under the Manhattan
    // approximation the box of the square with the circle's area.
    block_shape cylinder_shape(const vec3& centre, double radius, double height) const;
    // The points are relative to the box's basepoint and take its heights;
    // repeated vertices are dropped. An invalid outline ends the process
    // with its message.
    block_shape polygon_shape(const block_shape& base_box, const std::vector<vec2>& points) const;

    // Appends the medium and grows the window box to take in its box.
    void add_medium(const block_shape& medium_box, double eps);
    // Appends one block per solid, all named `name` (null: a generated
    // name); returns their number.
    uint64_t add_blocks(const char* name, const block_shape& shape);
    // Appends a conductor (null name: a generated one) owning the last
    // `count` blocks; floating only when the word was given and floating
    // conductors are enabled.
    void add_conductor(const char* name, bool floating_word, uint64_t count);
    void set_boundary(uint32_t boundary) { lay.window.boundary = boundary; }
    void add_task(const char* name) { lay.task_names.insert(name); }
    // The "-f" value, for messages.
    const std::string& input_name() const;

private:
    layout& lay;
};
