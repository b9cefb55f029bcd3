// Transfer sampling: one hop from the centre of a transition cube to the
// centre of a surface panel drawn from a cumulative table row (panel order:
// transition_tables/panel_layout.hpp).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "geometry/vec3.hpp"
#include "transition_tables/guide_table.hpp"
#include "transition_tables/panel_layout.hpp"
#include "walker/random_draw.hpp"

// How a cube's row is read: one set alone, or two sets blended with weight
// w on the second; directions mirrored in z for inverted interfaces.
struct row_blend {
    bool single;
    double w;
    bool mirror;
};

// First index i in [0, Count) with value(i) >= r; Count - 1 when none.
template <std::size_t Count, class Value>
inline std::size_t lower_bound_by(double r, Value value) {
    const std::size_t i = first_reaching(Count, r, value);
    return i < Count ? i : Count - 1;
}

// First panel whose (possibly blended) cumulative value reaches r, by a
// binary search of the whole row.
template <int N, class T>
inline std::size_t pick_panel(const T* t1, const T* t2, const row_blend& b, double r) {
    constexpr std::size_t count = panel_count<N>;
    if (b.single) return lower_bound_by<count>(r, [&](std::size_t i) { return double(t1[i]); });
    const double w = b.w, keep = 1.0 - w;
    return lower_bound_by<count>(r, [&](std::size_t i) { return keep * double(t1[i]) + w * double(t2[i]); });
}

// How a row's entries are read: hop rows as stored, first-hop rows by
// magnitude (their entries carry the panels' signs).
struct stored_value {
    template <class T>
    double operator()(T v) const { return double(v); }
};
struct magnitude_value {
    template <class T>
    double operator()(T v) const { return std::fabs(double(v)); }
};

// The panel pick_panel finds for r = k 2^-32, started at the rows' cut
// points. Below both rows' cut points each row stays under the slice's lower
// end, and so does a blend with a weight in [0, 1]; one look at the panel
// before the start proves it against rounding, and a failed proof falls back
// to the search.
template <int N, class T, class Read>
inline std::size_t guided_panel(const guided_row<T>& r1, const guided_row<T>& r2, const row_blend& b,
                                uint32_t k, Read read) {
    constexpr std::size_t last = panel_count<N> - 1;
    const double r = double(k) * uniform_scale;
    const std::size_t slice = guide_slice(k);
    std::size_t i;
    if (b.single) {
        if (r1.records) {
            const slice_record<T>& s = r1.records[slice];
            i = s.first;
            for (const T v : s.value) {
                if (!(i < last && read(v) < r)) return i;
                ++i;
            }
        } else {
            i = std::size_t(r1.cells[slice]);
        }
        while (i < last && read(r1.cdf[i]) < r) ++i;
        return i;
    }
    i = std::size_t(r1.cells[slice]);
    const double w = b.w, keep = 1.0 - w;
    const auto value = [&](std::size_t n) { return keep * read(r1.cdf[n]) + w * read(r2.cdf[n]); };
    const std::size_t i2 = std::size_t(r2.cells[slice]);
    if (i2 < i) i = i2;
    if (i > 0 && !(value(i - 1) < r)) return lower_bound_by<panel_count<N>>(r, value);
    while (i < last && value(i) < r) ++i;
    return i;
}

// Draws one hop direction (mirror applied, no rotation).
template <int N, class T>
inline vec3 draw_direction(walker_rng& rng, const guided_row<T>* t1, const guided_row<T>* t2, const row_blend& b) {
    const uint32_t k = uint32_t(rng());
    vec3 u = panel_direction<N>(guided_panel<N>(*t1, *t2, b, k, stored_value{}));
    if (b.mirror) u.z = -u.z;
    return u;
}

// One first-hop row: cumulative over the absolute panel masses; when
// signed_row, a panel of negative mass has a negative entry (in the table's
// own orientation, before any mirror). weight is the set's weight value for
// the start axis; cells are the row's cut points (none: a full search).
template <class T>
struct first_hop_row {
    const T* cdf;
    bool signed_row;
    double weight;
    const guide_entry* cells = nullptr;
};

