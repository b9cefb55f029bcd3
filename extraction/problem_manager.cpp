#include "extraction/problem_manager.hpp"

#include "geometry/parse_layout.hpp"

problem_manager::problem_manager(configure& c) : cfg(&c), layout_ptr(&layout), space_manager_ptr(&space_manager), writers_ptr(&writers) {
    layout.cfg = &c;
}

problem_manager::~problem_manager() {
    delete writers.both_out;
    delete writers.file_out;
    delete writers.screen_out;
}

void problem_manager::run() {
    writers.screen_out = cfg->std_output ? static_cast<sea::writer*>(new sea::file_writer(stdout))
                                         : new sea::empty_writer();
    writers.file_out = new sea::file_writer(cfg->output_file);
    writers.both_out = new sea::multi_writer({writers.screen_out, writers.file_out});
    both().printf("Command: %s %s\n\n", cfg->program_path.c_str(), cfg->command_line.c_str());
    parse_layout(layout);
}

void problem_manager::extract_all() {}
