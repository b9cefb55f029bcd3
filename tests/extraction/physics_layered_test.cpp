// Stacked plates with two dielectric layers between them: the series value
// is exact, and the first hop from the Gaussian surface sits in a cube that
// holds the interface, so its signed rows (and, in approx mode, the
// equal-slab normalisation) decide the result.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "tests/extraction/physics_harness.hpp"

using namespace korvex_test;

namespace {

constexpr double plate_side = 31;

struct layered_case {
    const char* name;
    double interface_z;
    double upper_eps;  // the lower layer has permittivity 1
    configure::layout_arg mode;
    const char* mode_word;
    // Approx mode reads slab ratios off a grid of 0.05 steps: the snapped
    // slabs of the first cube change the series value by this fraction,
    // which the estimate may carry on top of its statistical error.
    double grid_allowance;
};

void PrintTo(const layered_case& c, std::ostream* os) { *os << c.name; }

// Every case's tables in one directory, made once; approx mode loads the
// same 2541 equal-slab sets for both of its cases.
class layered_plates : public ::testing::TestWithParam<layered_case> {
protected:
    static void SetUpTestSuite() { tables_dir = std::make_unique<scratch_dir>(); }
    static void TearDownTestSuite() { tables_dir.reset(); }
    static std::unique_ptr<scratch_dir> tables_dir;
};
std::unique_ptr<scratch_dir> layered_plates::tables_dir;

TEST_P(layered_plates, give_the_series_capacitance) {
    const layered_case& lc = GetParam();
    const std::vector<slab> layers = {{lc.interface_z, 1.0}, {1.5, lc.upper_eps}};
    const std::string input = tables_dir->write(std::string(lc.name) + ".lumod", stacked_plates(plate_side, layers));
    const std::string tables = make_tables_for(*tables_dir, input, lc.mode);
    const binary_run r = extract(*tables_dir, input, tables, {"-p", "0.0014", "--multi-dielectric", lc.mode_word});
    ASSERT_EQ(r.status, 0) << r.err;
    const estimate c = master_line(tables_dir->read(std::string(lc.name) + ".lumod.out"), "top");
    const double exact = series_capacitance(plate_side, layers);
    if (lc.grid_allowance == 0) {
        EXPECT_TRUE(within_three_errors(c, exact));
    } else {
        EXPECT_LE(c.err, 0.0015 * exact);
        EXPECT_NEAR(c.cap, exact, 3 * c.err + lc.grid_allowance * exact) << c.cap / exact;
    }
}

// The ratio-grid error of the approx cases: the first cube spans the gap
// (half side 0.5 about z = 0.5) in four slabs of mean permittivity 1, 1.1,
// 1.5, 1.5 (interface at 0.45) or 1, 1, 1.4, 1.5 (at 0.55); relative to
// the largest they snap from 0.667 and 0.733 to 0.65 and 0.75, or from
// 0.667 and 0.933 to 0.65 and 0.95, which moves the series value by 0.58 %.
constexpr double approx_grid = 0.006;

INSTANTIATE_TEST_SUITE_P(
    stacked_plates_31, layered_plates,
    ::testing::Values(layered_case{"r3_9_two", 0.45, 3.9, configure::layout_two, "two", 0},
                      layered_case{"r3_9_four", 0.45, 3.9, configure::layout_four, "four", 0},
                      layered_case{"r10_two", 0.45, 10, configure::layout_two, "two", 0},
                      layered_case{"r10_four", 0.45, 10, configure::layout_four, "four", 0},
                      layered_case{"r1_5_approx_low", 0.45, 1.5, configure::layout_approx, "approx", approx_grid},
                      layered_case{"r1_5_approx_high", 0.55, 1.5, configure::layout_approx, "approx", approx_grid}),
    [](const ::testing::TestParamInfo<layered_case>& info) { return std::string(info.param.name); });

} // namespace
