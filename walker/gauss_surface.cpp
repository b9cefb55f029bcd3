#include "walker/gauss_surface.hpp"

#include <algorithm>
#include <cmath>

#include "config/configure.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/prism.hpp"
#include "geometry/primitives.hpp"
#include "geometry/section_distance.hpp"
#include "transition_tables/guide_table.hpp"

namespace {

// Limits on the offset before any neighbour is seen: a multiple of the
// block's longest side and of the wire width.
constexpr double offset_side_factor = 20.0;
constexpr double offset_wire_factor = 100.0;
// A stratification count is raised to this many cells per neighbour extent.
constexpr double strata_per_ratio = 8.0;

// Ends the run when the surface of the master's block b has no room: the
// message's second line names what is too close, out of blocks.
[[noreturn]] void fail_touched(const gauss_surface& s, const block& b, const std::vector<block*>& blocks);

[[noreturn]] void fail_no_blocks(const conductor& master) {
    log_error_w().printf("Error: the master net %s has no block!\n", master.name.c_str());
    fatal_exit(1, true);
}

[[noreturn]] void fail_vertex_count(uint64_t m) {
    log_error_w().printf("nprism_t error: vertex number %lu not supported.", (unsigned long)m);
    log_error_w().put('\n');
    fatal_exit(1, false);
}

double box_extent(const box& b, int axis) { return axis_of(b.hi, axis) - axis_of(b.lo, axis); }

// L-infinity distance in the x-y plane from p to the solid's cross-section.
// Evaluated at the solid's mid height, so only a point deeper inside than
// half the height can come back clipped (still negative).
double section_distance(const vec2& p, const solid& s) {
    const double zmid = 0.5 * (s.outer_box.lo.z + s.outer_box.hi.z);
    return block_distance(vec3{p.x, p.y, zmid}, s);
}

// Corners in x-y of a box or cylinder, vertices of a prism.
int outline_points(const solid& s, vec2 (&out)[nprism_max_vertices]) {
    if (s.kind == solid_prism) {
        for (uint64_t i = 0; i < s.shape.prism.n; ++i) out[i] = s.shape.prism.vertex[i];
        return int(s.shape.prism.n);
    }
    const box& b = s.outer_box;
    out[0] = {b.lo.x, b.lo.y};
    out[1] = {b.lo.x, b.hi.y};
    out[2] = {b.hi.x, b.lo.y};
    out[3] = {b.hi.x, b.hi.y};
    return 4;
}

bool boxlike(const solid& s) { return s.kind == solid_box || s.kind == solid_cylinder; }

// The surface's own tolerant maximum: on a near-tie the current value stays.
double keep_max(double current, double v) { return v > current + geom_eps ? v : current; }

int32_t round_half_away(double v) { return int32_t(std::lround(v)); }

// Wraps a face of the grown solid; slanted sides get their scaled normal.
surface_piece piece_of(const surface_element& e, gauss_box* owner) {
    surface_piece p{};
    static_cast<surface_element&>(p) = e;
    p.box = owner;
    switch (e.shape) {
    case surface_rect: p.face = e.data[5].u; break;
    case surface_triangle: p.face = e.data[7].u; break;
    default: {
        // The scale is a power of two: scaling the unit normal is exact.
        const vec2 n = edge_normal(e.data[3].f, e.data[4].f);
        p.value = {round_half_away(slant_normal_scale * n.x), round_half_away(slant_normal_scale * n.y)};
        p.face = face_slanted;
        break;
    }
    }
    return p;
}

int sign_of(double v) { return std::fabs(v) < geom_eps ? 0 : (v > 0 ? 1 : -1); }

struct offset2 {
    int x, y;
    bool operator==(const offset2& o) const { return x == o.x && y == o.y; }
    bool operator!=(const offset2& o) const { return !(*this == o); }
};

// The polygon grown by the square of half side d (its L-infinity offset):
// each edge moves out by d and every convex corner gains the square's corner.
uint64_t grow_outline(const nprism_t& p, double d, vec2* out, uint64_t capacity) {
    const uint64_t n = p.n;
    std::vector<offset2> start(n), end(n);
    for (uint64_t i = 0; i < n; ++i) {
        const vec2& a = p.vertex[i];
        const vec2& b = next_vertex(p, i);
        const int sx = sign_of(b.x - a.x);
        const int sy = sign_of(b.y - a.y);
        if (sx != 0 && sy != 0) {
            start[i] = end[i] = {sy, -sx};
        } else {
            start[i] = {sy - sx, -sx - sy};
            end[i] = {sy + sx, sy - sx};
        }
    }
    uint64_t m = 0;
    auto emit = [&](double x, double y) {
        if (m < capacity) out[m] = {x, y};
        ++m;
    };
    for (uint64_t i = 0; i < n; ++i) {
        const vec2& v = p.vertex[i];
        const offset2 pp = end[i == 0 ? n - 1 : i - 1];
        const offset2 q = start[i];
        emit(v.x + pp.x * d, v.y + pp.y * d);
        if (q != pp) {
            if (pp.x + q.x == 0 && pp.y + q.y == 0) emit(v.x - pp.y * d, v.y + pp.x * d);
            emit(v.x + q.x * d, v.y + q.y * d);
        }
    }
    return m;
}

// Largest relative permittivity of the real layers.
double largest_permittivity(const layer_stack& layers) {
    double best = 0.0;
    const std::size_t n = layers.permittivity.size();
    for (std::size_t i = layer_guard_permittivities; i + layer_guard_permittivities < n; ++i)
        if (layers.permittivity[i] - geom_eps > best) best = layers.permittivity[i];
    return best;
}

}  // namespace

