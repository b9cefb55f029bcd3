// A digest of the transition tables as loaded: what the walks draw from,
// whatever files or folders the values came from.
#pragma once

#include <string>

struct table_store;

// Lower-case hexadecimal MD5 of every loaded value of the store, set by
// set in the order the walks index them, with the sets' row sign flags and
// the ratio-grid blend of each interface.
std::string table_store_digest(const table_store& store);
