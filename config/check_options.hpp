// Checks of the numeric options that the option machinery takes as typed: a
// value that can never be met or can make no finite layout ends the run with
// a message naming the option, before any geometry is read.
#pragma once

struct configure;

// Finest relative error the convergence check measures; a smaller accuracy
// could only be met by a master that counts as exact.
constexpr double smallest_accuracy = 1e-12;

// Largest window extension, wire width and window growth the options may ask
// for, micrometres: beyond it a layout no longer has room for finite sizes.
constexpr double largest_layout_option = 1e9;

// Largest number of copies a tiled dump may make of the layout.
constexpr long long largest_tile_count = 1000000;

// Raises sea::basic_error through the error handler for a bad value. A walk
// thread count above the machine's processors is lowered to their number,
// with a warning on the warn log.
void check_run_options(configure& cfg);
