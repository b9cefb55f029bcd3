// The memory line of the phase timings: the allocator's mapped plus heap
// bytes (in use and free) and the largest such value seen in the process.
#pragma once

#include "foundation/writer.hpp"

// Samples the allocator, raises the process-wide peak, then prints
// "memuse mem: %.2f MB, peak %.2f MB", a newline and a flush (MB = 2^20 bytes).
sea::writer& write_memory_line(sea::writer& w);

// Samples the allocator and raises the peak without printing anything.
void sample_memory_usage();
