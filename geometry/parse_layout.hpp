// Reading the geometry file ("-f") into the layout: the first step of the
// run's input preparation.
#pragma once

#include <string>

struct layout;

// Parses the stream configure::input_file of target.cfg into target, then
// releases that stream through the open-file table (the field becomes null)
// and the scanner's buffers. The window starts with no
// boundary and an empty box (lower corner 1e9, upper corner -1e9) that the
// medium sections grow. Returns only when the file was accepted: every error
// in it ends the process with its message on the error log writer.
void parse_layout(layout& target);

// Next generated name of an unnamed conductor or block: "unnamed" and the
// counter in at least five lower-case hexadecimal digits. The counter starts
// at 0 with every parse_layout.
std::string make_default_name();
