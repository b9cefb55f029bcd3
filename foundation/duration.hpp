// Steady-clock time stamps and the two printed forms of a duration.
#pragma once

#include <cstdint>

#include "foundation/writer.hpp"

// Steady-clock time stamp in nanoseconds.
std::int64_t steady_nanoseconds();

// Screen and log form: "%dhr" and "%dmin" only when not 0, then
// "%d.%02dsec" with the hundredths truncated (0.999 s is 0.99sec).
sea::writer& write_duration(sea::writer& w, std::int64_t nanoseconds);

// Output-file form: "%.2fsec" of the seconds, rounded by the formatter.
sea::writer& write_seconds(sea::writer& w, std::int64_t nanoseconds);
