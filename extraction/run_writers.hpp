// The run's three output writers: the screen, the output file, and both.
#pragma once

#include <memory>

#include "foundation/writer.hpp"

struct configure;

struct run_writers {
    // Destroyed in the reverse order: both_out first (it flushes the other
    // two), then file_out, then screen_out.
    std::unique_ptr<sea::writer> screen_out;
    std::unique_ptr<sea::writer> file_out;
    std::unique_ptr<sea::multi_writer> both_out;

    sea::writer& screen() const { return *screen_out; }
    sea::writer& file() const { return *file_out; }
    sea::writer& both() const { return *both_out; }
};

// The screen (standard output, or a discarding writer without
// "--std-output"), the output file ("-o") and a writer to both, in that order.
void open_run_writers(run_writers& w, const configure& cfg);
// The same over two given writers (tests).
void open_run_writers(run_writers& w, std::unique_ptr<sea::writer> screen, std::unique_ptr<sea::writer> file);
