// The capacitance report of one master, byte for byte, from statistics
// whose estimates are known by hand.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "extraction/extraction_task.hpp"
#include "config/configure.hpp"
#include "extraction/prepared_input.hpp"
#include "extraction/run_writers.hpp"
#include "foundation/writer.hpp"

// Sets what a task's start and walks would have set.
struct extraction_task_probe {
    static gauss_surface& gauss(extraction_task& t) { return t.gauss; }
    static std::vector<coupling_criterion>& criteria(extraction_task& t) { return t.criteria; }
    static std::unordered_map<const conductor*, floating_count>& floating_hits(extraction_task& t) {
        return t.floating_hits;
    }
};

namespace {

using probe = extraction_task_probe;

struct report_fixture {
    configure cfg;
    prepared_input input;
    run_writers writers;
    std::string screen, file;
    conductor* m;
    conductor* n;
    conductor* f;

    report_fixture() {
        open_run_writers(writers, std::make_unique<sea::string_writer>(&screen),
                         std::make_unique<sea::string_writer>(&file));
        layout& lay = input.layout;
        lay.cfg = &cfg;
        for (const char* name : {"m", "n", "f"}) lay.conductors.emplace_back(name, 0);
        m = &lay.conductors[0];
        n = &lay.conductors[1];
        f = &lay.conductors[2];
        // Input order, unlike the order of creation: the report follows it.
        lay.nets = {n, m, f};
    }

    // Eight walks: four of weight 2 on m, three of -1 on n, one absorbed.
    // m: mean 1, variance 1/8; n: mean -0.375, variance 1.875/64.
    void fill(extraction_task& t) {
        probe::gauss(t).total_area = 1;
        task_statistics& s = t.statistics_before_walks();
        s.gtried = 1;
        s.sumpdf = 1;
        for (int i = 0; i < 4; ++i) s.net_stats.add(m, 0, 2.0);
        for (int i = 0; i < 3; ++i) s.net_stats.add(n, 0, -1.0);
        s.net_stats.add(nullptr, 0, 0.0);
        probe::floating_hits(t)[f] = {1, 3};
    }
};

} // namespace

TEST(Report, FullFormatMatchesByteForByte) {
    report_fixture fx;
    extraction_task task(fx.cfg, fx.input, fx.writers, fx.m);
    fx.fill(task);
    probe::criteria(task).push_back({fx.n, 0.1, 0.0});  // 45.64 % misses 10 %
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
    extraction_task task(fx.cfg, fx.input, fx.writers, fx.m);
    fx.fill(task);
    probe::criteria(task).push_back({fx.n, 0.1, 0.0});
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
    extraction_task task(fx.cfg, fx.input, fx.writers, fx.m);
    probe::gauss(task).total_area = 1;
    task.statistics_before_walks().gtried = 1;
    task.statistics_before_walks().sumpdf = 1;
    task.statistics_before_walks().net_stats.nstrata = 2;
    for (int i = 0; i < 4; ++i) task.statistics_before_walks().net_stats.add(fx.m, 0, 1.0);
    for (int i = 0; i < 3; ++i) task.statistics_before_walks().net_stats.add(fx.m, 1, -0.5);
    // Unreached: no control, unless the ratio excuses a net of no capacitance.
    probe::criteria(task).push_back({fx.n, 0.1, 0.0});
    probe::criteria(task).push_back({fx.f, 0.1, 0.01});
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
    task.statistics_before_walks().net_stats.add(fx.n, 0, -1.0);
    EXPECT_EQ(task.unconverged_reason(), nullptr);
}
