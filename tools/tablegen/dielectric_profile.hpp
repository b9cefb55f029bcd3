// Permittivity of one transition cube as a function of height. Lengths are
// in half sides: the cube is [-1, 1]^3 and the walker stands at the origin.
#pragma once

#include <cstddef>
#include <vector>

struct dielectric_profile {
    // Strictly increasing heights inside (-1, 1).
    std::vector<double> interface_z;
    // One relative permittivity per layer, bottom to top
    // (interface_z.size() + 1 entries, all positive).
    std::vector<double> eps;

    std::size_t layer_count() const { return eps.size(); }
    // Bottom of layer s (-1 for the lowest) and its top (+1 for the highest).
    double layer_bottom(std::size_t s) const { return s == 0 ? -1.0 : interface_z[s - 1]; }
    double layer_top(std::size_t s) const { return s + 1 == eps.size() ? 1.0 : interface_z[s]; }
};

// Heights closer than this to an interface lie on it.
constexpr double on_interface_tolerance = 1e-12;

dielectric_profile homogeneous_profile();

// Layers bottom to top, each with one interface between neighbours. Throws
// std::invalid_argument for unsorted heights, heights outside (-1, 1), a
// count mismatch or a permittivity that is not positive.
dielectric_profile make_profile(std::vector<double> interface_z, std::vector<double> eps);

// The layer holding height z; a height on an interface belongs to the
// layer below it.
std::size_t layer_at(const dielectric_profile& p, double z);

// The permittivity that turns the continuous flux eps du/dz into the
// derivative the walker uses: the layer's own, or the mean of the two
// layers for a height on an interface.
double flux_permittivity(const dielectric_profile& p, double z);

// The same cube turned upside down (z -> -z).
dielectric_profile mirrored(const dielectric_profile& p);
