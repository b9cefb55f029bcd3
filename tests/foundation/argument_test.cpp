#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "foundation/argument_table.hpp"
#include "tests/ends_run.hpp"

using namespace sea::config_impl;

namespace {

struct small_set {
    int steps = -7;
    std::int64_t walks = -7;
    double width = -7;
    std::string text = "unset";
    bool flag = false;

    functor_argument<int, value_convertor> steps_arg{"--nsteps", steps};
    functor_argument<std::int64_t, value_convertor> walks_arg{"-t", walks};
    functor_argument<double, value_convertor> width_arg{"-w", width};
    regular_argument<std::string> text_arg{"--name", text};
    std::unique_ptr<mapped_argument<bool>> flag_arg{flag_argument("--flag", flag)};

    std::vector<base_argument*> list() { return {&steps_arg, &walks_arg, &width_arg, &text_arg, flag_arg.get()}; }

    void parse(std::vector<const char*> words, bool apply = true) {
        words.insert(words.begin(), "korvex");
        argument_table table(list());
        table.parse(static_cast<int>(words.size()), words.data());
        if (!apply) return;
        for (base_argument* a : list()) a->applied = a->given && a->apply();
    }
};

} // namespace

TEST(ArgumentTable, AllFourWordFormsStoreTheirValue) {
    small_set a;
    a.parse({"--nsteps=20", "-t500", "-w", "2.5", "--name", "-looks-like-an-option"});
    EXPECT_EQ(a.steps, 20);
    EXPECT_EQ(a.walks, 500);
    EXPECT_EQ(a.width, 2.5);
    EXPECT_EQ(a.text, "-looks-like-an-option");

    small_set b;
    b.parse({"--nsteps", "20", "-t", "500", "--name=a=b", "--flag=on"});
    EXPECT_EQ(b.steps, 20);
    EXPECT_EQ(b.walks, 500);
    EXPECT_EQ(b.text, "a=b");
    EXPECT_TRUE(b.flag);
    EXPECT_FALSE(b.width_arg.given);
    EXPECT_EQ(b.width, -7);
}

TEST(ArgumentTable, LastWordWithoutValueAndLaterOccurrenceWins) {
    small_set a;
    a.parse({"--nsteps", "5", "--nsteps=9", "--nsteps"}, false);
    EXPECT_TRUE(a.steps_arg.given);
    EXPECT_EQ(a.steps_arg.value, "");

    small_set b;
    b.parse({"-window"}, false);  // "-w" with the text "indow"
    EXPECT_EQ(b.width_arg.value, "indow");

    small_set c;
    c.parse({"-t", "5", "-t9"});
    EXPECT_EQ(c.walks, 9);
}

TEST(ValueConvertor, TheWholeWordIsTheNumberOrNothingIsStored) {
    constexpr double no = -1;  // refused: the field keeps this value
    struct number_case {
        const char* text;
        double as_double;
        double as_whole;  // int and int64 alike
    };
    const number_case cases[] = {
        {"12", 12, 12},
        {"  7 ", 7, 7},
        {"+8", 8, 8},
        {"-3", -3, -3},
        {"5e4", 5e4, 5e4},
        {"1.5E3", 1500, 1500},
        {"20.0", 20, 20},
        {"5.", 5, 5},
        {"2500e-2", 25, 25},
        {"0.0e-7", 0, 0},
        {"-0", 0, 0},
        // Not whole: only a double takes them.
        {"2.5", 2.5, no},
        {"1e-3", 1e-3, no},
        {".5", 0.5, no},
        {"1.00000000000000001", 1, no},
        {"0x10", 16, no},
        {"inf", HUGE_VAL, no},
        // Junk after, before or instead of a number.
        {"12abc", no, no},
        {"50000abc", no, no},
        {"1%", no, no},
        {"-3.75e1x", no, no},
        {"1e", no, no},
        {"e5", no, no},
        {"abc", no, no},
        {"", no, no},
        {" ", no, no},
        {"1 2", no, no},
        {"=0.2", no, no},
    };
    for (const number_case& c : cases) {
        double d = no;
        int i = static_cast<int>(no);
        std::int64_t l = static_cast<std::int64_t>(no);
        EXPECT_EQ(value_convertor::convert(c.text, d), c.as_double != no) << c.text;
        EXPECT_EQ(value_convertor::convert(c.text, i), c.as_whole != no) << c.text;
        EXPECT_EQ(value_convertor::convert(c.text, l), c.as_whole != no) << c.text;
        EXPECT_EQ(d, c.as_double) << c.text;
        EXPECT_EQ(i, static_cast<int>(c.as_whole)) << c.text;
        EXPECT_EQ(l, static_cast<std::int64_t>(c.as_whole)) << c.text;
    }
    double d = 0;
    EXPECT_TRUE(value_convertor::convert("nan", d));
    EXPECT_TRUE(std::isnan(d));
}

