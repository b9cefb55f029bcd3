// One master's statistics in the resume file's form: a "block_results"
// and a "net_results" array of one element per key, as one-line JSON
// texts. Reading them back checks that every number could come from real
// walks of this run's master before any of it reaches the task.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>
#include <unordered_map>

class extraction_task;
struct block;
struct layout;

// A stored count: an integer from 0 to a bound that leaves room for the
// walks of the runs that continue it, else -1.
std::int64_t stored_count(const Json::Value& v);

// The master's two arrays; each block is stored with its position in the
// layout's block list (`block_index`), since the pieces of one polygon
// share a name.
void write_master_statistics(const extraction_task& task,
                             const std::unordered_map<const block*, Json::Int64>& block_index, std::string& blocks,
                             std::string& nets);

// Restores the two arrays into the task's statistics before its walks;
// false when they are damaged or do not fit this run (the task may then
// hold part of them: clear_master_statistics undoes that).
bool read_master_statistics(extraction_task& task, const std::string& blocks, const std::string& nets,
                            const layout& lay);
void clear_master_statistics(extraction_task& task);
