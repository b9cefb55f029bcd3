// Where the layer policies stand among the interfaces and how they
// classify a cube; the fit of a cube to the mode-four placement tables is
// mode_four_placements.cpp.
#include "walker/layer_index.hpp"

#include <cmath>
#include <utility>

#include "geometry/primitives.hpp"
#include "walker/mode_four_placements.hpp"
#include "walker/whole_rounding.hpp"

namespace {

// The last pair row, and the cells on each side of the walker's own.
constexpr uint64_t pair_last_position = pair_rows - 1;
constexpr uint32_t pair_half_cells = pair_walker_cell;
// Grid weights at or below this use the lower set alone, above the upper
// limit the upper set alone; in between the two are blended.
constexpr double blend_low = 0.1;
constexpr double blend_high = 0.9;
// Equal-slab ratios: the smallest tabulated ratio less half a step, and
// the step.
constexpr double slab_ratio_floor = 0.475;
constexpr double slab_ratio_step = 0.05;
constexpr uint64_t slab_ratio_count = 11;
// 2^23: the fraction digits to which the cell coordinate is rounded.
constexpr double cell_rounding = 8388608.0;

int round_to_int(double v) { return int(std::round(v)); }

}  // namespace

double interface_room(const layer_stack& ls, uint64_t id) {
    const std::vector<double>& zi = ls.interface_z;
    const uint64_t i = uint64_t(interface_of_code(id));
    return std::fmin(zi[i] - zi[i - 1], zi[i + 1] - zi[i]);
}

double classify_one_interface(cube_fields& c, const layer_stack& ls, double a, double z, uint64_t layer_id,
                              uint64_t interface_id, const grid_weights* grid) {
    const double zi = interface_height(ls, interface_id);
    c.blend_weight = 0.0;
    c.mirror = 0;
    c.single_table = 1;
    if (z - a + geom_eps > zi) {
        c.table_index = 0;
        c.cube_type = cube_homogeneous;
        return a;
    }
    const uint64_t index = interface_list_index(interface_id);
    c.table_index = index;
    if (!(z + a - geom_eps > zi)) {
        c.cube_type = cube_homogeneous;
        return a;
    }
    if (grid) {
        double w = grid->weight[index];
        const int64_t k = grid->table_pos[index];
        c.blend_weight = w;
        c.table_index = uint64_t(k);
        if (w < 0) {
            c.mirror = 1;
            w = -w;
            c.blend_weight = w;
        }
        if (w > blend_low) c.single_table = 0;
        if (w > blend_high) {
            c.single_table = 1;
            c.table_index = uint64_t(k) + 1;
        }
    }
    if (is_interface_id(layer_id)) {
        c.cube_type = cube_on_interface;
        return a;
    }
    const double d = std::fabs(zi - z);
    const double q = double(pair_cells) * 0.5 * d / a - 0.5;
    const double snapped = round_half_away(q * cell_rounding) / cell_rounding;
    const double up = whole_at_or_above(snapped);
    const uint32_t n = up > 0 ? uint32_t(up) : 0;
    if (n != pair_half_cells) {
        c.cube_type = cube_one_interface;
        c.interface_pos = zi - geom_eps > z ? n + pair_half_cells : pair_half_cells - 1 - n;
        if (c.mirror) c.interface_pos = pair_last_position - c.interface_pos;
    } else {
        c.cube_type = cube_homogeneous;
    }
    return double(pair_cells) * 0.5 * d / (double(n) + 0.5);
}


double classify_three_interfaces(cube_fields& c, const layer_stack& ls, double a, double z, uint64_t layer_id,
                                 const uint64_t (&interface_id)[3]) {
    c.blend_weight = 0.0;
    c.mirror = 0;
    c.single_table = 1;
    double t[3];
    for (int k = 0; k < 3; ++k) t[k] = interface_height(ls, interface_id[k]) - z;
    interface_count n = count_interfaces(t, a);
    if (n.below == 3) {
        c.table_index = 0;
        c.cube_type = cube_homogeneous;
        return a;
    }
    if (n.inside >= 2) {
        a = fit_placement_cube(t, a, n);
        n = count_interfaces(t, a);
    }
    c.table_index = interface_list_index(interface_id[n.below]);
    if (n.inside == 0) {
        c.cube_type = cube_homogeneous;
        return a;
    }
    if (n.inside == 1) {
        if (is_interface_id(layer_id)) {
            c.cube_type = cube_on_interface;
            return a;
        }
        // Same snapping as one interface, without grid or mirror.
        const uint64_t index = c.table_index;
        const double r = classify_one_interface(c, ls, a, z, layer_code_inside, interface_id[n.below], nullptr);
        c.table_index = index;
        return r;
    }
    // The fitted cube holds every interface on its own inner boundary.
    auto cell = [&](int k) { return round_to_int(placement_coordinate(t[n.below + k], a)); };
    if (n.inside == 2) {
        c.cube_type = cube_two_interfaces;
        c.interface_pos = two_interface_placement(cell(0), cell(1));
    } else {
        c.cube_type = cube_three_interfaces;
        c.interface_pos = three_interface_placement(cell(0), cell(1), cell(2));
    }
    return a;
}

