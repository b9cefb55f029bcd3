// Whole-file replacement that a reader, a kill or a full disk never sees
// half done, and an advisory lock that keeps two processes off one file.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace sea {

// Writes the pieces, one after another, to "<path>.tmp" beside path, syncs
// it and renames it over path, so that path holds either its old content or
// all of the new. The new file gets `mode`. Returns 0, or the errno of the
// step that failed; path is then untouched and the temporary file removed.
int replace_file(const std::string& path, const std::vector<std::string_view>& pieces, mode_t mode);

// An exclusive flock on a file, made when missing, held while the object
// lives (and by the kernel until the process ends, whatever ends it).
class file_lock {
public:
    enum outcome { locked, busy, unavailable };

    file_lock() = default;
    ~file_lock();
    file_lock(const file_lock&) = delete;
    file_lock& operator=(const file_lock&) = delete;

    // `unavailable` when the file cannot be opened or made (a folder
    // without write permission, a symbolic link at the path).
    outcome acquire(const std::string& path);

private:
    int fd = -1;
};

} // namespace sea
