#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "foundation/log_writers.hpp"
#include "geometry/polygon.hpp"
#include "geometry/prism.hpp"
#include "geometry/primitives.hpp"
#include "geometry/section_distance.hpp"
#include "tests/ends_run.hpp"

namespace {

poly_record poly(std::vector<vec2> vertex) {
    poly_record p;
    p.n = vertex.size();
    p.vertex = std::move(vertex);
    p.z0 = 0.5;
    p.z1 = 2.0;
    return p;
}

nprism_t prism(std::vector<vec2> vertex, double z0 = 0, double z1 = 1) {
    nprism_t p{};
    for (const vec2& v : vertex) p.vertex[p.n++] = v;
    p.z0 = z0;
    p.z1 = z1;
    return p;
}

double signed_area(const vec2* v, std::size_t n) {
    double a = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const vec2& p = v[i];
        const vec2& q = v[(i + 1) % n];
        a += p.x * q.y - q.x * p.y;
    }
    return 0.5 * a;
}

// Anticlockwise and convex: every turn is a left turn or straight.
bool convex_anticlockwise(const vec2* v, std::size_t n) {
    if (signed_area(v, n) <= 0) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const vec2& a = v[i];
        const vec2& b = v[(i + 1) % n];
        const vec2& c = v[(i + 2) % n];
        if ((b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x) < -1e-9) return false;
    }
    return true;
}

void expect_points(const std::vector<vec2>& got, const std::vector<vec2>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, 1e-12) << "vertex " << i;
        EXPECT_NEAR(got[i].y, want[i].y, 1e-12) << "vertex " << i;
    }
}

// Decomposes and checks what every decomposition must give: convex
// anticlockwise pieces of 3 or 4 vertices, heights kept, area kept.
std::vector<poly_record> decompose_checked(const poly_record& p) {
    std::vector<poly_record> pieces;
    decompose_poly(p, pieces);
    double area = 0;
    for (const poly_record& q : pieces) {
        EXPECT_EQ(q.n, q.vertex.size());
        EXPECT_GE(q.n, 3u);
        EXPECT_LE(q.n, 4u);
        EXPECT_TRUE(convex_anticlockwise(q.vertex.data(), q.n));
        EXPECT_EQ(poly_split_check(q.vertex.data(), q.n), 1);
        EXPECT_EQ(q.z0, p.z0);
        EXPECT_EQ(q.z1, p.z1);
        area += signed_area(q.vertex.data(), q.n);
    }
    EXPECT_NEAR(area, std::fabs(signed_area(p.vertex.data(), p.n)), 1e-9);
    return pieces;
}

void log_errors_to_stderr() { rebuild_log_writers(log_error, {stdout, stdout, stderr, stderr}); }

}  // namespace

