// One whole extraction run: prepares the geometry, the tables and the space
// manager, then extracts the masters one after another.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "config/configure.hpp"
#include "extraction/run_writers.hpp"
#include "foundation/file_replace.hpp"
#include "foundation/spin_lock.hpp"
#include "geometry/layout.hpp"
#include "space/space_manager.hpp"
#include "transition_tables/table_store.hpp"

class extraction_task;

class problem_manager {
public:
    explicit problem_manager(configure& c);
    ~problem_manager();
    problem_manager(const problem_manager&) = delete;
    problem_manager& operator=(const problem_manager&) = delete;

    void run();
    void extract_all();
    void extract_master(conductor* master);

    // Raises sea::basic_error when a tuple's master word is unknown.
    void check_coupling_condition(const std::vector<conductor*>& masters, const std::string& text);

    // Resume file beside the geometry file.
    void init_breakpoint();
    void save_task_results(const extraction_task& task, const conductor* master);
    void load_task_results(extraction_task& task, const conductor* master);
    // Replaces the file with the results of every master finished so far
    // (and the stored ones of the masters still to run). Called under
    // `lock`; `only_when_due` skips the write until enough time has passed
    // since the last one.
    void write_breakpoint(bool only_when_due = false);
    // Called when the run is interrupted: saves what is finished.
    void save_on_interrupt();

    sea::writer& screen() { return *writers.screen_out; }
    sea::writer& file() { return *writers.file_out; }
    sea::writer& both() { return *writers.both_out; }

    configure* cfg;
    ::layout* layout_ptr;
    std::unique_ptr<space_manager_interface>* space_manager_ptr;
    table_store* tables_ptr;
    run_writers* writers_ptr;
    sea::spin_lock lock;  // run totals, reports and resume data of finished masters

    ::layout layout;
    std::unique_ptr<space_manager_interface> space_manager;
    table_store tables;
    run_writers writers;

    // One master's results as stored: its "block_results" and
    // "net_results" arrays as one-line JSON texts, and their checksum.
    // Held as text, not as a document tree: a tree takes several times the
    // memory, and the file is rewritten from these texts as masters finish.
    struct stored_master {
        std::string blocks;
        std::string nets;
        std::string checksum;  // empty: none stored (older files)
        bool damaged = false;  // its stored arrays or checksum do not read or agree
    };
    std::map<std::string, stored_master> finished_results;  // masters of this run, by name
    std::map<std::string, stored_master> stored_results;    // read back, until the master finishes
    std::string casefile_md5;
    std::string idmap_md5;
    Json::Value run_options;  // the settings that change the physics
    bool resumed = false;
    bool breakpoint_replaceable = false;  // the path holds a resume document or nothing
    bool breakpoint_unsaved = false;      // results newer than the file
    bool breakpoint_error_shown = false;
    unsigned breakpoint_mode = 0644;  // permission bits of the file written
    std::int64_t last_write_ns = 0;
    std::int64_t write_interval_ns = 0;
    sea::file_lock breakpoint_lock;
    std::string breakpoint_path;
    // Position of each block in layout.all_blocks, stored beside its name.
    std::unordered_map<const block*, Json::Int64> block_index;
    std::int64_t nwalks = 0;
    std::int64_t nhops = 0;
    int unconverged_masters = 0;  // reported without a measured error
};
