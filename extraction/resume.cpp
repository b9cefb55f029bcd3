// The resume file: a one-line JSON document beside the geometry file that
// lets a later run of the same geometry and physics settings continue every
// master's statistics. Whatever the file holds, reading it never ends the
// run: a document that cannot be read, or belongs to another case, starts
// the run afresh; a master whose stored statistics are damaged or do not fit
// starts afresh on its own.
//
// The file is replaced whole (written beside it, synced, renamed), after
// masters finish and at the end, by one run at a time (a lock file beside
// it); what is not a resume document is never replaced.
#include "extraction/problem_manager.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "config/configure.hpp"
#include "config/parse_configure.hpp"
#include "extraction/extraction_task.hpp"
#include "extraction/resume_document.hpp"
#include "foundation/duration.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/md5.hpp"
#include "walker/walker_seed.hpp"

// The document is read and written with the classic reader and writer,
// whose formats (comments collected, one-line output) the file relies on.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
namespace {

// Counts restored from a file leave this much room for the walks of the
// runs that continue them, so that no counter can overflow.
constexpr std::int64_t largest_restored_count = std::int64_t{1} << 62;

// Rounding of sums over many walks, relative: stored sums may exceed what
// exact arithmetic allows by this much.
constexpr double sum_rounding = 1e-6;

// Far beyond the sums of any real run, and far enough below the largest
// double that the walks of the continuing run (and a sum squared) stay
// finite.
constexpr double largest_restored_sum = 1e150;

// Writes while the masters run come at most this often, and at most one
// tenth of the run goes to them however large the file grows.
constexpr std::int64_t least_write_interval_ns = 2'000'000'000;
constexpr std::int64_t write_cost_share = 10;

// Only regular files are read or written: opening a FIFO or a device could
// block the run for ever.
bool is_regular_or_absent(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) != 0 ? errno == ENOENT : S_ISREG(st.st_mode);
}

// Whole text of a regular file; empty when there is none to read.
std::string read_whole_file(const std::string& path) {
    std::string text;
    if (!is_regular_or_absent(path)) return text;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return text;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return text;
}

// "dir/.base.json" beside the geometry file "dir/base".
std::string breakpoint_name(const std::string& input) {
    const std::size_t slash = input.rfind('/');
    if (slash == std::string::npos) return "." + input + ".json";
    return input.substr(0, slash + 1) + "." + input.substr(slash + 1) + ".json";
}

// A stored count: an integer from 0 to largest_restored_count, else -1.
std::int64_t count_of(const Json::Value& v) {
    if (!v.isInt64()) return -1;
    const std::int64_t n = v.asInt64();
    return n >= 0 && n <= largest_restored_count ? n : -1;
}

// A name that is missing or of another type does not read.
bool name_of(const Json::Value& e, const char* key, std::string& out) {
    const Json::Value* v = e.find(key, key + std::strlen(key));
    if (!v || !v->isString()) return false;
    out = v->asString();
    return true;
}

// Checksum of one master's stored arrays.
std::string results_checksum(const std::string& blocks, const std::string& nets) {
    return md5(blocks + "\n" + nets).hexdigest();
}

// The stored array of one master under "block_results" or "net_results"
// as text; an absent one reads as "", one of the wrong type does not read.
bool stored_array(const resume_document& doc, int which, const std::string& master, std::string& out) {
    const Json::Value& all = doc.members[results_keys[which]];
    if (!all.isNull() && !all.isObject()) return false;
    const auto found = doc.results[which].find(master);
    out = found == doc.results[which].end() || found->second == "null" ? std::string() : found->second;
    return out.empty() || out.front() == '[';
}

// The text of one stored array back as a value; "" is an empty array.
bool array_of(const std::string& text, Json::Value& out) {
    out = Json::Value(Json::arrayValue);
    if (text.empty()) return true;
    Json::Reader reader;
    return reader.parse(text, out, false) && out.isArray();
}

