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
// layer_code_inside + j. Interface j is the top of layer j - 1 and the
// bottom of layer j.
constexpr int layer_code_inside = 10000;
constexpr int layer_code_interface = 20000;
// Width of each of the two ranges of codes.
constexpr int layer_code_range = 10000;
// Guard entries before the first real interface / the first real layer.
constexpr int layer_guard_interfaces = 6;
constexpr int layer_guard_permittivities = 5;
// Hint for a caller that knows nothing about the height.
constexpr int layer_code_lowest_interface = layer_code_interface + layer_guard_interfaces;
constexpr int layer_code_lowest_layer = layer_code_inside + layer_guard_permittivities;

constexpr bool is_interface_code(int64_t code) {
    return code >= layer_code_interface && code < layer_code_interface + layer_code_range;
}
constexpr bool is_inside_code(int64_t code) {
    return code >= layer_code_inside && code < layer_code_inside + layer_code_range;
}
// Code of a height on interface j.
constexpr int64_t interface_code(int64_t j) { return layer_code_interface + j; }
// Index into interface_z of an interface code.
constexpr int64_t interface_of_code(int64_t code) { return code - layer_code_interface; }
// The interface a code stands on, or for a code inside a layer the
// interface just below that layer.
constexpr int64_t interface_at_or_below(int64_t code) {
    return is_interface_code(code) ? code - layer_code_interface : code - layer_code_inside;
}
// Permittivity index of the layer holding a code; on an interface, of the
// layer below it.
constexpr int64_t layer_at_or_below(int64_t code) {
    return is_interface_code(code) ? code - layer_code_interface - 1 : code - layer_code_inside;
}
// Position among the real interfaces (0 = lowest) of an interface code; for
// a code inside a layer, the position among the real layers.
constexpr int64_t real_index_of_code(int64_t code) {
    return is_inside_code(code) ? code - layer_code_lowest_layer : code - layer_code_lowest_interface;
}

struct layer_stack {
    std::vector<double> interface_z;
    std::vector<double> permittivity;
    // Two neighbouring layers differ by more than contrast_ratio.
    uint8_t high_contrast = 0;
    double contrast_ratio = 1.5;

    // Number of real layers: at least one once built, none before.
    std::size_t layer_count() const {
        return permittivity.size() < 2 * layer_guard_permittivities
                   ? 0
                   : permittivity.size() - 2 * layer_guard_permittivities;
    }
};

// Height of the interface an interface code stands on.
inline double interface_height(const layer_stack& stack, int64_t code) {
    return stack.interface_z[std::size_t(interface_of_code(code))];
}

// Builds layout.layers from layout.media (dropped in homogeneous mode) and
// empties the media.
void setup_media(layout& l);

// Appends to the stack's two (empty) vectors; media sorted by bottom.
void build_layer_stack(layer_stack& stack, const std::vector<medium>& sorted_media);

// Layer code of height z. The search runs upward only from hint (a code at or
// below z; pass layer_code_lowest_interface when nothing is known).
int find_layer_id(const layer_stack& stack, int hint, double z);

// Relative permittivity at height z. The two differ on an interface only:
// the first takes the layer below it, the second the mean of both sides.
double permittivity_taking_below(const layer_stack& stack, double z);
double permittivity_taking_mean(const layer_stack& stack, double z);
