#include "walker/mode_four_placements.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "walker/whole_rounding.hpp"

namespace {

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

}  // namespace

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
