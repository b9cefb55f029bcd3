// Damaged table files through the program: each ends the run at loading
// with its status and a message naming the file, never with a hang, an
// abort or a wrong capacitance.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/generated_tables.hpp"
#include "tests/run_binary.hpp"

using korvex_test::binary_run;
using korvex_test::scratch_dir;

namespace {

// Plates in a Neumann window with two layers between them: mode "two"
// loads the single, pair and h-pair sets of the key (3.9, 2.2).
const char* const geometry = R"(<lumod>
<window> v1 (0, 0, -0.2) v2 (4, 4, 1.5) neumann </window>
<medium> <block> basepoint (0, 0, -0.2) v1 (4, 0, 0) v2 (0, 4, 0) hvector (0, 0, 0.65) </block> diel 3.9 </medium>
<medium> <block> basepoint (0, 0, 0.45) v1 (4, 0, 0) v2 (0, 4, 0) hvector (0, 0, 1.05) </block> diel 2.2 </medium>
<conductor> name GROUND <block> basepoint (0, 0, -0.2) v1 (4, 0, 0) v2 (0, 4, 0) hvector (0, 0, 0.2) </block> </conductor>
<conductor> name w <block> basepoint (0, 0, 1) v1 (4, 0, 0) v2 (0, 4, 0) hvector (0, 0, 0.5) </block> </conductor>
<task> <capacitance> w </capacitance> </task>
</lumod>
)";

const char* const single_dir = "tables/IS/binary/SINGLE/";
const char* const multi_dir = "tables/IS/binary/MULTI/";

// Overwrites the value at index (after the header) with v, in the file's
// own width (8 bytes for the single set, 4 for the others).
template <class T>
std::function<void(const std::string&)> set_value(std::size_t header, std::size_t index, double v) {
    return [=](const std::string& path) {
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr) << path;
        const T value = T(v);
        std::fseek(f, long(header + index * sizeof(T)), SEEK_SET);
        std::fwrite(&value, sizeof value, 1, f);
        std::fclose(f);
    };
}

// Turns the sign of the 8-byte value at index.
std::function<void(const std::string&)> negate_value(std::size_t index) {
    return [=](const std::string& path) {
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr) << path;
        double v = 0;
        std::fseek(f, long(index * sizeof v), SEEK_SET);
        ASSERT_EQ(std::fread(&v, sizeof v, 1, f), 1u);
        v = -v;
        std::fseek(f, long(index * sizeof v), SEEK_SET);
        std::fwrite(&v, sizeof v, 1, f);
        std::fclose(f);
    };
}

std::function<void(const std::string&)> resize_to(std::size_t bytes) {
    return [=](const std::string& path) { std::filesystem::resize_file(path, bytes); };
}

// Rewrites every file of the single set (in path's directory) in 4-byte
// values: a set written in the other width throughout.
void single_set_in_floats(const std::string& path) {
    const std::filesystem::path dir = std::filesystem::path(path).parent_path();
    for (const char* name : {"single_GFT_IS_31.db", "single_GFT_31.db", "single_WVT_IS_31.db"}) {
        const std::string file = (dir / name).string();
        std::vector<double> values(std::filesystem::file_size(file) / sizeof(double));
        std::FILE* f = std::fopen(file.c_str(), "rb");
        ASSERT_EQ(std::fread(values.data(), sizeof(double), values.size(), f), values.size());
        std::fclose(f);
        const std::vector<float> floats(values.begin(), values.end());
        f = std::fopen(file.c_str(), "wb");
        std::fwrite(floats.data(), sizeof(float), floats.size(), f);
        std::fclose(f);
    }
}

