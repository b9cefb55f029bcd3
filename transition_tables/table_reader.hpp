// Reading one transition-table file into its in-memory form. Every reader
// is the same procedure over the file's header length, value count, stored
// width and post-processing; none returns on failure.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "foundation/errors.hpp"
#include "transition_tables/table_header.hpp"
#include "transition_tables/table_paths.hpp"
#include "transition_tables/table_sets.hpp"

// The open error of a table file ("cannot open \"%s\", please register
// correct GFT/WVTs (full path)"), of its own type so that the loader, which
// knows the run, can add how to make the file.
struct missing_table_error : sea::file_error {
    using sea::file_error::file_error;
};

// The digest test of a marked file, when the caller makes it after the
// checks that span the files of a set (check_first_hop_rows): a value that
// breaks a rule of the set is reported by that rule.
struct pending_digest {
    std::string path;
    bool marked = false;  // unmarked files have nothing to test
    table_digest written = 0, found = 0;
};
// Refuses a marked file whose values are not those its header was written
// for.
void check_digest(const pending_digest& d);

// Fills dest (table_value_count(kind, family) values) from path: cumulative
// rows for gft and gft_is (a first-hop row of signed values keeps each
// panel's sign on its entry), absolute values for wvt_is. Refuses a path
// that is not a regular file, a file shorter than its header, a value that
// is not finite, a negative hop probability, a hop row that does not sum to
// 1 and a first-hop weight outside its physical range. A file whose header
// carries the table mark (table_header.hpp) must hold what its name and size
// say, and the values its digest was taken of; with later, the digest test
// is left to the caller.
void read_table_file(table_kind kind, table_family family, double* dest, const std::string& path,
                     pending_digest* later = nullptr);
void read_table_file(table_kind kind, table_family family, float* dest, const std::string& path,
                     pending_digest* later = nullptr);

// Whether the file at path can serve as the file of its name: a size the
// readers accept and, where its header carries the mark, a header that
// describes it and values that match the digest. Never raises.
bool table_file_serves(table_kind kind, table_family family, const std::string& path);

// The rows of a table file hold what the table generator guarantees, up
// to the rounding of the stored values: a hop row sums to 1, a first-hop row
// sums to zero (the derivative of a total probability of 1) and its
// magnitudes add up to the set's first-hop weight. A single-precision value
// rounds by at most 2^-24 (6e-8) of itself, so a row total moves by at most
// 6e-8 of the row's magnitude; this bound leaves a wide margin above that,
// and a change below it moves no probability by a measurable amount.
constexpr double table_row_tolerance = 1e-6;

// Totals of each first-hop row, taken from the values as stored.
struct first_hop_row_totals {
    std::vector<double> mass;     // sum of the magnitudes
    std::vector<double> balance;  // signed sum
    std::vector<unsigned char> has_negative;
};

// read_table_file of a first-hop (gft_is) file that also keeps its row
// totals for check_first_hop_rows.
void read_first_hop_file(table_kind kind, double* dest, const std::string& path, first_hop_row_totals& totals);
void read_first_hop_file(table_kind kind, float* dest, const std::string& path, first_hop_row_totals& totals);

// Refuses a signed first-hop row that does not sum to zero (naming its
// file), and a first-hop weight that differs from its row's magnitude
// (naming the weight file and the row file). weights are the values read
// from the wvt_is file, one per row.
void check_first_hop_rows(const first_hop_row_totals& rows, const double* weights, const std::string& gft_is_path,
                          const std::string& wvt_is_path);
void check_first_hop_rows(const first_hop_row_totals& rows, const float* weights, const std::string& gft_is_path,
                          const std::string& wvt_is_path);

// The files of one set are written in one width. A file whose size fits
// the other width too (a double file cut to half its size) is refused when
// it differs from the width of the set: that of most of its files, on a tie
// the kind's stored width. Files of neither size are left to the reader.
void check_set_widths(table_kind kind, const std::vector<std::string>& paths);

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
