// Malformed and extreme geometry files through the built programs: each
// ends within its time limit, either refused with a message that names what
// is wrong or extracted to a finite positive capacitance.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/extraction/physics_harness.hpp"
#include "tests/generated_tables.hpp"
#include "tests/run_binary.hpp"

using korvex_test::binary_run;
using korvex_test::scratch_dir;

namespace {

std::string box_text(double x, double y, double z, double dx, double dy, double dz) {
    // Short numbers: the scanner takes an exponent only after an integer.
    char s[512];
    std::snprintf(s, sizeof s, "basepoint (%g, %g, %g) v1 (%g, 0, 0) v2 (0, %g, 0) hvector (0, 0, %g)", x, y, z, dx, dy,
                  dz);
    return s;
}

// One medium section; eps is text so that "-0" and overflowing numbers pass
// through as written.
std::string medium(const std::string& eps, double z0 = 0, double z1 = 5, double x = -10) {
    return "<medium> <block> " + box_text(x, -10, z0, 20, 20, z1 - z0) + " </block> diel " + eps + " </medium>\n";
}

std::string conductor(const std::string& name, const std::string& block_name, const std::string& shape) {
    return "<conductor> name " + name + " <block> name " + block_name + " " + shape + " </block> </conductor>\n";
}

std::string floating_conductor(const std::string& name, const std::string& block_name, const std::string& shape) {
    return "<conductor> name " + name + " floating <block> name " + block_name + " " + shape +
           " </block> </conductor>\n";
}

std::string box_conductor(const std::string& name, double x, double y, double z, double dx, double dy, double dz) {
    return conductor(name, "body", box_text(x, y, z, dx, dy, dz));
}

const std::string ground = conductor("GROUND", "plane", box_text(-10, -10, 0, 20, 20, 0.2));
const std::string master = box_conductor("m", -0.5, -0.5, 0.5, 1, 1, 0.4);
const std::string dirichlet = "<window> v1 (-10, -10, 0) v2 (10, 10, 5) dirichlet </window>\n";
const std::string neumann = "<window> v1 (-10, -10, 0) v2 (10, 10, 5) neumann </window>\n";

// A whole file whose only master is "m".
std::string file(const std::string& body) {
    return "<lumod>\n" + body + "<task> <capacitance> m </capacitance> </task>\n</lumod>\n";
}

// The plain layout: a box master over the ground in one oxide layer.
const std::string plain = file(dirichlet + medium("3.9") + ground + master);

enum class program { korvex, tables };

struct geometry_case {
    const char* name;
    std::string text;
    std::vector<std::string> options;
    int status;            // 255 refused, 0 extracted
    std::string fragment;  // on standard output, standard error or in a log file; empty for none
    // For an extracted file: a file of the same solids written the usual
    // way, whose master's capacitance it must agree with; empty for none.
    std::string same_as = {};
    program tool = program::korvex;
    // Text that must not be seen, as "Random Walk Begins" of a refusal that
    // belongs to the preparation; empty for none.
    std::string never = {};
};

// Test listings show the case's name, not the bytes of the record.
void PrintTo(const geometry_case& c, std::ostream* os) { *os << c.name; }

// Each case ends well within this; a hang is killed and fails its case.
constexpr double case_time_limit = 60;
// Small runs: the table checks that an answer exists, not its accuracy.
const std::vector<std::string> quick = {"-p", "0.05", "-n", "2", "--log-level", "info"};

std::vector<geometry_case> cases() {
    const std::string permittivity = "; a permittivity must be finite and positive";
    const std::string out_of_range = " is not finite or lies beyond 1e+09 um";
    const std::string layers_only =
        "; the media must be horizontal layers over one x-y extent that follow one another in height without gap or "
        "overlap";
    const std::string plate_medium =
        "<medium> <block> " + box_text(-30000, -30000, -30000, 60000, 60000, 60000) + " </block> diel 1 </medium>\n";
    return {
        // Permittivities.
        {"zero_permittivity", file(dirichlet + medium("0") + ground + master), {}, 255,
         "Fatal error: medium section 1 (z from 0 to 5) has permittivity 0" + permittivity},
        {"negative_zero_permittivity", file(dirichlet + medium("-0") + ground + master), {}, 255,
         "has permittivity -0" + permittivity},
        {"negative_permittivity", file(dirichlet + medium("-3.9") + ground + master), {}, 255,
         "has permittivity -3.9" + permittivity},
        {"infinite_permittivity", file(dirichlet + medium("1e999") + ground + master), {}, 255,
         "has permittivity inf" + permittivity},
        {"negative_layer_under_a_positive_one_in_approx_mode",
         file(dirichlet + medium("-1", 0, 1) + medium("1", 1, 5) + ground + master), {"--multi-dielectric", "approx"},
         255, "medium section 1 (z from 0 to 1) has permittivity -1" + permittivity},
        {"negative_permittivity_read_by_the_table_generator",
         file(dirichlet + medium("-1", 0, 1) + medium("1", 1, 5) + ground + master), {"--multi-dielectric", "two"}, 255,
         "has permittivity -1" + permittivity, "", program::tables},

        // Media that are not horizontal layers; written out of order they still are.
        {"medium_nested_in_another",
         file(dirichlet + medium("3.9") + medium("10", 1.6, 3.4) + ground + master), {}, 255,
         "Fatal error: medium section 2 (permittivity 10, z from 1.6 to 3.4) lies inside medium section 1 "
         "(permittivity 3.9, z from 0 to 5) in height" + layers_only},
        {"media_overlapping_in_height",
         file(dirichlet + medium("3.9", 0, 2) + medium("3", 1.5, 5) + ground + master), {}, 255,
         "medium section 1 (permittivity 3.9, z from 0 to 2) and medium section 2 (permittivity 3, z from 1.5 to 5) "
         "overlap in height from 1.5 to 2 (by 0.5 um)"},
        {"media_with_a_gap_in_height",
         file(dirichlet + medium("3", 2, 5) + medium("3.9", 0, 1.6) + ground + master), {}, 255,
         "medium section 2 (permittivity 3.9, z from 0 to 1.6) and medium section 1 (permittivity 3, z from 2 to 5) "
         "leave a gap in height from 1.6 to 2 (of 0.4 um)"},
        {"media_with_a_gap_of_2e_9",
         file(dirichlet + medium("3.9", 0, 1) +
              "<medium> <block> basepoint (-10, -10, 1.000000002) v1 (20, 0, 0) v2 (0, 20, 0) hvector (0, 0, "
              "3.999999998) </block> diel 3 </medium>\n" +
              ground + master), {}, 255,
         "leave a gap in height from 1 to 1 (of 2e-09 um)"},
        {"medium_narrower_than_the_one_below",
         file(dirichlet + medium("3.9", 0, 1) + medium("3", 1, 5, -5) + ground + master), {}, 255,
         "medium section 2 (permittivity 3, z from 1 to 5) spans x from -5 to 15 and y from -10 to 10, but medium "
         "section 1 (permittivity 3.9, z from 0 to 1) spans x from -10 to 10 and y from -10 to 10"},
        {"medium_of_no_height", file(dirichlet + medium("3.9") + medium("1", 5, 5) + ground + master), {}, 255,
         "medium section 2 (permittivity 1, z from 5 to 5) has no height"},
        {"media_read_by_the_table_generator",
         file(dirichlet + medium("3.9") + medium("10", 1.6, 3.4) + ground + master), {"--multi-dielectric", "two"},
         255, "lies inside medium section 1", "", program::tables},
        // Top first, the upper one starting 5e-10 above the lower one's top.
        {"media_written_top_first",
         file(dirichlet +
              "<medium> <block> basepoint (-10, -10, 2.0000000005) v1 (20, 0, 0) v2 (0, 20, 0) hvector (0, 0, "
              "2.9999999995) </block> diel 3.9 </medium>\n" +
              medium("3.9", 0, 2) + ground + master),
         quick, 0, "", plain},

        // Degenerate and sub-tolerance blocks.
        {"neighbour_of_zero_thickness",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("n", 0.7, -0.5, 0.5, 0.3, 0, 0.4)), {}, 255,
         "Fatal error: block body of conductor n has no width, length or height (width 0, length 0.3, height 0.4)"},
        {"polygon_of_side_1e_10",
         file(dirichlet + medium("3.9") + ground +
              conductor(
                  "m", "dot",
                  box_text(0, 0, 0.5, 0, 0, 0.4) + " <coord> (0, 0) (1e-10, 0) (1e-10, 1e-10) (0, 1e-10) </coord>")),
         {}, 1,
         // Its vertices lie within the tolerance of one another: read as one
         // repeated vertex, the outline keeps a single point.
         "nprism_t error: vertex number 1 not supported."},
        {"cube_master_of_side_5e_10",
         file(dirichlet + medium("3.9") + ground + box_conductor("m", 0, 0, 1, 5e-10, 5e-10, 5e-10)), {}, 255,
         "block body of conductor m has no width, length or height (width 5e-10, length 5e-10, height 5e-10)"},
        {"cylinder_of_radius_0",
         file(dirichlet + medium("3.9") + ground + master +
              conductor("n", "via", "basepoint (3, 0, 1) radius 0 height 1")),
         {}, 255, "block via of conductor n has no width, length or height"},
        {"line_thinner_than_the_touch_distance",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("n", 0.7, -0.5, 0.5, 5e-5, 1, 5e-5)), {}, 255,
         "block body of conductor n is thinner than the touch distance 9.9999e-05 um in two directions (width 5e-05, "
         "length 1, height 5e-05); the walks cannot resolve it"},
        {"speck_of_5e_5",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("n", 2, 0, 1, 5e-5, 5e-5, 5e-5)), {}, 255,
         "block body of conductor n is thinner than the touch distance"},
        {"sheet_1e_6_thick_beside_the_master",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("n", 0.7, -0.5, 0.5, 0.3, 1e-6, 0.4)), quick,
         0, ""},
        {"wall_5e_5_wide_beside_the_master",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("n", 0.7, -0.5, 0.5, 5e-5, 1, 0.4)), quick, 0,
         "0-width block n::body"},

        // Negative extents: the same box.
        {"box_given_from_its_upper_corner",
         file(dirichlet + medium("3.9") + ground + box_conductor("m", 0.5, 0.5, 0.9, -1, -1, -0.4)), quick, 0, "",
         plain},
        {"medium_given_from_its_upper_corner",
         file(neumann +
              "<medium> <block> basepoint (10, 10, 5) v1 (-20, 0, 0) v2 (0, -20, 0) hvector (0, 0, -5) </block> "
              "diel 3.9 </medium>\n" +
              ground + master),
         quick, 0, "Neumann boundary condition applied", file(neumann + medium("3.9") + ground + master)},
        {"polygon_with_a_negative_height",
         file(dirichlet + medium("3.9") + ground +
              conductor("m", "body",
                        box_text(-0.5, -0.5, 0.9, 1, 1, -0.4) + " <coord> (0, 0) (1, 0) (1, 1) (0, 1) </coord>")),
         quick, 0, "", plain},

        // Coordinates beyond the range of the geometry.
        {"block_at_y_1e300",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("n", 2, 1e300, 1, 1, 1, 1)), {}, 255,
         "Fatal error: block body of conductor n: y 1e+300" + out_of_range},
        {"box_of_size_1e308",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("n", 2, 0, 1, 1e308, 1, 1)), {}, 255,
         "block body of conductor n: x 1e+308" + out_of_range},
        {"infinite_polygon_vertex",
         file(dirichlet + medium("3.9") + ground + master +
              conductor("n", "far", box_text(2, 0, 1, 0, 0, 1) + " <coord> (0, 0) (1e999, 0) (1, 1) </coord>")),
         {}, 255, "block far of conductor n: x inf" + out_of_range},
        {"cylinder_of_radius_1e300",
         file(dirichlet + medium("3.9") + ground + master +
              conductor("n", "via", "basepoint (3, 0, 1) radius 1e300 height 1")),
         {}, 255, "block via of conductor n: radius 1e+300" + out_of_range},
        {"medium_reaching_x_1e300", file(dirichlet + medium("3.9", 0, 5, 1e300) + ground + master), {}, 255,
         "a medium section: x 1e+300" + out_of_range},
        {"medium_at_z_1e300", file(dirichlet + medium("3.9", 1e300, 1e300 + 1) + ground + master), {}, 255,
         "medium section 1: z 1e+300" + out_of_range},

        // The Neumann window.
        {"master_outside_a_Neumann_window",
         file(neumann + medium("3.9") + ground + box_conductor("m", 20, 0, 1, 1, 1, 0.4)), {}, 255,
         "Fatal error: master conductor m lies outside the Neumann window: none of its blocks reaches into it"},

        // Polygons.
        {"repeated_polygon_vertex",
         file(dirichlet + medium("3.9") + ground +
              conductor("m", "outline",
                        box_text(-0.5, -0.5, 0.5, 0, 0, 0.4) + " <coord> (0, 0) (1, 0) (1, 0) (1, 1) (0, 1) </coord>")),
         quick, 0, "",
         file(dirichlet + medium("3.9") + ground +
              conductor("m", "outline", box_text(-0.5, -0.5, 0.5, 0, 0, 0.4) + " <coord> (0, 0) (1, 0) (1, 1) (0, 1) </coord>"))},
        {"repeated_polygon_vertex_in_blocks_split_for_the_space_manager",
         file(dirichlet + medium("3.9") + ground +
              conductor("m", "outline",
                        box_text(-0.5, -0.5, 0.5, 0, 0, 0.4) + " <coord> (0, 0) (1, 0) (1, 0) (1, 1) (0, 1) (0, 0) </coord>")),
         {"-p", "0.05", "-n", "2", "--spacemgr-split-block", "on"}, 0, ""},
        {"outline_of_two_distinct_vertices",
         file(dirichlet + medium("3.9") + ground +
              conductor("m", "outline", box_text(-0.5, -0.5, 0.5, 0, 0, 0.4) + " <coord> (0, 0) (1, 0) (1, 0) (0, 0) </coord>")),
         {}, 1, "nprism_t error: vertex number 2 not supported."},

        // Floating conductors, measured on their solids.
        {"floating_bar_crossing_another_net_s_bar",
         file(dirichlet + medium("3.9") + ground + box_conductor("m", -2, -0.2, 1, 4, 0.4, 0.3) +
              floating_conductor("f", "bar",
                                 box_text(0, 0, 1, 0, 0, 0.3) +
                                     " <coord> (-0.2, -2) (0.2, -2) (0.2, 2) (-0.2, 2) </coord>")),
         {}, 255, "floating d less than 0."},
        {"floating_box_clear_of_a_round_via",
         file(dirichlet + medium("3.9") + ground + conductor("n", "via", "basepoint (0, 0, 1.5) radius 1 height 1") +
              floating_conductor("f", "box", box_text(0.8371, 0.8371, 1, 1, 1, 1)) +
              box_conductor("m", -3, -3, 1, 1, 1, 1)),
         quick, 0, ""},
        {"floating_block_thinner_than_its_floating_distance",
         file(dirichlet + medium("3.9") + ground + box_conductor("m", -0.5, -2, 1, 1, 4, 0.4) +
              floating_conductor("f", "sheet", box_text(-0.5, -2, 0.5, 1, 4, 0.0003))),
         {}, 255, "block sheet of floating conductor f is only 0.0003 thick"},
        {"floating_distance_below_twice_the_touch_distance",
         file(dirichlet + medium("3.9") + ground + box_conductor("m", -0.5, -2, 1, 1, 4, 0.4) +
              floating_conductor("f", "sheet", box_text(-0.5, -2, 0.5, 1, 4, 0.2))),
         {"--floating-d", "0.00005"}, 255, "\"--floating-d\" 5e-05 is too small."},

        {"floating_conductor_of_one_cylinder",
         file(dirichlet + medium("3.9") + ground + master +
              floating_conductor("f", "via", "basepoint (1.5, 0, 1) radius 0.4 height 1")),
         {}, 255,
         "Cylinder floating conductor haven't implemented yet!\nfloating conductor f is one cylinder block (via); a "
         "floating conductor of one block must be a box or a polygon.",
         "", program::korvex, "Random Walk Begins"},

        // Names and masters.
        {"two_nets_named_m",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("m", 2, 0, 1, 1, 1, 1) +
              box_conductor("n", -3, 0, 1, 1, 1, 1) + box_conductor("n", 3, 0, 1, 1, 1, 1)),
         {}, 255,
         "Fatal error: conductor names given to more than one net: m (2 nets), n (2 nets); each net needs a name of "
         "its own"},
        {"two_conductors_of_one_name_that_the_id_map_merge_joins",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("n_7_x", 2, 0, 1, 1, 1, 1) +
              box_conductor("n_7_x", -3, 0, 1, 1, 1, 1)),
         quick, 0, ""},
        {"floating_conductor_named_as_the_master",
         file(dirichlet + medium("3.9") + ground + box_conductor("n", 2, 0, 1, 1, 1, 1) +
              floating_conductor("m", "body", box_text(-0.5, -0.5, 0.5, 1, 1, 0.4))),
         {}, 255,
         "Fatal error: floating conductor m is named as a master; a floating conductor has no fixed potential"},
        {"floating_conductor_under_ALL",
         file(dirichlet + medium("3.9") + ground + master + floating_conductor("f", "body", box_text(2, 0, 1, 1, 1, 1))),
         {"-p", "0.05", "-n", "2", "--overwrite-tasks", "ALL"}, 0,
         "warning: floating conductor f is left out of the masters of ALL."},
        {"master_name_matching_no_conductor", plain, {"-p", "0.05", "-n", "2", "--overwrite-tasks", "nobody m"}, 0,
         "warning: master name nobody matches no conductor and is ignored."},
        // Walks start 0.005 off the plate, under the cube: only about one in
        // a million escapes to the window. None in the first 100,000 walks
        // gave an error bar of zero, which is no accuracy.
        {"plate_1e4_um_wide_under_a_cube_of_0_01_um",
         file(plate_medium + box_conductor("m", -5000, -5000, 0, 10000, 10000, 1) +
              box_conductor("cube", 0, 0, 1.01, 0.01, 0.01, 0.01)),
         {"-p", "0.5", "-n", "2", "-w", "10000"}, 0, "",
         file(plate_medium + box_conductor("m", -5000, -5000, 0, 10000, 10000, 1))},
        {"master_touched_by_another_net",
         file(dirichlet + medium("3.9") + ground + master + box_conductor("n", 0.50015, -0.5, 0.5, 1, 1, 0.4)), {}, 1,
         "Error: the master net is touched by other net!\nmaster net m (block body) and net n (block body) lie 0.00015 "
         "um apart, closer than 0.000199998 um: move them apart, or join them into one net\n"},
        {"no_master_left", file(dirichlet + medium("3.9") + ground + box_conductor("n", 2, 0, 1, 1, 1, 1)), {}, 255,
         "Fatal error: no master conductor to extract"},

        // The wire width.
        {"wire_width_when_every_block_is_thinner_than_1e_4",
         file(dirichlet + medium("3.9") + ground + box_conductor("m", -0.5, -0.5, 0.5, 5e-5, 1, 0.4)),
         {"-w", "0.5", "-t", "200", "-n", "2", "--log-level", "info"}, 0, "wire width set to 0.500000000000"},

        // A syntax error names the file it is in.
        {"misspelt_keyword",
         file(dirichlet + medium("3.9") + ground + conductor("m", "body", "basepiont (0, 0, 1) v1 (1, 0, 0)")), {},
         255,
         "/case.lumod\", line 5, near \"basepiont\": correct the text there (docs/geometry-format.md describes the "
         "format)\n"},
        // Bytes the scanner cannot read are named in hex with their line.
        {"byte_order_mark", "\xEF\xBB\xBF" + plain, {}, 255, "unknow input 0xEF at 1\n"},
        {"conductor_name_in_UTF_8",
         file(dirichlet + medium("3.9") + ground + box_conductor("m\xC3\xA9", -0.5, -0.5, 0.5, 1, 1, 0.4)), {}, 255,
         "unknow input 0xC3 at 5\n"},
    };
}

