// Member definitions of default_walker: construction, the first step of a
// walk, the walk loop and the end-of-step checks. Included only where the
// ten instances are made (walker_factory.cpp) and by tests.
#pragma once

#include <cmath>
#include <type_traits>

#include "config/configure.hpp"
#include "geometry/primitives.hpp"
#include "geometry/prism.hpp"
#include "geometry/section_distance.hpp"
#include "transition_tables/table_selection.hpp"
#include "walker/default_walker.hpp"
#include "walker/floating_jump.hpp"
#include "walker/gauss_sample.hpp"
#include "walker/table_rows.hpp"
#include "walker/transfer.hpp"

// Buckets of the crossed set: the standard prime policy's count for 10.
constexpr std::size_t crossed_floating_buckets = 10;
// A start cube holding three interfaces has no first-hop table; it is halved
// at most this many times to leave two or fewer inside.
constexpr int start_cube_halvings = 64;

template <class L, class D>
default_walker<L, D>::default_walker(const walker_task_head& head, const gauss_surface* gauss_surface)
    : result(), crossed_floating(crossed_floating_buckets), cfg(head.cfg), tables(head.tables) {
    crossed_floating.max_load_factor(1.0f);
    layer.attach(head.lay->layers, table_grid_weights(*head.tables));
    spacemgr = head.spacemgr;
    hint_primary = search_hint{};
    hint_secondary = search_hint{};
    seed_walker_rng(rng);
    gauss = gauss_surface;
    win = &head.lay->window;
    floating_d = head.lay->floating_d;
    layers = &head.lay->layers;
}

template <class L, class D>
const walk_result* default_walker<L, D>::walk_once() {
    result.hops = 0;
    crossed_floating.clear();
    if (!start_walk()) return &result;
    while (loop_step()) {
    }
    return &result;
}

template <class L, class D>
bool default_walker<L, D>::start_walk() {
    gauss_sample s;
    sample_gauss_point(s, *gauss, rng);
    result.face = s.face;
    result.gauss_offset = s.gauss_offset;
    result.piece_value = s.piece_value;
    result.gtried = s.gtried;
    result.sumpdf = s.sumpdf;
    result.origin = s.origin;
    result.weight = s.weight;
    result.terminal = nullptr;
    pos = s.point;

    layer.reset(pos.z);
    layer.locate_start();
    const nearest_result q = nearest_within_window(layer.radius);
    domain.half_size = q.dist;
    domain.nearest = q.block;
    domain.cube_mode = q.dist < touch_distance ? cube_touching : cube_axis_aligned;

    double a = layer.classify_cube(snap_start_onto_interface(domain.half_size));
    if constexpr (L::layered) {
        // Three interfaces in the start cube can only lie on its faces
        // within rounding; a smaller cube leaves them out. Below 1e-9 no
        // interface counts as inside, so the halvings always end it.
        for (int i = 0; i < start_cube_halvings && layer.cube_type == cube_three_interfaces; ++i)
            a = layer.classify_cube(0.5 * a);
    }
    first_hop(a);
    return end_of_step_checks();
}

// Start points on a vertical face closer than this fraction of their empty
// cube's half side to an interface start from the interface itself. A
// point at height delta from it would get a cube of half side 31 delta (the
// interface must fall on a cell boundary of the pair tables), and a
// first-hop factor growing as 1 / delta: over a face that crosses the
// interface its variance has no bound. The tangential gradient is
// continuous across the interface, so the move changes the estimate only to
// second order in this fraction, while the cube of every point left in
// place keeps at least half the side the space allows.
constexpr double interface_snap_fraction = 1.0 / 62.0;

template <class L, class D>
double default_walker<L, D>::snap_start_onto_interface(double a) {
    if constexpr (L::layered) {
        const bool vertical_face = result.face % 3 != 2;
        if (!vertical_face || domain.cube_mode == cube_touching || is_interface_id(layer.layer_id)) return a;
        const uint64_t id = layer.start_interface();
        if (id == no_interface) return a;
        const double d = std::fabs(interface_height(*layers, int64_t(id)) - pos.z);
        if (!(d < interface_snap_fraction * a)) return a;
        // The cube about the interface point lies inside the empty cube
        // about the start point and holds no other interface.
        layer.stand_on(id);
        pos.z = layer.z;
        return std::fmin(a - d, interface_room(*layers, id));
    }
    return a;
}

