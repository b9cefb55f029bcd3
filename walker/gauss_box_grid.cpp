#include "walker/gauss_box_grid.hpp"

#include <cmath>

#include "geometry/prism.hpp"
#include "walker/gauss_offsets.hpp"
#include "walker/gauss_surface.hpp"

bool gauss_boxes_overlap(const box& later, const box& earlier) {
    double sep = 0.0;
    for (int c = 0; c < 3; ++c) {
        const double g = keep_max(axis_of(earlier.lo, c) - axis_of(later.hi, c),
                                  axis_of(later.lo, c) - axis_of(earlier.hi, c));
        sep = c == 0 ? g : keep_max(sep, g);
    }
    return sep < -geom_eps;
}

void add_gauss_box(gauss_surface& s, gauss_box& x) {
    x.index = s.box_list.size();
    s.box_list.push_back(&x);
    s.grown_bounds.push_back(x.solid.outer_box);
}

namespace {

// Cells per axis: about one cell per box in all, within a cap.
constexpr std::size_t max_grid_side = 1024;
// A grid whose boxes reach into more cells than this many per box and grid
// side (boxes that each span the whole grid) is made coarser.
constexpr std::size_t grid_cells_per_box_side = 8;

std::size_t cell_of(double v, double origin, double side, std::size_t count) {
    return gauss_box_grid::axis_cell(v, origin, side, count);
}

// Calls cover(row, first column, last column) for each row of cells that
// the x-y section of the solid, widened by margin, reaches into.
template <class Cover>
void cover_cells(const gauss_box_grid& g, const solid& sd, double margin, Cover cover) {
    const box& b = sd.outer_box;
    const std::size_t row_lo = cell_of(b.lo.y - margin, g.y0, g.cell_y, g.ny);
    const std::size_t row_hi = cell_of(b.hi.y + margin, g.y0, g.cell_y, g.ny);
    if (sd.kind != solid_prism) {
        const std::size_t col_lo = cell_of(b.lo.x - margin, g.x0, g.cell_x, g.nx);
        const std::size_t col_hi = cell_of(b.hi.x + margin, g.x0, g.cell_x, g.nx);
        for (std::size_t row = row_lo; row <= row_hi; ++row) cover(row, col_lo, col_hi);
        return;
    }
    // The section's extent in x within a band is reached at a vertex inside
    // the band or where an edge crosses one of the band's lines.
    const nprism_t& p = sd.shape.prism;
    for (std::size_t row = row_lo; row <= row_hi; ++row) {
        const double lo = g.y0 + double(row) * g.cell_y - margin;
        const double hi = g.y0 + double(row + 1) * g.cell_y + margin;
        double xmin = geom_infinity, xmax = -geom_infinity;
        for (uint64_t i = 0; i < p.n; ++i) {
            const vec2& a = p.vertex[i];
            const vec2& c = next_vertex(p, i);
            if (a.y >= lo && a.y <= hi) {
                xmin = std::min(xmin, a.x);
                xmax = std::max(xmax, a.x);
            }
            if (a.y == c.y) continue;
            for (double line : {lo, hi}) {
                if ((a.y - line) * (c.y - line) > 0.0) continue;
                const double x = a.x + (line - a.y) * (c.x - a.x) / (c.y - a.y);
                xmin = std::min(xmin, x);
                xmax = std::max(xmax, x);
            }
        }
        if (xmin > xmax) continue;
        cover(row, cell_of(xmin - margin, g.x0, g.cell_x, g.nx), cell_of(xmax + margin, g.x0, g.cell_x, g.nx));
    }
}

}  // namespace

std::size_t gauss_box_grid::axis_cell(double v, double origin, double side, std::size_t count) {
    const double c = std::floor((v - origin) / side);
    if (!(c > 0.0)) return 0;
    return c >= double(count - 1) ? count - 1 : std::size_t(c);
}

void index_gauss_boxes(gauss_surface& s) {
    gauss_box_grid& g = s.box_grid;
    g = gauss_box_grid{};
    const std::size_t n = s.box_list.size();
    if (n < 2) return;
    box all = s.grown_bounds[0];
    for (const box& b : s.grown_bounds) {
        all.lo.x = std::min(all.lo.x, b.lo.x);
        all.lo.y = std::min(all.lo.y, b.lo.y);
        all.hi.x = std::max(all.hi.x, b.hi.x);
        all.hi.y = std::max(all.hi.y, b.hi.y);
    }
    const double scale = std::max(std::max(std::fabs(all.lo.x), std::fabs(all.hi.x)),
                                  std::max(std::fabs(all.lo.y), std::fabs(all.hi.y)));
    std::size_t side = std::min(max_grid_side, std::size_t(std::ceil(std::sqrt(double(n)))));
    for (;; side = side / 2) {
        g.x0 = all.lo.x;
        g.y0 = all.lo.y;
        g.nx = g.ny = side;
        g.cell_x = std::max((all.hi.x - all.lo.x) / double(side), geom_eps);
        g.cell_y = std::max((all.hi.y - all.lo.y) / double(side), geom_eps);
        // Wider than any tolerance a point's test allows, and than the
        // rounding of the cell arithmetic: a spare entry costs one look.
        const double margin = 1e-7 + 1e-6 * (g.cell_x + g.cell_y) + 1e-12 * scale;
        std::vector<std::size_t> count(side * side + 1, 0);
        std::size_t total = 0;
        for (const gauss_box* b : s.box_list)
            cover_cells(g, b->solid, margin, [&](std::size_t row, std::size_t c0, std::size_t c1) {
                for (std::size_t c = c0; c <= c1; ++c) ++count[row * side + c];
                total += c1 - c0 + 1;
            });
        if (side > 1 && total > grid_cells_per_box_side * n * side) continue;
        g.start.assign(side * side + 1, 0);
        for (std::size_t c = 0; c < side * side; ++c) g.start[c + 1] = g.start[c] + count[c];
        g.boxes.assign(total, 0);
        std::vector<std::size_t> fill(g.start.begin(), g.start.end() - 1);
        for (std::size_t i = 0; i < n; ++i)
            cover_cells(g, s.box_list[i]->solid, margin, [&](std::size_t row, std::size_t c0, std::size_t c1) {
                for (std::size_t c = c0; c <= c1; ++c) g.boxes[fill[row * side + c]++] = uint32_t(i);
            });
        return;
    }
}
