// Bad command lines and resume files through the built program: each ends
// within its time limit, with its status and a message that names what is
// wrong, or with a sound run (a finite positive capacitance for every
// master).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/md5.hpp"
#include "tests/generated_tables.hpp"
#include "tests/run_binary.hpp"

using korvex_test::binary_run;
using korvex_test::run_korvex;
using korvex_test::scratch_dir;

namespace {

// Whole content of the file at path; empty when it does not exist.
std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every occurrence of `from` in text replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The resume file of box_over_ground.lumod as a run with "-p 0.02" writes
// it (the digest is filled in per case).
const std::string sound_resume = [] {
    // Every walk drew one candidate of density weight 3.9.
    const std::string counts =
        R"("task.gtried":18360,"task.npath_array":[9278,9082],"task.sumpdf":71604,)"
        R"("start_sums":[36184.2,141118.38,9278,9278,36184.2,35419.8,138137.22,9082,9082,35419.8]})";
    const char* const keys[][4] = {
        {"", "", "[557,4847,-1044,9089]", "[2172.3,557,-4071.6,-1044]"},
        {"body", "box1", "[60399,525647,-30495,265399]", "[235556.1,60399,-118930.5,-30495]"},
        {"plane", "GROUND", "[19791,172237,-47501,413398]", "[77184.9,19791,-185253.9,-47501]"},
    };
    std::string blocks, nets;
    for (const auto& k : keys) {
        const std::string sums =
            std::string(R"({"SIZE":2,"sums":)") + k[2] + R"(,"weight_start_sums":)" + k[3] + ",";
        blocks += (blocks.empty() ? "" : ",") + sums + R"("src_block":"body","dest_block":")" + k[0] + "\"," + counts;
        nets += (nets.empty() ? "" : ",") + sums + R"("src_net":"box1","dest_net":")" + k[1] + "\"," + counts;
    }
    return R"({"accuracy":0.02,"casefile_md5":"{md5}","block_results":{"box1":[)" + blocks +
           R"(]},"net_results":{"box1":[)" + nets + R"(]},"nhops":255888,"nwalks":18360,"seed_counter":444609})" +
           "\n";
}();

// One box in a Neumann window, its only neighbour floating: every walk comes
// back to it, so its walks never show an error.
const std::string master_with_floating_neighbour = R"(<lumod>
<window> v1 (-6, -6, 0) v2 (6, 6, 3) neumann </window>
<medium> <block> basepoint (-6, -6, 0) v1 (12, 0, 0) v2 (0, 12, 0) hvector (0, 0, 3) </block> diel 3.9 </medium>
<conductor> name left <block> name plate basepoint (-2, -1, 1) v1 (0.5, 0, 0) v2 (0, 2, 0) hvector (0, 0, 0.3) </block> </conductor>
<conductor> name middle floating <block> basepoint (-0.25, -1, 1) v1 (0.5, 0, 0) v2 (0, 2, 0) hvector (0, 0, 0.3) </block> </conductor>
<task> <capacitance> left </capacitance> </task>
</lumod>
)";

// Its statistics as a run of it stores them at the walk cap.
const std::string master_at_walk_cap = [] {
    const std::string sums =
        R"("start_sums":[19504933.500089012,76069240.649570212,5001265.0,5001265.0,19504933.500089012,)"
        R"(19504243.200089276,76066548.479571372,5001088.0,5001088.0,19504243.200089276],)"
        R"("sums":[10446205.281365268,21819120.711787958,-10445835.579232914,21818348.510281757],)"
        R"("task.gtried":10002353,"task.npath_array":[5001265,5001088],"task.sumpdf":39009176.699999996,)"
        R"("weight_start_sums":[40740200.593167096,10446205.281365268,-40738758.754850753,-10445835.579232914]})";
    return R"({"accuracy":0.5,"block_results":{"left":[{"SIZE":2,"dest_block":"plate","dest_block_index":0,)"
           R"("src_block":"plate","src_block_index":0,)" +
           sums + R"(]},"casefile_md5":"{md5}","net_results":{"left":[{"SIZE":2,"dest_net":"left","src_net":"left",)" +
           sums + R"(]},"nhops":1307923913,"nwalks":10002353,"seed_counter":444609})" + "\n";
}();