// The stored form of one key's statistics: everything but the key itself.
template <class Table>
Json::Value element_of(const Table& table, const key_sums& s, const extraction_task& task) {
    Json::Value e(Json::objectValue);
    e["task.gtried"] = static_cast<Json::UInt64>(task.gtried);
    e["task.sumpdf"] = task.sumpdf;
    Json::Value npath(Json::arrayValue);
    Json::Value sums(Json::arrayValue);
    for (std::size_t k = 0; k < table.nstrata; ++k) {
        npath.append(static_cast<Json::Int64>(table.npath[k]));
        sums.append(s[k].sum);
        sums.append(s[k].sum_sq);
    }
    e["task.npath_array"] = npath;
    e["SIZE"] = static_cast<Json::Int64>(table.nstrata);
    e["sums"] = sums;
    // The start-point draws of the walks, for the error of the surface
    // factor: per stratum the table's sumpdf, its square, gtried, its
    // square and their product, and the key's weight x sumpdf and weight x
    // gtried.
    Json::Value draws(Json::arrayValue), weighted(Json::arrayValue);
    for (std::size_t k = 0; k < table.nstrata; ++k) {
        const draw_sums& d = table.draws[k];
        for (double v : {d.pdf, d.pdf_sq, d.tried, d.tried_sq, d.pdf_tried}) draws.append(v);
        weighted.append(s[k].sum_pdf);
        weighted.append(s[k].sum_tried);
    }
    e["start_sums"] = draws;
    e["weight_start_sums"] = weighted;
    return e;
}

// Reads `size` numbers of a stored array; false unless all are there.
bool numbers_of(const Json::Value& v, Json::ArrayIndex size, double* out) {
    if (!v.isArray() || v.size() != size) return false;
    for (Json::ArrayIndex i = 0; i < size; ++i) {
        if (!v[i].isNumeric()) return false;
        out[i] = v[i].asDouble();
    }
    return true;
}

// The draw sums of one element. Files written before they were stored have
// none: without them the surface factor's error is unknown, so such a
// master starts afresh rather than print a walk-only error.
template <class Table>
bool restore_draws(Table& table, const Json::Value& e, key_sums& s) {
    const Json::ArrayIndex strata = static_cast<Json::ArrayIndex>(table.nstrata);
    double d[5 * max_strata], w[2 * max_strata];
    if (!numbers_of(e["start_sums"], 5 * strata, d) || !numbers_of(e["weight_start_sums"], 2 * strata, w))
        return false;
    std::array<draw_sums, max_strata> draws{};
    for (Json::ArrayIndex k = 0; k < strata; ++k) {
        draws[k] = {d[5 * k], d[5 * k + 1], d[5 * k + 2], d[5 * k + 3], d[5 * k + 4]};
        s[k].sum_pdf = w[2 * k];
        s[k].sum_tried = w[2 * k + 1];
        const draw_sums& t = table.draws[k];
        if (!table.sums.empty() && (t.pdf != draws[k].pdf || t.pdf_sq != draws[k].pdf_sq ||
                                    t.tried != draws[k].tried || t.tried_sq != draws[k].tried_sq ||
                                    t.pdf_tried != draws[k].pdf_tried))
            return false;
    }
    table.draws = draws;
    return table.draws_fit(sum_rounding) && table.key_fits(s, sum_rounding);
}

// Restores the walk counts of one element into the table and returns its
// sums. Fails unless the strata match this run's, the counts are those of
// the elements before (every element of a table carries the same), and
// every number could come from real walks: counts and sums within bounds,
// and per stratum S^2 <= n Q (the sum of n weights squared is at most
// n times the sum of their squares).
template <class Table>
bool restore_counts(Table& table, const Json::Value& e, key_sums& s) {
    const Json::Value& npath = e["task.npath_array"];
    const Json::Value& sums = e["sums"];
    const Json::ArrayIndex strata = static_cast<Json::ArrayIndex>(table.nstrata);
    if (count_of(e["SIZE"]) != static_cast<std::int64_t>(strata) || !npath.isArray() || npath.size() != strata ||
        !sums.isArray() || sums.size() != 2 * strata)
        return false;
    std::int64_t total = 0;
    for (Json::ArrayIndex k = 0; k < strata; ++k) {
        const std::int64_t n = count_of(npath[k]);
        const Json::Value &sum = sums[2 * k], &sum_sq = sums[2 * k + 1];
        if (n < 0 || n > largest_restored_count - total || !sum.isNumeric() || !sum_sq.isNumeric()) return false;
        s[k] = {sum.asDouble(), sum_sq.asDouble()};
        if (!(std::fabs(s[k].sum) <= largest_restored_sum) || !(s[k].sum_sq >= 0.0) ||
            !(s[k].sum_sq <= largest_restored_sum) ||
            !(s[k].sum * s[k].sum <= static_cast<double>(n) * s[k].sum_sq * (1 + sum_rounding)) ||
            (n == 0 && s[k].sum_sq != 0.0))
            return false;
        if (!table.sums.empty() && table.npath[k] != n) return false;
        table.npath[k] = n;
        total += n;
    }
    table.nwalks = total;
    return restore_draws(table, e, s);
}