double interface_gap(const gauss_surface& s, const box& outer) {
    const layer_stack& ls = s.layout->layers;
    if (ls.layer_count() < 2 || s.cfg->multi_dielectric == configure::layout_approx)
        return geom_infinity;
    const int k = (s.cfg->multi_dielectric == configure::layout_two ||
                   s.cfg->multi_dielectric == configure::layout_approx2)
                      ? 2
                      : 3;
    const int lo_code = find_layer_id(ls, layer_code_lowest_interface, outer.lo.z);
    // The interface just below a layer is numbered like the layer; one on
    // the height itself does not count as below it.
    const int64_t lo_interface = interface_at_or_below(lo_code);
    const int64_t below = is_interface_code(lo_code) ? lo_interface - k : lo_interface - k + 1;
    const double gap_low = 2.0 * (outer.lo.z - ls.interface_z[std::size_t(below)]);
    const int hint = int(interface_code(lo_interface - 1));
    const int hi_code = find_layer_id(ls, hint, outer.hi.z);
    const int64_t above = interface_at_or_below(hi_code) + k;
    const double gap_high = 2.0 * (ls.interface_z[std::size_t(above)] - outer.hi.z);
    return tmin(gap_low, gap_high);
}

double window_gap(const gauss_surface& s, const box& outer) {
    const window& w = s.layout->window;
    if (w.boundary == boundary_neumann) return geom_infinity;
    double gap = 0.0;
    for (int c = 0; c < 3; ++c) {
        const double low = axis_of(outer.lo, c) - axis_of(w.box.lo, c);
        const double high = axis_of(w.box.hi, c) - axis_of(outer.hi, c);
        const double g = tmin(high, low);
        gap = c == 0 ? g : tmin(gap, g);
    }
    return gap;
}