TEST(ValueConvertor, WholeNumbersBeyondTheirTypeTakeTheNearestBound) {
    constexpr std::int64_t max64 = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t min64 = std::numeric_limits<std::int64_t>::min();
    const std::pair<const char*, std::int64_t> cases[] = {
        {"5000000000", 5000000000LL},
        {"9223372036854775807", max64},
        {"9223372036854775808", max64},
        {"-9223372036854775808", min64},
        {"-9223372036854775809", min64},
        {"9.223372036854775807e18", max64},
        {"1e19", max64},
        {"1e999999999999", max64},
        {"-1e30", min64},
        {"123456789012345678901234567890", max64},
    };
    for (const auto& [text, expected] : cases) {
        std::int64_t l = 0;
        EXPECT_TRUE(value_convertor::convert(text, l)) << text;
        EXPECT_EQ(l, expected) << text;
    }
    int i = 0;
    EXPECT_TRUE(value_convertor::convert("2147483648", i));
    EXPECT_EQ(i, std::numeric_limits<int>::max());
    EXPECT_TRUE(value_convertor::convert("-2.147483649e9", i));
    EXPECT_EQ(i, std::numeric_limits<int>::min());
}

TEST(MappedArgument, FlagWordsAndFirstCandidateKept) {
    const std::pair<const char*, bool> words[] = {{"enable", true}, {"true", true}, {"on", true}, {"1", true},
                                                  {"disable", false}, {"false", false}, {"off", false},
                                                  {"0", false}};
    for (const auto& w : words) {
        bool field = !w.second;
        std::unique_ptr<mapped_argument<bool>> arg(flag_argument("--f", field));
        arg->set_value(w.first);
        EXPECT_TRUE(arg->apply()) << w.first;
        EXPECT_EQ(field, w.second) << w.first;
    }

    int level = -1;
    mapped_argument<int> arg("--level", level);
    arg.add_candidates("x", 1, "x", 2, "y", 3);
    EXPECT_EQ(arg.candidates.size(), 2u);
    arg.set_value("x");
    EXPECT_TRUE(arg.apply());
    EXPECT_EQ(level, 1);
}

TEST(ApplyDefault, OnlyAnArgumentNotYetAppliedTakesTheDefault) {
    int n = 0;
    functor_argument<int, value_convertor> arg("-n", n);
    EXPECT_TRUE(apply_default(arg, "4"));
    EXPECT_EQ(n, 4);
    EXPECT_FALSE(apply_default(arg, "8"));
    EXPECT_EQ(n, 4);

    std::string text;
    regular_argument<std::string> acc("--acc", text);
    acc.accumulate = true;
    acc.set_value("a");
    acc.set_value("b");
    EXPECT_EQ(acc.value, "a b ");
}

TEST(ArgumentTableDeathTest, WordsThatAreNoOptionAreFatalOnStandardError) {
    const std::vector<std::vector<const char*>> bad = {{"-q"}, {"file.lumod"}, {"-"}, {"--nope=1"}, {"--nope"}};
    const char* expected[] = {"-q", "file.lumod", "-", "--nope", "--nope"};
    for (std::size_t k = 0; k < bad.size(); ++k) {
        small_set a;
        EXPECT_EXIT(korvex_test::ending_as_the_program([&] { a.parse(bad[k]); }), testing::ExitedWithCode(255),
                    std::string("^Fatal error: unknown argument '") + expected[k] + "'\n\n$");
    }
}

TEST(ArgumentTableDeathTest, ValueOutsideTheWordsListsTheCandidates) {
    small_set a;
    EXPECT_EXIT(korvex_test::ending_as_the_program([&] { a.parse({"--flag", "maybe"}); }), testing::ExitedWithCode(255),
                "^Fatal error: unexpected value 'maybe' of '--flag'\ncandidates are:\n\t"
                "([a-z0-9]+ ){8}\n\n$");
}

TEST(ArgumentTableDeathTest, NumbersThatAreNotTheWholeWordAreFatalWithOptionAndWord) {
    const std::pair<std::vector<const char*>, const char*> bad[] = {
        {{"--nsteps", "2.5"}, "'2.5' of '--nsteps'\na whole number is expected"},
        {{"-t", "50000abc"}, "'50000abc' of '-t'\na whole number is expected"},
        {{"-t0x10"}, "'0x10' of '-t'\na whole number is expected"},
        {{"-w", "1%"}, "'1%' of '-w'\na number is expected"},
        {{"-w=0.2"}, "'=0.2' of '-w'\na number is expected"},
        {{"--nsteps"}, "'' of '--nsteps'\na whole number is expected"},
    };
    for (const auto& [words, expected] : bad) {
        small_set a;
        EXPECT_EXIT(korvex_test::ending_as_the_program([&] { a.parse(words); }), testing::ExitedWithCode(255),
                    std::string("^Fatal error: unexpected value ") + expected + "\n\n$");
    }
}

TEST(ArgumentTableDeathTest, AnEmptyFileNameIsFatalWhereNoFileIsNoChoice) {
    FILE* stream = nullptr;
    functor_argument<FILE*, file_opener> arg("-o", stream, "w");
    arg.set_value("");
    arg.empty_is_null = false;
    EXPECT_EXIT(korvex_test::ending_as_the_program([&] { arg.apply(); }), testing::ExitedWithCode(255),
                "^Fatal error: unexpected value '' of '-o'\na file name is expected\n\n$");
}
