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

// "single", "pair", "h-pair", "triple", "equal-slab" or "four-layer".
const char* table_kind_name(table_kind kind);
// "GFT_IS", "GFT" or "WVT_IS", as in the file names.
const char* table_family_name(table_family family);
// "(3.9, 2.2)": the values as a file name prints them.
std::string key_text(const std::vector<double>& key);

// The key values a file name carries, read back from the last component of
// path; false when that component is not a name table_file_path makes for
// this kind and family.
bool table_key_from_name(table_kind kind, table_family family, const std::string& path, std::vector<double>& key);
