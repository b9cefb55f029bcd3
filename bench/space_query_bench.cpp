// Nearest-block queries per second for every space-manager kind on a layout
// of multi-layer wire grids (boxes, via cylinders and slanted jogs), fed with
// walk-like streams: each point lies on the surface of the previous answer's
// cube, so the search hints are reused as in a real walk.
//
// Then, side by side under hybrid-none and octree-none, walks driven by each
// manager's own answers on every bundled example, on a lone cube far from
// everything and on a dense array of 3000 wires: hops per walk and walks per
// second ("walks/s"), queries only.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include <dirent.h>

#include <algorithm>
#include <string>

#include "config/configure.hpp"
#include "foundation/writer.hpp"
#include "geometry/ground_and_window.hpp"
#include "geometry/index_layout.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "geometry/parse_layout.hpp"
#include "geometry/primitives.hpp"
#include "geometry/section_distance.hpp"
#include "space/box_measures.hpp"
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

// A random point of the layout's region inside its window and farther
// than end from every block.
vec3 clear_start(const bench_layout& bl, std::mt19937_64& rng, double end) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const box& rg = bl.region;
    for (;;) {
        const vec3 p{lerp(rg.lo.x, rg.hi.x, u(rng)), lerp(rg.lo.y, rg.hi.y, u(rng)),
                     lerp(rg.lo.z, rg.hi.z, u(rng))};
        bool clear = box_contains_point(bl.lay.window.box, p);
        for (const block* b : bl.lay.all_blocks)
            if (clear && block_distance(p, b->solid) < end) clear = false;
        if (clear) return p;
    }
}

// A random point on the surface of the cube of half side d around p.
vec3 hop(const vec3& p, double d, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const int face = int(u(rng) * 6);
    vec3 n{p.x + d * (2 * u(rng) - 1), p.y + d * (2 * u(rng) - 1), p.z + d * (2 * u(rng) - 1)};
    axis_of(n, face % 3) = axis_of(p, face % 3) + (face < 3 ? -d : d);
    return n;
}

