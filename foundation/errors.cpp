#include "foundation/errors.hpp"

#include <cstdio>

namespace sea {

namespace {
constexpr std::size_t message_buffer = 1024;
}

file_error file_error::open_failure(const std::string& path, const std::string& mode) {
    char buf[message_buffer];
    std::snprintf(buf, sizeof buf, "cannot open file \"%s\" with flag \"%s\"\n", path.c_str(), mode.c_str());
    return file_error(buf);
}

namespace config_impl {
configure_error configure_error::unknown_argument(const std::string& word) {
    char buf[message_buffer];
    std::snprintf(buf, sizeof buf, "unknown argument '%s'\n", word.c_str());
    return configure_error(buf);
}
} // namespace config_impl

} // namespace sea
