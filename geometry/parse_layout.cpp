#include "geometry/parse_layout.hpp"

#include <cassert>
#include <cstdio>

#include "config/configure.hpp"
#include "geometry/grammar.hpp"
#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "geometry/scanner.hpp"

namespace {

// Counter of generated names; the parse runs on the main thread only.
unsigned default_name_counter = 0;

}  // namespace

std::string make_default_name() {
    char name[32];
    std::snprintf(name, sizeof name, "unnamed%05x", default_name_counter++);
    return name;
}

void parse_layout(layout& target) {
    assert(target.cfg && target.cfg->input_file);
    default_name_counter = 0;
    target.window.boundary = boundary_none;
    target.window.box = {{geom_infinity, geom_infinity, geom_infinity},
                         {-geom_infinity, -geom_infinity, -geom_infinity}};
    scanner_begin(target.cfg->input_file);
    run_grammar(target);
    scanner_end();
}
