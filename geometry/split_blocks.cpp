#include "geometry/split_blocks.hpp"

#include <algorithm>
#include <cmath>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/layout.hpp"
#include "geometry/prism.hpp"

namespace {

constexpr double split_ratio = 10.000000001;
constexpr double refine_ratio = 4.000000001;
constexpr double ratio_per_piece = 5.0;
constexpr uint64_t refine_pieces = 2;

} // namespace

void split_incline_blocks(layout& l) {
    log_debug_w().printf("origin block count: %lu", static_cast<unsigned long>(l.blocks.size())).put('\n').flush();
    std::deque<block> fresh;
    std::vector<solid> pieces;
    for (const block& b : l.blocks) {
        const double r = b.solid.kind == solid_prism ? prism_edge_ratio(b.solid.shape.prism) : 0.0;
        if (!(r > split_ratio)) {
            fresh.push_back(b);
            continue;
        }
        // A cap below 1 would ask for no piece at all: one piece keeps the block.
        const int32_t wanted = static_cast<int32_t>(std::ceil(r / ratio_per_piece));
        const int32_t n = std::max<int32_t>(1, std::min<int32_t>(l.cfg->spacemgr_split_thr, wanted));
        pieces.clear();
        split_block(b.solid.shape.prism, static_cast<uint64_t>(n), pieces);
        for (const solid& s : pieces) {
            fresh.emplace_back(b.name, s);
            fresh.back().owner = b.owner;
            fresh.back().floating = b.floating;
        }
    }
    l.blocks.swap(fresh);
    log_debug_w().printf("finally block count: %lu", static_cast<unsigned long>(l.blocks.size())).put('\n').flush();

    for (conductor& c : l.conductors) c.blocks.clear();
    for (block& b : l.blocks)
        if (b.owner) b.owner->blocks.push_back(&b);

    for (block& b : l.blocks) {
        if (b.solid.kind != solid_prism || !(prism_edge_ratio(b.solid.shape.prism) > refine_ratio)) continue;
        b.solid.inner_boxes.clear();
        b.solid.outer_boxes.clear();
        split_prism_pieces(b.solid.shape.prism, refine_pieces, b.solid.inner_boxes, b.solid.outer_boxes);
    }
}
