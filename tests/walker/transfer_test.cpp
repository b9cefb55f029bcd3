#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "walker/default_walker.hpp"
#include "walker/transfer.hpp"

namespace {

void expect_vec(const vec3& got, const vec3& want) {
    EXPECT_DOUBLE_EQ(got.x, want.x);
    EXPECT_DOUBLE_EQ(got.y, want.y);
    EXPECT_DOUBLE_EQ(got.z, want.z);
}

}  // namespace

TEST(Transfer, PanelIndexDecodesToFaceRowAndColumn) {
    // Panel 0: face -z, row 0 (along y), column 0 (along x).
    expect_vec(panel_direction<31>(0), {-30.0 / 31, -30.0 / 31, -1.0});
    // Middle of face +x (face 2, row 15, column 15).
    expect_vec(panel_direction<31>(2 * 961 + 15 * 31 + 15), {1.0, 0.0, 0.0});
    // Face -y (1): rows along z, columns along x.
    expect_vec(panel_direction<31>(961 + 30 * 31 + 0), {-30.0 / 31, -1.0, 30.0 / 31});
    // Face -x (4): rows along z, columns along y.
    expect_vec(panel_direction<32>(4 * 1024 + 0 * 32 + 31), {-1.0, 31.0 / 32, -31.0 / 32});
    // Last panel: face +z (5), row along y, column along x.
    expect_vec(panel_direction<32>(6143), {31.0 / 32, 31.0 / 32, 1.0});
    expect_vec(panel_direction<31>(3 * 961 + 5), {-20.0 / 31, 1.0, -30.0 / 31});
}

TEST(Transfer, LowerBoundSkipsEmptyPanelsAndBlends) {
    std::vector<double> row(panel_count<31>, 1.0);
    for (std::size_t i = 0; i < 100; ++i) row[i] = 0.0;  // panels 0..99 have no mass
    row[100] = 0.25;
    const row_blend alone{true, 0.0, false};
    EXPECT_EQ(pick_panel<31>(row.data(), row.data(), alone, 0.0), 0u);  // r = 0 finds panel 0
    EXPECT_EQ(pick_panel<31>(row.data(), row.data(), alone, 1e-12), 100u);
    EXPECT_EQ(pick_panel<31>(row.data(), row.data(), alone, 0.25), 100u);
    EXPECT_EQ(pick_panel<31>(row.data(), row.data(), alone, 0.2500001), 101u);
    EXPECT_EQ(pick_panel<31>(row.data(), row.data(), alone, 0.9999999999), 101u);

    // Blend: value = 0.5 t1 + 0.5 t2.
    std::vector<float> t1(panel_count<32>, 1.0f), t2(panel_count<32>, 1.0f);
    t1[0] = 0.0f;
    t2[0] = 0.5f;
    t1[1] = 0.5f;
    t2[1] = 1.0f;
    const row_blend half{false, 0.5, false};
    EXPECT_EQ(pick_panel<32>(t1.data(), t2.data(), half, 0.25), 0u);
    EXPECT_EQ(pick_panel<32>(t1.data(), t2.data(), half, 0.26), 1u);
    EXPECT_EQ(pick_panel<32>(t1.data(), t2.data(), half, 0.76), 2u);
}

