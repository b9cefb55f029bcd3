// One whole extraction run: prepares the input (geometry, tables, space
// manager), then extracts the masters one after another.
#pragma once

#include <cstdint>
#include <memory>

#include "extraction/prepared_input.hpp"
#include "extraction/resume_file.hpp"
#include "extraction/run_writers.hpp"
#include "foundation/spin_lock.hpp"

struct conductor;
struct configure;
class extraction_task;

class problem_manager {
public:
    // `c` is changed only by the last check of the options, at the start
    // of run; from there on it is read-only.
    explicit problem_manager(configure& c);
    ~problem_manager();
    problem_manager(const problem_manager&) = delete;
    problem_manager& operator=(const problem_manager&) = delete;

    // Opens the writers and prepares the input; false when the run ended
    // with the layout dump ("--dump-layout"), a normal end with nothing left
    // to do.
    bool run();
    void extract_all();

    // Resume file beside the geometry file.
    void init_breakpoint();
    void save_task_results(const extraction_task& task, const conductor* master);
    void load_task_results(extraction_task& task, const conductor* master);

    sea::writer& screen() { return writers.screen(); }
    sea::writer& file() { return writers.file(); }
    sea::writer& both() { return writers.both(); }

    // Masters reported without a measured error.
    int unconverged_masters() const { return unconverged; }

private:
    void extract_master(const conductor* master);
    // Replaces the file with the results of every master finished so far
    // and the stored ones of the others. Called under `lock`;
    // `only_when_due` skips the write until enough time has passed since
    // the last one.
    void write_breakpoint(bool only_when_due = false);
    // Called when the run is interrupted: stops the walks, saves what is
    // finished and keeps the run's lock, so that nothing is reported as
    // finished after the save.
    void save_on_interrupt();

    configure& options;    // for the option check only
    const configure* cfg;  // the same settings, read-only
    run_writers writers;
    std::unique_ptr<const prepared_input> input;  // built by run, read-only afterwards
    sea::spin_lock lock;  // run totals, reports and resume data of finished masters
    // The resume file: its name, lock, stored results and every write; made
    // once the input is prepared.
    std::unique_ptr<resume_file> breakpoint;
    // The master being extracted, under `lock`: an interrupt stops its walks.
    extraction_task* current_task = nullptr;
    std::int64_t nwalks = 0;
    std::int64_t nhops = 0;
    int unconverged = 0;
};
