// Files written by the generator load through the program's own readers at
// their stored width, and korvex-tables writes exactly what a run loads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "tests/run_binary.hpp"
#include "tools/tablegen/table_generator.hpp"
#include "transition_tables/table_header.hpp"
#include "transition_tables/table_reader.hpp"
#include "transition_tables/table_store.hpp"

namespace {

using korvex_test::binary_run;
using korvex_test::run_binary;
using korvex_test::scratch_dir;

// Everything the debug log writer says during the test.
class debug_log_capture {
public:
    debug_log_capture() { rebuild_log_writers(log_debug, {file, file, stderr, stderr}); }
    ~debug_log_capture() {
        rebuild_log_writers(log_off, {stdout, stdout, stderr, stderr});
        std::fclose(file);
    }
    std::string text() {
        log_debug_w().flush();
        std::rewind(file);
        std::string s;
        for (int c; (c = std::fgetc(file)) != EOF;) s += char(c);
        return s;
    }

private:
    std::FILE* file = std::tmpfile();
};

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t count_of(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

// Row r of values as the readers leave it: running sums of the absolute
// values over the total, each with its value's sign. (The 32-bit sets are
// checked through load_tables below.)
std::vector<double> cumulative(const std::vector<double>& values, std::size_t r, std::size_t n) {
    std::vector<double> c(n);
    double run = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        run += std::fabs(values[r * n + i]);
        c[i] = values[r * n + i] < 0 ? -run : run;
    }
    for (double& v : c) v /= run;
    return c;
}

TEST(table_files, written_sets_load_at_their_stored_width) {
    scratch_dir dir;
    debug_log_capture log;
    const std::string prefix = join_dir(dir.path("tables"));
    auto path = [&](table_kind k, table_family f, const std::vector<double>& key) {
        return table_file_path(k, f, prefix, key);
    };

    write_table_set(table_kind::single, prefix, {}, 1);
    const generated_set single = homogeneous_single_set();
    std::vector<double> gft_is(3 * panels_31), wvt(3);
    read_single_gft_is(gft_is.data(), path(table_kind::single, table_family::gft_is, {}));
    read_single_wvt_is(wvt.data(), path(table_kind::single, table_family::wvt_is, {}));
    for (std::size_t axis = 0; axis < 3; ++axis) {
        EXPECT_DOUBLE_EQ(wvt[axis], single.wvt_is[axis]);
        const std::vector<double> c = cumulative(single.gft_is, axis, panels_31);
        for (std::size_t i = 0; i < panels_31; ++i) ASSERT_NEAR(gft_is[axis * panels_31 + i], c[i], 1e-15);
    }

    const std::string text = log.text();
    EXPECT_EQ(count_of(text, "table type matched."), 2u) << text;
    EXPECT_EQ(count_of(text, "not matched"), 0u) << text;
}

TEST(table_files, a_run_loads_every_planned_set_and_present_files_are_kept) {
    scratch_dir dir;
    debug_log_capture log;
    configure cfg;
    cfg.multi_dielectric = configure::layout_four;
    cfg.table_single = dir.path("single");
    cfg.table_twolyr = dir.path("two");
    cfg.table_mullyr = dir.path("multi");
    layer_stack stack;
    build_layer_stack(stack, {{0.0, 1.0, 3.9}, {1.0, 2.0, 2.5}, {2.0, 3.0, 7.0}, {3.0, 4.0, 3.9}});

    // Single, three pair, three h-pair, two triple and one four-layer set.
    const std::vector<table_request> plan = planned_tables(cfg, stack);
    const table_run_summary first = write_table_sets(plan, 4);
    EXPECT_EQ(first.written, 10);
    table_store store;
    load_tables(store, cfg, stack);
    EXPECT_EQ(store.four_layer_list.size(), 1u);
    // Every generated first-hop row is signed.
    for (unsigned char f : store.single.gft_is_signed) EXPECT_EQ(f, 1);
    EXPECT_EQ(store.pair_list[0]->gft_is_signed, std::vector<unsigned char>(90, 1));
    EXPECT_EQ(store.triple_list[1]->gft_is_signed, std::vector<unsigned char>(315, 1));
    EXPECT_EQ(count_of(log.text(), "table type matched."), 28u);
    EXPECT_EQ(count_of(log.text(), "not matched"), 0u);

    // A file cut short is made again; the others stay.
    const std::string cut =
        table_file_path(table_kind::triple, table_family::gft, join_dir(cfg.table_mullyr), {2.5, 7.0, 3.9});
    std::filesystem::resize_file(cut, 1000);
    const table_run_summary second = write_table_sets(plan, 4);
    EXPECT_EQ(second.written, 1);
    EXPECT_EQ(second.kept, 9);
    EXPECT_EQ(std::filesystem::file_size(cut), 28 + 105 * panels_32 * 4);

    // Every header says what its file holds; the single set's files have none.
    for (const table_request& r : plan) {
        for (table_family f : {table_family::gft_is, table_family::gft, table_family::wvt_is}) {
            const std::size_t count = table_value_count(r.kind, f);
            if (count == 0) continue;
            const std::string path = table_file_path(r.kind, f, r.prefix, r.key);
            const std::string bytes = file_bytes(path);
            const std::size_t header = table_header_bytes(r.kind);
            ASSERT_EQ(bytes.size(), header + count * table_stored_width(r.kind)) << path;
            if (header == 0) continue;
            table_header h;
            ASSERT_EQ(decode_table_header(reinterpret_cast<const unsigned char*>(bytes.data()), header, h),
                      header_state::marked) << path;
            EXPECT_EQ(h.holds.kind, r.kind);
            EXPECT_EQ(h.holds.family, f);
            EXPECT_EQ(h.holds.width, 4u);
            EXPECT_EQ(h.holds.count, count);
            ASSERT_EQ(h.holds.key.size(), r.key.size());
            for (std::size_t i = 0; i < r.key.size(); ++i) EXPECT_EQ(h.holds.key[i], double(float(r.key[i])));
            EXPECT_EQ(h.digest, digest_of_values(bytes.data() + header, bytes.size() - header)) << path;
        }
    }
    // The stored layout: mark, pair GFT (kind 2 | family 1 << 3), 172980 values.
    const std::string pair_gft =
        table_file_path(table_kind::pair, table_family::gft, join_dir(cfg.table_twolyr), {3.9, 2.5});
    EXPECT_EQ(file_bytes(pair_gft).substr(0, 8), std::string("KVT1\x0a\xb4\xa3\x02", 8));

    // A marked file that is not what its name says (the set of the other
    // layer order) is made again; an unmarked one is kept as it stands.
    std::filesystem::copy_file(
        table_file_path(table_kind::pair, table_family::gft, join_dir(cfg.table_twolyr), {2.5, 7.0}), pair_gft,
        std::filesystem::copy_options::overwrite_existing);
    const std::string unmarked =
        table_file_path(table_kind::h_pair, table_family::gft, join_dir(cfg.table_twolyr), {3.9, 2.5});
    std::string zeroed = file_bytes(unmarked);
    zeroed.replace(0, 24, std::string(24, '\0'));
    std::FILE* f = std::fopen(unmarked.c_str(), "wb");
    std::fwrite(zeroed.data(), 1, zeroed.size(), f);
    std::fclose(f);
    const table_run_summary third = write_table_sets(plan, 4);
    EXPECT_EQ(third.written, 1);
    EXPECT_EQ(third.kept, 9);
    EXPECT_TRUE(table_file_serves(table_kind::pair, table_family::gft, pair_gft));
    EXPECT_EQ(file_bytes(unmarked), zeroed);
}

TEST(table_files, program_writes_the_sets_of_a_geometry_file) {
    scratch_dir dir;
    dir.write("case.lumod",
              "<lumod>\n<window> v1 (-8, -8, 0) v2 (8, 8, 2) dirichlet </window>\n"
              "<medium> name lo <block> basepoint (-8, -8, 0) v1 (16, 0, 0) v2 (0, 16, 0) hvector (0, 0, 1) "
              "</block> diel 3.9 </medium>\n"
              "<medium> name hi <block> basepoint (-8, -8, 1) v1 (16, 0, 0) v2 (0, 16, 0) hvector (0, 0, 1) "
              "</block> diel 2.2 </medium>\n"
              "<conductor> name w <block> basepoint (-1, -1, 0.5) v1 (2, 0, 0) v2 (0, 2, 0) hvector (0, 0, 0.2) "
              "</block> </conductor>\n</lumod>\n");
    const std::vector<std::string> args = {"-j", "2", "-f", "case.lumod", "--multi-dielectric", "two", "--pair", "1", "5"};
    const binary_run first = run_binary(KORVEX_TABLES_BINARY, args, dir.root.string());
    EXPECT_EQ(first.status, 0) << first.err;
    for (const char* line : {"written: tables/IS/binary/MULTI/GFT/NumGFT3.9_2.2_31.db\n",
                             "written: tables/IS/binary/MULTI/GFT/hNumGFT3.9_2.2_31.db\n",
                             "written: tables/IS/binary/MULTI/GFT/NumGFT1_5_31.db\n",
                             "korvex-tables: 4 sets written, 0 already present\n"})
        EXPECT_NE(first.out.find(line), std::string::npos) << first.out;
    EXPECT_TRUE(dir.exists("tables/IS/binary/SINGLE/single_WVT_IS_31.db"));
    EXPECT_FALSE(dir.exists("case.lumod.out"));

    const binary_run again = run_binary(KORVEX_TABLES_BINARY, args, dir.root.string());
    EXPECT_NE(again.out.find("korvex-tables: 0 sets written, 4 already present\n"), std::string::npos) << again.out;

    const binary_run short_key = run_binary(KORVEX_TABLES_BINARY, {"--triple", "1", "2"}, dir.root.string());
    EXPECT_EQ(short_key.status, 1);
    EXPECT_NE(short_key.err.find("--triple needs 3 permittivities"), std::string::npos) << short_key.err;
    EXPECT_EQ(run_binary(KORVEX_TABLES_BINARY, {"--pair", "1", "-2"}, dir.root.string()).status, 1);
}

// Refusals end with "Fatal error:" and status 255, never an abort: a layer
// permittivity that is not positive, and equal-slab and four-layer sets of
// one key whose hop rows would share a file name (both when asked together
// and when the other kind's file is already there).
TEST(table_files, program_refuses_keys_and_shared_file_names) {
    scratch_dir dir;
    dir.write("negative.lumod",
              "<lumod>\n<medium> <block> basepoint (-8, -8, 0) v1 (16, 0, 0) v2 (0, 16, 0) hvector (0, 0, 1) "
              "</block> diel -3.9 </medium>\n"
              "<medium> <block> basepoint (-8, -8, 1) v1 (16, 0, 0) v2 (0, 16, 0) hvector (0, 0, 1) "
              "</block> diel 2.2 </medium>\n"
              "<conductor> name w <block> basepoint (-1, -1, 0.5) v1 (2, 0, 0) v2 (0, 2, 0) hvector (0, 0, 0.2) "
              "</block> </conductor>\n</lumod>\n");
    const std::string shared = "\"tables/IS/binary/MULTI/GFT4/NumGFT1_2_3_4_32.db\"";
    struct refusal {
        std::vector<std::string> args;
        std::string message;
    };
    const refusal refusals[] = {
        {{"-f", "negative.lumod", "--multi-dielectric", "two"}, "Fatal error: "},
        {{"--four-layer", "1", "2", "3", "4", "--equal-slab", "1", "2", "3", "4"},
         "Fatal error: the four-layer and equal-slab sets (1, 2, 3, 4) would share the file " + shared},
        {{"--equal-slab", "1", "2", "3", "4"},  // after the four-layer set below
         "Fatal error: " + shared + " holds a four-layer table; the equal-slab set (1, 2, 3, 4) needs a different "
         "table directory"},
    };
    for (const refusal& r : refusals) {
        if (&r == &refusals[2]) {
            ASSERT_EQ(run_binary(KORVEX_TABLES_BINARY, {"--four-layer", "1", "2", "3", "4"}, dir.root.string()).status, 0);
        }
        const binary_run run = run_binary(KORVEX_TABLES_BINARY, r.args, dir.root.string(), "/dev/null", 60);
        EXPECT_EQ(run.status, 255) << r.args[0] << run.err;
        EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
    }
    // Distinct directories keep both kinds.
    EXPECT_EQ(run_binary(KORVEX_TABLES_BINARY, {"--equal-slab", "1", "2", "3", "4", "--table-approx", "slabs"},
                         dir.root.string()).status, 0);
    EXPECT_TRUE(dir.exists("slabs/IS/binary/MULTI/GFT4/NumGFT1_2_3_4_32.db"));
}

} // namespace
