#include "geometry/layer_stack.hpp"

#include <algorithm>
#include <cmath>

#include "config/configure.hpp"
#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "geometry/validate_layout.hpp"

void setup_media(layout& l) {
    if (l.cfg != nullptr && l.cfg->multi_dielectric == configure::layout_off) l.media.clear();
    check_media_form_layers(l.media);
    if (l.media.empty()) l.media.push_back(medium{-geom_infinity, geom_infinity, 1.0});
    // The media tile the height (checked above), so the bottom is only a sort
    // key and each layer starts where the one below ends.
    std::stable_sort(l.media.begin(), l.media.end(),
                     [](const medium& a, const medium& b) { return a.z0 < b.z0; });
    build_layer_stack(l.layers, l.media);
    std::vector<medium>().swap(l.media);
}

void build_layer_stack(layer_stack& stack, const std::vector<medium>& sorted_media) {
    std::vector<double>& z = stack.interface_z;
    std::vector<double>& eps = stack.permittivity;
    for (int i = 0; i < layer_guard_permittivities; ++i) {
        z.push_back(-geom_infinity);
        eps.push_back(0.0);
    }
    z.push_back(-geom_infinity);
    for (const medium& m : sorted_media) {
        const double p = eps.back();
        if (std::abs(m.eps - p) < geom_eps) {
            // Same permittivity: the medium continues the layer below.
            z.back() = m.z1;
            continue;
        }
        if (!(std::abs(p) < geom_eps)) {
            if (m.eps - geom_eps > stack.contrast_ratio * p ||
                p - geom_eps > stack.contrast_ratio * m.eps)
                stack.high_contrast = 1;
        }
        eps.push_back(m.eps);
        z.push_back(m.z1);
    }
    // The top of the highest layer is open.
    z.back() = geom_infinity;
    for (int i = 0; i < layer_guard_permittivities; ++i) {
        z.push_back(geom_infinity);
        eps.push_back(0.0);
    }
}

int find_layer_id(const layer_stack& stack, int hint, double z) {
    const std::vector<double>& iz = stack.interface_z;
    const int end = int(iz.size()) - layer_guard_interfaces;
    for (int i = std::max(hint, layer_code_lowest_interface); i - layer_code_interface < end;
         ++i) {
        const double zi = iz[std::size_t(i - layer_code_interface)];
        if (std::abs(z - zi) < geom_eps) return i;
        if (zi - geom_eps > z) return i - layer_code_interface + layer_code_inside - 1;
    }
    return layer_code_inside + int(stack.permittivity.size()) - layer_guard_permittivities - 1;
}

double permittivity_taking_below(const layer_stack& stack, double z) {
    if (stack.permittivity.empty()) return 1.0;
    const int code = find_layer_id(stack, layer_code_lowest_interface, z);
    return stack.permittivity[std::size_t(layer_at_or_below(code))];
}

double permittivity_taking_mean(const layer_stack& stack, double z) {
    const int code = find_layer_id(stack, layer_code_lowest_interface, z);
    if (is_interface_code(code)) {
        const std::size_t i = std::size_t(interface_of_code(code));
        return 0.5 * (stack.permittivity[i - 1] + stack.permittivity[i]);
    }
    return stack.permittivity[std::size_t(code - layer_code_inside)];
}
