#include "foundation/log_writers.hpp"

#include <cstdlib>
#include <string>

#include "foundation/file_opener.hpp"
#include "foundation/run_end.hpp"

namespace {

void destroy_log_writers() {
    for (sea::writer*& w : log_writers()) {
        delete w;
        w = nullptr;
    }
}

} // namespace

std::array<sea::writer*, 4>& log_writers() {
    static std::array<sea::writer*, 4> writers = [] {
        // The writers flush option streams when destroyed: they must go
        // before the open-file table closes those streams.
        sea::config_impl::file_opener::prepare();
        std::atexit(destroy_log_writers);
        return std::array<sea::writer*, 4>{};
    }();
    return writers;
}

void rebuild_log_writers(int level, const std::array<FILE*, 4>& streams) {
    auto& slots = log_writers();
    for (int i = 0; i < 4; ++i) {
        delete slots[i];
        FILE* s = (level >= 0 && level <= 3 && i >= level) ? streams[i] : nullptr;
        slots[i] = s ? static_cast<sea::writer*>(new sea::file_writer(s)) : new sea::empty_writer();
    }
}

sea::writer& log_writer(int level) {
    static sea::empty_writer discard;
    sea::writer* w = log_writers()[level];
    return w ? *w : discard;
}

void fatal_exit(int status, bool cleanup) {
    log_error_w().flush();
    sea::end_run(std::string(), status, cleanup, sea::run_end::already_written);
}
