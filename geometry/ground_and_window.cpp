#include "geometry/ground_and_window.hpp"

#include <algorithm>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/run_end.hpp"
#include "geometry/index_layout.hpp"
#include "geometry/layout.hpp"
#include "geometry/point_text.hpp"
#include "geometry/primitives.hpp"
#include "geometry/validate_layout.hpp"

namespace {

constexpr double thin_block = 0.0001;
constexpr double no_width = 1e9;
// The padded box reaches this many wire widths beyond every block.
constexpr double padding_widths = 40.0;

[[noreturn]] void ground_error(const char* message) {
    sea::end_run(message, -1);
}

box empty_box() { return box{{no_width, no_width, no_width}, {-no_width, -no_width, -no_width}}; }

// Grows b over o; a bound moves only when o lies beyond it by more than geom_eps.
void grow_over(box& b, const box& o) {
    for (int a = 0; a < 3; ++a) {
        if (axis_of(b.lo, a) - geom_eps > axis_of(o.lo, a)) axis_of(b.lo, a) = axis_of(o.lo, a);
        if (axis_of(o.hi, a) - geom_eps > axis_of(b.hi, a)) axis_of(b.hi, a) = axis_of(o.hi, a);
    }
}

bool has_extent(const box& b) { return b.lo.x <= b.hi.x && b.lo.y <= b.hi.y && b.lo.z <= b.hi.z; }


} // namespace

sea::writer& print_box(sea::writer& w, const box& b) {
    print_point(w, b.lo).put(':');
    return print_point(w, b.hi).printf(", xlen: %.12f, ylen: %.12f, zlen: %.12f", b.hi.x - b.lo.x, b.hi.y - b.lo.y,
                                       b.hi.z - b.lo.z);
}

sea::writer& print_solid(sea::writer& w, const solid& s) {
    switch (s.kind) {
    case solid_box: return print_box(w, s.shape.box);
    case solid_cylinder: {
        const cylinder_t& c = s.shape.cylinder;
        return print_point(w, c.centre).printf(" %.12f %.12f", c.radius, c.half_height);
    }
    default: {
        const nprism_t& p = s.shape.prism;
        for (uint64_t i = 0; i < p.n; ++i) print_point(w, p.vertex[i]).put(' ');
        return w.printf("%.12f %.12f", p.z0, p.z1);
    }
    }
}

void setup_ground_and_wire_width(layout& l) {
    l.ground = nullptr;
    for (block& b : l.blocks)
        if (b.owner && b.owner->name == "GROUND") {
            l.ground = &b;
            break;
        }

    double w = no_width;
    for (block* b : l.all_blocks) {
        if (b == l.ground) continue;
        const box& o = b->solid.outer_box;
        const double xs = o.hi.x - o.lo.x, ys = o.hi.y - o.lo.y;
        const double m = xs > ys + geom_eps ? ys : xs;
        if (m - geom_eps > thin_block) {
            w = std::min(w, m);
            continue;
        }
        log_warn_w().printf("0-width block %s::%s\n", b->owner->name.c_str(), b->name.c_str()).flush();
        print_solid(log_info_w(), b->solid).put('\n').flush();
    }
    // "-w" is a floor under the measured width, and the width itself when
    // no block was wide enough to measure one.
    const double floor = l.cfg->min_wire_width;
    const bool measured = w < no_width;
    const bool given = floor > 0;
    l.wire_width = (measured || !given) && w - geom_eps > floor ? w : floor;
    log_info_w().printf("wire width set to %.12f", l.wire_width).put('\n').flush();
    if (!l.ground) return;

    if (l.ground->solid.kind != solid_box) ground_error("ground net must be Manhattan shape.\n");
    if (l.ground->owner->blocks.size() > 1) ground_error("ground net can contain only one block.\n");
    const box g = l.ground->solid.shape.box;
    for (block* b : l.all_blocks)
        if (b != l.ground && b->solid.outer_box.lo.z < g.hi.z + geom_eps)
            ground_error("ground net must be under other blocks.\n");

    // The slab spans the media; without a medium section there is no such
    // extent (the window box is still empty) and the ground keeps its own.
    const box extent = has_extent(l.window.box) ? l.window.box : g;
    l.ground->solid = make_box_solid(
        box{{extent.lo.x, extent.lo.y, g.hi.z - l.wire_width}, {extent.hi.x, extent.hi.y, g.hi.z}});
}

