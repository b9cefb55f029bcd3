// The options of one parse, found by name, and the parser of the
// command-line words. Parsing only stores texts; applying them is the
// caller's, in registration order.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/argument.hpp"

namespace sea::config_impl {

class argument_table {
public:
    // Non-owning, in registration order; a repeated name keeps its first argument.
    explicit argument_table(std::vector<base_argument*> list);

    // Stores text in the argument called name; an unknown name is fatal
    // ("unknown argument '%s'\n").
    void set(const std::string& name, const std::string& text);

    // Words after the program name: "--name=value", "--name value",
    // "-xvalue", "-x value". A word that does not begin with '-', or "-"
    // alone, is fatal. A later occurrence replaces an earlier value.
    void parse(int argc, const char* const* argv);

    std::vector<base_argument*> arguments;
    std::unordered_map<std::string, base_argument*> by_name;
};

} // namespace sea::config_impl
