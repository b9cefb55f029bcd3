// Lexical path clean-up: "." and empty segments dropped, ".." cancels the
// segment before it. Nothing is looked up on disk.
#pragma once

#include <string>

// "./korvex/../tables" -> "tables", "/opt/x/bin//../tables" -> "/opt/x/tables",
// "../../bin/korvex/../tables" -> "../../bin/tables". A ".." that climbs
// above a relative start is kept; one above the root stays at the root.
std::string normalize_path(const std::string& path);
