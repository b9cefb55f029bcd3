// Geometry files written from pieces in tests, and the layouts parsed from them.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/configure.hpp"
#include "geometry/layout.hpp"
#include "geometry/parse_layout.hpp"

namespace geometry_test {

// A box block; an empty name leaves it unnamed.
inline std::string block_text(const std::string& name, double x, double y, double z, double dx = 1,
                       double dy = 1, double dz = 1) {
    std::string s = "<block>";
    if (!name.empty())
        s += " name " + name;
    char shape[256];
    std::snprintf(shape, sizeof shape,
                  " basepoint (%g, %g, %g) v1 (%g, 0, 0) v2 (0, %g, 0) hvector (0, 0, %g) </block>\n",
                  x, y, z, dx, dy, dz);
    return s + shape;
}

inline std::string conductor_text(const std::string& name, const std::string& blocks,
                           const std::string& flags = "") {
    std::string s = "<conductor>";
    if (!name.empty())
        s += " name " + name;
    if (!flags.empty())
        s += " " + flags;
    return s + "\n" + blocks + "</conductor>\n";
}

inline std::string medium_text(double z0, double z1, double eps, double half_side = 100) {
    char s[512];
    std::snprintf(s, sizeof s,
                  "<medium> <block> basepoint (%g, %g, %g) v1 (%g, 0, 0) v2 (0, %g, 0) "
                  "hvector (0, 0, %g) </block> diel %g </medium>\n",
                  -half_side, -half_side, z0, 2 * half_side, 2 * half_side, z1 - z0, eps);
    return s;
}

inline std::string root(const std::string& body) { return "<lumod>\n" + body + "</lumod>\n"; }

// A configure and the layout parsed with it.
struct parsed {
    configure cfg;
    layout lay;
};

inline FILE* stream_of(const std::string& text) {
    FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

// Parses text with the given settings; the stream is left to parse_layout.
inline std::unique_ptr<parsed> parse(const std::string& text, configure cfg = configure()) {
    auto p = std::make_unique<parsed>();
    p->cfg = cfg;
    p->cfg.input_file = stream_of(text);
    p->lay.cfg = &p->cfg;
    parse_layout(p->lay, p->cfg.input_file);
    return p;
}

inline std::vector<std::string> block_names(const layout& lay) {
    std::vector<std::string> names;
    for (const block& b : lay.blocks)
        names.push_back(b.name);
    return names;
}

inline std::vector<std::string> conductor_names(const layout& lay) {
    std::vector<std::string> names;
    for (const conductor& c : lay.conductors)
        names.push_back(c.name);
    return names;
}

} // namespace geometry_test
