// Malformed geometry files through the program: each ends the run with one
// message on the error log writer (standard error by default) and its exit
// status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct bad_file {
    const char* name;
    std::string text;
    std::string message;  // the whole of standard error
    int status;
};

std::ostream& operator<<(std::ostream& os, const bad_file& f) { return os << f.name; }

const std::string solid_box = "basepoint (0,0,0) v1 (1,0,0) v2 (0,1,0) hvector (0,0,1)";

std::string in_root(const std::string& body) { return "<lumod>\n" + body + "\n</lumod>\n"; }

std::string polygon(const std::string& coords) {
    return in_root("<conductor> name c <poly> " + solid_box + " <coord> " + coords +
                   " </coord> </poly> </conductor>");
}

// "{in}" stands for the geometry file's path.
std::string syntax(int line, const std::string& text) {
    const std::string where = text.empty() ? "where the text ends" : "near \"" + text + "\"";
    return "syntax error at " + std::to_string(line) + " with " + text + "\ngeometry file \"{in}\", line " +
           std::to_string(line) + ", " + where + ": correct the text there (docs/geometry-format.md describes the format)\n";
}

const bad_file corpus[] = {
    {"empty_file", "", syntax(1, ""), 255},
    {"no_root_tag", "<conductor>", syntax(1, "<conductor>"), 255},
    {"missing_root_end", "<lumod>\n", syntax(2, ""), 255},
    {"text_after_root", "<lumod></lumod>\nmore", syntax(2, "more"), 255},
    {"line_comment_at_end_of_file", "<lumod></lumod> // no line break", syntax(1, "/"), 255},
    {"unknown_character", "<lumod>\n\n  # </lumod>", "unknow input # at 3\n", 255},
    // The grammar rejects the slash before the scanner meets the star.
    {"unterminated_block_comment", "<lumod>\n/* open </lumod>\n", syntax(2, "/"), 255},
    {"misspelt_tag", "<lumod>\n<conductr> </conductr>\n</lumod>", syntax(2, "<"), 255},
    {"missing_section_end",
     "<lumod>\n<conductor> name a <block> " + solid_box + " </block>\n</lumod>\n", syntax(3, "</lumod>"), 255},
    {"medium_with_cylinder",
     in_root("<medium> <block> basepoint (0,0,0) radius 1 height 1 </block> diel 1 </medium>"),
     syntax(2, "radius"), 255},
    {"medium_with_polygon",
     in_root("<medium> <poly> " + solid_box + " <coord> (0,0) (1,0) (1,1) </coord> </poly> diel 1 </medium>"),
     syntax(2, "<coord>"), 255},
    {"medium_block_with_rho", in_root("<medium> <block> " + solid_box + " rho 1 </block> diel 1 </medium>"),
     syntax(2, "rho"), 255},
    {"medium_with_two_blocks",
     in_root("<medium> <block> " + solid_box + " </block> <block> " + solid_box + " </block> diel 1 </medium>"),
     syntax(2, "<block>"), 255},
    {"number_as_name", in_root("<conductor> name 12 <block> " + solid_box + " </block> </conductor>"),
     syntax(2, "12"), 255},
    {"keyword_name_as_name", in_root("<conductor> name name <block> " + solid_box + " </block> </conductor>"),
     syntax(2, "name"), 255},
    {"floating_before_name", in_root("<conductor> floating name a </conductor>"), syntax(2, "name"), 255},
    {"conductor_without_blocks", in_root("<conductor> name a </conductor>"), syntax(2, "</conductor>"), 255},
    {"window_v2_first", in_root("<window> v2 (1,1,1) v1 (0,0,0) </window>"), syntax(2, "v2"), 255},
    {"task_of_two_names", in_root("<task> <capacitance> a b </capacitance> </task>"), syntax(2, "b"), 255},
    {"layer_with_two_numbers", in_root("<itf> <layer> a b c 1 2 </layer> </itf>"), syntax(2, "</layer>"), 255},
    {"crossing_polygon", polygon("(0,0) (2,2) (2,0) (0,2)"),
     "error: input poly not valid(may have same vertexs).\n", 255},
    {"self_touching_polygon", polygon("(0,0) (4,0) (4,4) (2,4) (2,0)"),
     "error (delete_duplicate_point): invalid poly, point less than 3.\n", 255},
    {"polygon_turning_back", polygon("(0,0) (2,0) (1,0) (1,1)"),
     "error (delete_duplicate_point): invalid poly, point position invalid.\n", 255},
    {"polygon_of_two_points", polygon("(0,0) (1,0)"), "nprism_t error: vertex number 2 not supported.\n", 1},
    {"polygon_without_points", polygon(""), "nprism_t error: vertex number 0 not supported.\n", 1},
    // Once its repeats are dropped, an outline of two points.
    {"polygon_of_repeated_points", polygon("(0,0) (1,0) (1,0) (0,0)"),
     "nprism_t error: vertex number 2 not supported.\n", 1},
};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct run_result {
    int status;
    std::string err;
    std::string input;  // the geometry file's path
};

// Runs the program on a geometry file holding `text`, the output file and
// the screen discarded.
run_result run_binary(const std::string& name, const std::string& text) {
    const std::string dir = testing::TempDir();
    const std::string input = dir + "korvex_bad_" + name + ".lumod";
    const std::string err = dir + "korvex_bad_" + name + ".err";
    std::ofstream(input, std::ios::binary) << text;
    const std::string command = std::string("'") + KORVEX_BINARY + "' -f '" + input + "' -o null > /dev/null 2> '" + err + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(err), input};
}

class ParseErrorsBinaryTest : public testing::TestWithParam<bad_file> {};

}  // namespace

TEST_P(ParseErrorsBinaryTest, ProgramEndsWithTheMessageOnStandardError) {
    const bad_file& f = GetParam();
    const run_result r = run_binary(f.name, f.text);
    EXPECT_EQ(r.status, f.status);
    std::string message = f.message;
    const std::size_t in = message.find("{in}");
    if (in != std::string::npos) message.replace(in, 4, r.input);
    EXPECT_EQ(r.err, message);
}

const auto corpus_name = [](const testing::TestParamInfo<bad_file>& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Corpus, ParseErrorsBinaryTest, testing::ValuesIn(corpus), corpus_name);