namespace {

// A block is cut into tiles (see tile_block) only when some tile gains at
// least this factor over the block's own offset. Smaller gains pay too,
// less (a plate whose tiles gain 2 needs 3.5 times fewer walks, one whose
// tiles gain 16 eight times fewer), but in ordinary layouts a block gains
// at most about 4 (a wire with a neighbour near one end), converges well
// with its single grown box, and keeps the results it had.
constexpr double tiling_gain = 16.0;

// The offset (before halving) that the blocks of other nets leave the solid
// sd of a block of owner, from d down; ratio takes the extent ratios against
// the last block that limits it. close, when given, receives (at least)
// the blocks closer than tiling_gain times the result, in list order.
double neighbour_limit(const solid& sd, const conductor* owner, const std::vector<block*>& blocks, double d,
                       double (&ratio)[3], std::vector<block*>* close = nullptr) {
    const box& ob = sd.outer_box;
    vec2 own[nprism_max_vertices];
    const int own_n = outline_points(sd, own);
    for (block* p : blocks) {
        if (p->owner == owner) continue;
        const box& pb = p->solid.outer_box;
        double g[3];
        bool near = true;
        bool within = close != nullptr;
        for (int c = 0; c < 3 && (near || within); ++c) {
            const double above = axis_of(pb.lo, c) - axis_of(ob.hi, c);
            const double below = axis_of(ob.lo, c) - axis_of(pb.hi, c);
            g[c] = tmax(above, below);
            near = near && g[c] < d - geom_eps;
            within = within && g[c] < tiling_gain * d;
        }
        if (within) close->push_back(p);
        if (!near) continue;
        for (int c = 0; c < 3; ++c) ratio[c] = std::ceil(box_extent(ob, c) / box_extent(pb, c));
        if (boxlike(sd) && boxlike(p->solid)) {
            d = keep_max(keep_max(g[0], g[1]), g[2]);
            continue;
        }
        double q = d;
        for (int i = 0; i < own_n; ++i) q = tmin(q, section_distance(own[i], p->solid));
        vec2 other[nprism_max_vertices];
        const int other_n = outline_points(p->solid, other);
        for (int i = 0; i < other_n; ++i) q = tmin(q, section_distance(other[i], sd));
        d = q < g[2] - geom_eps ? g[2] : q;
    }
    return d;
}

[[noreturn]] void fail_touched(const gauss_surface& s, const block& b, const std::vector<block*>& blocks) {
    log_error_w().printf("Error: the master net is touched by other net!\n");
    // The offset before halving below which a start point would touch.
    const double room = 2.0 * touch_distance;
    const block* nearest = nullptr;
    double gap = geom_infinity;
    std::vector<block*> one(1);
    for (block* p : blocks) {
        if (p->owner == b.owner) continue;
        one[0] = p;
        double ratio[3];
        const double g = neighbour_limit(b.solid, b.owner, one, geom_infinity, ratio);
        if (g < gap) {
            gap = g;
            nearest = p;
        }
    }
    const box& ob = b.solid.outer_box;
    if (nearest && gap < room) {
        log_error_w().printf("master net %s (block %s) and net %s (block %s) ", b.owner->name.c_str(),
                             b.name.c_str(), nearest->owner->name.c_str(), nearest->name.c_str());
        if (gap > 0)
            log_error_w().printf("lie %g um apart, closer than %g um", gap, room);
        else
            log_error_w().printf("touch or overlap");
        log_error_w().printf(": move them apart, or join them into one net\n");
    } else if (window_gap(s, ob) < room) {
        log_error_w().printf("block %s of master net %s touches a side of the Dirichlet window: move the window "
                             "side away from it\n",
                             b.name.c_str(), b.owner->name.c_str());
    } else {
        log_error_w().printf("block %s of master net %s lies within %g um of the dielectric interfaces near it, "
                             "which leave its start points no room: make those layers thicker\n",
                             b.name.c_str(), b.owner->name.c_str(), room / 2.0);
    }
    log_error_w().put('\n');
    fatal_exit(1, true);
}

void raise_strata(gauss_surface& s, const double (&ratio)[3]) {
    for (int c = 0; c < 3; ++c)
        if (strata_per_ratio * ratio[c] > s.strata[c]) s.strata[c] = strata_per_ratio * ratio[c];
}

double longest_side(const box& b) {
    double longest = box_extent(b, 0);
    longest = keep_max(longest, box_extent(b, 1));
    return keep_max(longest, box_extent(b, 2));
}

bool tile_block(gauss_surface& s, const block& b, double d, const std::vector<block*>& blocks,
                const std::vector<block*>& close);

}  // namespace

