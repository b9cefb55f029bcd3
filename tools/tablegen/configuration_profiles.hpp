// The permittivity profile of each configuration (row) of a table set, in
// half-side units with the walker at the origin.
#pragma once

#include <vector>

#include "tools/tablegen/dielectric_profile.hpp"
#include "transition_tables/table_paths.hpp"

// key: relative permittivities bottom to top, table_key_length(kind) of
// them. configuration: 0 .. table_configurations(kind) - 1, numbered as the
// walker numbers interface positions and placements. Throws
// std::invalid_argument for a wrong key length or configuration.
dielectric_profile configuration_profile(table_kind kind, const std::vector<double>& key, int configuration);
