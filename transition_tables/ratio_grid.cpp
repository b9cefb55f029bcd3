#include "transition_tables/ratio_grid.hpp"

#include <algorithm>
#include <map>

#include "transition_tables/table_selection.hpp"

double ratio_grid[ratio_grid_size];

namespace {

constexpr double grid_low = 0.02;
constexpr double grid_factor = 1.0813826568002933;  // 50^(1/50)
constexpr double grid_step = 0.02;

// Walks the interfaces bottom to top; each distinct cell appends the sets of
// its lower and upper ratio, keyed (1.0, g). Only the first walk records the
// per-interface weights and positions: the second yields the same ones.
void place_interfaces(table_selection& sel, const layer_stack& stack, const std::string& prefix, table_kind kind,
                      bool record) {
    const std::vector<double> eps = layer_permittivities(stack);
    std::map<std::size_t, int64_t> cells;
    int64_t next = 0;
    for (std::size_t i = 0; i + 1 < eps.size(); ++i) {
        double r = eps[i + 1] / eps[i];
        const bool inverted = r > 1.0;
        if (inverted) r = 1.0 / r;
        if (r <= grid_low) {
            sel.ratio_refused = true;
            return;
        }
        const std::size_t k =
            static_cast<std::size_t>(std::lower_bound(ratio_grid, ratio_grid + ratio_grid_size, r) - ratio_grid);
        double w = (r - ratio_grid[k - 1]) / (ratio_grid[k] - ratio_grid[k - 1]);
        if (inverted) w = -w;
        auto found = cells.find(k - 1);
        int64_t pos;
        if (found == cells.end()) {
            sel.uses.push_back({kind, prefix, table_key{1.0, ratio_grid[k - 1]}});
            sel.uses.push_back({kind, prefix, table_key{1.0, ratio_grid[k]}});
            pos = next;
            cells[k - 1] = pos;
            next += 2;
        } else {
            pos = found->second;
        }
        if (record) {
            sel.interface_weight.push_back(w);
            sel.interface_table_pos.push_back(pos);
        }
    }
}

} // namespace

void fill_geometric_ratio_grid() {
    ratio_grid[0] = grid_low;
    for (std::size_t k = 1; k < ratio_grid_size; ++k) ratio_grid[k] = ratio_grid[k - 1] * grid_factor;
    ratio_grid[ratio_grid_size - 1] = 1.0;
}

void fill_arithmetic_ratio_grid() {
    ratio_grid[0] = grid_low;
    for (std::size_t k = 1; k < ratio_grid_size; ++k) ratio_grid[k] = ratio_grid[k - 1] + grid_step;
    ratio_grid[ratio_grid_size - 1] = 1.0;
}

void load_pair_grid_tables(table_selection& selection, const layer_stack& stack, const std::string& prefix) {
    place_interfaces(selection, stack, prefix, table_kind::pair, true);
}

void load_h_pair_grid_tables(table_selection& selection, const layer_stack& stack, const std::string& prefix) {
    place_interfaces(selection, stack, prefix, table_kind::h_pair, false);
}
