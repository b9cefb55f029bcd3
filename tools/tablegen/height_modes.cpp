#include "tools/tablegen/height_modes.hpp"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

// The Pruefer angle theta (psi = R sin theta, psi' / omega = R cos theta)
// keeps its branch floor(theta / pi) across an interface: psi is continuous
// and psi' scales by eps_below / eps_above there.
struct pruefer_step {
    double theta;
    double amplitude_factor;
};

pruefer_step cross_interface(double theta, double eps_below, double eps_above) {
    const double branch = std::floor(theta / pi);
    const double phi = theta - branch * pi;
    const double s = std::sin(phi);
    const double c = std::cos(phi) * (eps_below / eps_above);
    return {branch * pi + std::atan2(s, c), std::hypot(s, c)};
}

double end_angle(const dielectric_profile& p, double omega) {
    double theta = 0.0;
    for (std::size_t s = 0; s < p.layer_count(); ++s) {
        theta += omega * (p.layer_top(s) - p.layer_bottom(s));
        if (s + 1 < p.layer_count()) theta = cross_interface(theta, p.eps[s], p.eps[s + 1]).theta;
    }
    return theta;
}

// Root of end_angle(omega) = target by bisection down to adjacent doubles.
double solve_omega(const dielectric_profile& p, double target, double lo, double hi) {
    for (;;) {
        const double mid = 0.5 * (lo + hi);
        if (!(mid > lo && mid < hi)) return mid;
        (end_angle(p, mid) < target ? lo : hi) = mid;
    }
}

lateral_mode build_mode(const dielectric_profile& p, double omega) {
    lateral_mode m;
    m.omega = omega;
    double theta = 0.0, amplitude = 1.0, norm = 0.0;
    for (std::size_t s = 0; s < p.layer_count(); ++s) {
        const double d = p.layer_top(s) - p.layer_bottom(s);
        m.amplitude.push_back(amplitude);
        m.phase.push_back(theta);
        // Integral of sin^2(theta + omega t) over [0, d].
        const double end = theta + omega * d;
        norm += p.eps[s] * amplitude * amplitude *
                (0.5 * d - (std::sin(2.0 * end) - std::sin(2.0 * theta)) / (4.0 * omega));
        theta = end;
        if (s + 1 < p.layer_count()) {
            const pruefer_step step = cross_interface(theta, p.eps[s], p.eps[s + 1]);
            theta = step.theta;
            amplitude *= step.amplitude_factor;
        }
    }
    const double scale = 1.0 / std::sqrt(norm);
    for (double& a : m.amplitude) a *= scale;
    return m;
}

} // namespace

height_sample decaying_mode_at(const dielectric_profile& p, double k, double side, double z0) {
    if (side < 0.0) {
        const height_sample up = decaying_mode_at(mirrored(p), k, 1.0, -z0);
        return {up.value, -up.flux};
    }
    // Grow the solution from the zero face; every term stays positive, so
    // nothing cancels, and the ratio to the face value is taken at the end.
    double z = 0.0, f = 1.0;
    height_sample at{0.0, 0.0};
    bool sampled = false;
    for (std::size_t s = 0; s < p.layer_count(); ++s) {
        const double bottom = p.layer_bottom(s), top = p.layer_top(s), e = p.eps[s];
        auto advance = [&](double d, double& zv, double& fv) {
            const double ch = std::cosh(k * d), sh = std::sinh(k * d);
            const double zn = zv * ch + fv / (e * k) * sh;
            fv = fv * ch + e * k * zv * sh;
            zv = zn;
        };
        if (!sampled && z0 <= top) {
            double zs = z, fs = f;
            advance(z0 - bottom, zs, fs);
            at = {zs, fs};
            sampled = true;
        }
        advance(top - bottom, z, f);
    }
    return {at.value / z, at.flux / z};
}

std::vector<lateral_mode> lateral_modes(const dielectric_profile& p, int count) {
    // Each interface moves theta by less than pi / 2 and every layer adds
    // omega times its height, so theta(1) lies within (interfaces) pi / 2 of
    // 2 omega: that brackets the root of mode l.
    const double spread = 0.5 * pi * double(p.interface_z.size()) + 1.0;
    std::vector<lateral_mode> modes;
    modes.reserve(std::size_t(std::max(count, 0)));
    for (int l = 1; l <= count; ++l) {
        const double target = l * pi;
        const double lo = std::max(0.0, 0.5 * (target - spread));
        const double hi = 0.5 * (target + spread);
        modes.push_back(build_mode(p, solve_omega(p, target, lo, hi)));
    }
    return modes;
}

double lateral_value(const dielectric_profile& p, const lateral_mode& m, double z) {
    const std::size_t s = layer_at(p, z);
    return m.amplitude[s] * std::sin(m.phase[s] + m.omega * (z - p.layer_bottom(s)));
}

double lateral_flux(const dielectric_profile& p, const lateral_mode& m, double z) {
    const std::size_t s = layer_at(p, z);
    return p.eps[s] * m.amplitude[s] * m.omega * std::cos(m.phase[s] + m.omega * (z - p.layer_bottom(s)));
}

double lateral_integral(const dielectric_profile& p, const lateral_mode& m, double a, double b) {
    double sum = 0.0;
    for (std::size_t s = 0; s < p.layer_count(); ++s) {
        const double bottom = p.layer_bottom(s);
        const double lo = std::max(a, bottom), hi = std::min(b, p.layer_top(s));
        if (!(hi > lo)) continue;
        // cos(A) - cos(B) as a product, which keeps thin panels accurate.
        const double u = m.phase[s] + m.omega * (lo - bottom);
        const double v = m.phase[s] + m.omega * (hi - bottom);
        sum += p.eps[s] * m.amplitude[s] / m.omega * 2.0 * std::sin(0.5 * (u + v)) * std::sin(0.5 * (v - u));
    }
    return sum;
}