// Exchanges the 4-byte values at indices i and j: every row total stays, so
// only the header's digest can tell.
std::function<void(const std::string&)> swap_values(std::size_t header, std::size_t i, std::size_t j) {
    return [=](const std::string& path) {
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr) << path;
        float a = 0, b = 0;
        std::fseek(f, long(header + i * sizeof a), SEEK_SET);
        ASSERT_EQ(std::fread(&a, sizeof a, 1, f), 1u);
        std::fseek(f, long(header + j * sizeof b), SEEK_SET);
        ASSERT_EQ(std::fread(&b, sizeof b, 1, f), 1u);
        ASSERT_NE(a, b);
        std::fseek(f, long(header + i * sizeof b), SEEK_SET);
        std::fwrite(&b, sizeof b, 1, f);
        std::fseek(f, long(header + j * sizeof a), SEEK_SET);
        std::fwrite(&a, sizeof a, 1, f);
        std::fclose(f);
    };
}

// Overwrites header bytes from offset with bytes.
std::function<void(const std::string&)> set_header(std::size_t offset, std::string bytes) {
    return [=](const std::string& path) {
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr) << path;
        std::fseek(f, long(offset), SEEK_SET);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    };
}

// Replaces the file by the same file of the key (2.2, 3.9): a set of the
// other order of the two layers, of the same sizes.
void copy_swapped_key(const std::string& path) {
    std::string from = path;
    from.replace(from.rfind("3.9_2.2"), 7, "2.2_3.9");
    std::filesystem::copy_file(from, path, std::filesystem::copy_options::overwrite_existing);
}

void remove_file(const std::string& path) { std::filesystem::remove(path); }

void replace_by_fifo(const std::string& path) {
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << std::strerror(errno);
}

void replace_by_directory(const std::string& path) {
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
}

struct damage_case {
    const char* name;
    std::string file;  // under the scratch directory
    std::function<void(const std::string&)> damage;
    int status;
    std::string message;  // expected in the run's output
};

void PrintTo(const damage_case& c, std::ostream* os) { *os << c.name; }

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();
const std::string single_wvt = std::string(single_dir) + "single_WVT_IS_31.db";
const std::string pair_wvt = std::string(multi_dir) + "WVT/NumWVT_IS3.9_2.2_31.db";
const std::string single_gft = std::string(single_dir) + "single_GFT_31.db";
const std::string single_gft_is = std::string(single_dir) + "single_GFT_IS_31.db";
const std::string pair_gft = std::string(multi_dir) + "GFT/NumGFT3.9_2.2_31.db";
const std::string pair_path = "/tables/IS/binary/MULTI/GFT/NumGFT3.9_2.2_31.db)";
const std::string single_pair = "in \"single_WVT_IS_31.db\", but its row in \"single_GFT_IS_31.db\" holds 2.610890";

