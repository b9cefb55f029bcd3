// Registers every command-line option on the settings record, parses and
// applies the command line, then derives what the options leave open.
#pragma once

#include <string>

#include "config/configure.hpp"

// Fills cfg, which holds its defaults, from the words of argv. Returns only
// for a valid command line: option errors, "no valid input\n" (no "-f") and
// a file option that cannot be opened end the process or throw to main.
void parse_configure(configure& cfg, int argc, const char* const* argv);

// The default output file: the input's base name and ".out", in the
// working directory.
std::string default_output_name(const std::string& input_name);

// The default directory of every table set: "../tables" beside the program
// path, normalised ("./korvex" gives "tables").
std::string default_table_directory(const std::string& program_path);

// The words after the program name, each after one blank; a word holding
// white space is put between double quotes.
std::string command_line_text(int first, int argc, const char* const* argv);

// The "--multi-dielectric" word of a mode, as the command line gives it.
const char* dielectric_word(configure::layout_arg mode);
