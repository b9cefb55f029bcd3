// Reading and writing the resume file's JSON text without one document
// tree for all of it: a tree takes about eight times the text's size, and a
// file holds the results of every master of a run.
#pragma once

#include <json/json.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

// One-line JSON text of a value, as the file holds it.
std::string json_text(const Json::Value& v);

// Parses one JSON value (comments allowed when asked); false on any
// malformed text, nesting beyond the reader's depth limit included.
bool parse_value(std::string_view text, Json::Value& out, bool comments);

// A resume document read member by member: every member parsed, but the
// two results objects kept as one text per master, each parsed on its own.
// The arrays of every master are kept, in their one-line form.
struct resume_document {
    Json::Value members{Json::objectValue};
    std::map<std::string, std::string> results[2];  // by master name
};

// The names of the two results objects, in the order of
// resume_document::results.
extern const char* const results_keys[2];

// False unless the text is one JSON object whose every member parses.
bool read_document(std::string_view text, resume_document& doc);
