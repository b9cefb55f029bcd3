#include "foundation/file_opener.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>

#include "foundation/error_handler.hpp"
#include "foundation/spin_lock.hpp"

namespace sea::config_impl {

namespace {

struct open_file {
    unsigned flags;
    FILE* stream;
    int users;
};

// Keyed by inode number alone: files on different file systems may collide.
class file_cache {
public:
    ~file_cache() {
        for (auto& entry : files) std::fclose(entry.second.stream);
    }

    std::unordered_map<ino_t, open_file> files;
    spin_lock lock;
};

file_cache& cache() {
    static file_cache table;
    return table;
}

bool is_standard(FILE* s) { return s == stdin || s == stdout || s == stderr; }

FILE* refuse(const char* path, const char* mode) {
    error_handler::instance().raise(file_error::open_failure(path, mode));
    return nullptr;
}

} // namespace

unsigned mode_flags(const char* mode) {
    unsigned flags = 0;
    if (std::strchr(mode, 'r')) flags |= 1;
    if (std::strchr(mode, 'w')) flags |= 2;
    if (std::strchr(mode, 'a')) flags |= 4;
    if (std::strchr(mode, '+')) flags |= 8;
    if (std::strchr(mode, 'b')) flags |= 16;
    return flags;
}

FILE* file_opener::open(const char* path, const char* mode) {
    if (!path || !*path || std::strcmp(path, "null") == 0) {
        path = "/dev/null";
    } else if (std::strcmp(path, "stdin") == 0) {
        return stdin;
    } else if (std::strcmp(path, "stdout") == 0) {
        return stdout;
    } else if (std::strcmp(path, "stderr") == 0) {
        return stderr;
    } else if (std::strcmp(path, "-") == 0) {
        if (!std::strpbrk(mode, "wa+")) return stdin;
        if (!std::strpbrk(mode, "r+")) return stdout;
    }

    const unsigned flags = mode_flags(mode);
    struct stat st;
    const bool exists = ::stat(path, &st) == 0;
    file_cache& table = cache();
    table.lock.lock();
    if (exists) {
        auto it = table.files.find(st.st_ino);
        if (it != table.files.end()) {
            if (it->second.flags != flags) {
                table.lock.unlock();
                return refuse(path, mode);
            }
            ++it->second.users;
            FILE* shared = it->second.stream;
            table.lock.unlock();
            return shared;
        }
    }
    FILE* stream = std::fopen(path, mode);
    if (!stream) {
        table.lock.unlock();
        return refuse(path, mode);
    }
    struct stat opened;
    if (::fstat(fileno(stream), &opened) == 0) table.files.emplace(opened.st_ino, open_file{flags, stream, 1});
    table.lock.unlock();
    return stream;
}

void file_opener::release(FILE* stream) {
    if (!stream || is_standard(stream)) return;
    file_cache& table = cache();
    table.lock.lock();
    for (auto it = table.files.begin(); it != table.files.end(); ++it) {
        if (it->second.stream != stream) continue;
        if (--it->second.users > 0) break;
        table.files.erase(it);
        table.lock.unlock();
        std::fclose(stream);
        return;
    }
    table.lock.unlock();
}

int file_opener::users(FILE* stream) {
    file_cache& table = cache();
    table.lock.lock();
    int n = 0;
    for (const auto& entry : table.files)
        if (entry.second.stream == stream) n = entry.second.users;
    table.lock.unlock();
    return n;
}

void file_opener::prepare() { cache(); }

namespace {

// The name a stream was opened under, for messages.
std::string stream_name(FILE* stream) {
    char name[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(::fileno(stream));
    const ssize_t n = ::readlink(link.c_str(), name, sizeof name - 1);
    return n > 0 ? std::string(name, static_cast<std::size_t>(n)) : link;
}

} // namespace

void check_written(FILE* stream, const char* what) {
    if (!stream) return;
    const bool flushed = std::fflush(stream) == 0;
    const int reason = errno;
    if (flushed && !std::ferror(stream)) return;
    std::string message = std::string(what) + " could not be written in full to \"" + stream_name(stream) + "\"";
    if (!flushed) message += std::string(": ") + std::strerror(reason);
    error_handler::instance().raise(basic_error(message));
}

} // namespace sea::config_impl
