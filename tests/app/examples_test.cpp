// The bundled examples and the guides that quote them: every example runs
// to finite positive capacitances with the tables korvex-tables makes for
// it, and every geometry or id-map text that docs/ shows is part of an
// example, so the guides cannot drift from what the program reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/extraction/physics_harness.hpp"
#include "tests/generated_tables.hpp"
#include "tests/run_binary.hpp"

using korvex_test::binary_run;
using korvex_test::scratch_dir;

namespace {

const std::filesystem::path source_dir = KORVEX_SOURCE_DIR;

std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The files of a folder with the given extension, sorted by name.
std::vector<std::filesystem::path> files_in(const std::filesystem::path& dir, const std::string& extension) {
    std::vector<std::filesystem::path> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == extension) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> example_names() {
    std::vector<std::string> names;
    for (const auto& p : files_in(source_dir / "examples", ".lumod")) names.push_back(p.stem().string());
    return names;
}

// Each run ends well within this; a hang is killed and fails its case.
constexpr double run_time_limit = 120;

using Examples = ::testing::TestWithParam<std::string>;

}  // namespace

TEST_P(Examples, RunToFinitePositiveCapacitancesWithTheirTables) {
    const std::string name = GetParam();
    scratch_dir dir;
    const std::filesystem::path example = source_dir / "examples" / (name + ".lumod");
    const std::string input = dir.write(name + ".lumod", read_text(example));
    const std::string tables = korvex_test::make_tables_for(dir, input, configure::layout_four);
    // Low accuracy: the run must finish with an answer, not a precise one.
    std::vector<std::string> args = {"-f", input, "-p", "0.05", "-n", "2"};
    const std::filesystem::path idmap = source_dir / "examples" / (name + ".idmap");
    if (std::filesystem::exists(idmap)) {
        args.push_back("-m");
        args.push_back(idmap.string());
    }
    for (const std::string& a : korvex_test::table_options(tables)) args.push_back(a);
    const binary_run r = korvex_test::run_korvex(args, dir.root.string(), "/dev/null", run_time_limit);
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string report = dir.read(name + ".lumod.out");
    const std::regex master("\nMaster (\\S+) : ");
    int masters = 0;
    for (std::sregex_iterator m(report.begin(), report.end(), master), end; m != end; ++m, ++masters) {
        const korvex_test::estimate e = korvex_test::master_line(report, (*m)[1].str());
        EXPECT_TRUE(std::isfinite(e.cap) && e.cap > 0 && std::isfinite(e.err) && e.err > 0)
            << (*m)[1] << ": " << e.cap << " +/- " << e.err;
    }
    EXPECT_GT(masters, 0) << report;
}

INSTANTIATE_TEST_SUITE_P(Bundled, Examples, ::testing::ValuesIn(example_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

namespace {

std::string trimmed(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const std::size_t last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

std::vector<std::string> trimmed_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(trimmed(line));
    return lines;
}

// Whether the lines of part appear one after another in whole, each up to
// its indentation.
bool holds_lines(const std::vector<std::string>& whole, const std::vector<std::string>& part) {
    return !part.empty() && std::search(whole.begin(), whole.end(), part.begin(), part.end()) != whole.end();
}

struct quoted_block {
    std::string doc;
    int line;  // of the opening fence
    std::string language;
    std::string text;
};

// The fenced blocks of a Markdown text opened with "```" and a language.
std::vector<quoted_block> fenced_blocks(const std::string& doc, const std::string& text) {
    std::vector<quoted_block> blocks;
    std::istringstream in(text);
    quoted_block* open = nullptr;
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        ++n;
        const std::string t = trimmed(line);
        if (t.rfind("```", 0) != 0) {
            if (open) open->text += line + "\n";
            continue;
        }
        if (open) {
            open = nullptr;
        } else {
            blocks.push_back({doc, n, t.substr(3), ""});
            open = &blocks.back();
        }
    }
    return blocks;
}

}  // namespace

TEST(Guides, QuoteOnlyTextOfTheExamples) {
    const std::vector<std::string> quoted = {"lumod", "idmap"};
    int checked = 0;
    for (const auto& doc : files_in(source_dir / "docs", ".md")) {
        for (const quoted_block& b : fenced_blocks(doc.filename().string(), read_text(doc))) {
            if (std::find(quoted.begin(), quoted.end(), b.language) == quoted.end()) continue;
            bool found = false;
            for (const auto& example : files_in(source_dir / "examples", "." + b.language))
                found = found || holds_lines(trimmed_lines(read_text(example)), trimmed_lines(b.text));
            EXPECT_TRUE(found) << b.doc << ":" << b.line << ": this " << b.language
                               << " block is in no file of examples/:\n"
                               << b.text;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}
