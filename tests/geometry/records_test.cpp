#include <gtest/gtest.h>

#include "geometry/layout.hpp"

namespace {

void expect_box(const box& b, const vec3& lo, const vec3& hi) {
    EXPECT_DOUBLE_EQ(b.lo.x, lo.x);
    EXPECT_DOUBLE_EQ(b.lo.y, lo.y);
    EXPECT_DOUBLE_EQ(b.lo.z, lo.z);
    EXPECT_DOUBLE_EQ(b.hi.x, hi.x);
    EXPECT_DOUBLE_EQ(b.hi.y, hi.y);
    EXPECT_DOUBLE_EQ(b.hi.z, hi.z);
}

nprism_t prism_of(std::initializer_list<vec2> outline, double z0, double z1) {
    nprism_t p{};
    for (const vec2& v : outline) p.vertex[p.n++] = v;
    p.z0 = z0;
    p.z1 = z1;
    return p;
}

}  // namespace

TEST(SolidConstructors, BoxAndCylinderBoxes) {
    const box b{{0, 1, 2}, {3, 4, 5}};
    solid s = make_box_solid(b);
    EXPECT_EQ(s.kind, solid_box);
    expect_box(s.shape.box, b.lo, b.hi);
    expect_box(s.inner_box, b.lo, b.hi);
    expect_box(s.outer_box, b.lo, b.hi);
    ASSERT_EQ(s.inner_boxes.size(), 1u);
    ASSERT_EQ(s.outer_boxes.size(), 1u);
    expect_box(s.inner_boxes[0], b.lo, b.hi);

    solid c = make_cylinder_solid({0, 0, 0}, 1.0, 2.0);
    EXPECT_EQ(c.kind, solid_cylinder);
    EXPECT_DOUBLE_EQ(c.shape.cylinder.radius, 1.0);
    EXPECT_DOUBLE_EQ(c.shape.cylinder.half_height, 2.0);
    const double k = 0.7071067811865476;
    expect_box(c.inner_box, {-k, -k, -2}, {k, k, 2});
    expect_box(c.outer_box, {-1, -1, -2}, {1, 1, 2});
    ASSERT_EQ(c.inner_boxes.size(), 1u);
    expect_box(c.outer_boxes.at(0), {-1, -1, -2}, {1, 1, 2});
}

TEST(SolidConstructors, PrismBoxesFromCentroidAndTolerantBounds) {
    solid t = make_nprism_solid(prism_of({{0, 0}, {1, 0}, {0, 1}}, 0.5, 1.5));
    EXPECT_EQ(t.kind, solid_prism);
    EXPECT_EQ(t.shape.prism.n, 3u);
    const double c = 1.0 / 3.0;
    expect_box(t.inner_box, {c - 1e-4, c - 1e-4, 0.5}, {c + 1e-4, c + 1e-4, 1.5});
    expect_box(t.outer_box, {0, 0, 0.5}, {1, 1, 1.5});
    ASSERT_EQ(t.outer_boxes.size(), 1u);

    // A later vertex lower by no more than 1e-9 keeps the first vertex's value.
    solid q = make_nprism_solid(prism_of({{0, 0}, {2, 0}, {2, 1}, {-5e-10, 1}}, 0, 1));
    EXPECT_EQ(q.outer_box.lo.x, 0.0);
    EXPECT_EQ(q.outer_box.hi.x, 2.0);
}

TEST(LayoutRecords, AddressesSurviveAppendsAndCopiesShareBlocks) {
    layout l;
    l.conductors.emplace_back("net0", uint8_t(0));
    l.blocks.emplace_back("b0", make_box_solid({{0, 0, 0}, {1, 1, 1}}));
    conductor* first_net = &l.conductors.front();
    block* first_block = &l.blocks.front();
    first_block->owner = first_net;
    first_net->blocks.push_back(first_block);
    for (int i = 1; i < 5000; ++i) {
        l.conductors.emplace_back("n" + std::to_string(i), uint8_t(1));
        l.blocks.emplace_back("b" + std::to_string(i), make_box_solid({{0, 0, 0}, {1, 1, 1}}));
    }
    EXPECT_EQ(first_net, &l.conductors.front());
    EXPECT_EQ(first_block, &l.blocks.front());
    EXPECT_EQ(first_block->owner->name, "net0");
    EXPECT_EQ(first_block->floating, 0);
    EXPECT_EQ(l.conductors.back().floating, 1);

    first_net->surface_table = {0.25, 1.0};
    conductor copy(*first_net);
    EXPECT_EQ(copy.blocks.at(0), first_block);
    EXPECT_EQ(copy.surface_table, first_net->surface_table);

    // Moving a layout moves its deques' storage, so pointers stay valid.
    layout moved(std::move(l));
    EXPECT_EQ(&moved.blocks.front(), first_block);
}
