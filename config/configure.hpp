// Every setting of one run. Filled once from the command line
// (config/parse_configure.hpp), checked once when the run starts
// (config/check_options.hpp, which may lower the walk thread count), and
// read-only afterwards. What the preparation computes from the settings
// (the floating distance among it) lives in the prepared input
// (extraction/prepared_input.hpp), not here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct configure {
    // "--multi-dielectric"
    enum layout_arg : int {
        layout_off = 0,
        layout_two = 1,
        layout_four = 2,
        layout_approx = 3,
        layout_approx2 = 4,
        layout_approx2_es = 5,
    };
    // "--spacemgr-type": primary-secondary kinds
    enum spacemgr_arg : int {
        simple_simple = 0,
        octree_octree = 1,
        hybrid_hybrid = 2,
        simple_none = 3,
        octree_none = 4,
        hybrid_none = 5,
        hybrid_simple = 6,
        hybrid_grid = 7,
        hybrid_grid_nd = 8,
    };
    // "--gauss-type"
    enum gauss_arg : int {
        gauss_default = 0,
        gauss_uniform = 1,
        gauss_diel = 2,
        gauss_dist = 3,
        gauss_both = 4,
    };
    // "--floating-type" and "--floating-type-prism" (two enumerations)
    struct floating_arg {
        enum type : int { cd = 0, fd = 1, easy = 2 };
        enum prism_type : int { prism_fd = 0, prism_easy = 1 };
    };

    // Read once by the preparation; the geometry stream is released (and
    // closed, unless another option shares it) when it has been parsed.
    FILE* input_file = nullptr;
    FILE* idmap_file = nullptr;
    std::string input_name;
    FILE* output_file = nullptr;
    FILE* dump_layout = nullptr;
    double dump_rotate_degree = 0.0;
    bool std_output = true;
    bool simple_format = false;
    int dump_tile_nx = 1;
    int dump_tile_ny = 1;
    int dump_tile_nz = 1;
    double window_extension = 600.0;
    double min_wire_width = -1.0;
    bool auto_window = false;
    bool manhattan_approximation = false;
    layout_arg multi_dielectric = layout_four;
    // Accepted for the command lines that give it; nothing reads it.
    int nsteps = 50;
    std::string overwrite_tasks;
    std::string table_single;
    std::string table_twolyr;
    std::string table_mullyr;
    std::string table_approx;
    spacemgr_arg spacemgr_type = hybrid_none;
    int spacemgr_list = -1;
    int spacemgr_depth = -1;
    int spacemgr_list_incline = -1;
    int spacemgr_depth_incline = -1;
    bool spacemgr_dominate_group = false;
    bool spacemgr_dominate_group_opt = false;
    double spacemgr_scope_rate = 1.0;
    bool spacemgr_split_block = false;
    bool spacemgr_grid_scope_variable = false;
    int spacemgr_split_thr = 20;
    int master_threads = 1;  // the master pool's size: always 1, masters go one after another
    int nthreads = 1;
    std::int64_t min_walks = 1000;
    double accuracy = 0.5;
    double coupling_accuracy = 0.0;
    std::string set_coupling_error;
    double coupling_error = -1.0;
    int log_level = 2;
    FILE* log_debug_file = stdout;
    FILE* log_info_file = stdout;
    FILE* log_warn_file = stderr;
    FILE* log_error_file = stderr;
    gauss_arg gauss_type = gauss_default;
    double gauss_scale = 1.0;
    std::string command_line;
    std::string program_path = "./korvex";
    bool rotated_cube = true;
    // Accepted for the command lines that give it; nothing reads it.
    bool nonmanhattan_spacemgr = true;
    bool strat_sampling = true;
    bool extract_level = false;
    bool breakpoint_resume = false;
    bool critical_box = false;
    double floating_d = -1.0;  // the option; the distance used is layout::floating_d
    bool enable_floating = true;
    floating_arg::type floating_type = floating_arg::cd;
    floating_arg::prism_type floating_type_prism = floating_arg::prism_fd;
    bool floating_debug = false;
    bool enable_merge = true;
};
