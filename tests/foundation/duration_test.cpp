#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <string>

#include "foundation/duration.hpp"
#include "foundation/memory_usage.hpp"

namespace {

std::string screen_form(std::int64_t ns) {
    std::string text;
    sea::string_writer w(&text);
    write_duration(w, ns);
    return text;
}

std::string file_form(std::int64_t ns) {
    std::string text;
    sea::string_writer w(&text);
    write_seconds(w, ns);
    return text;
}

} // namespace

TEST(Duration, ScreenFormTruncatesHundredthsAndOmitsZeroUnits) {
    EXPECT_EQ(screen_form(3725129000000), "1hr2min5.12sec");
    EXPECT_EQ(screen_form(999000000), "0.99sec");
    EXPECT_EQ(screen_form(999999999), "0.99sec");
    EXPECT_EQ(screen_form(59996000000), "59.99sec");
    EXPECT_EQ(screen_form(0), "0.00sec");
    EXPECT_EQ(screen_form(60000000000), "1min0.00sec");
    EXPECT_EQ(screen_form(3600000000000), "1hr0.00sec");
    EXPECT_EQ(screen_form(7205050000000), "2hr5.05sec");
}

TEST(Duration, FileFormRoundsToHundredths) {
    EXPECT_EQ(file_form(59996000000), "60.00sec");
    EXPECT_EQ(file_form(3725129000000), "3725.13sec");
    EXPECT_EQ(file_form(0), "0.00sec");
}

TEST(MemoryLine, FormatAndPeakNeverBelowCurrent) {
    const std::regex line("memuse mem: ([0-9]+\\.[0-9]{2}) MB, peak ([0-9]+\\.[0-9]{2}) MB\n");
    double last_peak = 0;
    for (int round = 0; round < 3; ++round) {
        std::string text;
        sea::string_writer w(&text);
        write_memory_line(w);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        const double now = std::stod(m[1]), peak = std::stod(m[2]);
        EXPECT_GE(peak, now);
        EXPECT_GE(peak, last_peak);
        last_peak = peak;
    }
}
