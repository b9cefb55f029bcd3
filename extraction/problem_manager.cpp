#include "extraction/problem_manager.hpp"

#include <mutex>

#include "config/check_options.hpp"
#include "extraction/coupling_criteria.hpp"
#include "extraction/extraction_task.hpp"
#include "foundation/digest_reader.hpp"
#include "foundation/duration.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/file_opener.hpp"
#include "foundation/interrupt_guard.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/memory_usage.hpp"
#include "foundation/thread_pool.hpp"
#include "geometry/dump_layout.hpp"
#include "geometry/floating_surface.hpp"
#include "geometry/ground_and_window.hpp"
#include "geometry/index_layout.hpp"
#include "geometry/layer_stack.hpp"
#include "geometry/parse_layout.hpp"
#include "transition_tables/table_digest.hpp"

namespace {

// "<label><duration>\n" and the memory line, on the info log.
void log_phase(const char* label, std::int64_t ns) {
    sea::writer& info = log_info_w();
    info.printf("%s", label);
    write_duration(info, ns).put('\n').flush();
    write_memory_line(info);
}

} // namespace

problem_manager::problem_manager(configure& c)
    : cfg(&c),
      layout_ptr(&layout),
      space_manager_ptr(&space_manager),
      tables_ptr(&tables),
      writers_ptr(&writers) {
    layout.cfg = &c;
}

problem_manager::~problem_manager() {
    delete writers.both_out;
    delete writers.file_out;
    delete writers.screen_out;
}

bool problem_manager::run() {
    writers.screen_out = cfg->std_output ? static_cast<sea::writer*>(new sea::file_writer(stdout))
                                         : new sea::empty_writer();
    writers.file_out = new sea::file_writer(cfg->output_file);
    writers.both_out = new sea::multi_writer({writers.screen_out, writers.file_out});
    both().printf("Command: %s %s\n\n", cfg->program_path.c_str(), cfg->command_line.c_str());
    check_run_options(*cfg);

    const std::int64_t t0 = steady_nanoseconds();
    const std::int64_t t1 = steady_nanoseconds();
    // A resume file belongs to the geometry and id-map texts actually read,
    // wherever they come from (a file, a pipe, standard input).
    FILE* const input_source = cfg->input_file;
    FILE* const idmap_source = cfg->idmap_file;
    std::unique_ptr<sea::digest_reader> input_digest, idmap_digest;
    if (cfg->breakpoint_resume) {
        input_digest = std::make_unique<sea::digest_reader>(input_source);
        if (input_digest->stream()) cfg->input_file = input_digest->stream();
        if (idmap_source && cfg->enable_merge) {
            idmap_digest = std::make_unique<sea::digest_reader>(idmap_source);
            if (idmap_digest->stream()) cfg->idmap_file = idmap_digest->stream();
        }
    }
    parse_layout(layout);
    if (input_digest && input_digest->stream()) {
        breakpoint.casefile_md5 = input_digest->finish();
        // parse_layout let go of the wrapping stream only.
        sea::config_impl::file_opener::release(input_source);
    }
    index_layout(layout);
    cfg->idmap_file = idmap_source;
    breakpoint.idmap_md5 =
        idmap_digest && idmap_digest->stream() ? idmap_digest->finish() : md5(std::string()).hexdigest();
    setup_media(layout);
    setup_ground_and_wire_width(layout);
    select_masters(layout);
    setup_window(layout, screen(), file());
    setup_floating_conductors(layout);
    if (dump_layout(layout)) return false;
    require_masters(layout);
    log_phase("parse input cost ", steady_nanoseconds() - t1);

    check_coupling_condition(layout.masters, cfg->set_coupling_error);

    const std::int64_t t3 = steady_nanoseconds();
    load_tables(tables, *cfg, layout.layers);
    log_phase("load tables cost ", steady_nanoseconds() - t3);

    const std::int64_t t5 = steady_nanoseconds();
    create_space_manager(space_manager, *cfg, layout);
    log_phase("init space manager cost ", steady_nanoseconds() - t5);

    init_breakpoint();
    const std::int64_t elapsed = steady_nanoseconds() - t0;
    both().printf("Preparation costed ");
    write_duration(screen(), elapsed).printf("\n\n").flush();
    write_seconds(file(), elapsed).put('\n').put('\n').flush();
    return true;
}

