// Position of the process-wide seed counter from which every walker's
// engine is seeded (seed_walker_rng, walker/random_walker.hpp). A resumed
// run carries it over so that its walkers draw walks the earlier runs did
// not.
#pragma once

#include <cstdint>

// The seed the next walker will get.
uint32_t walker_seed_position();

// Makes the next walker start from seed; called before any walker exists.
void set_walker_seed_position(uint32_t seed);

// The seed the walker after `walkers` earlier ones gets in a fresh process.
uint32_t walker_seed_after(uint64_t walkers);

// Whether seed belongs to the counter's sequence: every member is odd, and
// an even seed would lead the counter to 0, where it stays.
inline bool is_walker_seed(uint64_t seed) { return seed <= UINT32_MAX && seed % 2 == 1; }
