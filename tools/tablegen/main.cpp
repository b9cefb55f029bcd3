// korvex-tables: writes the transition-table files that korvex reads.
//
// Its own options come first in no particular order; every other word is a
// korvex option and is read by korvex's own command-line parser, so table
// directories, the geometry file and the dielectric mode mean exactly what
// they mean to a run.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "config/configure.hpp"
#include "config/parse_configure.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/run_end.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "geometry/parse_layout.hpp"
#include "tools/tablegen/table_generator.hpp"

namespace {

const char* const usage_text =
    "usage: korvex-tables [-j N] [--pair E1 E2] [--h-pair E1 E2] [--triple E1 E2 E3]\n"
    "                     [--four-layer E1 E2 E3 E4] [--equal-slab E1 E2 E3 E4]\n"
    "                     [korvex options, e.g. -f FILE --multi-dielectric MODE --table-single DIR]\n"
    "\n"
    "Writes transition-table files for korvex. The single-layer set is always\n"
    "written; files that already exist with a size korvex accepts are kept,\n"
    "unless their header says they hold another table or other values.\n"
    "\n"
    "Options of this program:\n"
    "  -j N                  worker threads (default: the number of processors)\n"
    "  --pair E1 E2          one interface inside the cube, E1 below E2\n"
    "  --h-pair E1 E2        the set of a walker on the interface E1 below E2\n"
    "  --triple E1 E2 E3     three layers bottom to top\n"
    "  --four-layer E1 .. E4 four layers bottom to top (hop rows only)\n"
    "  --equal-slab E1 .. E4 four slabs of equal height bottom to top\n"
    "  -h, --help            this text\n"
    "A set option may be repeated. Permittivities are relative and positive.\n"
    "\n"
    "Every other word is read as korvex reads it; these matter here:\n"
    "  -f FILE               geometry file: also write every set korvex loads for it\n"
    "  --multi-dielectric M  dielectric mode of that run (off, two, four, approx,\n"
    "                        approx2, approx2_es; default four)\n"
    "  --table-single DIR    single-layer set\n"
    "  --table-twolyr DIR    pair and h-pair sets (and ratio-grid sets of approx2, approx2_es)\n"
    "  --table-mullyr DIR    triple and four-layer sets\n"
    "  --table-approx DIR    equal-slab sets (and ratio-grid sets of approx)\n"
    "  --program-path PATH   directories default to ../tables beside it (\"tables\")\n"
    "Equal-slab and four-layer sets of one key have hop-row files of one name:\n"
    "to keep both, give --table-approx and --table-mullyr different directories.\n";

// Words korvex's parser gets before the user's, so that nothing is written
// to an output file (a later "-o" replaces it). Without "-f" the parser
// still wants an input to open; it is never read. The open-file table
// refuses one file in two modes, hence not /dev/null for both.
const char* const quiet_output[] = {"-o", "/dev/null"};
const char* const placeholder_input[] = {"-f", "/dev/zero"};

[[noreturn]] void usage_error(const std::string& message) {
    std::fprintf(stderr, "korvex-tables: %s\n", message.c_str());
    std::fprintf(stderr, "Try 'korvex-tables --help'.\n");
    std::exit(1);
}

double permittivity_word(const char* option, const char* word) {
    char* end = nullptr;
    const double v = std::strtod(word, &end);
    if (end == word || *end != '\0' || !(v > 0.0) || v > 1e300)
        usage_error(std::string(option) + " takes positive numbers, not '" + word + "'");
    return v;
}

struct key_option {
    const char* name;
    table_kind kind;
};
const key_option key_options[] = {{"--pair", table_kind::pair},
                                  {"--h-pair", table_kind::h_pair},
                                  {"--triple", table_kind::triple},
                                  {"--four-layer", table_kind::four_layer},
                                  {"--equal-slab", table_kind::equal_slab}};

struct tool_options {
    int threads = 0;
    std::vector<std::pair<table_kind, std::vector<double>>> keys;
    std::vector<const char*> program_words;
    bool geometry = false;
};

bool is_input_option(const char* word) {
    return std::strcmp(word, "-f") == 0 || (word[0] == '-' && word[1] == 'f' && word[2] != '\0');
}

tool_options read_tool_options(int argc, char** argv) {
    tool_options o;
    for (int i = 1; i < argc; ++i) {
        const char* w = argv[i];
        if (std::strcmp(w, "-h") == 0 || std::strcmp(w, "--help") == 0) {
            std::fputs(usage_text, stdout);
            std::exit(0);
        }
        if (std::strncmp(w, "-j", 2) == 0) {
            const char* v = w[2] ? w + 2 : (i + 1 < argc ? argv[++i] : "");
            char* end = nullptr;
            const long n = std::strtol(v, &end, 10);
            if (end == v || *end != '\0' || n < 1 || n > 1024) usage_error("-j takes a thread count, not '" + std::string(v) + "'");
            o.threads = int(n);
            continue;
        }
        const key_option* k = nullptr;
        for (const key_option& ko : key_options)
            if (std::strcmp(w, ko.name) == 0) k = &ko;
        if (k) {
            const std::size_t n = table_key_length(k->kind);
            if (i + int(n) >= argc) usage_error(std::string(w) + " needs " + std::to_string(n) + " permittivities");
            std::vector<double> key;
            for (std::size_t j = 0; j < n; ++j) key.push_back(permittivity_word(w, argv[++i]));
            o.keys.emplace_back(k->kind, std::move(key));
            continue;
        }
        if (is_input_option(w)) o.geometry = true;
        o.program_words.push_back(w);
    }
    if (o.threads == 0) o.threads = std::max(1, int(std::thread::hardware_concurrency()));
    return o;
}

const std::string& directory_of(const configure& cfg, table_kind kind) {
    switch (kind) {
    case table_kind::single: return cfg.table_single;
    case table_kind::pair:
    case table_kind::h_pair: return cfg.table_twolyr;
    case table_kind::triple:
    case table_kind::four_layer: return cfg.table_mullyr;
    case table_kind::equal_slab: return cfg.table_approx;
    }
    return cfg.table_single;
}

void run(int argc, char** argv) {
    const tool_options o = read_tool_options(argc, argv);
    std::vector<const char*> words = {"korvex"};
    words.insert(words.end(), std::begin(quiet_output), std::end(quiet_output));
    if (!o.geometry) words.insert(words.end(), std::begin(placeholder_input), std::end(placeholder_input));
    words.insert(words.end(), o.program_words.begin(), o.program_words.end());

    configure cfg;
    parse_configure(cfg, int(words.size()), words.data());
    rebuild_log_writers(cfg.log_level,
                        {cfg.log_debug_file, cfg.log_info_file, cfg.log_warn_file, cfg.log_error_file});
    if (cfg.log_error_file) error_handler::instance().set_stream(cfg.log_error_file);

    std::vector<table_request> requests;
    if (o.geometry) {
        layout geometry;
        geometry.cfg = &cfg;
        parse_layout(geometry, cfg.input_file);
        setup_media(geometry);
        requests = planned_tables(cfg, geometry.layers);
    } else {
        requests.push_back({table_kind::single, join_dir(cfg.table_single), {}});
    }
    for (const auto& k : o.keys) requests.push_back({k.first, join_dir(directory_of(cfg, k.first)), k.second});

    const table_run_summary s = write_table_sets(requests, o.threads, [](const table_request& r) {
        std::printf("written: %s\n", table_file_path(r.kind, table_family::gft, r.prefix, r.key).c_str());
        std::fflush(stdout);
    });
    std::printf("korvex-tables: %d set%s written, %d already present\n", s.written, s.written == 1 ? "" : "s",
                s.kept);
}

} // namespace

int main(int argc, char** argv) {
    try {
        try {
            run(argc, argv);
        } catch (sea::base_error& e) {
            error_handler::instance().handle(sea::fatal_error(e.what()));
        }
    } catch (const sea::run_end& end) {
        // A refused geometry file or command line ends this program as it
        // ends korvex.
        end.finish();
    }
    return 0;
}
