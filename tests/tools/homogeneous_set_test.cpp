// The homogeneous cube: symmetric faces, equal first-hop weights that match
// an independent series, first-hop signs by the landing side and zero
// first-hop mass on the centre planes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tools/tablegen/table_generator.hpp"
#include "transition_tables/panel_layout.hpp"

namespace {

// Independent 61 x 61-mode series, 12 digits.
constexpr double reference_wvt_31 = 2.610890764663;
constexpr double reference_wvt_32 = 2.614543567667;

vec3 direction(int n, std::size_t i) { return n == 31 ? panel_direction<31>(i) : panel_direction<32>(i); }

struct homogeneous_case {
    const char* name;
    table_kind kind;
    std::vector<double> key;
    double reference_wvt;
};

void PrintTo(const homogeneous_case& c, std::ostream* os) { *os << c.name; }

class homogeneous_sets : public ::testing::TestWithParam<homogeneous_case> {};

TEST_P(homogeneous_sets, faces_weights_and_centre_planes) {
    const homogeneous_case& hc = GetParam();
    const generated_set s = generate_table_set(hc.kind, hc.key, 2);
    const int n = table_panels_per_side(hc.kind);
    const std::size_t per_face = std::size_t(n) * n, row = 6 * per_face;
    ASSERT_EQ(s.gft.size(), row);

    for (int f = 0; f < 6; ++f) {
        double face = 0.0;
        for (std::size_t i = 0; i < per_face; ++i) face += s.gft[f * per_face + i];
        EXPECT_NEAR(face, 1.0 / 6.0, 1e-12) << "face " << f;
    }
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(s.wvt_is[std::size_t(axis)], hc.reference_wvt, 1e-9) << "axis " << axis;
        const double* r = &s.gft_is[std::size_t(axis) * row];
        double sum = 0.0;
        std::size_t zeros = 0;
        for (std::size_t i = 0; i < row; ++i) {
            sum += std::fabs(r[i]);
            const double side = axis_of(direction(n, i), axis);
            if (side == 0.0) {
                EXPECT_EQ(r[i], 0.0) << "axis " << axis << " panel " << i;
                ++zeros;
            } else {
                // Stored signs agree with the landing side, so these sets
                // walk as the position rule always did.
                EXPECT_GT(r[i] * side, 0.0) << "axis " << axis << " panel " << i;
            }
        }
        // The weight is the absolute mass of its row; with 31 panels the
        // middle row or column of the four faces parallel to the axis stays
        // empty.
        EXPECT_NEAR(sum, s.wvt_is[std::size_t(axis)], 1e-12);
        EXPECT_EQ(zeros, n == 31 ? std::size_t(4 * n) : std::size_t(0));
    }
}

INSTANTIATE_TEST_SUITE_P(
    kinds, homogeneous_sets,
    ::testing::Values(homogeneous_case{"single", table_kind::single, {}, reference_wvt_31},
                      homogeneous_case{"h_pair", table_kind::h_pair, {2.5, 2.5}, reference_wvt_32},
                      homogeneous_case{"equal_slab", table_kind::equal_slab, {1.0, 1.0, 1.0, 1.0}, reference_wvt_32}),
    [](const ::testing::TestParamInfo<homogeneous_case>& info) { return std::string(info.param.name); });

} // namespace
