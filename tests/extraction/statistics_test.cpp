#include <gtest/gtest.h>

#include <cmath>

#include "config/configure.hpp"
#include "extraction/convergence.hpp"
#include "extraction/coupling_criteria.hpp"
#include "extraction/stat_table.hpp"

namespace {

const conductor* net(int i) { return reinterpret_cast<const conductor*>(static_cast<std::uintptr_t>(0x1000 + 16 * i)); }

} // namespace

TEST(StatTable, OneStratumMeanAndVarianceCountEveryWalkOfTheTable) {
    net_stat_table t;
    t.add(net(1), 0, 2.0);
    t.add(net(1), 0, 4.0);
    t.add(net(2), 0, 10.0);  // counts in N for net 1 too
    const key_estimate e = t.estimate(*t.find(net(1)));
    const double n = 3, s = 6, q = 20;
    EXPECT_DOUBLE_EQ(e.mean, s / n);
    EXPECT_DOUBLE_EQ(e.variance, (q - s * s / n) / (n * n));
    EXPECT_EQ(t.nwalks, 3);
    EXPECT_EQ(t.find(net(3)), nullptr);
}

TEST(StatTable, TwoStrataWeighEachStratumByItsOwnWalkCount) {
    net_stat_table t;
    t.nstrata = 2;
    t.add(net(1), 0, 3.0);
    t.add(net(1), 0, 1.0);
    t.add(net(1), 1, -2.0);
    const key_estimate e = t.estimate(*t.find(net(1)));
    // stratum 0: S=4, Q=10, n=2; stratum 1: S=-2, Q=4, n=1; N=2
    EXPECT_DOUBLE_EQ(e.mean, 4.0 / 4.0 + -2.0 / 2.0);
    EXPECT_DOUBLE_EQ(e.variance, (10 - 16.0 / 2) / 16.0 + (4 - 4.0) / 4.0);
    EXPECT_EQ(t.npath[0], 2);
    EXPECT_EQ(t.npath[1], 1);
}

// The surface factor's share of the error, against the linearised estimate
// written out walk by walk: z_i = m (p_i / P - g_i / G) + w_i / (N n_k),
// whose centred sum of squares per stratum is the variance. The table keeps
// only sums, so this checks its expansion of them, covariances included.
TEST(StatTable, VarianceWithTheSurfaceFactorIsTheSpreadOfTheLinearisedWalks) {
    struct walk {
        std::size_t stratum;
        double weight, sumpdf, gtried;
    };
    const walk walks[][5] = {
        // one stratum: weights and draws that move together and apart
        {{0, 2.0, 0.5, 1}, {0, 4.0, 0.9, 2}, {0, -1.0, 0.2, 1}, {0, 3.0, 0.6, 3}, {0, 0.5, 0.4, 1}},
        // two strata of unequal size
        {{0, 3.0, 0.7, 1}, {0, 1.0, 0.3, 2}, {0, 2.5, 0.8, 1}, {1, -2.0, 0.5, 1}, {1, -0.5, 0.1, 4}},
    };
    for (const auto& set : walks) {
        net_stat_table t;
        t.nstrata = set[4].stratum + 1;
        double n[2] = {0, 0}, p = 0, g = 0;
        for (const walk& w : set) {
            t.add(net(1), w.stratum, w.weight, {w.sumpdf, w.gtried});
            n[w.stratum] += 1;
            p += w.sumpdf;
            g += w.gtried;
        }
        const double strata = static_cast<double>(t.nstrata);
        double mean = 0;
        for (const walk& w : set) mean += w.weight / (strata * n[w.stratum]);
        double variance = 0;
        for (std::size_t k = 0; k < t.nstrata; ++k) {
            double z[5], zbar = 0;
            int count = 0;
            for (const walk& w : set)
                if (w.stratum == k) {
                    z[count] = mean * (w.sumpdf / p - w.gtried / g) + w.weight / (strata * n[k]);
                    zbar += z[count++] / n[k];
                }
            for (int i = 0; i < count; ++i) variance += (z[i] - zbar) * (z[i] - zbar);
        }
        const key_estimate e = t.estimate(*t.find(net(1)));
        EXPECT_NEAR(e.mean, mean, 1e-15);
        EXPECT_NEAR(e.variance, variance, 1e-14 * variance);
        EXPECT_GT(variance, 0.0);
    }
}

TEST(StatTable, BlockPairsAreEqualOnlyWhenBothMembersAre) {
    block_stat_table t;
    const block* a = reinterpret_cast<const block*>(0x10);
    const block* b = reinterpret_cast<const block*>(0x20);
    t.add({a, b}, 0, 1.0);
    t.add({b, a}, 0, 1.0);
    t.add({a, b}, 0, 1.0);
    EXPECT_EQ(t.sums.size(), 2u);
    EXPECT_DOUBLE_EQ((*t.find({a, b}))[0].sum, 2.0);
}

class Convergence : public ::testing::Test {
protected:
    configure cfg;
    net_stat_table stats;
    std::vector<coupling_criterion> criteria;
    const conductor* master = net(0);

    // n walks on `key` alternating weights w and 3w (rel error shrinks as 1/sqrt(n))
    void walks(const conductor* key, int n, double w) {
        for (int i = 0; i < n; ++i) stats.add(key, 0, (i % 2) ? 3 * w : w);
    }
    convergence check() { return evaluate_convergence(stats, criteria, master, cfg); }
};

TEST_F(Convergence, UnreachedMasterWaitsForTheBlindWalkCount) {
    cfg.min_walks = 1000;
    walks(net(5), 99999, 1.0);
    EXPECT_EQ(check().progress, 0);
    walks(net(5), 1, 1.0);
    EXPECT_EQ(check().progress, 100);
    EXPECT_EQ(check().figure, -1);
    // Walk counts whose hundredfold does not fit in 64 bits (resumed runs).
    stats.nwalks = std::int64_t{1} << 62;
    cfg.min_walks = INT64_MAX;
    EXPECT_EQ(check().progress, 50);
}

