#include "extraction/prepared_input.hpp"

#include <cstdint>

#include "config/configure.hpp"
#include "extraction/coupling_criteria.hpp"
#include "foundation/digest_reader.hpp"
#include "foundation/duration.hpp"
#include "foundation/file_opener.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/md5.hpp"
#include "foundation/memory_usage.hpp"
#include "geometry/dump_layout.hpp"
#include "geometry/floating_surface.hpp"
#include "geometry/ground_and_window.hpp"
#include "geometry/index_layout.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/parse_layout.hpp"

namespace {

// "<label><duration>\n" and the memory line, on the info log.
void log_phase(const char* label, std::int64_t ns) {
    sea::writer& info = log_info_w();
    info.printf("%s", label);
    write_duration(info, ns).put('\n').flush();
    write_memory_line(info);
}

// With resuming on, the geometry and id-map texts are read through digest
// readers: a resume file belongs to the texts actually read, wherever they
// come from (a file, a pipe, standard input).
std::unique_ptr<sea::digest_reader> digest_of(FILE* source) {
    auto reader = std::make_unique<sea::digest_reader>(source);
    if (!reader->stream()) reader.reset();
    return reader;
}

} // namespace

std::unique_ptr<const prepared_input> prepare_input(const configure& cfg, const run_writers& writers) {
    auto in = std::make_unique<prepared_input>();
    ::layout& l = in->layout;
    l.cfg = &cfg;

    const std::int64_t t1 = steady_nanoseconds();
    std::unique_ptr<sea::digest_reader> input_digest, idmap_digest;
    if (cfg.breakpoint_resume) {
        input_digest = digest_of(cfg.input_file);
        if (cfg.idmap_file && cfg.enable_merge) idmap_digest = digest_of(cfg.idmap_file);
    }
    parse_layout(l, input_digest ? input_digest->stream() : cfg.input_file);
    if (input_digest) {
        in->geometry_md5 = input_digest->finish();
        // parse_layout let go of the wrapping stream only.
        sea::config_impl::file_opener::release(cfg.input_file);
    }
    index_layout(l, idmap_digest ? idmap_digest->stream() : cfg.idmap_file);
    in->idmap_md5 = idmap_digest ? idmap_digest->finish() : md5(std::string()).hexdigest();
    setup_media(l);
    setup_ground_and_wire_width(l);
    select_masters(l);
    setup_window(l, writers.screen(), writers.file());
    setup_floating_conductors(l);
    if (dump_layout(l)) return nullptr;
    require_masters(l);
    log_phase("parse input cost ", steady_nanoseconds() - t1);

    check_coupling_condition(l.masters, cfg.set_coupling_error);

    const std::int64_t t3 = steady_nanoseconds();
    load_tables(in->tables, cfg, l.layers);
    log_phase("load tables cost ", steady_nanoseconds() - t3);

    const std::int64_t t5 = steady_nanoseconds();
    create_space_manager(in->space_manager, cfg, l);
    log_phase("init space manager cost ", steady_nanoseconds() - t5);
    return in;
}