TEST(DecomposePoly, ConvexOutlines) {
    // A square given clockwise comes out as one anticlockwise piece.
    auto square = decompose_checked(poly({{0, 0}, {0, 1}, {1, 1}, {1, 0}}));
    ASSERT_EQ(square.size(), 1u);
    expect_points(square[0].vertex, {{1, 0}, {1, 1}, {0, 1}, {0, 0}});

    const std::vector<vec2> pent = {{0, 0}, {2, 0}, {3, 1}, {1, 3}, {-1, 1}};
    auto five = decompose_checked(poly(pent));
    ASSERT_EQ(five.size(), 2u);
    expect_points(five[0].vertex, {pent[0], pent[1], pent[2], pent[3]});
    expect_points(five[1].vertex, {pent[0], pent[3], pent[4]});

    const std::vector<vec2> hex = {{0, 0}, {2, 0}, {3, 1}, {2, 2}, {0, 2}, {-1, 1}};
    auto six = decompose_checked(poly(hex));
    ASSERT_EQ(six.size(), 3u);
    expect_points(six[1].vertex, {hex[0], hex[3], hex[4]});
    expect_points(six[2].vertex, {hex[0], hex[4], hex[5]});

    // A clockwise hexagon gives the same fan over the reversed outline.
    std::vector<vec2> cw(hex.rbegin(), hex.rend());
    EXPECT_EQ(decompose_checked(poly(cw)).size(), 3u);

    // Many vertices: no vertex is shared by more than a few pieces. A disc,
    // an odd tilted ellipse, a half disc whose straight side holds no
    // vertices between its ends, and a flat half ellipse whose straight side,
    // where the bands end, holds many (no band may lie along it).
    auto arc = [](std::size_t n, double from, double to, double rx, double ry, double tilt) {
        std::vector<vec2> v;
        for (std::size_t k = 0; k < n; ++k) {
            const double t = from + (to - from) * double(k) / double(n);
            const double x = rx * std::cos(t), y = ry * std::sin(t);
            v.push_back({x * std::cos(tilt) - y * std::sin(tilt), x * std::sin(tilt) + y * std::cos(tilt)});
        }
        return v;
    };
    const double pi = std::acos(-1.0);
    std::vector<vec2> half = arc(500, -pi / 2, pi / 2, 2, 2, 0);
    half.push_back({0, 2});
    std::vector<vec2> drawn = arc(500, pi / 2, 3 * pi / 2, 5, 2, 0);
    for (int k = 0; k < 16; ++k)
        drawn.push_back({0, -2 + 0.25 * k});
    for (const std::vector<vec2>& big : {arc(10000, 0, 2 * pi, 2, 2, 0), arc(999, 0, 2 * pi, 3, 1, 0.5), half,
                                         arc(16, 0, 2 * pi, 1, 1, 0), drawn}) {
        const auto pieces = decompose_checked(poly(big));
        std::map<std::pair<double, double>, int> uses;
        for (const poly_record& q : pieces)
            for (const vec2& p : q.vertex)
                ++uses[{p.x, p.y}];
        for (const auto& u : uses)
            ASSERT_LE(u.second, 3) << big.size() << " vertices, at " << u.first.first << ", " << u.first.second;
    }
}

TEST(DecomposePoly, ReflexCornersAreCut) {
    // L shape: one cut from the reflex corner to the first vertex it sees.
    auto l = decompose_checked(poly({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}));
    ASSERT_EQ(l.size(), 2u);
    expect_points(l[0].vertex, {{0, 0}, {2, 0}, {2, 1}, {1, 1}});
    expect_points(l[1].vertex, {{1, 1}, {1, 2}, {0, 2}, {0, 0}});

    // The same L clockwise, a U and a comb with two reflex corners.
    decompose_checked(poly({{0, 0}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}}));
    decompose_checked(poly({{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}}));
    auto comb = decompose_checked(
        poly({{0, 0}, {4, 0}, {4, 4}, {3, 4}, {3, 1}, {2, 1}, {2, 4}, {1, 4}, {1, 1}, {0, 1}}));
    EXPECT_EQ(comb.size(), 3u);
    // A reflex corner on the first vertex.
    decompose_checked(poly({{1, 1}, {1, 2}, {0, 2}, {0, 0}, {2, 0}, {2, 1}}));
}

