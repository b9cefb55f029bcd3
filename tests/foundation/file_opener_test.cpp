#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/errors.hpp"
#include "foundation/file_opener.hpp"
#include "tests/run_binary.hpp"

using sea::config_impl::file_opener;

TEST(FileOpener, SamePathAndModeSharesOneStreamUntilTheLastRelease) {
    korvex_test::scratch_dir dir;
    const std::string path = dir.path("shared.out");
    FILE* first = file_opener::open(path.c_str(), "w");
    ASSERT_NE(first, nullptr);
    std::fputs("kept", first);
    std::fflush(first);

    FILE* second = file_opener::open(path.c_str(), "w");
    EXPECT_EQ(second, first);
    EXPECT_EQ(file_opener::users(first), 2);
    EXPECT_EQ(dir.read("shared.out"), "kept");  // not truncated a second time

    file_opener::release(second);
    EXPECT_EQ(file_opener::users(first), 1);
    file_opener::release(first);
    EXPECT_EQ(file_opener::users(first), 0);

    FILE* again = file_opener::open(path.c_str(), "r");  // closed, so a new mode is fine
    ASSERT_NE(again, nullptr);
    file_opener::release(again);
}

TEST(FileOpener, OtherFlagsOnAnOpenFileOrAMissingFileRaiseTheOpenError) {
    korvex_test::scratch_dir dir;
    const std::string path = dir.write("input.lumod", "x");
    FILE* reading = file_opener::open(path.c_str(), "r");
    ASSERT_NE(reading, nullptr);
    try {
        file_opener::open(path.c_str(), "w");
        FAIL() << "no error";
    } catch (const sea::file_error& e) {
        EXPECT_EQ(std::string(e.what()), "cannot open file \"" + path + "\" with flag \"w\"\n");
    }
    EXPECT_EQ(dir.read("input.lumod"), "x");
    file_opener::release(reading);

    const std::string missing = dir.path("missing");
    EXPECT_THROW(file_opener::open(missing.c_str(), "r"), sea::file_error);
}

TEST(FileOpener, ReservedNamesAndTheNullDevice) {
    EXPECT_EQ(file_opener::open("stdin", "w"), stdin);
    EXPECT_EQ(file_opener::open("stdout", "r"), stdout);
    EXPECT_EQ(file_opener::open("stderr", "r"), stderr);
    EXPECT_EQ(file_opener::open("-", "r"), stdin);
    EXPECT_EQ(file_opener::open("-", "w"), stdout);
    EXPECT_EQ(file_opener::open("-", "ab"), stdout);

    FILE* null_stream = file_opener::open("null", "w");
    ASSERT_NE(null_stream, nullptr);
    EXPECT_EQ(file_opener::open("", "w"), null_stream);
    EXPECT_EQ(file_opener::open(nullptr, "w"), null_stream);
    EXPECT_EQ(file_opener::users(null_stream), 3);
    for (int k = 0; k < 3; ++k) file_opener::release(null_stream);

    file_opener::release(stdout);  // standard streams are never closed
    EXPECT_NE(std::fputs("", stdout), EOF);
    EXPECT_EQ(sea::config_impl::mode_flags("rw+ab"), 31u);
}