// The equal-slab z row is the flux at the cube's centre divided by the mean
// of the key's two centre slabs, while the start weight carries the
// permittivity at the start point (height z): this factor turns the one
// into the other. Key values are relative to the largest slab mean of the
// cube of half side a.
inline double equal_slab_flux_scale(const layer_stack& ls, double z, double a, uint64_t table_index) {
    double largest = 0.0;
    for (int s = 0; s < 4; ++s) {
        const double bottom = z - a + s * a * 0.5;
        largest = std::fmax(largest, equal_slab_mean(ls, bottom, bottom + a * 0.5));
    }
    const table_key key = equal_slab_key(table_index);
    return largest * 0.5 * (key.v[1] + key.v[2]) / permittivity_taking_mean(ls, z);
}

template <class L, class D>
void default_walker<L, D>::first_hop(double a) {
    const int axis = int(result.face < 3 ? result.face : result.face - 3);
    const table_store& t = *tables;
    uint32_t type = cube_homogeneous;
    row_blend b{true, 0.0, false};
    if constexpr (L::layered) {
        type = layer.cube_type;
        b = row_blend{layer.single_table != 0, layer.blend_weight, layer.mirror != 0};
    }
    first_hop_draw d;
    double factor = 0.0;
    if (type == cube_homogeneous) {
        const first_hop_row<double> row = single_first_hop(t, axis);
        d = draw_first_hop<31>(rng, row, row, row_blend{true, 0.0, b.mirror}, axis);
        factor = signed_first_hop_factor(result.face, d.sign, row.weight, 0.0, row_blend{true, 0.0, false}, a);
    } else if constexpr (L::layered) {
        with_cube_sets(t, layer, b, [&](auto side, const auto& s1, const auto& s2, uint64_t row) {
            constexpr int N = decltype(side)::value;
            if constexpr (has_first_hop_rows<std::decay_t<decltype(s1)>>) {
                const first_hop_row<float> r1 = set_first_hop<N>(s1, row, axis), r2 = set_first_hop<N>(s2, row, axis);
                d = draw_first_hop<N>(rng, r1, r2, b, axis);
                factor = signed_first_hop_factor(result.face, d.sign, r1.weight, r2.weight, b, a);
            } else {
                three_interfaces_at_start();
            }
        });
        if (type == cube_equal_slab && axis == 2) factor *= equal_slab_flux_scale(*layers, pos.z, a, layer.table_index);
    }
    result.weight *= factor;
    ++result.hops;
    pos = {pos.x + a * d.u.x, pos.y + a * d.u.y, pos.z + a * d.u.z};
}

template <class L, class D>
void default_walker<L, D>::hop(double a) {
    const table_store& t = *tables;
    uint32_t type = cube_homogeneous;
    row_blend b{true, 0.0, false};
    if constexpr (L::layered) {
        type = layer.cube_type;
        b = row_blend{layer.single_table != 0, layer.blend_weight, layer.mirror != 0};
    }
    vec3 u;
    if (type == cube_homogeneous) {
        const auto* row = single_gft(t);
        u = draw_direction<31>(rng, row, row, row_blend{true, 0.0, b.mirror});
    } else if constexpr (L::layered) {
        with_cube_sets(t, layer, b, [&](auto side, const auto& s1, const auto& s2, uint64_t row) {
            constexpr int N = decltype(side)::value;
            u = draw_direction<N>(rng, set_gft<N>(s1, row), set_gft<N>(s2, row), b);
        });
    }
    if constexpr (D::rotated) {
        if (domain.cube_mode == cube_rotated) u = rotate_about_z(u, domain.rot_cos, domain.rot_sin);
    }
    ++result.hops;
    pos = {pos.x + a * u.x, pos.y + a * u.y, pos.z + a * u.z};
}

template <class L, class D>
void default_walker<L, D>::cross_floating(const block& b) {
    jump_state js{rng, pos, result.hops, *cfg, *win, floating_d};
    jump_floating(js, b);
    crossed_floating.insert(b.owner);
    domain.nearest = nullptr;
    layer.search_from_bottom();
}

template <class L, class D>
bool default_walker<L, D>::end_of_step_checks() {
    const block* near = domain.nearest;
    if (near && block_distance(pos, near->solid) < touch_distance) {
        if (!near->floating) {
            result.terminal = near;
            return false;
        }
        cross_floating(*near);
    }
    return window_checks();
}

