#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "foundation/thread_pool.hpp"

TEST(ThreadPool, EveryIndexRunsExactlyOnceAcrossRepeatedRuns) {
    for (int threads : {2, 4, 8}) {
        sea::thread_pool pool(threads);
        for (int count : {0, 1, 3, 1000}) {
            for (int repeat = 0; repeat < 5; ++repeat) {
                std::vector<std::atomic<int>> hits(count);
                pool.run(count, [&](int i) { hits[i].fetch_add(1); });
                for (int i = 0; i < count; ++i)
                    ASSERT_EQ(hits[i].load(), 1) << threads << " threads, count " << count << ", index " << i;
            }
        }
    }
}

TEST(ThreadPool, ManyWorkersShareALongRun) {
    sea::thread_pool pool(4);
    std::mutex guard;
    std::set<std::thread::id> seen;
    pool.run(400, [&](int) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::lock_guard<std::mutex> hold(guard);
        seen.insert(std::this_thread::get_id());
    });
    EXPECT_GT(seen.size(), 1u);
}

TEST(ThreadPool, PoolOfOneRunsInOrderOnTheCaller) {
    sea::thread_pool pool(1);
    std::vector<int> order;
    const auto caller = std::this_thread::get_id();
    bool elsewhere = false;
    pool.run(5, [&](int i) {
        order.push_back(i);
        elsewhere |= std::this_thread::get_id() != caller;
    });
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(elsewhere);
}

TEST(ThreadPool, EmptyJobThrowsOnlyWhenThereIsAnIndex) {
    sea::thread_pool pool(3);
    std::function<void(int)> none;
    EXPECT_THROW(pool.run(2, none), std::bad_function_call);
    EXPECT_NO_THROW(pool.run(0, none));
    int calls = 0;
    pool.run(3, [&](int) { ++calls; });  // the pool is still usable
    EXPECT_EQ(calls, 3);
}

TEST(TemporaryRun, BelowTwoRunsIndexZeroOnTheCallerElseOneThreadPerIndex) {
    const auto caller = std::this_thread::get_id();
    for (int n : {-1, 0, 1}) {
        std::vector<int> indices;
        bool on_caller = false;
        sea::thread_pool::temporary_run(n, [&](int k) {
            indices.push_back(k);
            on_caller = std::this_thread::get_id() == caller;
        });
        EXPECT_EQ(indices, std::vector<int>{0}) << n;
        EXPECT_TRUE(on_caller) << n;
    }

    std::mutex guard;
    std::multiset<int> indices;
    std::set<std::thread::id> threads;
    sea::thread_pool::temporary_run(6, [&](int k) {
        std::lock_guard<std::mutex> hold(guard);
        indices.insert(k);
        threads.insert(std::this_thread::get_id());
    });
    EXPECT_EQ(indices, (std::multiset<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(threads.size(), 6u);
    EXPECT_EQ(threads.count(caller), 0u);
}
