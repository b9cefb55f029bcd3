// Random layouts for the space-manager tests: boxes, cylinders and slanted
// prisms (optionally split into slab blocks) inside a window, and the
// brute-force nearest distance to them.
#pragma once

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>

#include "config/configure.hpp"
#include "geometry/layout.hpp"
#include "geometry/prism.hpp"
#include "geometry/primitives.hpp"
#include "geometry/section_distance.hpp"

namespace space_test {

// Prism edge ratios above which slab splitting cuts a block into pieces, or
// refines its box lists.
constexpr double split_ratio = 10.000000001;
constexpr double refine_ratio = 4.000000001;

struct layout_builder {
    std::unique_ptr<layout> lay = std::make_unique<layout>();
    conductor* net = nullptr;

    explicit layout_builder(const box& window, uint32_t boundary = boundary_neumann) {
        lay->window.box = window;
        lay->window.boundary = boundary;
        lay->critical_box = window;
        lay->wire_width = 0.1;
    }

    // Each block is its own net unless same_net is set.
    block& add(const solid& s, bool same_net = false) {
        if (!same_net || !net) {
            lay->conductors.emplace_back("net" + std::to_string(lay->conductors.size()), 0);
            net = &lay->conductors.back();
        }
        lay->blocks.emplace_back("b" + std::to_string(lay->blocks.size()), s);
        block& b = lay->blocks.back();
        b.owner = net;
        net->blocks.push_back(&b);
        lay->all_blocks.push_back(&b);
        (s.kind == solid_box ? lay->box_blocks : lay->nonbox_blocks).push_back(&b);
        return b;
    }

    // A prism, split into slab blocks or given refined box lists when it is
    // elongated and split is on.
    void add_prism(const nprism_t& p, bool split) {
        const double r = prism_edge_ratio(p);
        if (split && r > split_ratio) {
            std::vector<solid> pieces;
            split_block(p, std::min<uint64_t>(20, uint64_t(std::ceil(r / 5.0))), pieces);
            bool first = true;
            for (const solid& s : pieces) {
                add_refined(s, split, !first);
                first = false;
            }
            return;
        }
        add_refined(make_nprism_solid(p), split, false);
    }

    void add_refined(solid s, bool split, bool same_net) {
        if (split && prism_edge_ratio(s.shape.prism) > refine_ratio) {
            s.inner_boxes.clear();
            s.outer_boxes.clear();
            split_prism_pieces(s.shape.prism, 2, s.inner_boxes, s.outer_boxes);
        }
        add(s, same_net);
    }
};

inline nprism_t make_prism(std::initializer_list<vec2> v, double z0, double z1) {
    nprism_t p{};
    for (const vec2& x : v) p.vertex[p.n++] = x;
    p.z0 = z0;
    p.z1 = z1;
    return p;
}

// A slanted wire: a rectangle of the given length and width turned by angle
// about its centre, anticlockwise.
inline nprism_t slanted_wire(double cx, double cy, double length, double width, double angle,
                             double z0, double z1) {
    const double ux = std::cos(angle), uy = std::sin(angle);
    const double vx = -uy, vy = ux;
    const double a = length / 2, b = width / 2;
    return make_prism({{cx - a * ux - b * vx, cy - a * uy - b * vy},
                       {cx + a * ux - b * vx, cy + a * uy - b * vy},
                       {cx + a * ux + b * vx, cy + a * uy + b * vy},
                       {cx - a * ux + b * vx, cy - a * uy + b * vy}},
                      z0, z1);
}

// Blocks of every kind scattered over a 20 x 20 x 10 window. With
// inner_only they lie in [5, 15] x [5, 15] x [3, 7] and the critical box is
// that region grown halfway to the window, as the window set-up makes it, so
// that outside the critical box the window is nearer than every block.
inline std::unique_ptr<layout> random_layout(std::mt19937_64& rng, int nblocks, bool split,
                                             bool inner_only = false,
                                             uint32_t boundary = boundary_neumann) {
    layout_builder lb({{0, 0, 0}, {20, 20, 10}}, boundary);
    lb.lay->critical_box = {{2.5, 2.5, 1.5}, {17.5, 17.5, 8.5}};
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double x0 = inner_only ? 5.0 : 0.5, x1 = inner_only ? 15.0 : 19.5;
    const double z0 = inner_only ? 3.0 : 0.3, z1 = inner_only ? 7.0 : 9.7;
    auto at = [&](double lo, double hi) { return lo + (hi - lo) * u(rng); };
    for (int i = 0; i < nblocks; ++i) {
        const double cx = at(x0 + 1.5, x1 - 1.5), cy = at(x0 + 1.5, x1 - 1.5);
        const double zb = at(z0, z1 - 1.2), zt = zb + at(0.1, 1.2);
        switch (int(u(rng) * 4)) {
        case 0: {
            const double hx = at(0.05, 1.5), hy = at(0.05, 1.5);
            lb.add(make_box_solid({{cx - hx, cy - hy, zb}, {cx + hx, cy + hy, zt}}));
            break;
        }
        case 1:
            lb.add(make_cylinder_solid({cx, cy, (zb + zt) / 2}, at(0.05, 1.2), (zt - zb) / 2));
            break;
        case 2:  // long thin slanted wire: split into pieces when asked
            lb.add_prism(slanted_wire(cx, cy, at(1.0, 3.0), at(0.05, 0.3), at(0.2, 1.4), zb, zt), split);
            break;
        default: {  // triangle or convex quadrilateral
            const double r = at(0.2, 1.4);
            if (u(rng) < 0.5)
                lb.add_prism(make_prism({{cx - r, cy - r}, {cx + r, cy - 0.3 * r}, {cx, cy + r}}, zb, zt),
                             split);
            else
                lb.add_prism(make_prism({{cx - r, cy - 0.5 * r}, {cx + 0.6 * r, cy - r}, {cx + r, cy + 0.4 * r},
                                         {cx - 0.2 * r, cy + r}},
                                        zb, zt),
                             split);
        }
        }
    }
    return std::move(lb.lay);
}

// A box under the blocks from z0 to z1 across the whole window, as the
// ground net becomes.
inline void add_ground_slab(layout& lay, double z0, double z1) {
    const box& w = lay.window.box;
    lay.conductors.emplace_back("GROUND", 0);
    conductor& g = lay.conductors.back();
    lay.blocks.emplace_back("ground", make_box_solid({{w.lo.x, w.lo.y, z0}, {w.hi.x, w.hi.y, z1}}));
    block& b = lay.blocks.back();
    b.owner = &g;
    g.blocks.push_back(&b);
    lay.all_blocks.push_back(&b);
    lay.box_blocks.push_back(&b);
}

// Nearest block by brute force; distance 1e300 without blocks.
struct brute_nearest {
    const block* b = nullptr;
    double d = std::numeric_limits<double>::max();
};

inline brute_nearest nearest_by_scan(const layout& lay, const vec3& p) {
    brute_nearest r;
    for (const block* b : lay.all_blocks) {
        const double d = block_distance(p, b->solid);
        if (d < r.d) r = {b, d};
    }
    return r;
}

}  // namespace space_test
