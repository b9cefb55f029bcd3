#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "walker/random_walker.hpp"

namespace {

constexpr uint32_t first_seed = 5489u;

// Position of the seed of e in the sequence 5489 * 3^k, or -1.
int seed_position(const walker_rng& e, int limit) {
    uint32_t s = first_seed;
    for (int k = 0; k < limit; ++k, s *= 3u)
        if (walker_rng(s) == e) return k;
    return -1;
}

}  // namespace

TEST(WalkerSeed, EachWalkerTakesTheNextPowerOfThree) {
    walker_rng a, b, c;
    seed_walker_rng(a);
    seed_walker_rng(b);
    seed_walker_rng(c);
    const int k = seed_position(a, 100000);
    ASSERT_GE(k, 0);
    EXPECT_EQ(seed_position(b, 100000), k + 1);
    EXPECT_EQ(seed_position(c, 100000), k + 2);
}

TEST(WalkerSeed, ConcurrentWalkersGetDistinctConsecutiveSeeds) {
    const int threads = 8, per_thread = 50;
    std::vector<walker_rng> engines(threads * per_thread);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            for (int i = 0; i < per_thread; ++i) seed_walker_rng(engines[t * per_thread + i]);
        });
    for (std::thread& t : pool) t.join();
    std::vector<int> positions;
    for (const walker_rng& e : engines) positions.push_back(seed_position(e, 100000));
    std::sort(positions.begin(), positions.end());
    ASSERT_GE(positions.front(), 0);
    for (std::size_t i = 1; i < positions.size(); ++i) EXPECT_EQ(positions[i], positions[i - 1] + 1);
}
