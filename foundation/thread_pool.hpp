// Runs one job over the indices 0..count-1 on a fixed set of worker
// threads, the calling thread taking part. A pool of T threads starts T-1
// workers; a pool of one runs every index in order on the caller.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sea {

class thread_pool {
public:
    using job_fn = std::function<void(int)>;

    explicit thread_pool(int threads);
    ~thread_pool();
    thread_pool(const thread_pool&) = delete;
    thread_pool& operator=(const thread_pool&) = delete;

    // Each index runs exactly once, on any thread; returns when every
    // worker has finished its share. An empty job with count above 0
    // throws std::bad_function_call.
    void run(int count, const job_fn& job);

    // fn(0..n-1) on n new threads, joined in order; fn(0) on the calling
    // thread when n is below 2.
    static void temporary_run(int n, const job_fn& fn);

private:
    enum : int { idle = 0, running = 1, stopping = 2 };

    void worker();
    void take_indices();

    std::vector<std::thread> workers;
    std::atomic<int> state{idle};
    int busy = 0;                 // workers still in the current run; guarded by mutex
    unsigned generation = 0;      // one per run, so that no worker misses or repeats a run
    std::mutex mutex;
    std::condition_variable wakeup;
    const job_fn* job = nullptr;
    std::atomic<int> next{0};
    int count = 0;
};

} // namespace sea