// A drawn first hop: the direction (mirrored, not rotated) and the sign of
// the landing panel's gradient mass along the start axis.
struct first_hop_draw {
    vec3 u;
    double sign;
};

// Sign by the landing side: + on the + side of the axis, - elsewhere.
inline double position_sign(const vec3& u, int axis) { return axis_of(u, axis) > 0 ? 1.0 : -1.0; }

// Signed mass of panel i relative to its row's total, table orientation.
template <class T>
inline double panel_mass(const first_hop_row<T>& row, std::size_t i, const vec3& table_u, int axis) {
    const double below = i == 0 ? 0.0 : std::fabs(double(row.cdf[i - 1]));
    const double mass = std::fabs(double(row.cdf[i])) - below;
    const double sign = row.signed_row ? (std::signbit(row.cdf[i]) ? -1.0 : 1.0) : position_sign(table_u, axis);
    return sign * mass;
}

// The first-hop panel of r by a binary search of the whole row.
template <int N, class T>
inline std::size_t search_first_hop(const first_hop_row<T>& r1, const first_hop_row<T>& r2, const row_blend& b,
                                    double r) {
    const double w = b.w, keep = 1.0 - w;
    return b.single ? lower_bound_by<panel_count<N>>(r, [&](std::size_t n) { return std::fabs(double(r1.cdf[n])); })
                    : lower_bound_by<panel_count<N>>(r, [&](std::size_t n) {
                          return keep * std::fabs(double(r1.cdf[n])) + w * std::fabs(double(r2.cdf[n]));
                      });
}

// Draws the first hop. Rows without stored signs use the landing side, so
// such tables walk exactly as they always did; stored signs follow the
// mirror, which turns a z gradient around.
template <int N, class T>
inline first_hop_draw draw_first_hop(walker_rng& rng, const first_hop_row<T>& r1, const first_hop_row<T>& r2,
                                     const row_blend& b, int axis) {
    const uint32_t k = uint32_t(rng());
    const std::size_t i = r1.cells && (b.single || r2.cells)
                              ? guided_panel<N>(guided_row<T>{r1.cdf, r1.cells}, guided_row<T>{r2.cdf, r2.cells}, b, k,
                                                magnitude_value{})
                              : search_first_hop<N>(r1, r2, b, double(k) * uniform_scale);
    const vec3 table_u = panel_direction<N>(i);
    vec3 u = table_u;
    if (b.mirror) u.z = -u.z;
    if (!r1.signed_row && (b.single || !r2.signed_row)) return {u, position_sign(u, axis)};
    double mass = panel_mass(r1, i, table_u, axis);
    if (!b.single) mass = (1.0 - b.w) * r1.weight * mass + b.w * r2.weight * panel_mass(r2, i, table_u, axis);
    double sign = mass < 0 ? -1.0 : 1.0;
    if (b.mirror && axis == 2) sign = -sign;
    return {u, sign};
}

// Signed weight factor of a first hop of half side a from a start face
// (0..5 = +x, +y, +z, -x, -y, -z) whose landing panel has a gradient mass
// of the given sign; k1, k2 are the two sets' weight values for the face's
// axis. The walk carries the flux into the conductor, so a start face on
// the + side of its axis turns the sign.
inline double signed_first_hop_factor(uint64_t face, double sign, double k1, double k2, const row_blend& b,
                                      double a) {
    const double k = b.single ? k1 : (1.0 - b.w) * k1 + b.w * k2;
    const double f = k / (2.0 * a);
    return face < 3 ? -sign * f : sign * f;
}

// Turns a direction about z.
inline vec3 rotate_about_z(const vec3& u, double c, double s) {
    return {c * u.x - s * u.y, s * u.x + c * u.y, u.z};
}
