#include "transition_tables/table_store.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include <unordered_set>

#include "config/configure.hpp"
#include "config/parse_configure.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/writer.hpp"
#include "transition_tables/table_plan.hpp"
#include "transition_tables/table_reader.hpp"
#include "transition_tables/table_selection.hpp"

namespace {

// The sets that keep slice records of their hop rows.
template <class Set, class = void>
struct has_slice_records : std::false_type {};
template <class Set>
struct has_slice_records<Set, std::void_t<decltype(std::declval<Set&>().gft_records)>> : std::true_type {};

void loading_line(const table_key* key) {
    sea::writer& w = log_debug_w();
    w.printf("loading table: (");
    if (!key) {
        w.printf("single table)");
    } else {
        for (std::size_t i = 0; i < key->size; ++i) {
            if (i) w.printf(", ");
            write_double(w, key->v[i]);
        }
        w.printf(")");
    }
    w.put('\n').flush();
}

// count zeros in v. The larger families run to megabytes a set: huge pages,
// asked for before the first touch, take one page fault per 2 MiB where
// small ones take one per 4 kB, and the faults cost more than the reading.
// The request is advice: where the system declines it, nothing changes.
template <class T>
void size_values(std::vector<T>& v, std::size_t count) {
    constexpr std::uintptr_t huge_page = std::uintptr_t(1) << 21;
    v.reserve(count);
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(v.data()) + huge_page - 1) & ~(huge_page - 1);
    const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(v.data() + count)) & ~(huge_page - 1);
    if (from < to) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    v.assign(count, T(0));
}

template <class Set>
void size_families(Set& set, table_kind kind) {
    size_values(set.gft_is, table_value_count(kind, table_family::gft_is));
    size_values(set.gft, table_value_count(kind, table_family::gft));
    size_values(set.wvt_is, table_value_count(kind, table_family::wvt_is));
}

// The set's three paths in reading order: gft_is, gft, wvt_is.
std::vector<std::string> set_paths(table_kind kind, const std::string& prefix, const std::vector<double>& key) {
    return {table_file_path(kind, table_family::gft_is, prefix, key),
            table_file_path(kind, table_family::gft, prefix, key),
            table_file_path(kind, table_family::wvt_is, prefix, key)};
}

// Loading line, then the three families of a float set.
template <class Set>
void load_three(Set& set, table_kind kind, const std::string& prefix, const table_key& key) {
    size_families(set, kind);
    loading_line(&key);
    const std::vector<std::string> paths = set_paths(kind, prefix, key.values());
    check_set_widths(kind, paths);
    first_hop_row_totals rows;
    read_first_hop_file(kind, set.gft_is.data(), paths[0], rows);
    set.gft_is_signed.assign(set.gft_is.size() / table_row_length(kind), 0);
    mark_signed_rows(set.gft_is.data(), set.gft_is.size(), table_row_length(kind), set.gft_is_signed.data());
    read_table_file(kind, table_family::gft, set.gft.data(), paths[1]);
    pending_digest weights;
    read_table_file(kind, table_family::wvt_is, set.wvt_is.data(), paths[2], &weights);
    check_first_hop_rows(rows, set.wvt_is.data(), paths[0], paths[2]);
    check_digest(weights);
}

template <class Set, class Loader>
void find_or_load(table_cache<Set>& cache, std::vector<Set*>& list, const table_use& use, Loader load) {
    auto found = cache.find(use.key);
    if (found == cache.end()) {
        found = cache.emplace(use.key, Set()).first;
        load(found->second, use.prefix, use.key);
    }
    list.push_back(&found->second);
}

// Guides of a set's gft rows (configurations of them) and, when it has
// any, of its gft_is rows (three per configuration).
template <class Set>
void guide_hop_rows(Set& set, std::size_t panels) {
    if (!set.hop_rows.empty()) return;
    const std::size_t rows = set.gft.size() / panels, cells = guide_cells;
    set.gft_guide.resize(rows * cells);
    build_guides(set.gft.data(), rows, panels, set.gft_guide.data());
    const slice_record<float>* records = nullptr;
    if constexpr (has_slice_records<Set>::value) {
        set.gft_records.resize(rows * cells);
        build_slice_records(set.gft.data(), rows, panels, set.gft_guide.data(), set.gft_records.data());
        records = set.gft_records.data();
    }
    for (std::size_t r = 0; r < rows; ++r)
        set.hop_rows.push_back({set.gft.data() + r * panels, set.gft_guide.data() + r * cells,
                                records ? records + r * cells : nullptr});
}

template <class Set>
void guide_set(Set& set, std::size_t panels) {
    if (!set.hop_rows.empty()) return;
    const std::size_t first_hop_rows = set.gft_is.size() / panels;
    set.gft_is_guide.resize(first_hop_rows * guide_cells);
    build_guides(set.gft_is.data(), first_hop_rows, panels, set.gft_is_guide.data());
    guide_hop_rows(set, panels);
}

} // namespace

