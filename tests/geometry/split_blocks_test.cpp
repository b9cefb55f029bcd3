// Long slanted prisms are cut for the space manager; moderately long ones
// only get finer box lists.
#include <gtest/gtest.h>

#include <string>

#include "geometry/index_layout.hpp"
#include "tests/geometry/layout_text.hpp"

using namespace geometry_test;

namespace {

// A parallelogram with horizontal sides 2 and slanted sides of length
// 10 * ratio / 2 (a 3-4-5 slope), so prism_edge_ratio is ratio.
std::string slanted(double ratio) {
    const double run = 0.6 * ratio * 2, rise = 0.8 * ratio * 2;
    char text[256];
    std::snprintf(text, sizeof text,
                  "<poly> name p basepoint (0, 0, 1) v1 (0, 0, 0) v2 (0, 0, 0) hvector (0, 0, 1)\n"
                  "<coord> (0, 0) (2, 0) (%g, %g) (%g, %g) </coord> </poly>\n",
                  2 + run, rise, run, rise);
    return text;
}

std::unique_ptr<parsed> indexed(double ratio, int cap = 20) {
    configure cfg;
    cfg.spacemgr_split_block = true;
    cfg.spacemgr_split_thr = cap;
    const std::string body = conductor_text("c", block_text("first", -9, 0, 1) + slanted(ratio) +
                                                     block_text("last", -5, 0, 1)) +
                             conductor_text("d", block_text("other", -20, 0, 1));
    auto p = parse(root(body), cfg);
    index_layout(p->lay, nullptr);
    return p;
}

} // namespace

TEST(SplitBlocks, LongSlantedPrismsBecomeSlabsInPlaceOfTheBlock) {
    // Ratio 50: min(20, ceil(50 / 5)) = 10 slabs; the cap 3 gives three; the
    // vertex lines coincide with the ends here, so they add no cut.
    for (const auto& [cap, pieces] : std::vector<std::pair<int, std::size_t>>{{20, 10}, {3, 3}, {0, 1}}) {
        SCOPED_TRACE(cap);
        auto p = indexed(50, cap);
        const layout& l = p->lay;
        ASSERT_EQ(l.blocks.size(), pieces + 3);
        const conductor& c = l.conductors.front();
        ASSERT_EQ(c.blocks.size(), pieces + 2);
        EXPECT_EQ(c.blocks.front()->name, "first");
        EXPECT_EQ(c.blocks.back()->name, "last");
        double z = 0;
        for (std::size_t i = 1; i <= pieces; ++i) {
            // Slabs owned by the block's conductor follow one another along y.
            const block& piece = *c.blocks[i];
            EXPECT_TRUE(piece.name == "p" && piece.owner == &c);
            EXPECT_NEAR(piece.solid.outer_box.lo.y, z, 1e-9);
            z += 80.0 / pieces;
            EXPECT_NEAR(piece.solid.outer_box.hi.y, z, 1e-9);
        }
        EXPECT_EQ(l.prism_blocks.size(), pieces);
    }
}

TEST(SplitBlocks, ModerateRatiosKeepTheBlockWithTwoSlabBoxes) {
    // Exactly 10 does not split; 10 and 4.5 both refine the boxes; 3 leaves
    // them. At 4.5 the outline is wider (7.4) than high (7.2): the cut at
    // x = 3.7 joins the vertex lines x = 2 and 5.4, four slabs.
    for (const auto& [ratio, boxes] : std::vector<std::pair<double, std::size_t>>{{10, 2}, {4.5, 4}, {3, 1}}) {
        SCOPED_TRACE(ratio);
        auto p = indexed(ratio);
        ASSERT_EQ(p->lay.blocks.size(), 4u);
        const solid& s = p->lay.blocks[1].solid;
        EXPECT_EQ(s.inner_boxes.size(), boxes);
        ASSERT_EQ(s.outer_boxes.size(), boxes);
        EXPECT_DOUBLE_EQ(s.outer_boxes.front().lo.z, 1);
        EXPECT_DOUBLE_EQ(s.outer_boxes.back().hi.z, 2);
    }
}
