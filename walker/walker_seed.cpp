#include "walker/walker_seed.hpp"

#include <mutex>

#include "foundation/spin_lock.hpp"
#include "walker/random_walker.hpp"

namespace {

// The engine's default seed starts the sequence; each walker triples it.
constexpr uint32_t first_walker_seed = 5489u;
constexpr uint32_t seed_multiplier = 3u;

sea::spin_lock seed_lock;
uint32_t seed_counter = first_walker_seed;

}  // namespace

void seed_walker_rng(walker_rng& rng) {
    uint32_t seed;
    {
        std::lock_guard<sea::spin_lock> guard(seed_lock);
        seed = seed_counter;
        seed_counter = seed_counter * seed_multiplier;
    }
    rng.seed(seed);
}

uint32_t walker_seed_position() {
    std::lock_guard<sea::spin_lock> guard(seed_lock);
    return seed_counter;
}

void set_walker_seed_position(uint32_t seed) {
    std::lock_guard<sea::spin_lock> guard(seed_lock);
    seed_counter = seed;
}

uint32_t walker_seed_after(uint64_t walkers) {
    // 3^walkers modulo 2^32 by squaring.
    uint32_t power = 1, base = seed_multiplier;
    for (; walkers != 0; walkers >>= 1) {
        if (walkers & 1) power *= base;
        base *= base;
    }
    return first_walker_seed * power;
}