// The example with a second net around a third, which no walk can reach.
const std::string net_in_closed_shell = R"(<lumod>
<window> v1 (-10, -10, 0) v2 (10, 10, 5) dirichlet </window>
<medium> <block> basepoint (-10, -10, 0) v1 (20, 0, 0) v2 (0, 20, 0) hvector (0, 0, 5) </block> diel 3.9 </medium>
<conductor> name GROUND <block> basepoint (-10, -10, 0) v1 (20, 0, 0) v2 (0, 20, 0) hvector (0, 0, 0.2) </block> </conductor>
<conductor> name box1 <block> basepoint (-0.5, -0.5, 0.5) v1 (1, 0, 0) v2 (0, 1, 0) hvector (0, 0, 0.4) </block> </conductor>
<conductor> name shell
  <block> basepoint (2, -1, 0.5) v1 (2, 0, 0) v2 (0, 2, 0) hvector (0, 0, 0.2) </block>
  <block> basepoint (2, -1, 1.8) v1 (2, 0, 0) v2 (0, 2, 0) hvector (0, 0, 0.2) </block>
  <block> basepoint (2, -1, 0.7) v1 (0.2, 0, 0) v2 (0, 2, 0) hvector (0, 0, 1.1) </block>
  <block> basepoint (3.8, -1, 0.7) v1 (0.2, 0, 0) v2 (0, 2, 0) hvector (0, 0, 1.1) </block>
  <block> basepoint (2.2, -1, 0.7) v1 (1.6, 0, 0) v2 (0, 0.2, 0) hvector (0, 0, 1.1) </block>
  <block> basepoint (2.2, 0.8, 0.7) v1 (1.6, 0, 0) v2 (0, 0.2, 0) hvector (0, 0, 1.1) </block>
</conductor>
<conductor> name inner <block> basepoint (2.8, -0.2, 1.1) v1 (0.4, 0, 0) v2 (0, 0.4, 0) hvector (0, 0, 0.3) </block> </conductor>
<task> <capacitance> box1 </capacitance> </task>
</lumod>
)";

// A box alone in a Neumann window too small for its Gaussian surface.
const std::string lone_master_in_small_window = R"(<lumod>
<window> v1 (-6, -6, 0) v2 (6, 6, 3) neumann </window>
<medium> <block> basepoint (-6, -6, 0) v1 (12, 0, 0) v2 (0, 12, 0) hvector (0, 0, 3) </block> diel 3.9 </medium>
<conductor> name lone <block> basepoint (-1, -1, 1) v1 (2, 0, 0) v2 (0, 2, 0) hvector (0, 0, 0.3) </block> </conductor>
<task> <capacitance> lone </capacitance> </task>
</lumod>
)";

const std::string fifo = "<fifo>";
const std::string directory = "<directory>";
const std::string link_to_notes = "<link to notes.txt>";
const std::string notes = "my notes\n";

struct bad_input {
    std::string name;
    std::vector<std::string> args;  // "{in}" is the geometry file, "{dir}" the working directory
    int status;
    std::string message;          // on standard error or standard output, "{in}" and "{dir}" as above
    std::string resume = "";      // the resume file's text, fifo or directory; none when empty
    std::string geometry = "box_over_ground.lumod";  // an example's name, or the text itself
    double time_limit = 60;  // seconds
};

// Test listings show the case's name, not the bytes of the record.
void PrintTo(const bad_input& c, std::ostream* os) { *os << c.name; }

const std::string fatal = "Fatal error: ";
const std::string damaged_master = "stored results of master box1 are damaged or do not fit this run";
const std::string unreadable_resume = "json file not found or parse error, start breakpoint resume failed.\n\n";
const std::string unwritable_resume =
    "\nError when writing date to {dir}/.case.lumod.json(breakpoint-resume file),check if you have write "
    "pemission!.\n\n";
const std::string modified_case = "case file modified, start breakpoint resume failed.\n\n";
const std::string resumed = "Start breakpoint resume successfully, previous accuracy control is \"-p 0.020\"";

// The example read with "-f" and refused for the options that follow.
bad_input refused(const std::string& name, std::vector<std::string> options, const std::string& message) {
    options.insert(options.begin(), {"-f", "{in}"});
    return {name, options, 255, fatal + message};
}

// A resumed run of the example with the given resume file: never fatal.
bad_input resume_row(const std::string& name, const std::string& message, const std::string& resume) {
    return {"resume_" + name, {"-f", "{in}", "-p", "0.05", "--breakpoint-resume", "on"}, 0, message, resume};
}

// The same with the sound resume file edited.
bad_input resume_row(std::string name, std::string message, const std::string& from, const std::string& to) {
    EXPECT_NE(sound_resume.find(from), std::string::npos) << from;
    return resume_row(name, message, replaced(sound_resume, from, to));
}

