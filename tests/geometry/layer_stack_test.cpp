#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/configure.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "tests/ends_run.hpp"

namespace {

layer_stack stack_of(std::vector<medium> media, configure::layout_arg mode = configure::layout_two) {
    configure cfg;
    cfg.multi_dielectric = mode;
    layout l;
    l.cfg = &cfg;
    l.media = std::move(media);
    setup_media(l);
    EXPECT_TRUE(l.media.empty());
    EXPECT_EQ(l.media.capacity(), 0u);
    return l.layers;
}

std::vector<double> guarded(std::vector<double> inner, int guards, double value) {
    std::vector<double> out(std::size_t(guards), -value);
    out.insert(out.end(), inner.begin(), inner.end());
    out.insert(out.end(), std::size_t(guards), value);
    return out;
}

}  // namespace

TEST(LayerStack, HomogeneousStackHasOneLayerBetweenGuards) {
    const std::vector<medium> two = {{0, 1, 1.0}, {1, 2, 4.0}};
    for (const layer_stack& s : {stack_of({}), stack_of(two, configure::layout_off)}) {
        std::vector<double> z(6, -1e9);
        z.insert(z.end(), 6, 1e9);
        EXPECT_EQ(s.interface_z, z);
        std::vector<double> eps(11, 0.0);
        eps[5] = 1.0;
        EXPECT_EQ(s.permittivity, eps);
        EXPECT_EQ(s.layer_count(), 1u);
        EXPECT_EQ(s.high_contrast, 0);
        for (double h : {-1e9, -3.0, 0.0, 1.0, 7.5, 1e9})
            EXPECT_EQ(find_layer_id(s, layer_code_lowest_interface, h), 10005) << h;
    }
}

TEST(LayerStack, EqualNeighboursMergeAndTopIsOpen) {
    const layer_stack s = stack_of({{0, 1, 3.9}, {1, 2, 3.9000000001}});
    EXPECT_EQ(s.layer_count(), 1u);
    EXPECT_EQ(s.interface_z, guarded({}, 6, 1e9));
    EXPECT_DOUBLE_EQ(s.permittivity[5], 3.9);
    EXPECT_EQ(s.high_contrast, 0);

    // A merge in the middle moves the interface to the upper medium's top.
    const layer_stack m = stack_of({{0, 1, 1.0}, {1, 2, 2.0}, {2, 3, 2.0}, {3, 4, 2.5}});
    EXPECT_EQ(m.interface_z, guarded({1.0, 3.0}, 6, 1e9));
    EXPECT_EQ(m.permittivity, guarded({1.0, 2.0, 2.5}, 5, 0.0));
}

TEST(LayerStack, TwoLayersCodesAndContrast) {
    // Listed top first: stacked by their bottoms all the same.
    const layer_stack s = stack_of({{1, 2, 2.0}, {0, 1, 1.0}});
    EXPECT_EQ(s.interface_z, guarded({1.0}, 6, 1e9));
    EXPECT_EQ(s.permittivity.size(), 12u);
    EXPECT_EQ(s.permittivity[5], 1.0);
    EXPECT_EQ(s.permittivity[6], 2.0);
    EXPECT_EQ(s.high_contrast, 1);

    EXPECT_EQ(find_layer_id(s, 20006, 1.0 + 5e-10), 20006);
    EXPECT_EQ(find_layer_id(s, 20006, 0.5), 10005);
    EXPECT_EQ(find_layer_id(s, 20006, 1.5), 10006);
    EXPECT_EQ(find_layer_id(s, 0, 0.5), 10005);  // a hint below the first interface
    EXPECT_EQ(find_layer_id(s, 20006, 1.0 - 2e-9), 10005);

    EXPECT_EQ(stack_of({{0, 1, 1.0}, {1, 2, 1.5}}).high_contrast, 0);
    EXPECT_EQ(stack_of({{0, 1, 1.6}, {1, 2, 1.0}}).high_contrast, 1);
}

TEST(LayerStack, HintStartsTheSearchAndOnlyGoesUp) {
    const layer_stack s = stack_of({{0, 1, 1.0}, {1, 2, 2.0}, {2, 3, 3.0}});
    ASSERT_EQ(s.interface_z, guarded({1.0, 2.0}, 6, 1e9));
    // Interface 6 (z = 1) is not looked at: z = 0.5 comes back as layer 10006.
    EXPECT_EQ(find_layer_id(s, 20007, 0.5), 10006);
    EXPECT_EQ(find_layer_id(s, 20006, 0.5), 10005);
    EXPECT_EQ(find_layer_id(s, 20007, 2.0), 20007);
    EXPECT_EQ(find_layer_id(s, 10005, 2.5), 10007);  // layer codes sit below 20006
    EXPECT_EQ(find_layer_id(s, 20007, 1e12), 10007);
}

// Media are horizontal layers: in any order they must tile the height, each
// over the same x-y extent, within 1e-9.
TEST(LayerStackDeathTest, MediaThatAreNotLayersAreRefused) {
    const medium low{0, 1, 1.0}, high{1, 2, 2.0};
    auto shifted = [](medium m, double dz0, double dz1) {
        m.z0 += dz0;
        m.z1 += dz1;
        return m;
    };
    medium narrow = high;
    narrow.hi.x = 5;
    // Accepted: tiled in either order, and touching within the tolerance.
    for (const std::vector<medium>& ok : {std::vector<medium>{low, high}, {high, low}, {low, shifted(high, 9e-10, 0)},
                                          {low, shifted(high, -9e-10, 0)}, {shifted(high, 1, 1), high, low}})
        EXPECT_EQ(stack_of(ok).interface_z, guarded({1.0}, 6, 1e9));
    struct row {
        std::vector<medium> media;
        const char* message;
    };
    const std::vector<row> rows = {
        {{low, shifted(high, 2e-9, 0)}, "leave a gap in height from 1 to 1 \\(of 2e-09 um\\)"},
        {{low, shifted(high, -0.5, 0)}, "overlap in height from 0.5 to 1 \\(by 0.5 um\\)"},
        {{shifted(low, 0, 3), shifted(high, 0, -0.5)}, "medium section 2 \\(permittivity 2, z from 1 to 1.5\\) lies inside"},
        // Same bottoms: either order, one of them overlaps.
        {{shifted(low, 0, 1), high, shifted(high, 1, 1)}, "overlap"},
        {{low, shifted(high, 0, -1)}, "medium section 2 \\(permittivity 2, z from 1 to 1\\) has no height"},
        {{low, narrow}, "spans x from -1e\\+09 to 5 and y from -1e\\+09 to 1e\\+09, but medium section 1"},
    };
    // The refusal is a fatal error: "Fatal error: ..." and status 255.
    for (const row& r : rows)
        EXPECT_EXIT(korvex_test::ending_as_the_program([&] { stack_of(r.media); }), testing::ExitedWithCode(255), std::string("Fatal error: .*") + r.message);
}
