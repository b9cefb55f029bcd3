// Coupling stop conditions: "-e" / "--coupling-error" (one error for every
// other net) and "--set-coupling-error" tuples "master net error ratio ...".
#pragma once

#include <string>
#include <vector>

struct configure;
struct conductor;
struct layout;

struct coupling_criterion {
    const conductor* net;
    double error;  // wanted relative error
    double ratio;  // ignored while the net's capacitance is below ratio x master's
};

struct coupling_tuple {
    std::string master;
    std::string net;
    double error;
    double ratio;
};

// Tuples in order; reading stops silently at the first incomplete tuple.
std::vector<coupling_tuple> read_coupling_tuples(const std::string& text);

// Raises sea::basic_error through the error handler when a tuple's master
// word is neither "*", "ALL" nor the name of a master (with no master at
// all, every tuple fails), or when its error could never be met.
void check_coupling_condition(const std::vector<conductor*>& masters, const std::string& text);

// Appends the criteria of one master, logging "criterion of" lines.
void parse_criteria(std::vector<coupling_criterion>& criteria, const configure& cfg, const layout& lay,
                    const conductor* master);
