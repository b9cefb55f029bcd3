// Table files as the readers see them, and which sets each dielectric mode
// selects and loads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "config/configure.hpp"
#include "foundation/errors.hpp"
#include "geometry/layer_stack.hpp"
#include "tests/run_binary.hpp"
#include "transition_tables/ratio_grid.hpp"
#include "transition_tables/table_plan.hpp"
#include "transition_tables/table_reader.hpp"
#include "transition_tables/table_selection.hpp"
#include "transition_tables/table_store.hpp"
#include "tests/ends_run.hpp"

using korvex_test::scratch_dir;

namespace {

template <class T>
std::string write_values(const scratch_dir& dir, const std::string& name, std::size_t header,
                         const std::vector<T>& values) {
    std::string bytes(header, 'h');
    bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    return dir.write(name, bytes);
}

// Rows whose panel p holds 1 + p % 3 (every row has mass).
template <class T>
std::vector<T> patterned(std::size_t n) {
    std::vector<T> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = T(1 + i % 3);
    return v;
}

std::string error_text(const std::function<void()>& f) {
    try {
        f();
    } catch (const sea::file_error& e) {
        return e.what();
    }
    return "no error";
}

layer_stack stack_of(const std::vector<double>& eps) {
    layer_stack s;
    s.permittivity.assign(layer_guard_permittivities, 0.0);
    for (double e : eps) s.permittivity.push_back(e);
    s.permittivity.insert(s.permittivity.end(), layer_guard_permittivities, 0.0);
    s.interface_z.assign(eps.size() + 11, 0.0);
    return s;
}

configure mode(configure::layout_arg m) {
    configure c;
    c.multi_dielectric = m;
    c.table_single = "s";
    c.table_twolyr = "two/";
    c.table_mullyr = "multi";
    c.table_approx = "approx";
    return c;
}

std::size_t count_kind(const std::vector<table_request>& plan, table_kind k) {
    std::size_t n = 0;
    for (const auto& r : plan) n += r.kind == k;
    return n;
}

} // namespace

TEST(TableReader, BothWidthsGiveTheSameCumulativeRows) {
    scratch_dir dir;
    const auto doubles = patterned<double>(17298);
    const auto floats = patterned<float>(17298);
    std::vector<double> a(17298), b(17298);
    read_single_gft_is(a.data(), write_values(dir, "d.db", 0, doubles));
    read_single_gft_is(b.data(), write_values(dir, "f.db", 0, floats));
    EXPECT_EQ(a, b);
    // Rows of 5766 panels: 1, 2, 3, 1, ... cumulative over a total of 11532.
    EXPECT_DOUBLE_EQ(a[0], 1.0 / 11532);
    EXPECT_DOUBLE_EQ(a[2], 6.0 / 11532);
    for (std::size_t row = 1; row <= 3; ++row) EXPECT_EQ(a[row * 5766 - 1], 1.0);

    // A float set read from doubles is rounded to float.
    std::vector<float> pair(518940);
    read_pair_gft_is(pair.data(), write_values(dir, "p.db", 24, patterned<double>(518940)));
    EXPECT_FLOAT_EQ(pair[1], 3.0f / 11532);
    EXPECT_EQ(pair[5765], 1.0f);
}

TEST(TableReader, RowsEndInExactlyOneAndWeightsAreAbsolute) {
    scratch_dir dir;
    // A row 1, 1, 2, 0, ... becomes 0.25, 0.5, 1, ... with the last entry 1.
    std::vector<float> row(6144 * 3, 0.0f);
    for (int r = 0; r < 3; ++r) {
        row[r * 6144] = 1;
        row[r * 6144 + 1] = 1;
        row[r * 6144 + 2] = 2;
        // Thousands of tiny entries whose float running sum is not exactly 1.
        for (int i = 3; i < 6144; ++i) row[r * 6144 + i] = 1e-7f * float(i % 7);
    }
    std::vector<float> got(row.size());
    read_h_pair_gft_is(got.data(), write_values(dir, "h.db", 24, row));
    EXPECT_EQ(got[6143], 1.0f);
    EXPECT_EQ(got[2 * 6144 - 1], 1.0f);
    EXPECT_NEAR(got[0], 0.25f, 1e-3);
    EXPECT_NEAR(got[1], 0.5f, 1e-3);

    std::vector<float> w(3);
    read_h_pair_wvt_is(w.data(), write_values(dir, "w.db", 24, std::vector<float>{-0.7f, 0.2f, 3.0f}));
    EXPECT_EQ(w, (std::vector<float>{0.7f, 0.2f, 3.0f}));
}

