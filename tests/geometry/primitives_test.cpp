#include <gtest/gtest.h>

#include <cmath>

#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "geometry/section_distance.hpp"
#include "geometry/surface_element.hpp"

namespace {

void expect_vec(const vec3& v, double x, double y, double z) {
    EXPECT_NEAR(v.x, x, 1e-12);
    EXPECT_NEAR(v.y, y, 1e-12);
    EXPECT_NEAR(v.z, z, 1e-12);
}

surface_element element(uint32_t shape, std::initializer_list<double> words) {
    surface_element e{};
    e.shape = shape;
    int i = 0;
    for (double w : words) e.data[i++].f = w;
    return e;
}

const box unit_box{{0, 0, 0}, {1, 1, 1}};

}  // namespace

TEST(TolerantForms, NearTiesPickTheNamedOperand) {
    EXPECT_EQ(tmax(1.0, 1.0 + 5e-10), 1.0 + 5e-10);
    EXPECT_EQ(tmax(1.0 + 5e-10, 1.0), 1.0);  // second wins a near-tie
    EXPECT_EQ(tmax(2.0, 1.0), 2.0);
    EXPECT_EQ(tmin(1.0, 1.0 - 5e-10), 1.0);  // first wins a near-tie
    EXPECT_EQ(tmin(1.0, 0.5), 0.5);
    EXPECT_EQ(tabs(-3.0), 3.0);
    EXPECT_EQ(tabs(5e-10), -5e-10);
    EXPECT_EQ(tabs(2e-9), 2e-9);
}

TEST(BoxTests, ContainsWithinToleranceAndXyDistance) {
    EXPECT_TRUE(box_contains_point(unit_box, {1, 0.5, 0.5}));
    EXPECT_TRUE(box_contains_point(unit_box, {0, 0, 0}));
    EXPECT_TRUE(box_contains_point(unit_box, {1 + 0.9e-9, 0.5, 0.5}));
    EXPECT_TRUE(box_contains_point(unit_box, {0.5, 0.5, -0.9e-9}));
    EXPECT_FALSE(box_contains_point(unit_box, {0.5, 1 + 2e-9, 0.5}));
    EXPECT_FALSE(box_contains_point(unit_box, {0.5, 0.5, -2e-9}));

    const box flat{{0, 0, 0}, {4, 2, 1}};
    EXPECT_DOUBLE_EQ(box_distance_xy({2, 1, 100}, flat), -1.0);
    EXPECT_DOUBLE_EQ(box_distance_xy({7, 1, -5}, flat), 3.0);
    EXPECT_DOUBLE_EQ(box_distance_xy({6, 5, 0}, flat), 3.0);  // L-infinity: larger excess
}

TEST(BlockDistance, BoxesAndCylinders) {
    const solid b = make_box_solid(unit_box);
    EXPECT_DOUBLE_EQ(block_distance({0.5, 0.5, 3.0}, b), 2.0);   // straight above
    EXPECT_DOUBLE_EQ(block_distance({0.5, 0.5, 0.5}, b), -0.5);  // centre
    EXPECT_DOUBLE_EQ(block_distance({2.0, 3.0, 1.5}, b), 2.0);
    EXPECT_DOUBLE_EQ(block_distance({0.5, 0.9, 0.5}, b), -0.1);

    const solid c = make_cylinder_solid({1, 1, 0}, 1.0, 2.0);
    for (double a : {0.2, 0.6, 2.0})  // on the diagonal: a - r / sqrt(2)
        EXPECT_NEAR(block_distance({1 + a, 1 + a, 0.5}, c), a - 1.0 / std::sqrt(2.0), 1e-12) << a;
    EXPECT_DOUBLE_EQ(block_distance({4, 1, 0}, c), 2.0);  // along an axis
    EXPECT_DOUBLE_EQ(block_distance({1, 1, 5}, c), 3.0);  // above the top
    // Off the diagonal band: the square first meets the circle along an axis.
    EXPECT_NEAR(block_distance({3, 1.5, 0}, c), 1.0, 1e-12);
}

