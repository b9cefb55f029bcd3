#include "transition_tables/table_selection.hpp"

#include <cmath>

#include "config/configure.hpp"
#include "foundation/run_end.hpp"
#include "foundation/writer.hpp"
#include "geometry/layer_stack.hpp"
#include "transition_tables/cube_configurations.hpp"
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

// Whether some three neighbouring real interfaces of the stack can share
// one placement cube.
bool stack_may_place_three(const layer_stack& stack) {
    const std::vector<double>& z = stack.interface_z;
    const std::size_t layers = stack.layer_count();
    // Real interface k (between real layers k and k + 1) is entry
    // layer_guard_interfaces + k.
    for (std::size_t k = 0; k + 3 < layers; ++k) {
        const std::size_t i = layer_guard_interfaces + k;
        if (gaps_share_a_division(z[i + 1] - z[i], z[i + 2] - z[i + 1])) return true;
    }
    return false;
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
    std::string message;
    sea::string_writer err(&message);
    err.printf("error: diel ratio is larger than ");
    write_double(err, ratio_refused_limit);
    err.printf(" not supported!").put('\n');
    sea::end_run(std::move(message), 1);
}

bool gaps_share_a_division(double gap_below, double gap_above) {
    // On boundaries c1 < c2 < c3, each moved by at most e = 8 tolerances of
    // a cell, the gaps are (p + d1) u and (q + d2) u with p = c2 - c1,
    // q = c3 - c2, p + q <= 14, |d| <= 2e and u an eighth of the half side:
    // |q gap_below - p gap_above| <= 14 * 2e u, and gap_below + gap_above
    // >= (2 - 4e) u. The test allows twice that.
    const double e = placement_tolerance * placement_cells_per_half_side;
    const int most = placement_boundaries - 1;
    const double reach = 2.0 * (most * 2.0 * e) / (2.0 - 4.0 * e) * (gap_below + gap_above);
    for (int p = 1; p < most; ++p)
        for (int q = 1; p + q <= most; ++q)
            if (std::fabs(q * gap_below - p * gap_above) <= reach) return true;
    return false;
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
        if (stack_may_place_three(stack))
            add_adjacent(sel, table_kind::four_layer, multi, eps, 4);
        else
            sel.four_layer_left_out = eps.size() >= 4;
        break;
    }
    }
    return sel;
}
