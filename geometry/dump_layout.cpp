#include "geometry/dump_layout.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/configure.hpp"
#include "foundation/file_opener.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/layout.hpp"
#include "geometry/point_text.hpp"
#include "geometry/primitives.hpp"

namespace {

constexpr double pi_dump = 3.1415926535898;

struct rotation {
    double c = 1.0, s = 0.0;
    vec2 operator()(double x, double y) const { return {c * x + s * y, c * y - s * x}; }
};

// A box block section: basepoint at the lower corner, axis vectors of its sizes.
void write_box_block(sea::writer& w, const box& b) {
    w.printf("\t<block>\n\t\tbasepoint ");
    print_point(w, b.lo).printf("\n");
    w.printf("\t\tv1 (%.12f, 0, 0)\n\t\tv2 (0, %.12f, 0)\n\t\thvector (0, 0, %.12f)\n\t[/block]\n",
             b.hi.x - b.lo.x, b.hi.y - b.lo.y, b.hi.z - b.lo.z);
}

// The corners of b's outline turned, in the order lo-lo, lo-hi, hi-hi, hi-lo.
std::array<vec2, 4> turned_corners(const box& b, const rotation& turn) {
    return {turn(b.lo.x, b.lo.y), turn(b.lo.x, b.hi.y), turn(b.hi.x, b.hi.y), turn(b.hi.x, b.lo.y)};
}

// Bounds in x and y of the four corners of b turned; z unchanged.
box turned_bounds(const box& b, const rotation& turn) {
    const std::array<vec2, 4> corners = turned_corners(b, turn);
    box r{{corners[0].x, corners[0].y, b.lo.z}, {corners[0].x, corners[0].y, b.hi.z}};
    for (const vec2& c : corners) {
        r.lo.x = std::fmin(r.lo.x, c.x);
        r.lo.y = std::fmin(r.lo.y, c.y);
        r.hi.x = std::fmax(r.hi.x, c.x);
        r.hi.y = std::fmax(r.hi.y, c.y);
    }
    return r;
}

void write_window_and_media(sea::writer& w, const layout& l, const box& win) {
    w.printf("<window>\n\tv1 ");
    print_point(w, win.lo).printf("\n\tv2 ");
    print_point(w, win.hi).printf("\n[/window]\n");
    const layer_stack& st = l.layers;
    double zb = win.lo.z;
    const std::size_t layers = st.layer_count();
    // Only the layers inside the window are written: a medium is read back
    // by its bottom and top, so one reaching below the window's bottom or
    // above its top would read back as another stack or another window.
    for (std::size_t k = 0; k < layers && zb < win.hi.z; ++k) {
        const double top = st.interface_z[layer_guard_interfaces + k];
        if (k + 1 < layers && top <= zb + geom_eps) continue;
        const double zt = win.hi.z - geom_eps > top ? top : win.hi.z;
        w.printf("<medium>\n");
        write_box_block(w, box{{win.lo.x, win.lo.y, zb}, {win.hi.x, win.hi.y, zt}});
        w.printf("\tdiel %.12f\n[/medium]\n", st.permittivity[layer_guard_permittivities + k]);
        zb = zt;
    }
}

void write_poly(sea::writer& w, double z0, double z1, const vec2* v, std::size_t n) {
    w.printf("\t<poly>\n\t\tbasepoint (0, 0, %.12f)\n\t\tv1 (1,0,0)\n\t\tv2 (0,1,0)\n\t\thvector (0, 0, %.12f)\n",
             z0, z1 - z0);
    w.printf("\t\t<coord>\n\t\t\t");
    for (std::size_t i = 0; i < n; ++i) print_point(w, v[i]).put(' ');
    w.printf("\n\t\t[/coord]\n\t[/poly]\n");
}

void write_block(sea::writer& w, const solid& s, const rotation* turn) {
    if (s.kind == solid_box && turn) {
        const box& o = s.outer_box;
        write_poly(w, o.lo.z, o.hi.z, turned_corners(o, *turn).data(), 4);
        return;
    }
    if (s.kind == solid_box) {
        write_box_block(w, s.outer_box);
        return;
    }
    if (s.kind == solid_cylinder) {
        const cylinder_t& c = s.shape.cylinder;
        const vec2 centre = turn ? (*turn)(c.centre.x, c.centre.y) : vec2{c.centre.x, c.centre.y};
        w.printf("\t<block>\n\t\tbasepoint ");
        print_point(w, vec3{centre.x, centre.y, c.centre.z}).printf("\n");
        w.printf("\t\tradius %.12f\n\t\theight %.12f\n\t[/block]\n", c.radius, 2 * c.half_height);
        return;
    }
    // Outlines are written last vertex first.
    const nprism_t& p = s.shape.prism;
    vec2 v[nprism_max_vertices];
    for (uint64_t i = 0; i < p.n; ++i) {
        const vec2& q = p.vertex[p.n - 1 - i];
        v[i] = turn ? (*turn)(q.x, q.y) : q;
    }
    write_poly(w, p.z0, p.z1, v, p.n);
}

void write_nets_and_task(sea::writer& w, const layout& l, const rotation* turn) {
    for (const conductor* c : l.nets) {
        w.printf("<conductor>\n\tname %s\n", c->name.c_str());
        if (c->floating) w.printf("\tfloating\n");
        for (const block* b : c->blocks) {
            // A turned ground slab stays a box, over the turned outline's
            // bounds: only a box reads back as ground, and reading rebuilds
            // the slab over the window anyway.
            if (turn && b == l.ground)
                write_block(w, make_box_solid(turned_bounds(b->solid.outer_box, *turn)), nullptr);
            else
                write_block(w, b->solid, turn);
        }
        w.printf("[/conductor]\n");
    }
    // Without a master there is no name to write, and an empty task section
    // would not read back: the dump then has none.
    if (!l.masters.empty())
        w.printf("<task>\n\t<capacitance>\n\t%s\n\t[/capacitance]\n[/task]\n", l.masters.front()->name.c_str());
    w.printf("[/pryx]\n");
}

solid shifted(const solid& s, double dx, double dy, double dz) {
    if (s.kind == solid_box) {
        const box& b = s.shape.box;
        return make_box_solid(box{{b.lo.x + dx, b.lo.y + dy, b.lo.z + dz}, {b.hi.x + dx, b.hi.y + dy, b.hi.z + dz}});
    }
    if (s.kind == solid_cylinder) {
        const cylinder_t& c = s.shape.cylinder;
        return make_cylinder_solid(vec3{c.centre.x + dx, c.centre.y + dy, c.centre.z + dz}, c.radius, c.half_height);
    }
    nprism_t p = s.shape.prism;
    for (uint64_t i = 0; i < p.n; ++i) {
        p.vertex[i].x += dx;
        p.vertex[i].y += dy;
    }
    p.z0 += dz;
    p.z1 += dz;
    return make_nprism_solid(p);
}

} // namespace

