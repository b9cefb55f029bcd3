// Physics through the whole program: geometries whose capacitances are
// known, extracted with real transition tables. Tolerances are in standard
// errors reported by the run itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/extraction/physics_harness.hpp"

using namespace korvex_test;

namespace {

// Two plates filling a Neumann window of 10 x 10: ground at 0..0.2, the
// master at 1.2..1.4, slabs of permittivity e1 (0..0.7) and e2 (0.7..1.4).
std::string plates(double e1, double e2, const std::string& middle = "") {
    char text[2048];
    std::snprintf(text, sizeof text, R"(<lumod>
<window> v1 (0, 0, 0) v2 (10, 10, 1.4) neumann </window>
<medium> <block> basepoint (0, 0, 0) v1 (10, 0, 0) v2 (0, 10, 0) hvector (0, 0, 0.7) </block> diel %g </medium>
<medium> <block> basepoint (0, 0, 0.7) v1 (10, 0, 0) v2 (0, 10, 0) hvector (0, 0, 0.7) </block> diel %g </medium>
<conductor> name GROUND <block> basepoint (0, 0, 0) v1 (10, 0, 0) v2 (0, 10, 0) hvector (0, 0, 0.2) </block> </conductor>
<conductor> name top <block> basepoint (0, 0, 1.2) v1 (10, 0, 0) v2 (0, 10, 0) hvector (0, 0, 0.2) </block> </conductor>
%s
<task> <capacitance> top </capacitance> </task>
</lumod>
)",
                  e1, e2, middle.c_str());
    return text;
}

} // namespace

TEST(Physics, LoneUnitCubeInAWideDirichletWindow) {
    scratch_dir dir;
    const std::string input = dir.write("cube.lumod", R"(<lumod>
<medium> <block> basepoint (-50, -50, -50) v1 (100, 0, 0) v2 (0, 100, 0) hvector (0, 0, 100) </block> diel 1 </medium>
<conductor> name cube <block> basepoint (-0.5, -0.5, -0.5) v1 (1, 0, 0) v2 (0, 1, 0) hvector (0, 0, 1) </block> </conductor>
<task> <capacitance> cube </capacitance> </task>
</lumod>
)");
    const binary_run r = extract(dir, input, korvex_test::make_tables(dir), {"-p", "0.006"});
    ASSERT_EQ(r.status, 0) << r.err;
    const estimate c = master_line(dir.read("cube.lumod.out"), "cube");
    // The window lies 600 sides away: as a grounded shell of the capacitance
    // radius of a 1201-side cube it raises C by a factor 1 / (1 - 0.66 / 793).
    const double isolated = 0.66067813 * 4 * pi * eps0;
    const double expected = isolated / (1 - 0.66067813 / (0.66067813 * 1201));
    EXPECT_NEAR(c.cap, expected, 3 * c.err);
    // 0.6 % standard error: 1.5 % is 2.5 of them.
    EXPECT_NEAR(c.cap, expected, 0.015 * expected);
}

TEST(Physics, LayeredPlatesGiveTheSeriesCapacitance) {
    scratch_dir dir;
    const std::string tables =
        korvex_test::make_tables(dir, {{table_kind::pair, "", {2, 4}}, {table_kind::h_pair, "", {2, 4}}});
    // The ground is thinned to one wire width (10) below its top: the plates
    // stay 1.0 apart, 0.5 in each slab.
    const double expected = eps0 * 100 / (0.5 / 2 + 0.5 / 4);
    for (const char* mode : {"two", "four"}) {
        const std::string input = dir.write(std::string(mode) + ".lumod", plates(2, 4));
        const binary_run r = extract(dir, input, tables, {"-p", "0.0014", "--multi-dielectric", mode});
        ASSERT_EQ(r.status, 0) << mode << r.err;
        const estimate c = master_line(dir.read(std::string(mode) + ".lumod.out"), "top");
        EXPECT_TRUE(within_three_errors(c, expected)) << mode;
    }
}