template <class Record>
const Record* last_named(const std::vector<Record*>& list, const std::string& name) {
    const Record* found = nullptr;
    for (const Record* r : list)
        if (r->name == name) found = r;
    return found;
}

// A stored block: "" is none; otherwise the block at the stored index of
// the block list when it bears the name (the pieces of one polygon share
// it), else the last block of that name. False when no block has it.
bool stored_block(const Json::Value& e, const char* name_key, const char* index_key,
                  const std::vector<block*>& blocks, const block*& out) {
    std::string name;
    if (!name_of(e, name_key, name)) return false;
    out = nullptr;
    if (name.empty()) return true;
    const std::int64_t i = count_of(e[index_key]);
    if (i >= 0 && static_cast<std::size_t>(i) < blocks.size() && blocks[i]->name == name) {
        out = blocks[i];
        return true;
    }
    out = last_named(blocks, name);
    return out != nullptr;
}

bool restore_block_element(extraction_task& task, const Json::Value& e, const std::vector<block*>& blocks) {
    if (!e.isObject()) return false;
    key_sums s{};
    const block *from = nullptr, *to = nullptr;
    const std::int64_t gtried = count_of(e["task.gtried"]);
    const Json::Value& sumpdf = e["task.sumpdf"];
    if (gtried < 0 || !sumpdf.isNumeric() || !std::isfinite(sumpdf.asDouble()) ||
        !(sumpdf.asDouble() >= 0.0) || !restore_counts(task.block_stats, e, s) ||
        !stored_block(e, "src_block", "src_block_index", blocks, from) ||
        !stored_block(e, "dest_block", "dest_block_index", blocks, to))
        return false;
    if (!task.block_stats.sums.empty() &&
        (task.gtried != static_cast<std::uint64_t>(gtried) || task.sumpdf != sumpdf.asDouble()))
        return false;
    task.gtried = static_cast<std::uint64_t>(gtried);
    task.sumpdf = sumpdf.asDouble();
    // Two elements of one key: one of them is not what was written.
    return task.block_stats.sums.emplace(block_pair{from, to}, s).second;
}

bool restore_net_element(extraction_task& task, const Json::Value& e, const std::vector<conductor*>& nets) {
    key_sums s{};
    std::string source, dest;
    if (!e.isObject() || !restore_counts(task.net_stats, e, s) || !name_of(e, "src_net", source) ||
        source != task.master->name || !name_of(e, "dest_net", dest))
        return false;
    const conductor* net = dest.empty() ? nullptr : last_named(nets, dest);
    if (!dest.empty() && !net) return false;
    return task.net_stats.sums.emplace(net, s).second;
}

// Both tables count every walk, each walk draws at least one start point,
// and each draw adds at most the largest start weight to sumpdf.
bool restored_master_fits(const extraction_task& task) {
    for (std::size_t k = 0; k < task.net_stats.nstrata; ++k)
        if (task.net_stats.npath[k] != task.block_stats.npath[k]) return false;
    const double gtried = static_cast<double>(task.gtried);
    if (task.gtried < static_cast<std::uint64_t>(task.net_stats.nwalks)) return false;
    if (task.net_stats.nwalks > 0 && !(task.sumpdf > 0.0)) return false;
    if (!(task.sumpdf <= gtried * task.gauss.max_weight * (1 + sum_rounding))) return false;
    double drawn = 0.0, pdf = 0.0;
    for (std::size_t k = 0; k < task.net_stats.nstrata; ++k) {
        drawn += task.net_stats.draws[k].tried;
        pdf += task.net_stats.draws[k].pdf;
    }
    if (drawn != gtried || !(std::fabs(pdf - task.sumpdf) <= task.sumpdf * sum_rounding)) return false;
    return task.estimate_is_finite();
}

