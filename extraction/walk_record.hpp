// One walk as a walk thread buffers it before merging into the statistics.
#pragma once

#include <cstdint>

struct block;

struct walk_record {
    const block* origin_block;    // master block that held the start point
    const block* terminal_block;  // null when absorbed at a window side
    double weight;
    std::int64_t stratum;  // of both the net and the block statistics
    double sumpdf;  // the walk's own start-point draw
    double gtried;
};
