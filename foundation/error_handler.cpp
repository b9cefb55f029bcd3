#include "foundation/error_handler.hpp"

#include "foundation/file_opener.hpp"
#include "foundation/run_end.hpp"

error_handler& error_handler::instance() {
    // The handler's writer may point at an option stream; it is flushed on
    // destruction, which must come before the open-file table closes it.
    sea::config_impl::file_opener::prepare();
    static error_handler handler;
    return handler;
}

error_handler::error_handler() : writer(stderr) { handlers.max_load_factor(1.0f); }

error_handler::~error_handler() { writer.flush(); }

std::string error_handler::key_of(const std::type_info& t) {
    const char* name = t.name();
    if (*name == '*') ++name;
    return name;
}

bool error_handler::dispatch_key(const std::string& key, const sea::base_error& e) {
    handler_fn fn;
    lock.lock();
    auto it = handlers.find(key);
    if (it != handlers.end()) fn = it->second;
    lock.unlock();
    return fn ? fn(e) : false;
}

void error_handler::die(const sea::base_error& e) {
    sea::end_run(std::string("Fatal error: ") + e.what() + "\n", -1, true, sea::run_end::error_handler);
}

void error_handler::report_fatal(const sea::config_impl::configure_error& e) {
    if (!dispatch(e)) die(e);
}

void error_handler::handle(const sea::fatal_error& e) {
    if (!dispatch(e)) die(e);
}

void error_handler::raise(const sea::file_error& e) {
    if (!dispatch(e)) throw e;
}

void error_handler::raise(const sea::basic_error& e) {
    if (!dispatch(e)) throw e;
}
