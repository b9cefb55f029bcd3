// Complete random walks per second on the example geometries, on one and on
// eight threads. Each thread owns its walker, as the walk threads of a master
// do; the layout, tables, space manager and Gaussian surface are shared.
// The layouts go through the run's own preparation and the tables come from
// the table generator (written once into a temporary directory).
// Besides the examples, the 1,008-wire four-level layout of
// bench/wire_layout.sh, once in four media ("wires_layered") and once in
// one ("wires_uniform").
// Counters: walks/s, hops/s (both summed over threads), hops per walk, and
// hops per processor second of one walk thread ("hops/cpu-s", the rate per
// core, which other work on a shared machine disturbs far less).
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/configure.hpp"
#include "foundation/writer.hpp"
#include "geometry/floating_surface.hpp"
#include "geometry/ground_and_window.hpp"
#include "geometry/index_layout.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "geometry/parse_layout.hpp"
#include "space/space_manager.hpp"
#include "tools/tablegen/table_generator.hpp"
#include "transition_tables/table_plan.hpp"
#include "transition_tables/table_store.hpp"
#include "walker/gauss_surface.hpp"
#include "walker/walker_factory.hpp"

namespace {

struct prepared_case {
    std::string name;
    configure cfg;
    layout lay;
    table_store tables;
    std::unique_ptr<space_manager_interface> space;
    std::unique_ptr<gauss_surface> gauss;
};

std::vector<std::unique_ptr<prepared_case>>& cases() {
    static std::vector<std::unique_ptr<prepared_case>> all;
    return all;
}

bool prepare(prepared_case& c, const std::string& path, const std::string& tables) {
    c.cfg.input_file = std::fopen(path.c_str(), "r");
    if (!c.cfg.input_file) return false;
    c.cfg.table_single = c.cfg.table_twolyr = c.cfg.table_mullyr = c.cfg.table_approx = tables;
    c.lay.cfg = &c.cfg;
    parse_layout(c.lay, c.cfg.input_file);
    index_layout(c.lay, nullptr);
    setup_media(c.lay);
    setup_ground_and_wire_width(c.lay);
    select_masters(c.lay);
    sea::empty_writer quiet;
    setup_window(c.lay, quiet, quiet);
    setup_floating_conductors(c.lay);
    if (c.lay.masters.empty()) return false;
    write_table_sets(planned_tables(c.cfg, c.lay.layers), 8);
    load_tables(c.tables, c.cfg, c.lay.layers);
    create_space_manager(c.space, c.cfg, c.lay);
    c.gauss = std::make_unique<gauss_surface>(&c.cfg, &c.lay);
    build_master_gauss_surfaces(*c.gauss, *c.lay.masters.front());
    return true;
}

// The examples folder beside this file's folder.
std::string examples_dir() {
    const std::string here = __FILE__;
    const std::size_t slash = here.find_last_of('/');
    return (slash == std::string::npos ? std::string(".") : here.substr(0, slash)) + "/../examples";
}

// Processor seconds of the calling thread.
double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

void walk_bench(benchmark::State& state, prepared_case* c) {
    std::unique_ptr<random_walker_interface> walker;
    create_walker(walker, walker_task_head{&c->cfg, &c->lay, &c->space, &c->tables}, c->gauss.get());
    uint64_t hops = 0, walks = 0;
    const double cpu0 = thread_cpu_seconds();
    for (auto _ : state) {
        const walk_result* r = walker->walk_once();
        hops += r->hops;
        ++walks;
        benchmark::DoNotOptimize(r->weight);
    }
    state.counters["walks/s"] = benchmark::Counter(double(walks), benchmark::Counter::kIsRate);
    state.counters["hops/s"] = benchmark::Counter(double(hops), benchmark::Counter::kIsRate);
    state.counters["hops/walk"] = benchmark::Counter(double(hops) / double(walks), benchmark::Counter::kAvgThreads);
    state.counters["hops/cpu-s"] =
        benchmark::Counter(double(hops) / (thread_cpu_seconds() - cpu0), benchmark::Counter::kAvgThreads);
}

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/korvex-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string tables = pattern;
    const char* examples[] = {"box_over_ground", "crossing_wires", "polygon_cylinder", "floating"};
    std::vector<std::pair<std::string, std::string>> layouts;
    for (const char* name : examples) layouts.push_back({name, examples_dir() + "/" + name + ".lumod"});
    for (const char* media : {"layered", "uniform"}) {
        const std::string path = tables + "/wires_" + media + ".lumod";
        const std::string make = examples_dir() + "/../bench/wire_layout.sh " + media + " > " + path;
        if (std::system(make.c_str()) == 0) layouts.push_back({std::string("wires_") + media, path});
    }
    for (const auto& [name, path] : layouts) {
        auto c = std::make_unique<prepared_case>();
        c->name = name;
        if (!prepare(*c, path, tables)) {
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
    std::system(("rm -rf " + tables).c_str());
    return 0;
}
