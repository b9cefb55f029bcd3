#include "transition_tables/table_selection.hpp"

#include <cmath>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/writer.hpp"
#include "geometry/layer_stack.hpp"
#include "transition_tables/ratio_grid.hpp"

namespace {

// A stack with fewer permittivity entries holds a single layer.
constexpr std::size_t layered_entries = 12;
// Equal-slab keys: values 0.5, 0.55, ... 1.0 for the three free slabs.
constexpr int slab_steps = 11;
constexpr double slab_low = 0.5;
constexpr double slab_step = 0.05;
// Above this neighbouring ratio the approx mode adds the ratio-grid sets.
constexpr double approx_ratio_limit = 1.500000001;
constexpr double ratio_refused_limit = 50.0;

// Larger over smaller; values within 1e-9 of each other count as equal.
double neighbour_ratio(double a, double b) {
    if (a < b - key_tolerance) return b / a;
    if (b < a - key_tolerance) return a / b;
    return 1.0;
}

void add_adjacent(table_selection& sel, table_kind kind, const std::string& prefix, const std::vector<double>& eps,
                  std::size_t width) {
    for (std::size_t i = 0; i + width <= eps.size(); ++i) {
        table_key key;
        for (std::size_t j = 0; j < width; ++j) key.v[j] = eps[i + j];
        key.size = width;
        sel.uses.push_back({kind, prefix, key});
    }
}

void add_grid(table_selection& sel, const layer_stack& stack, const std::string& prefix) {
    load_pair_grid_tables(sel, stack, prefix);
    if (!sel.ratio_refused) load_h_pair_grid_tables(sel, stack, prefix);
}

} // namespace

std::vector<double> layer_permittivities(const layer_stack& stack) {
    const auto& p = stack.permittivity;
    if (p.size() < 2 * layer_guard_permittivities) return {};
    return std::vector<double>(p.begin() + layer_guard_permittivities, p.end() - layer_guard_permittivities);
}

void refuse_ratio() {
    sea::writer& err = log_error_w();
    err.printf("error: diel ratio is larger than ");
    write_double(err, ratio_refused_limit);
    err.printf(" not supported!").put('\n').flush();
    fatal_exit(1);
}

table_key equal_slab_key(std::size_t index) {
    const int pos = int(index / (slab_steps * slab_steps * slab_steps));
    const int i1 = int(index / (slab_steps * slab_steps) % slab_steps);
    const int i2 = int(index / slab_steps % slab_steps), i3 = int(index % slab_steps);
    const double a = i1 * slab_step + slab_low;
    const double b = i2 * slab_step + slab_low;
    const double c = i3 * slab_step + slab_low;
    return pos == 0 ? table_key{1.0, a, b, c} : table_key{a, 1.0, b, c};
}

table_selection select_tables(const configure& cfg, const layer_stack& stack) {
    table_selection sel;
    sel.uses.push_back({table_kind::single, join_dir(cfg.table_single), table_key{}});
    if (stack.permittivity.size() < layered_entries) return sel;
    const std::vector<double> eps = layer_permittivities(stack);

    switch (cfg.multi_dielectric) {
    case configure::layout_approx: {
        const std::string prefix = join_dir(cfg.table_approx);
        for (std::size_t index = 0; index < equal_slab_entries; ++index)
            sel.uses.push_back({table_kind::equal_slab, prefix, equal_slab_key(index)});
        bool strong = false;
        for (std::size_t i = 0; i + 1 < eps.size(); ++i)
            strong = strong || neighbour_ratio(eps[i], eps[i + 1]) > approx_ratio_limit;
        if (strong) {
            fill_geometric_ratio_grid();
            add_grid(sel, stack, prefix);
        }
        break;
    }
    case configure::layout_approx2:
        fill_geometric_ratio_grid();
        add_grid(sel, stack, join_dir(cfg.table_twolyr));
        break;
    case configure::layout_approx2_es:
        fill_arithmetic_ratio_grid();
        add_grid(sel, stack, join_dir(cfg.table_twolyr));
        break;
    default: {
        const std::string two = join_dir(cfg.table_twolyr);
        add_adjacent(sel, table_kind::pair, two, eps, 2);
        add_adjacent(sel, table_kind::h_pair, two, eps, 2);
        if (cfg.multi_dielectric == configure::layout_two) break;
        const std::string multi = join_dir(cfg.table_mullyr);
        add_adjacent(sel, table_kind::triple, multi, eps, 3);
        add_adjacent(sel, table_kind::four_layer, multi, eps, 4);
        break;
    }
    }
    return sel;
}
