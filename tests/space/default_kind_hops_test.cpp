// End to end on a sparse layout: walks under the default space manager take
// about as many hops as under octree-none, whose cells grow where blocks are
// sparse. Hops per walk, not time, so that a loaded machine cannot fail it.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/generated_tables.hpp"
#include "tests/run_binary.hpp"

namespace {

using korvex_test::binary_run;
using korvex_test::run_korvex;
using korvex_test::scratch_dir;

// A unit cube alone in one medium without a window section: the window is
// grown hundreds of cube sides around it. The end-to-end bench runs it too.
const std::string lone_cube = std::string(KORVEX_SOURCE_DIR) + "/tests/space/sparse_cube.lumod";

double hops_per_walk(const scratch_dir& dir, const std::string& tables, const std::string& kind) {
    std::vector<std::string> args = {"-f", lone_cube, "-p", "0.05", "-o", dir.path(kind + ".out"),
                                     "--spacemgr-type", kind};
    for (const std::string& t : korvex_test::table_options(tables)) args.push_back(t);
    const binary_run r = run_korvex(args, dir.root.string(), "/dev/null", 120);
    EXPECT_EQ(r.status, 0) << kind << ": " << r.err;
    std::smatch m;
    if (!std::regex_search(r.out, m, std::regex(R"(has run \d+ walks \(([0-9.]+) hops/walk\))"))) {
        ADD_FAILURE() << kind << " printed no walk summary: " << r.out;
        return 0;
    }
    return std::stod(m[1]);
}

TEST(default_space_manager, hops_per_walk_on_a_sparse_layout_stay_near_octree_none) {
    scratch_dir dir;
    const std::string tables = korvex_test::make_tables(dir);
    const double octree = hops_per_walk(dir, tables, "octree-none");
    const double hybrid = hops_per_walk(dir, tables, "hybrid-none");
    ASSERT_GT(octree, 0);
    EXPECT_LE(hybrid / octree, 1.1) << hybrid << " against " << octree;
}

}  // namespace
