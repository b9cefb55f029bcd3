// The lumod scanner: cuts a geometry file into the grammar's tokens.
// Its state (stream, buffers, line counter) is process-wide: the geometry is
// read once, on the main thread, before any other thread exists.
#pragma once

#include <cstdio>

// Line of the scanner's position, from 1: every line feed of a newline token
// or a comment counts one; a carriage return alone counts nothing.
extern int lumod_line;

// Starts scanning `in` from its current position with the line counter at 1.
void scanner_begin(FILE* in);
// Releases the scanner's buffers; the stream itself is left open.
void scanner_end();

// Next token: a token code of the grammar, a single character as its own
// code, or 0 at the end of input. An unknown character ends the process.
int lumod_lex();
// Text of the token read last; empty after the end of input.
const char* scanner_text();
// Value of the NUMBER token read last.
double scanner_number();
// Text of the STRING token read last, allocated with new[]; the caller owns it.
char* scanner_string();
