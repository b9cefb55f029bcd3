// Transition tables made in memory for tests and benchmarks. They are not
// the harmonic measure of a cube, but every row is symmetric where the walk's
// martingale needs it, and the layered rows are exact for potentials that
// vary in z only (two plates in a Neumann window): a hop lands on the top or
// bottom face with the probabilities that keep the 1-D potential a
// martingale, and the first-hop weight reproduces its z derivative.
#pragma once

#include <array>
#include <cmath>
#include <deque>
#include <memory>
#include <vector>

#include "transition_tables/table_store.hpp"
#include "walker/transfer.hpp"

namespace walker_test {

template <class T>
void size_to(std::vector<T>& v, std::size_t n) { v.assign(n, T()); }
template <class T, std::size_t N>
void size_to(T (&)[N], std::size_t) {}
template <class T, std::size_t N>
void size_to(std::array<T, N>&, std::size_t) {}

// Panel weights of one row, made cumulative (last entry exactly 1).
template <int N, class T>
void write_row(T* row, const std::vector<double>& w) {
    double total = 0.0;
    for (double v : w) total += v;
    double run = 0.0;
    for (std::size_t i = 0; i < panel_count<N>; ++i) row[i] = T((run += w[i]) / total);
    row[panel_count<N> - 1] = T(1.0);
}

// Solid-angle weights: a panel's share of the directions from the centre.
template <int N>
std::vector<double> solid_angle_weights() {
    std::vector<double> w(panel_count<N>);
    for (std::size_t i = 0; i < w.size(); ++i) {
        const vec3 u = panel_direction<N>(i);
        const double r = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
        w[i] = 1.0 / (r * r * r);
    }
    return w;
}

// Uniform over the panels of the +z face (top) and the -z face, with the
// given probability of the top.
template <int N>
std::vector<double> two_face_weights(int axis, double top) {
    std::vector<double> w(panel_count<N>, 0.0);
    for (std::size_t i = 0; i < w.size(); ++i) {
        const vec3 u = panel_direction<N>(i);
        const double c = axis_of(u, axis);
        if (c == 1.0) w[i] = top;
        if (c == -1.0) w[i] = 1.0 - top;
    }
    return w;
}

// 1-D potential across a cube of half side 1 with an interface at zeta:
// f(z) = integral from 0 to z of 1 / eps.
struct slab_profile {
    double zeta, eps_lo, eps_hi;
    double f(double z) const {
        const double walker_eps = zeta > 0 ? eps_lo : eps_hi;
        if ((z - zeta) * (0 - zeta) >= 0) return z / walker_eps;  // same side as the walker
        return zeta / walker_eps + (z - zeta) / (z > zeta ? eps_hi : eps_lo);
    }
    // Top probability keeping f a martingale.
    double top() const { return -f(-1.0) / (f(1.0) - f(-1.0)); }
    // Weight value K (for a cube of side 1) that turns the symmetric
    // gradient row into f'(0); slope0 is f'(0).
    double weight(double slope0) const { return 4.0 * slope0 / (f(1.0) - f(-1.0)); }
};

template <int N, class Set>
void fill_layered_config(Set& s, std::size_t c, const slab_profile& p, double slope0) {
    write_row<N>(&s.gft[0] + c * panel_count<N>, two_face_weights<N>(2, p.top()));
    for (int axis = 0; axis < 3; ++axis) {
        write_row<N>(&s.gft_is[0] + (3 * c + axis) * panel_count<N>, two_face_weights<N>(axis, 0.5));
        s.wvt_is[3 * c + axis] = axis == 2 ? p.weight(slope0) : 2.0;
    }
}

// Owns the layered sets whose pointers it puts into the store's lists.
struct synthetic_tables {
    table_store store;
    std::deque<std::unique_ptr<pair_table_set>> pairs;
    std::deque<std::unique_ptr<h_pair_table_set>> h_pairs;

    // Homogeneous set: hops by solid angle, first hops on the two faces
    // normal to the start axis with K = 2.
    synthetic_tables() {
        size_to(store.single.gft, panel_count<31>);
        size_to(store.single.gft_is, 3 * panel_count<31>);
        size_to(store.single.wvt_is, 3);
        write_row<31>(&store.single.gft[0], solid_angle_weights<31>());
        for (int axis = 0; axis < 3; ++axis) {
            write_row<31>(&store.single.gft_is[0] + axis * panel_count<31>, two_face_weights<31>(axis, 0.5));
            store.single.wvt_is[axis] = 2.0;
        }
        build_row_guides(store);
    }

    // Pair and h-pair sets of one interface between eps_lo and eps_hi.
    void add_interface(double eps_lo, double eps_hi) {
        pairs.push_back(std::make_unique<pair_table_set>());
        pair_table_set& p = *pairs.back();
        size_to(p.gft, 30 * panel_count<31>);
        size_to(p.gft_is, 90 * panel_count<31>);
        size_to(p.wvt_is, 90);
        for (std::size_t pos = 0; pos < 30; ++pos) {
            const double zeta = -1.0 + double(pos + 1) * 2.0 / 31.0;
            const slab_profile prof{zeta, eps_lo, eps_hi};
            fill_layered_config<31>(p, pos, prof, 1.0 / (zeta > 0 ? eps_lo : eps_hi));
        }
        store.pair_list.push_back(&p);

        h_pairs.push_back(std::make_unique<h_pair_table_set>());
        h_pair_table_set& h = *h_pairs.back();
        size_to(h.gft, panel_count<32>);
        size_to(h.gft_is, 3 * panel_count<32>);
        size_to(h.wvt_is, 3);
        // On the interface the flux is taken with the mean permittivity.
        const slab_profile on{1e-300, eps_lo, eps_hi};  // walker just below it
        fill_layered_config<32>(h, 0, on, 2.0 / (eps_lo + eps_hi));
        store.h_pair_list.push_back(&h);
        build_row_guides(store);
    }
};

}  // namespace walker_test
