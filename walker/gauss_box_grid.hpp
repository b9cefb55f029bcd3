// Which grown solids of a master may hold a point: the boxes are registered
// in order, and a grid of columns over the x-y plane lists per cell the
// boxes whose grown solid may reach into it. Lengths in micrometres.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/box.hpp"

struct gauss_box;
struct gauss_surface;

// Columns of the x-y plane over the master's grown solids. Each cell lists,
// in registration order, every box whose grown solid may reach into it, so
// a start point needs to look only at the boxes of its own cell (a list over
// all boxes would look at every piece of a cut polygon). Empty until
// index_gauss_boxes: then every box counts.
struct gauss_box_grid {
    double x0 = 0.0, y0 = 0.0;          // low corner, micrometres
    double cell_x = 1.0, cell_y = 1.0;  // cell sides
    std::size_t nx = 0, ny = 0;
    std::vector<std::size_t> start;  // per cell, into boxes; one entry more than cells
    std::vector<uint32_t> boxes;  // box_list positions

    // Cell of a coordinate along one axis, clamped to the grid.
    static std::size_t axis_cell(double v, double origin, double side, std::size_t count);
    std::size_t cell_at(double x, double y) const {
        return axis_cell(y, y0, cell_y, ny) * nx + axis_cell(x, x0, cell_x, nx);
    }

    // Calls visit(j) for the box_list positions j of the cell holding
    // (x, y), or for all count positions while the grid is empty, outward
    // from own: one below, one above, and so on. The blocks of one cut
    // polygon are registered side by side, so the box that decides is
    // usually seen within a few looks. Stops when visit returns true, and
    // returns whether it stopped.
    template <class Visit>
    bool scan_from(std::size_t own, double x, double y, std::size_t count, Visit visit) const {
        const uint32_t* cell = nullptr;
        if (!start.empty()) {
            const std::size_t c = cell_at(x, y);
            cell = boxes.data() + start[c];
            count = start[c + 1] - start[c];
        }
        auto box_at = [&](std::size_t i) { return cell ? std::size_t(cell[i]) : i; };
        // The first list position at or after own.
        std::size_t split = own;
        if (cell) split = std::size_t(std::lower_bound(cell, cell + count, uint32_t(own)) - cell);
        std::size_t below = split, above = split;
        while (below > 0 || above < count) {
            if (below > 0 && visit(box_at(--below))) return true;
            if (above < count && visit(box_at(above++))) return true;
        }
        return false;
    }
};

// Registers x for the overlap relation: its position in box_list, its
// outer box in grown_bounds.
void add_gauss_box(gauss_surface& s, gauss_box& x);

// Builds box_grid over the registered boxes.
void index_gauss_boxes(gauss_surface& s);

// Whether the grown solids of two registered boxes overlap by more than the
// tolerance on every axis; later was registered after earlier.
bool gauss_boxes_overlap(const box& later, const box& earlier);