const bad_input cases[] = {
    // Option words, refused while the command line is parsed.
    {"unknown_option", {"-q"}, 255, fatal + "unknown argument '-q'\n"},
    refused("second_input_word", {"case.lumod"}, "unknown argument 'case.lumod'\n"),
    refused("dash_word", {"-"}, "unknown argument '-'\n"),
    {"unknown_long_option", {"--no-such=1", "-f", "{in}"}, 255, fatal + "unknown argument '--no-such'\n"},
    {"no_input", {"-t", "5"}, 255, fatal + "no valid input\n"},
    {"missing_input", {"-f", "{dir}/missing"}, 255, fatal + "cannot open file \"{dir}/missing\" with flag \"r\"\n"},
    {"input_is_directory", {"-f", "{dir}"}, 255, fatal + "cannot open file \"{dir}\" with flag \"r\"\n"},
    // The same file read and written: refused before it is truncated.
    refused("report_over_input", {"-o", "{in}"}, "cannot open file \"{in}\" with flag \"w\"\n"),
    // The error log file is open by now, but parsing is not finished.
    refused("bad_choice_after_error_log", {"--log-error-file", "errors.log", "--gauss-type=wide"},
            "unexpected value 'wide' of '--gauss-type'\ncandidates are:\n\t"),

    // Counts and accuracies that no run can meet.
    refused("walks_zero", {"-t", "0"}, "the minimum walk count \"-t\" must be at least 1\n"),
    refused("walks_negative", {"-t", "-5"}, "the minimum walk count \"-t\" must be at least 1\n"),
    refused("threads_negative", {"-n", "-1"}, "the walk thread count \"-n\" must not be negative\n"),
    // Read without wrapping to 2147483647.
    refused("threads_below_int", {"-n", "-2147483649"}, "the walk thread count \"-n\" must not be negative\n"),
    {"threads_many", {"-f", "{in}", "-n", "100000", "-p", "0.05"}, 0, "warning: \"-n\" asks for 100000 walk threads"},
    // A report that cannot be written (a full disk) is no success.
    refused("report_on_full_disk", {"-p", "0.05", "-o", "/dev/full"},
            "the report could not be written in full to \"/dev/full\""),
    refused("dump_on_full_disk", {"--dump-layout", "/dev/full"},
            "the layout dump could not be written in full to \"/dev/full\""),
    {"threads_beyond_int", {"-f", "{in}", "-n", "2147483648", "-p", "0.05"}, 0,
     "warning: \"-n\" asks for 2147483647 walk threads"},
    refused("accuracy_zero", {"-p", "0"}, "the accuracy \"-p\" must be a number of at least 1e-12\n"),
    refused("accuracy_negative", {"-p", "-1"}, "the accuracy \"-p\" must be"),
    refused("accuracy_nan", {"-p", "nan"}, "the accuracy \"-p\" must be"),
    refused("accuracy_word", {"-p", "abc"}, "unexpected value 'abc' of '-p'\na number is expected\n"),
    refused("accuracy_empty", {"-p", ""}, "unexpected value '' of '-p'\na number is expected\n"),
    // A number is the whole word, or the word is refused.
    {"walks_exponent", {"-f", "{in}", "-t", "5e4"}, 0, "\nKorvex has run 50000 walks", "", "box_over_ground.lumod", 30},
    refused("walks_trailing_junk", {"-t", "50000abc"}, "unexpected value '50000abc' of '-t'\na whole number is expected\n"),
    refused("walks_hexadecimal", {"-t", "0x10"}, "unexpected value '0x10' of '-t'\na whole number is expected\n"),
    refused("threads_fraction", {"-n", "2.5"}, "unexpected value '2.5' of '-n'\na whole number is expected\n"),
    refused("accuracy_percent", {"-p", "1%"}, "unexpected value '1%' of '-p'\na number is expected\n"),
    refused("coupling_accuracy_glued_equals", {"-c=0.2"}, "unexpected value '=0.2' of '-c'\na number is expected\n"),
    // An unset shell variable: no report at all, or no input, is no run.
    refused("report_path_empty", {"-o", ""}, "unexpected value '' of '-o'\na file name is expected\n"),
    {"input_path_empty", {"-f", ""}, 255, fatal + "unexpected value '' of '-f'\na file name is expected\n", "",
     "box_over_ground.lumod", 10},
    refused("accuracy_too_fine", {"-p", "1e-13"}, "the accuracy \"-p\" must be"),
    refused("coupling_accuracy_negative", {"-c", "-0.1"},
            "the coupling accuracy \"-c\" must be 0 (off) or a number of at least"),
    refused("coupling_accuracy_nan", {"-c", "nan"}, "the coupling accuracy \"-c\" must be"),
    refused("coupling_error_too_fine", {"-e", "1e-20"}, "the coupling error \"-e\" (\"--coupling-error\") must be"),
    refused("coupling_stop_of_unknown_master", {"--set-coupling-error", "nobody GROUND 0.1 0.01"},
            "Coupling stop condition must start with a master name or *\n"),
    refused("coupling_stop_of_negative_error", {"--set-coupling-error", "ALL * -0.1 0"},
            "the error of the coupling stop condition \"ALL * -0.1 0\" of \"--set-coupling-error\" must be"),
    // No master at all: the run has nothing to extract.
    {"no_master", {"-f", "{in}", "--set-coupling-error", "* * 0.1 0", "--overwrite-tasks", "nobody"}, 255,
     "warning: master name nobody matches no conductor and is ignored.\n" + fatal +
         "no master conductor to extract: no task name matches a conductor that can be one\n"},
    // Three words are no tuple: nothing is checked.
    {"coupling_stop_of_three_words", {"-f", "{in}", "--set-coupling-error", "nobody GROUND 0.1", "-p", "0.05"}, 0,
     "Korvex has run "},
    // A coupling accuracy stops once the accurate couplings and the window
    // hold 80 % of the master, although the window takes more than a fifth.
    {"coupling_window_over_a_fifth", {"-f", "{in}", "-c", "0.3", "-e", "0.3", "-n", "8"}, 0,
     "Coupling caps with wanted accuracy count for", "", "floating.lumod"},

    // Runs that could not end by accuracy end all the same: at the walk cap,
    // reported as not converged with status 3 and no zero error (restored
    // here from the statistics of such a run: its ten million walks take
    // over a billion hops).
    {"walk_cap_unconverged", {"-f", "{in}", "--breakpoint-resume", "on"}, 3,
     "+/-       infF   (  inf%)\nNot converged: master left stopped after 10003", master_at_walk_cap,
     master_with_floating_neighbour, 30},
    // A coupling asked for that no walk can reach stops holding the master.
    {"coupling_unreachable", {"-f", "{in}", "-e", "0.1", "-o", "stdout"}, 0,
     "No error control on coupling capacitancebetween box1 and inner\n", "", net_in_closed_shell, 30},
    {"start_points_outside_window", {"-f", "{in}"}, 255,
     fatal + "no start point of master lone can be drawn: its Gaussian surface lies wholly outside the Neumann "
             "window\n",
     "", lone_master_in_small_window, 10},

    // Options that shape the layout.
    refused("extension_inf", {"--window-extension", "inf"},
            "the window extension \"--window-extension\" must be a finite number of at most 1e+09\n"),
    refused("extension_nan", {"--window-extension", "nan"}, "the window extension \"--window-extension\" must"),
    refused("extension_huge", {"--window-extension", "1e308"}, "the window extension \"--window-extension\" must"),
    refused("wire_width_inf", {"-w", "inf"}, "the wire width \"-w\" must be a finite number of at most 1e+09 um\n"),
    refused("wire_width_minus_inf", {"-w", "-inf"}, "the wire width \"-w\" must"),
    refused("wire_width_nan", {"-w", "nan"}, "the wire width \"-w\" must"),
    refused("wire_width_huge", {"-w", "1e308"}, "the wire width \"-w\" must"),
    refused("window_beyond_range", {"-w", "1e4", "--window-extension", "1e6"},
            "the window extension \"--window-extension\" times the wire width \"-w\" must be at most 1e+09 um\n"),
    refused("dump_rotation_nan", {"--dump-layout", "dump.lumod", "--dump-rotate-degree", "nan"},
            "the dump rotation \"--dump-rotate-degree\" must be a finite number of degrees\n"),
    refused("dump_rotation_minus_inf", {"--dump-layout", "dump.lumod", "--dump-rotate-degree", "-inf"},
            "the dump rotation \"--dump-rotate-degree\" must"),
    refused("dump_tiles_x_huge", {"--dump-layout", "dump.lumod", "--dump-tile-nx", "2147483647"},
            "the tile count \"--dump-tile-nx\" must be from 1 to 1000000\n"),
    refused("dump_tiles_y_zero", {"--dump-tile-ny", "0"}, "the tile count \"--dump-tile-ny\" must be from 1"),
    refused("dump_tiles_z_negative", {"--dump-tile-nz", "-3"}, "the tile count \"--dump-tile-nz\" must be from 1"),
    refused("dump_tiles_too_many", {"--dump-layout", "dump.lumod", "--dump-tile-nx", "1000", "--dump-tile-ny", "1001"},
            "the tile counts \"--dump-tile-nx\", \"--dump-tile-ny\" and \"--dump-tile-nz\" must make at most "
            "1000000 tiles together\n"),

    // Resume files: what cannot be used starts afresh.
    resume_row("sound", resumed, sound_resume),
    // Written before the seed position was stored.
    resume_row("without_seed", resumed, R"(,"seed_counter":444609)", ""),
    resume_row("seed_zero", resumed, R"("seed_counter":444609)", R"("seed_counter":0)"),
    resume_row("cut_short", unreadable_resume, "{"),
    // Not a resume document: read as none, and left as it is.
    resume_row("array", unwritable_resume, "[1, 2]"),
    resume_row("link", unwritable_resume, link_to_notes),
    resume_row("deep_array", unreadable_resume, std::string(100000, '[') + std::string(100000, ']')),
    resume_row("deep_value", unreadable_resume,
               R"("accuracy":0.02)", R"("accuracy":0.02,"deep":)" + std::string(5000, '[') + std::string(5000, ']')),
    resume_row("stray_brace", unreadable_resume, "[60399,", "[}60399,"),
    resume_row("block_comment", resumed, R"(,"nhops")", "/* a note */ ,\"nhops\""),
    resume_row("line_comment", resumed, "[9278,9082]", "[9278, // walks\n 9082]"),
    resume_row("fifo_not_read", unreadable_resume, fifo),
    resume_row("fifo_not_written", unwritable_resume, fifo),
    resume_row("directory", unwritable_resume, directory),
    resume_row("digest_not_text", modified_case, R"("casefile_md5":"{md5}")", R"("casefile_md5":[1])"),
    resume_row("net_name_object", damaged_master, R"("dest_net":"GROUND")", R"("dest_net":{})"),
    resume_row("unknown_net", damaged_master, R"("dest_net":"GROUND")", R"("dest_net":"nobody")"),
    // A missing key, and two elements of one key.
    resume_row("missing_key", damaged_master, R"("dest_net":"GROUND")", R"("dest_nex":"GROUND")"),
    resume_row("missing_source", damaged_master,
               R"("src_block":"body","dest_block":"plane")", R"("dest_block":"plane")"),
    resume_row("repeated_element", damaged_master, R"("dest_net":"")", R"("dest_net":"box1")"),
    // Stored checksums: a master without one is read as before.
    resume_row("checksum_mismatch", damaged_master, R"("nhops")", R"("results_md5":{"box1":"0123"},"nhops")"),
    resume_row("checksum_of_another_master", resumed, R"("nhops")", R"("results_md5":{"other":"0123"},"nhops")"),
    // A document under its own checksum that does not match (a seed
    // position set back, say) is moved aside rather than continued.
    resume_row("document_checksum_mismatch",
               "is a damaged resume document: its checksum \"run_md5\" does not match its content",
               R"("nhops")", R"("run_md5":"0123","nhops")"),
    // Settings that change the physics, stored by a newer run.
    resume_row("other_physics", modified_case, R"("nhops")", R"("run_options":{"-w":2.0},"nhops")"),
    resume_row("source_not_text", damaged_master,
               R"("src_block":"body","dest_block":"plane")", R"("src_block":[1],"dest_block":"plane")"),
    resume_row("results_array", damaged_master, R"("block_results":{)", R"("block_results":[1],"x":{)"),
    resume_row("walks_text", damaged_master, R"("task.gtried":18360)", R"("task.gtried":"x")"),
    resume_row("walks_negative", damaged_master, R"("task.gtried":18360)", R"("task.gtried":-1)"),
    resume_row("walks_huge", damaged_master, R"("task.gtried":18360)", R"("task.gtried":1e30)"),
    // Elements of one table that disagree on the walks they count.
    resume_row("walk_counts_disagree", damaged_master,
               R"("dest_block":"","task.gtried":18360)", R"("dest_block":"","task.gtried":18361)"),
    resume_row("density_sum_text", damaged_master, R"("task.sumpdf":71604)", R"("task.sumpdf":"x")"),
    resume_row("density_sum_huge", damaged_master, R"("task.sumpdf":71604)", R"("task.sumpdf":1e308)"),
    resume_row("path_counts_max", damaged_master, "[9278,9082]", "[9223372036854775807,9223372036854775807]"),
    resume_row("path_counts_huge", damaged_master, "[9278,9082]", "[100000000000000000,100000000000000000]"),
    resume_row("path_counts_negative", damaged_master, "[9278,9082]", "[-1000000000000000,0]"),
    resume_row("size_mismatch", damaged_master, R"({"SIZE":2,"sums":[557,4847,-1044,9089])", R"({"SIZE":7,"sums":[1])"),
    // A sum of squares too small for its sum: no real walks give it.
    resume_row("squares_too_small", damaged_master, "[60399,525647,", "[60399,52,"),
    resume_row("squares_huge", damaged_master, "[60399,525647,", "[60399,1e300,"),
    // Written before the start-point draws were stored: the surface
    // factor's error is unknown, so the master starts afresh.
    resume_row("without_start_sums", damaged_master, R"("start_sums":)", R"("x":)"),
    resume_row("start_sums_off", damaged_master, "[235556.1,60399,", "[1e9,60399,"),
    // Totals that would overflow restart at 0.
    resume_row("total_walks_max", resumed, R"("nwalks":18360)", R"("nwalks":9223372036854775807)"),
    resume_row("total_walks_beyond_max", resumed, R"("nwalks":18360)", R"("nwalks":9223372036854775808)"),
};

