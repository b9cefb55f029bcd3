// The lumod grammar: fills a layout from the scanner's tokens.
#pragma once

struct layout;

// Parses the scanner's stream into `target`, appending conductors, blocks,
// media and task names and setting the window's boundary kind. Returns only
// on acceptance: a syntax error or an invalid polygon ends the process.
void run_grammar(layout& target);
