// Physics of floating conductors through the whole program: a floating slab
// between the stacked plates carries the flux of both gaps, so the master
// sees the gaps in series with the slab as a perfect conductor.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tests/extraction/physics_harness.hpp"

using namespace korvex_test;

namespace {

std::string block_text(double x0, double y0, double z0, double sx, double sy, double height) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "<block> basepoint (%.17g, %.17g, %.17g) v1 (%.17g, 0, 0) v2 (0, %.17g, 0) hvector (0, 0, %.17g) "
                  "</block>",
                  x0, y0, z0, sx, sy, height);
    return text;
}

std::string floating_net(const std::string& blocks) { return "<conductor> name mid floating " + blocks + " </conductor>\n"; }

// Plates filling a Neumann window side x side from z = -1 up to the
// master's top: the ground's top at z = 0, the master "top" from z = 1.7 to
// 2.2, the layers listed from the bottom up (the last reaching 2.2), and
// the floating conductor "mid" made of `blocks`.
std::string high_plates(double side, const std::vector<slab>& layers, const std::string& blocks) {
    std::string text = "<lumod>\n";
    char line[128];
    std::snprintf(line, sizeof line, "<window> v1 (0, 0, -1) v2 (%.17g, %.17g, 2.2) neumann </window>\n", side, side);
    text += line;
    double bottom = -1;
    for (const slab& s : layers) {
        std::snprintf(line, sizeof line, " diel %.17g </medium>\n", s.eps);
        text += "<medium> " + block_text(0, 0, bottom, side, side, s.top - bottom) + line;
        bottom = s.top;
    }
    text += "<conductor> name GROUND " + block_text(0, 0, -1, side, side, 1) + " </conductor>\n";
    text += "<conductor> name top " + block_text(0, 0, 1.7, side, side, 0.5) + " </conductor>\n";
    return text + floating_net(blocks) + "<task> <capacitance> top </capacitance> </task>\n</lumod>\n";
}

// A full-width slab z0 .. z1 of high_plates, as one block or split in two.
std::string slab_blocks(double side, double z0, double z1, double split = NAN) {
    if (std::isnan(split)) return block_text(0, 0, z0, side, side, z1 - z0);
    return block_text(0, 0, z0, side, side, split - z0) + block_text(0, 0, split, side, side, z1 - split);
}

// eps0 side^2 / (R(0, bottom) + R(top, 1.7)): the series resistance R of
// the layers in the two gaps around a full-width floating slab.
double slab_exact(double side, const std::vector<slab>& layers, double bottom, double top) {
    double resistance = 0, z = -1;
    for (const slab& s : layers) {
        for (const auto& [lo, hi] : {std::pair{0.0, bottom}, std::pair{top, 1.7}})
            resistance += std::fmax(0.0, std::fmin(s.top, hi) - std::fmax(z, lo)) / s.eps;
        z = s.top;
    }
    return eps0 * side * side / resistance;
}

struct floating_case {
    std::string name;
    std::string geometry;
    double exact;  // 0: no exact value; NAN: the case before written otherwise
    std::vector<std::string> options;
};

}  // namespace

// Each face of a floating surface weighs what its flux sees: a side face
// each layer along it, a top or bottom face the layers of its gap in
// series. One block and several blocks follow the same rule, so the gaps'
// interfaces and the layers the conductor crosses leave the floating
// potential exact.
TEST(PhysicsFloating, FloatingConductorsAreInSeriesWithTheirGaps) {
    // A slab z = 0.4 .. 0.6 across the interface z = 0.5 (permittivity 1
    // below, 3.9 above), as two blocks split at the interface and as one
    // block. A wide stand-off keeps the walks short; in the plates' uniform
    // fields the flux weights are exact at any floating distance. The
    // start points' lattice covers the clipped Gaussian surface of these
    // plates exactly, so only the floating jumps are on trial.
    constexpr double side = 12.4;
    const std::vector<slab> across = {{0.5, 1}, {1.5, 3.9}};
    const double across_exact = eps0 * side * side / (0.4 / 1 + 0.4 / 3.9);
    const std::vector<std::string> wide = {"--floating-d", "0.15"};
    auto low_slab = [&](const std::string& blocks) {
        return stacked_plates(side, across, floating_net(blocks));
    };
    // A slab z = 0.6 .. 1.0 in a layer of permittivity 2 inside 8, d = 0.1:
    // both interfaces (0.57, 1.04), or only the lower one (0.57, 1.3), lie
    // inside the gaps between the slab and its floating surface.
    constexpr double wide_side = 23;
    const std::vector<slab> both = {{0.57, 8}, {1.04, 2}, {2.2, 8}};
    const std::vector<slab> lower = {{0.57, 8}, {1.3, 2}, {2.2, 8}};
    const double both_exact = slab_exact(wide_side, both, 0.6, 1.0);
    const double lower_exact = slab_exact(wide_side, lower, 0.6, 1.0);
    const std::string one = slab_blocks(wide_side, 0.6, 1.0), two = slab_blocks(wide_side, 0.6, 1.0, 0.8);
    // A 4 x 4 pillar z = 0.25 .. 1.45 across three layers, as one block and
    // as three split at the interfaces.
    const std::vector<slab> pillar_layers = {{0.5, 2.5}, {1.0, 11.7}, {2.2, 4.2}};
    const std::string pillar = block_text(1, 1, 0.25, 4, 4, 1.2);
    const std::string pillar3 =
        block_text(1, 1, 0.25, 4, 4, 0.25) + block_text(1, 1, 0.5, 4, 4, 0.5) + block_text(1, 1, 1.0, 4, 4, 0.45);

    const std::vector<floating_case> cases = {
        {"two across", low_slab(slab_blocks(side, 0.4, 0.6, 0.5)), across_exact, wide},
        {"one across", low_slab(slab_blocks(side, 0.4, 0.6)), across_exact, wide},
        {"one, both gaps", high_plates(wide_side, both, one), both_exact, {}},
        {"one, both gaps, fd", high_plates(wide_side, both, one), both_exact, {"--floating-type", "fd"}},
        {"two, both gaps", high_plates(wide_side, both, two), both_exact, {}},
        {"one, lower gap", high_plates(wide_side, lower, one), lower_exact, {}},
        {"two, lower gap", high_plates(wide_side, lower, two), lower_exact, {}},
        {"pillar, three blocks", high_plates(6, pillar_layers, pillar3), 0, {}},
        {"pillar, one block", high_plates(6, pillar_layers, pillar), NAN, {}},
    };
    scratch_dir dir;
    estimate previous;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const floating_case& c = cases[k];
        const std::string name = "case" + std::to_string(k) + ".lumod";
        const std::string input = dir.write(name, c.geometry);
        const std::string tables = make_tables_for(dir, input, configure::layout_four);
        std::vector<std::string> options = {"-p", "0.0014"};
        options.insert(options.end(), c.options.begin(), c.options.end());
        const binary_run r = extract(dir, input, tables, options);
        ASSERT_EQ(r.status, 0) << c.name << r.err;
        const estimate e = master_line(dir.read(name + ".out"), "top");
        if (c.exact > 0) {
            EXPECT_TRUE(within_three_errors(e, c.exact)) << c.name;
        } else {
            EXPECT_LE(e.err, 0.0015 * e.cap) << c.name;
            // Two estimates of one conductor agree within three combined
            // standard errors.
            if (std::isnan(c.exact)) {
                EXPECT_TRUE(within_three_errors({e.cap, std::hypot(e.err, previous.err)}, previous.cap,
                                                0.0015 * std::sqrt(2.0)))
                    << c.name;
            }
        }
        previous = e;
    }
}