void problem_manager::check_coupling_condition(const std::vector<conductor*>& masters, const std::string& text) {
    ::check_coupling_condition(masters, text);
}

void problem_manager::extract_all() {
    // Interrupted, the run still saves the masters it finished; the guard
    // covers the walk threads and the final write.
    std::unique_ptr<sea::interrupt_guard> interrupted;
    if (cfg->breakpoint_resume) interrupted = std::make_unique<sea::interrupt_guard>([this] { save_on_interrupt(); });
    screen().printf("Online Info. Random Walk Begins\n\n");
    const std::int64_t t0 = steady_nanoseconds();
    {
        // Masters go one after another on this thread: the pool has no worker.
        sea::thread_pool pool(cfg->master_threads);
        std::vector<conductor*>& masters = layout.masters;
        pool.run(static_cast<int>(masters.size()), [&](int i) { extract_master(masters[i]); });
    }
    const std::int64_t elapsed = steady_nanoseconds() - t0;
    screen().printf("Online Info. Random Walk Ends\n");
    both().printf("Random Walk costed ");
    write_duration(screen(), elapsed).put('\n').flush();
    write_seconds(file(), elapsed).put('\n').flush();
    both().printf("Korvex has run %lld walks (%.2f hops/walk)\n", static_cast<long long>(nwalks),
                  static_cast<double>(nhops) / static_cast<double>(nwalks));
    write_memory_line(log_info_w());
    std::lock_guard<sea::spin_lock> guard(lock);
    write_breakpoint();
}

void problem_manager::save_on_interrupt() {
    // Both locks stay taken until the process ends: no master reports or
    // saves after this save, and the walks of the current master stop.
    lock.lock();
    if (current_task) {
        current_task->lock.lock();
        current_task->stop.store(true, std::memory_order_seq_cst);
    }
    if (breakpoint.unsaved()) write_breakpoint();
    both().flush();
}

void problem_manager::init_breakpoint() {
    breakpoint.name_after(cfg->input_name);
    if (!cfg->breakpoint_resume) return;
    breakpoint.tables_md5 = table_store_digest(tables);
    breakpoint.open(nwalks, nhops);
}

void problem_manager::save_task_results(const extraction_task& task, const conductor* master) {
    if (cfg->breakpoint_resume) breakpoint.record(task, master);
}

void problem_manager::load_task_results(extraction_task& task, const conductor* master) {
    breakpoint.restore(task, master);
}

void problem_manager::write_breakpoint(bool only_when_due) { breakpoint.write(nwalks, nhops, only_when_due); }

void problem_manager::extract_master(conductor* master) {
    extraction_task task(*this, master);
    {
        std::lock_guard<sea::spin_lock> guard(lock);
        current_task = &task;
    }
    task.start();
    load_task_results(task, master);
    const std::int64_t walks_before = task.net_stats.nwalks;
    task.run_walks();
    if (!task.estimate_is_finite())
        error_handler::instance().raise(sea::basic_error("the capacitance estimate of master " + master->name +
                                                         " is not a finite number: a walk or start-point weight "
                                                         "was not finite"));

    std::lock_guard<sea::spin_lock> guard(lock);
    current_task = nullptr;
    nwalks += task.net_stats.nwalks - walks_before;
    nhops += static_cast<std::int64_t>(task.hops);
    task.report();
    if (task.unconverged_reason()) ++unconverged_masters;
    save_task_results(task, master);
    write_breakpoint(true);
    sample_memory_usage();
    sample_memory_usage();
}
