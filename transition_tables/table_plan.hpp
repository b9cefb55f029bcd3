// The distinct table sets a run would load, for tools that make them.
#pragma once

#include <string>
#include <vector>

#include "transition_tables/table_paths.hpp"

struct configure;
struct layer_stack;

struct table_request {
    table_kind kind;
    std::string prefix;
    std::vector<double> key;
};

// Every distinct set load_tables would load, in load order (single first).
// A ratio of 50 or more ends the process exactly as load_tables does.
std::vector<table_request> planned_tables(const configure& cfg, const layer_stack& stack);
