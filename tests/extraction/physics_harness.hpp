// Physics through the whole program: the report parsers, the run with real
// tables, and the stacked-plates family whose capacitance is exact.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/generated_tables.hpp"
#include "tests/run_binary.hpp"

namespace korvex_test {

constexpr double eps0 = 8.854187817e-18;  // farad per micrometre
constexpr double pi = 3.14159265358979323846;

struct estimate {
    double cap = NAN;
    double err = NAN;
};

// "Master NAME : C F  +/- E F" of the output file.
inline estimate master_line(const std::string& report, const std::string& name) {
    const std::regex line("Master " + name + " : +([-+0-9.e]+)F  \\+/- *([-+0-9.e]+)F");
    std::smatch m;
    if (!std::regex_search(report, m, line)) return {};
    return {std::stod(m[1]), std::stod(m[2])};
}

// The coupling "    NET: -C F  +/- P%" listed under the current master.
inline estimate coupling_line(const std::string& report, const std::string& master, const std::string& net) {
    const std::size_t from = report.find("Master " + master + " :");
    if (from == std::string::npos) return {};
    const std::string rest = report.substr(from);
    const std::regex line("\n    " + net + " *: +(-[0-9.e+-]+)F  \\+/- +([0-9.]+)%");
    std::smatch m;
    if (!std::regex_search(rest, m, line)) return {};
    const double cap = -std::stod(m[1]);
    return {cap, cap * std::stod(m[2]) / 100};
}

inline binary_run extract(const scratch_dir& dir, const std::string& input, const std::string& tables,
                          const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"-f", input, "-n", "8"};
    for (const std::string& a : table_options(tables)) args.push_back(a);
    for (const std::string& a : extra) args.push_back(a);
    return run_korvex(args, dir.root.string());
}

// An estimate agrees with the exact value when it lies within three of its
// standard errors and that error is small enough (0.15 % by default) for
// the comparison to mean something.
inline ::testing::AssertionResult within_three_errors(const estimate& c, double exact,
                                                      double max_relative_error = 0.0015) {
    if (!(c.err > 0) || c.err > max_relative_error * exact)
        return ::testing::AssertionFailure() << "standard error " << c.err << " of " << c.cap
                                             << " exceeds " << max_relative_error * 100 << " % of " << exact;
    if (std::fabs(c.cap - exact) > 3 * c.err)
        return ::testing::AssertionFailure() << c.cap << " / exact = " << c.cap / exact << " +- " << c.err / exact;
    return ::testing::AssertionSuccess();
}

// One dielectric layer of the plates family: it reaches up to `top`.
struct slab {
    double top;
    double eps;
};

// Two plates side x side filling a Neumann window: the ground's top at
// z = 0, the master "top" from z = 1 to 1.5, the window's top at the
// master's top. The layers are listed from the bottom (z = -0.2) up; the
// last must reach 1.5. `extra` is more conductor text.
inline std::string stacked_plates(double side, const std::vector<slab>& layers, const std::string& extra = "") {
    std::string text = "<lumod>\n";
    char line[512];
    std::snprintf(line, sizeof line, "<window> v1 (0, 0, -0.2) v2 (%.17g, %.17g, 1.5) neumann </window>\n", side,
                  side);
    text += line;
    double bottom = -0.2;
    for (const slab& s : layers) {
        std::snprintf(line, sizeof line,
                      "<medium> <block> basepoint (0, 0, %.17g) v1 (%.17g, 0, 0) v2 (0, %.17g, 0) hvector (0, 0, "
                      "%.17g) </block> diel %.17g </medium>\n",
                      bottom, side, side, s.top - bottom, s.eps);
        text += line;
        bottom = s.top;
    }
    std::snprintf(line, sizeof line,
                  "<conductor> name GROUND <block> basepoint (0, 0, -0.2) v1 (%.17g, 0, 0) v2 (0, %.17g, 0) "
                  "hvector (0, 0, 0.2) </block> </conductor>\n"
                  "<conductor> name top <block> basepoint (0, 0, 1) v1 (%.17g, 0, 0) v2 (0, %.17g, 0) "
                  "hvector (0, 0, 0.5) </block> </conductor>\n",
                  side, side, side, side);
    text += line;
    text += extra;
    text += "<task> <capacitance> top </capacitance> </task>\n</lumod>\n";
    return text;
}

// The series-capacitor value of stacked_plates: eps0 A / sum(d_i / eps_i)
// over the gap from z = 0 to 1.
inline double series_capacitance(double side, const std::vector<slab>& layers) {
    double resistance = 0, bottom = -0.2;
    for (const slab& s : layers) {
        const double lo = std::fmax(bottom, 0.0), hi = std::fmin(s.top, 1.0);
        if (hi > lo) resistance += (hi - lo) / s.eps;
        bottom = s.top;
    }
    return eps0 * side * side / resistance;
}

// Two plates facing each other across x, each filling a Neumann window of
// 4 x 3 in y and z: the ground "left" from x = -0.2 to 0, the master
// "right" from x = 1 to 1.5. The layers run from z = 0 up, the last to 3;
// each is a capacitor of its own between the plates, so the master's
// Gaussian face crosses every interface. The bottom and top layers must be
// at least half the gap thick, so that no cube reaches past the mirror
// image of its own layer at the window's floor or ceiling.
inline std::string facing_plates(const std::vector<slab>& layers) {
    std::string text = "<lumod>\n<window> v1 (-0.2, 0, 0) v2 (1.5, 4, 3) neumann </window>\n";
    char line[512];
    double bottom = 0;
    for (const slab& s : layers) {
        std::snprintf(line, sizeof line,
                      "<medium> <block> basepoint (-0.2, 0, %.17g) v1 (1.7, 0, 0) v2 (0, 4, 0) hvector (0, 0, "
                      "%.17g) </block> diel %.17g </medium>\n",
                      bottom, s.top - bottom, s.eps);
        text += line;
        bottom = s.top;
    }
    text += "<conductor> name left <block> basepoint (-0.2, 0, 0) v1 (0.2, 0, 0) v2 (0, 4, 0) hvector (0, 0, 3) "
            "</block> </conductor>\n"
            "<conductor> name right <block> basepoint (1, 0, 0) v1 (0.5, 0, 0) v2 (0, 4, 0) hvector (0, 0, 3) "
            "</block> </conductor>\n"
            "<task> <capacitance> right </capacitance> </task>\n</lumod>\n";
    return text;
}

// The parallel-capacitor value of facing_plates: eps0 * 4 * sum(eps_i h_i)
// over a gap of 1.
inline double parallel_capacitance(const std::vector<slab>& layers) {
    double sum = 0, bottom = 0;
    for (const slab& s : layers) {
        sum += s.eps * (s.top - bottom);
        bottom = s.top;
    }
    return eps0 * 4 * sum;
}

} // namespace korvex_test
