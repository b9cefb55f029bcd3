// Conductor index: the id-map merge of conductors that form one net, the
// optional block split, and the pointer lists every later step uses.
#pragma once

#include <cstdio>
#include <map>
#include <string>

struct layout;

using idmap = std::map<std::string, std::string>;

// `idmap` is the "-m" stream (or one reading through it), null without it.
// Also refuses nets that share a name once the merge is done.
void index_layout(layout& l, FILE* idmap);

// A refusal of the layout preparation: "Fatal error: " and the message,
// status 255, unless a registered handler takes the error; then it is
// thrown to the caller.
[[noreturn]] void refuse_layout(const std::string& message);

// Records "Id : <id> Name : <name>" from the "-m" stream; empty without it.
// A malformed record ends the run.
idmap read_idmap_file(FILE* stream);

// Conductors whose names share a key (the text between the first two
// underscores, translated through the id map) become one conductor, unless
// the key is a task name's or the conductor floats.
void merge_conductors_by_idmap(layout& l, FILE* idmap_stream);

// The key of a name, untranslated; empty when the name has fewer than two
// underscores.
bool name_key(const std::string& name, std::string& key);
