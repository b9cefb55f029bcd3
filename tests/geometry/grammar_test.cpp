#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/configure.hpp"
#include "foundation/file_opener.hpp"
#include "geometry/layout.hpp"
#include "geometry/parse_layout.hpp"
#include "geometry/polygon.hpp"
#include "tests/geometry/layout_text.hpp"

namespace {

using namespace geometry_test;

void expect_box(const box& b, vec3 lo, vec3 hi) {
    EXPECT_DOUBLE_EQ(b.lo.x, lo.x);
    EXPECT_DOUBLE_EQ(b.lo.y, lo.y);
    EXPECT_DOUBLE_EQ(b.lo.z, lo.z);
    EXPECT_DOUBLE_EQ(b.hi.x, hi.x);
    EXPECT_DOUBLE_EQ(b.hi.y, hi.y);
    EXPECT_DOUBLE_EQ(b.hi.z, hi.z);
}

const std::string poly_l_shape =  // an L: two rectangles joined at a reflex corner
    "<poly> name ell basepoint (10, 20, 1) v1 (0, 0, 0) v2 (0, 0, 0) hvector (0, 0, 2)\n"
    "<coord> (0, 0) (2, 0) (2, 1) (1, 1) (1, 2) (0, 2) </coord> </poly>\n";

}  // namespace

