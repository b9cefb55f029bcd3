// The run's own refusals and soft failures, through the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/generated_tables.hpp"
#include "tests/run_binary.hpp"

using korvex_test::binary_run;
using korvex_test::run_korvex;
using korvex_test::scratch_dir;

namespace {

std::string example(const std::string& name) {
    std::ifstream in(std::string(KORVEX_SOURCE_DIR) + "/examples/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(Driver, CountsAndCouplingWordsAreRefusedBeforeAnyTableIsRead) {
    scratch_dir dir;
    const std::string input = dir.write("case.lumod", example("box_over_ground.lumod"));
    struct refusal {
        std::vector<std::string> args;
        std::string err;
    };
    const refusal cases[] = {
        {{"-t", "0"}, "Fatal error: the minimum walk count \"-t\" must be at least 1\n"},
        {{"-t", "-5"}, "Fatal error: the minimum walk count \"-t\" must be at least 1\n"},
        {{"-n", "-1"}, "Fatal error: the walk thread count \"-n\" must not be negative\n"},
        {{"--set-coupling-error", "nobody GROUND 0.1 0.01"},
         "Fatal error: Coupling stop condition must start with a master name or *\n"},
    };
    for (const refusal& c : cases) {
        std::vector<std::string> args = {"-f", input};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const binary_run r = run_korvex(args, dir.root.string());
        EXPECT_EQ(r.status, 255) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
    }
    // Three words are no tuple: nothing is checked, and the tables are next.
    const binary_run short_tuple =
        run_korvex({"-f", input, "--set-coupling-error", "nobody GROUND 0.1"}, dir.root.string());
    EXPECT_EQ(short_tuple.err, "Fatal error: cannot open \"single_GFT_IS_31.db\", please register correct GFT/WVTs\n\n");
}

TEST(Driver, UnwritableResumeFileLeavesASuccessfulRun) {
    scratch_dir dir;
    const std::string input = dir.write("case.lumod", example("box_over_ground.lumod"));
    std::filesystem::create_directories(dir.path(".case.lumod.json"));
    const std::string tables = korvex_test::make_tables(dir);
    std::vector<std::string> args = {"-f", input, "-t", "2000", "-p", "0.5", "--breakpoint-resume=on"};
    for (const std::string& a : korvex_test::table_options(tables)) args.push_back(a);
    const binary_run r = run_korvex(args, dir.root.string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nError when writing date to " + dir.path(".case.lumod.json") +
                         "(breakpoint-resume file),check if you have write pemission!.\n\n"),
              std::string::npos)
        << r.out;
}