void make_master_gauss_surface(gauss_surface& s, const block& b) {
    const box& ob = b.solid.outer_box;
    double d = offset_side_factor * longest_side(ob);
    d = tmin(d, offset_wire_factor * s.layout->wire_width);
    d = tmin(d, interface_gap(s, ob));
    d = tmin(d, window_gap(s, ob));

    double ratio[3] = {-1.0, -1.0, -1.0};
    const std::vector<block*>& blocks =
        s.others_of && s.others_of == b.owner ? s.other_blocks : s.layout->all_blocks;
    std::vector<block*> close;
    d = neighbour_limit(b.solid, b.owner, blocks, d, ratio, boxlike(b.solid) ? &close : nullptr) / 2.0;
    // A start point this close to a net touches it: its first cube would
    // have no size.
    if (d < touch_distance) fail_touched(s, b, blocks);
    if (tile_block(s, b, d, blocks, close)) return;
    raise_strata(s, ratio);
    switch (b.solid.kind) {
    case solid_box:
    case solid_cylinder: make_box_gauss_surface(s, b, d); break;
    case solid_prism: make_prism_gauss_surface(s, b, d); break;
    default: break;
    }
}

namespace {

// Appends the grown solid of b and the pieces of its faces.
void append_gauss_box(gauss_surface& s, const block& b, double d, solid grown_solid,
                      const std::vector<surface_element>& faces) {
    s.boxes.emplace_back();
    gauss_box& gb = s.boxes.back();
    gb.solid = std::move(grown_solid);
    gb.offset = d;
    gb.master = &b;
    gb.slant_pieces.max_load_factor(1.0f);
    for (const surface_element& e : faces) s.pieces.push_back(piece_of(e, &gb));
}

// Appends part (the master block or a tile of it) grown by d.
void append_grown_box(gauss_surface& s, const block& b, const box& part, double d) {
    const box g = grow_box(part, d);
    std::vector<surface_element> faces;
    box_faces(g, faces);
    append_gauss_box(s, b, d, make_box_solid(g), faces);
}

}  // namespace

void make_box_gauss_surface(gauss_surface& s, const block& b, double d) {
    append_grown_box(s, b, b.solid.outer_box, d);
}

void make_prism_gauss_surface(gauss_surface& s, const block& b, double d) {
    const nprism_t& prism = b.solid.shape.prism;
    vec2 points[nprism_max_vertices];
    const uint64_t m = prism.n == 0 ? 0 : grow_outline(prism, d, points, nprism_max_vertices);
    if (m < 3 || m > nprism_max_vertices) fail_vertex_count(m);

    nprism_t g{};
    g.n = m;
    for (uint64_t i = 0; i < m; ++i) g.vertex[i] = points[i];
    g.z0 = prism.z0 - d;
    g.z1 = prism.z1 + d;
    // Fan triangles of both caps, then one side per edge.
    std::vector<surface_element> faces;
    prism_faces(g, faces);
    append_gauss_box(s, b, d, make_nprism_solid(g), faces);
}

