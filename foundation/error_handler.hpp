// Process-wide registry mapping an exception type to a handler that may
// accept the error. The program registers none, so every error takes its
// default path.
#pragma once

#include <functional>
#include <string>
#include <typeinfo>
#include <unordered_map>

#include "foundation/errors.hpp"
#include "foundation/spin_lock.hpp"
#include "foundation/writer.hpp"

class error_handler {
public:
    using handler_fn = std::function<bool(const sea::base_error&)>;

    static error_handler& instance();

    // Looks the exact type up under the lock, runs the handler outside it.
    template <class E>
    bool dispatch(const E& e) {
        return dispatch_key(key_of(typeid(E)), e);
    }

    // configure_error / fatal_error: dispatch, else the run ends with
    // "Fatal error: %s\n" on this handler's writer and status -1 (a
    // sea::run_end, for the entry to carry out).
    void report_fatal(const sea::config_impl::configure_error& e);
    void handle(const sea::fatal_error& e);
    // file_error / basic_error: dispatch, else throw a copy.
    void raise(const sea::file_error& e);
    void raise(const sea::basic_error& e);

    // Standard error until the run points it at the "--log-error-file" stream.
    void set_stream(FILE* stream) { writer.stream = stream; }
    sea::file_writer& out() { return writer; }

    ~error_handler();

private:
    error_handler();
    static std::string key_of(const std::type_info& t);
    bool dispatch_key(const std::string& key, const sea::base_error& e);
    [[noreturn]] void die(const sea::base_error& e);

    std::unordered_map<std::string, handler_fn> handlers;
    sea::file_writer writer;
    sea::spin_lock lock;
};