namespace {

// Outlines with many reflex corners, as the pieces of a cut come from.
std::vector<vec2> comb(int teeth, double width = 8, double base = 0.5, double height = 2) {
    const double pitch = width / teeth, tooth = pitch / 2;
    std::vector<vec2> v = {{0, 0}, {width, 0}, {width, base}};
    for (int k = teeth - 1; k >= 0; --k) {
        const double x = k * pitch;
        v.push_back({x + tooth, base});
        v.push_back({x + tooth, base + height});
        v.push_back({x, base + height});
        if (k > 0) v.push_back({x, base});
    }
    return v;
}

// Turned by the angle of cosine c and sine s: rational values keep every
// coordinate the same on any platform.
std::vector<vec2> turned(std::vector<vec2> v, double c, double s) {
    for (vec2& p : v) p = {p.x * c - p.y * s, p.x * s + p.y * c};
    return v;
}

// Teeth up along the top and down along the bottom of a bar.
std::vector<vec2> double_comb(int teeth) {
    const double pitch = 1.0, tooth = 0.5;
    std::vector<vec2> v;
    for (int k = 0; k < teeth; ++k) {
        const double x = k * pitch;
        if (k > 0) v.push_back({x, -1});
        v.push_back({x, -3});
        v.push_back({x + tooth, -3});
        v.push_back({x + tooth, -1});
    }
    v.push_back({teeth * pitch, -1});
    v.push_back({teeth * pitch, 1});
    for (int k = teeth - 1; k >= 0; --k) {
        const double x = k * pitch;
        v.push_back({x + tooth, 1});
        v.push_back({x + tooth, 3});
        v.push_back({x, 3});
        if (k > 0) v.push_back({x, 1});
    }
    return v;
}

// A star of random radii: reflex corners of every angle. Its directions
// are the rational points of the circle, ((1 - t^2), 2t) / (1 + t^2).
std::vector<vec2> star(int n, uint32_t seed) {
    std::vector<vec2> v;
    for (int k = 0; k < n; ++k) {
        seed = seed * 1664525u + 1013904223u;
        const double r = 1 + double(seed >> 8) / double(1u << 24);
        // t runs over (-1, 1] for the right half, then the left half mirrors it.
        const int half = n / 2;
        const bool left = k >= half;
        const double t = -1 + 2.0 * ((left ? k - half : k) + 1) / (left ? n - half : half);
        const double x = (1 - t * t) / (1 + t * t), y = 2 * t / (1 + t * t);
        v.push_back(left ? vec2{-r * x, -r * y} : vec2{r * x, r * y});
    }
    return v;
}

// A saw edge over a bar: slanted sides meeting at reflex corners.
std::vector<vec2> saw(int teeth) {
    std::vector<vec2> v = {{0, 0}, {double(teeth), 0}};
    for (int k = teeth; k >= 0; --k) v.push_back({double(k), k % 2 ? 2.0 : 1.0});
    return v;
}

// Stairs whose long sides hold straight-through and repeated vertices.
std::vector<vec2> stairs(int steps) {
    std::vector<vec2> v = {{0, 0}, {0.5 * steps, 0}, {double(steps), 0}, {double(steps), 0}};
    for (int k = steps; k > 0; --k) {
        v.push_back({double(k), double(steps - k + 1)});
        v.push_back({k - 1.0, double(steps - k + 1)});
    }
    v.push_back({0, 0.5 * steps});
    return v;
}

// Steps along the top and bottom of a bar, where neighbouring columns of
// one height leave straight-through vertices in the middle of the outline.
std::vector<vec2> skyline(int columns) {
    auto top = [](int c) { return 1.0 + c * 7 % 5 / 2; };
    auto bottom = [](int c) { return -1.0 * (c * 3 % 4 / 2); };
    std::vector<vec2> v;
    for (int c = 0; c < columns; ++c) {
        v.push_back({double(c), bottom(c)});
        v.push_back({c + 1.0, bottom(c)});
    }
    for (int c = columns - 1; c >= 0; --c) {
        v.push_back({c + 1.0, top(c)});
        v.push_back({double(c), top(c)});
    }
    return v;
}

// Every seventh vertex moved by less than the tolerance.
std::vector<vec2> nudged(std::vector<vec2> v) {
    for (std::size_t k = 0; k < v.size(); k += 7) {
        v[k].x += 3e-10 * (double(k % 3) - 1);
        v[k].y -= 2e-10 * (double(k % 2));
    }
    return v;
}

std::vector<vec2> moved(std::vector<vec2> v, double dx, double dy) {
    for (vec2& p : v) p = {p.x + dx, p.y + dy};
    return v;
}

uint64_t pieces_digest(const std::vector<poly_record>& pieces) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const void* p, std::size_t size) {
        for (std::size_t k = 0; k < size; ++k) h = (h ^ static_cast<const unsigned char*>(p)[k]) * 1099511628211ull;
    };
    for (const poly_record& q : pieces) {
        mix(&q.n, sizeof q.n);
        for (const vec2& p : q.vertex) mix(&p, sizeof p);
    }
    return h;
}

}  // namespace

