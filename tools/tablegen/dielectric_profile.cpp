#include "tools/tablegen/dielectric_profile.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

dielectric_profile homogeneous_profile() { return dielectric_profile{{}, {1.0}}; }

dielectric_profile make_profile(std::vector<double> interface_z, std::vector<double> eps) {
    if (eps.size() != interface_z.size() + 1)
        throw std::invalid_argument("a profile needs one permittivity more than interfaces");
    for (double e : eps)
        if (!(e > 0.0) || !std::isfinite(e)) throw std::invalid_argument("permittivities must be positive");
    for (std::size_t i = 0; i < interface_z.size(); ++i) {
        const double z = interface_z[i];
        if (!(z > -1.0 && z < 1.0)) throw std::invalid_argument("interfaces must lie inside the cube");
        if (i > 0 && !(z > interface_z[i - 1])) throw std::invalid_argument("interfaces must increase");
    }
    return dielectric_profile{std::move(interface_z), std::move(eps)};
}

std::size_t layer_at(const dielectric_profile& p, double z) {
    std::size_t s = 0;
    while (s + 1 < p.eps.size() && z > p.interface_z[s] + on_interface_tolerance) ++s;
    return s;
}

double flux_permittivity(const dielectric_profile& p, double z) {
    const std::size_t s = layer_at(p, z);
    if (s + 1 < p.eps.size() && std::abs(z - p.interface_z[s]) <= on_interface_tolerance)
        return 0.5 * (p.eps[s] + p.eps[s + 1]);
    return p.eps[s];
}

dielectric_profile mirrored(const dielectric_profile& p) {
    dielectric_profile m;
    m.interface_z.reserve(p.interface_z.size());
    for (auto it = p.interface_z.rbegin(); it != p.interface_z.rend(); ++it) m.interface_z.push_back(-*it);
    m.eps.assign(p.eps.rbegin(), p.eps.rend());
    return m;
}