template <class Table>
void clear_table(Table& table) {
    const std::uint64_t strata = table.nstrata;
    table = Table{};
    table.nstrata = strata;
}

const char* gauss_word(configure::gauss_arg type) {
    static const char* const words[] = {"default", "uniform", "diel", "dist", "both"};
    return type >= 0 && type <= configure::gauss_both ? words[type] : "?";
}

// A table folder as the file system resolves it, so that two spellings of
// one folder agree.
std::string table_folder(const std::string& dir) {
    char resolved[PATH_MAX];
    return ::realpath(dir.c_str(), resolved) ? std::string(resolved) : dir;
}

// The settings beyond the geometry text that change what a walk estimates:
// stored statistics of other settings belong to another case.
Json::Value physics_options(const configure& cfg, const std::string& idmap_md5) {
    Json::Value o(Json::objectValue);
    o["--multi-dielectric"] = dielectric_word(cfg.multi_dielectric);
    o["-m"] = idmap_md5;
    o["--enable-merge"] = cfg.enable_merge;
    o["-w"] = cfg.min_wire_width;
    o["--window-extension"] = cfg.window_extension;
    o["--auto-window"] = cfg.auto_window;
    o["--manhattan-approximation"] = cfg.manhattan_approximation;
    o["--gauss-type"] = gauss_word(cfg.gauss_type);
    o["--gauss-scale"] = cfg.gauss_scale;
    o["--enable-floating"] = cfg.enable_floating;
    o["--floating-type"] = static_cast<int>(cfg.floating_type);
    o["--floating-type-prism"] = static_cast<int>(cfg.floating_type_prism);
    // Replaced by the distance that preparation computes.
    o["--floating-d"] = cfg.floating_d;
    o["--table-single"] = table_folder(cfg.table_single);
    o["--table-twolyr"] = table_folder(cfg.table_twolyr);
    o["--table-mullyr"] = table_folder(cfg.table_mullyr);
    o["--table-approx"] = table_folder(cfg.table_approx);
    return o;
}

// What a run may replace: nothing at the path, an empty file (left by a
// writer that truncated the file in place and was killed), or a resume
// document. Anything else, a link included, may be the user's and is left
// alone.
bool replaceable(const std::string& path, const std::string& old_text, bool parsed, const Json::Value& doc) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode)) return false;
    return old_text.empty() || (parsed && doc.isMember("casefile_md5"));
}

} // namespace

