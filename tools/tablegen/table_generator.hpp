// Making transition-table sets: every value in double, exact to rounding,
// written in the file layout the program's readers load.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/tablegen/cube_exit.hpp"
#include "transition_tables/table_paths.hpp"
#include "transition_tables/table_plan.hpp"

// One set's values in file order, before the readers make rows cumulative:
// configuration c owns gft row c, gft_is rows 3c + axis (x, y, z) and
// wvt_is[3c + axis]. A four-layer set has no gft_is and no wvt_is.
struct generated_set {
    table_kind kind = table_kind::single;
    std::vector<double> key;
    std::vector<double> gft_is;
    std::vector<double> gft;
    std::vector<double> wvt_is;
};

// Throws sea::basic_error naming the set unless every key value is finite
// and positive.
void check_table_key(table_kind kind, const std::vector<double>& key);

// The set of a key (relative permittivities bottom to top, none for the
// single set), configurations spread over threads (below 2: this thread).
generated_set generate_table_set(table_kind kind, const std::vector<double>& key, int threads,
                                 const series_length& len = {});

// The homogeneous 31-panel set.
generated_set homogeneous_single_set();

// The set's files exist under prefix (a join_dir result) with a size the
// readers accept, and those whose header carries the table mark hold what
// it says (table_file_serves). Unmarked files are kept as they are.
bool table_set_present(table_kind kind, const std::string& prefix, const std::vector<double>& key);

// Writes the set's files under prefix, creating directories; the header
// says what the file holds (table_header.hpp), the values follow in the
// kind's stored width. Each file appears whole
// (written aside, then renamed). Throws sea::file_error on failure.
void write_generated_set(const generated_set& set, const std::string& prefix);

// Generates and writes the set unless table_set_present.
void write_table_set(table_kind kind, const std::string& prefix, const std::vector<double>& key, int threads);

// What write_table_sets did.
struct table_run_summary {
    int written = 0;
    int kept = 0;  // already present
};

// Writes every requested set that is not present yet. Refuses (throws
// sea::basic_error) a key that is not finite and positive, two kinds whose
// files would share a name, and a file that holds another kind's table.
// Sets of many configurations spread those over the threads;
// single-configuration sets are made several at a time. A request repeated in the list is made once.
// on_written (may be empty) hears of each set written, on the calling
// thread.
table_run_summary write_table_sets(const std::vector<table_request>& requests, int threads,
                                   const std::function<void(const table_request&)>& on_written = {});
