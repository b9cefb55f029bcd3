// The Gaussian surface of one master: one grown solid per master block, the
// planar pieces of their surfaces, the overlap relation between grown solids
// and the tables the start-point sampler draws from. The overlap relation is
// not stored (the n grown pieces of a cut polygon overlap pairwise far more
// often than n times): it is decided per start point for the boxes of the
// point's cell in a grid over the grown solids. Faces of cut-polygon pieces
// that lie inside a neighbouring grown piece are left out of the pieces. Built once per master on the
// master's thread, then shared read-only by its walk threads.
// Lengths in micrometres.
#pragma once

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <utility>
#include <vector>

#include "geometry/layout.hpp"
#include "geometry/surface_element.hpp"

struct configure;
struct gauss_box;

// Faces of pieces: 0..5 as surface_face (outward side), 6 a slanted side.
constexpr uint64_t face_slanted = 6;
// Stratification count per axis when a master starts.
constexpr double default_strata = 64.0;
// Slanted normals are stored as integers: unit normal times this scale.
constexpr double slant_normal_scale = 32768.0;

// A slanted piece's outward normal, scaled and rounded.
struct slant_normal {
    int32_t nx;
    int32_t ny;
    bool operator==(const slant_normal& o) const { return nx == o.nx && ny == o.ny; }
};

struct slant_normal_hash {
    std::size_t operator()(const slant_normal& n) const {
        return std::hash<uint64_t>()((uint64_t(uint32_t(n.nx)) << 32) | uint32_t(n.ny));
    }
};

// Shapes used: surface_rect, surface_triangle, surface_slanted_rect.
struct surface_piece : surface_element {
    slant_normal value{0, 0};  // slanted pieces only; zero otherwise
    uint64_t face = 0;
    gauss_box* box = nullptr;
};

struct gauss_box {
    ::solid solid;       // the master block grown by offset
    double offset = 0.0;  // Gaussian offset d of this block
    const block* master = nullptr;
    // Keyed by the negated normal of each slanted piece of this box, so a
    // lookup by a piece's own normal finds the pieces facing it.
    std::unordered_multimap<slant_normal, const surface_piece*, slant_normal_hash> slant_pieces;
    uint8_t clip = 0;  // reject samples outside the window (Neumann only)
    std::size_t index = 0;  // position in box_list once registered
};

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
};

struct gauss_surface {
    gauss_surface(const configure* cfg, const ::layout* lay) : cfg(cfg), layout(lay) {}
    gauss_surface(const gauss_surface&) = delete;
    gauss_surface& operator=(const gauss_surface&) = delete;

    double strata[3] = {default_strata, default_strata, default_strata};
    const configure* cfg;
    const ::layout* layout;
    std::deque<gauss_box> boxes;  // stable addresses: pieces point into it
    std::vector<surface_piece> pieces;
    std::vector<gauss_box*> box_list;
    std::vector<box> grown_bounds;  // outer box of box_list[i] at i
    gauss_box_grid box_grid;
    // The layout's blocks not owned by others_of, in layout order: a master
    // of many blocks looks at its neighbours without passing over its own
    // blocks once per block. Empty (others_of null) before the build.
    const conductor* others_of = nullptr;
    std::vector<block*> other_blocks;
    std::vector<double> area_cdf;  // last entry exactly 1.0
    // Cut points of area_cdf over 2^area_guide_bits slices: a start point
    // picks its piece in a step or two, not a search of every piece.
    std::vector<uint32_t> area_guide;
    unsigned area_guide_bits = 0;
    double total_area = 0.0;       // square micrometres
    double max_weight = 0.0;       // largest start-point density weight
};

// Builds the whole surface of the master conductor. Fatal (status 1) when
// another net, the window or a limiting interface leaves no room. A master
// without blocks is fatal too: it has nothing to start a walk from. A
// surface of which no piece reaches inside a Neumann window raises a
// sea::basic_error naming the master: no start point could ever be drawn.
void build_master_gauss_surfaces(gauss_surface& s, const conductor& master);

// Whether some point of piece q can pass the sampler's window clip against
// the window box win: its bounds overlap the inside of win (with the
// sampler's slack) on every axis. Triangles and slanted pieces are judged
// by their bounds, so a true answer may still be wrong for them.
bool piece_may_lie_inside(const surface_piece& q, const box& win);

void make_master_gauss_surface(gauss_surface& s, const block& b);
void make_box_gauss_surface(gauss_surface& s, const block& b, double d);
void make_prism_gauss_surface(gauss_surface& s, const block& b, double d);
double interface_gap(const gauss_surface& s, const box& outer);
double window_gap(const gauss_surface& s, const box& outer);
void add_gauss_box(gauss_surface& s, gauss_box& x);

// Builds box_grid over the registered boxes.
void index_gauss_boxes(gauss_surface& s);

// Whether the grown solids of two registered boxes overlap by more than the
// tolerance on every axis; later was registered after earlier.
bool gauss_boxes_overlap(const box& later, const box& earlier);

