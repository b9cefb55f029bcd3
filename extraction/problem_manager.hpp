// One whole extraction run: prepares the geometry, the tables and the space
// manager, then extracts the masters one after another.
#pragma once

#include "config/configure.hpp"
#include "extraction/run_writers.hpp"
#include "foundation/spin_lock.hpp"
#include "geometry/layout.hpp"
#include "space/space_manager.hpp"

struct table_store;

class problem_manager {
public:
    explicit problem_manager(configure& c);
    ~problem_manager();
    problem_manager(const problem_manager&) = delete;
    problem_manager& operator=(const problem_manager&) = delete;

    void run();
    void extract_all();

    sea::writer& screen() { return *writers.screen_out; }
    sea::writer& file() { return *writers.file_out; }
    sea::writer& both() { return *writers.both_out; }

    configure* cfg;
    ::layout* layout_ptr;
    std::unique_ptr<space_manager_interface>* space_manager_ptr;
    table_store* tables_ptr = nullptr;
    run_writers* writers_ptr;
    sea::spin_lock lock;
    ::layout layout;
    std::unique_ptr<space_manager_interface> space_manager;
    run_writers writers;
};
