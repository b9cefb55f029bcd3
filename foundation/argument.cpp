#include "foundation/argument.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>

#include "foundation/error_handler.hpp"
#include "foundation/writer.hpp"

namespace sea::config_impl {

void base_argument::set_value(const std::string& text) {
    if (accumulate) {
        value += text;
        value += ' ';
    } else {
        value = text;
    }
    given = true;
}

bool apply_default(base_argument& arg, const std::string& text) {
    if (arg.applied) return false;
    arg.set_value(text);
    arg.applied = arg.apply();
    return arg.applied;
}

namespace {

bool blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// Only blanks from p to the end of the text.
bool only_blanks(const char* p) {
    while (blank(*p)) ++p;
    return *p == '\0';
}

// A decimal number whose value is whole, saturated to the 64-bit range. The
// digits are kept as text so that the test of wholeness is exact: a double
// would call 1.00000000000000001 whole.
bool read_whole(const std::string& text, std::int64_t& out) {
    const char* p = text.c_str();
    while (blank(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    std::string digits;
    std::int64_t exponent = 0;  // of ten, applied to digits
    for (; digit(*p); ++p) digits += *p;
    if (*p == '.') {
        for (++p; digit(*p); ++p, --exponent) digits += *p;
    }
    if (digits.empty()) return false;
    if (*p == 'e' || *p == 'E') {
        ++p;
        const bool down = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        if (!digit(*p)) return false;
        std::int64_t e = 0;
        // Far beyond any digit count: the value is then out of range or not
        // whole either way.
        for (; digit(*p); ++p) e = std::min<std::int64_t>(e * 10 + (*p - '0'), 1000000);
        exponent += down ? -e : e;
    }
    if (!only_blanks(p)) return false;

    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        out = 0;
        return true;
    }
    digits.erase(0, first);
    if (exponent < 0) {
        const std::size_t cut = static_cast<std::size_t>(-exponent);
        if (cut >= digits.size() || digits.find_first_not_of('0', digits.size() - cut) != std::string::npos)
            return false;
        digits.erase(digits.size() - cut);
        exponent = 0;
    }
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    std::uint64_t value = 0;
    bool beyond = static_cast<std::int64_t>(digits.size()) + exponent > 20;
    for (std::size_t i = 0; !beyond && i < digits.size() + static_cast<std::size_t>(exponent); ++i) {
        const unsigned d = i < digits.size() ? static_cast<unsigned>(digits[i] - '0') : 0u;
        beyond = value > (limit - d) / 10;
        value = value * 10 + d;
    }
    if (beyond) value = limit;
    out = negative ? static_cast<std::int64_t>(0 - value) : static_cast<std::int64_t>(value);
    return true;
}

} // namespace

bool value_convertor::convert(const std::string& text, int& out) {
    // Saturated rather than wrapped, so that a value out of range keeps its
    // sign and the checks of the run see it for what it is.
    std::int64_t v = 0;
    if (!read_whole(text, v)) return false;
    out = static_cast<int>(
        std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    return true;
}

bool value_convertor::convert(const std::string& text, std::int64_t& out) { return read_whole(text, out); }

bool value_convertor::convert(const std::string& text, double& out) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !only_blanks(end)) return false;
    out = v;
    return true;
}

void report_unexpected_value(const base_argument& arg, const std::string& detail) {
    std::string message;
    string_writer out(&message);
    out.printf("unexpected value '%s' of '%s'\n", arg.value.c_str(), arg.name.c_str());
    write_cstr(out, detail.c_str());
    out.flush();
    error_handler::instance().report_fatal(configure_error(message));
}

void report_unexpected_value(const base_argument& arg, const std::vector<std::string>& words) {
    std::string candidates = "candidates are:\n\t";
    for (const std::string& w : words) candidates += w + ' ';
    report_unexpected_value(arg, candidates + '\n');
}

mapped_argument<bool>* make_flag_argument(std::string option_name, bool& field, const char* w1, bool v1,
                                          const char* w2, bool v2, const char* w3, bool v3, const char* w4,
                                          bool v4, const char* w5, bool v5, const char* w6, bool v6,
                                          const char* w7, bool v7, const char* w8, bool v8) {
    auto* arg = new mapped_argument<bool>(std::move(option_name), field);
    arg->add_candidates(w1, v1, w2, v2, w3, v3, w4, v4, w5, v5, w6, v6, w7, v7, w8, v8);
    return arg;
}

mapped_argument<bool>* flag_argument(std::string option_name, bool& field) {
    return make_flag_argument(std::move(option_name), field, "enable", true, "true", true, "on", true, "1", true,
                              "disable", false, "false", false, "off", false, "0", false);
}

} // namespace sea::config_impl