const damage_case cases[] = {
    {"intact", single_wvt, [](const std::string&) {}, 0, "Master w"},
    {"weight_nan", single_wvt, set_value<double>(0, 2, nan), 255,
     "table value that is not a finite number in \"single_WVT_IS_31.db\""},
    {"weight_inf", single_wvt, set_value<double>(0, 0, inf), 255,
     "table value that is not a finite number in \"single_WVT_IS_31.db\""},
    {"weight_zero", single_wvt, set_value<double>(0, 2, 0), 255,
     "first-hop weight outside 1e-06 .. 1e+06 in \"single_WVT_IS_31.db\""},
    {"weight_absurd", single_wvt, set_value<double>(0, 1, 1e300), 255,
     "first-hop weight outside 1e-06 .. 1e+06 in \"single_WVT_IS_31.db\""},
    {"pair_weight_zero", pair_wvt, set_value<float>(24, 47, 0), 255,
     "first-hop weight outside 1e-06 .. 1e+06 in \"NumWVT_IS3.9_2.2_31.db\""},
    {"pair_weight_nan", pair_wvt, set_value<float>(24, 5, nan), 255,
     "table value that is not a finite number in \"NumWVT_IS3.9_2.2_31.db\""},
    {"hop_row_negative", std::string(single_dir) + "single_GFT_31.db", set_value<double>(0, 3000, -1e-3), 255,
     "negative hop probability in \"single_GFT_31.db\""},
    {"pair_hop_row_mixed_signs", std::string(multi_dir) + "GFT/NumGFT3.9_2.2_31.db",
     set_value<float>(24, 5766 * 7 + 100, -0.01), 255, "negative hop probability in \"NumGFT3.9_2.2_31.db\""},
    {"shorter_than_header", std::string(multi_dir) + "GFT/NumGFT_IS3.9_2.2_31.db", resize_to(10), 255,
     "table file \"NumGFT_IS3.9_2.2_31.db\" is shorter than its header"},
    {"fifo", std::string(single_dir) + "single_GFT_31.db", replace_by_fifo, 255,
     "\"single_GFT_31.db\" is not a regular file"},
    {"directory", std::string(multi_dir) + "GFT/hNumGFT3.9_2.2_31.db", replace_by_directory, 255,
     "\"hNumGFT3.9_2.2_31.db\" is not a regular file"},
    {"missing", single_gft_is, remove_file, 255,
     "cannot open \"single_GFT_IS_31.db\", please register correct GFT/WVTs (/"},
    {"single_set_in_floats", single_wvt, single_set_in_floats, 0, "Master w"},
    // The line after the open error says how to make the tables.
    {"missing_pair", pair_gft, remove_file, 255,
     pair_path + "\nmake the tables of this run with: korvex-tables -f case.lumod --multi-dielectric two "
                 "--table-single tables --table-twolyr tables --table-mullyr tables --table-approx tables\n"},
    // A file is what its header says, not what its name says.
    {"pair_under_swapped_key", pair_gft, copy_swapped_key, 255,
     "table file \"NumGFT3.9_2.2_31.db\" holds the pair GFT table (2.2, 3.9), but its name says the pair GFT "
     "table (3.9, 2.2). (/"},
    {"h_pair_weights_under_swapped_key", std::string(multi_dir) + "WVT/hNumWVT_IS3.9_2.2_31.db", copy_swapped_key,
     255, "table file \"hNumWVT_IS3.9_2.2_31.db\" holds the h-pair WVT_IS table (2.2, 3.9), but its name says"},
    {"pair_values_not_the_written_ones", pair_gft, swap_values(24, 5766 * 3 + 10, 5766 * 3 + 4000), 255,
     "table file \"NumGFT3.9_2.2_31.db\" does not hold the values it was written with: its header's digest is "},
    {"pair_header_unreadable", pair_gft, set_header(4, "\xff"), 255,
     "table file \"NumGFT3.9_2.2_31.db\" carries the table mark, but its header cannot be read. (/"},
    // Without the mark (zeros, as tables were written before it), nothing
    // but the size and the rows is checked.
    {"pair_unmarked", pair_gft, set_header(0, std::string(24, '\0')), 0, "Master w"},
    {"pair_unmarked_values_changed", pair_gft,
     [](const std::string& p) {
         set_header(0, std::string(24, '\0'))(p);
         swap_values(24, 5766 * 3 + 10, 5766 * 3 + 4000)(p);
     },
     0, "Master w"},
    // Values the rows cannot hold: each row is checked, not renormalised.
    {"hop_value_changed", single_gft, set_value<double>(0, 3000, 0.2), 255,
     "hop row 0 sums to 1.199"},
    {"pair_hop_value_changed", std::string(multi_dir) + "GFT/NumGFT3.9_2.2_31.db",
     set_value<float>(24, 5766 * 7 + 100, 0.05), 255, "hop row 7 sums to 1.04"},
    {"weight_times_5000", single_wvt, set_value<double>(0, 1, 13054.45), 255,
     "first-hop weight 1 is 13054.45 " + single_pair},
    {"pair_weight_changed", pair_wvt, set_value<float>(24, 47, 9.0), 255,
     "first-hop weight 47 is 9 in \"NumWVT_IS3.9_2.2_31.db\", but its row in \"NumGFT_IS3.9_2.2_31.db\" holds"},
    // A zero panel of the y row (the middle row of the -z face) made 0.01.
    {"first_hop_value_changed", single_gft_is, set_value<double>(0, 5766 + 15 * 31 + 3, 0.01), 255,
     "first-hop row 1 sums to 0.01 instead of zero in \"single_GFT_IS_31.db\""},
    // Magnitudes, and so the weight, stay; the balance does not.
    {"first_hop_sign_turned", single_gft_is, negate_value(2 * 5766 + 15 * 31 + 15), 255,
     "first-hop row 2 sums to"},
    // A double file cut to half its size has the size of a float file.
    {"first_hop_file_cut_to_half", single_gft_is, resize_to(3 * 5766 * 4), 255,
     "table file \"single_GFT_IS_31.db\" holds 4-byte values, but its set is written with 8-byte values."},
    {"pair_weight_file_in_doubles", pair_wvt, resize_to(24 + 90 * 8), 255,
     "table file \"NumWVT_IS3.9_2.2_31.db\" holds 8-byte values, but its set is written with 4-byte values."},
};

