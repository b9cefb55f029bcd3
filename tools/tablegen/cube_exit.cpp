#include "tools/tablegen/cube_exit.hpp"

#include <cmath>
#include <cstddef>

#include "tools/tablegen/height_modes.hpp"
#include "transition_tables/panel_layout.hpp"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int axis_z = 2;

// One tangential direction of a face: a basis (sines or layered modes), its
// panel integrals and its value and derivative at the origin.
struct direction_basis {
    std::vector<double> integral;  // panel-major: [panel * modes + mode]
    std::vector<double> value;     // mode at the origin
    std::vector<double> slope;     // derivative at the origin (half-side units)
    std::vector<double> rate;      // squared wave number lambda of the mode
    int modes = 0;
};

// sin(m pi (t + 1) / 2), orthonormal on [-1, 1].
direction_basis sine_basis(int panels, int modes) {
    direction_basis b;
    b.modes = modes;
    b.integral.resize(std::size_t(panels) * std::size_t(modes));
    for (int m = 1; m <= modes; ++m) {
        const double w = 0.5 * m * pi;
        // sin(m pi / 2) and cos(m pi / 2), exact.
        const int r = m % 4;
        b.value.push_back(r == 1 ? 1.0 : r == 3 ? -1.0 : 0.0);
        b.slope.push_back(w * (r == 0 ? 1.0 : r == 2 ? -1.0 : 0.0));
        b.rate.push_back(w * w);
        for (int k = 0; k < panels; ++k) {
            const double lo = -1.0 + 2.0 * k / panels, hi = -1.0 + 2.0 * (k + 1) / panels;
            // cos(w (lo + 1)) - cos(w (hi + 1)) over w, as a product.
            b.integral[std::size_t(k) * modes + (m - 1)] =
                2.0 / w * std::sin(0.5 * w * (lo + hi + 2.0)) * std::sin(0.5 * w * (hi - lo));
        }
    }
    return b;
}

direction_basis height_basis(const dielectric_profile& p, int panels, int modes, double eps_flux) {
    const std::vector<lateral_mode> ms = lateral_modes(p, modes);
    direction_basis b;
    b.modes = modes;
    b.integral.resize(std::size_t(panels) * std::size_t(modes));
    for (int l = 0; l < modes; ++l) {
        const lateral_mode& m = ms[std::size_t(l)];
        b.value.push_back(lateral_value(p, m, 0.0));
        b.slope.push_back(lateral_flux(p, m, 0.0) / eps_flux);
        b.rate.push_back(m.omega * m.omega);
        for (int k = 0; k < panels; ++k)
            b.integral[std::size_t(k) * modes + l] =
                lateral_integral(p, m, -1.0 + 2.0 * k / panels, -1.0 + 2.0 * (k + 1) / panels);
    }
    return b;
}

// out[r][c] = sum_ab row.integral[r][a] w[a][b] col.integral[c][b].
void face_product(const direction_basis& row, const std::vector<double>& w, const direction_basis& col,
                  int panels, double* out) {
    const int na = row.modes, nb = col.modes;
    std::vector<double> tmp(std::size_t(panels) * nb, 0.0);  // row.integral * w
    for (int r = 0; r < panels; ++r)
        for (int a = 0; a < na; ++a) {
            const double ra = row.integral[std::size_t(r) * na + a];
            const double* wa = &w[std::size_t(a) * nb];
            double* t = &tmp[std::size_t(r) * nb];
            for (int b = 0; b < nb; ++b) t[b] += ra * wa[b];
        }
    for (int r = 0; r < panels; ++r)
        for (int c = 0; c < panels; ++c) {
            const double* t = &tmp[std::size_t(r) * nb];
            const double* ci = &col.integral[std::size_t(c) * nb];
            double s = 0.0;
            for (int b = 0; b < nb; ++b) s += t[b] * ci[b];
            out[std::size_t(r) * panels + c] = s;
        }
}

} // namespace

cube_exit compute_cube_exit(const dielectric_profile& p, int panels, const series_length& len) {
    const std::size_t per_face = std::size_t(panels) * std::size_t(panels);
    cube_exit out;
    out.panels = panels;
    out.probability.assign(6 * per_face, 0.0);
    for (auto& g : out.gradient) g.assign(6 * per_face, 0.0);

    const double eps_flux = flux_permittivity(p, 0.0);
    const direction_basis sines = sine_basis(panels, len.sine_modes);
    const direction_basis heights = height_basis(p, panels, len.lateral_modes, eps_flux);

    for (int face = 0; face < 6; ++face) {
        const int code = panel_face_code[face];
        const int normal = code % 3;
        const double side = code < 3 ? 1.0 : -1.0;
        const int row_axis = panel_row_axis[normal], col_axis = panel_column_axis[normal];
        const direction_basis& row = row_axis == axis_z ? heights : sines;
        const direction_basis& col = sines;
        const int na = row.modes, nb = col.modes;

        // The normal factor of mode (a, b) at the origin and its derivative
        // along the normal.
        std::vector<double> nv(std::size_t(na) * nb), nd(std::size_t(na) * nb);
        for (int a = 0; a < na; ++a)
            for (int b = 0; b < nb; ++b) {
                const double k = std::sqrt(row.rate[std::size_t(a)] + col.rate[std::size_t(b)]);
                const std::size_t i = std::size_t(a) * nb + b;
                if (normal == axis_z) {
                    const height_sample h = decaying_mode_at(p, k, side, 0.0);
                    nv[i] = h.value;
                    nd[i] = h.flux / eps_flux;
                } else {
                    // sinh(k (1 + side x)) / sinh(2k) at x = 0.
                    nv[i] = 0.5 / std::cosh(k);
                    nd[i] = side * 0.5 * k / std::sinh(k);
                }
            }

        // Quantity q: 0..2 the gradient along that axis, 3 the probability.
        std::vector<double> w(std::size_t(na) * nb);
        for (int q = 0; q < 4; ++q) {
            for (int a = 0; a < na; ++a)
                for (int b = 0; b < nb; ++b) {
                    const std::size_t i = std::size_t(a) * nb + b;
                    const double rv = q == row_axis ? row.slope[std::size_t(a)] : row.value[std::size_t(a)];
                    const double cv = q == col_axis ? col.slope[std::size_t(b)] : col.value[std::size_t(b)];
                    w[i] = rv * cv * (q == normal ? nd[i] : nv[i]);
                }
            std::vector<double>& dest = q == 3 ? out.probability : out.gradient[std::size_t(q)];
            face_product(row, w, col, panels, &dest[std::size_t(face) * per_face]);
        }
    }
    return out;
}
