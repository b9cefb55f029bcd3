// The dielectric layer stack: sorted interface heights and layer
// permittivities, each padded with guard entries at both ends.
//
// For m layers: interface_z has 6 x -1e9, the m - 1 real interfaces, then
// 6 x +1e9 (m + 11 entries); permittivity has 5 x 0, the m layers bottom to
// top, then 5 x 0 (m + 10 entries). Layer k (0 = lowest) has permittivity
// index 5 + k and lies between interface_z[5 + k] and interface_z[6 + k].
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct layout;
struct medium;

// Layer codes: a height on interface j (index into interface_z) codes as
// layer_code_interface + j; inside the layer of permittivity index j as
// layer_code_inside + j.
constexpr int layer_code_inside = 10000;
constexpr int layer_code_interface = 20000;
// Guard entries before the first real interface / the first real layer.
constexpr int layer_guard_interfaces = 6;
constexpr int layer_guard_permittivities = 5;
// Hint for a caller that knows nothing about the height.
constexpr int layer_code_lowest_interface = layer_code_interface + layer_guard_interfaces;
constexpr int layer_code_lowest_layer = layer_code_inside + layer_guard_permittivities;

struct layer_stack {
    std::vector<double> interface_z;
    std::vector<double> permittivity;
    // Two neighbouring layers differ by more than contrast_ratio.
    uint8_t high_contrast = 0;
    double contrast_ratio = 1.5;

    // Number of real layers (at least one once built).
    std::size_t layer_count() const {
        return interface_z.size() - (2 * layer_guard_interfaces - 1);
    }
};

// Builds layout.layers from layout.media (dropped in homogeneous mode) and
// empties the media.
void setup_media(layout& l);

// Appends to the stack's two (empty) vectors; media sorted by bottom.
void build_layer_stack(layer_stack& stack, const std::vector<medium>& sorted_media);

// Layer code of height z. The search runs upward only from hint (a code at or
// below z; pass layer_code_lowest_interface when nothing is known).
int find_layer_id(const layer_stack& stack, int hint, double z);
