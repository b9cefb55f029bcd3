// The capacitance report of one master, byte for byte, from statistics
// whose estimates are known by hand.
#include <gtest/gtest.h>

#include <string>

#include "extraction/extraction_task.hpp"
#include "extraction/problem_manager.hpp"
#include "foundation/writer.hpp"

namespace {

struct report_fixture {
    configure cfg;
    problem_manager run{cfg};
    std::string screen, file;
    conductor* m;
    conductor* n;
    conductor* f;

    report_fixture() {
        run.writers.screen_out = new sea::string_writer(&screen);
        run.writers.file_out = new sea::string_writer(&file);
        run.writers.both_out = new sea::multi_writer({run.writers.screen_out, run.writers.file_out});
        for (const char* name : {"m", "n", "f"}) run.layout.conductors.emplace_back(name, 0);
        m = &run.layout.conductors[0];
        n = &run.layout.conductors[1];
        f = &run.layout.conductors[2];
        // Input order, unlike the order of creation: the report follows it.
        run.layout.nets = {n, m, f};
    }

    // Eight walks: four of weight 2 on m, three of -1 on n, one absorbed.
    // m: mean 1, variance 1/8; n: mean -0.375, variance 1.875/64.
    void fill(extraction_task& t) {
        t.gauss.total_area = 1;
        t.gtried = 1;
        t.sumpdf = 1;
        for (int i = 0; i < 4; ++i) t.net_stats.add(m, 0, 2.0);
        for (int i = 0; i < 3; ++i) t.net_stats.add(n, 0, -1.0);
        t.net_stats.add(nullptr, 0, 0.0);
        t.floating_hits[f] = {1, 3};
    }
};

} // namespace

TEST(Report, FullFormatMatchesByteForByte) {
    report_fixture fx;
    extraction_task task(fx.run, fx.m);
    fx.fill(task);
    task.criteria.push_back({fx.n, 0.1, 0.0});  // 45.64 % misses 10 %
    task.report();
    const std::string head = "\nMaster m :    8.854e-18F  +/-  3.13e-18F   (35.36%)\n\n";
    EXPECT_EQ(fx.screen, head + "\n");
    EXPECT_EQ(fx.file.substr(0, head.size()), head);
    for (const char* line : {"    m              :    8.854e-18F  +/- 35.36%\n",
                             "    n              :   -3.320e-18F  +/- 45.64%\n",
                             "\nCAPACITANCE\n\nCapacitance on m =  8.854188e-18 F\n",
                             "Capacitance on n = -3.320320e-18 F\n\n",
                             "Voltage of floating conductor f: 0.333333 V\n",
                             "No error control on coupling capacitancebetween m and n\n"})
        EXPECT_NE(fx.file.find(line), std::string::npos) << line << "\nin\n" << fx.file;
    EXPECT_LT(fx.file.find("    n    "), fx.file.find("    m    "));
    EXPECT_EQ(fx.file.find("caperr"), std::string::npos);
    EXPECT_EQ(fx.file.substr(fx.file.size() - 1), "\n");
}

TEST(Report, SimpleFormatListsCaperrLinesOnly) {
    report_fixture fx;
    fx.cfg.simple_format = true;
    extraction_task task(fx.run, fx.m);
    fx.fill(task);
    task.criteria.push_back({fx.n, 0.1, 0.0});
    task.report();
    EXPECT_NE(fx.file.find("caperr m n 3.320e-18 0.4564\n"), std::string::npos) << fx.file;
    EXPECT_EQ(fx.file.find("No error control"), std::string::npos);
    EXPECT_EQ(fx.file.find("    n  "), std::string::npos);
}

// Every walk back on the master, of one weight per stratum: its estimate has
// no spread, so the master stops only at the walk cap and its error is
// unknown, never zero.
TEST(Report, AMasterWithoutSpreadIsNotConvergedAndShowsNoZeroError) {
    report_fixture fx;
    extraction_task task(fx.run, fx.m);
    task.gauss.total_area = 1;
    task.gtried = 1;
    task.sumpdf = 1;
    task.net_stats.nstrata = 2;
    for (int i = 0; i < 4; ++i) task.net_stats.add(fx.m, 0, 1.0);
    for (int i = 0; i < 3; ++i) task.net_stats.add(fx.m, 1, -0.5);
    // Unreached: no control, unless the ratio excuses a net of no capacitance.
    task.criteria.push_back({fx.n, 0.1, 0.0});
    task.criteria.push_back({fx.f, 0.1, 0.01});
    ASSERT_NE(task.unconverged_reason(), nullptr);
    task.report();
    const std::string head =
        "\nMaster m :    2.214e-18F  +/-       infF   (  inf%)\n"
        "Not converged: master m stopped after 7 walks, at the walk cap of 10000000; every walk ended on the master "
        "itself (no other net and no absorbing window side takes its charge), so its error cannot be measured.\n\n";
    EXPECT_EQ(fx.screen, head + "\n");
    EXPECT_EQ(fx.file.substr(0, head.size()), head);
    EXPECT_NE(fx.file.find("    m              :    2.214e-18F  <~    infF\n"), std::string::npos) << fx.file;
    EXPECT_NE(fx.file.find("No error control on coupling capacitancebetween m and n\n"), std::string::npos);
    EXPECT_EQ(fx.file.find("between m and f"), std::string::npos);

    // A walk elsewhere gives the estimate its spread: an ordinary report.
    task.net_stats.add(fx.n, 0, -1.0);
    EXPECT_EQ(task.unconverged_reason(), nullptr);
}
