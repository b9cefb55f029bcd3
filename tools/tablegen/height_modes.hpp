// One-dimensional solutions in z of div(eps grad u) = 0 for a layered cube
// (half-side units, eps piecewise constant, u and eps du/dz continuous).
#pragma once

#include <vector>

#include "tools/tablegen/dielectric_profile.hpp"

// Value and flux eps dZ/dz at one height.
struct height_sample {
    double value;
    double flux;
};

// Z'' = k^2 Z in every layer, Z = 1 on the face at z = side (+1 or -1) and
// 0 on the opposite face; sampled at z0. The data face is a half side away
// from the origin, so the value there decays like exp(-k).
height_sample decaying_mode_at(const dielectric_profile& p, double k, double side, double z0);

// Eigenfunctions of -(eps psi')' = lambda eps psi on [-1, 1] with
// psi(-1) = psi(1) = 0, orthonormal with weight eps. Inside layer s,
// psi = amplitude[s] sin(phase[s] + omega (z - bottom of s)), lambda = omega^2.
struct lateral_mode {
    double omega;
    std::vector<double> amplitude;
    std::vector<double> phase;
};

// The first count eigenfunctions by increasing eigenvalue (mode l has l - 1
// zeros inside). The eigenvalues come from a bisection of the Pruefer angle,
// which is continuous and increasing in omega, so none is missed.
std::vector<lateral_mode> lateral_modes(const dielectric_profile& p, int count);

double lateral_value(const dielectric_profile& p, const lateral_mode& m, double z);
// eps dpsi/dz, continuous across interfaces.
double lateral_flux(const dielectric_profile& p, const lateral_mode& m, double z);
// Integral of eps psi over [a, b] (-1 <= a <= b <= 1): the coefficient of a
// panel's indicator in this mode.
double lateral_integral(const dielectric_profile& p, const lateral_mode& m, double a, double b);
