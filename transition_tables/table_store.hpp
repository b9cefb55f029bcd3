// Every transition table a run needs. Filled once by load_tables before the
// walks start, then shared read-only by every walk thread. Layered sets are
// cached by permittivity key so each distinct key is read once; the lists
// hold non-owning pointers into the caches, which never drop an entry.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "transition_tables/table_key.hpp"
#include "transition_tables/table_sets.hpp"

struct configure;
struct layer_stack;

template <class Set>
using table_cache = std::unordered_map<table_key, Set, table_key_hash, table_key_equal>;

struct table_store {
    std::vector<int64_t> interface_table_pos;  // ratio-grid modes: lower set of each interface
    std::vector<double> interface_weight;      // ratio-grid modes: signed blend weight
    single_table_set single;
    table_cache<pair_table_set> pair_tables;
    std::vector<pair_table_set*> pair_list;
    table_cache<h_pair_table_set> h_pair_tables;
    std::vector<h_pair_table_set*> h_pair_list;
    table_cache<triple_table_set> triple_tables;
    std::vector<triple_table_set*> triple_list;
    table_cache<four_layer_table> four_layer_tables;
    std::vector<four_layer_table*> four_layer_list;
    table_cache<equal_slab_table_set> equal_slab_tables;
    std::vector<equal_slab_table_set*> equal_slab_list;
};

// Loads every set the stack needs, then builds their row guides.
void load_tables(table_store& store, const configure& cfg, const layer_stack& stack);

// Cut points of every cumulative row of the single set and of each listed
// set whose guides are not built yet; for stores filled by other means.
void build_row_guides(table_store& store);

// Set loaders: the loading line on the debug log, then the GFT_IS, GFT and
// WVT_IS files.
void load_single_table(single_table_set& set, const std::string& prefix);
void load_pair_table(pair_table_set& set, const std::string& prefix, const table_key& key);
void load_h_pair_table(h_pair_table_set& set, const std::string& prefix, const table_key& key);
void load_triple_table(triple_table_set& set, const std::string& prefix, const table_key& key);
void load_equal_slab_table(equal_slab_table_set& set, const std::string& prefix, const table_key& key);
void load_four_layer_table(four_layer_table& set, const std::string& prefix, const table_key& key);