TEST(Grammar, SectionsComeInAnyOrderAndNumber) {
    const std::string body = "<task> <capacitance> b </capacitance> </task>\n" +
                             conductor_text("b", block_text("b1", 0, 0, 1)) + medium_text(0, 5, 3.9) +
                             "<itf> <layer> m1 x y 1 2 3 </layer> <layer> a b c 4 [/layer] </itf>\n" +
                             "<window> v1 (0, 0, 0) v2 (1, 1, 1) dirichlet </window>\n" +
                             conductor_text("a", block_text("a1", 0, 0, 2)) + medium_text(5, 9, 2.0) +
                             "<task> <capacitance> a </capacitance> </task>\n";
    const auto p = parse(root(body));
    const layout& lay = p->lay;
    EXPECT_EQ(conductor_names(lay), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(block_names(lay), (std::vector<std::string>{"b1", "a1"}));
    ASSERT_EQ(lay.media.size(), 2u);
    EXPECT_EQ(lay.media[0].z0, 0);
    EXPECT_EQ(lay.media[0].z1, 5);
    EXPECT_EQ(lay.media[0].eps, 3.9);
    EXPECT_EQ(lay.media[1].z0, 5);
    EXPECT_EQ(lay.media[1].eps, 2.0);
    EXPECT_EQ(lay.task_names, (std::unordered_set<std::string>{"a", "b"}));
    EXPECT_EQ(lay.window.boundary, 1u);
    // The window's own points are ignored: the media set its box.
    expect_box(lay.window.box, {-100, -100, 0}, {100, 100, 9});
}

TEST(Grammar, RootAndSectionsAcceptBothClosingForms) {
    const std::string blocks =
        "<block> name p basepoint (0,0,0) v1 (1,0,0) v2 (0,1,0) hvector (0,0,1) [/poly]\n"
        "<poly> name q basepoint (0,0,0) v1 (0,0,0) v2 (0,0,0) hvector (0,0,1) "
        "<coord> (0,0) (1,0) (1,1) [/coord] </block>\n";
    const std::string body = "<conductor> name c\n" + blocks + "[/conductor]\n" +
                             "<medium> <block> basepoint (0,0,0) v1 (1,0,0) v2 (0,1,0) hvector (0,0,1) "
                             "[/block] diel 1 [/medium]\n"
                             "<task> <capacitance> c [/capacitance] [/task]\n"
                             "<window> v1 (0,0,0) v2 (1,1,1) [/window]\n";
    for (const std::string& file : {"<lumod>\n" + body + "[/pryx]", "<pryx>\n" + body + "</lumod>",
                                    "<pryx>" + body + "[/lumod] // trailing comment\n /* and */ "}) {
        const auto p = parse(file);
        EXPECT_EQ(block_names(p->lay), (std::vector<std::string>{"p", "q"}));
        EXPECT_EQ(p->lay.conductors.size(), 1u);
        EXPECT_EQ(p->lay.media.size(), 1u);
        EXPECT_EQ(p->lay.task_names.count("c"), 1u);
        EXPECT_EQ(p->lay.window.boundary, 2u);
    }
}

TEST(Grammar, MediaGrowTheWindowBoxOnlyBeyondTheTolerance) {
    const auto none = parse(root(conductor_text("c", block_text("", 0, 0, 0))));
    expect_box(none->lay.window.box, {1e9, 1e9, 1e9}, {-1e9, -1e9, -1e9});
    EXPECT_TRUE(none->lay.media.empty());
    EXPECT_EQ(none->lay.window.boundary, 0u);  // no window section

    const auto two = parse(root(medium_text(0, 2, 4, 50) + medium_text(-1, 1, 2, 30)));
    expect_box(two->lay.window.box, {-50, -50, -1}, {50, 50, 2});

    // A bound within 1e-9 of the current one keeps the current one.
    const auto near = parse(root(medium_text(0, 2, 4, 50) +
                                 "<medium> <block> name m basepoint (-50.0000000005, 0, 0) v1 (1, 0, 0) "
                                 "v2 (0, 1, 0) hvector (0, 0, 2.0000000005) </block> diel 1 </medium>"));
    EXPECT_EQ(near->lay.window.box.lo.x, -50.0);
    EXPECT_EQ(near->lay.window.box.hi.z, 2.0);
}

TEST(Grammar, GeneratedNamesFollowTheOrderOfReduction) {
    // Blocks are reduced before their conductor, so they take the lower numbers.
    const auto p = parse(root(conductor_text("", block_text("", 0, 0, 0)) +
                              conductor_text("", block_text("", 0, 0, 2)) +
                              conductor_text("named", block_text("", 0, 0, 4)) +
                              conductor_text("", block_text("b", 0, 0, 6))));
    EXPECT_EQ(block_names(p->lay),
              (std::vector<std::string>{"unnamed00000", "unnamed00002", "unnamed00004", "b"}));
    EXPECT_EQ(conductor_names(p->lay),
              (std::vector<std::string>{"unnamed00001", "unnamed00003", "named", "unnamed00005"}));
    // Media never take a name from the counter; lower-case hex, five digits.
    parse(root(medium_text(0, 1, 1)));
    for (int i = 0; i < 10; ++i)
        make_default_name();
    EXPECT_EQ(make_default_name(), "unnamed0000a");
}

TEST(Grammar, KeywordsOtherThanNameAndFloatingServeAsNames) {
    const auto p = parse(root(conductor_text("v1", block_text("rho", 0, 0, 0)) +
                              conductor_text("dirichlet", block_text("hvector", 0, 0, 2)) +
                              "<task> <capacitance> radius </capacitance> </task>"));
    EXPECT_EQ(conductor_names(p->lay), (std::vector<std::string>{"v1", "dirichlet"}));
    EXPECT_EQ(block_names(p->lay), (std::vector<std::string>{"rho", "hvector"}));
    EXPECT_EQ(p->lay.task_names, (std::unordered_set<std::string>{"radius"}));
}

TEST(Grammar, ConductorsOwnTheirBlocksInInputOrder) {
    const auto p = parse(root(conductor_text("a", block_text("a1", 0, 0, 0) + block_text("a2", 2, 0, 0), "") +
                              conductor_text("b", block_text("b1", 0, 0, 4) + "<block> name b2 basepoint (0,0,6) "
                                                                        "v1 (1,0,0) v2 (0,1,0) hvector (0,0,1) "
                                                                        "rho 0.5 </block>\n",
                                        "floating") +
                              "<conductor> name r <block> basepoint (9,9,9) v1 (1,0,0) v2 (0,1,0) "
                              "hvector (0,0,1) </block> rho 2 </conductor>"));
    layout& lay = p->lay;
    ASSERT_EQ(lay.conductors.size(), 3u);
    ASSERT_EQ(lay.blocks.size(), 5u);
    const conductor& a = lay.conductors[0];
    const conductor& b = lay.conductors[1];
    EXPECT_EQ(a.blocks, (std::vector<block*>{&lay.blocks[0], &lay.blocks[1]}));
    EXPECT_EQ(b.blocks, (std::vector<block*>{&lay.blocks[2], &lay.blocks[3]}));
    const conductor* owners[] = {&a, &a, &b, &b, &lay.conductors[2]};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lay.blocks[i].owner, owners[i]);
    EXPECT_EQ(a.floating, 0);
    EXPECT_EQ(b.floating, 1);
    EXPECT_EQ(lay.blocks[1].floating, 0);
    EXPECT_EQ(lay.blocks[2].floating, 1);
    EXPECT_EQ(lay.blocks[3].floating, 1);

    // With floating conductors disabled the word is read and ignored.
    configure cfg;
    cfg.enable_floating = false;
    const auto off = parse(root(conductor_text("f", block_text("", 0, 0, 0), "floating")), cfg);
    EXPECT_EQ(off->lay.conductors[0].floating, 0);
    EXPECT_EQ(off->lay.blocks[0].floating, 0);
}