sea::writer& dump_solid(sea::writer& w, const solid& s) {
    write_block(w, s, nullptr);
    return w;
}

void write_layout(sea::writer& w, const layout& l) {
    w.printf("<pryx>\n");
    write_window_and_media(w, l, l.window.box);
    write_nets_and_task(w, l, nullptr);
}

void dump_rotated_layout(sea::writer& w, const layout& l, double degrees) {
    const double t = degrees * pi_dump / 180;
    const rotation turn{std::cos(t), std::sin(t)};
    w.printf("<pryx>\n");
    write_window_and_media(w, l, turned_bounds(l.window.box, turn));
    write_nets_and_task(w, l, &turn);
}

void replicate_layout_tiles(layout& l) {
    const configure& cfg = *l.cfg;
    const int nx = cfg.dump_tile_nx, ny = cfg.dump_tile_ny, nz = cfg.dump_tile_nz;
    log_debug_w().printf("tile layout, nx: %d ny: %d nz: %d", nx, ny, nz).put('\n').flush();
    const box& p = l.padded_box;
    const double px = p.hi.x - p.lo.x, py = p.hi.y - p.lo.y, pz = p.hi.z - p.lo.z;
    l.window.box.hi.x += (nx - 1) * px;
    l.window.box.hi.y += (ny - 1) * py;
    l.window.box.hi.z += (nz - 1) * pz;
    if (nx < 1) return;
    // The ground net is not copied: a copy would be an ordinary net lying
    // level with the ground, which no reading of the dump accepts, and the
    // one slab already spans the grown window once the dump is read back.
    std::vector<conductor*> sources;
    for (conductor* c : l.nets)
        if (!(l.ground && l.ground->owner == c)) sources.push_back(c);
    int n = 0;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j)
            for (int k = 0; k < nz; ++k) {
                if (i == 0 && j == 0 && k == 0) continue;
                for (const conductor* src : sources) {
                    ++n;
                    const std::string name = "tilex" + std::to_string(i) + "x" + std::to_string(j) + "x" +
                                             std::to_string(k) + "x" + "conductor" + std::to_string(n);
                    l.conductors.emplace_back(name, src->floating);
                    conductor& copy = l.conductors.back();
                    l.nets.push_back(&copy);
                    for (const block* b : src->blocks) {
                        l.blocks.emplace_back(b->name, shifted(b->solid, i * px, j * py, k * pz));
                        block& nb = l.blocks.back();
                        nb.owner = &copy;
                        nb.floating = b->floating;
                        copy.blocks.push_back(&nb);
                    }
                }
            }
}

bool dump_layout(layout& l) {
    const configure& cfg = *l.cfg;
    if (!cfg.dump_layout) return false;
    replicate_layout_tiles(l);
    sea::file_writer out(cfg.dump_layout);
    if (cfg.dump_rotate_degree != 0)
        dump_rotated_layout(out, l, cfg.dump_rotate_degree);
    else
        write_layout(out, l);
    out.flush();
    sea::config_impl::check_written(cfg.dump_layout, "the layout dump");
    std::printf("dump layout finished.\n");
    std::fflush(stdout);
    return true;
}
