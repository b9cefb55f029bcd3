#include "walker/gauss_tiles.hpp"

#include <algorithm>
#include <deque>

#include "config/configure.hpp"
#include "walker/gauss_offsets.hpp"
#include "walker/gauss_surface.hpp"

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
    double ratio[2] = {-1.0, -1.0};
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

}  // namespace

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
