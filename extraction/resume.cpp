// The resume file: a one-line JSON document beside the geometry file that
// lets a later run of the same geometry continue every master's statistics.
// Whatever the file holds, reading it never ends the run: a document that
// cannot be read starts the run afresh, a master whose stored statistics do
// not fit starts afresh on its own.
#include "extraction/problem_manager.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "config/configure.hpp"
#include "extraction/extraction_task.hpp"
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

// The reader throws on nesting beyond its depth limit; that is one more
// way for a document to be unreadable.
bool parse_document(const std::string& text, Json::Value& doc) {
    Json::Reader reader;
    try {
        return reader.parse(text, doc, true) && doc.isObject();
    } catch (const Json::Exception&) {
        return false;
    }
}

// A stored count: an integer from 0 to largest_restored_count, else -1.
std::int64_t count_of(const Json::Value& v) {
    if (!v.isInt64()) return -1;
    const std::int64_t n = v.asInt64();
    return n >= 0 && n <= largest_restored_count ? n : -1;
}

// A missing name reads as ""; a member of another type does not read.
bool name_of(const Json::Value& e, const char* key, std::string& out) {
    const Json::Value& v = e[key];
    if (!v.isNull() && !v.isString()) return false;
    out = v.asString();
    return true;
}

// The stored array of one master under "block_results" or "net_results";
// an absent one reads as empty, one of the wrong type does not read.
bool stored_array(const Json::Value& doc, const char* key, const std::string& master, const Json::Value*& out) {
    const Json::Value& all = doc[key];
    if (!all.isNull() && !all.isObject()) return false;
    out = &all[master];
    return out->isNull() || out->isArray();
}

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
    task.block_stats.sums[block_pair{from, to}] = s;
    return true;
}

bool restore_net_element(extraction_task& task, const Json::Value& e, const std::vector<conductor*>& nets) {
    key_sums s{};
    std::string dest;
    if (!e.isObject() || !restore_counts(task.net_stats, e, s) || !name_of(e, "dest_net", dest)) return false;
    const conductor* net = dest.empty() ? nullptr : last_named(nets, dest);
    if (!dest.empty() && !net) return false;
    task.net_stats.sums[net] = s;
    return true;
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

} // namespace

void problem_manager::init_breakpoint() {
    breakpoint_path = breakpoint_name(cfg->input_name);
    if (!cfg->breakpoint_resume) return;
    // The pieces of one polygon share a name: the index tells them apart.
    for (std::size_t i = 0; i < layout.all_blocks.size(); ++i)
        block_index[layout.all_blocks[i]] = static_cast<Json::Int64>(i);
    const std::string old_text = read_whole_file(breakpoint_path);
    const std::string geometry = read_whole_file(cfg->input_name);
    const std::string digest = md5(geometry).hexdigest();
    json_out["casefile_md5"] = digest;

    if (!parse_document(old_text, json_in)) {
        json_in = Json::Value();
        both().printf("json file not found or parse error, start breakpoint resume failed.\n\n");
        return;
    }
    const Json::Value& doc = json_in;
    // A digest of another type reads as "", which matches no geometry.
    const Json::Value& stored_digest = doc["casefile_md5"];
    if ((stored_digest.isString() ? stored_digest.asString() : std::string()) != digest) {
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
    json_out["block_results"][master->name] = blocks;
    Json::Value nets(Json::arrayValue);
    for (const auto& [net, s] : task.net_stats.sums) {
        Json::Value e = element_of(task.net_stats, s, task);
        e["src_net"] = master->name;
        e["dest_net"] = net ? net->name : std::string();
        nets.append(e);
    }
    json_out["net_results"][master->name] = nets;
}

void problem_manager::load_task_results(extraction_task& task, const conductor* master) {
    if (!resumed) return;
    const Json::Value *blocks = nullptr, *nets = nullptr;
    bool sound = stored_array(json_in, "block_results", master->name, blocks) &&
                 stored_array(json_in, "net_results", master->name, nets);
    for (Json::ArrayIndex i = 0; sound && i < blocks->size(); ++i)
        sound = restore_block_element(task, (*blocks)[i], layout.all_blocks);
    for (Json::ArrayIndex i = 0; sound && i < nets->size(); ++i)
        sound = restore_net_element(task, (*nets)[i], layout.nets);
    if (sound && (blocks->size() == 0) == (nets->size() == 0) && restored_master_fits(task)) return;
    clear_table(task.net_stats);
    clear_table(task.block_stats);
    task.gtried = 0;
    task.sumpdf = 0.0;
    both().printf("stored results of master %s are damaged or do not fit this run, the master starts afresh.\n\n",
                  master->name.c_str());
}

void problem_manager::write_breakpoint() {
    std::ofstream out;
    if (is_regular_or_absent(breakpoint_path)) out.open(breakpoint_path, std::ios::trunc);
    if (!out.is_open()) {
        both().printf(
            "\nError when writing date to %s(breakpoint-resume file),check if you have write pemission!.\n\n",
            breakpoint_path.c_str());
        return;
    }
    json_out["nwalks"] = static_cast<Json::Int64>(nwalks);
    json_out["nhops"] = static_cast<Json::Int64>(nhops);
    json_out["accuracy"] = cfg->coupling_accuracy > 0 ? -cfg->coupling_accuracy : cfg->accuracy;
    json_out["seed_counter"] = static_cast<Json::UInt64>(walker_seed_position());
    Json::FastWriter writer;
    out << writer.write(json_out);
}
