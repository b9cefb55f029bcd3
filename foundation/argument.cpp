#include "foundation/argument.hpp"

#include <algorithm>
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

bool value_convertor::convert(const std::string& text, int& out) {
    // Saturated rather than wrapped, so that a value out of range keeps its
    // sign and the checks of the run see it for what it is.
    const long v = std::strtol(text.c_str(), nullptr, 10);
    out = static_cast<int>(std::clamp<long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    return true;
}

bool value_convertor::convert(const std::string& text, std::int64_t& out) {
    out = static_cast<std::int64_t>(std::strtoll(text.c_str(), nullptr, 10));
    return true;
}

bool value_convertor::convert(const std::string& text, double& out) {
    out = std::strtod(text.c_str(), nullptr);
    return true;
}

void report_unexpected_value(const base_argument& arg, const std::vector<std::string>& words) {
    std::string message;
    string_writer out(&message);
    out.printf("unexpected value '%s' of '%s'\ncandidates are:\n\t", arg.value.c_str(), arg.name.c_str());
    for (const std::string& w : words) {
        write_cstr(out, w.c_str());
        out.put(' ');
    }
    out.put('\n').flush();
    error_handler::instance().report_fatal(configure_error(message));
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
