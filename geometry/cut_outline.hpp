// The linked-ring outline that cuts a polygon at its reflex corners.
#pragma once

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "geometry/polygon.hpp"

namespace polygon_detail {

// One side of a cut, as every cut treats it: cleaned, turned anticlockwise
// when the orientation test fails, then cut on. The driver's, in
// geometry/polygon.cpp; the ring hands it each side it copies out.
void cut_side(const poly_record& like, std::vector<vec2> side, std::vector<poly_record>& pieces);

// An outline being cut at its reflex corners, with what each cut needs at
// hand, so that a cut costs about what it removes rather than what is left.
//
// The outline is a ring of vertices linked both ways; a vertex's id is its
// place in the list the ring was built from, and the ring keeps that cyclic
// order, so the vertex order from `start` is the order of ids from it. Each
// cut keeps its larger side in the ring and copies the smaller one out, so
// every vertex is copied about log n times. Kept up to date with the ring:
// - the reflex corners, by id, for the first one from the start;
// - the vertices that the cleaning pass would not keep as they are, for the
//   pass over the kept side is then known to change nothing but its ends;
// - for each right turn a vertex ahead of it (its witness), so that the
//   orientation test of the kept side need only look again where a corner
//   changed or a witness left;
// - for the crossing tests of a candidate cut, the long edges exactly along
//   x or y in order of their height (abscissa), and the other edges and all
//   vertices in a quadtree of cells that counts the live ones in and below
//   each cell, so that a search passes over empty ground at once.
class outline {
public:
    outline(const poly_record& like, std::vector<poly_record>& pieces) : like_(like), pieces_(pieces) {}

    // Cuts v, which the orientation test has passed or turned, as
    // cut_into_convex would.
    void cut(std::vector<vec2> v);

private:
    static constexpr uint32_t none = UINT32_MAX;

    // Edges exactly along x and at least `edge_length_` long, the same
    // along y, those shorter, the other short ones, then the other long
    // ones by their direction, of `directions` sectors of a half turn.
    static constexpr uint32_t directions = 16;
    enum edge_kind : uint32_t { along_x, along_y, short_along_x, short_along_y, short_slanted, slanted,
                                edge_kinds = slanted + directions };
    // Bit k: edges of kind k; bit `edge_kinds`: vertices.
    using kind_set = uint32_t;
    static constexpr kind_set all_kinds = (kind_set{2} << edge_kinds) - 1;
    static constexpr kind_set bit(uint32_t kind) { return kind_set{1} << kind; }
    struct edge_ref {
        uint32_t from, to, kind;
    };
    // Entries that die stay listed until a search meets them; the counts
    // are of live entries, here and in the cells below.
    struct cell {
        std::vector<uint32_t> vertex;
        std::vector<edge_ref> edge;
        uint32_t live[edge_kinds + 1] = {};
        kind_set live_kinds = 0;  // the kinds with a live count
        uint64_t searched = 0;    // the last cut test that searched it in full
    };
    // Level 0 has cells of `size_`; each level above has cells twice as
    // wide, up to one cell over the whole outline.
    struct level {
        std::size_t columns, rows;
        std::vector<cell> cells;
    };
    // Where a vertex's outgoing edge is listed: by its height (abscissa),
    // or in the cells of one level along it.
    struct edge_home {
        uint32_t kind = short_slanted;
        bool by_key = false, in_cells = false;
        double key = 0;
        uint32_t to = 0;
        std::size_t level = 0;
    };

    void build(std::vector<vec2> v);
    std::vector<vec2> vertices_from(uint32_t from, uint32_t to) const;
    std::vector<vec2> vertices() const { return vertices_from(start_, prev_[start_]); }
    void link(uint32_t a, uint32_t b);
    void remove(uint32_t u);
    void update_corner(uint32_t u);
    void add_edge(uint32_t from);
    void set_witness(uint32_t u, uint32_t k);
    bool find_witness(uint32_t u);
    bool witnesses_found();
    void clean_and_orient();
    void rebuild_turned(std::vector<vec2> v);
    bool usable_cut(uint32_t i, uint32_t j, const vec2& bisector);
    bool near_cell_clear(cell& c, const vec2& a, const vec2& b);
    bool edges_clear(cell& c, const vec2& a, const vec2& b, kind_set kinds);
    bool axis_edges_clear(uint32_t kind, double lo, double hi, const vec2& a, const vec2& b) const;

    std::size_t column(double x) const;
    std::size_t row(double y) const;
    cell& cell_at(std::size_t l, std::size_t c, std::size_t r) { return levels_[l].cells[r * levels_[l].columns + c]; }
    void count(std::size_t l, std::size_t c, std::size_t r, std::size_t kind, int change);
    void drop_edge(uint32_t from);
    double edge_reach(const vec2& a, const vec2& b) const;
    template <class F>
    void cells_along(std::size_t l, const vec2& a, const vec2& b, double reach, const F& visit) const;
    template <class Meets, class Visit>
    bool search(std::size_t l, std::size_t c, std::size_t r, kind_set kinds, const Meets& meets, const Visit& visit);

    const poly_record& like_;
    std::vector<poly_record>& pieces_;

    std::vector<vec2> at_;
    std::vector<uint32_t> next_, prev_;
    std::vector<char> alive_;
    std::vector<char> right_turn_;
    std::vector<uint32_t> witness_;
    std::vector<std::vector<uint32_t>> witness_of_;  // the turns a vertex is witness to
    std::set<uint32_t> reflex_;
    std::set<uint32_t> unclean_;
    std::vector<uint32_t> to_search_;
    uint32_t recent_[4] = {none, none, none, none};
    std::size_t recent_slot_ = 0;
    std::vector<uint32_t> extremes_;
    uint32_t start_ = 0;
    std::size_t count_ = 0;

    double x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0, size_ = 1, extent_ = 0, slack_ = 0;
    double margin_ = 0;  // how near a cut an edge is searched in full
    double edge_length_ = 0, long_edge_ = 0;
    std::size_t columns_ = 1, rows_ = 1;
    std::set<std::pair<double, uint32_t>> axis_edges_[2];
    std::vector<level> levels_;
    std::vector<std::size_t> vertex_column_, vertex_row_;
    std::vector<edge_home> edge_home_;
    uint64_t cut_tests_ = 0;
};

}  // namespace polygon_detail