// A first-hop row with a negative value is cumulative over the absolute
// values and keeps each panel's sign on its entry; a row without one is
// read as before and flagged for the landing-side rule.
TEST(TableReader, SignedFirstHopRowsKeepTheirPanelSigns) {
    scratch_dir dir;
    std::vector<double> rows = patterned<double>(17298);
    rows[1] = -2;                 // row 0: 1, -2, 3, 1, ...
    rows[2 * 5766 - 1] = -1;      // row 1 ends on a negative panel
    std::vector<double> got(17298);
    read_single_gft_is(got.data(), write_values(dir, "s.db", 0, rows));
    EXPECT_DOUBLE_EQ(got[0], 1.0 / 11532);
    EXPECT_DOUBLE_EQ(got[1], -3.0 / 11532);
    EXPECT_DOUBLE_EQ(got[2], 6.0 / 11532);
    EXPECT_EQ(got[5766 - 1], 1.0);
    EXPECT_EQ(got[2 * 5766 - 1], -1.0);
    EXPECT_EQ(got[3 * 5766 - 1], 1.0);
    unsigned char flags[3] = {9, 9, 9};
    mark_signed_rows(got.data(), got.size(), 5766, flags);
    EXPECT_EQ(flags[0], 1);
    EXPECT_EQ(flags[1], 1);
    EXPECT_EQ(flags[2], 0);
}

TEST(TableReader, BadFilesEndTheLoadWithTheirMessages) {
    scratch_dir dir;
    std::vector<double> dest(17298);
    std::vector<float> fdest(18432);
    const std::string long_by_one = write_values(dir, "a.db", 0, patterned<double>(17298));
    {
        std::string bytes = dir.read("a.db");
        bytes.push_back('x');
        dir.write("a.db", bytes);
    }
    EXPECT_EQ(error_text([&] { read_single_gft_is(dest.data(), long_by_one); }),
              "incorrect table file size. (" + long_by_one + ")\n");
    // The header is part of the size: a file without it matches neither width.
    const std::string headless = write_values(dir, "b.db", 0, patterned<float>(18432));
    EXPECT_EQ(error_text([&] { read_equal_slab_gft_is(fdest.data(), headless); }),
              "incorrect table file size. (" + headless + ")\n");
    // The open error names the file, then gives its whole path.
    const std::string missing = dir.path("MULTI/GFT/NumGFT_IS1_2.2_31.db");
    EXPECT_EQ(error_text([&] { read_pair_gft_is(fdest.data(), missing); }),
              "cannot open \"NumGFT_IS1_2.2_31.db\", please register correct GFT/WVTs (" + missing + ")\n");
    // A row without mass is refused instead of turning into NaN.
    const std::string empty_row = write_values(dir, "z.db", 36, std::vector<float>(18432, 0.0f));
    EXPECT_EQ(error_text([&] { read_equal_slab_gft_is(fdest.data(), empty_row); }),
              "table row without probability mass in \"z.db\".\n");
}

TEST(TablePaths, NamesPrefixesAndSizes) {
    EXPECT_EQ(join_dir(""), "");
    EXPECT_EQ(join_dir("t/"), "t/");
    EXPECT_EQ(join_dir("t"), "t/");
    EXPECT_EQ(table_file_path(table_kind::single, table_family::gft_is, "", {}), "IS/binary/SINGLE/single_GFT_IS_31.db");
    EXPECT_EQ(table_file_path(table_kind::pair, table_family::wvt_is, "d/", {1.0, 2.2}),
              "d/IS/binary/MULTI/WVT/NumWVT_IS1_2.2_31.db");
    EXPECT_EQ(table_file_path(table_kind::h_pair, table_family::gft, "", {1.0, 0.021627653136005866}),
              "IS/binary/MULTI/GFT/hNumGFT1_0.0216277_31.db");
    EXPECT_EQ(table_file_path(table_kind::triple, table_family::gft_is, "", {1, 2, 3}),
              "IS/binary/MULTI/GFT3/NumGFT_IS1_2_3_32.db");
    EXPECT_EQ(table_file_path(table_kind::four_layer, table_family::gft, "", {1, 2, 3, 4}),
              "IS/binary/MULTI/GFT4/NumGFT1_2_3_4_32.db");
    EXPECT_EQ(table_header_bytes(table_kind::triple) + 4 * table_value_count(table_kind::triple, table_family::gft),
              28u + 2580480u);
    EXPECT_EQ(table_value_count(table_kind::four_layer, table_family::wvt_is), 0u);
}