namespace {

// A large block whose offset is set by a small neighbour near one part of
// it starts every walk that close to itself, and from that close few walks
// get away: the estimate needs orders of magnitude more walks. Such a
// block's surface is cut into tiles, boxes that each take the offset their
// own neighbourhood allows; the union of the grown tiles wraps the block
// and keeps clear of every other net as the single grown box did, and the
// sampler counts each point of the union once.
//
// A tile is cut in two across its longest side while that side exceeds
// this many offsets and a point at one of its corners could take at least
// corner_gain times its offset: a neighbour that limits all of a tile alike
// (a ground plane, a parallel wire) does not get it cut.
constexpr double tile_side_per_offset = 8.0;
constexpr double corner_gain = 2.0;
// Upper bound on the tiles of one block.
constexpr std::size_t max_tiles = 1024;
// The x-y width below which a block does not count for the wire width.
constexpr double thin_block_width = 0.0001;

// The narrower x-y side of a block, or -1 for a block too thin to count.
double footprint_width(const box& o) {
    const double xs = o.hi.x - o.lo.x, ys = o.hi.y - o.lo.y;
    const double m = xs > ys + geom_eps ? ys : xs;
    return m - geom_eps > thin_block_width ? m : -1.0;
}

struct tile {
    box part;
    double offset = 0.0;
    double ratio[3] = {-1.0, -1.0, -1.0};
};

// The offset of one tile. The wire-width cap counts the block itself and
// only those blocks whose own cap could reach the tile: a tiny block far
// away does not limit it. Side, interface and window limits are the
// block's, so every tile stays inside what the block's surface respects.
struct tile_limits {
    double side;       // the side limit of the whole block
    double interface;  // interface_gap of the block
    double window;     // window_gap of the block
    double own_width;  // footprint_width of the block
};

double tile_offset(const gauss_surface& s, const block& b, const tile_limits& lim,
                   const std::vector<block*>& near, tile& t, bool* limited = nullptr) {
    double w = lim.own_width;
    for (const block* p : near) {
        if (p == s.layout->ground) continue;
        const double m = footprint_width(p->solid.outer_box);
        if (m > 0 && m < w && box_gap(t.part, p->solid.outer_box) < offset_wire_factor * m) w = m;
    }
    const double floor = s.cfg->min_wire_width;
    const double width = w - geom_eps > floor ? w : floor;
    double d = tmin(lim.side, offset_wire_factor * width);
    d = tmin(d, lim.interface);
    d = tmin(d, lim.window);
    const double open = d;
    d = neighbour_limit(make_box_solid(t.part), b.owner, near, d, t.ratio);
    if (limited) *limited = d < open - geom_eps;
    return d / 2.0;
}

// The largest offset a point at a corner of part could take.
double best_corner_offset(const gauss_surface& s, const block& b, const tile_limits& lim,
                          const std::vector<block*>& near, const box& part) {
    double best = 0.0;
    for (int k = 0; k < 8; ++k) {
        tile corner;
        const vec3 p{k & 1 ? part.hi.x : part.lo.x, k & 2 ? part.hi.y : part.lo.y, k & 4 ? part.hi.z : part.lo.z};
        corner.part = box{p, p};
        best = std::max(best, tile_offset(s, b, lim, near, corner));
    }
    return best;
}

// The blocks of near closer to part than reach: with reach the largest
// offset (before halving) any tile can take, all that could limit a tile.
std::vector<block*> within_reach(const std::vector<block*>& near, const box& part, double reach) {
    std::vector<block*> out;
    for (block* p : near)
        if (box_gap(part, p->solid.outer_box) < reach + geom_eps) out.push_back(p);
    return out;
}

// Cuts a box or cylinder block of offset d into tiles and appends their
// grown boxes, or returns false (nothing appended) when no tile would gain
// tiling_gain over d.
bool tile_block(gauss_surface& s, const block& b, double d, const std::vector<block*>& blocks,
                const std::vector<block*>& close) {
    // Start points drawn by the offset ("dist", "both") would be accepted
    // at the ratio of the smallest offset to a tile's: the far tiles would
    // take millions of draws per walk.
    const int type = s.cfg->gauss_type;
    if (!boxlike(b.solid) || type == configure::gauss_dist || type == configure::gauss_both) return false;
    const box& ob = b.solid.outer_box;
    const tile_limits lim{offset_side_factor * longest_side(ob), interface_gap(s, ob), window_gap(s, ob),
                          footprint_width(ob)};
    const double reach = tmin(tmin(lim.side, lim.interface), lim.window);
    if (lim.own_width < 0 || reach / 2.0 < tiling_gain * d) return false;

    struct pending {
        box part;
        std::vector<block*> near;
    };
    // The parts far from a neighbour near one spot include corners of the
    // block: where no corner gains enough, no tile would, and the block is
    // spared the cutting (most blocks of a dense layout end here). Whether
    // a corner's offset reaches the gain is decided by the blocks closer
    // than twice that offset alone.
    const double gain_reach = 2.0 * tiling_gain * d;
    if (best_corner_offset(s, b, lim, within_reach(close, ob, gain_reach), ob) < tiling_gain * d) return false;
    std::deque<pending> queue;
    queue.push_back({ob, within_reach(blocks, ob, reach)});
    // A block that no neighbour limits keeps its single box: its offset
    // was set by the wire width, and it has no part to cut away from
    // anything.
    tile whole;
    whole.part = ob;
    bool limited = false;
    tile_offset(s, b, lim, queue.front().near, whole, &limited);
    if (!limited) return false;
    std::vector<tile> tiles;
    double best = 0.0;
    // Breadth first, so that a block that meets the bound is cut evenly.
    while (!queue.empty()) {
        pending p = std::move(queue.front());
        queue.pop_front();
        tile t;
        t.part = p.part;
        t.offset = tile_offset(s, b, lim, p.near, t);
        int axis = 0;
        for (int c = 1; c < 3; ++c)
            if (box_extent(t.part, c) > box_extent(t.part, axis)) axis = c;
        const double side = box_extent(t.part, axis);
        if (side <= tile_side_per_offset * t.offset || tiles.size() + queue.size() + 2 > max_tiles ||
            best_corner_offset(s, b, lim, p.near, t.part) < corner_gain * t.offset) {
            best = std::max(best, t.offset);
            tiles.push_back(t);
            continue;
        }
        const double mid = 0.5 * (axis_of(t.part.lo, axis) + axis_of(t.part.hi, axis));
        pending low{t.part, {}}, high{t.part, {}};
        axis_of(low.part.hi, axis) = mid;
        axis_of(high.part.lo, axis) = mid;
        low.near = within_reach(p.near, low.part, reach);
        high.near = within_reach(p.near, high.part, reach);
        queue.push_back(std::move(low));
        queue.push_back(std::move(high));
    }
    if (best < tiling_gain * d) return false;
    for (const tile& t : tiles) {
        if (t.offset < touch_distance) fail_touched(s, b, blocks);
        raise_strata(s, t.ratio);
        append_grown_box(s, b, t.part, t.offset);
    }
    return true;
}

}  // namespace

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

