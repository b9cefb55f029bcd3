// Physics of floating conductors through the whole program: a floating slab
// between the stacked plates carries the flux of both gaps, so the master
// sees the gaps in series with the slab as a perfect conductor.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/extraction/physics_harness.hpp"

using namespace korvex_test;

namespace {

// The plates' side: the start points' lattice covers the clipped Gaussian
// surface of these plates exactly, so only the floating jumps are on trial.
constexpr double side = 12.4;

std::string slab_block(double z0, double height) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "<block> basepoint (0, 0, %.17g) v1 (%.17g, 0, 0) v2 (0, %.17g, 0) hvector (0, 0, %.17g) </block>",
                  z0, side, side, height);
    return text;
}

}  // namespace

// A slab z = 0.4 .. 0.6 across the interface z = 0.5 (permittivity 1 below,
// 3.9 above), as two blocks split at the interface and as one block.
TEST(PhysicsFloating, SlabAcrossAnInterfaceIsInSeriesWithBothGaps) {
    const std::vector<slab> layers = {{0.5, 1}, {1.5, 3.9}};
    const double exact = eps0 * side * side / (0.4 / 1 + 0.4 / 3.9);
    const std::vector<std::pair<std::string, std::string>> slabs = {
        {"two", slab_block(0.4, 0.1) + slab_block(0.5, 0.1)},
        {"one", slab_block(0.4, 0.2)},
    };
    scratch_dir dir;
    std::string tables;
    for (const auto& [name, blocks] : slabs) {
        const std::string input = dir.write(
            name + ".lumod", stacked_plates(side, layers, "<conductor> name mid floating " + blocks + " </conductor>\n"));
        if (tables.empty()) tables = make_tables_for(dir, input, configure::layout_four);
        // A wide stand-off keeps the walks short; in the plates' uniform
        // fields the flux weights are exact at any floating distance.
        const binary_run r = extract(dir, input, tables, {"-p", "0.0014", "--floating-d", "0.15"});
        ASSERT_EQ(r.status, 0) << name << r.err;
        EXPECT_TRUE(within_three_errors(master_line(dir.read(name + ".lumod.out"), "top"), exact)) << name;
    }
}