bool finite_positive_masters(const std::string& report) {
    const std::regex line("\nMaster \\S+ : +(\\S+)F");
    int masters = 0;
    for (std::sregex_iterator m(report.begin(), report.end(), line), end; m != end; ++m, ++masters) {
        const double cap = std::strtod((*m)[1].str().c_str(), nullptr);
        if (!(std::isfinite(cap) && cap > 0)) return false;
    }
    return masters > 0;
}

using BadInput = ::testing::TestWithParam<bad_input>;

} // namespace

TEST_P(BadInput, EndsInTimeWithItsStatusAndMessage) {
    static const scratch_dir shared;  // tables made once for all cases
    static const std::string tables = korvex_test::make_tables(shared);
    const bad_input& c = GetParam();
    scratch_dir dir;
    const std::string text = c.geometry.front() == '<' ? c.geometry
                                                       : file_text(std::string(KORVEX_SOURCE_DIR) + "/examples/" + c.geometry);
    const std::string input = dir.write("case.lumod", text);
    const std::string resume = dir.path(".case.lumod.json");
    if (c.resume == fifo)
        ASSERT_EQ(::mkfifo(resume.c_str(), 0644), 0);
    else if (c.resume == directory)
        std::filesystem::create_directories(resume);
    else if (c.resume == link_to_notes)
        std::filesystem::create_symlink(dir.write("notes.txt", notes), resume);
    else if (!c.resume.empty())
        dir.write(".case.lumod.json", replaced(c.resume, "{md5}", md5(text).hexdigest()));
    auto filled = [&](std::string s) { return replaced(replaced(s, "{in}", input), "{dir}", dir.root.string()); };
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(filled(a));
    for (const std::string& a : korvex_test::table_options(tables)) args.push_back(a);

    const binary_run r = run_korvex(args, dir.root.string(), "/dev/null", c.time_limit);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE((r.err + r.out).find(filled(c.message)), std::string::npos) << r.err << r.out;
    EXPECT_EQ(dir.read("case.lumod"), text);
    if (c.message == unwritable_resume && c.resume[0] != '<') { EXPECT_EQ(dir.read(".case.lumod.json"), c.resume); }
    if (c.resume == link_to_notes) { EXPECT_EQ(dir.read("notes.txt"), notes); }
    if (c.status == 0) {
        EXPECT_TRUE(finite_positive_masters(r.out)) << r.out;
        EXPECT_TRUE(std::regex_search(r.out, std::regex("\nKorvex has run [0-9]+ walks")));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadInput, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<bad_input>& info) { return info.param.name; });

