// The four levelled log writers shared by the whole process.
#pragma once

#include <array>
#include <cstdio>

#include "foundation/writer.hpp"

enum log_level : int { log_debug = 0, log_info = 1, log_warn = 2, log_error = 3, log_off = 4 };

// Null until rebuilt after parsing; a level that is off holds an empty writer.
std::array<sea::writer*, 4>& log_writers();

// Replaces all four writers: slot i writes to streams[i] when i >= level
// (and level is 0..3), otherwise it discards.
void rebuild_log_writers(int level, const std::array<FILE*, 4>& streams);

// The writer of one level; before the writers are built it discards, so
// library code and unit tests may log freely.
sea::writer& log_writer(int level);
inline sea::writer& log_debug_w() { return log_writer(log_debug); }
inline sea::writer& log_info_w() { return log_writer(log_info); }
inline sea::writer& log_warn_w() { return log_writer(log_warn); }
inline sea::writer& log_error_w() { return log_writer(log_error); }

// Ends the run after a fatal message that the caller has printed on the
// error log writer itself: flushes that writer at once (the message keeps
// its place among the lines of other threads) and raises a sea::run_end
// with nothing left to print. Sites that can build their message raise
// sea::run_end with it instead.
[[noreturn]] void fatal_exit(int status, bool cleanup = true);