double equal_slab_mean(const layer_stack& ls, double bottom, double top) {
    double sum = 0.0, thickness = 0.0;
    for (std::size_t k = 0; k < ls.layer_count(); ++k) {
        const double zl = ls.interface_z[layer_guard_permittivities + k];
        const double zu = ls.interface_z[layer_guard_interfaces + k];
        const double lo = bottom < zl - geom_eps ? zl : bottom;
        const bool clipped = top - geom_eps > zu;
        const double hi = clipped ? zu : top;
        if (hi - geom_eps > lo) {
            sum += (hi - lo) * ls.permittivity[layer_guard_permittivities + k];
            thickness += hi - lo;
        }
    }
    return sum / thickness;
}

double fit_equal_slab_cube(cube_fields& c, const layer_stack& ls, double a, double z) {
    for (;;) {
        c.cube_type = cube_equal_slab;
        double mean[4];
        for (int s = 0; s < 4; ++s) {
            const double bottom = z - a + s * a * 0.5;
            mean[s] = equal_slab_mean(ls, bottom, bottom + a * 0.5);
        }
        int pos = 0;
        for (int s = 1; s < 4; ++s)
            if (mean[s] > mean[pos]) pos = s;
        double r[4];
        bool too_low = false;
        for (int s = 0; s < 4 && !too_low; ++s) {
            r[s] = mean[s] / mean[pos];
            too_low = r[s] < slab_ratio_floor;
        }
        if (too_low) {
            a *= 0.5;
            continue;
        }
        c.mirror = pos > 1 ? 1 : 0;
        if (pos > 1) {
            std::swap(r[0], r[3]);
            std::swap(r[1], r[2]);
            pos = 3 - pos;
        }
        auto step = [](double ratio) { return uint64_t(std::floor((ratio - slab_ratio_floor) / slab_ratio_step)); };
        const uint64_t q1 = step(r[1 - pos]), q2 = step(r[2]), q3 = step(r[3]);
        c.table_index = ((uint64_t(pos) * slab_ratio_count + q1) * slab_ratio_count + q2) * slab_ratio_count + q3;
        return a;
    }
}

void equal_layer_index::mark_high_contrast() {
    const std::size_t layers = this->layers->layer_count();
    high_contrast.clear();
    any_high_contrast = 0;
    for (std::size_t i = 0; i + 1 < layers; ++i) {
        const double a = this->layers->permittivity[layer_guard_permittivities + i];
        const double b = this->layers->permittivity[layer_guard_permittivities + i + 1];
        const double larger = a < b - geom_eps ? b : a;
        const double smaller = a < b - geom_eps ? a : b;
        const bool bit = larger / smaller > high_contrast_ratio;
        high_contrast.push_back(bit);
        if (bit) any_high_contrast = 1;
    }
}

void equal_layer_index::locate_layer() {
    if (!any_high_contrast) return;
    const std::vector<double>& zi = layers->interface_z;
    layer_id = uint64_t(find_layer_id(*layers, layer_code_lowest_interface, z));
    int64_t lo, up;
    neighbour_interfaces(layer_id, lo, up);
    const bool nearer_up = z - zi[lo] - geom_eps > zi[up] - z;
    const int64_t nearest = nearer_up ? up : lo;
    nearest_layer_id = uint64_t(interface_code(nearest));
    if (high_contrast_at(uint64_t(nearest))) {
        nearest_high_contrast = 1;
        const double d_up = nearer_up ? zi[up + 1] - z : zi[up] - z;
        const double d_down = nearer_up ? z - zi[lo] : z - zi[lo - 1];
        radius = d_up - geom_eps > d_down ? d_down : d_up;
        return;
    }
    nearest_high_contrast = 0;
    radius = unlimited_radius;
    if (layers->layer_count() < 2) return;
    const std::size_t steps = high_contrast.size();
    for (std::size_t s = 0; s < steps; ++s) {
        const double d_up = zi[up] - z;
        const double d_down = z - zi[lo];
        const int64_t taken = d_up < d_down - geom_eps ? up++ : lo--;
        if (high_contrast_at(uint64_t(taken))) {
            radius = std::fabs(zi[taken] - z);
            return;
        }
    }
}
