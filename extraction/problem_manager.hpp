// One whole extraction run: prepares the geometry, the tables and the space
// manager, then extracts the masters one after another.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/configure.hpp"
#include "extraction/resume_file.hpp"
#include "extraction/run_writers.hpp"
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

    // Prepares the run; false when it ended with the layout dump
    // ("--dump-layout"), a normal end with nothing left to do.
    bool run();
    void extract_all();
    void extract_master(conductor* master);

    // Raises sea::basic_error when a tuple's master word is unknown.
    void check_coupling_condition(const std::vector<conductor*>& masters, const std::string& text);

    // Resume file beside the geometry file.
    void init_breakpoint();
    void save_task_results(const extraction_task& task, const conductor* master);
    void load_task_results(extraction_task& task, const conductor* master);
    // Replaces the file with the results of every master finished so far
    // and the stored ones of the others. Called under `lock`;
    // `only_when_due` skips the write until enough time has passed since
    // the last one.
    void write_breakpoint(bool only_when_due = false);
    // Called when the run is interrupted: stops the walks, saves what is
    // finished and keeps the run's lock, so that nothing is reported as
    // finished after the save.
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

    // The resume file: its name, lock, stored results and every write.
    resume_file breakpoint{*cfg, layout, writers};
    // The master being extracted, under `lock`: an interrupt stops its walks.
    extraction_task* current_task = nullptr;
    std::int64_t nwalks = 0;
    std::int64_t nhops = 0;
    int unconverged_masters = 0;  // reported without a measured error
};
