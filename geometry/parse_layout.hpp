// Reading the geometry file ("-f") into the layout: the first step of the
// run's input preparation.
#pragma once

#include <string>

struct layout;

// Parses the geometry stream `input` (the "-f" stream, or a stream reading
// through it) into target, then releases that stream through the open-file
// table (the option's stream must not be read afterwards) and the scanner's
// buffers. The window starts with no
// boundary and an empty box (lower corner 1e9, upper corner -1e9) that the
// medium sections grow. Returns only when the file was accepted: every error
// in it ends the process with its message on the error log writer.
#include <cstdio>

void parse_layout(layout& target, FILE* input);

// Next generated name of an unnamed conductor or block: "unnamed" and the
// counter in at least five lower-case hexadecimal digits. The counter starts
// at 0 with every parse_layout.
std::string make_default_name();
