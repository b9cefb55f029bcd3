#include "tools/tablegen/configuration_profiles.hpp"

#include <array>
#include <stdexcept>

#include "transition_tables/cube_configurations.hpp"

namespace {

double placement_height(int i) { return -1.0 + i / double(placement_cells_per_half_side); }

// Cell boundaries of each placement row, from the walker's own numbering.
template <std::size_t N>
std::vector<std::array<int, N>> placement_rows(int rows) {
    std::vector<std::array<int, N>> by_row(std::size_t(rows), std::array<int, N>{});
    std::vector<bool> seen(std::size_t(rows), false);
    std::array<int, N> c{};
    auto visit = [&](auto&& self, std::size_t depth, int from) -> void {
        if (depth == N) {
            const uint64_t row = N == 2 ? two_interface_placement(c[0], c[1])
                                        : three_interface_placement(c[0], c[1], c[N - 1]);
            if (row >= uint64_t(rows) || seen[row])
                throw std::logic_error("placement rows are not one per placement");
            seen[row] = true;
            by_row[row] = c;
            return;
        }
        for (int i = from; i <= placement_boundaries; ++i) {
            c[depth] = i;
            self(self, depth + 1, i + 1);
        }
    };
    visit(visit, 0, 1);
    return by_row;
}

template <std::size_t N>
dielectric_profile placement_profile(const std::vector<double>& key, int configuration, int rows) {
    static const std::vector<std::array<int, N>> by_row = placement_rows<N>(rows);
    std::vector<double> z;
    for (int i : by_row[std::size_t(configuration)]) z.push_back(placement_height(i));
    return make_profile(std::move(z), key);
}

} // namespace

dielectric_profile configuration_profile(table_kind kind, const std::vector<double>& key, int configuration) {
    if (key.size() != table_key_length(kind)) throw std::invalid_argument("wrong number of key values");
    if (configuration < 0 || configuration >= table_configurations(kind))
        throw std::invalid_argument("no such configuration");
    switch (kind) {
    case table_kind::single: return homogeneous_profile();
    case table_kind::pair: return make_profile({-1.0 + 2.0 * (configuration + 1) / pair_cells}, key);
    case table_kind::h_pair: return make_profile({0.0}, key);
    case table_kind::triple: return placement_profile<2>(key, configuration, table_configurations(kind));
    case table_kind::four_layer: return placement_profile<3>(key, configuration, table_configurations(kind));
    case table_kind::equal_slab: return make_profile({-0.5, 0.0, 0.5}, key);
    }
    throw std::invalid_argument("unknown table kind");
}
