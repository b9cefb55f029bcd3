#include <gtest/gtest.h>

#include <string>

#include "foundation/writer.hpp"

TEST(StringWriter, AppendsExactlyTheFormattedCharacters) {
    std::string text = "x=";
    sea::string_writer w(&text);
    w.printf("%s:%d", "ab", 42).put('!');
    EXPECT_EQ(text, "x=ab:42!");
    EXPECT_EQ(text.find('\0'), std::string::npos);
}

TEST(MultiWriter, EachTargetGetsItsOwnCopyOfTheArguments) {
    std::string a, b;
    sea::string_writer wa(&a), wb(&b);
    {
        sea::multi_writer both({&wa, &wb});
        both.printf("%s %d %.1f\n", "line", 7, 2.5);
        write_double(both, 1.0);
    }
    EXPECT_EQ(a, "line 7 2.5\n1.000000000000");
    EXPECT_EQ(a, b);
}
