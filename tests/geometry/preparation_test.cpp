// Layout preparation after parsing: merge and index, ground slab and wire
// width, masters, window, floating surfaces, and the dump.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/log_writers.hpp"
#include "foundation/writer.hpp"
#include "geometry/dump_layout.hpp"
#include "geometry/floating_surface.hpp"
#include "geometry/ground_and_window.hpp"
#include "geometry/index_layout.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/primitives.hpp"
#include "tests/geometry/layout_text.hpp"
#include "tests/ends_run.hpp"

using namespace geometry_test;

namespace {

struct prepared {
    std::unique_ptr<parsed> p;
    std::string screen;
    layout& lay() { return p->lay; }
};

// Every preparation step of a run up to the floating surfaces.
prepared prepare(const std::string& text, configure cfg = configure()) {
    prepared r{parse(text, cfg), {}};
    layout& l = r.p->lay;
    index_layout(l, l.cfg->idmap_file);
    setup_media(l);
    setup_ground_and_wire_width(l);
    select_masters(l);
    sea::string_writer screen(&r.screen);
    std::string file;
    sea::string_writer file_out(&file);
    setup_window(l, screen, file_out);
    setup_floating_conductors(l);
    return r;
}

const std::string ground = conductor_text("GROUND", block_text("", -10, -10, 0, 20, 20, 0.5));

std::string task(const std::string& name) { return "<task> <capacitance> " + name + " </capacitance> </task>\n"; }

FILE* text_stream(const std::string& text) {
    FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

// Preparation whose error log reaches standard error, for death tests.
void prepare_dying(const std::string& text, configure cfg = configure()) {
    rebuild_log_writers(log_error, {stdout, stdout, stderr, stderr});
    korvex_test::ending_as_the_program([&] { prepare(text, cfg); });
}

} // namespace

TEST(Merge, SharedKeysJoinUnlessProtectedFloatingOrKeyless) {
    const std::string body = medium_text(0, 5, 1) +
                             conductor_text("m1_7_a", block_text("a", 0, 0, 1)) +
                             conductor_text("x_7_b", block_text("b", 2, 0, 1)) +
                             conductor_text("f_7_c", block_text("c", 4, 0, 1), "floating") +
                             conductor_text("y_7_d", block_text("d", 6, 0, 1)) +
                             conductor_text("one_under", block_text("e", 8, 0, 1)) +
                             conductor_text("two_9_x", block_text("f", 10, 0, 1)) + task("ALL");
    prepared r = prepare(root(body));
    EXPECT_EQ(conductor_names(r.lay()), (std::vector<std::string>{"m1_7_a", "f_7_c", "one_under", "two_9_x"}));
    const conductor& merged = r.lay().conductors.front();
    ASSERT_EQ(merged.blocks.size(), 3u);
    EXPECT_EQ(merged.blocks[2]->name, "d");
    for (const block* b : merged.blocks) EXPECT_EQ(b->owner, &merged);
    EXPECT_EQ(r.lay().all_blocks.size(), 6u);

    // A task keyed 7 protects every conductor of key 7.
    prepared kept = prepare(root(body + task("t_7_z")));
    EXPECT_EQ(kept.lay().conductors.size(), 6u);

    // Without merging nothing joins.
    configure off;
    off.enable_merge = false;
    EXPECT_EQ(prepare(root(body), off).lay().conductors.size(), 6u);
}

TEST(Merge, IdMapTranslatesKeysAndRefusesMalformedRecords) {
    const std::string body = medium_text(0, 5, 1) + conductor_text("a_7_x", block_text("", 0, 0, 1)) +
                             conductor_text("b_8_y", block_text("", 2, 0, 1)) + task("ALL");
    configure cfg;
    cfg.idmap_file = text_stream("Id : 7 Name : net\nId:8 Name:net");
    EXPECT_EQ(conductor_names(prepare(root(body), cfg).lay()), (std::vector<std::string>{"a_7_x"}));

    configure bad;
    bad.idmap_file = text_stream("Id = 7 Name : net\n");
    EXPECT_EXIT(prepare_dying(root(body), bad), ::testing::ExitedWithCode(255), "idmap file format error");
}

TEST(Ground, SlabSpansTheMediaAndMustBeOneBoxUnderEverything) {
    const std::string wire = conductor_text("w", block_text("", -1, -3, 1, 0.4, 6, 0.3));
    prepared r = prepare(root(medium_text(0, 5, 1, 10) + ground + wire + task("ALL")));
    EXPECT_DOUBLE_EQ(r.lay().wire_width, 0.4);
    const box& slab = r.lay().ground->solid.outer_box;
    EXPECT_DOUBLE_EQ(slab.lo.x, -10);
    EXPECT_DOUBLE_EQ(slab.hi.x, 10);
    EXPECT_DOUBLE_EQ(slab.lo.z, 0.5 - 0.4);
    EXPECT_DOUBLE_EQ(slab.hi.z, 0.5);
    EXPECT_EQ(r.lay().masters.size(), 1u);  // ALL skips the ground

    // A line thinner than 0.0001 is reported and does not set the width.
    const std::string thin = conductor_text("t", block_text("", 3, -3, 1, 0.00005, 6, 0.3));
    EXPECT_DOUBLE_EQ(prepare(root(medium_text(0, 5, 1, 10) + ground + wire + thin + task("ALL"))).lay().wire_width, 0.4);

    configure floor;
    floor.min_wire_width = 0.5;
    EXPECT_DOUBLE_EQ(prepare(root(medium_text(0, 5, 1, 10) + ground + wire + task("ALL")), floor).lay().wire_width,
                     0.5);
    // With no block wide enough to measure, "-w" is the width.
    EXPECT_DOUBLE_EQ(prepare(root(medium_text(0, 5, 1, 10) + ground + thin + task("ALL")), floor).lay().wire_width,
                     0.5);
    EXPECT_DOUBLE_EQ(prepare(root(medium_text(0, 5, 1, 10) + ground + thin + task("ALL"))).lay().wire_width, 1e9);

    // Without a medium section the slab keeps the ground's own extent.
    prepared bare = prepare(root(ground + wire + task("ALL")));
    const box& own = bare.lay().ground->solid.outer_box;
    EXPECT_LT(own.lo.x, own.hi.x);
    EXPECT_DOUBLE_EQ(own.lo.x, -10);

    const std::string two_blocks =
        conductor_text("GROUND", block_text("", -10, -10, 0, 20, 20, 0.5) + block_text("", -10, -10, -2, 1, 1, 1));
    EXPECT_EXIT(prepare_dying(root(medium_text(0, 5, 1) + two_blocks + wire + task("ALL"))),
                ::testing::ExitedWithCode(255), "ground net can contain only one block.");
    const std::string round_ground =
        conductor_text("GROUND", "<block> basepoint (0, 0, 0) radius 5 height 0.5 </block>\n");
    EXPECT_EXIT(prepare_dying(root(medium_text(0, 5, 1) + round_ground + wire + task("ALL"))),
                ::testing::ExitedWithCode(255), "ground net must be Manhattan shape.");
    const std::string touching = conductor_text("w", block_text("", -1, -3, 0.5, 0.4, 6, 0.3));
    EXPECT_EXIT(prepare_dying(root(medium_text(0, 5, 1) + ground + touching + task("ALL"))),
                ::testing::ExitedWithCode(255), "ground net must be under other blocks.");
}

TEST(Masters, TaskNamesAllAndOverwrite) {
    const std::string nets = conductor_text("a", block_text("", 0, 0, 1)) + conductor_text("b", block_text("", 2, 0, 1)) +
                             conductor_text("c", block_text("", 4, 0, 1));
    EXPECT_EQ(prepare(root(medium_text(0, 5, 1) + nets + task("b") + task("nobody"))).lay().masters.size(), 1u);
    configure over;
    over.overwrite_tasks = "a  b\tc";
    EXPECT_EQ(prepare(root(medium_text(0, 5, 1) + nets + task("b")), over).lay().masters.size(), 3u);
}

TEST(Window, DirichletGrowsTheConductorBoxNeumannKeepsTheMedia) {
    const std::string body = medium_text(0, 5, 1, 50) + conductor_text("a", block_text("", 0, 0, 1, 2, 1, 1)) + task("a");
    prepared auto_window = prepare(root(body));
    EXPECT_EQ(auto_window.screen, "Dirichlet boundary condition applied\n\n");
    EXPECT_EQ(auto_window.lay().window.boundary, uint32_t(boundary_dirichlet));
    // m = max(2, 600 x wire width 1) = 600.
    EXPECT_DOUBLE_EQ(auto_window.lay().window.box.lo.x, -600);
    EXPECT_DOUBLE_EQ(auto_window.lay().window.box.hi.z, 602);
    EXPECT_DOUBLE_EQ(auto_window.lay().critical_box.hi.x, 302);
    EXPECT_DOUBLE_EQ(auto_window.lay().padded_box.lo.x, -40);

    const std::string neumann = "<window> v1 (-50, -50, 0) v2 (50, 50, 5) neumann </window>\n";
    prepared kept = prepare(root(neumann + body));
    EXPECT_EQ(kept.screen, "Neumann boundary condition applied\n\n");
    EXPECT_DOUBLE_EQ(kept.lay().window.box.lo.x, -50);
    EXPECT_DOUBLE_EQ(kept.lay().critical_box.hi.z, 5);
    // Without a medium section the file's window has no extent: generated.
    prepared bare = prepare(root(neumann + conductor_text("a", block_text("", 0, 0, 1, 2, 1, 1)) + task("a")));
    EXPECT_EQ(bare.lay().window.boundary, uint32_t(boundary_dirichlet));
    EXPECT_DOUBLE_EQ(bare.lay().window.box.lo.x, -600);
    configure auto_on;
    auto_on.auto_window = true;
    EXPECT_EQ(prepare(root(neumann + body), auto_on).lay().window.boundary, uint32_t(boundary_dirichlet));
}

// A box of sides 1, 2, 3 at the origin, floating, beside the given text.
std::string floating_beside(const std::string& other, const std::string& floating = block_text("", 0, 0, 1, 1, 2, 3)) {
    return root(medium_text(0, 10, 1) + conductor_text("f", floating, "floating") + other + task("a"));
}

std::string poly_text(const std::string& points, double z, double height) {
    return "<poly> basepoint (0, 0, " + std::to_string(z) + ") v1 (0, 0, 0) v2 (0, 0, 0) hvector (0, 0, " +
           std::to_string(height) + ")\n<coord> " + points + " </coord> </poly>\n";
}

// The floating distance of a layout, or the death of its preparation.
struct floating_d_case {
    const char* what;
    std::string text;
    double option;        // "--floating-d"; -1 leaves it to the layout
    double d;             // expected d; NAN when preparation must end
    const char* message;  // then a fragment of its error
};

TEST(Floating, DistanceFollowsSizeGapAndOptionOrEndsTheRun) {
    const std::string beside = conductor_text("a", block_text("", 1.8, 0, 1));  // gap 0.8
    // The box from (0.9, 0.9) is 0.9 - 1 / sqrt 2 from the round via's
    // curve, though inside its outer box.
    const std::string via = conductor_text("a", "<block> basepoint (0, 0, 2) radius 1 height 2 </block>\n");
    const double via_gap = 0.9 - 1 / std::sqrt(2.0);
    // A floating bar crossing the other net's bar: no corner of either lies
    // inside the other.
    const std::string cross = poly_text("(-0.2, -2) (0.2, -2) (0.2, 2) (-0.2, 2)", 1, 1);
    const std::vector<floating_d_case> cases = {
        {"size", floating_beside(beside), -1, 0.25, ""},
        {"option", floating_beside(beside), 0.5, 0.5, ""},
        {"gap caps the option", floating_beside(beside), 2, 0.8, ""},
        {"touching", floating_beside(conductor_text("a", block_text("", 1, 0, 1))), -1, NAN,
         "floating d should be larger than 0"},
        {"overlapping", floating_beside(conductor_text("a", block_text("", 0.5, 0, 1))), -1, NAN,
         "floating d less than 0."},
        {"flat", floating_beside(conductor_text("a", block_text("", 5, 0, 1)), block_text("", 0, 0, 1, 0, 2, 3)), -1,
         NAN, "block unnamed00000 of conductor f has no width, length or height"},
        {"clear of a cylinder's curve", floating_beside(via, block_text("", 0.9, 0.9, 1, 1, 1, 1)), -1,
         0.5 * via_gap, ""},
        {"crossing bars", floating_beside(conductor_text("a", block_text("", -2, -0.2, 1.5, 4, 0.4, 0.2)), cross),
         -1, NAN, "floating d less than 0."},
        {"crossing a slanted bar",
         floating_beside(conductor_text("a", poly_text("(-1, 0.9) (2, 1.2) (2, 1.5) (-1, 1.2)", 1, 1))), -1, NAN,
         "floating d less than 0."},
        {"option below twice the touch distance", floating_beside(beside), 0.00005, NAN,
         "\"--floating-d\" 5e-05 is too small."},
        {"thin block", floating_beside(beside, block_text("", 0, 0, 1, 1, 1, 0.0003)), -1, NAN,
         "floating conductor f is only 0.0003 thick"},
        {"nearly touching", floating_beside(conductor_text("a", block_text("", 1.0003, 0, 1))), -1, NAN,
         "floating conductor f lies only 0.0003 from conductor a"},
    };
    for (const floating_d_case& c : cases) {
        configure cfg;
        cfg.floating_d = c.option;
        if (std::isnan(c.d))
            EXPECT_EXIT(prepare_dying(c.text, cfg), ::testing::ExitedWithCode(255), c.message) << c.what;
        else {
            prepared r = prepare(c.text, cfg);
            EXPECT_NEAR(r.lay().floating_d, c.d, 1e-12) << c.what;
            // The computed distance lives in the layout; the settings stay as parsed.
            EXPECT_EQ(r.p->cfg.floating_d, c.option) << c.what;
        }
    }
}

TEST(Floating, BoxTablesCutTheSidesAtEveryInterfaceAndTakeTheGapsInSeries) {
    // A 1 x 2 box from z 1 to 3 across the interface at 2 (permittivity 1
    // below, 4 above), d = 0.2: a = b = 1, H = 5, D = 0.1.
    const std::string body = medium_text(0, 2, 1) + medium_text(2, 10, 4) +
                             conductor_text("f", block_text("", 0, 0, 1, 1, 2, 2), "floating") +
                             conductor_text("a", block_text("", 50, 0, 1)) + task("a");
    configure cfg;
    cfg.floating_d = 0.2;
    const double L = 0.693147181;
    // Central: faces 50, 100, 50, 100, 20, 80; vertical edges 10 L; the
    // horizontal edges 4 L, 16 L, 2 L, 8 L in pairs; corners 0.3 (1 - L) and 1.2 (1 - L).
    const std::vector<double> cd = prepare(root(body), cfg).lay().conductors.front().surface_table;
    ASSERT_EQ(cd.size(), 28u);
    const double total = 406 + 94 * L;
    EXPECT_NEAR(cd[5], 400 / total, 1e-12);
    EXPECT_NEAR(cd[9], (400 + 40 * L) / total, 1e-12);
    EXPECT_NEAR(cd[17], (400 + 100 * L) / total, 1e-12);
    EXPECT_NEAR(cd[21], (401.2 + 100 * L - 1.2 * L) / total, 1e-12);
    EXPECT_DOUBLE_EQ(cd[26], 2);
    EXPECT_DOUBLE_EQ(cd[27], 0.2);

    // Easy: the box grown by d / 2 is 1.2 x 2.2 from 0.9 to 3.1, a = b = 1.1,
    // H = 5.5; faces 6.6, 12.1, 6.6, 12.1, 2.64, 10.56 of 50.6.
    cfg.floating_type = configure::floating_arg::easy;
    const std::vector<double> easy = prepare(root(body), cfg).lay().conductors.front().surface_table;
    ASSERT_EQ(easy.size(), 8u);
    EXPECT_NEAR(easy[0], 6.6 / 50.6, 1e-12);
    EXPECT_NEAR(easy[3], 37.4 / 50.6, 1e-12);
    EXPECT_NEAR(easy[4], 40.04 / 50.6, 1e-12);
    EXPECT_DOUBLE_EQ(easy[6], 2);
    EXPECT_NEAR(easy[7], 0.2, 1e-12);

    // Inside one layer the split is the bottom and nothing lies below it:
    // faces -y, -x, +y, +x, -z, +z weigh 2, 4, 2, 4, 2, 2 (H = 2).
    cfg.floating_type = configure::floating_arg::fd;
    const std::string one_layer = medium_text(0, 10, 1) + body.substr(body.find("<conductor>"));
    const std::vector<double> fd = prepare(root(one_layer), cfg).lay().conductors.front().surface_table;
    EXPECT_EQ(fd, (std::vector<double>{2. / 16, 6. / 16, 8. / 16, 12. / 16, 14. / 16, 1, 1, 0}));

    // Permittivity 2, 1, 4, 2 with interfaces 0.95, 1.5 and 2.5: the sides
    // (z 1 .. 3) are cut at 1.5 and 2.5, H = 0.5 + 4 + 1 = 5.5. The "fd"
    // bottom gap 0.9 .. 1 holds the interface 0.95: in series 4 / 3; the
    // top gap stands in 2. Faces 5.5, 11, 5.5, 11, 8 / 3, 4 of 119 / 3.
    const std::string three = medium_text(0, 0.95, 2) + medium_text(0.95, 1.5, 1) + medium_text(1.5, 2.5, 4) +
                              medium_text(2.5, 10, 2) + body.substr(body.find("<conductor>"));
    const std::vector<double> cut = prepare(root(three), cfg).lay().conductors.front().surface_table;
    ASSERT_EQ(cut.size(), 10u);
    EXPECT_NEAR(cut[3], 99. / 119, 1e-12);
    EXPECT_NEAR(cut[4], 107. / 119, 1e-12);
    const std::vector<double> cut_tail(cut.begin() + 6, cut.end()), tail = {1.5, 1 / 11., 2.5, 9 / 11.};
    for (std::size_t k = 0; k < tail.size(); ++k) EXPECT_NEAR(cut_tail[k], tail[k], 1e-12) << k;

    // "cd" faces stand d off: the bottom gap 0.8 .. 1 weighs 1.6, the top 2.
    cfg.floating_type = configure::floating_arg::cd;
    const std::vector<double> cd3 = prepare(root(three), cfg).lay().conductors.front().surface_table;
    ASSERT_EQ(cd3.size(), 30u);
    EXPECT_NEAR((cd3[4] - cd3[3]) / (cd3[5] - cd3[4]), 0.8, 1e-12);
    EXPECT_NEAR((cd3[4] - cd3[3]) / cd3[0], 32. / 55, 1e-12);
    EXPECT_NEAR(cd3[29], 9 / 11., 1e-12);

    // "easy" sides reach 0.9 .. 3.1, across the interface in the bottom gap:
    // parts 0.1, 0.55, 4 and 1.2 of H = 5.85.
    cfg.floating_type = configure::floating_arg::easy;
    const std::vector<double> easy3 = prepare(root(three), cfg).lay().conductors.front().surface_table;
    const std::vector<double> easy_tail(easy3.begin() + 6, easy3.end());
    const std::vector<double> easy_cuts = {0.95, 0.1 / 5.85, 1.5, 0.65 / 5.85, 2.5, 4.65 / 5.85};
    ASSERT_EQ(easy_tail.size(), easy_cuts.size());
    for (std::size_t k = 0; k < easy_cuts.size(); ++k) EXPECT_NEAR(easy_tail[k], easy_cuts[k], 1e-12) << k;
}

TEST(Floating, SurfacePiecesWeighByThePermittivityTheirFluxCrosses) {
    // Permittivity 1 below z = 2 and 4 above it, d = 0.2.
    const std::string layers = medium_text(0, 2, 1) + medium_text(2, 10, 4);
    const std::string far = conductor_text("a", block_text("", 50, 0, 1)) + task("a");
    configure cfg;
    cfg.floating_d = 0.2;

    // Two 1 x 2 blocks stacked at the interface: z 1..2 and 2..3. Each grown
    // block's sides are cut at z = 2; its top and bottom take the layer
    // between them and their block. Lower block: sides 2.88 + 1.92 (+x),
    // 1.68 + 1.12 (+y), top 13.44, the same sides again, bottom 3.36, sum 32;
    // the upper block sums to 54.8.
    const std::string two_blocks =
        conductor_text("f", block_text("", 0, 0, 1, 1, 2, 1) + block_text("", 0, 0, 2, 1, 2, 1), "floating");
    prepared r = prepare(root(layers + two_blocks + far), cfg);
    const conductor& f = r.lay().conductors.front();
    ASSERT_EQ(f.surface_elements.size(), 20u);
    const std::vector<double>& t = f.surface_table;
    const double total = 86.8;
    EXPECT_NEAR(t[0], 2.88 / total, 1e-12);
    EXPECT_NEAR(t[1] - t[0], 1.92 / total, 1e-12);
    EXPECT_NEAR(t[9] - t[8], 3.36 / total, 1e-12);    // bottom, under permittivity 1
    EXPECT_NEAR(t[9], 32 / total, 1e-12);
    EXPECT_NEAR(t[14] - t[13], 13.44 / total, 1e-12);  // top, under permittivity 4
    EXPECT_EQ(t.back(), 1.0);

    // A triangle prism from z 1 to 3, "fd": the caps weigh area / d times
    // their layer's permittivity; each side is cut in two at the interface,
    // and every piece keeps its side's push distance.
    const std::string triangle =
        "<conductor> name f floating " + poly_text("(0, 0) (2, 0) (0, 2)", 1, 2) + "</conductor>\n";
    prepared p = prepare(root(layers + triangle + far), cfg);
    const conductor& prism = p.lay().conductors.front();
    ASSERT_EQ(prism.surface_elements.size(), 8u);
    const std::vector<double>& u = prism.surface_table;
    ASSERT_EQ(u.size(), 14u);
    EXPECT_NEAR((u[1] - u[0]) / u[0], 4.0, 1e-12);
    EXPECT_NEAR((u[3] - u[2]) / (u[2] - u[1]), 4.0, 1e-12);  // side y = 0 below and above z = 2
    const double sq2 = 0.2 * std::sqrt(2.0);
    const std::vector<double> push(u.begin() + 8, u.end()), sides = {0.2, 0.2, sq2, sq2, 0.2, 0.2};
    for (std::size_t k = 0; k < push.size(); ++k) EXPECT_NEAR(push[k], sides[k], 1e-12) << k;

    // "easy" grows the prism by d: its caps stand in the gaps' layers.
    cfg.floating_type_prism = configure::floating_arg::prism_easy;
    prepared e = prepare(root(layers + triangle + far), cfg);
    const std::vector<double>& v = e.lay().conductors.front().surface_table;
    EXPECT_EQ(e.lay().conductors.front().surface_elements.size(), 8u + 2 * 6u);  // 2 x 4 cap triangles, 6 cut sides
    EXPECT_NEAR((v[1] - v[0]) / v[0], 4.0, 1e-12);
}

TEST(Floating, PrismPushDistancesAndPieceAreas) {
    const std::string triangle =
        "<conductor> name f floating <poly> basepoint (0, 0, 1) v1 (0, 0, 0) v2 (0, 0, 0) hvector (0, 0, 1)\n"
        "<coord> (0, 0) (2, 0) (0, 2) </coord> </poly> </conductor>\n";
    const std::string body = medium_text(0, 10, 1) + triangle + conductor_text("a", block_text("", 5, 5, 1)) + task("a");
    prepared r = prepare(root(body));
    const conductor& f = r.lay().conductors.front();
    const double d = r.lay().floating_d;
    ASSERT_EQ(f.surface_elements.size(), 5u);  // 2 triangles, 3 sides
    ASSERT_EQ(f.surface_table.size(), 8u);
    EXPECT_EQ(f.surface_table[4], 1.0);
    // Axis sides are pushed by d, the slanted one by d (|nx| + |ny|) = d sqrt 2.
    EXPECT_NEAR(f.surface_table[5], d, 1e-12);
    EXPECT_NEAR(f.surface_table[7], d, 1e-12);
    EXPECT_NEAR(f.surface_table[6], d * std::sqrt(2.0), 1e-12);
    EXPECT_DOUBLE_EQ(surface_element_area(f.surface_elements[0]), 2.0);
    EXPECT_NEAR(point_line_distance_2d({1, 1}, {0, 0}, {2, 0}), 1.0, 1e-15);
}

TEST(Dump, DumpOfADumpIsStableForEveryExample) {
    for (const char* name : {"box_over_ground", "crossing_wires", "polygon_cylinder", "floating"}) {
        SCOPED_TRACE(name);
        std::ifstream in(std::string(KORVEX_SOURCE_DIR) + "/examples/" + name + ".lumod");
        std::ostringstream source;
        source << in.rdbuf();
        std::string texts[3] = {source.str()};
        for (int round = 1; round < 3; ++round) {
            prepared r = prepare(texts[round - 1]);
            sea::string_writer out(&texts[round]);
            write_layout(out, r.lay());
        }
        EXPECT_EQ(texts[1].substr(0, 7), "<pryx>\n");
        // The first dump widens the ground slab to the window; after that the
        // text is a fixed point.
        prepared again = prepare(texts[2]);
        std::string third;
        sea::string_writer out(&third);
        write_layout(out, again.lay());
        EXPECT_EQ(third, texts[2]);
    }
}

TEST(Dump, BlocksInTheirDumpFormAndTheRunEndsAfterwards) {
    std::string text;
    sea::string_writer out(&text);
    dump_solid(out, make_box_solid(box{{0, 0, 0}, {1, 2, 3}}));
    EXPECT_EQ(text, "\t<block>\n\t\tbasepoint (0.000000000000, 0.000000000000, 0.000000000000)\n"
                    "\t\tv1 (1.000000000000, 0, 0)\n\t\tv2 (0, 2.000000000000, 0)\n"
                    "\t\thvector (0, 0, 3.000000000000)\n\t[/block]\n");
    text.clear();
    dump_solid(out, make_cylinder_solid(vec3{1, 1, 1}, 0.25, 0.5));
    EXPECT_NE(text.find("\t\tradius 0.250000000000\n\t\theight 1.000000000000\n"), std::string::npos) << text;
    text.clear();
    nprism_t triangle{};
    triangle.n = 3;
    triangle.vertex[1] = {1, 0};
    triangle.vertex[2] = {0, 1};
    triangle.z1 = 1;
    dump_solid(out, make_nprism_solid(triangle));
    EXPECT_NE(text.find("\t\t\t(0.000000000000, 1.000000000000) (1.000000000000, 0.000000000000) "
                        "(0.000000000000, 0.000000000000) \n"),
              std::string::npos)
        << text;

    // The whole run: the dump goes to the option's stream, then exit 0.
    const std::string body = medium_text(0, 10, 1) + conductor_text("f", block_text("", 0, 0, 1), "floating") +
                             conductor_text("a", block_text("", 5, 0, 1)) + task("a");
    const std::string path = ::testing::TempDir() + "prep_dump.lumod";
    configure cfg;
    cfg.dump_layout = std::fopen(path.c_str(), "w+");
    prepared r = prepare(root(body), cfg);
    std::string expected;
    sea::string_writer expect_out(&expected);
    write_layout(expect_out, r.lay());
    EXPECT_NE(expected.find("\tname f\n\tfloating\n"), std::string::npos);
    EXPECT_TRUE(dump_layout(r.lay()));
    std::ifstream in(path);
    std::ostringstream written;
    written << in.rdbuf();
    EXPECT_EQ(written.str(), expected);
}

TEST(Dump, TilesAndRotation) {
    // The ground is not copied: its slab spans the grown window on reading.
    const std::string body = medium_text(0, 5, 1) + ground + conductor_text("a", block_text("", 0, 0, 1)) +
                             conductor_text("b", block_text("", 2, 0, 1)) + task("a");
    configure tiles;
    tiles.dump_tile_nx = 2;
    prepared r = prepare(root(body), tiles);
    const double px = r.lay().padded_box.hi.x - r.lay().padded_box.lo.x;
    const double window_x = r.lay().window.box.hi.x;
    replicate_layout_tiles(r.lay());
    ASSERT_EQ(r.lay().nets.size(), 5u);
    EXPECT_EQ(r.lay().nets[3]->name, "tilex1x0x0xconductor1");
    EXPECT_EQ(r.lay().nets[4]->name, "tilex1x0x0xconductor2");
    EXPECT_DOUBLE_EQ(r.lay().nets[4]->blocks[0]->solid.outer_box.lo.x, 2 + px);
    EXPECT_DOUBLE_EQ(r.lay().window.box.hi.x, window_x + px);

    prepared turned = prepare(root(medium_text(0, 5, 1, 10) + ground + conductor_text("a", block_text("", 1, 0, 1)) + task("a")));
    std::string text;
    sea::string_writer out(&text);
    dump_rotated_layout(out, turned.lay(), 90);
    // The box corner (1, 0) turns to (0, -1) (the x of a tiny negative value prints as -0).
    EXPECT_NE(text.find("0.000000000000, -1.000000000000) "), std::string::npos) << text;
    EXPECT_NE(text.find("\t<poly>\n"), std::string::npos);
    // The turned ground stays a box, so the dump reads back.
    EXPECT_EQ(prepare(text).lay().ground->solid.kind, uint32_t(solid_box));
}

TEST(Dump, OnlyTheLayersInsideTheWindowAreWrittenAndReadBackAsTheSameStack) {
    // A window of the conductor box grown by 2: its bottom (z = -2) lies
    // above the interface at z = -200.
    const std::string body = "<window> v1 (0, 0, 0) v2 (1, 1, 1) dirichlet </window>\n" + medium_text(-300, -200, 1) +
                             medium_text(-200, 0.25, 2) + medium_text(0.25, 300, 3) +
                             conductor_text("a", block_text("", 0, 0, 0.5)) + task("a");
    configure cfg;
    cfg.window_extension = 2;
    cfg.multi_dielectric = configure::layout_two;
    prepared original = prepare(root(body), cfg);
    ASSERT_DOUBLE_EQ(original.lay().window.box.lo.z, -1.5);
    std::string dumped;
    sea::string_writer out(&dumped);
    write_layout(out, original.lay());

    prepared back = prepare(dumped, cfg);
    const layer_stack& st = back.lay().layers;
    EXPECT_EQ(std::vector<double>(st.permittivity.begin() + layer_guard_permittivities,
                                  st.permittivity.end() - layer_guard_permittivities),
              (std::vector<double>{2, 3}));
    ASSERT_EQ(st.layer_count(), 2u);
    EXPECT_DOUBLE_EQ(st.interface_z[layer_guard_interfaces], 0.25);
    EXPECT_EQ(dumped.find("hvector (0, 0, -"), std::string::npos) << dumped;
}
