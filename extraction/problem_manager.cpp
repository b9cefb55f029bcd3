#include "extraction/problem_manager.hpp"

#include <mutex>

#include "config/check_options.hpp"
#include "config/configure.hpp"
#include "extraction/extraction_task.hpp"
#include "foundation/duration.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/interrupt_guard.hpp"
#include "foundation/log_writers.hpp"
#include "foundation/memory_usage.hpp"
#include "foundation/thread_pool.hpp"
#include "transition_tables/table_digest.hpp"

problem_manager::problem_manager(configure& c) : options(c), cfg(&c) {}

problem_manager::~problem_manager() = default;

bool problem_manager::run() {
    open_run_writers(writers, *cfg);
    both().printf("Command: %s %s\n\n", cfg->program_path.c_str(), cfg->command_line.c_str());
    check_run_options(options);

    const std::int64_t t0 = steady_nanoseconds();
    input = prepare_input(*cfg, writers);
    if (!input) return false;
    init_breakpoint();
    const std::int64_t elapsed = steady_nanoseconds() - t0;
    both().printf("Preparation costed ");
    write_duration(screen(), elapsed).printf("\n\n").flush();
    write_seconds(file(), elapsed).put('\n').put('\n').flush();
    return true;
}

void problem_manager::extract_all() {
    // Interrupted, the run still saves the masters it finished; the guard
    // covers the walk threads and the final write.
    std::unique_ptr<sea::interrupt_guard> interrupted;
    if (cfg->breakpoint_resume) interrupted = std::make_unique<sea::interrupt_guard>([this] { save_on_interrupt(); });
    screen().printf("Online Info. Random Walk Begins\n\n");
    const std::int64_t t0 = steady_nanoseconds();
    {
        // A pool of one thread, the calling one: the masters go one after
        // another on this thread, in list order.
        sea::thread_pool pool(cfg->master_threads);
        const std::vector<conductor*>& masters = input->layout.masters;
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
    if (current_task) current_task->stop_and_hold();
    if (breakpoint->unsaved()) write_breakpoint();
    both().flush();
}

void problem_manager::init_breakpoint() {
    breakpoint = std::make_unique<resume_file>(*cfg, input->layout, writers);
    breakpoint->casefile_md5 = input->geometry_md5;
    breakpoint->idmap_md5 = input->idmap_md5;
    breakpoint->name_after(cfg->input_name);
    if (!cfg->breakpoint_resume) return;
    breakpoint->tables_md5 = table_store_digest(input->tables);
    breakpoint->open(nwalks, nhops);
}

void problem_manager::save_task_results(const extraction_task& task, const conductor* master) {
    if (cfg->breakpoint_resume) breakpoint->record(task, master);
}

void problem_manager::load_task_results(extraction_task& task, const conductor* master) {
    breakpoint->restore(task, master);
}

void problem_manager::write_breakpoint(bool only_when_due) { breakpoint->write(nwalks, nhops, only_when_due); }

void problem_manager::extract_master(const conductor* master) {
    extraction_task task(*cfg, *input, writers, master);
    {
        std::lock_guard<sea::spin_lock> guard(lock);
        current_task = &task;
    }
    // An error that ends the run leaves the task too: an interrupt then
    // must not reach it.
    struct forget_task {
        problem_manager& run;
        ~forget_task() {
            std::lock_guard<sea::spin_lock> guard(run.lock);
            run.current_task = nullptr;
        }
    } forget{*this};
    task.start();
    load_task_results(task, master);
    const std::int64_t walks_before = task.statistics().net_stats.nwalks;
    task.run_walks();
    if (!task.estimate_is_finite())
        error_handler::instance().raise(sea::basic_error("the capacitance estimate of master " + master->name +
                                                         " is not a finite number: a walk or start-point weight "
                                                         "was not finite"));

    std::lock_guard<sea::spin_lock> guard(lock);
    current_task = nullptr;
    nwalks += task.statistics().net_stats.nwalks - walks_before;
    nhops += static_cast<std::int64_t>(task.statistics().hops);
    task.report();
    if (task.unconverged_reason()) ++unconverged;
    save_task_results(task, master);
    write_breakpoint(true);
    sample_memory_usage();
    sample_memory_usage();
}
