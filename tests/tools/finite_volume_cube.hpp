// A plain finite-volume solve of the layered cube, independent of the
// separated series: cells of side h = 2 / cells (half-side units), layers
// on cell faces, Dirichlet data on the cube's faces. The discrete exit
// probability of every boundary cell face, and its gradient at the centre,
// come from one adjoint solve each (the matrix is symmetric).
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "tools/tablegen/dielectric_profile.hpp"
#include "walker/transfer.hpp"

namespace fv_check {

class layered_cube {
public:
    layered_cube(const dielectric_profile& p, int cells) : n(cells), h(2.0 / cells) {
        for (int k = 0; k < n; ++k) eps_level.push_back(p.eps[layer_at(p, -1.0 + (k + 0.5) * h)]);
    }

    // Panel masses (panel order of the tables, panels a side, cells a
    // multiple of panels) of a functional of the solution at the centre:
    // q = 3 the value, 0..2 the derivative along that axis.
    std::vector<double> panel_masses(int panels, int q) const {
        const std::vector<double> g = solve(functional(q));
        const int per_panel = n / panels;
        std::vector<double> out(std::size_t(6 * panels * panels), 0.0);
        for (int face = 0; face < 6; ++face) {
            int code = panel_face_code[face];
            const bool plus = code < 3;
            if (!plus) code -= 3;
            const int ra = panel_row_axis[code], ca = panel_column_axis[code];
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    std::array<int, 3> cell{};
                    cell[std::size_t(code)] = plus ? n - 1 : 0;
                    cell[std::size_t(ra)] = r;
                    cell[std::size_t(ca)] = c;
                    const double flux = 2.0 * eps_level[std::size_t(cell[2])] * g[index(cell[0], cell[1], cell[2])];
                    out[std::size_t(face * panels * panels + (r / per_panel) * panels + c / per_panel)] += flux;
                }
        }
        return out;
    }

private:
    std::size_t index(int x, int y, int z) const { return (std::size_t(z) * n + std::size_t(y)) * n + std::size_t(x); }

    // Centre vertex: mean of the 8 cells around it, or the centred
    // difference of the 4 above and the 4 below along an axis.
    std::vector<double> functional(int q) const {
        std::vector<double> c(std::size_t(n) * n * n, 0.0);
        const int m = n / 2;
        for (int z = m - 1; z <= m; ++z)
            for (int y = m - 1; y <= m; ++y)
                for (int x = m - 1; x <= m; ++x) {
                    const int coord[3] = {x, y, z};
                    c[index(x, y, z)] = q == 3 ? 0.125 : (coord[q] == m ? 0.25 : -0.25) / h;
                }
        return c;
    }

    double vertical_conductance(int z0, int z1) const {
        const double a = eps_level[std::size_t(z0)], b = eps_level[std::size_t(z1)];
        return 2.0 * a * b / (a + b);
    }

    // y = A x with A the flux balance of every cell (divided by h).
    void apply(const std::vector<double>& x, std::vector<double>& y) const {
        for (int z = 0; z < n; ++z) {
            const double e = eps_level[std::size_t(z)];
            const double down = z > 0 ? vertical_conductance(z - 1, z) : 2.0 * e;
            const double up = z + 1 < n ? vertical_conductance(z, z + 1) : 2.0 * e;
            for (int yy = 0; yy < n; ++yy)
                for (int xx = 0; xx < n; ++xx) {
                    const std::size_t i = index(xx, yy, z);
                    const double xi = x[i];
                    double s = (down + up) * xi;
                    if (z > 0) s -= down * x[i - std::size_t(n) * n];
                    if (z + 1 < n) s -= up * x[i + std::size_t(n) * n];
                    s += e * (xx > 0 ? xi - x[i - 1] : 2.0 * xi);
                    s += e * (xx + 1 < n ? xi - x[i + 1] : 2.0 * xi);
                    s += e * (yy > 0 ? xi - x[i - std::size_t(n)] : 2.0 * xi);
                    s += e * (yy + 1 < n ? xi - x[i + std::size_t(n)] : 2.0 * xi);
                    y[i] = s;
                }
        }
    }

    std::vector<double> diagonal() const {
        std::vector<double> d(std::size_t(n) * n * n);
        for (int z = 0; z < n; ++z) {
            const double e = eps_level[std::size_t(z)];
            const double vert = (z > 0 ? vertical_conductance(z - 1, z) : 2.0 * e) +
                                (z + 1 < n ? vertical_conductance(z, z + 1) : 2.0 * e);
            for (int yy = 0; yy < n; ++yy)
                for (int xx = 0; xx < n; ++xx)
                    d[index(xx, yy, z)] = vert + e * ((xx > 0 && xx + 1 < n ? 2.0 : 3.0) +
                                                      (yy > 0 && yy + 1 < n ? 2.0 : 3.0));
        }
        return d;
    }

    // Jacobi-preconditioned conjugate gradients to a relative residual of 1e-11.
    std::vector<double> solve(const std::vector<double>& b) const {
        const std::size_t size = b.size();
        const std::vector<double> d = diagonal();
        std::vector<double> x(size, 0.0), r = b, z(size), p(size), ap(size);
        auto dot = [](const std::vector<double>& u, const std::vector<double>& v) {
            double s = 0.0;
            for (std::size_t i = 0; i < u.size(); ++i) s += u[i] * v[i];
            return s;
        };
        for (std::size_t i = 0; i < size; ++i) p[i] = z[i] = r[i] / d[i];
        double rz = dot(r, z);
        const double stop = 1e-22 * dot(b, b);
        for (int it = 0; it < 20000 && dot(r, r) > stop; ++it) {
            apply(p, ap);
            const double alpha = rz / dot(p, ap);
            for (std::size_t i = 0; i < size; ++i) {
                x[i] += alpha * p[i];
                r[i] -= alpha * ap[i];
                z[i] = r[i] / d[i];
            }
            const double rz_next = dot(r, z);
            const double beta = rz_next / rz;
            rz = rz_next;
            for (std::size_t i = 0; i < size; ++i) p[i] = z[i] + beta * p[i];
        }
        return x;
    }

    int n;
    double h;
    std::vector<double> eps_level;
};

} // namespace fv_check
