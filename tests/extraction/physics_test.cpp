// Physics through the whole program: geometries whose capacitances are
// known, extracted with real transition tables. Tolerances are in standard
// errors reported by the run itself.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/extraction/physics_harness.hpp"

using namespace korvex_test;

TEST(Physics, LoneUnitCubeInAWideDirichletWindow) {
    scratch_dir dir;
    const std::string input = dir.write("cube.lumod", R"(<lumod>
<medium> <block> basepoint (-50, -50, -50) v1 (100, 0, 0) v2 (0, 100, 0) hvector (0, 0, 100) </block> diel 1 </medium>
<conductor> name cube <block> basepoint (-0.5, -0.5, -0.5) v1 (1, 0, 0) v2 (0, 1, 0) hvector (0, 0, 1) </block> </conductor>
<task> <capacitance> cube </capacitance> </task>
</lumod>
)");
    const binary_run r = extract(dir, input, korvex_test::make_tables(dir), {"-p", "0.0014"});
    ASSERT_EQ(r.status, 0) << r.err;
    const estimate c = master_line(dir.read("cube.lumod.out"), "cube");
    // The window lies 600 sides away: as a grounded shell of the capacitance
    // radius of a 1201-side cube it raises C by a factor 1 / (1 - 0.66 / 793).
    const double isolated = 0.66067813 * 4 * pi * eps0;
    const double expected = isolated / (1 - 0.66067813 / (0.66067813 * 1201));
    EXPECT_TRUE(within_three_errors(c, expected));
}

TEST(Physics, NearDirichletWindowActsAsAGroundedShell) {
    // A unit cube in a window one side away, and the same cube in a closed
    // grounded shell whose inner faces lie where that window's faces were:
    // the same field, so the same capacitance. Walks that step past the
    // window fail this by 15 %.
    scratch_dir dir;
    const std::string medium =
        "<medium> <block> basepoint (-50, -50, -50) v1 (100, 0, 0) v2 (0, 100, 0) hvector (0, 0, 100) </block> "
        "diel 1 </medium>\n<conductor> name cube <block> basepoint (-0.5, -0.5, -0.5) v1 (1, 0, 0) v2 (0, 1, 0) "
        "hvector (0, 0, 1) </block> </conductor>\n";
    const std::string task = "<task> <capacitance> cube </capacitance> </task>\n</lumod>\n";
    std::string shell = "<conductor> name shell\n";
    for (const char* b : {"(-1.7, -1.7, -1.7) v1 (3.4, 0, 0) v2 (0, 3.4, 0) hvector (0, 0, 0.2)",
                          "(-1.7, -1.7, 1.5) v1 (3.4, 0, 0) v2 (0, 3.4, 0) hvector (0, 0, 0.2)",
                          "(-1.7, -1.7, -1.5) v1 (0.2, 0, 0) v2 (0, 3.4, 0) hvector (0, 0, 3)",
                          "(1.5, -1.7, -1.5) v1 (0.2, 0, 0) v2 (0, 3.4, 0) hvector (0, 0, 3)",
                          "(-1.5, -1.7, -1.5) v1 (3, 0, 0) v2 (0, 0.2, 0) hvector (0, 0, 3)",
                          "(-1.5, 1.5, -1.5) v1 (3, 0, 0) v2 (0, 0.2, 0) hvector (0, 0, 3)"})
        shell += std::string("<block> basepoint ") + b + " </block>\n";
    shell += "</conductor>\n";
    const std::string tables = korvex_test::make_tables(dir);
    estimate c[2];
    const char* names[2] = {"window.lumod", "shell.lumod"};
    for (int i = 0; i < 2; ++i) {
        const std::string input = dir.write(names[i], "<lumod>\n" + medium + (i ? shell : "") + task);
        const binary_run r = extract(dir, input, tables, {"-p", "0.003", "--window-extension", "1"});
        ASSERT_EQ(r.status, 0) << names[i] << r.err;
        c[i] = master_line(dir.read(std::string(names[i]) + ".out"), "cube");
    }
    EXPECT_NEAR(c[0].cap, c[1].cap, 3 * std::hypot(c[0].err, c[1].err));
}