class bad_table_files : public ::testing::TestWithParam<damage_case> {
protected:
    // Clean tables made once; every case damages its own copy.
    static void SetUpTestSuite() {
        clean = std::make_unique<scratch_dir>();
        korvex_test::make_tables(*clean, {{table_kind::pair, "", {3.9, 2.2}},
                                          {table_kind::h_pair, "", {3.9, 2.2}},
                                          {table_kind::pair, "", {2.2, 3.9}},
                                          {table_kind::h_pair, "", {2.2, 3.9}}});
    }
    static void TearDownTestSuite() { clean.reset(); }
    static std::unique_ptr<scratch_dir> clean;
};
std::unique_ptr<scratch_dir> bad_table_files::clean;

TEST_P(bad_table_files, end_the_run_naming_the_file) {
    const damage_case& dc = GetParam();
    scratch_dir dir;
    std::filesystem::copy(clean->path("tables"), dir.path("tables"), std::filesystem::copy_options::recursive);
    dc.damage(dir.path(dc.file));
    dir.write("case.lumod", geometry);
    std::vector<std::string> args = {"-f", "case.lumod", "-n", "2", "-p", "0.05", "--multi-dielectric", "two"};
    for (const std::string& a : korvex_test::table_options("tables")) args.push_back(a);
    const binary_run r = korvex_test::run_korvex(args, dir.root.string(), "/dev/null", 60);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, dc.status) << r.err;
    EXPECT_NE((r.out + r.err).find(dc.message), std::string::npos) << r.out << r.err;
    if (dc.status == 0) {
        EXPECT_NE(dir.read("case.lumod.out").find("Master w"), std::string::npos);
    }
}

// The command the missing-table line names, run as it stands, makes every
// table the run loads, and only the files of that run.
TEST(missing_tables, the_named_command_makes_them) {
    scratch_dir dir;
    dir.write("case.lumod", geometry);
    std::vector<std::string> args = {"-f", "case.lumod", "-n", "2", "-p", "0.05", "--multi-dielectric", "two"};
    for (const std::string& a : korvex_test::table_options("made")) args.push_back(a);
    const binary_run missing = korvex_test::run_korvex(args, dir.root.string(), "/dev/null", 60);
    ASSERT_EQ(missing.status, 255) << missing.err;
    const std::string lead = "make the tables of this run with: korvex-tables ";
    const std::size_t at = missing.err.find(lead);
    ASSERT_NE(at, std::string::npos) << missing.err;
    std::vector<std::string> words;
    std::istringstream line(missing.err.substr(at + lead.size(), missing.err.find('\n', at) - at - lead.size()));
    for (std::string w; line >> w;) words.push_back(w);
    const binary_run made = korvex_test::run_binary(KORVEX_TABLES_BINARY, words, dir.root.string(), "/dev/null", 60);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find("korvex-tables: 3 sets written, 0 already present"), std::string::npos) << made.out;
    const binary_run run = korvex_test::run_korvex(args, dir.root.string(), "/dev/null", 60);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(dir.read("case.lumod.out").find("Master w"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(damaged, bad_table_files, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<damage_case>& info) { return std::string(info.param.name); });

} // namespace
