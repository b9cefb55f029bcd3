#include "extraction/stored_statistics.hpp"

#include <cmath>
#include <cstring>
#include <vector>

#include "extraction/extraction_task.hpp"
#include "extraction/resume_document.hpp"
#include "geometry/layout.hpp"

// The stored texts are read with the classic reader, as the whole document is.
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

// A name that is missing or of another type does not read.
bool name_of(const Json::Value& e, const char* key, std::string& out) {
    const Json::Value* v = e.find(key, key + std::strlen(key));
    if (!v || !v->isString()) return false;
    out = v->asString();
    return true;
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
    e["task.gtried"] = static_cast<Json::UInt64>(task.statistics().gtried);
    e["task.sumpdf"] = task.statistics().sumpdf;
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
    if (stored_count(e["SIZE"]) != static_cast<std::int64_t>(strata) || !npath.isArray() || npath.size() != strata ||
        !sums.isArray() || sums.size() != 2 * strata)
        return false;
    std::int64_t total = 0;
    for (Json::ArrayIndex k = 0; k < strata; ++k) {
        const std::int64_t n = stored_count(npath[k]);
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
    const std::int64_t i = stored_count(e[index_key]);
    if (i >= 0 && static_cast<std::size_t>(i) < blocks.size() && blocks[i]->name == name) {
        out = blocks[i];
        return true;
    }
    out = last_named(blocks, name);
    return out != nullptr;
}

bool restore_block_element(extraction_task& task, const Json::Value& e, const std::vector<block*>& blocks) {
    if (!e.isObject()) return false;
    task_statistics& restored = task.statistics_before_walks();
    key_sums s{};
    const block *from = nullptr, *to = nullptr;
    const std::int64_t gtried = stored_count(e["task.gtried"]);
    const Json::Value& sumpdf = e["task.sumpdf"];
    if (gtried < 0 || !sumpdf.isNumeric() || !std::isfinite(sumpdf.asDouble()) ||
        !(sumpdf.asDouble() >= 0.0) || !restore_counts(restored.block_stats, e, s) ||
        !stored_block(e, "src_block", "src_block_index", blocks, from) ||
        !stored_block(e, "dest_block", "dest_block_index", blocks, to))
        return false;
    if (!restored.block_stats.sums.empty() &&
        (restored.gtried != static_cast<std::uint64_t>(gtried) || restored.sumpdf != sumpdf.asDouble()))
        return false;
    restored.gtried = static_cast<std::uint64_t>(gtried);
    restored.sumpdf = sumpdf.asDouble();
    // Two elements of one key: one of them is not what was written.
    return restored.block_stats.sums.emplace(block_pair{from, to}, s).second;
}

bool restore_net_element(extraction_task& task, const Json::Value& e, const std::vector<conductor*>& nets) {
    task_statistics& restored = task.statistics_before_walks();
    key_sums s{};
    std::string source, dest;
    if (!e.isObject() || !restore_counts(restored.net_stats, e, s) || !name_of(e, "src_net", source) ||
        source != task.master_conductor().name || !name_of(e, "dest_net", dest))
        return false;
    const conductor* net = dest.empty() ? nullptr : last_named(nets, dest);
    if (!dest.empty() && !net) return false;
    return restored.net_stats.sums.emplace(net, s).second;
}

// Both tables count every walk, each walk draws at least one start point,
// and each draw adds at most the largest start weight to sumpdf.
bool restored_master_fits(const extraction_task& task) {
    const task_statistics& st = task.statistics();
    for (std::size_t k = 0; k < st.net_stats.nstrata; ++k)
        if (st.net_stats.npath[k] != st.block_stats.npath[k]) return false;
    const double gtried = static_cast<double>(st.gtried);
    if (st.gtried < static_cast<std::uint64_t>(st.net_stats.nwalks)) return false;
    if (st.net_stats.nwalks > 0 && !(st.sumpdf > 0.0)) return false;
    if (!(st.sumpdf <= gtried * task.surface().max_weight * (1 + sum_rounding))) return false;
    double drawn = 0.0, pdf = 0.0;
    for (std::size_t k = 0; k < st.net_stats.nstrata; ++k) {
        drawn += st.net_stats.draws[k].tried;
        pdf += st.net_stats.draws[k].pdf;
    }
    if (drawn != gtried || !(std::fabs(pdf - st.sumpdf) <= st.sumpdf * sum_rounding)) return false;
    return task.estimate_is_finite();
}

template <class Table>
void clear_table(Table& table) {
    const std::uint64_t strata = table.nstrata;
    table = Table{};
    table.nstrata = strata;
}

} // namespace

// A stored count: an integer from 0 to largest_restored_count, else -1.
std::int64_t stored_count(const Json::Value& v) {
    if (!v.isInt64()) return -1;
    const std::int64_t n = v.asInt64();
    return n >= 0 && n <= largest_restored_count ? n : -1;
}

void write_master_statistics(const extraction_task& task,
                             const std::unordered_map<const block*, Json::Int64>& block_index, std::string& blocks,
                             std::string& nets) {
    auto put_block = [&](Json::Value& e, const char* name_key, const char* index_key, const block* b) {
        e[name_key] = b ? b->name : std::string();
        // Without its position a block is found again by its name alone.
        const auto at = b ? block_index.find(b) : block_index.end();
        if (at != block_index.end()) e[index_key] = at->second;
    };
    Json::Value block_elements(Json::arrayValue);
    for (const auto& [key, s] : task.statistics().block_stats.sums) {
        Json::Value e = element_of(task.statistics().block_stats, s, task);
        put_block(e, "src_block", "src_block_index", key.first);
        put_block(e, "dest_block", "dest_block_index", key.second);
        block_elements.append(e);
    }
    Json::Value net_elements(Json::arrayValue);
    for (const auto& [net, s] : task.statistics().net_stats.sums) {
        Json::Value e = element_of(task.statistics().net_stats, s, task);
        e["src_net"] = task.master_conductor().name;
        e["dest_net"] = net ? net->name : std::string();
        net_elements.append(e);
    }
    blocks = json_text(block_elements);
    nets = json_text(net_elements);
}

bool read_master_statistics(extraction_task& task, const std::string& blocks, const std::string& nets,
                            const layout& lay) {
    Json::Value block_elements, net_elements;
    if (!array_of(blocks, block_elements) || !array_of(nets, net_elements)) return false;
    for (Json::ArrayIndex i = 0; i < block_elements.size(); ++i)
        if (!restore_block_element(task, block_elements[i], lay.all_blocks)) return false;
    for (Json::ArrayIndex i = 0; i < net_elements.size(); ++i)
        if (!restore_net_element(task, net_elements[i], lay.nets)) return false;
    return (block_elements.size() == 0) == (net_elements.size() == 0) && restored_master_fits(task);
}

void clear_master_statistics(extraction_task& task) {
    task_statistics& restored = task.statistics_before_walks();
    clear_table(restored.net_stats);
    clear_table(restored.block_stats);
    restored.gtried = 0;
    restored.sumpdf = 0.0;
}