// The resume file of a multi-master run against what can end or disturb a
// run while it writes, and against the ordinary next steps of a user: after
// each, the file still holds its previous content, or a document that a
// resumed run reads with at least the walks of the last save.
namespace {

enum class disturbance {
    kill_in_write,
    interrupt,
    full_disk,
    second_run,
    one_master,        // a resumed run of one master only
    other_folder,      // identical tables in another folder
    lock_file_deleted, // while the first run holds it
    hangup,            // a closed terminal
    cut_short,         // the document at the path ends half way
    oversized,         // a file far larger than any document of the case
};

struct interruption_case {
    const char* name;
    disturbance what;
};

const std::string three_boxes = R"(<lumod>
<window> v1 (-10, -10, 0) v2 (10, 10, 5) dirichlet </window>
<medium> <block> basepoint (-10, -10, 0) v1 (20, 0, 0) v2 (0, 20, 0) hvector (0, 0, 5) </block> diel 3.9 </medium>
<conductor> name GROUND <block> basepoint (-10, -10, 0) v1 (20, 0, 0) v2 (0, 20, 0) hvector (0, 0, 0.2) </block> </conductor>
<conductor> name a <block> basepoint (-3, -0.5, 0.5) v1 (1, 0, 0) v2 (0, 1, 0) hvector (0, 0, 0.4) </block> </conductor>
<conductor> name b <block> basepoint (-0.5, -0.5, 0.5) v1 (1, 0, 0) v2 (0, 1, 0) hvector (0, 0, 0.4) </block> </conductor>
<conductor> name c <block> basepoint (2, -0.5, 0.5) v1 (1, 0, 0) v2 (0, 1, 0) hvector (0, 0, 0.4) </block> </conductor>
<task> <capacitance> ALL </capacitance> </task>
</lumod>
)";

