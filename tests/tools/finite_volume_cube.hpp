// A plain finite-volume solve of the layered cube, independent of the
// separated series: cells of side h = 2 / cells (half-side units), layers on
// cell faces, Dirichlet data on the cube's faces. Each functional of the
// solution at the centre takes one adjoint solve (the matrix is symmetric);
// its flux through each boundary cell face is that face's mass.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "tools/tablegen/dielectric_profile.hpp"
#include "transition_tables/panel_layout.hpp"

namespace fv_check {

class layered_cube {
public:
    layered_cube(const dielectric_profile& p, int cells) : n(cells), h(2.0 / cells) {
        for (int k = 0; k < n; ++k) eps.push_back(p.eps[layer_at(p, -1.0 + (k + 0.5) * h)]);
    }

    // Panel masses (table panel order) of q = 3: the value at the centre,
    // q = 0..2: its derivative along that axis.
    std::vector<double> panel_masses(int panels, int q) const {
        const std::vector<double> g = solve(functional(q));
        std::vector<double> out(std::size_t(6 * panels * panels), 0.0);
        for (int face = 0; face < 6; ++face) {
            const int code = panel_face_code[face], axis = code % 3;
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    std::array<int, 3> cell{};
                    cell[std::size_t(axis)] = code < 3 ? n - 1 : 0;
                    cell[std::size_t(panel_row_axis[axis])] = r;
                    cell[std::size_t(panel_column_axis[axis])] = c;
                    const int per_panel = n / panels;
                    out[std::size_t((face * panels + r / per_panel) * panels + c / per_panel)] +=
                        2.0 * eps[std::size_t(cell[2])] * g[index(cell)];
                }
        }
        return out;
    }

private:
    std::size_t index(const std::array<int, 3>& c) const { return (std::size_t(c[2]) * n + c[1]) * n + c[0]; }

    // Mean of the 8 cells around the centre vertex, or the centred
    // difference of the 4 above and the 4 below along an axis.
    std::vector<double> functional(int q) const {
        std::vector<double> f(std::size_t(n) * n * n, 0.0);
        const int m = n / 2;
        for (int z = m - 1; z <= m; ++z)
            for (int y = m - 1; y <= m; ++y)
                for (int x = m - 1; x <= m; ++x) {
                    const std::array<int, 3> c = {x, y, z};
                    f[index(c)] = q == 3 ? 0.125 : (c[std::size_t(q)] == m ? 0.25 : -0.25) / h;
                }
        return f;
    }

    // Flux balance of every cell divided by h: neighbours across a face
    // with the harmonic mean of their permittivities, a boundary face at
    // half a cell with twice the cell's own. With diagonal_only, the
    // diagonal of the matrix.
    void apply(const std::vector<double>& x, std::vector<double>& y, bool diagonal_only) const {
        const std::size_t row = std::size_t(n), layer = row * row;
        for (int z = 0; z < n; ++z) {
            const double e = eps[std::size_t(z)];
            const double down = z > 0 ? 2.0 * e * eps[std::size_t(z - 1)] / (e + eps[std::size_t(z - 1)]) : 0.0;
            const double up = z + 1 < n ? 2.0 * e * eps[std::size_t(z + 1)] / (e + eps[std::size_t(z + 1)]) : 0.0;
            for (int yy = 0; yy < n; ++yy)
                for (int xx = 0; xx < n; ++xx) {
                    const std::size_t i = index({xx, yy, z});
                    const double xi = diagonal_only ? 1.0 : x[i];
                    double s = 0.0;
                    // One face: conductance g to the neighbour at offset, or
                    // the boundary when there is none.
                    auto face = [&](bool inside, double g, std::ptrdiff_t offset) {
                        if (!inside) s += 2.0 * e * xi;
                        else s += g * (diagonal_only ? 1.0 : xi - x[std::size_t(std::ptrdiff_t(i) + offset)]);
                    };
                    face(xx > 0, e, -1);
                    face(xx + 1 < n, e, 1);
                    face(yy > 0, e, -std::ptrdiff_t(row));
                    face(yy + 1 < n, e, std::ptrdiff_t(row));
                    face(z > 0, down, -std::ptrdiff_t(layer));
                    face(z + 1 < n, up, std::ptrdiff_t(layer));
                    y[i] = s;
                }
        }
    }

    // Jacobi-preconditioned conjugate gradients to a relative residual of 1e-11.
    std::vector<double> solve(const std::vector<double>& b) const {
        const std::size_t size = b.size();
        std::vector<double> d(size), x(size, 0.0), r = b, z(size), p(size), ap(size);
        apply(x, d, true);
        auto dot = [](const std::vector<double>& u, const std::vector<double>& v) {
            double s = 0.0;
            for (std::size_t i = 0; i < u.size(); ++i) s += u[i] * v[i];
            return s;
        };
        for (std::size_t i = 0; i < size; ++i) p[i] = z[i] = r[i] / d[i];
        double rz = dot(r, z);
        for (int it = 0; it < 20000 && dot(r, r) > 1e-22 * dot(b, b); ++it) {
            apply(p, ap, false);
            const double alpha = rz / dot(p, ap);
            for (std::size_t i = 0; i < size; ++i) {
                x[i] += alpha * p[i];
                r[i] -= alpha * ap[i];
                z[i] = r[i] / d[i];
            }
            const double next = dot(r, z);
            for (std::size_t i = 0; i < size; ++i) p[i] = z[i] + next / rz * p[i];
            rz = next;
        }
        return x;
    }

    int n;
    double h;
    std::vector<double> eps;  // per cell level in z
};

} // namespace fv_check
