// The top-level sequence of one run: settings from the command line, log
// writers, the extraction itself and the total time.
#pragma once

// Exit status of a run that reported a master whose error could not be
// measured (it stopped at the walk cap): its report is complete, its
// figures are not to be relied on.
constexpr int unconverged_exit_status = 3;

// Returns the exit status: 0, or unconverged_exit_status.
int real_main(int argc, char** argv);