binary_run run_case(const geometry_case& c, const scratch_dir& dir, const std::string& tables) {
    const std::string input = dir.write("case.lumod", c.text);
    std::vector<std::string> args = {"-f", input, "--log-info-file", "log.txt", "--log-warn-file", "log.txt"};
    if (c.tool == program::tables) args = {"-f", input};
    for (const std::string& a : korvex_test::table_options(tables)) args.push_back(a);
    for (const std::string& a : c.options) args.push_back(a);
    if (c.tool == program::tables)
        return korvex_test::run_binary(KORVEX_TABLES_BINARY, args, dir.root.string(), "/dev/null", case_time_limit);
    return korvex_test::run_korvex(args, dir.root.string(), "/dev/null", case_time_limit);
}

}  // namespace

using BadGeometry = ::testing::TestWithParam<geometry_case>;

TEST_P(BadGeometry, EndsRefusedByNameOrWithAFinitePositiveCapacitance) {
    static const scratch_dir shared;  // tables made once for all cases
    static const std::string tables = korvex_test::make_tables(shared);
    const geometry_case& c = GetParam();
    scratch_dir dir;
    const auto master_of = [&](const geometry_case& run) {
        std::remove(dir.path("log.txt").c_str());
        std::remove(dir.path("case.lumod.out").c_str());
        const binary_run r = run_case(run, dir, tables);
        return std::make_pair(r, korvex_test::master_line(dir.read("case.lumod.out"), "m"));
    };
    // A refusal names what is wrong; an extracted file may say nothing.
    ASSERT_TRUE(c.status == 0 || !c.fragment.empty());
    const auto [r, e] = master_of(c);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, c.status) << r.err;
    const std::string seen = r.out + r.err + dir.read("log.txt");
    EXPECT_NE(seen.find(c.fragment), std::string::npos) << seen;
    if (!c.never.empty()) {
        EXPECT_EQ(seen.find(c.never), std::string::npos) << seen;
    }
    if (c.status != 0 || c.tool != program::korvex) return;
    EXPECT_TRUE(std::isfinite(e.cap) && e.cap > 0 && std::isfinite(e.err) && e.err > 0) << e.cap << " " << e.err;
    if (c.same_as.empty()) return;
    const korvex_test::estimate usual = master_of({"usual", c.same_as, c.options, 0, "", "", program::korvex}).second;
    EXPECT_LT(std::fabs(e.cap - usual.cap), 3 * std::hypot(e.err, usual.err)) << e.cap << " against " << usual.cap;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadGeometry, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<geometry_case>& info) { return info.param.name; });
