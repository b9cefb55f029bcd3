// The Gaussian surface of one master: one grown solid per master block, the
// planar pieces of their surfaces, the overlap relation between grown solids
// and the tables the start-point sampler draws from. The overlap relation is
// not stored (the n grown pieces of a cut polygon overlap pairwise far more
// often than n times): it is decided per start point for the boxes of the
// point's cell in a grid over the grown solids. Faces of cut-polygon pieces
// that lie inside a neighbouring grown piece are left out of the pieces.
// Built once per master on the master's thread, then shared read-only by its
// walk threads. Lengths in micrometres.
//
// The build is assembled in gauss_surface.cpp from: gauss_offsets (how far
// the surface stands off a block), gauss_tiles (several grown boxes for one
// large block), gauss_grown_solids (the grown solids and their pieces),
// gauss_box_grid (which grown solids may hold a point) and buried_faces.
#pragma once

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <utility>
#include <vector>

#include "geometry/layout.hpp"
#include "geometry/surface_element.hpp"
#include "walker/gauss_box_grid.hpp"

struct configure;

// Faces of pieces: 0..5 as surface_face (outward side), 6 a slanted side.
constexpr uint64_t face_slanted = 6;
// Stratification count of each piece parameter when a master starts.
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

struct gauss_surface {
    gauss_surface(const configure* cfg, const ::layout* lay) : cfg(cfg), layout(lay) {}
    gauss_surface(const gauss_surface&) = delete;
    gauss_surface& operator=(const gauss_surface&) = delete;

    // Cells of a piece's first and second parameter. Within a cell the draw
    // is uniform too, so the counts leave the distribution of start points
    // as it is; they do decide which random numbers give which point.
    double strata[2] = {default_strata, default_strata};
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

// The steps of the build. One master block: its offset, then its tiles or
// its single grown solid.
void make_master_gauss_surface(gauss_surface& s, const block& b);
void make_box_gauss_surface(gauss_surface& s, const block& b, double d);
void make_prism_gauss_surface(gauss_surface& s, const block& b, double d);
// Appends part (the master block or a tile of it) grown by d.
void append_grown_box(gauss_surface& s, const block& b, const box& part, double d);

// Drops the faces of a cut polygon's grown pieces that lie wholly inside a
// neighbouring grown piece (masters of many prism pieces only). Needs the
// box grid.
void drop_buried_pieces(gauss_surface& s);