// The cut of outlines with many reflex corners, bit for bit as the layouts
// written with them have always been read.
TEST(DecomposePoly, PiecesOfManyCornersAreKept) {
    struct row {
        const char* name;
        std::vector<vec2> outline;
        std::size_t pieces;
        uint64_t digest;
    };
    const std::vector<vec2> teeth = comb(250);
    const std::vector<row> rows = {
        {"comb of 1002 vertices", teeth, 252, 0x21ab35ea57e8c927ull},
        {"the same clockwise", std::vector<vec2>(teeth.rbegin(), teeth.rend()), 252, 0x21ab35ea57e8c927ull},
        {"comb turned", turned(comb(40), 0.8, 0.6), 42, 0x39c0510e87cb7ed0ull},
        {"comb starting at a tooth", [] {
             std::vector<vec2> v = comb(30);
             std::rotate(v.begin(), v.begin() + 7, v.end());
             return v;
         }(), 32, 0x84168b946a9af0ffull},
        {"double comb", double_comb(60), 124, 0x3ff5319fbe3c5dedull},
        {"double comb turned", turned(double_comb(25), 0.28, 0.96), 54, 0xb8f94f10908a3298ull},
        {"star", star(300, 7), 227, 0xd3ac748e743347d9ull},
        {"star clockwise", [] {
             std::vector<vec2> v = star(120, 11);
             std::reverse(v.begin(), v.end());
             return v;
         }(), 92, 0x1f82e96738dc1f17ull},
        {"saw", saw(101), 53, 0x6a38e79f3d84a0e8ull},
        {"stairs", stairs(40), 41, 0x76f6382cd5a09f51ull},
        {"skyline", skyline(120), 253, 0x2efd8f41ff99dc42ull},
        {"comb nudged within the tolerance", nudged(comb(40)), 43, 0x684d935eafb73b50ull},
        {"comb far from the origin", moved(comb(60), 1000, -500), 62, 0xa67b0f352c64f325ull},
    };
    for (const row& r : rows) {
        poly_record p = poly(r.outline);
        remove_repeated_vertices(p);
        const std::vector<poly_record> pieces = decompose_checked(p);
        EXPECT_EQ(pieces.size(), r.pieces) << r.name;
        EXPECT_EQ(pieces_digest(pieces), r.digest) << r.name << std::hex << " 0x" << pieces_digest(pieces);
    }
}

TEST(DecomposePolyDeathTest, SelfCrossingOutlineIsFatal) {
    EXPECT_EXIT(
        {
            log_errors_to_stderr();
            std::vector<poly_record> pieces;
            korvex_test::ending_as_the_program([&] { decompose_poly(poly({{0, 0}, {2, 2}, {2, 0}, {0, 2}}), pieces); });
        },
        testing::ExitedWithCode(255), "error: input poly not valid\\(may have same vertexs\\)\\.");
}

