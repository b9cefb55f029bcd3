#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "foundation/log_writers.hpp"
#include "tests/run_binary.hpp"

TEST(LogWriters, SlotsFromTheLevelUpWriteToTheirOwnStreams) {
    const char* names[4] = {"debug", "info", "warn", "error"};
    for (int level = 0; level <= 5; ++level) {
        korvex_test::scratch_dir dir;
        std::array<FILE*, 4> streams;
        for (int i = 0; i < 4; ++i) streams[i] = std::fopen(dir.path(names[i]).c_str(), "w");
        rebuild_log_writers(level, streams);
        for (int i = 0; i < 4; ++i) log_writer(i).printf("%s", names[i]).flush();
        for (int i = 0; i < 4; ++i) {
            const bool on = level <= 3 && i >= level;
            EXPECT_EQ(dir.read(names[i]), on ? names[i] : "") << "level " << level << ", slot " << i;
            ASSERT_NE(log_writers()[i], nullptr);
        }
        rebuild_log_writers(log_off, {});
        for (FILE* s : streams) std::fclose(s);
    }
}