TEST(Physics, LayeredPlatesGiveTheSeriesCapacitance) {
    scratch_dir dir;
    const std::string tables =
        korvex_test::make_tables(dir, {{table_kind::pair, "", {2, 4}}, {table_kind::h_pair, "", {2, 4}}});
    // The interface halves the gap, so walks also stand on it.
    const std::vector<slab> layers = {{0.5, 2}, {1.5, 4}};
    for (const char* mode : {"two", "four"}) {
        const std::string input = dir.write(std::string(mode) + ".lumod", stacked_plates(10, layers));
        const binary_run r = extract(dir, input, tables, {"-p", "0.0014", "--multi-dielectric", mode});
        ASSERT_EQ(r.status, 0) << mode << r.err;
        const estimate c = master_line(dir.read(std::string(mode) + ".lumod.out"), "top");
        EXPECT_TRUE(within_three_errors(c, series_capacitance(10, layers))) << mode;
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
        stacked_plates(10, {{1.5, 3}},
                       "<conductor> name mid floating <block> basepoint (3, 3, 0.45) v1 (4, 0, 0) v2 (0, 4, 0) "
                       "hvector (0, 0, 0.1) </block> </conductor>\n"));
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
    std::ifstream example(KORVEX_SOURCE_DIR "/examples/polygon_cylinder.lumod");
    std::ostringstream read;
    read << example.rdbuf();
    const std::string text = read.str();
    const std::string input = dir.write("pc.lumod", text);
    auto walks_of = [&](const binary_run& r) {
        std::smatch m;
        EXPECT_TRUE(std::regex_search(r.out, m, std::regex("Korvex has run ([0-9]+) walks"))) << r.out;
        return m.empty() ? -1LL : std::stoll(m[1]);
    };
    // The pieces of the polygon "ell" share its name; their block lines
    // together hold every walk from the plate that ended on the ground.
    auto check_pieces = [&](const std::string& report) {
        const std::string plate = report.substr(report.find("Master plate :"));
        std::smatch net;
        ASSERT_TRUE(std::regex_search(plate, net, std::regex("Capacitance on GROUND = -(\\S+) F"))) << plate;
        const std::regex piece("\n    ell +<-> GROUND +::\\S+ +: +(\\S+)F");
        double pieces = 0;
        int count = 0;
        for (std::sregex_iterator m(plate.begin(), plate.end(), piece), end; m != end; ++m, ++count)
            pieces += std::stod((*m)[1]);
        EXPECT_EQ(count, 2) << plate;
        // Block lines print four digits.
        EXPECT_NEAR(pieces, std::stod(net[1]), 1.5e-3 * std::stod(net[1])) << plate;
    };
    // One walk thread and one batch of walks per master and run: a resumed
    // run that repeated the first run's walks would double every sum and
    // print the same estimate.
    const std::vector<std::string> opts = {"-n", "1", "-t", "1000", "-p", "1", "--breakpoint-resume=on",
                                           "--extract-level", "block"};
    const binary_run first = extract(dir, input, tables, opts);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("json file not found or parse error, start breakpoint resume failed."), std::string::npos);
    ASSERT_TRUE(dir.exists(".pc.lumod.json"));
    const std::string report1 = dir.read("pc.lumod.out");
    check_pieces(report1);

    const binary_run second = extract(dir, input, tables, opts);
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("Start breakpoint resume successfully, previous accuracy control is \"-p 1.000\""),
              std::string::npos)
        << second.out;
    const std::string report2 = dir.read("pc.lumod.out");
    check_pieces(report2);
    // Both runs counted together, each walk once.
    EXPECT_EQ(walks_of(second), 2 * walks_of(first));
    for (const char* master : {"plate", "via"}) {
        const estimate c1 = master_line(report1, master), c2 = master_line(report2, master);
        EXPECT_NE(c1.cap, c2.cap) << master;
    }

    dir.write("pc.lumod", text + " ");
    const std::string modified = "case file modified, start breakpoint resume failed.";
    const binary_run changed = extract(dir, input, tables, opts);
    EXPECT_NE(changed.out.find(modified), std::string::npos);
    EXPECT_EQ(walks_of(changed), walks_of(first));

    // A setting that changes the physics makes another case too.
    std::vector<std::string> scaled = opts;
    scaled.insert(scaled.end(), {"--gauss-scale", "1.2"});
    EXPECT_NE(extract(dir, input, tables, scaled).out.find(modified), std::string::npos);

    // On standard input the digest is that of the text read.
    std::vector<std::string> piped = {"-f", "stdin", "-n", "1", "-t", "1000", "-p", "1", "--breakpoint-resume=on"};
    for (const std::string& a : table_options(tables)) piped.push_back(a);
    dir.write("pc2.lumod", text);
    ASSERT_EQ(run_korvex(piped, dir.root.string(), dir.path("pc2.lumod")).status, 0);
    EXPECT_NE(run_korvex(piped, dir.root.string(), input).out.find(modified), std::string::npos);
}