TEST(Grammar, BoxAndCylinderShapes) {
    // A box takes only the axis components of its three vectors.
    const auto boxed = parse(root("<conductor> name c <block> basepoint (1, 2, 3) v1 (4, 7, 7) v2 (7, 5, 7) "
                                  "hvector (7, 7, 6) </block> </conductor>"));
    EXPECT_EQ(boxed->lay.blocks[0].solid.kind, 0u);
    expect_box(boxed->lay.blocks[0].solid.shape.box, {1, 2, 3}, {5, 7, 9});

    const std::string file =
        root("<conductor> name c <block> basepoint (1, 2, 5) radius 2 height 4 </block> </conductor>");
    const auto round = parse(file);
    const solid& s = round->lay.blocks[0].solid;
    EXPECT_EQ(s.kind, 1u);
    EXPECT_EQ(s.shape.cylinder.centre.x, 1);
    EXPECT_EQ(s.shape.cylinder.centre.y, 2);
    EXPECT_EQ(s.shape.cylinder.centre.z, 5);
    EXPECT_EQ(s.shape.cylinder.radius, 2);
    EXPECT_EQ(s.shape.cylinder.half_height, 2);
    expect_box(s.outer_box, {-1, 0, 3}, {3, 4, 7});

    configure cfg;
    cfg.manhattan_approximation = true;
    const auto square = parse(file, cfg);
    const solid& q = square->lay.blocks[0].solid;
    EXPECT_EQ(q.kind, 0u);
    const double k = 2 * 0.886226925452759;  // same area as the circle
    expect_box(q.shape.box, {1 - k, 2 - k, 3}, {1 + k, 2 + k, 7});
}

TEST(Grammar, PolygonPiecesShareTheNameAndTheConductor) {
    const auto p = parse(root("<conductor> name c\n" + poly_l_shape + block_text("tail", 0, 0, 9) + "</conductor>"));
    const layout& lay = p->lay;
    ASSERT_EQ(lay.blocks.size(), 3u);
    EXPECT_EQ(block_names(lay), (std::vector<std::string>{"ell", "ell", "tail"}));
    ASSERT_EQ(lay.conductors[0].blocks.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        const solid& s = lay.blocks[i].solid;
        EXPECT_EQ(s.kind, 2u);
        EXPECT_EQ(s.shape.prism.n, 4u);
        // Heights from the box, outline shifted by the basepoint.
        EXPECT_EQ(s.shape.prism.z0, 1);
        EXPECT_EQ(s.shape.prism.z1, 3);
        EXPECT_EQ(lay.blocks[i].owner, &lay.conductors[0]);
        EXPECT_EQ(poly_split_check(s.shape.prism.vertex, s.shape.prism.n), 1);
    }
    // The pieces cover the L (area 3), shifted by the basepoint.
    const auto area = [](const nprism_t& p) {
        double twice = 0;
        for (uint64_t k = 0; k < p.n; ++k) {
            const vec2& a = p.vertex[k];
            const vec2& b = p.vertex[(k + 1) % p.n];
            twice += a.x * b.y - b.x * a.y;
        }
        return twice / 2;
    };
    EXPECT_NEAR(area(lay.blocks[0].solid.shape.prism) + area(lay.blocks[1].solid.shape.prism), 3, 1e-12);
    const box& a = lay.blocks[0].solid.outer_box;
    const box& b = lay.blocks[1].solid.outer_box;
    expect_box({{std::min(a.lo.x, b.lo.x), std::min(a.lo.y, b.lo.y), 1},
                {std::max(a.hi.x, b.hi.x), std::max(a.hi.y, b.hi.y), 3}},
               {10, 20, 1}, {12, 22, 3});

    // Under the Manhattan approximation each piece becomes its bounding box.
    configure cfg;
    cfg.manhattan_approximation = true;
    const auto boxes = parse(root("<conductor> name c\n" + poly_l_shape + "</conductor>"), cfg);
    ASSERT_EQ(boxes->lay.blocks.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(boxes->lay.blocks[i].solid.kind, 0u);
        expect_box(boxes->lay.blocks[i].solid.shape.box, lay.blocks[i].solid.outer_box.lo,
                   lay.blocks[i].solid.outer_box.hi);
    }
}

