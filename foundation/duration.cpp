#include "foundation/duration.hpp"

#include <chrono>

namespace {
constexpr std::int64_t ns_per_ms = 1000000;
constexpr std::int64_t ns_per_second = 1000 * ns_per_ms;
constexpr std::int64_t ns_per_minute = 60 * ns_per_second;
constexpr std::int64_t ns_per_hour = 60 * ns_per_minute;
} // namespace

std::int64_t steady_nanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

sea::writer& write_duration(sea::writer& w, std::int64_t nanoseconds) {
    const std::int64_t hours = nanoseconds / ns_per_hour;
    if (hours != 0) w.printf("%dhr", static_cast<int>(hours));
    std::int64_t rest = nanoseconds - hours * ns_per_hour;
    const std::int64_t minutes = rest / ns_per_minute;
    if (minutes != 0) w.printf("%dmin", static_cast<int>(minutes));
    rest -= minutes * ns_per_minute;
    const std::int64_t seconds = rest / ns_per_second;
    const std::int64_t milliseconds = (rest - seconds * ns_per_second) / ns_per_ms;
    return w.printf("%d.%02dsec", static_cast<int>(seconds), static_cast<int>(milliseconds / 10));
}

sea::writer& write_seconds(sea::writer& w, std::int64_t nanoseconds) {
    return w.printf("%.2fsec", static_cast<double>(nanoseconds) / 1e9);
}
