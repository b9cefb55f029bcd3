// How a walker knows where the dielectric interfaces are and which table
// describes its transition cube. Three policies: none (one medium), the N
// nearest interfaces (N = 1 or 3, optionally with ratio-grid tables), and
// the nearest high-contrast interface with equal-slab averaging elsewhere.
//
// Layer ids are the layer codes of find_layer_id (geometry/layer_stack.hpp).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/layer_stack.hpp"
#include "geometry/primitives.hpp"
#include "transition_tables/cube_configurations.hpp"

enum cube_type : uint32_t {
    cube_homogeneous = 0,
    cube_one_interface = 1,     // pair set, row = interface position 0..29
    cube_on_interface = 2,      // h-pair set
    cube_two_interfaces = 3,    // triple set, row = placement 0..104
    cube_three_interfaces = 4,  // four-layer table, row = placement 0..454
    cube_equal_slab = 5,        // equal-slab set
};

// Layer id before anything is known: the lowest real interface.
constexpr uint64_t initial_layer_id = layer_code_lowest_interface;
// Query limit when no interface limits the cube.
constexpr double unlimited_radius = 1e9;
// Neighbouring layers above this permittivity ratio are high contrast.
constexpr double high_contrast_ratio = 1.500000001;

// What classification decides about one cube.
struct cube_fields {
    uint64_t table_index = 0;
    uint64_t interface_pos = 0;
    uint32_t cube_type = cube_homogeneous;
    uint8_t single_table = 1;   // 0: blend sets table_index and table_index + 1
    double blend_weight = 0.0;  // weight of the second set in a blend
    uint8_t mirror = 0;         // hop directions have z negated
};

// Index into the per-interface lists of an interface or layer id.
inline uint64_t interface_list_index(uint64_t id) { return uint64_t(real_index_of_code(id)); }

inline bool is_interface_id(uint64_t id) { return is_interface_code(id); }

// Per-interface ratio-grid data of the table store (grid modes only).
struct grid_weights {
    const int64_t* table_pos = nullptr;
    const double* weight = nullptr;
};

// One interface near the cube (any policy but three interfaces): may shrink
// the cube so the interface falls on a cell boundary of a 31-cell division.
// grid is null in mode "two". Returns the hop half side.
double classify_one_interface(cube_fields& c, const layer_stack& ls, double a, double z,
                              uint64_t layer_id, uint64_t interface_id, const grid_weights* grid);

// Up to three interfaces (ids sorted by height). Two or three inside the
// cube must lie on the placement tables' cell boundaries: the cube shrinks
// until they do, or until it holds one only. Returns the hop half side.
double classify_three_interfaces(cube_fields& c, const layer_stack& ls, double a, double z,
                                 uint64_t layer_id, const uint64_t (&interface_id)[3]);

// Thickness-weighted mean permittivity of the layers over [bottom, top].
double equal_slab_mean(const layer_stack& ls, double bottom, double top);

// Four slabs of averaged permittivity; halves the cube until no slab mean is
// below 0.475 of the largest. Returns the half side used.
double fit_equal_slab_cube(cube_fields& c, const layer_stack& ls, double a, double z);


// The padded interfaces just below and just above a layer id; on an
// interface, that interface counts as the one above.
inline void neighbour_interfaces(uint64_t layer_id, int64_t& down, int64_t& up) {
    const int64_t own = interface_at_or_below(int64_t(layer_id));
    if (is_interface_code(int64_t(layer_id))) {
        up = own;
        down = up - 1;
    } else {
        down = own;
        up = down + 1;
    }
}

// Takes the N nearest interfaces of height z from the code found for it,
// ties within 1e-9 going to the lower one; ids in the order taken. Returns
// the distances to the next upper and lower candidates. Inline and unrolled
// over N: every hop of a layered walk takes them.
struct next_candidates {
    double up;
    double down;
};
template <int N>
inline next_candidates take_nearest_interfaces(const layer_stack& ls, uint64_t layer_id, double z,
                                               uint64_t (&ids)[N]) {
    const double* zi = ls.interface_z.data();
    int64_t up, down;
    neighbour_interfaces(layer_id, down, up);
    for (int k = 0; k < N; ++k) {
        const double d_up = zi[up] - z;
        const double d_down = z - zi[down];
        if (d_down - geom_eps > d_up) {
            ids[k] = uint64_t(interface_code(up));
            ++up;
        } else {
            ids[k] = uint64_t(interface_code(down));
            --down;
        }
    }
    return {zi[up] - z, z - zi[down]};
}

// Half side of the largest cube centred on interface id that holds no other
// interface: the thinner of the two layers it separates.
double interface_room(const layer_stack& ls, uint64_t id);

// No interface: what start_interface returns when the first cube is not
// classified against a single nearest interface.
constexpr uint64_t no_interface = 0;

// Every policy has the members the walk calls: attach (once per walker),
// reset and locate_start (first cube), locate_loop (later cubes),
// search_from_bottom (after a jump), radius (the query limit) and
// classify_cube; the walk never asks which policy it holds. Only the
// layered ones (layered = true) have cube fields and start interfaces.

// One medium: nothing to locate, every cube homogeneous.
struct empty_layer_index {
    static constexpr bool layered = false;
    static constexpr double radius = unlimited_radius;

    void attach(const layer_stack&, const grid_weights&) {}
    void reset(double) {}
    void locate_start() {}
    void locate_loop(double) {}
    void search_from_bottom() {}
    double classify_cube(double a) const { return a; }
};

