#include "foundation/memory_usage.hpp"

#include <malloc.h>

#include <cstdint>

namespace {
constexpr double bytes_per_mb = 1048576.0;

// Only the main thread prints memory lines.
std::uint64_t peak_bytes = 0;
std::uint64_t last_bytes = 0;
} // namespace

void sample_memory_usage() {
    // 64-bit sums: a 32-bit one turns negative past 2 GiB.
    const struct mallinfo2 info = mallinfo2();
    last_bytes = static_cast<std::uint64_t>(info.hblkhd) + info.uordblks + info.fordblks;
    if (last_bytes > peak_bytes) peak_bytes = last_bytes;
}

sea::writer& write_memory_line(sea::writer& w) {
    sample_memory_usage();
    w.printf("memuse ");
    w.printf("mem: %.2f MB, peak %.2f MB", last_bytes / bytes_per_mb, peak_bytes / bytes_per_mb);
    return w.put('\n').flush();
}
