// Physics of the walk's own steps through the whole program: where start
// points fall on the Gaussian surface, and how cubes holding several
// interfaces are placed in the default mode. Each estimate is compared with
// the series-capacitor value within three of its standard errors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/md5.hpp"
#include "tests/extraction/physics_harness.hpp"
#include "walker/walker_seed.hpp"

using namespace korvex_test;

namespace {

struct plates_case {
    const char* name;
    double side;
    std::vector<slab> layers;
};

void PrintTo(const plates_case& p, std::ostream* os) { *os << p.name; }

class WalkerPhysics : public ::testing::TestWithParam<plates_case> {};

TEST_P(WalkerPhysics, PlatesGiveTheSeriesCapacitance) {
    const plates_case& p = GetParam();
    scratch_dir dir;
    const std::string input = dir.write("plates.lumod", stacked_plates(p.side, p.layers));
    const std::string tables = make_tables_for(dir, input, configure::layout_four);
    // Asks for a standard error just within the 0.15 % the check needs.
    const binary_run r = extract(dir, input, tables, {"-p", "0.0014", "--multi-dielectric", "four"});
    ASSERT_EQ(r.status, 0) << r.err;
    const estimate c = master_line(dir.read("plates.lumod.out"), "top");
    EXPECT_TRUE(within_three_errors(c, series_capacitance(p.side, p.layers)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WalkerPhysics,
    ::testing::Values(
        // The Neumann window clips the Gaussian surface off the lattice of
        // stratification cells: the accepted area must not be quantised.
        plates_case{"clipped_gauss_surface", 11.5, {{1.5, 1}}},
        // A thin low layer between two high ones, the start points inside
        // it: cubes hold two interfaces that lie off the placement grid.
        plates_case{"triple_stack_low", 31, {{0.4, 3.9}, {0.55, 1}, {1.5, 11.7}}},
        plates_case{"triple_stack_high", 31, {{0.45, 3.9}, {0.6, 1}, {1.5, 11.7}}}),
    [](const ::testing::TestParamInfo<plates_case>& info) { return std::string(info.param.name); });

// Facing plates whose Gaussian face crosses one, two or three interfaces,
// so that start points come arbitrarily close to an interface. A first-hop
// weight without a finite variance would still pass one comparison now and
// then; it fails to shrink its error fourfold over sixteen times the walks.
// With a plate side, the case is instead the stacked plates of that side
// with a cube of 0.01 just under the master's middle: walks that all start
// as close to the plate as to the cube hardly ever reach the ground.
struct crossing_case {
    const char* name;
    std::vector<slab> layers;
    configure::layout_arg mode;
    const char* mode_word;
    double plate_side = 0;
};

void PrintTo(const crossing_case& c, std::ostream* os) { *os << c.name; }

class CrossingPhysics : public ::testing::TestWithParam<crossing_case> {};

// One walk thread: the walks, and so the test, are the same on every run.
estimate facing_plates_run(const scratch_dir& dir, const std::string& input, const std::string& tables,
                           const char* mode_word, int walks, const char* master = "right") {
    const binary_run r = extract(dir, input, tables,
                                 {"-n", "1", "-p", "1", "-t", std::to_string(walks), "--multi-dielectric", mode_word});
    EXPECT_EQ(r.status, 0) << r.err;
    return master_line(dir.read("facing.lumod.out"), master);
}

TEST_P(CrossingPhysics, ErrorFallsAsOneOverRootWalksOntoTheParallelValue) {
    const crossing_case& c = GetParam();
    scratch_dir dir;
    const double side = c.plate_side;
    char cube[256];
    std::snprintf(cube, sizeof cube,
                  "<conductor> name cube <block> basepoint (%.17g, %.17g, 0.98) v1 (0.01, 0, 0) v2 (0, 0.01, 0) "
                  "hvector (0, 0, 0.01) </block> </conductor>\n",
                  side / 2, side / 2);
    const std::string input =
        dir.write("facing.lumod", side > 0 ? stacked_plates(side, c.layers, cube) : facing_plates(c.layers));
    const std::string tables = make_tables_for(dir, input, c.mode);
    const char* master = side > 0 ? "top" : "right";
    constexpr int walks = 80000;
    const estimate small = facing_plates_run(dir, input, tables, c.mode_word, walks, master);
    const estimate large = facing_plates_run(dir, input, tables, c.mode_word, 16 * walks, master);
    const double shrink = small.err / large.err;
    EXPECT_GE(shrink, 3.0) << small.err << " -> " << large.err;
    EXPECT_LE(shrink, 5.3) << small.err << " -> " << large.err;
    EXPECT_TRUE(within_three_errors(
        large, side > 0 ? series_capacitance(side, c.layers) : parallel_capacitance(c.layers)));
}

const std::vector<slab> one_interface = {{1.3, 1}, {3, 3.9}};
const std::vector<slab> two_interfaces = {{0.9, 3.9}, {1.7, 1}, {3, 11.7}};
const std::vector<slab> three_interfaces = {{0.8, 2}, {1.5, 3.9}, {2.2, 1}, {3, 3.9}};

INSTANTIATE_TEST_SUITE_P(
    Cases, CrossingPhysics,
    ::testing::Values(crossing_case{"one_two", one_interface, configure::layout_two, "two"},
                      crossing_case{"one_four", one_interface, configure::layout_four, "four"},
                      crossing_case{"one_approx2", one_interface, configure::layout_approx2, "approx2"},
                      crossing_case{"two_two", two_interfaces, configure::layout_two, "two"},
                      crossing_case{"two_four", two_interfaces, configure::layout_four, "four"},
                      crossing_case{"two_approx2", two_interfaces, configure::layout_approx2, "approx2"},
                      crossing_case{"three_two", three_interfaces, configure::layout_two, "two"},
                      crossing_case{"three_four", three_interfaces, configure::layout_four, "four"},
                      crossing_case{"three_approx2", three_interfaces, configure::layout_approx2, "approx2"},
                      crossing_case{"wide_plate_over_tiny_cube", {{1.5, 1}}, configure::layout_two, "two", 1e4}),
    [](const ::testing::TestParamInfo<crossing_case>& info) { return std::string(info.param.name); });

// With one interface in the stack no cube can hold more, and the default
// mode must walk exactly as mode "two": same walks, same hops, same sums.
TEST(CrossingPhysicsModes, FourWalksAsTwoWhereCubesHoldOneInterface) {
    scratch_dir dir;
    const std::string input = dir.write("facing.lumod", facing_plates(one_interface));
    const std::string tables = make_tables_for(dir, input, configure::layout_four);
    make_tables_for(dir, input, configure::layout_two);
    std::string reports[2];
    const char* modes[2] = {"two", "four"};
    for (int k = 0; k < 2; ++k) {
        const binary_run r =
            extract(dir, input, tables, {"-n", "1", "-p", "1", "-t", "20000", "--multi-dielectric", modes[k]});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string report = dir.read("facing.lumod.out");
        const std::size_t from = report.find("Master right");
        const std::size_t to = report.find("Random Walk costed", from);
        ASSERT_NE(to, std::string::npos) << report;
        reports[k] = report.substr(from, to - from) + report.substr(report.find("Korvex has run"));
        reports[k] = reports[k].substr(0, reports[k].find('\n', reports[k].find("Korvex has run")));
    }
    EXPECT_EQ(reports[0], reports[1]);
}

// The rms of (printed - exact) / printed error over independent runs, each
// starting from its own place in the seed sequence through a resume document
// that holds nothing else. With one walk thread each run is reproducible.
double rms_z_of_independent_runs(const scratch_dir& dir, const std::string& name, const std::string& text,
                                 const std::string& tables, const char* master, double exact,
                                 const std::vector<std::string>& options, int runs) {
    const std::string input = dir.write(name, text);
    std::vector<std::string> args = {"-n", "1", "--breakpoint-resume", "on"};
    args.insert(args.end(), options.begin(), options.end());
    double sum_z2 = 0;
    for (int i = 0; i < runs; ++i) {
        dir.write("." + name + ".json", "{\"casefile_md5\":\"" + md5(text).hexdigest() + "\",\"seed_counter\":" +
                                            std::to_string(walker_seed_after(1000 * uint64_t(i + 1))) + "}");
        const binary_run r = extract(dir, input, tables, args);
        EXPECT_EQ(r.status, 0) << r.err;
        const estimate c = master_line(dir.read(name + ".out"), master);
        if (!(c.err > 0)) return NAN;
        sum_z2 += (c.cap - exact) * (c.cap - exact) / (c.err * c.err);
    }
    return std::sqrt(sum_z2 / runs);
}

// On the clipped plate most start-point candidates fall outside the window,
// so the surface factor has an error of its own beside the walks'. Over 200
// runs the rms of z has a standard deviation of 0.05: the band is three.
TEST(WalkerPhysicsErrors, PrintedErrorIsTheSpreadOfIndependentRuns) {
    scratch_dir dir;
    const std::vector<slab> layers = {{1.5, 1}};
    const double rms = rms_z_of_independent_runs(dir, "plates.lumod", stacked_plates(11.5, layers), make_tables(dir),
                                                 "top", series_capacitance(11.5, layers), {"-p", "0.005"}, 200);
    EXPECT_GT(rms, 0.85);
    EXPECT_LT(rms, 1.15);
}

// The same where every start point near an interface moves onto it.
TEST(CrossingPhysicsErrors, IndependentRunsScatterByThePrintedError) {
    scratch_dir dir;
    const std::string text = facing_plates(three_interfaces);
    const std::string tables = make_tables_for(dir, dir.write("facing.lumod", text), configure::layout_four);
    const double rms = rms_z_of_independent_runs(dir, "facing.lumod", text, tables, "right",
                                                 parallel_capacitance(three_interfaces),
                                                 {"-p", "1", "-t", "40000"}, 32);
    EXPECT_GE(rms, 0.7);
    EXPECT_LE(rms, 1.3);
}

TEST(WalkerPhysicsErrors, NeighbourWithinTheTouchDistanceEndsTheRun) {
    scratch_dir dir;
    // A second net 1.5e-4 below the master: start points half way would
    // touch both nets.
    const std::string input = dir.write(
        "touch.lumod", stacked_plates(4, {{1.5, 1}},
                                      "<conductor> name near <block> basepoint (1.5, 1.5, 0.5) v1 (1, 0, 0) v2 "
                                      "(0, 1, 0) hvector (0, 0, 0.49985) </block> </conductor>\n"));
    std::vector<std::string> args = {"-f", input, "-n", "2"};
    for (const std::string& a : table_options(make_tables(dir))) args.push_back(a);
    const binary_run r = run_korvex(args, dir.root.string(), "/dev/null", 60);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE((r.out + r.err).find("Error: the master net is touched by other net!"), std::string::npos)
        << r.out << r.err;
}

}  // namespace
