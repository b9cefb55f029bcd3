// The run's input as the walks read it: the layout, the transition tables
// and the space manager, with the floating distance inside the layout. One
// preparation step, prepare_input, builds it; afterwards it is read-only,
// and the walk threads share it without a lock.
//
// What holds after which pass of prepare_input (each pass only adds to what
// the ones before it left, except where said):
//   parse_layout                 layout: conductors, blocks and media as
//                                read, task names, the window as read
//   index_layout                 nets (merged through the id map), blocks
//                                split when asked, all_blocks and the
//                                per-kind block lists
//   setup_media                  layers; media emptied
//   setup_ground_and_wire_width  ground, wire_width
//   select_masters               masters, in their final order
//   setup_window                 window (box, boundary), padded_box,
//                                critical_box
//   setup_floating_conductors    floating_d; the floating conductors'
//                                surface tables, elements and grown blocks
//   dump_layout                  with "--dump-layout": the dump is written
//                                (tiles appended to the layout) and the run
//                                ends; nothing below is built
//   check_coupling_condition     nothing changes; a bad condition ends the run
//   load_tables                  tables
//   create_space_manager         space_manager
// The digests of the geometry and id-map texts, for the resume file, hold
// after index_layout.
#pragma once

#include <memory>
#include <string>

#include "extraction/run_writers.hpp"
#include "geometry/layout.hpp"
#include "space/space_manager.hpp"
#include "transition_tables/table_store.hpp"

struct configure;

struct prepared_input {
    prepared_input() = default;
    prepared_input(const prepared_input&) = delete;
    prepared_input& operator=(const prepared_input&) = delete;

    ::layout layout;
    table_store tables;
    std::unique_ptr<space_manager_interface> space_manager;
    // MD5 of the geometry text as read; empty unless resuming is on.
    std::string geometry_md5;
    // MD5 of the id-map text as read (of no text without it or unless
    // resuming is on).
    std::string idmap_md5;
};

// Runs the passes above in order, logging the "parse input cost ", "load
// tables cost " and "init space manager cost " phases. Returns null when
// the layout dump ended the run. Errors end the run (sea::run_end) or are
// thrown as sea::base_error.
std::unique_ptr<const prepared_input> prepare_input(const configure& cfg, const run_writers& writers);
