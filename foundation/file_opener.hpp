// The streams that file options open, shared process-wide by file identity
// (inode number) with a count of users. Every stream in the table is closed
// at exit; a user may release its stream earlier.
#pragma once

#include <cstdio>

namespace sea::config_impl {

struct file_opener {
    // "null", "" or a null path open "/dev/null"; "stdin", "stdout" and
    // "stderr" are the standard streams whatever the mode; "-" is standard
    // input for a reading mode and standard output for a writing one.
    // A file already in the table with the same mode flags is shared (not
    // reopened, so not truncated twice); with other flags, or when fopen
    // fails, a sea::file_error is raised and null is returned if a handler
    // accepted it.
    static FILE* open(const char* path, const char* mode);

    // Drops one user of a stream from open(); the last user closes it.
    // Standard streams and streams the table does not hold are left alone.
    static void release(FILE* stream);

    // Users of a stream in the table; 0 when the table does not hold it.
    static int users(FILE* stream);

    // Creates the table now. Whatever writes to its streams from an at-exit
    // routine (log writers, the error handler) calls this first, so that
    // the table's closing runs after it.
    static void prepare();
};

// Flushes a stream that a file option opened and raises a sea::basic_error
// "<what> could not be written in full to \"<file>\"" (with the reason when
// the flush tells it) when the flush or an earlier write failed: a full
// disk or a file size limit must not end as a successful run. A null
// stream passes.
void check_written(FILE* stream, const char* what);

// Bit set of a fopen mode: 1 'r', 2 'w', 4 'a', 8 '+', 16 'b'.
unsigned mode_flags(const char* mode);

} // namespace sea::config_impl