template <class L, class D>
bool default_walker<L, D>::window_checks() {
    if (box_contains_point(win->box, pos)) return true;
    switch (win->boundary) {
    case boundary_dirichlet: result.terminal = nullptr; return false;
    case boundary_neumann:
        pos.x = fold_into(pos.x, win->box.lo.x, win->box.hi.x);
        pos.y = fold_into(pos.y, win->box.lo.y, win->box.hi.y);
        pos.z = fold_into(pos.z, win->box.lo.z, win->box.hi.z);
        return true;
    default: return true;
    }
}

// The empty cube must also stay inside a grounded window. A cube reaching
// past it would read the window's zero as the potential beyond it, which is
// not the potential's harmonic continuation: every walk near the window
// would end there too often and pull the capacitance low (a cube in a
// window one side away lost 15 %). A point on the window gets no room and
// ends its walk there, as at a block.
template <class L, class D>
nearest_result default_walker<L, D>::nearest_within_window(double limit) {
    nearest_result q = (*spacemgr)->find_nearest(pos, hint_primary, hint_secondary, limit);
    if (win->boundary != boundary_dirichlet) return q;
    const double room = tmax(-box_point_distance(pos, win->box), 0.0);
    if (room < q.dist) return {nullptr, room, room};
    if (room < q.bound) q.bound = room;
    return q;
}

template <class L, class D>
double default_walker<L, D>::wall_distance() const {
    if (win->boundary != boundary_neumann) return unlimited_radius;
    const box& w = win->box;
    const double gx = (pos.x - w.hi.x) - geom_eps > (w.lo.x - pos.x) ? pos.x - w.hi.x : w.lo.x - pos.x;
    const double gy = (pos.y - w.hi.y) - geom_eps > (w.lo.y - pos.y) ? pos.y - w.hi.y : w.lo.y - pos.y;
    return -(gx < gy - geom_eps ? gy : gx);
}

template <class L, class D>
void default_walker<L, D>::rotate_towards_nearest(const nearest_result& q) {
    const block* b = domain.nearest;
    double d;
    if (b->solid.kind == solid_cylinder) {
        const cylinder_t& c = b->solid.shape.cylinder;
        const double vx = pos.x - c.centre.x, vy = pos.y - c.centre.y;
        const double len = std::sqrt(vx * vx + vy * vy);
        domain.rot_cos = vx / len;
        domain.rot_sin = vy / len;
        d = len - c.radius;
    } else {
        const nprism_t& p = b->solid.shape.prism;
        d = -unlimited_radius;
        for (uint64_t k = 0; k < p.n; ++k) {
            const vec2& v0 = p.vertex[k];
            const vec2& v1 = next_vertex(p, k);
            const double dx = v1.x - v0.x, dy = v1.y - v0.y;
            if (std::fabs(dx) < geom_eps || std::fabs(dy) < geom_eps) continue;
            const double len = std::sqrt(dx * dx + dy * dy);
            const double s = ((pos.x - v0.x) * dy - (pos.y - v0.y) * dx) / len;
            if (s - geom_eps > d) {
                d = s;
                const vec2 n = edge_normal(dx, dy);
                domain.rot_cos = n.x;
                domain.rot_sin = n.y;
            }
        }
    }
    const double a = domain.half_size;
    const double c = std::fabs(domain.rot_cos), s = std::fabs(domain.rot_sin);
    if (a - geom_eps > d) return;
    if ((c + s) * d - geom_eps > q.bound) return;
    if (std::fabs(c - s) * d - geom_eps > wall_distance()) return;
    domain.cube_mode = cube_rotated;
    domain.half_size = d;
}

template <class L, class D>
bool default_walker<L, D>::loop_step() {
    layer.locate_loop(pos.z);
    const nearest_result q = nearest_within_window(layer.radius);
    domain.cube_mode = cube_axis_aligned;
    domain.half_size = q.dist;
    domain.nearest = q.block;
    if (q.dist < touch_distance) {
        domain.cube_mode = cube_touching;
        const block* near = q.block;
        if (!near) {
            result.terminal = nullptr;
            return false;
        }
        if (!near->floating) {
            result.terminal = near;
            return false;
        }
        cross_floating(*near);
        return window_checks();
    }
    if constexpr (D::rotated) {
        // Only round and slanted blocks turn a cube; the test stays here so
        // that the common box costs no call.
        if (q.block && q.block->solid.kind != solid_box) rotate_towards_nearest(q);
    }
    hop(layer.classify_cube(domain.half_size));
    return end_of_step_checks();
}