namespace {

// Prism pieces a master needs before faces buried in neighbouring grown
// pieces are dropped. Hand-drawn outlines (a fan of at most 12 pieces)
// stay below it.
constexpr std::size_t buried_face_min_prisms = 16;

// Whether the grown solid of other holds piece q: its middle strictly, its
// corners at least on the surface. Grown solids and pieces are convex, so
// then every point of q lies strictly inside but a band of the tolerance's
// width along q's edges, where q meets the surface of other.
bool buries(const gauss_box& other, const box& bounds, const surface_piece& q) {
    const vec3 middle = sample_surface_point(q, 0.5, 0.5);
    if (!box_contains_point(bounds, middle) || !(block_distance(middle, other.solid) < -geom_eps)) return false;
    for (double u : {0.0, 1.0})
        for (double v : {0.0, 1.0})
            if (!(block_distance(sample_surface_point(q, u, v), other.solid) < geom_eps)) return false;
    return true;
}

// Drops the faces of a cut polygon's grown pieces that lie wholly inside a
// neighbouring grown piece. Every point drawn on them would be rejected,
// and a polygon of n vertices cut into bands has about n such faces, so
// without this a start point would cost attempts in proportion to n. The
// surface factor is unchanged: the area falls by what the acceptance rises.
// Only masters of many prism pieces are looked at: the saving grows with
// the count, and the others keep their surfaces, draws and results.
void drop_buried_pieces(gauss_surface& s) {
    std::size_t prisms = 0;
    for (const gauss_box* b : s.box_list) prisms += b->master->solid.kind == solid_prism ? 1 : 0;
    if (prisms < buried_face_min_prisms) return;
    const gauss_box_grid& g = s.box_grid;
    std::vector<surface_piece> kept;
    kept.reserve(s.pieces.size());
    for (const surface_piece& q : s.pieces) {
        auto buried_by = [&](std::size_t j) {
            const gauss_box& o = *s.box_list[j];
            return j != q.box->index && o.master->solid.kind == solid_prism && buries(o, s.grown_bounds[j], q);
        };
        bool buried = false;
        if (q.box->master->solid.kind == solid_prism && !g.start.empty()) {
            const vec3 c = sample_surface_point(q, 0.0, 0.0);
            const std::size_t cell = g.cell_at(c.x, c.y);
            const uint32_t* first = g.boxes.data() + g.start[cell];
            const uint32_t* last = g.boxes.data() + g.start[cell + 1];
            // Neighbouring pieces of a cut are registered side by side.
            const uint32_t* mid = std::lower_bound(first, last, uint32_t(q.box->index));
            for (const uint32_t *lo = mid, *hi = mid; !buried && (lo > first || hi < last);) {
                if (lo > first) buried = buried_by(*--lo);
                if (!buried && hi < last) buried = buried_by(*hi++);
            }
        }
        if (!buried) kept.push_back(q);
    }
    s.pieces.swap(kept);
}

}  // namespace

