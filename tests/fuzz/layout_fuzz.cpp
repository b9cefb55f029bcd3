// Fuzz target of the geometry reading and the layout preparation: any bytes
// read as a geometry file must end in an accepted layout or in a refusal
// (a message and an exit status), never in a crash, a sanitizer report or a
// hang. Built with libFuzzer under the address and undefined-behaviour
// sanitizers (scripts/fuzz.sh).
//
// A refusal raises a sea::run_end, which the program's entry turns into the
// end of the process. Here it is caught instead, and libFuzzer goes on with
// the next input. The reading state that outlives a refused input is reset
// by the next parse: the scanner restarts on the new stream, the parser
// reinitialises its stack, and the generated-name counter starts again at 0.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "config/configure.hpp"
#include "foundation/errors.hpp"
#include "foundation/run_end.hpp"
#include "foundation/writer.hpp"
#include "geometry/floating_surface.hpp"
#include "geometry/ground_and_window.hpp"
#include "geometry/index_layout.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/layout.hpp"
#include "geometry/parse_layout.hpp"
#include "space/space_manager.hpp"

namespace {

// The preparation of a run, in the run's order, up to its space manager;
// the tables, which only the walks read, are left out.
void prepare(const uint8_t* data, std::size_t size, const configure& settings) {
    configure cfg = settings;
    // An empty buffer is no valid memory stream; an empty file is the same.
    FILE* in = size ? fmemopen(const_cast<uint8_t*>(data), size, "r") : std::fopen("/dev/null", "r");
    if (!in) return;
    cfg.input_file = in;
    layout lay;
    lay.cfg = &cfg;
    sea::empty_writer screen, file;
    try {
        parse_layout(lay, in);
        index_layout(lay, nullptr);
        setup_media(lay);
        setup_ground_and_wire_width(lay);
        select_masters(lay);
        setup_window(lay, screen, file);
        setup_floating_conductors(lay);
        std::unique_ptr<space_manager_interface> sm;
        create_space_manager(sm, cfg, lay);
    } catch (const sea::run_end&) {
    } catch (const sea::base_error&) {
    }
    std::fclose(in);
}

}  // namespace

extern "C" {

// A refusal leaves the grammar's pending values unfreed: the program ends
// there, so they are no leaks of the program, only of this harness.
const char* __asan_default_options() { return "detect_leaks=0"; }

int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const configure plain;
    static const configure boxes_and_slabs = [] {
        configure c;
        c.manhattan_approximation = true;
        c.spacemgr_split_block = true;
        return c;
    }();
    prepare(data, size, plain);
    prepare(data, size, boxes_and_slabs);
    return 0;
}

}  // extern "C"
