// The walker seen from the extraction task: one complete random walk per
// call, its outcome, and the floating conductors it crossed.
#pragma once

#include <cstdint>
#include <unordered_set>

#include "walker/gauss_surface.hpp"
#include "walker/random_draw.hpp"

struct block;
struct conductor;

struct walk_result {
    uint64_t face = 0;  // start face 0..5; below 3 the + side of axis face % 3
    double gauss_offset = 0.0;
    slant_normal piece_value{0, 0};
    uint64_t gtried = 0;  // start-point draws of this walk
    double sumpdf = 0.0;  // start density weights that reached the weight test
    const block* origin = nullptr;  // master block of the start point
    double weight = 0.0;  // start weight times the signed first-hop factor
    const block* terminal = nullptr;  // null: absorbed at a boundary
    uint64_t hops = 0;  // first hop and floating jumps included
};

// Floating conductors the current walk jumped across, each once.
using crossed_floating_set = std::unordered_set<const conductor*>;

class random_walker_interface {
public:
    virtual ~random_walker_interface() = default;
    // Runs one complete walk; the record is overwritten by the next call.
    virtual const walk_result* walk_once() = 0;
    // Floating conductors crossed by the last walk.
    virtual const crossed_floating_set& crossed() const = 0;
};

// Seeds a walker's engine from the process-wide seed counter: the k-th call
// in the process (from 0) uses 5489 * 3^k modulo 2^32. Thread-safe.
void seed_walker_rng(walker_rng& rng);