// What every layered policy knows of the walker's height: its layer id,
// the height itself and the query limit the interfaces set. A policy with
// more state extends attach and reset by hiding them and calling these
// first.
struct layer_index_base : cube_fields {
    static constexpr bool layered = true;
    const layer_stack* layers = nullptr;
    uint64_t layer_id = initial_layer_id;
    double z = 0.0;
    double radius = unlimited_radius;
    grid_weights grid;

    void attach(const layer_stack& ls, const grid_weights& g) {
        layers = &ls;
        grid = g;
    }

    void reset(double height) {
        static_cast<cube_fields&>(*this) = cube_fields{};
        layer_id = initial_layer_id;
        radius = unlimited_radius;
        z = height;
    }

    // Moves the walker's height onto interface id, one of the interfaces
    // already located for this height.
    void stand_on(uint64_t id) {
        layer_id = id;
        z = interface_height(*layers, id);
    }

    // The search for the next layer id runs upward from the last one, and
    // a floating jump may land several interfaces lower: the next search
    // starts from the bottom.
    void search_from_bottom() { layer_id = initial_layer_id; }
};

template <uint64_t N, bool Interpolated>
struct multi_layer_index : layer_index_base {
    static_assert(N == 1 || N == 3, "one or three interfaces");
    uint64_t interface_id[N] = {};

    // First cube of a walk: limited by the second-nearest interface.
    void locate_start() {
        layer_id = uint64_t(find_layer_id(*layers, int(initial_layer_id) - 1, z));
        uint64_t taken[N];
        const next_candidates next = take_nearest_interfaces<int(N)>(*layers, layer_id, z, taken);
        if (N == 1) {
            radius = next.up - 1e-9 > next.down ? next.down : next.up;
        } else {
            const double v = interface_height(*layers, taken[1]) - z;
            radius = v > 1e-9 ? v : -v;
        }
        store_sorted(taken);
    }

    // Later cubes: limited by the (N+1)-th nearest interface.
    void locate_loop(double height) {
        z = height;
        const int64_t own = interface_at_or_below(int64_t(layer_id));
        int64_t start = interface_code(own) - int64_t(N);
        // The search upward stops at the first interface not below z by at
        // least 1e-9. When the one just below the last own interface is
        // below by that much, so is every one before it (heights ascend),
        // and starting at the own interface finds the same id sooner.
        const double below = layers->interface_z[std::size_t(own - 1)];
        if (below <= z && !(std::abs(z - below) < geom_eps)) start = interface_code(own);
        layer_id = uint64_t(find_layer_id(*layers, int(start), z));
        uint64_t taken[N];
        const next_candidates next = take_nearest_interfaces<int(N)>(*layers, layer_id, z, taken);
        radius = next.up - 1e-9 > next.down ? next.down : next.up;
        store_sorted(taken);
    }

    // The interface that decides the first cube: the nearest one, ties
    // within 1e-9 going to the lower.
    uint64_t start_interface() const {
        if constexpr (N == 1) {
            return interface_id[0];
        } else {
            uint64_t best = interface_id[0];
            double best_d = std::fabs(interface_height(*layers, best) - z);
            for (uint64_t k = 1; k < N; ++k) {
                const double d = std::fabs(interface_height(*layers, interface_id[k]) - z);
                if (d < best_d - 1e-9) {
                    best = interface_id[k];
                    best_d = d;
                }
            }
            return best;
        }
    }

    double classify_cube(double a) {
        if constexpr (N == 1) {
            return classify_one_interface(*this, *layers, a, z, layer_id, interface_id[0],
                                          Interpolated ? &grid : nullptr);
        } else {
            return classify_three_interfaces(*this, *layers, a, z, layer_id, interface_id);
        }
    }

private:
    void store_sorted(const uint64_t (&taken)[N]) {
        // Taking the nearest from both sides takes a run of neighbours, and
        // interface ids grow by one with height: the lowest and those above.
        uint64_t lowest = taken[0];
        for (uint64_t i = 1; i < N; ++i) lowest = taken[i] < lowest ? taken[i] : lowest;
        for (uint64_t i = 0; i < N; ++i) interface_id[i] = lowest + i;
    }
};

struct equal_layer_index : layer_index_base {
    uint64_t nearest_layer_id = 0;  // interface id of the nearer neighbour
    uint8_t any_high_contrast = 0;
    uint8_t nearest_high_contrast = 0;
    std::vector<bool> high_contrast;  // one bit per real interface, lowest first

    // Marks every real interface whose neighbours differ by more than the
    // high-contrast ratio.
    void mark_high_contrast();

    void attach(const layer_stack& ls, const grid_weights& g) {
        layer_index_base::attach(ls, g);
        mark_high_contrast();
    }

    void reset(double height) {
        layer_index_base::reset(height);
        nearest_high_contrast = 0;
    }

    // Sets layer_id, nearest_layer_id, nearest_high_contrast and radius.
    void locate_layer();

    // The first cube and the later ones are located alike.
    void locate_start() { locate_layer(); }
    void locate_loop(double height) {
        z = height;
        locate_layer();
    }

    uint64_t start_interface() const {
        return any_high_contrast && nearest_high_contrast ? nearest_layer_id : no_interface;
    }

    double classify_cube(double a) {
        if (any_high_contrast && nearest_high_contrast)
            return classify_one_interface(*this, *layers, a, z, layer_id, nearest_layer_id, &grid);
        return fit_equal_slab_cube(*this, *layers, a, z);
    }

    bool high_contrast_at(uint64_t padded_interface) const {
        const uint64_t i = padded_interface - layer_guard_interfaces;
        return padded_interface >= uint64_t(layer_guard_interfaces) && i < high_contrast.size() &&
               high_contrast[i];
    }
};