TEST_F(Convergence, ProgressIsTheLesserOfAccuracyAndWalkCount) {
    cfg.min_walks = 1000;
    cfg.accuracy = 0.5;
    walks(master, 9, 1.0);
    walks(net(1), 1, 1.0);
    // walk progress 10 * 100 / 1000 = 1
    EXPECT_EQ(check().progress, 1);
    cfg.min_walks = 10;
    // The master's key: weights 1, 3, ..., 1 give S = 17 and Q = 41 over
    // N = 10 walks, a relative error of sqrt((41 - 28.9) / 100) / 1.7 and
    // 100 (0.1 / that)^2 = 23.9.
    cfg.accuracy = 0.1;
    EXPECT_EQ(check().progress, 23);
    cfg.accuracy = 0.5;
    EXPECT_EQ(check().progress, 100);
}

TEST_F(Convergence, CriteriaHoldTheMasterBackUnlessBelowTheirRatio) {
    cfg.min_walks = 1;
    walks(master, 1000, 1.0);
    walks(net(1), 1000, 0.001);
    criteria.push_back({net(1), 1e-9, 0.0});
    EXPECT_LT(check().progress, 100);
    criteria.back().ratio = 0.5;  // the net is far below half the master: skipped
    EXPECT_EQ(check().progress, 100);
    criteria.push_back({net(2), 0.1, 0.0});  // never reached, ratio x master = 0
    EXPECT_EQ(check().progress, 0);
    // Unreached after as many walks as an unreached master waits for: the
    // net lies where no walk goes (inside a closed shell), and the master
    // stops.
    stats.nwalks = 99999;
    EXPECT_EQ(check().progress, 0);
    stats.nwalks = 100000;
    EXPECT_EQ(check().progress, 100);

    // A criterion whose net shows no spread holds the master up to the walk
    // cap, not for ever: here one on the master itself ("* *" tuples give
    // one), every walk of equal weight back on it.
    net_stat_table alone;
    for (int i = 0; i < 1000; ++i) alone.add(master, 0, 1.0);
    stats = alone;
    criteria = {{master, 0.1, 0.0}};
    ASSERT_EQ(stats.estimate(*stats.find(master)).variance, 0.0);
    EXPECT_EQ(check().progress, 0);
    stats.nwalks = degenerate_walks;
    EXPECT_EQ(check().progress, 100);
}

// Until the walks show a spread, only the degenerate walk count ends a master.
TEST_F(Convergence, AMasterWithoutSpreadWalksOn) {
    cfg.min_walks = 1;
    stats.nstrata = 2;
    for (int i = 0; i < 1000; ++i) stats.add(master, i % 2, i % 2 ? -1.0 : 1.0);  // every walk back on the master
    EXPECT_EQ(check().progress, 0);
    EXPECT_TRUE(check().degenerate);
    stats.nwalks = degenerate_walks;
    EXPECT_EQ(check().progress, 100);
    stats.nwalks = 1000;
    stats.add(net(1), 0, 1.0);  // one walk elsewhere gives the master's key a spread
    EXPECT_FALSE(check().degenerate);
}

TEST_F(Convergence, CouplingFigureCountsAccurateCouplingsOnly) {
    cfg.min_walks = 1;
    cfg.coupling_accuracy = 0.5;
    walks(master, 1000, 1.0);
    EXPECT_EQ(check().progress, 0);  // every walk on the master: no spread yet
    stats.nwalks = degenerate_walks;
    convergence c = check();
    EXPECT_EQ(c.progress, 100);
    EXPECT_EQ(c.figure, 100);  // no other net reached
    EXPECT_EQ(c.count, -1);
    stats.nwalks = 1000;
    walks(net(2), 3, -0.25);  // reached, but too few walks to be accurate to 50 %
    c = check();
    EXPECT_EQ(c.figure, 0);
    EXPECT_EQ(c.count, 0);
    walks(net(1), 1000, -0.25);
    c = check();
    auto raw = [&](const conductor* key) { return stats.estimate(*stats.find(key)).raw(); };
    EXPECT_EQ(c.count, 1);
    EXPECT_EQ(c.figure, static_cast<int>(100 * raw(net(1)) / raw(master)));
    // The window's share counts like a net once it is accurate.
    walks(nullptr, 1000, -0.5);
    c = check();
    EXPECT_EQ(c.count, 2);
    EXPECT_EQ(c.figure, static_cast<int>(100 * (raw(net(1)) + raw(nullptr)) / raw(master)));
}

TEST(CouplingTuples, ReadingStopsAtTheFirstIncompleteTuple) {
    const auto t = read_coupling_tuples("m1 n1 0.1 0.01  ALL * 0.2 0   m2 n2 0.3");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].master, "m1");
    EXPECT_EQ(t[0].net, "n1");
    EXPECT_DOUBLE_EQ(t[0].error, 0.1);
    EXPECT_DOUBLE_EQ(t[0].ratio, 0.01);
    EXPECT_EQ(t[1].master, "ALL");
    EXPECT_EQ(t[1].net, "*");
    EXPECT_TRUE(read_coupling_tuples("a b 0.1").empty());
    EXPECT_TRUE(read_coupling_tuples("").empty());
    // A word longer than the buffers is split, never overrun.
    const auto long_word = read_coupling_tuples(std::string(2000, 'x') + " n 0.1 0.1");
    EXPECT_TRUE(long_word.empty() || long_word[0].master.size() <= 511);
}
