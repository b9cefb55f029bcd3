// Conductor index: the id-map merge of conductors that form one net, the
// optional block split, and the pointer lists every later step uses.
#pragma once

#include <map>
#include <string>

struct configure;
struct layout;

using idmap = std::map<std::string, std::string>;

void index_layout(layout& l);

// Records "Id : <id> Name : <name>" from the "-m" stream; empty without it.
// A malformed record ends the run.
idmap read_idmap_file(const configure& cfg);

// Conductors whose names share a key (the text between the first two
// underscores, translated through the id map) become one conductor, unless
// the key is a task name's or the conductor floats.
void merge_conductors_by_idmap(layout& l);

// The key of a name, untranslated; empty when the name has fewer than two
// underscores.
bool name_key(const std::string& name, std::string& key);
