#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/log_writers.hpp"
#include "foundation/run_end.hpp"
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

namespace {

// A run that ends early: the message on its stream, its status, and the
// at-exit routines only with clean-up (the routine here marks itself).
void end_the_run(const sea::run_end& end) {
    rebuild_log_writers(log_error, {nullptr, nullptr, nullptr, stderr});
    std::atexit([] { std::fputs("[at exit]", stderr); });
    std::fputs("[buffered]", stdout);  // flushed either way
    try {
        throw end;
    } catch (const sea::run_end& e) {
        e.finish();
    }
}

} // namespace

TEST(RunEndDeathTest, PrintsOnItsStreamAndExitsWithOrWithoutCleanUp) {
    struct row {
        sea::run_end end;
        int status;
        const char* output;
    };
    const row rows[] = {
        {sea::run_end("refused\n", -1), 255, "^refused\n\\[at exit\\]$"},
        {sea::run_end("refused\n", -1, false), 255, "^refused\n$"},
        {sea::run_end("touched\n", 1, true, sea::run_end::error_handler), 1, "^touched\n\\[at exit\\]$"},
        {sea::run_end("input in flex scanner failed\n", 2, true, sea::run_end::standard_error), 2,
         "^input in flex scanner failed\n\\[at exit\\]$"},
        {sea::run_end("not printed", -1, false, sea::run_end::already_written), 255, "^$"},
    };
    for (const row& r : rows)
        EXPECT_EXIT(end_the_run(r.end), testing::ExitedWithCode(r.status), r.output) << r.end.message();
}
