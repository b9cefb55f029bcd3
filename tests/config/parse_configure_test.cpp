#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "config/normalize_path.hpp"
#include "config/parse_configure.hpp"
#include "foundation/file_opener.hpp"
#include "tests/run_binary.hpp"

namespace {

// Parses words after "prog" with an existing "-f" file and "-o" in a scratch
// directory, so nothing is created in the working directory.
class parsed {
public:
    explicit parsed(std::vector<std::string> words, bool with_output = true) {
        const std::string input = dir.write("case.lumod", "");
        args = {"prog", "-f", input};
        if (with_output) args.insert(args.end(), {"-o", dir.path("case.out")});
        args.insert(args.end(), words.begin(), words.end());
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        parse_configure(cfg, static_cast<int>(argv.size()), argv.data());
    }
    ~parsed() {
        for (FILE* s : {cfg.input_file, cfg.output_file, cfg.dump_layout, cfg.idmap_file})
            sea::config_impl::file_opener::release(s);
    }

    korvex_test::scratch_dir dir;
    std::vector<std::string> args;
    configure cfg;
};

} // namespace

TEST(NormalizePath, SegmentsDotsAndParents) {
    const std::pair<const char*, const char*> cases[] = {
        {"./korvex/../tables", "tables"},
        {"/opt/x/bin//../tables", "/opt/x/tables"},
        {"../../bin/korvex/../tables", "../../bin/tables"},
        {"../../../tables", "../../../tables"},
        {"a/b/../../..", ".."},
        {"/../tables", "/tables"},
        {"/a/..", "/"},
        {"/", "/"},
        {"a/./b/", "a/b/"},
        {"a/..", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(normalize_path(c.first), c.second) << c.first;
}

TEST(DerivedDefaults, TableDirectoryOutputNameAndCommandText) {
    EXPECT_EQ(default_table_directory("./korvex"), "tables");
    EXPECT_EQ(default_table_directory("/opt/x/bin/"), "/opt/x/tables");
    EXPECT_EQ(default_table_directory("/opt/x/bin/korvex"), "/opt/x/bin/tables");
    EXPECT_EQ(default_table_directory(""), "../tables");

    EXPECT_EQ(default_output_name("dir/sub/case.txt"), "case.txt.out");
    EXPECT_EQ(default_output_name("case"), "case.out");
    EXPECT_EQ(default_output_name("stdin"), "stdin.out");
    EXPECT_EQ(default_output_name("dir/"), ".out");

    const char* words[] = {"prog", "-f", "my case", "tab\there", "-n4", "q\"uote"};
    EXPECT_EQ(command_line_text(1, 6, words), " -f \"my case\" \"tab\there\" -n4 q\"uote");
    EXPECT_EQ(command_line_text(2, 6, words), " \"my case\" \"tab\there\" -n4 q\"uote");
    EXPECT_EQ(command_line_text(1, 1, words), "");
}

TEST(ParseConfigure, EveryKindOfOptionReachesItsField) {
    parsed p({"--dump-rotate-degree=90", "--std-output", "off", "-n8", "-t", "1.23456789012e11", "-p", "0.01",
              "-c", "2e-1", "--multi-dielectric=approx2_es", "--spacemgr-type", "hybrid-grid-nd", "--log-level=error",
              "--gauss-type=both", "--extract-level=block", "--floating-type=forward", "--floating-type-prism=easy",
              "--overwrite-tasks=a,b", "--nsteps=20", "--gauss-scale=0x1p-2", "--nonmanhattan-spacemgr=0",
              "--table-single=/t/s", "--critical-box=1", "--window-extension", "1e3"});
    const configure& c = p.cfg;
    EXPECT_EQ(c.dump_rotate_degree, 90.0);
    EXPECT_FALSE(c.std_output);
    EXPECT_EQ(c.nthreads, 8);
    EXPECT_EQ(c.min_walks, 123456789012LL);
    EXPECT_EQ(c.accuracy, 0.01);
    EXPECT_EQ(c.coupling_accuracy, 0.2);
    EXPECT_EQ(c.multi_dielectric, configure::layout_approx2_es);
    EXPECT_EQ(c.spacemgr_type, configure::hybrid_grid_nd);
    EXPECT_EQ(c.log_level, 3);
    EXPECT_EQ(c.gauss_type, configure::gauss_both);
    EXPECT_TRUE(c.extract_level);
    EXPECT_EQ(c.floating_type, configure::floating_arg::fd);
    EXPECT_EQ(c.floating_type_prism, configure::floating_arg::prism_easy);
    EXPECT_EQ(c.overwrite_tasks, "a,b");
    EXPECT_EQ(c.nsteps, 20);
    EXPECT_EQ(c.gauss_scale, 0.25);
    EXPECT_FALSE(c.nonmanhattan_spacemgr);
    EXPECT_TRUE(c.critical_box);
    EXPECT_EQ(c.window_extension, 1000.0);
    EXPECT_EQ(c.table_single, "/t/s");
    EXPECT_EQ(c.table_twolyr, "tables");
    EXPECT_EQ(c.table_approx, "tables");
    // Untouched options keep their defaults.
    EXPECT_EQ(c.spacemgr_split_thr, 20);
    EXPECT_TRUE(c.rotated_cube);
    EXPECT_EQ(c.log_info_file, stdout);
    EXPECT_EQ(c.master_threads, 1);
}

TEST(ParseConfigure, InputNameProgramPathAndCouplingErrorNames) {
    parsed plain({"--coupling-error=0.3", "-e", "0.1"});
    EXPECT_EQ(plain.cfg.input_name, plain.dir.path("case.lumod"));
    EXPECT_EQ(plain.cfg.coupling_error, 0.1);  // "-e" is applied after "--coupling-error"
    EXPECT_EQ(plain.cfg.program_path, "prog");
    EXPECT_EQ(plain.cfg.command_line, " -f " + plain.args[2] + " -o " + plain.args[4] + " --coupling-error=0.3 -e 0.1");
    EXPECT_EQ(plain.cfg.table_single, "tables");

    // The program path shapes the table directories; the first argument word
    // stays out of the command text.
    parsed wrapped({"--program-path", "/opt/k/bin/korvex"});
    EXPECT_EQ(wrapped.cfg.program_path, "/opt/k/bin/korvex");
    EXPECT_EQ(wrapped.cfg.table_mullyr, "/opt/k/bin/tables");
    EXPECT_EQ(wrapped.cfg.command_line.rfind(" " + wrapped.args[2] + " -o ", 0), 0u) << wrapped.cfg.command_line;
}

TEST(ParseConfigure, NamedOutputFileIsOpenedForWriting) {
    parsed p({});
    ASSERT_NE(p.cfg.output_file, nullptr);
    std::fputs("report", p.cfg.output_file);
    std::fflush(p.cfg.output_file);
    EXPECT_EQ(p.dir.read("case.out"), "report");
}
