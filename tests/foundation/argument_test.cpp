#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/argument_table.hpp"

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

    void parse(std::vector<const char*> words) {
        words.insert(words.begin(), "korvex");
        argument_table table(list());
        table.parse(static_cast<int>(words.size()), words.data());
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
    a.parse({"--nsteps", "5", "--nsteps=9", "--nsteps"});
    EXPECT_TRUE(a.steps_arg.given);
    EXPECT_EQ(a.steps_arg.value, "");
    EXPECT_EQ(a.steps, 0);

    small_set b;
    b.parse({"-window"});  // "-w" with the text "indow"
    EXPECT_EQ(b.width_arg.value, "indow");
    EXPECT_EQ(b.width, 0.0);
}

TEST(ValueConvertor, LeadingNumberElseZeroAndNothingReported) {
    struct number_case {
        const char* text;
        double as_double;
        int as_int;
    };
    const number_case cases[] = {
        {"12abc", 12, 12}, {"  7", 7, 7}, {"-3.75e1x", -37.5, -3}, {"abc", 0, 0}, {"", 0, 0}, {"0x10", 16, 0},
    };
    for (const number_case& c : cases) {
        double d = -1;
        int i = -1;
        std::int64_t l = -1;
        EXPECT_TRUE(value_convertor::convert(c.text, d));
        EXPECT_TRUE(value_convertor::convert(c.text, i));
        EXPECT_TRUE(value_convertor::convert(c.text, l));
        EXPECT_EQ(d, c.as_double) << c.text;
        EXPECT_EQ(i, c.as_int) << c.text;
        EXPECT_EQ(l, c.as_int) << c.text;
    }
    double d = 0;
    value_convertor::convert("inf", d);
    EXPECT_TRUE(std::isinf(d));
    std::int64_t big = 0;
    value_convertor::convert("5000000000", big);
    EXPECT_EQ(big, 5000000000LL);
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
        EXPECT_EXIT(a.parse(bad[k]), testing::ExitedWithCode(255),
                    std::string("^Fatal error: unknown argument '") + expected[k] + "'\n\n$");
    }
}

TEST(ArgumentTableDeathTest, ValueOutsideTheWordsListsTheCandidates) {
    small_set a;
    EXPECT_EXIT(a.parse({"--flag", "maybe"}), testing::ExitedWithCode(255),
                "^Fatal error: unexpected value 'maybe' of '--flag'\ncandidates are:\n\t"
                "([a-z0-9]+ ){8}\n\n$");
}