void problem_manager::init_breakpoint() {
    breakpoint_path = breakpoint_name(cfg->input_name);
    if (!cfg->breakpoint_resume) return;
    // Two runs writing one file would mix their results: the second waits
    // for nothing and ends before any walk. Where no lock file can be made
    // the resume file cannot be written either.
    if (breakpoint_lock.acquire(breakpoint_path + ".lock") == sea::file_lock::busy)
        error_handler::instance().raise(
            sea::basic_error("another run is using the resume file \"" + breakpoint_path + "\""));
    // The pieces of one polygon share a name: the index tells them apart.
    for (std::size_t i = 0; i < layout.all_blocks.size(); ++i)
        block_index[layout.all_blocks[i]] = static_cast<Json::Int64>(i);
    run_options = physics_options(*cfg, idmap_md5);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    breakpoint_mode = 0666 & ~mask;
    struct stat st;
    if (::stat(breakpoint_path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) breakpoint_mode = st.st_mode & 07777;

    const std::string old_text = read_whole_file(breakpoint_path);
    resume_document stored;
    const bool parsed = read_document(old_text, layout.masters, stored);
    const Json::Value& doc = stored.members;
    breakpoint_replaceable = replaceable(breakpoint_path, old_text, parsed, doc);
    if (!parsed) {
        both().printf("json file not found or parse error, start breakpoint resume failed.\n\n");
        return;
    }
    // A digest of another type reads as "", which matches no geometry. A
    // document written before the settings were stored is read as before.
    const Json::Value& stored_digest = doc["casefile_md5"];
    static constexpr char options_key[] = "run_options";
    const Json::Value* stored_options = doc.find(options_key, options_key + sizeof options_key - 1);
    if ((stored_digest.isString() ? stored_digest.asString() : std::string()) != casefile_md5 ||
        (stored_options && json_text(*stored_options) != json_text(run_options))) {
        both().printf("case file modified, start breakpoint resume failed.\n\n");
        return;
    }
    resumed = true;
    both().printf("Start breakpoint resume successfully, ");
    const double a = doc["accuracy"].isNumeric() ? doc["accuracy"].asDouble() : 0.0;
    if (a > 0)
        both().printf("previous accuracy control is \"-p %.3f\"", a);
    else if (a < 0)
        both().printf("previous accuracy control is \"-c %.3f\"", -a);
    else
        both().printf("no previous accuracy found.");
    both().printf("\n\n");
    // The totals only feed the summary line; unreadable, they restart at 0.
    nwalks = count_of(doc["nwalks"]);
    nhops = count_of(doc["nhops"]);
    if (nwalks < 0 || nhops < 0) nwalks = nhops = 0;
    // New walks need new seeds. A file written before the seed position was
    // stored still gets them: an earlier run created no more walkers than
    // it made walks.
    const Json::Value& seed = doc["seed_counter"];
    if (seed.isUInt64() && is_walker_seed(seed.asUInt64()))
        set_walker_seed_position(static_cast<uint32_t>(seed.asUInt64()));
    else
        set_walker_seed_position(walker_seed_after(static_cast<uint64_t>(nwalks)));

    // Only this run's masters are kept, as text. A master without a stored
    // checksum (older files) is read as before.
    const Json::Value& checksums = doc["results_md5"];
    for (const conductor* master : layout.masters) {
        stored_master m;
        m.damaged = !stored_array(stored, 0, master->name, m.blocks) || !stored_array(stored, 1, master->name, m.nets);
        const Json::Value* sum = checksums.isObject() ? checksums.find(master->name.data(),
                                                                       master->name.data() + master->name.size())
                                                      : nullptr;
        if (!checksums.isNull() && !checksums.isObject()) m.damaged = true;
        if (sum) {
            m.checksum = sum->isString() ? sum->asString() : json_text(*sum);
            if (m.checksum != results_checksum(m.blocks, m.nets)) m.damaged = true;
        }
        if (m.damaged || !m.blocks.empty() || !m.nets.empty()) stored_results[master->name] = std::move(m);
    }
}

void problem_manager::save_task_results(const extraction_task& task, const conductor* master) {
    if (!cfg->breakpoint_resume) return;
    auto put_block = [&](Json::Value& e, const char* name_key, const char* index_key, const block* b) {
        e[name_key] = b ? b->name : std::string();
        if (b) e[index_key] = block_index[b];
    };
    Json::Value blocks(Json::arrayValue);
    for (const auto& [key, s] : task.block_stats.sums) {
        Json::Value e = element_of(task.block_stats, s, task);
        put_block(e, "src_block", "src_block_index", key.first);
        put_block(e, "dest_block", "dest_block_index", key.second);
        blocks.append(e);
    }
    Json::Value nets(Json::arrayValue);
    for (const auto& [net, s] : task.net_stats.sums) {
        Json::Value e = element_of(task.net_stats, s, task);
        e["src_net"] = master->name;
        e["dest_net"] = net ? net->name : std::string();
        nets.append(e);
    }
    stored_master& m = finished_results[master->name];
    m.blocks = json_text(blocks);
    m.nets = json_text(nets);
    m.checksum = results_checksum(m.blocks, m.nets);
    stored_results.erase(master->name);
    breakpoint_unsaved = true;
}

void problem_manager::load_task_results(extraction_task& task, const conductor* master) {
    if (!resumed) return;
    const auto stored = stored_results.find(master->name);
    if (stored == stored_results.end()) return;
    Json::Value blocks, nets;
    bool sound = !stored->second.damaged && array_of(stored->second.blocks, blocks) &&
                 array_of(stored->second.nets, nets);
    for (Json::ArrayIndex i = 0; sound && i < blocks.size(); ++i)
        sound = restore_block_element(task, blocks[i], layout.all_blocks);
    for (Json::ArrayIndex i = 0; sound && i < nets.size(); ++i)
        sound = restore_net_element(task, nets[i], layout.nets);
    if (sound && (blocks.size() == 0) == (nets.size() == 0) && restored_master_fits(task)) return;
    clear_table(task.net_stats);
    clear_table(task.block_stats);
    task.gtried = 0;
    task.sumpdf = 0.0;
    both().printf("stored results of master %s are damaged or do not fit this run, the master starts afresh.\n\n",
                  master->name.c_str());
}

void problem_manager::write_breakpoint(bool only_when_due) {
    if (!cfg->breakpoint_resume) return;
    const std::int64_t start = steady_nanoseconds();
    if (only_when_due && start - last_write_ns < write_interval_ns) return;

    // Finished masters replace what was stored for them; the others keep
    // their stored results until they finish. The document is written in
    // pieces straight from the stored texts: no second copy of it is made.
    std::map<std::string, const stored_master*> masters;
    for (const auto& [name, m] : stored_results) masters[name] = &m;
    for (const auto& [name, m] : finished_results) masters[name] = &m;
    std::vector<std::string> keys, checksums;  // each master's quoted name and ":", its checksum
    for (const auto& entry : masters) {
        keys.push_back(json_text(Json::Value(entry.first)) + ":");
        const std::string& sum = entry.second->checksum;
        checksums.push_back(sum.empty() ? sum : json_text(Json::Value(sum)));
    }
    std::vector<std::string_view> pieces;
    // An object with one member per master whose value is not empty.
    auto put_object = [&](const char* member, auto value_of) {
        pieces.push_back(member);
        pieces.push_back("{");
        const char* separator = "";
        std::size_t i = 0;
        for (const auto& entry : masters) {
            const std::string& value = value_of(i++, *entry.second);
            if (value.empty()) continue;
            pieces.insert(pieces.end(), {separator, keys[i - 1], value});
            separator = ",";
        }
        pieces.push_back("}");
    };
    // Members in key order, as a document tree would write them.
    const double accuracy = cfg->coupling_accuracy > 0 ? -cfg->coupling_accuracy : cfg->accuracy;
    const std::string head = "{\"accuracy\":" + json_text(accuracy);
    const std::string digest = ",\"casefile_md5\":" + json_text(casefile_md5);
    const std::string totals = ",\"nhops\":" + json_text(static_cast<Json::Int64>(nhops)) +
                               ",\"nwalks\":" + json_text(static_cast<Json::Int64>(nwalks));
    const std::string end = ",\"run_options\":" + json_text(run_options) +
                            ",\"seed_counter\":" + json_text(static_cast<Json::UInt64>(walker_seed_position())) +
                            "}\n";
    pieces.push_back(head);
    put_object(",\"block_results\":", [](std::size_t, const stored_master& m) -> const std::string& { return m.blocks; });
    pieces.push_back(digest);
    put_object(",\"net_results\":", [](std::size_t, const stored_master& m) -> const std::string& { return m.nets; });
    pieces.push_back(totals);
    put_object(",\"results_md5\":", [&](std::size_t i, const stored_master&) -> const std::string& { return checksums[i]; });
    pieces.push_back(end);

    struct stat st;
    const bool absent = ::lstat(breakpoint_path.c_str(), &st) != 0 && errno == ENOENT;
    int failure = EEXIST;
    if (absent || (breakpoint_replaceable && S_ISREG(st.st_mode) && ::access(breakpoint_path.c_str(), W_OK) == 0))
        failure = sea::replace_file(breakpoint_path, pieces, breakpoint_mode);
    last_write_ns = steady_nanoseconds();
    write_interval_ns = std::max(least_write_interval_ns, write_cost_share * (last_write_ns - start));
    if (failure == 0) {
        breakpoint_replaceable = true;
        breakpoint_unsaved = false;
        return;
    }
    // Once per run: a full disk would otherwise repeat it after every master.
    if (breakpoint_error_shown) return;
    breakpoint_error_shown = true;
    both().printf("\nError when writing date to %s(breakpoint-resume file),check if you have write pemission!.\n\n",
                  breakpoint_path.c_str());
}
