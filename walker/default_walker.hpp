// The walker family: one class template over a layer-index policy L (how
// the walker finds the dielectric interfaces and classifies its cubes) and a
// transfer domain D (whether cubes may turn about z to face round or
// slanted blocks). The walk loop is specialised for each of the ten
// instances; its only virtual call is the space manager's query.
#pragma once

#include <memory>

#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "space/space_manager.hpp"
#include "walker/layer_index.hpp"
#include "walker/random_walker.hpp"

struct configure;
struct table_store;

enum cube_mode : uint32_t {
    cube_touching = 0,  // no hop
    cube_axis_aligned = 1,
    cube_rotated = 2,  // turned about z; rotating domains only
};

template <bool Rotated>
struct default_transfer_domain {
    static constexpr bool rotated = Rotated;
    uint32_t cube_mode = cube_touching;
    double half_size = 0.0;
    const block* nearest = nullptr;  // of the last query; null after a jump
    double rot_cos = 0.0;
    double rot_sin = 0.0;
};

// What every walker of a task shares, read-only.
struct walker_task_head {
    const configure* cfg;
    const layout* lay;
    const std::unique_ptr<space_manager_interface>* spacemgr;  // queried through at each step
    const table_store* tables;
};

template <class L, class D>
class default_walker final : public random_walker_interface {
public:
    default_walker(const walker_task_head& head, const gauss_surface* gauss);

    const walk_result* walk_once() override;
    const crossed_floating_set& crossed() const override { return crossed_floating; }

    // The steps of a walk, exposed for tests. Each returns whether the walk
    // goes on.
    bool start_walk();
    bool loop_step();
    bool end_of_step_checks();
    bool window_checks();

    walk_result result;
    crossed_floating_set crossed_floating;
    const configure* cfg;
    const table_store* tables;
    L layer;
    D domain;
    const std::unique_ptr<space_manager_interface>* spacemgr;
    search_hint hint_primary;
    search_hint hint_secondary;
    vec3 pos{0.0, 0.0, 0.0};
    walker_rng rng;
    const gauss_surface* gauss;
    const window* win;
    double floating_d;  // of the layout, for the floating jumps
    const layer_stack* layers;

private:
    // Moves a start point on a vertical face that lies close to an
    // interface onto it; returns the half side of the start cube, at most
    // a, about the point where the walk then starts.
    double snap_start_onto_interface(double a);
    void first_hop(double a);
    void hop(double a);
    // Nearest block a cylinder or a prism (the loop leaves boxes alone).
    void rotate_towards_nearest(const nearest_result& q);
    nearest_result nearest_within_window(double limit);
    double wall_distance() const;
    void cross_floating(const block& b);
};

// Folds c into [lo, hi] by mirroring at the sides with period 2 (hi - lo).
double fold_into(double c, double lo, double hi);
