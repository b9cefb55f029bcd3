// Files written by the generator load through the program's own readers at
// their stored width, and korvex-tables writes exactly what a run loads.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "tests/run_binary.hpp"
#include "tools/tablegen/table_generator.hpp"
#include "transition_tables/table_reader.hpp"
#include "transition_tables/table_store.hpp"

namespace {

using korvex_test::scratch_dir;

// The debug log goes to a file for the duration of one test.
class debug_log_capture {
public:
    explicit debug_log_capture(const std::string& path) : file(std::fopen(path.c_str(), "w+")), path(path) {
        rebuild_log_writers(log_debug, {file, file, stderr, stderr});
    }
    ~debug_log_capture() {
        rebuild_log_writers(log_off, {stdout, stdout, stderr, stderr});
        std::fclose(file);
    }
    std::string text() {
        log_debug_w().flush();
        std::fflush(file);
        std::string s;
        std::FILE* in = std::fopen(path.c_str(), "r");
        for (int c; (c = std::fgetc(in)) != EOF;) s += char(c);
        std::fclose(in);
        return s;
    }

private:
    std::FILE* file;
    std::string path;
};

std::size_t count_of(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

// What the readers make of a row: running sums over the row's total, the
// last exactly 1.
std::vector<double> cumulative(const double* row, std::size_t n) {
    std::vector<double> c(n);
    double run = 0.0;
    for (std::size_t i = 0; i < n; ++i) c[i] = run += row[i];
    for (double& v : c) v /= run;
    return c;
}

TEST(table_files, written_sets_load_at_their_stored_width) {
    scratch_dir dir;
    debug_log_capture log(dir.path("debug.log"));
    const std::string prefix = join_dir(dir.path("tables"));

    write_table_set(table_kind::single, prefix, {}, 1);
    const generated_set single = homogeneous_single_set();
    std::vector<double> gft_is(table_value_count(table_kind::single, table_family::gft_is));
    std::vector<double> wvt(3);
    read_single_gft_is(gft_is.data(), table_file_path(table_kind::single, table_family::gft_is, prefix, {}));
    read_single_wvt_is(wvt.data(), table_file_path(table_kind::single, table_family::wvt_is, prefix, {}));
    for (std::size_t axis = 0; axis < 3; ++axis) {
        EXPECT_DOUBLE_EQ(wvt[axis], single.wvt_is[axis]);
        const std::vector<double> c = cumulative(&single.gft_is[axis * panels_31], panels_31);
        for (std::size_t i = 0; i < panels_31; ++i) ASSERT_NEAR(gft_is[axis * panels_31 + i], c[i], 1e-15);
        EXPECT_EQ(gft_is[(axis + 1) * panels_31 - 1], 1.0);
    }

    const std::vector<double> key = {1.0, 3.9};
    write_table_set(table_kind::pair, prefix, key, 4);
    const generated_set pair = generate_table_set(table_kind::pair, key, 4);
    std::vector<float> pair_gft_is(table_value_count(table_kind::pair, table_family::gft_is));
    std::vector<float> pair_wvt(table_value_count(table_kind::pair, table_family::wvt_is));
    read_pair_gft_is(pair_gft_is.data(), table_file_path(table_kind::pair, table_family::gft_is, prefix, key));
    read_pair_wvt_is(pair_wvt.data(), table_file_path(table_kind::pair, table_family::wvt_is, prefix, key));
    for (std::size_t i = 0; i < pair_wvt.size(); ++i) EXPECT_FLOAT_EQ(pair_wvt[i], float(pair.wvt_is[i]));
    for (std::size_t r : {0, 44, 89}) {
        const std::vector<double> c = cumulative(&pair.gft_is[r * panels_31], panels_31);
        for (std::size_t i = 0; i < panels_31; ++i) ASSERT_NEAR(pair_gft_is[r * panels_31 + i], c[i], 1e-5);  // float running sums
    }

    const std::vector<double> key4 = {2.0, 1.0, 3.0, 1.5};
    write_table_set(table_kind::four_layer, prefix, key4, 4);
    std::vector<float> four(table_value_count(table_kind::four_layer, table_family::gft));
    load_four_layer_gft(four.data(), table_file_path(table_kind::four_layer, table_family::gft, prefix, key4));
    for (std::size_t r = 0; r < 455; ++r) EXPECT_EQ(four[(r + 1) * panels_32 - 1], 1.0f);

    const std::string text = log.text();
    EXPECT_EQ(count_of(text, "table type matched."), 5u) << text;
    EXPECT_EQ(count_of(text, "not matched"), 0u) << text;
}

TEST(table_files, a_run_finds_every_set_it_loads_and_present_files_are_kept) {
    scratch_dir dir;
    debug_log_capture log(dir.path("debug.log"));
    configure cfg;
    cfg.multi_dielectric = configure::layout_four;
    cfg.table_single = dir.path("single");
    cfg.table_twolyr = dir.path("two");
    cfg.table_mullyr = dir.path("multi");
    layer_stack stack;
    build_layer_stack(stack, {{0.0, 1.0, 3.9}, {1.0, 2.0, 2.5}, {2.0, 3.0, 7.0}, {3.0, 4.0, 3.9}});

    const std::vector<table_request> plan = planned_tables(cfg, stack);
    // Single, three pair and three h-pair sets, two triple sets, one
    // four-layer set.
    ASSERT_EQ(plan.size(), 10u);
    const table_run_summary first = write_table_sets(plan, 4);
    EXPECT_EQ(first.written, 10);
    EXPECT_EQ(first.kept, 0);

    table_store store;
    load_tables(store, cfg, stack);
    EXPECT_EQ(store.pair_list.size(), 3u);
    EXPECT_EQ(store.h_pair_list.size(), 3u);
    EXPECT_EQ(store.triple_list.size(), 2u);
    EXPECT_EQ(store.four_layer_list.size(), 1u);
    const std::string text = log.text();
    EXPECT_EQ(count_of(text, "not matched"), 0u);

    // A file cut short is made again; the others stay.
    const std::string cut = table_file_path(table_kind::triple, table_family::gft, join_dir(cfg.table_mullyr),
                                            {2.5, 7.0, 3.9});
    std::filesystem::resize_file(cut, 1000);
    const table_run_summary second = write_table_sets(plan, 4);
    EXPECT_EQ(second.written, 1);
    EXPECT_EQ(second.kept, 9);
    EXPECT_EQ(std::filesystem::file_size(cut), table_header_bytes(table_kind::triple) +
                                                   table_value_count(table_kind::triple, table_family::gft) * 4);
}

std::string geometry(const std::string& diel_lo, const std::string& diel_hi) {
    return "<lumod>\n<window> v1 (-8, -8, 0) v2 (8, 8, 2) dirichlet </window>\n"
           "<medium> name lo <block> basepoint (-8, -8, 0) v1 (16, 0, 0) v2 (0, 16, 0) hvector (0, 0, 1) </block>"
           " diel " + diel_lo + " </medium>\n"
           "<medium> name hi <block> basepoint (-8, -8, 1) v1 (16, 0, 0) v2 (0, 16, 0) hvector (0, 0, 1) </block>"
           " diel " + diel_hi + " </medium>\n"
           "<conductor> name w <block> basepoint (-1, -1, 0.5) v1 (2, 0, 0) v2 (0, 2, 0) hvector (0, 0, 0.2) "
           "</block> </conductor>\n</lumod>\n";
}

TEST(table_files, program_writes_the_sets_of_a_geometry_file) {
    scratch_dir dir;
    dir.write("case.lumod", geometry("3.9", "2.2"));
    const std::vector<std::string> args = {"-j", "2", "-f", "case.lumod", "--multi-dielectric", "two",
                                           "--pair", "1", "5"};
    const korvex_test::binary_run first = korvex_test::run_binary(KORVEX_TABLES_BINARY, args, dir.root.string());
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("written: tables/IS/binary/MULTI/GFT/NumGFT3.9_2.2_31.db\n"), std::string::npos)
        << first.out;
    EXPECT_NE(first.out.find("written: tables/IS/binary/MULTI/GFT/hNumGFT3.9_2.2_31.db\n"), std::string::npos);
    EXPECT_NE(first.out.find("written: tables/IS/binary/MULTI/GFT/NumGFT1_5_31.db\n"), std::string::npos);
    EXPECT_NE(first.out.find("korvex-tables: 4 sets written, 0 already present\n"), std::string::npos);
    EXPECT_TRUE(dir.exists("tables/IS/binary/SINGLE/single_WVT_IS_31.db"));
    EXPECT_FALSE(dir.exists("case.lumod.out"));

    const korvex_test::binary_run again = korvex_test::run_binary(KORVEX_TABLES_BINARY, args, dir.root.string());
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("korvex-tables: 0 sets written, 4 already present\n"), std::string::npos) << again.out;

    const korvex_test::binary_run bad =
        korvex_test::run_binary(KORVEX_TABLES_BINARY, {"--triple", "1", "2"}, dir.root.string());
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("--triple needs 3 permittivities"), std::string::npos) << bad.err;
    const korvex_test::binary_run negative =
        korvex_test::run_binary(KORVEX_TABLES_BINARY, {"--pair", "1", "-2"}, dir.root.string());
    EXPECT_EQ(negative.status, 1);
}

} // namespace