void select_masters(layout& l) {
    const configure& cfg = *l.cfg;
    if (!cfg.overwrite_tasks.empty()) {
        if (cfg.enable_merge)
            log_warn_w()
                .printf("warning: dremol merge is enabled, be sure your overwrite master name is right.")
                .put('\n')
                .flush();
        l.task_names.clear();
        std::istringstream words(cfg.overwrite_tasks);
        std::string word;
        while (words >> word) l.task_names.insert(word);
    }
    const bool all = l.task_names.count("ALL") > 0;
    std::unordered_set<std::string> matched;
    for (conductor* c : l.nets) {
        const bool named = l.task_names.count(c->name) > 0;
        if (named) matched.insert(c->name);
        if (l.ground && !c->blocks.empty() && c->blocks.front() == l.ground) continue;
        if (!all && !named) continue;
        // A floating conductor takes whatever potential its neighbours give
        // it: it has no capacitance row of its own to extract.
        if (c->floating) {
            if (named)
                refuse_layout("floating conductor " + c->name +
                              " is named as a master; a floating conductor has no fixed potential, so it cannot be "
                              "extracted");
            log_warn_w()
                .printf("warning: floating conductor %s is left out of the masters of ALL.", c->name.c_str())
                .put('\n')
                .flush();
            continue;
        }
        l.masters.push_back(c);
    }
    std::vector<std::string> unmatched;
    for (const std::string& name : l.task_names)
        if (name != "ALL" && !matched.count(name)) unmatched.push_back(name);
    std::sort(unmatched.begin(), unmatched.end());
    for (const std::string& name : unmatched)
        log_warn_w().printf("warning: master name %s matches no conductor and is ignored.", name.c_str()).put('\n').flush();
    std::unordered_set<std::string>().swap(l.task_names);
}

void require_masters(const layout& l) {
    if (l.masters.empty()) refuse_layout("no master conductor to extract: no task name matches a conductor that can be one");
}

void setup_window(layout& l, sea::writer& screen, sea::writer& file) {
    box b = empty_box();
    for (block* blk : l.all_blocks) {
        if (blk == l.ground) {
            b.lo.z = l.ground->solid.outer_box.lo.z;
            continue;
        }
        grow_over(b, blk->solid.outer_box);
    }
    l.padded_box = grow_box(b, padding_widths * l.wire_width);

    const configure& cfg = *l.cfg;
    bool keep_file_window = !cfg.auto_window && l.window.boundary != boundary_none;
    // The file's window is the box of its media; without any medium section
    // it is empty and would leave no room to walk in, so the window is then
    // generated as if the section were absent.
    if (keep_file_window && !has_extent(l.window.box)) {
        log_warn_w()
            .printf("warning: window section without any medium section, the window is generated from the "
                    "conductors.")
            .put('\n')
            .flush();
        keep_file_window = false;
    }
    if (keep_file_window) {
        print_box(log_debug_w().printf("inputed window "), l.window.box).put('\n').flush();
        l.critical_box = l.window.box;
        if (l.window.boundary == boundary_neumann) {
            check_masters_inside_window(l);
            screen.printf("Neumann boundary condition applied\n\n").flush();
            file.printf("Neumann boundary condition applied\n\n").flush();
            return;
        }
    }
    screen.printf("Dirichlet boundary condition applied\n\n").flush();
    file.printf("Dirichlet boundary condition applied\n\n").flush();
    l.window.boundary = boundary_dirichlet;
    double m0 = b.hi.x - b.lo.x;
    if (b.hi.y - b.lo.y > m0 + geom_eps) m0 = b.hi.y - b.lo.y;
    if (b.hi.z - b.lo.z > m0 + geom_eps) m0 = b.hi.z - b.lo.z;
    const double e = cfg.window_extension * l.wire_width;
    const double m = m0 - geom_eps > e ? m0 : e;
    l.window.box = grow_box(b, m);
    l.critical_box = grow_box(b, m / 2);
    print_box(log_debug_w().printf("box of all conductor "), b).put('\n').flush();
    print_box(log_debug_w().printf("auto generated window "), l.window.box).put('\n').flush();
    print_box(log_debug_w().printf("auto generated critial box window "), l.critical_box).put('\n').flush();
}
