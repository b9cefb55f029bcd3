// The resume file: a one-line JSON document beside the geometry file that
// lets a later run of the same geometry continue every master's statistics.
#include "extraction/problem_manager.hpp"

#include <cstdio>
#include <fstream>

#include "config/configure.hpp"
#include "extraction/extraction_task.hpp"
#include "foundation/md5.hpp"

// The document is read and written with the classic reader and writer,
// whose formats (comments collected, one-line output) the file relies on.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
namespace {

// Whole text of a file; empty when it cannot be read (a directory included).
std::string read_whole_file(const std::string& path) {
    std::string text;
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

bool is_int(const Json::Value& v) { return v.isInt64() || v.isUInt64(); }

// One stored element must match the strata of this run and carry arrays of
// the sizes it claims; anything else would be read out of bounds.
bool element_fits(const Json::Value& e, Json::ArrayIndex strata) {
    if (!e.isObject() || !is_int(e["SIZE"]) || e["SIZE"].asInt64() != static_cast<Json::Int64>(strata)) return false;
    const Json::Value& npath = e["task.npath_array"];
    const Json::Value& sums = e["sums"];
    if (!npath.isArray() || npath.size() != strata || !sums.isArray() || sums.size() != 2 * strata) return false;
    for (const Json::Value& v : npath)
        if (!is_int(v)) return false;
    for (const Json::Value& v : sums)
        if (!v.isNumeric()) return false;
    return true;
}

bool results_fit(const Json::Value& results, Json::ArrayIndex strata) {
    if (results.isNull()) return true;
    if (!results.isObject()) return false;
    for (const Json::Value& per_master : results) {
        if (!per_master.isArray()) return false;
        for (const Json::Value& e : per_master)
            if (!element_fits(e, strata)) return false;
    }
    return true;
}

bool document_fits(const Json::Value& doc, Json::ArrayIndex strata) {
    return doc.isObject() && results_fit(doc["block_results"], strata) && results_fit(doc["net_results"], strata) &&
           (doc["nwalks"].isNull() || is_int(doc["nwalks"])) && (doc["nhops"].isNull() || is_int(doc["nhops"]));
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
    return e;
}

template <class Table>
key_sums restore_counts(Table& table, const Json::Value& e) {
    const Json::ArrayIndex strata = e["SIZE"].asUInt();
    table.nwalks = 0;
    key_sums s{};
    for (Json::ArrayIndex k = 0; k < strata; ++k) {
        table.npath[k] = e["task.npath_array"][k].asInt64();
        table.nwalks += table.npath[k];
        s[k].sum = e["sums"][2 * k].asDouble();
        s[k].sum_sq = e["sums"][2 * k + 1].asDouble();
    }
    return s;
}

template <class Record>
const Record* last_named(const std::vector<Record*>& list, const std::string& name) {
    const Record* found = nullptr;
    for (const Record* r : list)
        if (r->name == name) found = r;
    return found;
}

} // namespace

void problem_manager::init_breakpoint() {
    breakpoint_path = breakpoint_name(cfg->input_name);
    if (!cfg->breakpoint_resume) return;
    const std::string old_text = read_whole_file(breakpoint_path);
    const std::string geometry = read_whole_file(cfg->input_name);
    const std::string digest = md5(geometry).hexdigest();
    json_out["casefile_md5"] = digest;

    Json::Reader reader;
    const Json::ArrayIndex strata = cfg->strat_sampling ? 2 : 1;
    if (!reader.parse(old_text, json_in, true) || !document_fits(json_in, strata)) {
        json_in = Json::Value();
        both().printf("json file not found or parse error, start breakpoint resume failed.\n\n");
        return;
    }
    if (json_in["casefile_md5"].asString() != digest) {
        both().printf("case file modified, start breakpoint resume failed.\n\n");
        return;
    }
    resumed = true;
    both().printf("Start breakpoint resume successfully, ");
    const double a = json_in["accuracy"].isNumeric() ? json_in["accuracy"].asDouble() : 0.0;
    if (a > 0)
        both().printf("previous accuracy control is \"-p %.3f\"", a);
    else if (a < 0)
        both().printf("previous accuracy control is \"-c %.3f\"", -a);
    else
        both().printf("no previous accuracy found.");
    both().printf("\n\n");
    nwalks = json_in["nwalks"].asInt64();
    nhops = json_in["nhops"].asInt64();
}

void problem_manager::save_task_results(const extraction_task& task, const conductor* master) {
    if (!cfg->breakpoint_resume) return;
    Json::Value blocks(Json::arrayValue);
    for (const auto& [key, s] : task.block_stats.sums) {
        Json::Value e = element_of(task.block_stats, s, task);
        e["src_block"] = key.first ? key.first->name : std::string();
        e["dest_block"] = key.second ? key.second->name : std::string();
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
    for (const Json::Value& e : json_in["block_results"][master->name]) {
        task.gtried = e["task.gtried"].asUInt64();
        task.sumpdf = e["task.sumpdf"].asDouble();
        const key_sums s = restore_counts(task.block_stats, e);
        const block* from = last_named(layout.all_blocks, e["src_block"].asString());
        const std::string dest = e["dest_block"].asString();
        const block* to = dest.empty() ? nullptr : last_named(layout.all_blocks, dest);
        task.block_stats.sums[block_pair{from, to}] = s;
    }
    for (const Json::Value& e : json_in["net_results"][master->name]) {
        const key_sums s = restore_counts(task.net_stats, e);
        const std::string dest = e["dest_net"].asString();
        task.net_stats.sums[dest.empty() ? nullptr : last_named(layout.nets, dest)] = s;
    }
}

void problem_manager::write_breakpoint() {
    std::ofstream out(breakpoint_path, std::ios::trunc);
    if (!out) {
        both().printf(
            "\nError when writing date to %s(breakpoint-resume file),check if you have write pemission!.\n\n",
            breakpoint_path.c_str());
        return;
    }
    json_out["nwalks"] = static_cast<Json::Int64>(nwalks);
    json_out["nhops"] = static_cast<Json::Int64>(nhops);
    json_out["accuracy"] = cfg->coupling_accuracy > 0 ? -cfg->coupling_accuracy : cfg->accuracy;
    Json::FastWriter writer;
    out << writer.write(json_out);
}