TEST(TableSelection, EachModeLoadsItsSetsOncePerDistinctKey) {
    const auto one = planned_tables(mode(configure::layout_four), stack_of({3.9}));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].prefix, "s/");

    const auto two = planned_tables(mode(configure::layout_two), stack_of({1, 2, 3}));
    EXPECT_EQ(count_kind(two, table_kind::pair), 2u);
    EXPECT_EQ(count_kind(two, table_kind::h_pair), 2u);
    EXPECT_EQ(two.size(), 5u);
    EXPECT_EQ(two[1].prefix, "two/");
    EXPECT_EQ(two[2].key, (std::vector<double>{2, 3}));

    const auto four = planned_tables(mode(configure::layout_four), stack_of({1, 2, 3, 4}));
    EXPECT_EQ(count_kind(four, table_kind::triple), 2u);
    EXPECT_EQ(count_kind(four, table_kind::four_layer), 1u);
    EXPECT_EQ(four.back().prefix, "multi/");

    // Three neighbouring interfaces share a cube only on boundaries c1 < c2
    // < c3 of its 16 cells: gaps in the ratio (c2 - c1) : (c3 - c2), which
    // add up to at most 14, within the snapping tolerance.
    const struct {
        double below, above;
        bool shared;
    } gaps[] = {{0.4, 0.4, true}, {0.3, 0.5, true}, {1.0, 13.0, true}, {1.0, 14.0, false}, {0.31, 0.49, false}};
    for (const auto& g : gaps) {
        EXPECT_EQ(gaps_share_a_division(g.below, g.above), g.shared) << g.below << " " << g.above;
        layer_stack s = stack_of({1, 2, 3, 4});
        const double heights[] = {0.0, 1.0, 1.0 + g.below, 1.0 + g.below + g.above, 20.0};
        for (int k = 0; k < 5; ++k) s.interface_z[layer_guard_permittivities + k] = heights[k];
        const table_selection sel = select_tables(mode(configure::layout_four), s);
        EXPECT_EQ(sel.four_layer_left_out, !g.shared);
        const auto plan = planned_tables(mode(configure::layout_four), s);
        EXPECT_EQ(count_kind(plan, table_kind::four_layer), g.shared ? 1u : 0u);
    }

    // Repeating neighbours load once; the lists still hold one entry per interface.
    const table_selection rep = select_tables(mode(configure::layout_four), stack_of({1, 4, 1, 4}));
    const auto rep_plan = planned_tables(mode(configure::layout_four), stack_of({1, 4, 1, 4}));
    EXPECT_EQ(count_kind(rep_plan, table_kind::pair), 2u);
    EXPECT_EQ(count_kind(rep_plan, table_kind::triple), 2u);
    EXPECT_EQ(rep.uses.size(), 1u + 3 + 3 + 2 + 1);
}

TEST(TableSelection, ApproxModeSlabKeysAndGridOnlyForStrongContrast) {
    const table_selection mild = select_tables(mode(configure::layout_approx), stack_of({1.0, 1.4, 2.0}));
    EXPECT_EQ(mild.uses.size(), 1u + 2662u);
    const auto mild_plan = planned_tables(mode(configure::layout_approx), stack_of({1.0, 1.4, 2.0}));
    EXPECT_EQ(count_kind(mild_plan, table_kind::equal_slab), 2541u);
    EXPECT_EQ(mild_plan[1].prefix, "approx/");

    const auto strong = planned_tables(mode(configure::layout_approx), stack_of({1.0, 1.6}));
    EXPECT_EQ(count_kind(strong, table_kind::pair), 2u);
    EXPECT_EQ(count_kind(strong, table_kind::h_pair), 2u);
    EXPECT_EQ(strong.back().prefix, "approx/");
}

