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

// An exclusive lock on a file, made when missing, held while the object
// lives (and by the kernel until the process ends, whatever ends it).
//
// A lock on a file excludes others only while every process finds that
// file at the path: a lock file deleted (a clean-up of dot files) or
// replaced lets the next process lock a new file at the same path. So the
// lock is taken twice: an flock on the file, checked after it is taken to
// be on the file the path names, and a name in the host's abstract socket
// namespace made from the folder's identity and the file's name, which no
// clean-up of files can remove and which the kernel frees when the process
// ends.
class file_lock {
public:
    enum outcome { locked, busy, unavailable };

    file_lock() = default;
    ~file_lock();
    file_lock(const file_lock&) = delete;
    file_lock& operator=(const file_lock&) = delete;

    // `unavailable` when the file cannot be opened or made (a folder
    // without write permission, a symbolic link at the path); error() then
    // tells why.
    outcome acquire(const std::string& path);

    // Whether the path still names the locked file; when it no longer does
    // (deleted or replaced meanwhile), locks the file now at the path.
    outcome renew();

    int error() const { return failure; }

private:
    outcome lock_file();

    std::string path;
    int fd = -1;
    int name_fd = -1;
    int failure = 0;
};

} // namespace sea