TEST(Physics, CouplingsAreReciprocal) {
    scratch_dir dir;
    const std::string input = dir.write("pair.lumod", R"(<lumod>
<medium> <block> basepoint (-20, -20, 0) v1 (40, 0, 0) v2 (0, 40, 0) hvector (0, 0, 6) </block> diel 3.9 </medium>
<conductor> name GROUND <block> basepoint (-20, -20, 0) v1 (40, 0, 0) v2 (0, 40, 0) hvector (0, 0, 0.2) </block> </conductor>
<conductor> name a <block> basepoint (-1.5, -3, 1) v1 (1, 0, 0) v2 (0, 6, 0) hvector (0, 0, 0.5) </block> </conductor>
<conductor> name b <block> basepoint (0.5, -3, 1.3) v1 (1, 0, 0) v2 (0, 6, 0) hvector (0, 0, 0.5) </block> </conductor>
<task> <capacitance> a </capacitance> </task>
<task> <capacitance> b </capacitance> </task>
</lumod>
)");
    const binary_run r = extract(dir, input, korvex_test::make_tables(dir), {"-p", "0.004"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string report = dir.read("pair.lumod.out");
    const estimate ab = coupling_line(report, "a", "b");
    const estimate ba = coupling_line(report, "b", "a");
    ASSERT_FALSE(std::isnan(ab.cap)) << report;
    ASSERT_FALSE(std::isnan(ba.cap)) << report;
    EXPECT_NEAR(ab.cap, ba.cap, 3 * std::hypot(ab.err, ba.err));
}

TEST(Physics, FloatingPlateMidwayFloatsAtHalfTheVoltage) {
    scratch_dir dir;
    const std::string input = dir.write(
        "float.lumod",
        plates(3, 3,
               "<conductor> name mid floating <block> basepoint (3, 3, 0.65) v1 (4, 0, 0) v2 (0, 4, 0) hvector (0, "
               "0, 0.1) </block> </conductor>"));
    const binary_run r = extract(dir, input, korvex_test::make_tables(dir), {"-p", "0.01"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    const std::string report = dir.read("float.lumod.out");
    ASSERT_TRUE(std::regex_search(report, m, std::regex("Voltage of floating conductor mid: ([0-9.]+) V"))) << report;
    EXPECT_NEAR(std::stod(m[1]), 0.5, 0.03);
}

TEST(Physics, ResumeContinuesAndAChangedGeometryStartsAfresh) {
    scratch_dir dir;
    const std::string tables = korvex_test::make_tables(dir);
    const std::string text = R"(<lumod>
<medium> <block> basepoint (-5, -5, 0) v1 (10, 0, 0) v2 (0, 10, 0) hvector (0, 0, 4) </block> diel 3.9 </medium>
<conductor> name GROUND <block> basepoint (-5, -5, 0) v1 (10, 0, 0) v2 (0, 10, 0) hvector (0, 0, 0.2) </block> </conductor>
<conductor> name w <block> basepoint (-0.5, -2, 1) v1 (1, 0, 0) v2 (0, 4, 0) hvector (0, 0, 0.4) </block> </conductor>
<task> <capacitance> w </capacitance> </task>
</lumod>
)";
    const std::string input = dir.write("w.lumod", text);
    auto walks_of = [&](const binary_run& r) {
        std::smatch m;
        EXPECT_TRUE(std::regex_search(r.out, m, std::regex("Korvex has run ([0-9]+) walks"))) << r.out;
        return m.empty() ? -1LL : std::stoll(m[1]);
    };
    const std::vector<std::string> opts = {"-p", "0.01", "--breakpoint-resume=on"};
    const binary_run first = extract(dir, input, tables, opts);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("json file not found or parse error, start breakpoint resume failed."), std::string::npos);
    ASSERT_TRUE(dir.exists(".w.lumod.json"));
    const estimate c1 = master_line(dir.read("w.lumod.out"), "w");

    const binary_run second = extract(dir, input, tables, opts);
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("Start breakpoint resume successfully, previous accuracy control is \"-p 0.010\""),
              std::string::npos)
        << second.out;
    const estimate c2 = master_line(dir.read("w.lumod.out"), "w");
    // The second run's total counts both runs; it needed few new walks.
    EXPECT_GE(walks_of(second), walks_of(first));
    EXPECT_LE(c2.err / c2.cap, c1.err / c1.cap * 1.05);

    dir.write("w.lumod", text + " ");
    const binary_run changed = extract(dir, input, tables, opts);
    EXPECT_NE(changed.out.find("case file modified, start breakpoint resume failed."), std::string::npos);

    // A damaged resume file never crashes the run: it starts afresh.
    dir.write(".w.lumod.json", R"({"casefile_md5":"x","net_results":{"w":[{"SIZE":7,"sums":[1]}]}})");
    const binary_run damaged = extract(dir, input, tables, opts);
    EXPECT_EQ(damaged.status, 0) << damaged.err;
    EXPECT_NE(damaged.out.find("json file not found or parse error"), std::string::npos);
}
