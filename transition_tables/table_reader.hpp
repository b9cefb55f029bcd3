// Reading one transition-table file into its in-memory form. Every reader
// is the same procedure over the file's header length, value count, stored
// width and post-processing; none returns on failure.
#pragma once

#include <cstddef>
#include <string>

#include "transition_tables/table_paths.hpp"
#include "transition_tables/table_sets.hpp"

// Fills dest (table_value_count(kind, family) values) from path: cumulative
// rows for gft and gft_is (a first-hop row of signed values keeps each
// panel's sign on its entry), absolute values for wvt_is. Refuses a path
// that is not a regular file, a file shorter than its header, a value that
// is not finite, a negative hop probability and a first-hop weight outside
// its physical range.
void read_table_file(table_kind kind, table_family family, double* dest, const std::string& path);
void read_table_file(table_kind kind, table_family family, float* dest, const std::string& path);

// flags[r] = 1 when cumulative row r (of row entries) carries panel signs.
void mark_signed_rows(const double* rows, std::size_t count, std::size_t row, unsigned char* flags);
void mark_signed_rows(const float* rows, std::size_t count, std::size_t row, unsigned char* flags);

void read_single_gft_is(double* dest, const std::string& path);
void read_single_wvt_is(double* dest, const std::string& path);
void read_pair_gft_is(float* dest, const std::string& path);
void read_pair_wvt_is(float* dest, const std::string& path);
void read_h_pair_gft_is(float* dest, const std::string& path);
void read_h_pair_wvt_is(float* dest, const std::string& path);
void read_triple_gft_is(float* dest, const std::string& path);
void read_triple_gft(float* dest, const std::string& path);
void read_equal_slab_gft_is(float* dest, const std::string& path);
void read_equal_slab_gft(float* dest, const std::string& path);
void read_equal_slab_wvt_is(float* dest, const std::string& path);
void load_four_layer_gft(float* dest, const std::string& path);