TEST(BlockDistance, PrismEdgesAndWalls) {
    nprism_t t{};
    t.n = 3;
    t.vertex[0] = {0, 0};
    t.vertex[1] = {2, 0};
    t.vertex[2] = {0, 2};
    t.z0 = 0;
    t.z1 = 1;
    const solid s = make_nprism_solid(t);
    // Beyond the slanted edge x + y = 2, inside the bounding box corner.
    EXPECT_NEAR(block_distance({2, 2, 0.5}, s), 1.0, 1e-12);
    EXPECT_NEAR(block_distance({1.5, 1.5, 0.5}, s), 0.5, 1e-12);
    // On the vertical walls.
    EXPECT_NEAR(block_distance({1, 1, 0.5}, s), 0.0, 1e-9);
    EXPECT_NEAR(block_distance({1, 0, 0.5}, s), 0.0, 1e-9);
    // Inside: depth is the smallest L-infinity gap.
    EXPECT_NEAR(block_distance({0.25, 0.5, 0.5}, s), -0.25, 1e-12);
    EXPECT_NEAR(block_distance({0.5, 0.5, 3}, s), 2.0, 1e-12);

    solid odd = s;
    odd.kind = 7;
    EXPECT_EQ(block_distance({0, 0, 0}, odd), 1e9);
}

TEST(SurfaceElements, NormalsByShapeAndFace) {
    surface_element r = element(surface_rect, {0, 0, 0, 1, 1});
    const double normals[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    for (uint64_t f = 0; f < 6; ++f) {
        r.data[5].u = f;
        expect_vec(surface_normal(r), normals[f][0], normals[f][1], normals[f][2]);
    }
    r.data[5].u = 6;
    expect_vec(surface_normal(r), 0, 0, 0);

    surface_element tri = element(surface_triangle, {1, 0, 0, 1, 0, 0, 1});
    tri.data[7].u = face_neg_z;
    expect_vec(surface_normal(tri), 0, 0, -1);

    const double h = 1.0 / std::sqrt(2.0);
    expect_vec(surface_normal(element(surface_slanted_rect, {0, 0, 0, 1, 1, 2})), h, -h, 0);
    expect_vec(surface_normal(element(surface_slanted_rect, {0, 0, 0, -3, 0.5, 2})),
               0.5 / std::sqrt(9.25), 3 / std::sqrt(9.25), 0);
    expect_vec(surface_normal(element(surface_cylinder_side, {0, 0, 0, 1, 1})), 0, 0, 0);
}

TEST(SurfaceElements, SamplesMapUniformsOntoTheElement) {
    // x face: u runs along y, v along z.
    surface_element xf = element(surface_rect, {1, 2, 3, 4, 5});
    xf.data[5].u = face_neg_x;
    expect_vec(sample_surface_point(xf, 0, 0), 1, 2, 3);
    expect_vec(sample_surface_point(xf, 0.5, 0.2), 1, 4, 4);
    // y face: u along z, v along x; z face: u along x, v along y.
    surface_element yf = xf;
    yf.data[5].u = face_pos_y;
    expect_vec(sample_surface_point(yf, 0.5, 0.2), 2, 2, 5);
    surface_element zf = xf;
    zf.data[5].u = face_pos_z;
    const vec3 far = sample_surface_point(zf, 1 - 1e-12, 1 - 1e-12);
    EXPECT_NEAR(far.x, 5, 1e-9);
    EXPECT_NEAR(far.y, 7, 1e-9);
    EXPECT_EQ(far.z, 3);

    const surface_element tri = element(surface_triangle, {2, 0, 0, 4, 0, 0, 4});
    for (double u : {0.0, 0.3, 0.99}) expect_vec(sample_surface_point(tri, u, 0), 0, 0, 2);
    expect_vec(sample_surface_point(tri, 0, 0.25), 2, 0, 2);  // halfway to B
    expect_vec(sample_surface_point(tri, 0.5, 1), 2, 2, 2);   // middle of BC

    expect_vec(sample_surface_point(element(surface_slanted_rect, {1, 1, 0, 2, -2, 3}), 0.5, 0.5),
               2, 0, 1.5);
    expect_vec(sample_surface_point(element(surface_disc, {1, 2, 3, 5}), 1, 0), 6, 2, 3);
    expect_vec(sample_surface_point(element(9, {1, 2, 3}), 0.5, 0.5), 0, 0, 0);
}
