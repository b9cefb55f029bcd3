// Real transition tables for end-to-end tests, made by the table generator
// into a test's own scratch directory (parallel tests never share a file).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "config/configure.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "geometry/parse_layout.hpp"
#include "tests/run_binary.hpp"
#include "tools/tablegen/table_generator.hpp"

namespace korvex_test {

// Writes the homogeneous set and the given layered sets under
// dir/"tables" and returns that directory, for every "--table-*" option.
inline std::string make_tables(const scratch_dir& dir, const std::vector<table_request>& layered = {}) {
    const std::string tables = dir.path("tables");
    write_table_set(table_kind::single, join_dir(tables), {}, 1);
    for (const table_request& r : layered) write_table_set(r.kind, join_dir(tables), r.key, 8);
    return tables;
}

// Writes every set a run of the geometry file in the given dielectric mode
// loads, under dir/"tables", and returns that directory.
inline std::string make_tables_for(const scratch_dir& dir, const std::string& geometry,
                                   configure::layout_arg mode) {
    configure cfg;
    cfg.multi_dielectric = mode;
    cfg.input_file = std::fopen(geometry.c_str(), "r");
    cfg.table_single = cfg.table_twolyr = cfg.table_mullyr = cfg.table_approx = dir.path("tables");
    layout lay;
    lay.cfg = &cfg;
    parse_layout(lay, cfg.input_file);
    setup_media(lay);
    write_table_sets(planned_tables(cfg, lay.layers), 8);
    return dir.path("tables");
}

// The options that point every table directory at dir.
inline std::vector<std::string> table_options(const std::string& dir) {
    return {"--table-single", dir, "--table-twolyr", dir, "--table-mullyr", dir, "--table-approx", dir};
}

} // namespace korvex_test
