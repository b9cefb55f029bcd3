// A one-byte spin lock for short critical sections (lookups, counters).
#pragma once

#include <atomic>

namespace sea {

class spin_lock {
public:
    void lock() noexcept {
        while (flag_.exchange(1, std::memory_order_acquire) != 0) {
        }
    }
    bool try_lock() noexcept { return flag_.exchange(1, std::memory_order_acquire) == 0; }
    void unlock() noexcept { flag_.store(0, std::memory_order_release); }

private:
    std::atomic<unsigned char> flag_{0};
};

} // namespace sea
