#include "foundation/thread_pool.hpp"

namespace sea {

thread_pool::thread_pool(int threads) {
    for (int k = 1; k < threads; ++k) workers.emplace_back([this] { worker(); });
}

thread_pool::~thread_pool() {
    {
        std::lock_guard<std::mutex> hold(mutex);
        state = stopping;
    }
    wakeup.notify_all();
    for (std::thread& t : workers) t.join();
}

void thread_pool::take_indices() {
    for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) (*job)(i);
}

void thread_pool::run(int n, const job_fn& fn) {
    if (n > 0 && !fn) throw std::bad_function_call();
    if (workers.empty()) {
        for (int i = 0; i < n; ++i) fn(i);
        return;
    }
    {
        std::lock_guard<std::mutex> hold(mutex);
        job = &fn;
        count = n;
        next = 0;
        busy = static_cast<int>(workers.size());
        ++generation;
        state = running;
    }
    wakeup.notify_all();
    take_indices();
    std::unique_lock<std::mutex> hold(mutex);
    wakeup.wait(hold, [this] { return busy <= 0; });
    state = idle;
    job = nullptr;
}

void thread_pool::worker() {
    unsigned seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(mutex);
            wakeup.wait(hold, [&] { return state == stopping || generation != seen; });
            if (state == stopping) return;
            seen = generation;
        }
        take_indices();
        bool last;
        {
            std::lock_guard<std::mutex> hold(mutex);
            last = --busy == 0;
        }
        if (last) wakeup.notify_all();
    }
}

void thread_pool::temporary_run(int n, const job_fn& fn) {
    if (n < 2) {
        fn(0);
        return;
    }
    std::vector<std::thread> threads;
    threads.reserve(n);
    for (int k = 0; k < n; ++k) threads.emplace_back([&fn, k] { fn(k); });
    for (std::thread& t : threads) t.join();
}

} // namespace sea