long long stored_walks(const std::string& document) {
    std::smatch m;
    return std::regex_search(document, m, std::regex("\"nwalks\":([0-9]+)")) ? std::stoll(m[1]) : -1;
}

void PrintTo(const interruption_case& c, std::ostream* out) { *out << c.name; }

class ResumeFileUnderInterruption : public ::testing::TestWithParam<interruption_case> {};

} // namespace

TEST_P(ResumeFileUnderInterruption, KeepsTheLastSaveOrThePreviousContent) {
    const interruption_case& c = GetParam();
    constexpr double time_limit = 180;
    scratch_dir dir;
    const std::string tables = korvex_test::make_tables(dir);
    std::string folder = dir.root.string();
    struct unmount_at_end {
        std::string path;
        ~unmount_at_end() {
            if (!path.empty()) ::umount2(path.c_str(), MNT_DETACH);
        }
    } disk;
    if (c.what == disturbance::full_disk) {
        folder = dir.path("disk");
        std::filesystem::create_directories(folder);
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=256k") != 0)
            GTEST_SKIP() << "no small tmpfs can be mounted here (" << std::strerror(errno) << ")";
        disk.path = folder;
    }
#ifndef KORVEX_TEST_HOOKS
    if (c.what == disturbance::kill_in_write) GTEST_SKIP() << "this build has no test hooks (KORVEX_TEST_HOOKS off)";
#endif
    std::ofstream(folder + "/case.lumod") << three_boxes;
    const std::string resume = folder + "/.case.lumod.json";
    auto run = [&](const std::string& accuracy, const std::function<void(pid_t)>& watch = {},
                   const std::vector<std::string>& more = {}, const std::string& table_dir = "") {
        std::vector<std::string> args = {"-f", folder + "/case.lumod", "-p", accuracy, "-n", "1",
                                         "--breakpoint-resume", "on", "-o", dir.path("case.out")};
        for (const std::string& a : korvex_test::table_options(table_dir.empty() ? tables : table_dir))
            args.push_back(a);
        args.insert(args.end(), more.begin(), more.end());
        // Watchers read the report of this run only.
        std::filesystem::remove(dir.path("case.out"));
        binary_run r = run_korvex(args, dir.root.string(), "/dev/null", time_limit, watch);
        EXPECT_FALSE(r.timed_out);
        return r;
    };
    ASSERT_EQ(run("0.05").status, 0);
    const std::string previous = file_text(resume);
    ASSERT_GT(stored_walks(previous), 0);

    switch (c.what) {
    case disturbance::kill_in_write: {
        ::setenv("KORVEX_TEST_KILL_IN_FILE_WRITE", "1", 1);
        const binary_run r = run("0.05");
        ::unsetenv("KORVEX_TEST_KILL_IN_FILE_WRITE");
        EXPECT_EQ(r.signal, SIGKILL);
        EXPECT_EQ(file_text(resume), previous);
        break;
    }
    case disturbance::interrupt:
    case disturbance::hangup: {
        // Ctrl-C, or a closed terminal, once the first master's report is out.
        const int sig = c.what == disturbance::interrupt ? SIGINT : SIGHUP;
        bool sent = false;
        const binary_run r = run("0.002", [&](pid_t child) {
            if (!sent && file_text(dir.path("case.out")).find("\nMaster a :") != std::string::npos)
                sent = ::kill(child, sig) == 0;
        });
        EXPECT_EQ(r.signal, sig) << r.out;
        EXPECT_GT(stored_walks(file_text(resume)), stored_walks(previous));
        break;
    }
    case disturbance::full_disk: {
        std::ofstream filler(folder + "/filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && filler.flush()) {
        }
        const binary_run r = run("0.05");
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("\nError when writing date to " + resume), std::string::npos) << r.out;
        EXPECT_EQ(file_text(resume), previous);
        std::filesystem::remove(folder + "/filler");
        break;
    }
    case disturbance::one_master: {
        const binary_run r = run("0.02", {}, {"--overwrite-tasks", "b"});
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string now = file_text(resume);
        for (const char* master : {"\"a\":[", "\"c\":["}) {
            const std::size_t at = previous.find(master);
            ASSERT_NE(at, std::string::npos) << master;
            // Its stored block array, as it was.
            const std::string stored = previous.substr(at, previous.find("]", previous.find("}]", at)) - at);
            EXPECT_NE(now.find(stored), std::string::npos) << master;
        }
        EXPECT_GT(stored_walks(now), stored_walks(previous));
        break;
    }
    case disturbance::other_folder: {
        std::filesystem::copy(tables, dir.path("copy"), std::filesystem::copy_options::recursive);
        const binary_run r = run("0.05", {}, {}, dir.path("copy"));
        EXPECT_NE(r.out.find("Start breakpoint resume successfully"), std::string::npos) << r.out;
        // Continued: the stored walks and this run's together.
        EXPECT_GT(stored_walks(file_text(resume)), stored_walks(previous));
        break;
    }
    case disturbance::cut_short: {
        std::ofstream(resume, std::ios::binary) << previous.substr(0, previous.size() / 2);
        const binary_run r = run("0.05");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("is a damaged resume document: it ends after"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Error when writing date"), std::string::npos) << r.out;
        EXPECT_EQ(file_text(resume + ".damaged-1"), previous.substr(0, previous.size() / 2));
        EXPECT_GT(stored_walks(file_text(resume)), 0);
        break;
    }
    case disturbance::oversized: {
        ASSERT_EQ(::truncate(resume.c_str(), off_t{20} << 30), 0) << std::strerror(errno);
        const binary_run r = run("0.05");
        EXPECT_EQ(r.status, 255);
        EXPECT_NE(r.err.find("Fatal error: the resume file \"" + resume + "\" holds 21474836480 bytes"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.out.find("Random Walk Begins"), std::string::npos);
        EXPECT_EQ(std::filesystem::file_size(resume), std::uintmax_t{20} << 30);
        std::ofstream(resume, std::ios::binary) << previous;
        break;
    }
    case disturbance::second_run:
    case disturbance::lock_file_deleted: {
        binary_run first;
        std::filesystem::remove(dir.path("case.out"));
        std::thread running([&] { first = run("0.003"); });
        // The first run holds the file once its preparation is reported.
        while (file_text(dir.path("case.out")).find("Preparation costed") == std::string::npos && !first.timed_out)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (c.what == disturbance::lock_file_deleted) std::filesystem::remove(resume + ".lock");
        const binary_run second = run("0.0201");
        running.join();
        EXPECT_EQ(second.status, 255);
        EXPECT_NE(second.err.find("Fatal error: another run is using the resume file \"" + resume + "\""),
                  std::string::npos)
            << second.err;
        EXPECT_EQ(second.out.find("Random Walk Begins"), std::string::npos);
        EXPECT_EQ(first.status, 0) << first.err;
        break;
    }
    }
    // Whatever is there now is read back whole by the next run.
    const long long saved = stored_walks(file_text(resume));
    const binary_run next = run("0.05");
    ASSERT_EQ(next.status, 0) << next.err;
    EXPECT_NE(next.out.find("Start breakpoint resume successfully"), std::string::npos) << next.out;
    EXPECT_EQ(next.out.find("damaged"), std::string::npos) << next.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(next.out, m, std::regex("Korvex has run ([0-9]+) walks")));
    EXPECT_GE(std::stoll(m[1]), saved);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResumeFileUnderInterruption,
                         ::testing::Values(interruption_case{"KillInWrite", disturbance::kill_in_write},
                                           interruption_case{"Interrupt", disturbance::interrupt},
                                           interruption_case{"FullDisk", disturbance::full_disk},
                                           interruption_case{"SecondRun", disturbance::second_run},
                                           interruption_case{"OneMaster", disturbance::one_master},
                                           interruption_case{"OtherFolder", disturbance::other_folder},
                                           interruption_case{"LockFileDeleted", disturbance::lock_file_deleted},
                                           interruption_case{"Hangup", disturbance::hangup},
                                           interruption_case{"CutShort", disturbance::cut_short},
                                           interruption_case{"Oversized", disturbance::oversized}),
                         [](const ::testing::TestParamInfo<interruption_case>& info) { return info.param.name; });

