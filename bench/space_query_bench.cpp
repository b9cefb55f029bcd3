// Nearest-block queries per second for every space-manager kind on a layout
// of multi-layer wire grids (boxes, via cylinders and slanted jogs), fed with
// walk-like streams: each point lies on the surface of the previous answer's
// cube, so the search hints are reused as in a real walk.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "config/configure.hpp"
#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "space/space_manager.hpp"

namespace {

// Wire grid: micrometres.
constexpr int layers = 8;
constexpr int wires_per_layer = 40;
constexpr int segments_per_wire = 32;
constexpr double wire_width = 0.1;
constexpr double pitch = 0.2;
constexpr double segment_length = 0.9;
constexpr double segment_gap = 0.1;
constexpr double layer_height = 0.2;
constexpr double layer_pitch = 0.4;
// A walk restarts once its cube is this small (it would end on a conductor).
constexpr double walk_end = 1e-3;
constexpr std::size_t stream_length = 1 << 21;

struct bench_layout {
    layout lay;
    configure cfg;
    box region{};
};

void add_block(layout& lay, const std::string& name, const solid& s) {
    lay.conductors.emplace_back(name, 0);
    conductor& c = lay.conductors.back();
    lay.blocks.emplace_back(name, s);
    block& b = lay.blocks.back();
    b.owner = &c;
    c.blocks.push_back(&b);
    lay.all_blocks.push_back(&b);
}

nprism_t slanted_jog(double x, double y, double z0, double z1) {
    // A 45-degree jog of width wire_width from (x, y) to (x + 0.3, y + 0.3).
    const double h = wire_width / 2 * std::sqrt(2.0);
    nprism_t p{};
    p.n = 4;
    p.vertex[0] = {x + h, y - h};
    p.vertex[1] = {x + 0.3 + h, y + 0.3 - h};
    p.vertex[2] = {x + 0.3 - h, y + 0.3 + h};
    p.vertex[3] = {x - h, y + h};
    p.z0 = z0;
    p.z1 = z1;
    return p;
}

// Layers alternate between x- and y-running wires cut into segments; vias
// (cylinders) join some segment ends to the layer above; a few slanted jogs
// sit in the gaps of the top layer.
bench_layout& the_layout() {
    static bench_layout* bl = [] {
        auto* r = new bench_layout;
        layout& lay = r->lay;
        int n = 0;
        for (int l = 0; l < layers; ++l) {
            const double z0 = l * layer_pitch, z1 = z0 + layer_height;
            for (int w = 0; w < wires_per_layer; ++w) {
                const double a0 = w * pitch;
                for (int s = 0; s < segments_per_wire; ++s) {
                    const double b0 = s * (segment_length + segment_gap);
                    const double b1 = b0 + segment_length;
                    box b = l % 2 ? box{{b0, a0, z0}, {b1, a0 + wire_width, z1}}
                                  : box{{a0, b0, z0}, {a0 + wire_width, b1, z1}};
                    add_block(lay, "w" + std::to_string(n++), make_box_solid(b));
                    if (l + 1 < layers && (w + s) % 7 == 0) {
                        const double cx = l % 2 ? b1 - wire_width / 2 : a0 + wire_width / 2;
                        const double cy = l % 2 ? a0 + wire_width / 2 : b1 - wire_width / 2;
                        add_block(lay, "v" + std::to_string(n++),
                                  make_cylinder_solid({cx, cy, z1 + (layer_pitch - layer_height) / 2},
                                                      wire_width / 2 * 0.8,
                                                      (layer_pitch - layer_height) / 2));
                    }
                }
            }
        }
        const double ztop = layers * layer_pitch;
        for (int j = 0; j < 200; ++j) {
            const double x = 0.5 + (j % 20) * 1.5, y = 0.5 + (j / 20) * 2.5;
            add_block(lay, "j" + std::to_string(n++), make_nprism_solid(slanted_jog(x, y, ztop, ztop + 0.2)));
        }
        double hi_x = 0, hi_y = 0;
        for (const block* b : lay.all_blocks) {
            hi_x = std::max(hi_x, b->solid.outer_box.hi.x);
            hi_y = std::max(hi_y, b->solid.outer_box.hi.y);
        }
        r->region = {{0, 0, 0}, {hi_x, hi_y, ztop + 0.2}};
        const double m = 2.0;
        lay.window.boundary = boundary_dirichlet;
        lay.window.box = {{-m, -m, -m}, {hi_x + m, hi_y + m, ztop + 0.2 + m}};
        lay.critical_box = {{-m / 2, -m / 2, -m / 2}, {hi_x + m / 2, hi_y + m / 2, ztop + 0.2 + m / 2}};
        lay.wire_width = wire_width;
        r->cfg.spacemgr_type = configure::hybrid_none;
        lay.cfg = &r->cfg;
        return r;
    }();
    return *bl;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Walks of hops on cube surfaces through the default manager; every walk
// starts at a random point of the wire region that is clear of all blocks.
const std::vector<vec3>& the_stream() {
    static std::vector<vec3>* s = [] {
        bench_layout& bl = the_layout();
        std::unique_ptr<space_manager_interface> m;
        create_space_manager(m, bl.cfg, bl.lay);
        std::mt19937_64 rng(7);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        const box& rg = bl.region;
        auto start = [&] {
            for (;;) {
                const vec3 p{lerp(rg.lo.x, rg.hi.x, u(rng)), lerp(rg.lo.y, rg.hi.y, u(rng)),
                             lerp(rg.lo.z, rg.hi.z, u(rng))};
                bool clear = true;
                for (const block* b : bl.lay.all_blocks)
                    if (block_distance(p, b->solid) < walk_end) {
                        clear = false;
                        break;
                    }
                if (clear) return p;
            }
        };
        auto* out = new std::vector<vec3>;
        out->reserve(stream_length);
        std::size_t walks = 1;
        search_hint h1, h2;
        vec3 p = start();
        while (out->size() < stream_length) {
            out->push_back(p);
            const double d = m->find_nearest(p, h1, h2, 1e9).dist;
            if (d < walk_end || !box_contains_point(bl.lay.critical_box, p)) {
                p = start();
                ++walks;
                continue;
            }
            const int face = int(u(rng) * 6);
            const double side = face < 3 ? -d : d;
            vec3 n{p.x + d * (2 * u(rng) - 1), p.y + d * (2 * u(rng) - 1), p.z + d * (2 * u(rng) - 1)};
            axis_of(n, face % 3) = axis_of(p, face % 3) + side;
            p = n;
        }
        std::printf("query stream: %zu points, %zu walks\n", out->size(), walks);
        return out;
    }();
    return *s;
}

void bm_find_nearest(benchmark::State& state, configure::spacemgr_arg kind, bool critical) {
    bench_layout& bl = the_layout();
    const std::vector<vec3>& stream = the_stream();
    configure cfg = bl.cfg;
    cfg.spacemgr_type = kind;
    cfg.critical_box = critical;
    std::unique_ptr<space_manager_interface> m;
    const auto t0 = std::chrono::steady_clock::now();
    create_space_manager(m, cfg, bl.lay);
    const double build = seconds_since(t0);
    search_hint h1, h2;
    // Untimed pass: how often the primary hint had to be located again.
    std::size_t relocated = 0;
    const std::size_t sample = std::min<std::size_t>(stream.size(), 1 << 16);
    for (std::size_t k = 0; k < sample; ++k) {
        const spacemgr::candlist* before = h1.list;
        m->find_nearest(stream[k], h1, h2, 1e9);
        relocated += h1.list != before;
    }
    std::size_t i = 0;
    double sum = 0;
    for (auto _ : state) {
        const nearest_result r = m->find_nearest(stream[i], h1, h2, 1e9);
        sum += r.dist;
        if (++i == stream.size()) i = 0;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
    state.counters["build_s"] = build;
    state.counters["blocks"] = double(bl.lay.all_blocks.size());
    state.counters["relocated"] = double(relocated) / double(sample);
}

const char* const kind_words[] = {"simple-simple", "octree-octree", "hybrid-hybrid",
                                  "simple-none",   "octree-none",   "hybrid-none",
                                  "hybrid-simple", "hybrid-grid",   "hybrid-grid-nd"};

int register_all() {
    for (int k = 0; k < 9; ++k) {
        // The whole-domain lists scan every block per query: too slow to time
        // usefully at this size beyond a short run.
        auto* b = benchmark::RegisterBenchmark(kind_words[k], bm_find_nearest, configure::spacemgr_arg(k), false);
        if (k == configure::simple_simple || k == configure::simple_none) b->Iterations(20000);
    }
    benchmark::RegisterBenchmark("hybrid-none/critical-box", bm_find_nearest, configure::hybrid_none, true);
    return 0;
}
const int registered = register_all();

}  // namespace

BENCHMARK_MAIN();
