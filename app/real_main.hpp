// The top-level sequence of one run: settings from the command line, log
// writers, the extraction itself and the total time.
#pragma once

void real_main(int argc, char** argv);
