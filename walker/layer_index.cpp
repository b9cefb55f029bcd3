#include "walker/layer_index.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "geometry/primitives.hpp"

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

// The whole number nearest x (ties to even), for |x| below 2^51: adding and
// taking away 1.5 * 2^52 leaves no fraction digits.
double nearest_whole(double x) {
    constexpr double round_shift = 6755399441055744.0;
    return (x + round_shift) - round_shift;
}

// std::ceil for |x| below 2^51, without the library call (the sign of a
// zero may differ, which no caller looks at).
double whole_at_or_above(double x) {
    const double r = nearest_whole(x);
    return r + double(r < x);
}

// std::round (ties away from zero) for |x| below 2^51, without the library
// call: x less its nearest whole number is exact, so a tie shows as +-0.5.
double round_half_away(double x) {
    const double r = nearest_whole(x);
    const double rest = x - r;
    if (x >= 0.0) return rest == 0.5 ? r + 1.0 : r;
    return rest == -0.5 ? r - 1.0 : r;
}

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

namespace {

// Interfaces at offsets t (sorted, from the walker's height) counted
// against a cube of half side a: those below its bottom, and those below
// its bottom or strictly inside it.
struct interface_count {
    int below;
    int inside;
};

interface_count count_interfaces(const double (&t)[3], double a) {
    int below = 0;
    while (below < 3 && -a + geom_eps > t[below]) ++below;
    int under_top = 0;
    while (under_top < 3 && a - geom_eps > t[under_top]) ++under_top;
    if (under_top < below) under_top = below;
    return {below, under_top - below};
}

// Cell boundary of the 16-cell division nearest an interface at offset t
// in a cube of half side a (the cube's bottom is boundary 0).
double placement_coordinate(double t, double a) { return (t / a + 1.0) * placement_cells_per_half_side; }

// Whether a placement coordinate may lie within the tolerance of a cell
// boundary, with room for the rounding of another way of computing it.
bool near_boundary(double x) {
    return std::fabs(x - nearest_whole(x)) <= placement_tolerance * placement_cells_per_half_side + 1e-9;
}

// 420 = lcm(1, ..., 7): every fraction p / j with j < 8 is a whole number
// of 420ths.
constexpr int fraction_steps = 420;

// Whether k / 420 (k up to 420) equals some p / j with j < 8: k is a
// multiple of 420 / j, and 420, 210 and 140 are multiples of 60 or 70.
constexpr std::array<bool, fraction_steps + 1> small_fraction = [] {
    std::array<bool, fraction_steps + 1> is{};
    for (int k = 0; k <= fraction_steps; ++k) is[k] = k % 60 == 0 || k % 70 == 0 || k % 84 == 0 || k % 105 == 0;
    return is;
}();

// How far, in 420ths, a ratio may lie from p / j and still put both
// interfaces within the tolerance of a boundary, with room for rounding.
constexpr double fraction_reach = fraction_steps * (placement_tolerance * placement_cells_per_half_side + 1e-9) + 1e-3;

// Whether k / 420 (k up to 420) is some p / j with j < 8.
bool is_small_fraction(double k) { return small_fraction[std::size_t(k)]; }

// Whether some cube that puts one interface on a boundary can put another,
// at ratio times its offset from the walker, on a boundary too: whether
// j * ratio lies near a whole number for some j = 1 .. 7.
bool may_share_boundaries(double ratio) {
    // Only where the distance of ratio from a whole number lies near some
    // p / j can j * ratio lie near one; that cheap test rules out nearly
    // every cube before the exact one.
    if (std::fabs(ratio) < 1e12) {
        const double steps = std::fabs(ratio - nearest_whole(ratio)) * fraction_steps;
        const double nearest = nearest_whole(steps);
        if (std::fabs(steps - nearest) > fraction_reach || !is_small_fraction(nearest)) return false;
    }
    for (int j = 1; j < int(placement_cells_per_half_side); ++j)
        if (near_boundary(j * ratio)) return true;
    return false;
}

// Ratios r in [0, 1] of two distances, cut into this many equal bins.
constexpr int ratio_bins = 4096;

// Bin b is marked when some r in it may lie within 2e / (j - e) of a
// fraction p / j with j < 8, e being the tolerance in cells: two interfaces
// within e of boundaries 8 + p and 8 + j of one cube (|p| <= j) have
// offsets in such a ratio, the nearer over the farther. The marks reach one
// bin further each way, for the rounding of r and of its bin.
constexpr std::array<bool, ratio_bins + 1> near_small_fraction = [] {
    std::array<bool, ratio_bins + 1> marked{};
    const double e = placement_tolerance * placement_cells_per_half_side;
    for (int j = 1; j < placement_cells_per_half_side; ++j) {
        const double reach = 2.0 * e / (j - e) + 1e-6;
        for (int p = 0; p <= j; ++p) {
            const double centre = double(p) / j;
            int from = int((centre - reach) * ratio_bins) - 1, to = int((centre + reach) * ratio_bins) + 1;
            from = from < 0 ? 0 : from;
            to = to > ratio_bins ? ratio_bins : to;
            for (int b = from; b <= to; ++b) marked[std::size_t(b)] = true;
        }
    }
    return marked;
}();

// Whether the two interfaces nearest the walker, at distances nearer <=
// farther, can both lie on boundaries of one placement cube. Every cube
// that places two or more of its interfaces holds these two: an interface
// inside it lies within 7/8 of its half side and a tolerance, and anything
// nearer lies inside too. So where this fails, no cube is placed.
bool nearest_may_share_a_cube(double nearer, double farther) {
    const double r = nearer / farther;
    // Two interfaces at one height (0 / 0) share no cell boundary.
    if (!(r <= 1.0)) return false;
    return near_small_fraction[std::size_t(r * ratio_bins)];
}

// Whether the interfaces counted inside the cube of half side a lie on
// distinct inner cell boundaries within the placement tolerance.
bool placeable(const double (&t)[3], double a, interface_count n) {
    double last = 0.0;
    for (int k = n.below; k < n.below + n.inside; ++k) {
        const double x = placement_coordinate(t[k], a);
        // Ties to even, not away from zero: a tie lies half a cell from
        // both boundaries, far outside the tolerance, either way.
        const double cell = nearest_whole(x);
        if (cell < 1.0 || cell > 2.0 * placement_cells_per_half_side - 1.0 || cell == last ||
            std::fabs(x - cell) > placement_tolerance * placement_cells_per_half_side)
            return false;
        last = cell;
    }
    return true;
}

bool placeable(const double (&t)[3], double a) { return placeable(t, a, count_interfaces(t, a)); }

// The largest cube below a that puts two or more of the n.inside interfaces
// on boundaries, or 0. The candidates are the cubes in which one interface
// falls exactly on a boundary: the largest placeable cube lies within the
// tolerance of one of them.
double largest_placement_below(const double (&t)[3], double a, interface_count n) {
    double best = 0.0;
    for (int k = n.below; k < n.below + n.inside; ++k) {
        // Interface m lands on boundary 8 + (cell - 8) t[m] / t[k] of the
        // cube that puts k on boundary cell.
        double ratio[3];
        int others = 0;
        bool any_shared = false;
        for (int m = n.below; m < n.below + n.inside; ++m) {
            if (m == k) continue;
            ratio[others] = t[m] / t[k];
            any_shared = any_shared || may_share_boundaries(ratio[others]);
            ++others;
        }
        if (!any_shared) continue;
        for (int cell = 1; cell < 2 * int(placement_cells_per_half_side); ++cell) {
            const double offset = double(cell) / placement_cells_per_half_side - 1.0;
            if (offset == 0.0) continue;
            const double side = t[k] / offset;
            if (!(side > best && side < a)) continue;
            bool another_on_boundary = false;
            for (int m = 0; m < others && !another_on_boundary; ++m)
                another_on_boundary = near_boundary((cell - placement_cells_per_half_side) * ratio[m]);
            if (another_on_boundary && count_interfaces(t, side).inside >= 2 && placeable(t, side)) best = side;
        }
    }
    return best;
}

// The half side, at most a, of the cube whose n.inside >= 2 interfaces the
// placement tables hold without moving any by more than the tolerance:
// the largest such cube, else the largest holding fewer than two, whose
// one interface the pair tables place exactly.
double fit_placement_cube(const double (&t)[3], double a, interface_count n) {
    // The two nearest inside: the smaller of two distances and the larger,
    // or of three the smallest and the middle one, without branches.
    const double d0 = std::fabs(t[n.below]), d1 = std::fabs(t[n.below + 1]);
    double nearest = std::min(d0, d1), second = std::max(d0, d1);
    if (n.inside == 3) {
        const double d2 = std::fabs(t[n.below + 2]);
        const double capped = d2 < second ? d2 : second;
        second = capped < nearest ? nearest : capped;
        nearest = std::min(nearest, d2);
    }
    // Most cubes hold interfaces at heights with no small common measure:
    // no cube can place them, this one included, and neither it nor the
    // smaller ones are tried.
    if (nearest_may_share_a_cube(nearest, second)) {
        if (placeable(t, a, n)) return a;
        const double best = largest_placement_below(t, a, n);
        if (best > 0.0) return best;
    }
    // Fewer than two inside: the second-nearest interface on a face.
    return second;
}

}  // namespace

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