void build_row_guides(table_store& store) {
    single_table_set& s = store.single;
    build_guides(s.gft, 1, panels_31, s.gft_guide);
    build_slice_records(s.gft, 1, panels_31, s.gft_guide, s.gft_records);
    s.hop_row = {s.gft, s.gft_guide, s.gft_records};
    build_guides(s.gft_is, 3, panels_31, s.gft_is_guide);
    for (pair_table_set* set : store.pair_list) guide_set(*set, panels_31);
    for (h_pair_table_set* set : store.h_pair_list) guide_set(*set, panels_32);
    for (triple_table_set* set : store.triple_list) guide_set(*set, panels_32);
    for (four_layer_table* set : store.four_layer_list) guide_hop_rows(*set, panels_32);
    for (equal_slab_table_set* set : store.equal_slab_list) guide_set(*set, panels_32);
}

void load_single_table(single_table_set& set, const std::string& prefix) {
    loading_line(nullptr);
    const std::vector<std::string> paths = set_paths(table_kind::single, prefix, {});
    check_set_widths(table_kind::single, paths);
    first_hop_row_totals rows;
    read_first_hop_file(table_kind::single, set.gft_is, paths[0], rows);
    mark_signed_rows(set.gft_is, 3 * panels_31, panels_31, set.gft_is_signed);
    read_table_file(table_kind::single, table_family::gft, set.gft, paths[1]);
    read_single_wvt_is(set.wvt_is, paths[2]);
    check_first_hop_rows(rows, set.wvt_is, paths[0], paths[2]);
}

void load_pair_table(pair_table_set& set, const std::string& prefix, const table_key& key) {
    load_three(set, table_kind::pair, prefix, key);
}
void load_h_pair_table(h_pair_table_set& set, const std::string& prefix, const table_key& key) {
    load_three(set, table_kind::h_pair, prefix, key);
}
void load_triple_table(triple_table_set& set, const std::string& prefix, const table_key& key) {
    load_three(set, table_kind::triple, prefix, key);
}
void load_equal_slab_table(equal_slab_table_set& set, const std::string& prefix, const table_key& key) {
    load_three(set, table_kind::equal_slab, prefix, key);
}

void load_four_layer_table(four_layer_table& set, const std::string& prefix, const table_key& key) {
    size_values(set.gft, table_value_count(table_kind::four_layer, table_family::gft));
    loading_line(&key);
    load_four_layer_gft(set.gft.data(),
                        table_file_path(table_kind::four_layer, table_family::gft, prefix, key.values()));
}

namespace {

void load_selected(table_store& store, const table_selection& sel) {
    for (const table_use& use : sel.uses) {
        switch (use.kind) {
        case table_kind::single: load_single_table(store.single, use.prefix); break;
        case table_kind::pair: find_or_load(store.pair_tables, store.pair_list, use, load_pair_table); break;
        case table_kind::h_pair: find_or_load(store.h_pair_tables, store.h_pair_list, use, load_h_pair_table); break;
        case table_kind::triple: find_or_load(store.triple_tables, store.triple_list, use, load_triple_table); break;
        case table_kind::four_layer:
            find_or_load(store.four_layer_tables, store.four_layer_list, use, load_four_layer_table);
            break;
        case table_kind::equal_slab:
            find_or_load(store.equal_slab_tables, store.equal_slab_list, use, load_equal_slab_table);
            break;
        }
    }
}

// The line a missing table adds: the command that writes every set this
// run loads, into the directories it reads them from.
std::string making_advice(const configure& cfg) {
    const std::vector<const char*> words = {"korvex-tables",
                                            "-f",
                                            cfg.input_name.c_str(),
                                            "--multi-dielectric",
                                            dielectric_word(cfg.multi_dielectric),
                                            "--table-single",
                                            cfg.table_single.c_str(),
                                            "--table-twolyr",
                                            cfg.table_twolyr.c_str(),
                                            "--table-mullyr",
                                            cfg.table_mullyr.c_str(),
                                            "--table-approx",
                                            cfg.table_approx.c_str()};
    return "make the tables of this run with:" + command_line_text(0, int(words.size()), words.data()) + "\n";
}

} // namespace

void load_tables(table_store& store, const configure& cfg, const layer_stack& stack) {
    table_selection sel = select_tables(cfg, stack);
    try {
        load_selected(store, sel);
    } catch (const missing_table_error& e) {
        error_handler::instance().raise(sea::file_error(e.what() + making_advice(cfg)));
        std::abort();  // raise never returns: no handler is registered
    }
    if (sel.ratio_refused) refuse_ratio();
    if (sel.four_layer_left_out)
        log_info_w()
            .printf("four-layer tables not loaded: no three neighbouring interfaces can lie on one cube's "
                    "placement boundaries.")
            .put('\n')
            .flush();
    store.interface_table_pos = std::move(sel.interface_table_pos);
    store.interface_weight = std::move(sel.interface_weight);
    build_row_guides(store);
}

std::vector<table_request> planned_tables(const configure& cfg, const layer_stack& stack) {
    const table_selection sel = select_tables(cfg, stack);
    if (sel.ratio_refused) refuse_ratio();
    std::unordered_set<table_key, table_key_hash, table_key_equal> seen[6];
    std::vector<table_request> plan;
    for (const table_use& use : sel.uses)
        if (seen[static_cast<int>(use.kind)].insert(use.key).second)
            plan.push_back({use.kind, use.prefix, use.key.values()});
    return plan;
}
