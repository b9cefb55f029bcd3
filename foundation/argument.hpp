// One command-line option bound to one field of the settings record. Every
// option takes a value: set_value stores its text during parsing, apply
// converts that text into the field afterwards.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/file_opener.hpp"

namespace sea::config_impl {

class base_argument {
public:
    explicit base_argument(std::string option_name) : name(std::move(option_name)) {}
    virtual ~base_argument() = default;

    // Converts value into the bound field; false when it could not.
    virtual bool apply() = 0;

    // Replaces value, or appends the text and a blank when accumulate is set.
    void set_value(const std::string& text);

    std::string name;  // as typed, dashes included: "-f", "--log-level"
    std::string value;
    bool given = false;
    bool applied = false;
    bool accumulate = false;
};

// When arg is not applied yet: stores text and applies it. Returns whether
// this call applied the argument.
bool apply_default(base_argument& arg, const std::string& text);

// A number must fill its whole word (blanks around it aside): a typed value
// is taken as typed or not at all. Integers are decimal and may carry a
// fraction or an exponent as long as the value is whole ("5e4", "1.5e3",
// "20.0"); one beyond its type's range takes the nearest bound. Doubles take
// what strtod reads ("inf", "nan", hexadecimal forms included). convert
// returns false, leaving out untouched, for any other text.
struct value_convertor {
    static bool convert(const std::string& text, int& out);
    static bool convert(const std::string& text, std::int64_t& out);
    static bool convert(const std::string& text, double& out);

    // What the refusal of a text says is expected instead.
    static const char* expected(const int&) { return "a whole number"; }
    static const char* expected(const std::int64_t&) { return "a whole number"; }
    static const char* expected(const double&) { return "a number"; }
};

// Reports "unexpected value '%s' of '%s'\n" and then the detail fatally.
// Returns only if a handler accepted the error.
void report_unexpected_value(const base_argument& arg, const std::string& detail);

template <class T, class Convertor>
class functor_argument final : public base_argument {
public:
    functor_argument(std::string option_name, T& field) : base_argument(std::move(option_name)), target(&field) {}
    bool apply() override {
        if (Convertor::convert(value, *target)) return true;
        report_unexpected_value(*this, std::string(Convertor::expected(*target)) + " is expected\n");
        return false;
    }

    T* target;
};

// A file option: the stream comes from the process-wide open-file table.
template <>
class functor_argument<FILE*, file_opener> final : public base_argument {
public:
    functor_argument(std::string option_name, FILE*& field, std::string fopen_mode)
        : base_argument(std::move(option_name)), mode(std::move(fopen_mode)), target(&field) {}
    bool apply() override {
        if (value.empty() && !empty_is_null) {
            report_unexpected_value(*this, "a file name is expected\n");
            return false;
        }
        *target = file_opener::open(value.c_str(), mode.c_str());
        return *target != nullptr;
    }

    std::string mode;
    FILE** target;
    // An empty value opens "/dev/null" like "null". An option whose file the
    // run cannot do without clears it: there an empty value is a variable
    // that was never set, not a request for no file.
    bool empty_is_null = true;
};

template <class T>
class regular_argument final : public base_argument {
public:
    regular_argument(std::string option_name, T& field) : base_argument(std::move(option_name)), target(&field) {}
    bool apply() override {
        *target = value;
        return true;
    }

    T* target;
};

// Builds "unexpected value '%s' of '%s'\ncandidates are:\n\t" and the words,
// and reports it fatally. Returns only if a handler accepted the error.
void report_unexpected_value(const base_argument& arg, const std::vector<std::string>& words);

// An option that accepts only the words of its candidate list.
template <class T>
class mapped_argument final : public base_argument {
public:
    mapped_argument(std::string option_name, T& field) : base_argument(std::move(option_name)), target(&field) {}

    bool apply() override {
        auto it = candidates.find(value);
        if (it != candidates.end()) {
            *target = it->second;
            return true;
        }
        std::vector<std::string> words;
        for (const auto& c : candidates) words.push_back(c.first);
        report_unexpected_value(*this, words);
        return false;
    }

    // Pairs of an accepted word and its value; a word already present keeps
    // its first value.
    mapped_argument& add_candidates() { return *this; }
    template <class... Rest>
    mapped_argument& add_candidates(const char* word, T mapped, Rest... rest) {
        candidates.emplace(word, mapped);
        return add_candidates(rest...);
    }

    std::unordered_map<std::string, T> candidates;
    T* target;
};

// A bool option from eight (word, value) pairs.
mapped_argument<bool>* make_flag_argument(std::string option_name, bool& field, const char* w1, bool v1,
                                          const char* w2, bool v2, const char* w3, bool v3, const char* w4,
                                          bool v4, const char* w5, bool v5, const char* w6, bool v6,
                                          const char* w7, bool v7, const char* w8, bool v8);

// "enable", "true", "on", "1" set the field; "disable", "false", "off", "0"
// clear it. The caller owns the result.
mapped_argument<bool>* flag_argument(std::string option_name, bool& field);

} // namespace sea::config_impl