bool piece_may_lie_inside(const surface_piece& q, const box& win) {
    const vec3 corners[] = {sample_surface_point(q, 0.0, 0.0), sample_surface_point(q, 1.0, 0.0),
                            sample_surface_point(q, 0.0, 1.0), sample_surface_point(q, 1.0, 1.0)};
    for (int c = 0; c < 3; ++c) {
        double lo = axis_of(corners[0], c), hi = lo;
        for (const vec3& p : corners) {
            lo = std::min(lo, axis_of(p, c));
            hi = std::max(hi, axis_of(p, c));
        }
        // A piece in a plane of this axis (lo == hi) must lie strictly
        // between the window's sides; one across it must overlap them over
        // some length.
        const double low_side = axis_of(win.lo, c) - geom_eps, high_side = axis_of(win.hi, c) + geom_eps;
        const bool inside = lo == hi ? low_side < lo && lo < high_side
                                     : std::max(lo, low_side) < std::min(hi, high_side);
        if (!inside) return false;
    }
    return true;
}

void build_master_gauss_surfaces(gauss_surface& s, const conductor& master) {
    if (master.blocks.empty()) fail_no_blocks(master);
    const conductor* owner = master.blocks.front()->owner;
    s.others_of = owner;
    s.other_blocks.clear();
    for (block* p : s.layout->all_blocks)
        if (p->owner != owner) s.other_blocks.push_back(p);
    for (const block* b : master.blocks) make_master_gauss_surface(s, *b);

    const window& w = s.layout->window;
    for (gauss_box& gb : s.boxes) {
        if (w.boundary == boundary_neumann) {
            const box& ob = gb.solid.outer_box;
            bool inside = true;
            for (int c = 0; c < 3; ++c)
                inside = inside && axis_of(ob.lo, c) + geom_eps > axis_of(w.box.lo, c) &&
                         axis_of(w.box.hi, c) + geom_eps > axis_of(ob.hi, c);
            gb.clip = inside ? 0 : 1;
        }
        add_gauss_box(s, gb);
    }
    index_gauss_boxes(s);
    drop_buried_pieces(s);
    // The sampler would draw for ever: every candidate falls outside the
    // window (a master far from any other net, whose offset is a multiple
    // of its own size, in a window that leaves less room around it).
    const bool drawable = std::any_of(s.pieces.begin(), s.pieces.end(), [&](const surface_piece& q) {
        return !q.box->clip || piece_may_lie_inside(q, w.box);
    });
    if (!drawable)
        error_handler::instance().raise(sea::basic_error(
            "no start point of master " + master.name +
            " can be drawn: its Gaussian surface lies wholly outside the Neumann window"));

    for (const surface_piece& p : s.pieces) {
        if (p.face != face_slanted) continue;
        const slant_normal key{int32_t(-uint32_t(p.value.nx)), int32_t(-uint32_t(p.value.ny))};
        p.box->slant_pieces.emplace(key, &p);
    }

    s.area_cdf.assign(s.pieces.size(), 0.0);
    for (std::size_t i = 0; i < s.pieces.size(); ++i) s.area_cdf[i] = surface_element_area(s.pieces[i]);
    s.total_area = make_cumulative_table(s.area_cdf.data(), s.area_cdf.size());
    s.area_guide_bits = guide_bits_for(s.area_cdf.size());
    s.area_guide.assign(std::size_t(1) << s.area_guide_bits, 0);
    build_guide(s.area_cdf.data(), s.area_cdf.size(), s.area_guide_bits, s.area_guide.data());

    double smallest_offset = geom_infinity;
    for (const gauss_box& gb : s.boxes) smallest_offset = tmin(smallest_offset, gb.offset);
    const double eps_max = largest_permittivity(s.layout->layers);
    switch (s.cfg->gauss_type) {
    case configure::gauss_default:
    case configure::gauss_diel: s.max_weight = eps_max; break;
    case configure::gauss_uniform: s.max_weight = 1.0; break;
    case configure::gauss_dist: s.max_weight = 1.0 / smallest_offset; break;
    case configure::gauss_both: s.max_weight = eps_max / smallest_offset; break;
    default: s.max_weight = 0.0; break;
    }
}