// The cleaning pass drops repeated and straight-through vertices; the
// repeat removal of polygon reading drops only the repeats.
TEST(DeleteDuplicatePoint, DropsRepeatedAndStraightThroughVertices) {
    struct row {
        std::vector<vec2> in, cleaned, without_repeats;
    };
    const std::vector<row> rows = {
        {{{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
        // Within the tolerance the later vertex stays.
        {{{0, 0}, {1, 0}, {1, 5e-10}, {1, 1}, {0, 1}},
         {{0, 0}, {1, 5e-10}, {1, 1}, {0, 1}},
         {{0, 0}, {1, 5e-10}, {1, 1}, {0, 1}}},
        {{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {0, 1}},
         {{0, 0}, {2, 0}, {2, 1}, {0, 1}},
         {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {0, 1}}},
        // Written closed, and the closing vertex repeated once more.
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {0, 0}},
         {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
         {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
        // Repeats at the start and a run of three.
        {{{0, 0}, {0, 0}, {2, 0}, {2, 2}, {2, 2}, {2, 2}, {0, 2}},
         {{0, 0}, {2, 0}, {2, 2}, {0, 2}},
         {{0, 0}, {2, 0}, {2, 2}, {0, 2}}},
        // The first vertex in the middle of the closing side.
        {{{1, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}},
         {{2, 0}, {2, 2}, {0, 2}, {0, 0}},
         {{1, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}}},
        // Nothing to remove.
        {{{0, 0}, {2, 0}, {1, 1}}, {{0, 0}, {2, 0}, {1, 1}}, {{0, 0}, {2, 0}, {1, 1}}},
    };
    for (const row& r : rows) {
        poly_record p = poly(r.in);
        delete_duplicate_point(p);
        EXPECT_EQ(p.n, r.cleaned.size());
        expect_points(p.vertex, r.cleaned);
        EXPECT_EQ(p.z0, 0.5);
        EXPECT_EQ(p.z1, 2.0);

        poly_record q = poly(r.in);
        remove_repeated_vertices(q);
        EXPECT_EQ(q.n, r.without_repeats.size());
        expect_points(q.vertex, r.without_repeats);
        EXPECT_EQ(q.z1, 2.0);
    }
    // Repeats alone leave fewer than three vertices for the caller to refuse.
    for (const std::vector<vec2>& few : {std::vector<vec2>{{1, 1}, {1, 1}, {1, 1}},
                                         std::vector<vec2>{{0, 0}, {1, 0}, {1, 0}, {0, 0}}, std::vector<vec2>{}}) {
        poly_record q = poly(few);
        remove_repeated_vertices(q);
        EXPECT_LT(q.n, 3u);
        EXPECT_EQ(q.n, q.vertex.size());
    }
}

TEST(DeleteDuplicatePointDeathTest, InvalidOutlinesAreFatal) {
    auto clean = [](std::vector<vec2> v) {
        log_errors_to_stderr();
        poly_record p = poly(std::move(v));
        korvex_test::ending_as_the_program([&] { delete_duplicate_point(p); });
    };
    EXPECT_EXIT(clean({{0, 0}, {2, 0}, {1, 0}, {1, 1}}), testing::ExitedWithCode(255),
                "error \\(delete_duplicate_point\\): invalid poly, point position invalid\\.");
    EXPECT_EXIT(clean({{0, 0}, {1, 0}, {2, 0}}), testing::ExitedWithCode(255),
                "error \\(delete_duplicate_point\\): invalid poly, point less than 3\\.");
    EXPECT_EXIT(clean({{0, 0}, {1, 1}}), testing::ExitedWithCode(255), "point less than 3\\.");
}

TEST(ExpandPrism, EdgesMoveOutAndCornersBevel) {
    const nprism_t g = expand_prism(prism({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 2, 3), 0.5);
    ASSERT_EQ(g.n, 8u);
    expect_points(std::vector<vec2>(g.vertex, g.vertex + 8),
                  {{0, -0.5}, {1, -0.5}, {1.5, 0}, {1.5, 1}, {1, 1.5}, {0, 1.5}, {-0.5, 1}, {-0.5, 0}});
    EXPECT_EQ(g.z0, 1.5);
    EXPECT_EQ(g.z1, 3.5);

    // A segment grows into a rectangle of width 2d around it.
    const nprism_t seg = expand_prism(prism({{0, 0}, {2, 0}}), 0.25);
    ASSERT_EQ(seg.n, 4u);
    expect_points(std::vector<vec2>(seg.vertex, seg.vertex + 4),
                  {{0, -0.25}, {2, -0.25}, {2, 0.25}, {0, 0.25}});

    // A slanted edge moves along its own normal.
    const nprism_t tri = expand_prism(prism({{0, 0}, {1, 0}, {0, 1}}), 1.0);
    ASSERT_EQ(tri.n, 6u);
    const double h = 1.0 / std::sqrt(2.0);
    EXPECT_NEAR(tri.vertex[2].x, 1 + h, 1e-12);
    EXPECT_NEAR(tri.vertex[3].y, 1 + h, 1e-12);
}

TEST(ExpandPrismDeathTest, UnsupportedVertexCounts) {
    log_errors_to_stderr();
    EXPECT_EXIT(korvex_test::ending_as_the_program([] { expand_prism(prism({{0, 0}, {2, 0}, {3, 1}, {1, 3}, {-1, 1}}), 0.1); }),
                testing::ExitedWithCode(255),
                "not supported prism vertex number: 5\nprism vertex number must be less than or "
                "equal to 4\\.");
    EXPECT_EXIT(korvex_test::ending_as_the_program([] { expand_prism(prism({{0, 0}}), 0.1); }), testing::ExitedWithCode(1),
                "nprism_t error: vertex number 2 not supported\\.");
}

TEST(PrismEdgeRatio, SlantedOverShortest) {
    EXPECT_EQ(prism_edge_ratio(prism({{0, 0}, {5, 0}, {5, 1}, {0, 1}})), 0.0);
    EXPECT_NEAR(prism_edge_ratio(prism({{0, 0}, {2, 0}, {102, 100}, {100, 100}})),
                std::sqrt(2.0) * 100 / 2, 1e-9);
}

TEST(Faces, BoxFacesCoverEverySide) {
    const box b{{0, 0, 0}, {1, 2, 3}};
    std::vector<surface_element> faces;
    box_faces(b, faces);
    ASSERT_EQ(faces.size(), 6u);
    double area = 0;
    for (uint64_t f = 0; f < 6; ++f) {
        const surface_element& e = faces[f];
        EXPECT_EQ(e.shape, surface_rect);
        EXPECT_EQ(e.data[5].u, f);
        area += e.data[3].f * e.data[4].f;
        // Both corners of a face lie on the box, on the side its normal names.
        const vec3 n = surface_normal(e);
        for (const vec3& q : {sample_surface_point(e, 0, 0), sample_surface_point(e, 1, 1)}) {
            EXPECT_TRUE(box_contains_point(b, q)) << f;
            const double on_side = n.x > 0 ? q.x - 1 : n.x < 0 ? q.x : n.y > 0 ? q.y - 2
                                 : n.y < 0 ? q.y : n.z > 0 ? q.z - 3 : q.z;
            EXPECT_EQ(on_side, 0.0) << f;
        }
    }
    EXPECT_EQ(area, 2.0 * (2 + 3 + 6));
}

TEST(Faces, PrismFacesFanAndOutwardSides) {
    for (const nprism_t& p : {prism({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 1, 3),
                              prism({{0, 0}, {2, 0}, {0, 1}}, 1, 3),
                              prism({{1, 0}, {2, 1}, {1, 2}, {0, 1}}, 1, 3)}) {
        std::vector<surface_element> faces;
        prism_faces(p, faces);
        const std::size_t n = p.n;
        ASSERT_EQ(faces.size(), 2 * n - 4 + n);
        double cx = 0, cy = 0;
        for (std::size_t i = 0; i < n; ++i) {
            cx += p.vertex[i].x / double(n);
            cy += p.vertex[i].y / double(n);
        }
        for (std::size_t k = 0; k < 2 * n - 4; ++k) {
            const surface_element& t = faces[k];
            EXPECT_EQ(t.shape, surface_triangle);
            EXPECT_EQ(t.data[0].f, k % 2 == 0 ? 1.0 : 3.0);
            EXPECT_EQ(t.data[7].u, k % 2 == 0 ? uint64_t(face_neg_z) : uint64_t(face_pos_z));
        }
        for (std::size_t i = 0; i < n; ++i) {
            const surface_element& side = faces[2 * n - 4 + i];
            const vec3 mid = sample_surface_point(side, 0.5, 0.5);
            const vec3 normal = surface_normal(side);
            EXPECT_NEAR(mid.z, 2.0, 1e-12);
            // Mid point of edge i, and a normal pointing away from the inside.
            EXPECT_NEAR(mid.x, (p.vertex[i].x + p.vertex[(i + 1) % n].x) / 2, 1e-12);
            EXPECT_NEAR(mid.y, (p.vertex[i].y + p.vertex[(i + 1) % n].y) / 2, 1e-12);
            EXPECT_GT(normal.x * (mid.x - cx) + normal.y * (mid.y - cy), 0) << i;
        }
    }
}

TEST(PrismCut, CrossingPointsOfALine) {
    const nprism_t tri = prism({{0, 0}, {2, 0}, {1, 2}});
    // The apex counts once.
    expect_points(prism_cut_y(tri, 2), {{1, 2}});
    expect_points(prism_cut_x(tri, 1), {{1, 0}, {1, 2}});
    expect_points(prism_cut_x(tri, 0.5), {{0.5, 0}, {0.5, 1}});
    expect_points(prism_cut_y(tri, 1), {{0.5, 1}, {1.5, 1}});
    EXPECT_TRUE(prism_cut_x(tri, 3).empty());

    // A side on the line gives exactly its two ends, ordered.
    const nprism_t sq = prism({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    expect_points(prism_cut_x(sq, 0), {{0, 0}, {0, 1}});
    expect_points(prism_cut_x(sq, 1), {{1, 0}, {1, 1}});
    expect_points(prism_cut_y(sq, 1), {{0, 1}, {1, 1}});
}

TEST(SlabCutting, SlabsAreConvexAnticlockwiseAndCoverThePrism) {
    struct row {
        nprism_t p;
        uint64_t pieces;
        std::size_t slabs;
    };
    const std::vector<row> rows = {
        // Wider than tall: cut across x at the vertices and 9 even lines.
        {prism({{0, 0}, {2, 0}, {102, 100}, {100, 100}}, 1, 4), 10, 12},
        // Taller than wide: cut across y at the vertices and 2 even lines.
        {prism({{0, 0}, {100, 100}, {100, 102}, {0, 2}}, 1, 4), 3, 5},
        {prism({{0, 0}, {4, 0}, {2, 1}}, 1, 4), 1, 2},
    };
    for (const row& r : rows) {
        std::vector<solid> pieces;
        split_block(r.p, r.pieces, pieces);
        std::vector<box> inner, outer;
        split_prism_pieces(r.p, r.pieces, inner, outer);
        ASSERT_EQ(pieces.size(), r.slabs);
        ASSERT_EQ(inner.size(), r.slabs);
        ASSERT_EQ(outer.size(), r.slabs);
        double area = 0;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            const solid& s = pieces[k];
            EXPECT_EQ(s.kind, solid_prism);
            const nprism_t& q = s.shape.prism;
            EXPECT_TRUE(convex_anticlockwise(q.vertex, q.n)) << k;
            area += signed_area(q.vertex, q.n);
            EXPECT_EQ(q.z0, 1.0);
            EXPECT_EQ(q.z1, 4.0);
            ASSERT_EQ(s.inner_boxes.size(), 1u);
            ASSERT_EQ(s.outer_boxes.size(), 1u);
            EXPECT_EQ(s.outer_boxes[0].lo.x, outer[k].lo.x);
            EXPECT_EQ(s.inner_boxes[0].hi.y, inner[k].hi.y);
            EXPECT_NEAR(s.inner_box.hi.x - s.inner_box.lo.x, 2e-4, 1e-12);
            EXPECT_TRUE(box_contains_point(s.outer_box, s.inner_box.lo));
            EXPECT_TRUE(box_contains_point(s.outer_box, s.inner_box.hi));
            // Inside points of a slab are inside by the slab's own distance.
            const vec3 c{(s.inner_box.lo.x + s.inner_box.hi.x) / 2,
                         (s.inner_box.lo.y + s.inner_box.hi.y) / 2, 2.0};
            EXPECT_LT(block_distance(c, s), 0) << k;
        }
        EXPECT_NEAR(area, signed_area(r.p.vertex, r.p.n), 1e-9);
    }
}

TEST(BoxFaceOfPoint, FaceOfTheLargestGap) {
    const box b{{0, 0, 0}, {1, 1, 1}};
    EXPECT_EQ(box_face_of_point({-1, 0.5, 0.5}, b), 0);
    EXPECT_EQ(box_face_of_point({0.5, -1, 0.5}, b), 1);
    EXPECT_EQ(box_face_of_point({0.5, 0.5, -1}, b), 2);
    EXPECT_EQ(box_face_of_point({2, 0.5, 0.5}, b), 3);
    EXPECT_EQ(box_face_of_point({0.5, 2, 0.5}, b), 4);
    EXPECT_EQ(box_face_of_point({0.5, 0.5, 2}, b), 5);
    // Beyond several faces: the largest gap wins, not the last face.
    EXPECT_EQ(box_face_of_point({-3, 1.5, 1.5}, b), 0);
    EXPECT_EQ(box_face_of_point({0.5, 4, 2}, b), 4);
    // A near-tie keeps the earlier face.
    EXPECT_EQ(box_face_of_point({-1, 2 + 5e-10, 0.5}, b), 0);
}
