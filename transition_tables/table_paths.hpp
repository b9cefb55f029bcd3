// Names and shapes of the transition-table files: which directory template,
// header length, value count and stored width each (kind, family) has.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class table_kind { single, pair, h_pair, triple, equal_slab, four_layer };
enum class table_family { gft_is, gft, wvt_is };

// Directory prefix of every table path: "" for "", dir when it ends in "/",
// else dir + "/".
std::string join_dir(const std::string& dir);

// Full path of one file; key values printed with "%g". Four-layer tables
// have only the gft family.
std::string table_file_path(table_kind kind, table_family family, const std::string& prefix,
                            const std::vector<double>& key);

std::size_t table_header_bytes(table_kind kind);
// Values in one file; 0 where the kind has no such family.
std::size_t table_value_count(table_kind kind, table_family family);
// 8 for the single set, 4 for the others.
std::size_t table_stored_width(table_kind kind);
int table_panels_per_side(table_kind kind);
// Panels of one cube: the length of one gft or gft_is row.
std::size_t table_row_length(table_kind kind);
int table_configurations(table_kind kind);
// Number of key values: 0 single, 2 pair/h_pair, 3 triple, 4 otherwise.
std::size_t table_key_length(table_kind kind);