TEST(Transfer, MirrorRotationAndFirstHopSign) {
    // A row whose whole mass sits on the middle panel of face +z.
    std::vector<double> row(panel_count<31>, 1.0);
    const std::size_t top = 5 * 961 + 15 * 31 + 15;
    for (std::size_t i = 0; i < top; ++i) row[i] = 0.0;
    std::vector<guide_entry> cells(guide_cells);
    build_guides(row.data(), 1, panel_count<31>, cells.data());
    const guided_row<double> guided{row.data(), cells.data()};
    walker_rng rng(1);
    expect_vec(draw_direction<31>(rng, &guided, &guided, {true, 0.0, false}), {0, 0, 1});
    expect_vec(draw_direction<31>(rng, &guided, &guided, {true, 0.0, true}), {0, 0, -1});

    const row_blend alone{true, 0.0, false};
    // face 5 (-z, axis z): a negative mass gives -K, a positive one +K; K = 2.6 / (2a).
    EXPECT_DOUBLE_EQ(signed_first_hop_factor(5, -1.0, 2.6, 0, alone, 0.5), -2.6);
    EXPECT_DOUBLE_EQ(signed_first_hop_factor(5, 1.0, 2.6, 0, alone, 0.5), 2.6);
    // face 0 (+x): a start face on the + side turns the sign.
    EXPECT_DOUBLE_EQ(signed_first_hop_factor(0, 1.0, 2.6, 0, alone, 1.0), -1.3);
    EXPECT_DOUBLE_EQ(signed_first_hop_factor(0, -1.0, 2.6, 0, alone, 1.0), 1.3);
    // A blend mixes the two weight values.
    EXPECT_DOUBLE_EQ(signed_first_hop_factor(1, -1.0, 2.0, 4.0, {false, 0.25, false}, 1.0), 1.25);

    const double c = std::cos(0.3), s = std::sin(0.3);
    const vec3 r = rotate_about_z({1.0, 0.0, 0.5}, c, s);
    EXPECT_DOUBLE_EQ(r.x, c);
    EXPECT_DOUBLE_EQ(r.y, s);
    EXPECT_DOUBLE_EQ(r.z, 0.5);
}

TEST(Transfer, NeumannFoldMirrorsAtTheSides) {
    EXPECT_NEAR(fold_into(10.3, 0.0, 10.0), 9.7, 1e-12);
    EXPECT_NEAR(fold_into(-0.3, 0.0, 10.0), 0.3, 1e-12);
    EXPECT_NEAR(fold_into(5.0, 0.0, 10.0), 5.0, 1e-12);
    EXPECT_NEAR(fold_into(23.0, 0.0, 10.0), 3.0, 1e-12);  // period 20
    EXPECT_NEAR(fold_into(-13.0, 0.0, 10.0), 7.0, 1e-12);
    EXPECT_NEAR(fold_into(10.0, 0.0, 10.0), 10.0, 1e-12);
}

// Stored signs decide the first-hop factor; a mirror turns a z gradient
// around; a row without stored signs keeps the landing-side rule; a blend
// takes the sign of the blended signed mass.
TEST(Transfer, FirstHopSignFromStoredRows) {
    // All mass on the middle panel of face +z, stored with a minus sign.
    const std::size_t top = 5 * 961 + 15 * 31 + 15;
    std::vector<double> signed_cdf(panel_count<31>, 1.0), plain(panel_count<31>, 1.0);
    for (std::size_t i = 0; i < top; ++i) signed_cdf[i] = plain[i] = 0.0;
    signed_cdf[top] = -1.0;
    const first_hop_row<double> neg{signed_cdf.data(), true, 2.0}, side{plain.data(), false, 4.0};
    struct sign_case {
        first_hop_row<double> r1, r2;
        row_blend b;
        double sign, uz;
    };
    const sign_case cases[] = {
        {neg, neg, {true, 0.0, false}, -1.0, 1.0},
        {neg, neg, {true, 0.0, true}, 1.0, -1.0},
        {side, side, {true, 0.0, true}, -1.0, -1.0},
        {neg, side, {false, 0.25, false}, -1.0, 1.0},  // 0.75 * 2 * (-1) + 0.25 * 4
        {neg, side, {false, 0.75, false}, 1.0, 1.0},   // 0.25 * 2 * (-1) + 0.75 * 4
    };
    walker_rng rng(3);
    for (const sign_case& c : cases) {
        const first_hop_draw d = draw_first_hop<31>(rng, c.r1, c.r2, c.b, 2);
        EXPECT_EQ(d.sign, c.sign);
        EXPECT_EQ(d.u.z, c.uz);
    }
}
