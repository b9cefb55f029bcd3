// Which table sets a run needs, in the order the store loads them and
// appends them to its per-interface lists. The store (load_tables) and the
// table generator (planned_tables) both read this one selection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transition_tables/table_key.hpp"
#include "transition_tables/table_paths.hpp"

struct configure;
struct layer_stack;

// One append to a list: find the set of this key, or load it first.
struct table_use {
    table_kind kind;
    std::string prefix;
    table_key key;
};

struct table_selection {
    std::vector<int64_t> interface_table_pos;
    std::vector<double> interface_weight;
    std::vector<table_use> uses;
    // A neighbouring-layer ratio of 50 or more stopped the selection after
    // the uses before it; the run must end with the ratio message.
    bool ratio_refused = false;
    // Mode four left the four-layer sets out: no cube can hold three
    // interfaces of this stack on its placement boundaries.
    bool four_layer_left_out = false;
};

// Whether three neighbouring interfaces, gap_below and gap_above apart, can
// lie within the placement tolerance on inner boundaries of one cube's
// 16-cell division.
bool gaps_share_a_division(double gap_below, double gap_above);

table_selection select_tables(const configure& cfg, const layer_stack& stack);

// Entries of the approx mode's equal-slab list, and the key of entry
// ((pos x 11 + i1) x 11 + i2) x 11 + i3: (1.0, a, b, c) for pos 0,
// (a, 1.0, b, c) for pos 1, each of a, b, c = 0.5 + 0.05 i.
constexpr std::size_t equal_slab_entries = 2662;
table_key equal_slab_key(std::size_t index);

// Relative permittivities of the real layers, bottom to top.
std::vector<double> layer_permittivities(const layer_stack& stack);

// The ratio message on the error log, then exit status 1.
[[noreturn]] void refuse_ratio();