TEST(Grammar, ClockwiseAndManyVertexPolygonsBecomeAnticlockwisePieces) {
    // A clockwise square: one anticlockwise piece.
    const auto square = parse(root("<conductor> name c <poly> basepoint (0,0,0) v1 (0,0,0) v2 (0,0,0) "
                                   "hvector (0,0,1) <coord> (0,0) (0,1) (1,1) (1,0) </coord> </poly> </conductor>"));
    ASSERT_EQ(square->lay.blocks.size(), 1u);
    const nprism_t& sq = square->lay.blocks[0].solid.shape.prism;
    EXPECT_EQ(sq.n, 4u);
    EXPECT_EQ(poly_split_check(sq.vertex, sq.n), 1);

    // Repeated vertices and a closing repeat of the first are dropped on
    // reading: one square with no zero-length edge.
    const auto repeated = parse(root("<conductor> name c <poly> basepoint (5,0,0) v1 (0,0,0) v2 (0,0,0) "
                                     "hvector (0,0,1) <coord> (0,0) (1,0) (1,0) (1,1) (0,1) (0,1) (0,0) "
                                     "</coord> </poly> </conductor>"));
    ASSERT_EQ(repeated->lay.blocks.size(), 1u);
    const nprism_t& r = repeated->lay.blocks[0].solid.shape.prism;
    ASSERT_EQ(r.n, 4u);
    for (uint64_t k = 0; k < r.n; ++k) {
        const vec2& a = r.vertex[k];
        const vec2& b = r.vertex[(k + 1) % r.n];
        EXPECT_EQ(std::hypot(b.x - a.x, b.y - a.y), 1.0) << k;
    }
    expect_box(repeated->lay.blocks[0].solid.outer_box, {5, 0, 0}, {6, 1, 1});

    // A convex twelve-gon: a quadrilateral and eight triangles, nothing read
    // past the eight vertex slots of a prism.
    std::string coords;
    for (int k = 0; k < 12; ++k) {
        const double a = k * 3.14159265358979323846 / 6;
        coords += "(" + std::to_string(10 * std::cos(a)) + ", " + std::to_string(10 * std::sin(a)) + ") ";
    }
    const auto many = parse(root("<conductor> name c <poly> basepoint (0,0,0) v1 (0,0,0) v2 (0,0,0) "
                                 "hvector (0,0,1) <coord> " + coords + "</coord> </poly> </conductor>"));
    ASSERT_EQ(many->lay.blocks.size(), 9u);
    EXPECT_EQ(many->lay.blocks[0].solid.shape.prism.n, 4u);
    for (std::size_t i = 1; i < 9; ++i)
        EXPECT_EQ(many->lay.blocks[i].solid.shape.prism.n, 3u);
    EXPECT_EQ(many->lay.conductors[0].blocks.size(), 9u);
}

TEST(Grammar, BundledExamplesParse) {
    struct example {
        const char* file;
        std::vector<std::string> conductors;
        std::size_t blocks;
        std::size_t media;
        uint32_t boundary;
    };
    const example examples[] = {
        {"box_over_ground.lumod", {"GROUND", "box1"}, 2, 1, 1},
        {"crossing_wires.lumod", {"GROUND", "wire_x", "wire_y"}, 3, 2, 1},
        {"polygon_cylinder.lumod", {"GROUND", "plate", "via"}, 4, 1, 2},
        {"floating.lumod", {"left", "middle", "right"}, 3, 1, 1},
    };
    for (const example& e : examples) {
        SCOPED_TRACE(e.file);
        configure cfg;
        cfg.input_file = sea::config_impl::file_opener::open(
            (std::string(KORVEX_SOURCE_DIR) + "/examples/" + e.file).c_str(), "r");
        ASSERT_NE(cfg.input_file, nullptr);
        layout lay;
        lay.cfg = &cfg;
        parse_layout(lay, cfg.input_file);
        EXPECT_EQ(conductor_names(lay), e.conductors);
        EXPECT_EQ(lay.blocks.size(), e.blocks);
        EXPECT_EQ(lay.media.size(), e.media);
        EXPECT_EQ(lay.window.boundary, e.boundary);
        EXPECT_FALSE(lay.task_names.empty());
        for (const conductor& c : lay.conductors)
            EXPECT_EQ(c.floating, c.name == "middle");
    }
}

TEST(Grammar, ParsingReleasesOneUserOfTheGeometryStream) {
    using sea::config_impl::file_opener;
    const std::string path = std::string(KORVEX_SOURCE_DIR) + "/examples/box_over_ground.lumod";
    // A second user keeps the shared stream open, so its count can be read.
    FILE* other_user = file_opener::open(path.c_str(), "r");
    configure cfg;
    cfg.input_file = file_opener::open(path.c_str(), "r");
    ASSERT_EQ(cfg.input_file, other_user);
    ASSERT_EQ(file_opener::users(other_user), 2);
    layout lay;
    lay.cfg = &cfg;
    parse_layout(lay, cfg.input_file);
    EXPECT_EQ(file_opener::users(other_user), 1);
    EXPECT_EQ(lay.conductors.size(), 2u);
    file_opener::release(other_user);
}
