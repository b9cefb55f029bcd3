#include "config/parse_configure.hpp"

#include <sys/stat.h>

#include <memory>
#include <vector>

#include "config/normalize_path.hpp"
#include "foundation/argument_table.hpp"
#include "foundation/error_handler.hpp"

using namespace sea::config_impl;

namespace {

using file_argument = functor_argument<FILE*, file_opener>;
template <class T>
using number_argument = functor_argument<T, value_convertor>;

// The arguments of one parse, owned here and listed in registration order.
class option_list {
public:
    template <class A>
    A& add(A* arg) {
        owned.emplace_back(arg);
        list.push_back(arg);
        return *arg;
    }
    file_argument& file(const char* name, FILE*& field, const char* mode) {
        return add(new file_argument(name, field, mode));
    }
    template <class T>
    number_argument<T>& number(const char* name, T& field) {
        return add(new number_argument<T>(name, field));
    }
    regular_argument<std::string>& text(const char* name, std::string& field) {
        return add(new regular_argument<std::string>(name, field));
    }
    mapped_argument<bool>& flag(const char* name, bool& field) { return add(flag_argument(name, field)); }
    template <class T>
    mapped_argument<T>& words(const char* name, T& field) {
        return add(new mapped_argument<T>(name, field));
    }

    std::vector<base_argument*> list;

private:
    std::vector<std::unique_ptr<base_argument>> owned;
};

const char* const table_subdirectory = "../tables";

bool holds_white_space(const char* word) {
    for (const char* c = word; *c; ++c)
        if (*c == ' ' || *c == '\t' || *c == '\r' || *c == '\n') return true;
    return false;
}

} // namespace

std::string default_output_name(const std::string& input_name) {
    const std::size_t slash = input_name.rfind('/');
    return (slash == std::string::npos ? input_name : input_name.substr(slash + 1)) + ".out";
}

std::string default_table_directory(const std::string& program_path) {
    std::string joined = table_subdirectory;
    if (!program_path.empty())
        joined = program_path + (program_path.back() == '/' ? "" : "/") + joined;
    return normalize_path(joined);
}

const char* dielectric_word(configure::layout_arg mode) {
    static const char* const words[] = {"off", "two", "four", "approx", "approx2", "approx2_es"};
    return mode >= 0 && mode <= configure::layout_approx2_es ? words[mode] : "?";
}

std::string command_line_text(int first, int argc, const char* const* argv) {
    std::string text;
    for (int i = first; i < argc; ++i) {
        text += ' ';
        if (holds_white_space(argv[i])) {
            text += '"';
            text += argv[i];
            text += '"';
        } else {
            text += argv[i];
        }
    }
    return text;
}