// An error on a walk thread stops the master's other walk threads and ends
// the run once, from the master's thread: one message, its status, and no
// report of the master whose walks failed.
TEST(WalkThreadError, EndsTheRunOnceFromTheMastersThread) {
#ifndef KORVEX_TEST_HOOKS
    GTEST_SKIP() << "this build has no test hooks (KORVEX_TEST_HOOKS off)";
#endif
    scratch_dir dir;
    const std::string tables = korvex_test::make_tables(dir);
    std::ofstream(dir.path("case.lumod")) << three_boxes;
    ::setenv("KORVEX_TEST_FAIL_AFTER_WALKS", "2000", 1);
    for (const char* threads : {"1", "4"}) {
        std::vector<std::string> args = {"-f", "case.lumod", "-p", "0.001", "-n", threads};
        for (const std::string& a : korvex_test::table_options(tables)) args.push_back(a);
        const binary_run r = run_korvex(args, dir.root.string(), "/dev/null", 120);
        EXPECT_FALSE(r.timed_out) << threads;
        EXPECT_EQ(r.status, 255) << threads << r.err;
        const std::string message = "a walk failed (test hook)\n";
        const std::size_t first = r.err.find(message);
        EXPECT_NE(first, std::string::npos) << threads << r.err;
        EXPECT_EQ(r.err.find(message, first + 1), std::string::npos) << threads << r.err;
        EXPECT_EQ(r.out.find("\nMaster "), std::string::npos) << threads << r.out;
    }
    ::unsetenv("KORVEX_TEST_FAIL_AFTER_WALKS");
}
