#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/log_writers.hpp"
#include "geometry/scanner.hpp"
#include "tests/ends_run.hpp"

namespace {

// Token codes of the lumod format, fixed by the file format's grammar.
enum : int {
    ITF_BEGIN = 257, ITF_END, LAYER_BEGIN, LAYER_END, BLOCK_BEGIN, BLOCK_END,
    CAPACITANCE_BEGIN, CAPACITANCE_END, ROOT_BEGIN, ROOT_END, CONDUCTOR_BEGIN,
    CONDUCTOR_END, COORD_BEGIN, COORD_END, MEDIUM_BEGIN, MEDIUM_END, TASK_BEGIN,
    TASK_END, WINDOW_BEGIN, WINDOW_END, DIEL, DIRICHLET, HEIGHT, STRING, NAME,
    NEUMANN, NUMBER, BASEPOINT, RADIUS, RHO, V1, V2, HVECTOR, FLOATING,
};

struct token {
    int code;
    std::string text;  // the STRING's value, else the matched text
    double number;

    bool operator==(const token& o) const {
        return code == o.code && text == o.text && (code != NUMBER || number == o.number);
    }
};

std::ostream& operator<<(std::ostream& os, const token& t) {
    return os << '{' << t.code << " '" << t.text << "' " << t.number << '}';
}

token num(const std::string& text, double value) { return {NUMBER, text, value}; }
token str(const std::string& text) { return {STRING, text, 0}; }
token tok(int code, const std::string& text) { return {code, text, 0}; }

FILE* stream_of(const std::string& text) {
    FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

struct scan_result {
    std::vector<token> tokens;
    int lines;
};

scan_result scan(const std::string& text) {
    FILE* in = stream_of(text);
    scanner_begin(in);
    scan_result r;
    for (int code; (code = lumod_lex()) != 0;) {
        token t{code, scanner_text(), 0};
        if (code == NUMBER)
            t.number = scanner_number();
        if (code == STRING) {
            char* s = scanner_string();
            t.text = s;
            delete[] s;
        }
        r.tokens.push_back(t);
    }
    r.lines = lumod_line;
    scanner_end();
    std::fclose(in);
    return r;
}

std::vector<token> tokens(const std::string& text) { return scan(text).tokens; }

// Death-test body: scanning must end the process before returning.
void scan_to_death(const std::string& text) {
    rebuild_log_writers(log_debug, {stdout, stdout, stderr, stderr});
    korvex_test::ending_as_the_program([&] { scan(text); });
}

}  // namespace

TEST(Scanner, NumbersTakeOnlyTheirFourForms) {
    EXPECT_EQ(tokens("-0x10"), std::vector<token>({num("-0x10", -16)}));
    EXPECT_EQ(tokens("0X1f +0x1"), std::vector<token>({num("0X1f", 31), num("+0x1", 1)}));
    EXPECT_EQ(tokens("00012"), std::vector<token>({num("00012", 12)}));
    EXPECT_EQ(tokens("-2.25 +3"), std::vector<token>({num("-2.25", -2.25), num("+3", 3)}));
    EXPECT_EQ(tokens("1e-5"), std::vector<token>({num("1e-5", 1e-5)}));
    EXPECT_EQ(tokens("12e+2"), std::vector<token>({num("12e+2", 1200)}));
    // The exponent form has no sign, no fraction and only a lower-case e.
    EXPECT_EQ(tokens("-1e-5"), std::vector<token>({num("-1", -1), str("e-5")}));
    EXPECT_EQ(tokens("+1e5"), std::vector<token>({num("+1", 1), str("e5")}));
    EXPECT_EQ(tokens("1.5e3"), std::vector<token>({num("1.5", 1.5), str("e3")}));
    EXPECT_EQ(tokens("1E5"), std::vector<token>({num("1", 1), str("E5")}));
    EXPECT_EQ(tokens("0xg"), std::vector<token>({num("0", 0), str("xg")}));
}

TEST(Scanner, KeywordsWinOnlyOnTheirExactText) {
    const std::vector<std::pair<std::string, int>> keywords = {
        {"floating", FLOATING}, {"basepoint", BASEPOINT}, {"diel", DIEL},
        {"dirichlet", DIRICHLET}, {"height", HEIGHT}, {"hvector", HVECTOR},
        {"name", NAME}, {"neumann", NEUMANN}, {"radius", RADIUS},
        {"v1", V1}, {"v2", V2}, {"rho", RHO},
    };
    for (const auto& [word, code] : keywords) {
        EXPECT_EQ(tokens(word), std::vector<token>({tok(code, word)})) << word;
        EXPECT_EQ(tokens(word + "x"), std::vector<token>({str(word + "x")})) << word;
    }
    EXPECT_EQ(tokens("name1 V1 Floating"), std::vector<token>({str("name1"), str("V1"), str("Floating")}));
    EXPECT_EQ(tokens("abc_d-1 _x"), std::vector<token>({str("abc_d-1"), str("_x")}));
    EXPECT_EQ(tokens("v1(v2"), std::vector<token>({tok(V1, "v1"), tok('(', "("), tok(V2, "v2")}));
}

TEST(Scanner, TagsOfEverySectionWithBothClosingForms) {
    const std::vector<std::tuple<std::string, int, int>> sections = {
        {"lumod", ROOT_BEGIN, ROOT_END}, {"pryx", ROOT_BEGIN, ROOT_END},
        {"itf", ITF_BEGIN, ITF_END}, {"layer", LAYER_BEGIN, LAYER_END},
        {"window", WINDOW_BEGIN, WINDOW_END}, {"medium", MEDIUM_BEGIN, MEDIUM_END},
        {"block", BLOCK_BEGIN, BLOCK_END}, {"poly", BLOCK_BEGIN, BLOCK_END},
        {"conductor", CONDUCTOR_BEGIN, CONDUCTOR_END}, {"coord", COORD_BEGIN, COORD_END},
        {"capacitance", CAPACITANCE_BEGIN, CAPACITANCE_END}, {"task", TASK_BEGIN, TASK_END},
    };
    for (const auto& [word, open, close] : sections) {
        const std::string o = "<" + word + ">", c1 = "</" + word + ">", c2 = "[/" + word + "]";
        EXPECT_EQ(tokens(o + c1 + c2), std::vector<token>({tok(open, o), tok(close, c1), tok(close, c2)}))
            << word;
    }
    // Tags hold no blanks; unknown and upper-case tags are plain characters
    // around a STRING.
    EXPECT_EQ(tokens("< lumod>"), std::vector<token>({tok('<', "<"), str("lumod"), tok('>', ">")}));
    EXPECT_EQ(tokens("<LUMOD>"), std::vector<token>({tok('<', "<"), str("LUMOD"), tok('>', ">")}));
    EXPECT_EQ(tokens("</foo>"),
              std::vector<token>({tok('<', "<"), tok('/', "/"), str("foo"), tok('>', ">")}));
    EXPECT_EQ(tokens("[/block"), std::vector<token>({tok('[', "["), tok('/', "/"), str("block")}));
    std::vector<token> punctuation;
    for (char c : std::string("(),/<=>[]{}"))
        punctuation.push_back(tok(c, std::string(1, c)));
    EXPECT_EQ(tokens("( ) , / < = > [ ] { }"), punctuation);
}

TEST(Scanner, LineCounterCountsLineFeedsOnly) {
    EXPECT_EQ(scan("").lines, 1);
    EXPECT_EQ(scan("a\n").lines, 2);
    EXPECT_EQ(scan("a\r\nb").lines, 2);
    EXPECT_EQ(scan("a\rb\rc").lines, 1);
    // A line feed then a carriage return: two newline tokens, one line.
    EXPECT_EQ(scan("a\n\rb").lines, 2);
    EXPECT_EQ(scan("\r\n\r\n\n").lines, 4);
    EXPECT_EQ(scan("\t \t").tokens.size(), 0u);
}

TEST(Scanner, CommentsAreSkippedAndCountTheirLines) {
    const scan_result block = scan("a /* one\n two\r\n three\n */ b");
    EXPECT_EQ(block.tokens, std::vector<token>({str("a"), str("b")}));
    EXPECT_EQ(block.lines, 4);
    EXPECT_EQ(tokens("/**/a/* ** / * */b/***/"), std::vector<token>({str("a"), str("b")}));
    // A block comment ends at the first "*/".
    EXPECT_EQ(tokens("/* a */ b /* */ c"), std::vector<token>({str("b"), str("c")}));

    const scan_result line = scan("a // c <lumod> 1\nb // d\rc");
    EXPECT_EQ(line.tokens, std::vector<token>({str("a"), str("b"), str("c")}));
    EXPECT_EQ(line.lines, 2);
    // Not ended by a line break: the comment is no comment, only two slashes.
    EXPECT_EQ(tokens("a //"), std::vector<token>({str("a"), tok('/', "/"), tok('/', "/")}));
}

TEST(Scanner, TokensAndCommentsLongerThanTheBufferStayWhole) {
    const std::string word(100000, 'w');
    EXPECT_EQ(tokens("x " + word + " y"), std::vector<token>({str("x"), str(word), str("y")}));

    std::string comment = "/*";
    for (int i = 0; i < 30000; ++i)
        comment += "line\n";
    const scan_result r = scan("a " + comment + "*/ b\n");
    EXPECT_EQ(r.tokens, std::vector<token>({str("a"), str("b")}));
    EXPECT_EQ(r.lines, 30002);

    // An unended line comment longer than the buffer is two slashes and a
    // name, matched again after the buffer has grown many times.
    const std::string tail(200000, 'y');
    EXPECT_EQ(tokens("a //" + tail), std::vector<token>({str("a"), tok('/', "/"), tok('/', "/"), str(tail)}));

    const std::string digits(20000, '7');
    const std::vector<token> big = tokens(digits + ".5");
    ASSERT_EQ(big.size(), 1u);
    EXPECT_EQ(big[0].text.size(), digits.size() + 2);
}

TEST(ScannerDeathTest, UnknownCharacterEndsTheRunWithItsLine) {
    EXPECT_EXIT(scan_to_death("<lumod>\n\n\n  @\n"), testing::ExitedWithCode(255),
                "^unknow input @ at 4\n$");
    EXPECT_EXIT(scan_to_death("x -a"), testing::ExitedWithCode(255), "^unknow input - at 1\n$");
    EXPECT_EXIT(scan_to_death("\n.5"), testing::ExitedWithCode(255), "^unknow input \\. at 2\n$");
    // An unterminated block comment is a slash and a stray star.
    EXPECT_EXIT(scan_to_death("a\n/* open\n"), testing::ExitedWithCode(255),
                "^unknow input \\* at 2\n$");
    EXPECT_EXIT(scan_to_death("a\n/*" + std::string(200000, '\n')), testing::ExitedWithCode(255),
                "^unknow input \\* at 2\n$");
    EXPECT_EXIT(scan_to_death("r\xc3\xa9"), testing::ExitedWithCode(255), "^unknow input 0xC3 at 1\n$");
}
