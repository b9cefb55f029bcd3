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
