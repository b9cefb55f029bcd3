#include "geometry/parse_layout.hpp"

#include <cassert>
#include <cstdio>

#include "config/configure.hpp"
#include "foundation/file_opener.hpp"
#include "geometry/grammar.hpp"
#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "geometry/scanner.hpp"
#include "geometry/validate_layout.hpp"

namespace {

// Counter of generated names; the parse runs on the main thread only.
unsigned default_name_counter = 0;

}  // namespace

std::string make_default_name() {
    char name[32];
    std::snprintf(name, sizeof name, "unnamed%05x", default_name_counter++);
    return name;
}

void parse_layout(layout& target, FILE* input) {
    assert(target.cfg && input);
    default_name_counter = 0;
    target.window.boundary = boundary_none;
    target.window.box = {{geom_infinity, geom_infinity, geom_infinity},
                         {-geom_infinity, -geom_infinity, -geom_infinity}};
    scanner_begin(input);
    run_grammar(target);
    // The geometry file is closed as soon as it is read, unless another
    // option shares its stream.
    sea::config_impl::file_opener::release(input);
    scanner_end();
    validate_layout(target);
}