// Walks of hops on cube surfaces through octree-none, whose answers the
// kinds under test do not change, so that every kind and every version is
// timed on the same points; every walk starts at a random point of the wire
// region that is clear of all blocks.
const std::vector<vec3>& the_stream() {
    static std::vector<vec3>* s = [] {
        bench_layout& bl = the_layout();
        configure cfg = bl.cfg;
        cfg.spacemgr_type = configure::octree_none;
        std::unique_ptr<space_manager_interface> m;
        create_space_manager(m, cfg, bl.lay);
        std::mt19937_64 rng(7);
        auto start = [&] { return clear_start(bl, rng, walk_end); };
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
            p = hop(p, d, rng);
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

// ---- Walks driven by the manager's own answers ----

// A walk ends once its cube is this share of the wire width (it would end
// on a conductor) or when it reaches the window.
constexpr double walk_end_share = 1e-3;
constexpr int walks_per_run = 20000;
// Each start point begins this many walks (their hops differ).
constexpr int walk_rounds = 5;
constexpr long hop_cap = 1000000;

struct walk_layout {
    std::string name;
    std::unique_ptr<bench_layout> bl;
};

// A layout read and prepared as a run prepares it (without floating
// surfaces, which walks of this bench do not use).
std::unique_ptr<bench_layout> read_layout(const std::string& path) {
    auto r = std::make_unique<bench_layout>();
    r->cfg.input_file = std::fopen(path.c_str(), "r");
    if (!r->cfg.input_file) return nullptr;
    layout& lay = r->lay;
    lay.cfg = &r->cfg;
    sea::empty_writer quiet;
    parse_layout(lay, r->cfg.input_file);
    index_layout(lay, nullptr);
    setup_media(lay);
    setup_ground_and_wire_width(lay);
    select_masters(lay);
    setup_window(lay, quiet, quiet);
    // The parser closes the file it read.
    r->cfg.input_file = nullptr;
    r->region = grow_box(lay.padded_box, 0);
    return r;
}

// The window set-up of a layout without a window section: the box of the
// blocks grown by the larger of its largest side and 600 wire widths.
void auto_window(bench_layout& r, double width) {
    layout& lay = r.lay;
    box b{{1e9, 1e9, 1e9}, {-1e9, -1e9, -1e9}};
    for (const block* x : lay.all_blocks) {
        if (x->owner && x->owner->name == "GROUND") continue;
        const box& o = x->solid.outer_box;
        b = {{std::min(b.lo.x, o.lo.x), std::min(b.lo.y, o.lo.y), std::min(b.lo.z, o.lo.z)},
             {std::max(b.hi.x, o.hi.x), std::max(b.hi.y, o.hi.y), std::max(b.hi.z, o.hi.z)}};
    }
    const double m = std::max(box_max_side(b), 600 * width);
    lay.wire_width = width;
    lay.window.boundary = boundary_dirichlet;
    lay.window.box = grow_box(b, m);
    lay.critical_box = grow_box(b, m / 2);
    r.region = grow_box(b, 40 * width);
    lay.cfg = &r.cfg;
}

std::unique_ptr<bench_layout> lone_cube() {
    auto r = std::make_unique<bench_layout>();
    add_block(r->lay, "cube", make_box_solid({{-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}}));
    auto_window(*r, 1.0);
    return r;
}

// Three layers of 25 wires of 40 segments (3000 boxes) over a ground slab.
std::unique_ptr<bench_layout> dense_wires() {
    auto r = std::make_unique<bench_layout>();
    layout& lay = r->lay;
    for (int l = 0; l < 3; ++l) {
        const double z = 0.5 + 0.5 * l;
        for (int w = 0; w < 25; ++w)
            for (int s = 0; s < 40; ++s) {
                const double a = w * 0.2, b = s * 1.0;
                const box x = l % 2 ? box{{b, a, z}, {b + 0.9, a + 0.1, z + 0.2}}
                                    : box{{a, b, z}, {a + 0.1, b + 0.9, z + 0.2}};
                add_block(lay, "w" + std::to_string(l) + "_" + std::to_string(w), make_box_solid(x));
            }
    }
    auto_window(*r, 0.1);
    const box& w = lay.window.box;
    add_block(lay, "GROUND", make_box_solid({{w.lo.x, w.lo.y, 0.0}, {w.hi.x, w.hi.y, 0.1}}));
    return r;
}

std::vector<walk_layout>& walk_layouts() {
    static std::vector<walk_layout>* all = [] {
        auto* v = new std::vector<walk_layout>;
        const std::string dir = std::string(KORVEX_SOURCE_DIR) + "/examples";
        std::vector<std::string> names;
        if (DIR* d = opendir(dir.c_str())) {
            while (const dirent* e = readdir(d)) {
                const std::string n = e->d_name;
                if (n.size() > 6 && n.compare(n.size() - 6, 6, ".lumod") == 0) names.push_back(n);
            }
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& n : names)
            if (auto bl = read_layout(dir + "/" + n)) v->push_back({n.substr(0, n.size() - 6), std::move(bl)});
        v->push_back({"sparse_cube", lone_cube()});
        v->push_back({"dense_wires", dense_wires()});
        return v;
    }();
    return *all;
}

// Walks from random points of the layout's region that are clear of every
// block; each hop lands on the surface of the answer's cube. The limit is
// the distance to the window, where a walk ends as on a grounded window.
void bm_walks(benchmark::State& state, std::size_t which, configure::spacemgr_arg kind) {
    bench_layout& bl = *walk_layouts()[which].bl;
    configure cfg = bl.cfg;
    cfg.spacemgr_type = kind;
    bl.lay.cfg = &cfg;
    std::unique_ptr<space_manager_interface> m;
    create_space_manager(m, cfg, bl.lay);
    const double end = walk_end_share * bl.lay.wire_width;
    const box& w = bl.lay.window.box;
    long hops = 0, walks = 0;
    double seconds = 0;
    for (auto _ : state) {
        std::mt19937_64 rng(11);
        std::vector<vec3> starts(walks_per_run);
        for (vec3& p : starts) p = clear_start(bl, rng, end);
        const auto t0 = std::chrono::steady_clock::now();
        for (int round = 0; round < walk_rounds; ++round)
        for (const vec3& s : starts) {
            search_hint h1, h2;
            vec3 p = s;
            for (long k = 0; k < hop_cap; ++k) {
                const double to_window = -box_distance(w, p);
                const double d = m->find_nearest(p, h1, h2, to_window).dist;
                ++hops;
                if (d < end) break;
                p = hop(p, d, rng);
            }
            ++walks;
        }
        seconds += seconds_since(t0);
    }
    bl.lay.cfg = &bl.cfg;
    state.counters["hops/walk"] = double(hops) / double(walks);
    state.counters["walks/s"] = double(walks) / seconds;
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
    for (std::size_t i = 0; i < walk_layouts().size(); ++i)
        for (const auto kind : {configure::hybrid_none, configure::octree_none}) {
            const std::string name = "walks/" + walk_layouts()[i].name + "/" + kind_words[kind];
            benchmark::RegisterBenchmark(name.c_str(), bm_walks, i, kind)->Iterations(1)->Unit(benchmark::kMillisecond);
        }
    return 0;
}
const int registered = register_all();

}  // namespace

BENCHMARK_MAIN();