TEST(RatioGrid, CellsWeightsAndPositions) {
    fill_geometric_ratio_grid();
    EXPECT_DOUBLE_EQ(ratio_grid[1], 0.021627653136005866);
    EXPECT_DOUBLE_EQ(ratio_grid[49], 0.9247420362361871);
    EXPECT_EQ(ratio_grid[50], 1.0);

    // 2 over 1: r = 0.5 in cell 42 with a positive weight.
    table_selection s = select_tables(mode(configure::layout_approx2), stack_of({2.0, 1.0}));
    ASSERT_EQ(s.interface_weight.size(), 1u);
    EXPECT_GT(s.interface_weight[0], 0.0);
    EXPECT_EQ(s.uses[1].key.v[1], ratio_grid[41]);
    EXPECT_EQ(s.uses[2].key.v[1], ratio_grid[42]);
    EXPECT_EQ(s.uses.size(), 5u);  // single, two pair, two h-pair

    // 1 below 4: inverted to 0.25, negative weight.
    s = select_tables(mode(configure::layout_approx2), stack_of({1.0, 4.0}));
    EXPECT_LT(s.interface_weight[0], 0.0);

    // Ratios 0.5, 2, 0.5 share one cell: one pair of sets, every position 0.
    s = select_tables(mode(configure::layout_approx2), stack_of({2.0, 1.0, 2.0, 1.0}));
    EXPECT_EQ(s.interface_table_pos, (std::vector<int64_t>{0, 0, 0}));
    EXPECT_LT(s.interface_weight[1], 0.0);
    EXPECT_EQ(s.uses.size(), 5u);

    // 49.9 lands in cell 0; the arithmetic grid puts (0.98, 1] in cell 49.
    s = select_tables(mode(configure::layout_approx2), stack_of({49.9, 1.0}));
    EXPECT_FALSE(s.ratio_refused);
    EXPECT_EQ(s.uses[1].key.v[1], 0.02);
    s = select_tables(mode(configure::layout_approx2_es), stack_of({1.0, 0.99}));
    EXPECT_EQ(ratio_grid[49], 1.0000000000000004);
    EXPECT_EQ(s.uses[2].key.v[1], ratio_grid[49]);
    EXPECT_EQ(table_file_path(table_kind::pair, table_family::gft, "", s.uses[2].key.values()),
              "IS/binary/MULTI/GFT/NumGFT1_1_31.db");
}

TEST(RatioGridDeathTest, RatioOfFiftyEndsTheRunWithStatusOne) {
    EXPECT_EXIT(korvex_test::ending_as_the_program([] { planned_tables(mode(configure::layout_approx2), stack_of({50.0, 1.0})); }),
                ::testing::ExitedWithCode(1), "");
}

TEST(TableStore, LoadsEachDistinctKeyOnceAndListsEveryInterface) {
    scratch_dir dir;
    configure c = mode(configure::layout_two);
    c.table_single = dir.path("t");
    c.table_twolyr = dir.path("t");
    const layer_stack s = stack_of({1, 4, 1, 4});
    for (const table_request& r : planned_tables(c, s))
        for (table_family f : {table_family::gft_is, table_family::gft, table_family::wvt_is}) {
            const std::size_t n = table_value_count(r.kind, f);
            const std::string path = table_file_path(r.kind, f, r.prefix, r.key);
            const std::string rel = path.substr(dir.root.string().size() + 1);
            // Hop rows sum to 1 and each weight is its first-hop row's mass.
            const std::size_t row = table_row_length(r.kind);
            const double mass = double(row / 3 * 6);
            std::vector<double> v = f == table_family::wvt_is ? std::vector<double>(n, mass) : patterned<double>(n);
            if (f == table_family::gft)
                for (double& x : v) x /= mass;
            if (r.kind == table_kind::single)
                write_values(dir, rel, 0, v);
            else
                write_values(dir, rel, table_header_bytes(r.kind), std::vector<float>(v.begin(), v.end()));
        }
    table_store store;
    load_tables(store, c, s);
    ASSERT_EQ(store.pair_list.size(), 3u);
    EXPECT_EQ(store.pair_tables.size(), 2u);
    EXPECT_EQ(store.pair_list[0], store.pair_list[2]);
    EXPECT_NE(store.pair_list[0], store.pair_list[1]);
    EXPECT_EQ(store.h_pair_list.size(), 3u);
    EXPECT_EQ(store.single.gft[5765], 1.0);
    EXPECT_EQ(store.pair_list[1]->wvt_is.size(), 90u);
}
