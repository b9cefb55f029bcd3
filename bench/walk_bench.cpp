// Complete random walks per second on the example geometries, on one and on
// eight threads. Each thread owns its walker, as the walk threads of a master
// do; the layout, tables, space manager and Gaussian surface are shared.
// Counters: walks/s, hops/s (both summed over threads) and hops per walk.
//
// Until generated tables are at hand the walks use the in-memory tables of
// the walker tests (solid-angle hops), which cost the same per hop.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/configure.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "geometry/parse_layout.hpp"
#include "space/space_manager.hpp"
#include "tests/walker/synthetic_tables.hpp"
#include "walker/gauss_surface.hpp"
#include "walker/walker_factory.hpp"

namespace {

// One prepared example: parsed, media stacked, block lists and wire width
// set, the first task's conductor as master.
struct prepared_case {
    std::string name;
    configure cfg;
    layout lay;
    walker_test::synthetic_tables tables;
    std::unique_ptr<space_manager_interface> space;
    std::unique_ptr<gauss_surface> gauss;
};

std::vector<std::unique_ptr<prepared_case>>& cases() {
    static std::vector<std::unique_ptr<prepared_case>> all;
    return all;
}

double smallest_side(const layout& lay) {
    double w = 1e9;
    for (const block* b : lay.all_blocks) {
        const box& o = b->solid.outer_box;
        w = std::min({w, o.hi.x - o.lo.x, o.hi.y - o.lo.y});
    }
    return w;
}

bool prepare(prepared_case& c, const std::string& path) {
    c.cfg.input_file = std::fopen(path.c_str(), "r");
    if (!c.cfg.input_file) return false;
    c.cfg.multi_dielectric = configure::layout_off;  // homogeneous tables only
    c.lay.cfg = &c.cfg;
    parse_layout(c.lay);
    setup_media(c.lay);
    for (conductor& n : c.lay.conductors) c.lay.nets.push_back(&n);
    for (block& b : c.lay.blocks) c.lay.all_blocks.push_back(&b);
    c.lay.wire_width = smallest_side(c.lay);
    c.lay.critical_box = c.lay.window.box;
    const bool all = c.lay.task_names.count("ALL") > 0;
    conductor* master = nullptr;
    for (conductor& n : c.lay.conductors)
        if (!master && !n.floating && (all ? n.name != "GROUND" : c.lay.task_names.count(n.name) > 0)) master = &n;
    if (!master) return false;
    create_space_manager(c.space, c.cfg, c.lay);
    c.gauss = std::make_unique<gauss_surface>(&c.cfg, &c.lay);
    build_master_gauss_surfaces(*c.gauss, *master);
    return true;
}

// The examples folder beside this file's folder.
std::string examples_dir() {
    const std::string here = __FILE__;
    const std::size_t slash = here.find_last_of('/');
    return (slash == std::string::npos ? std::string(".") : here.substr(0, slash)) + "/../examples";
}

void walk_bench(benchmark::State& state, prepared_case* c) {
    std::unique_ptr<random_walker_interface> walker;
    create_walker(walker, walker_task_head{&c->cfg, &c->lay, &c->space, &c->tables.store}, c->gauss.get());
    uint64_t hops = 0, walks = 0;
    for (auto _ : state) {
        const walk_result* r = walker->walk_once();
        hops += r->hops;
        ++walks;
        benchmark::DoNotOptimize(r->weight);
    }
    state.counters["walks/s"] = benchmark::Counter(double(walks), benchmark::Counter::kIsRate);
    state.counters["hops/s"] = benchmark::Counter(double(hops), benchmark::Counter::kIsRate);
    state.counters["hops/walk"] = benchmark::Counter(double(hops) / double(walks), benchmark::Counter::kAvgThreads);
}

}  // namespace

int main(int argc, char** argv) {
    const char* examples[] = {"box_over_ground", "crossing_wires", "polygon_cylinder"};
    for (const char* name : examples) {
        auto c = std::make_unique<prepared_case>();
        c->name = name;
        const std::string path = examples_dir() + "/" + name + ".lumod";
        if (!prepare(*c, path)) {
            std::fprintf(stderr, "skipping %s\n", path.c_str());
            continue;
        }
        cases().push_back(std::move(c));
    }
    for (auto& c : cases())
        benchmark::RegisterBenchmark(("walk/" + c->name).c_str(), walk_bench, c.get())
            ->Threads(1)
            ->Threads(8)
            ->UseRealTime()
            ->MinTime(1.0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
