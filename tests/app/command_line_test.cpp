// The command line end to end through the built binary: exit statuses, the
// stream each message reaches, and the files the options name.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/generated_tables.hpp"
#include "tests/run_binary.hpp"

using korvex_test::binary_run;
using korvex_test::run_korvex;
using korvex_test::scratch_dir;

namespace {

// A small valid geometry: one box over a ground plane.
const std::string one_box = [] {
    std::ifstream in(KORVEX_SOURCE_DIR "/examples/box_over_ground.lumod");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}();

} // namespace

TEST(CommandLine, EmptyWordValueOfAWordOptionListsEveryCandidate) {
    scratch_dir dir;
    const std::string input = dir.write("case.lumod", one_box);
    const binary_run r = run_korvex({"-f", input, "--log-level="}, dir.root.string());
    EXPECT_EQ(r.status, 255);
    const std::string head = "Fatal error: unexpected value '' of '--log-level'\ncandidates are:\n\t";
    ASSERT_EQ(r.err.substr(0, head.size()), head);
    std::string words = r.err.substr(head.size());
    for (const char* w : {"debug", "info", "warn", "error", "disable", "0", "1", "2", "3", "4"})
        EXPECT_NE((" " + words).find(std::string(" ") + w + " "), std::string::npos) << w;
    EXPECT_EQ(words.size(), std::string("debug info warn error disable 0 1 2 3 4 \n\n").size());
}

TEST(Run, CommandAndTotalTimeOnScreenAndInTheDefaultOutputFile) {
    scratch_dir dir;
    const std::string input = dir.write("sub dir/case.lumod", one_box);
    const std::string tables = korvex_test::make_tables(dir);
    const binary_run r = run_korvex({"-f", input, "-n", "1", "--table-single", tables}, dir.root.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string command =
        "Command: " + std::string(KORVEX_BINARY) + "  -f \"" + input + "\" -n 1 --table-single " + tables + "\n\n";
    EXPECT_EQ(r.out.substr(0, command.size()), command);
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\nTotal cost: ([0-9]+hr)?([0-9]+min)?[0-9]+\\.[0-9]{2}sec\n$")))
        << r.out;
    // The output file lies in the working directory, named after the input.
    const std::string report = dir.read("case.lumod.out");
    EXPECT_EQ(report.substr(0, command.size()), command);
    EXPECT_TRUE(std::regex_search(report, std::regex("\nTotal cost: [0-9]+\\.[0-9]{2}sec\n$"))) << report;
}

TEST(Run, ScreenOffNamedOutputAndInputFromStandardInput) {
    scratch_dir dir;
    const std::string input = dir.write("case.lumod", one_box);
    const std::string tables = korvex_test::make_tables(dir);
    binary_run quiet = run_korvex({"-f", input, "--std-output=off", "-o", "report.txt", "--table-single", tables},
                                  dir.root.string());
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "");
    EXPECT_NE(dir.read("report.txt").find("Total cost: "), std::string::npos);
    EXPECT_FALSE(dir.exists("case.lumod.out"));

    binary_run piped = run_korvex({"-f", "stdin", "--table-single", tables}, dir.root.string(), input);
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_NE(dir.read("stdin.out").find("Total cost: "), std::string::npos);
}

TEST(Run, ProgramPathFormsInTheCommandText) {
    scratch_dir dir;
    const std::string input = dir.write("case.lumod", one_box);
    binary_run joined = run_korvex({"--program-path=/opt/k/korvex", "-f", input}, dir.root.string());
    EXPECT_EQ(joined.out.substr(0, joined.out.find('\n')), "Command: /opt/k/korvex  -f " + input);
    binary_run pair = run_korvex({"--program-path", "/opt/k/korvex", "-f", input}, dir.root.string());
    EXPECT_EQ(pair.out.substr(0, pair.out.find('\n')), "Command: /opt/k/korvex  /opt/k/korvex -f " + input);
}

TEST(Run, ErrorLogSlotFollowsTheLevelAfterParsing) {
    // An empty geometry file is rejected after parsing, on the error log writer.
    scratch_dir dir;
    const std::string input = dir.write("empty.lumod", "");
    const std::pair<const char*, bool> levels[] = {{"0", true}, {"error", true}, {"disable", false}};
    for (const auto& level : levels) {
        const binary_run r = run_korvex({"-f", input, "--log-level", level.first, "--log-error-file", "errors.log"},
                                        dir.root.string());
        EXPECT_EQ(r.status, 255) << level.first;
        EXPECT_EQ(r.err, "") << level.first;
        const std::string log = dir.read("errors.log");
        EXPECT_EQ(!log.empty(), level.second) << level.first << ": " << log;
    }

    // An empty "-f" value (an unset variable) is refused by name, before any
    // output file is made.
    const binary_run null_input = run_korvex({"-f", ""}, dir.root.string());
    EXPECT_EQ(null_input.status, 255);
    EXPECT_NE(null_input.err.find("unexpected value '' of '-f'"), std::string::npos) << null_input.err;
    EXPECT_FALSE(dir.exists(".out"));
}
