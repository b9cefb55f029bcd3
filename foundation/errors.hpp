// The program's exception family. Every error is offered to the error
// handler (foundation/error_handler.hpp) before it takes its default path.
#pragma once

#include <stdexcept>
#include <string>

namespace sea {

struct base_error : std::logic_error {
    using std::logic_error::logic_error;
};

// Default path: "Fatal error: %s\n" on the handler's writer and status -1,
// carried out by the entry.
struct fatal_error : base_error {
    using base_error::base_error;
};

// Default path: thrown, ends the run in main.
struct basic_error : base_error {
    using base_error::base_error;
};

struct file_error : basic_error {
    using basic_error::basic_error;
    // "cannot open file \"%s\" with flag \"%s\"\n", cut to 1023 characters.
    static file_error open_failure(const std::string& path, const std::string& mode);
};

namespace config_impl {
struct configure_error : fatal_error {
    using fatal_error::fatal_error;
    // "unknown argument '%s'\n", cut to 1023 characters.
    static configure_error unknown_argument(const std::string& word);
};
} // namespace config_impl

} // namespace sea
