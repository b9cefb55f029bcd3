// The plain records of one run's geometry: the layout with its conductors,
// blocks, solids, media and window. Lengths in micrometres.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

#include "geometry/box.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/surface_element.hpp"
#include "geometry/vec3.hpp"

struct configure;
struct conductor;

// Most vertices of a prism cross-section.
constexpr uint64_t nprism_max_vertices = 8;

// Vertical prism: an anticlockwise outline of n vertices between z0 and z1.
struct nprism_t {
    uint64_t n;
    vec2 vertex[nprism_max_vertices];
    double z0;
    double z1;
};

// Cylinder about the z axis.
struct cylinder_t {
    vec3 centre;
    double radius;
    double half_height;
};

enum solid_kind : uint32_t {
    solid_box = 0,
    solid_cylinder = 1,
    solid_prism = 2,
};

union solid_shape {
    ::box box;  // kind 0
    cylinder_t cylinder;  // kind 1
    nprism_t prism;  // kind 2
};

struct solid {
    solid_shape shape{};
    uint32_t kind = solid_box;
    ::box inner_box{};  // lies inside the solid
    ::box outer_box{};  // bounds the solid
    // One entry each after construction; block splitting may replace them by
    // one box per slab.
    std::vector<::box> inner_boxes;
    std::vector<::box> outer_boxes;
};

solid make_box_solid(const box& b);
solid make_cylinder_solid(const vec3& centre, double radius, double half_height);
solid make_nprism_solid(const nprism_t& p);

struct block {
    block(std::string name, const ::solid& s) : name(std::move(name)), solid(s) {}

    // Every convex piece of one polygon shares its polygon's name.
    std::string name;
    ::solid solid;
    conductor* owner = nullptr;  // null until the conductor is complete
    uint8_t floating = 0;        // copy of the owner's flag
};

struct conductor {
    conductor(std::string name, uint8_t floating) : name(std::move(name)), floating(floating) {}

    std::string name;  // "GROUND" marks the ground net
    std::vector<block*> blocks;  // input order; shared, not owned
    uint8_t floating = 0;
    // Floating surface: selection table (geometry/floating_table.hpp) and
    // its pieces; empty for a conductor that is not floating.
    std::vector<double> surface_table;
    std::vector<surface_element> surface_elements;
    // A surface of several blocks: each block grown by the floating
    // distance, in block order.
    std::vector<::solid> grown_blocks;
};

// One dielectric layer as read from a medium section.
struct medium {
    double z0;   // bottom
    double z1;   // top
    double eps;  // relative permittivity
    // x and y extent of the section's box; a medium made in code covers
    // the plane's whole range.
    vec2 lo{-1e9, -1e9};
    vec2 hi{1e9, 1e9};
};

enum window_boundary : uint32_t {
    boundary_none = 0,  // no window section was read
    boundary_dirichlet = 1,
    boundary_neumann = 2,
};

struct window {
    uint32_t boundary = boundary_none;
    ::box box{};
};

// Owns its conductors and blocks (deques keep their addresses while records
// are appended); every pointer list borrows from those deques.
struct layout {
    layout() = default;
    layout(const layout&) = delete;
    layout& operator=(const layout&) = delete;
    layout(layout&&) = default;
    layout& operator=(layout&&) = default;

    const configure* cfg = nullptr;
    std::deque<conductor> conductors;
    std::deque<block> blocks;
    std::vector<medium> media;  // consumed by setup_media
    std::unordered_set<std::string> task_names;
    ::window window;
    box padded_box{};
    box critical_box{};
    double wire_width = 0.0;
    layer_stack layers;
    block* ground = nullptr;
    std::vector<conductor*> nets;
    std::vector<block*> all_blocks;
    std::vector<block*> nonbox_blocks;
    std::vector<block*> box_blocks;
    std::vector<block*> cylinder_blocks;
    std::vector<block*> prism_blocks;
    std::vector<block*> floating_blocks;
    std::vector<conductor*> masters;
    // Stand-off of the floating surfaces, micrometres; set by
    // setup_floating_conductors (0 until then).
    double floating_d = 0.0;
};
