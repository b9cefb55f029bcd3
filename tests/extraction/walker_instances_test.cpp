// Every walker instance (each dielectric mode, with and without rotated
// cubes) runs complete walks on a layered example through the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/generated_tables.hpp"
#include "tests/run_binary.hpp"

using korvex_test::binary_run;
using korvex_test::run_korvex;
using korvex_test::scratch_dir;

TEST(WalkerInstances, EveryModeExtractsTheLayeredExample) {
    const std::string geometry = std::string(KORVEX_SOURCE_DIR) + "/examples/crossing_wires.lumod";
    const std::pair<const char*, configure::layout_arg> modes[] = {
        {"off", configure::layout_off},         {"two", configure::layout_two},
        {"four", configure::layout_four},       {"approx", configure::layout_approx},
        {"approx2", configure::layout_approx2}, {"approx2_es", configure::layout_approx2_es},
    };
    for (const auto& [word, mode] : modes) {
        scratch_dir dir;
        const std::string tables = korvex_test::make_tables_for(dir, geometry, mode);
        for (const char* rotated : {"off", "on"}) {
            std::vector<std::string> args = {"-f", geometry, "-o", "report.out", "-n", "2", "-p", "0.05",
                                             "--multi-dielectric", word, std::string("--rotated-cube=") + rotated};
            for (const std::string& a : korvex_test::table_options(tables)) args.push_back(a);
            const binary_run r = run_korvex(args, dir.root.string());
            EXPECT_EQ(r.status, 0) << word << " " << rotated << ": " << r.err;
            const std::string report = dir.read("report.out");
            EXPECT_NE(report.find("Capacitance on wire_x"), std::string::npos) << word << " " << rotated;
            EXPECT_NE(report.find("Capacitance on wire_y"), std::string::npos) << word << " " << rotated;
        }
    }
}