void parse_configure(configure& cfg, int argc, const char* const* argv) {
    using C = configure;
    option_list o;
    auto& input = o.file("-f", cfg.input_file, "r");
    o.file("-m", cfg.idmap_file, "r");
    auto& output = o.file("-o", cfg.output_file, "w");
    input.empty_is_null = false;
    output.empty_is_null = false;
    o.file("--dump-layout", cfg.dump_layout, "w");
    o.number("--dump-rotate-degree", cfg.dump_rotate_degree);
    o.flag("--std-output", cfg.std_output);
    o.flag("--simple-format", cfg.simple_format);
    o.number("--dump-tile-nx", cfg.dump_tile_nx);
    o.number("--dump-tile-ny", cfg.dump_tile_ny);
    o.number("--dump-tile-nz", cfg.dump_tile_nz);
    o.number("--window-extension", cfg.window_extension);
    o.number("-w", cfg.min_wire_width);
    o.flag("--auto-window", cfg.auto_window);
    o.flag("--manhattan-approximation", cfg.manhattan_approximation);
    o.words("--multi-dielectric", cfg.multi_dielectric)
        .add_candidates("off", C::layout_off, "false", C::layout_off, "ignore", C::layout_off, "disable",
                        C::layout_off, "2", C::layout_two, "two", C::layout_two, "4", C::layout_four, "four",
                        C::layout_four, "ap", C::layout_approx, "approx", C::layout_approx, "approx2",
                        C::layout_approx2, "approx2_es", C::layout_approx2_es);
    o.number("--nsteps", cfg.nsteps);
    o.text("--overwrite-tasks", cfg.overwrite_tasks);
    auto& table_single = o.text("--table-single", cfg.table_single);
    auto& table_twolyr = o.text("--table-twolyr", cfg.table_twolyr);
    auto& table_mullyr = o.text("--table-mullyr", cfg.table_mullyr);
    auto& table_approx = o.text("--table-approx", cfg.table_approx);
    o.words("--spacemgr-type", cfg.spacemgr_type)
        .add_candidates("simple-simple", C::simple_simple, "octree-octree", C::octree_octree, "hybrid-hybrid",
                        C::hybrid_hybrid, "simple-none", C::simple_none, "octree-none", C::octree_none,
                        "hybrid-none", C::hybrid_none, "hybrid-simple", C::hybrid_simple, "hybrid-grid",
                        C::hybrid_grid, "hybrid-grid-nd", C::hybrid_grid_nd);
    o.number("--spacemgr-list", cfg.spacemgr_list);
    o.number("--spacemgr-depth", cfg.spacemgr_depth);
    o.number("--spacemgr-list-incline", cfg.spacemgr_list_incline);
    o.number("--spacemgr-depth-incline", cfg.spacemgr_depth_incline);
    o.number("-n", cfg.nthreads);
    o.number("-t", cfg.min_walks);
    o.number("-p", cfg.accuracy);
    o.number("-c", cfg.coupling_accuracy);
    o.text("--set-coupling-error", cfg.set_coupling_error);
    o.number("--coupling-error", cfg.coupling_error);
    o.number("-e", cfg.coupling_error);
    o.words("--log-level", cfg.log_level)
        .add_candidates("debug", 0, "0", 0, "info", 1, "1", 1, "warn", 2, "2", 2, "error", 3, "3", 3, "disable", 4,
                        "4", 4);
    o.file("--log-debug-file", cfg.log_debug_file, "w");
    o.file("--log-info-file", cfg.log_info_file, "w");
    o.file("--log-warn-file", cfg.log_warn_file, "w");
    o.file("--log-error-file", cfg.log_error_file, "w");
    o.words("--gauss-type", cfg.gauss_type)
        .add_candidates("default", C::gauss_default, "uniform", C::gauss_uniform, "diel", C::gauss_diel, "dist",
                        C::gauss_dist, "both", C::gauss_both);
    o.number("--gauss-scale", cfg.gauss_scale);
    auto& program_path = o.text("--program-path", cfg.program_path);
    o.flag("--rotated-cube", cfg.rotated_cube);
    o.flag("--nonmanhattan-spacemgr", cfg.nonmanhattan_spacemgr);
    o.flag("--strat-sampling", cfg.strat_sampling);
    o.words("--extract-level", cfg.extract_level).add_candidates("net", false, "block", true);
    o.flag("--breakpoint-resume", cfg.breakpoint_resume);
    o.flag("--critical-box", cfg.critical_box);
    o.flag("--spacemgr-dominate-group", cfg.spacemgr_dominate_group);
    o.flag("--spacemgr-dominate-group-opt", cfg.spacemgr_dominate_group_opt);
    o.number("--spacemgr-scope-rate", cfg.spacemgr_scope_rate);
    o.flag("--spacemgr-split-block", cfg.spacemgr_split_block);
    o.flag("--spacemgr-grid-scope-variable", cfg.spacemgr_grid_scope_variable);
    o.number("--spacemgr-split-thr", cfg.spacemgr_split_thr);
    o.number("--floating-d", cfg.floating_d);
    o.flag("--enable-floating", cfg.enable_floating);
    o.words("--floating-type", cfg.floating_type)
        .add_candidates("cd", C::floating_arg::cd, "central", C::floating_arg::cd, "fd", C::floating_arg::fd,
                        "forward", C::floating_arg::fd, "easy", C::floating_arg::easy);
    o.words("--floating-type-prism", cfg.floating_type_prism)
        .add_candidates("fd", C::floating_arg::prism_fd, "easy", C::floating_arg::prism_easy);
    o.flag("--floating-debug", cfg.floating_debug);
    o.flag("--enable-merge", cfg.enable_merge);

    argument_table table(o.list);
    table.parse(argc, argv);
    cfg.input_name = input.value;
    for (base_argument* arg : o.list) arg->applied = arg->given && arg->apply();

    if (!cfg.input_file) {
        error_handler::instance().handle(sea::fatal_error("no valid input\n"));
        return;
    }
    // A directory opens for reading but fails on the first read, deep in the
    // scanner; it is as unreadable as a missing file.
    struct stat st;
    if (::fstat(fileno(cfg.input_file), &st) == 0 && S_ISDIR(st.st_mode))
        error_handler::instance().raise(sea::file_error::open_failure(input.value, "r"));

    apply_default(output, default_output_name(cfg.input_name));

    const std::string tables = default_table_directory(cfg.program_path);
    for (base_argument* arg : {&table_single, &table_twolyr, &table_mullyr, &table_approx})
        apply_default(*arg, tables);

    // A wrapper passes "--program-path" first; its own word is then not
    // part of the user's command.
    cfg.command_line = command_line_text(program_path.applied ? 2 : 1, argc, argv);
    if (argc > 0) apply_default(program_path, argv[0]);
}
