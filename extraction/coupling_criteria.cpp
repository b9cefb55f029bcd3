#include "extraction/coupling_criteria.hpp"

#include <cstdio>

#include "config/check_options.hpp"
#include "config/configure.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/log_writers.hpp"
#include "geometry/layout.hpp"

namespace {

bool is_wildcard(const std::string& word) { return word == "*" || word == "ALL"; }

void add_criterion(std::vector<coupling_criterion>& criteria, const conductor* net, double error, double ratio) {
    log_info_w().printf("criterion of %s: %g %g\n", net->name.c_str(), error, ratio);
    criteria.push_back({net, error, ratio});
}

} // namespace

std::vector<coupling_tuple> read_coupling_tuples(const std::string& text) {
    std::vector<coupling_tuple> tuples;
    const char* pos = text.c_str();
    // Words are capped so that an overlong one can never overrun the buffers.
    char master[512];
    char net[512];
    for (;;) {
        double error = 0.0, ratio = 0.0;
        int used = 0;
        if (std::sscanf(pos, "%511s%511s%lf%lf%n", master, net, &error, &ratio, &used) != 4) break;
        tuples.push_back({master, net, error, ratio});
        pos += used;
    }
    return tuples;
}

void check_coupling_condition(const std::vector<conductor*>& masters, const std::string& text) {
    for (const coupling_tuple& t : read_coupling_tuples(text)) {
        // A wildcard names a master only when there is one.
        bool known = is_wildcard(t.master) && !masters.empty();
        for (const conductor* m : masters) known = known || m->name == t.master;
        if (!known)
            error_handler::instance().raise(
                sea::basic_error("Coupling stop condition must start with a master name or *"));
        // NaN fails the comparison as well: such an error could never be met.
        if (!(t.error >= smallest_accuracy)) {
            char message[1200];
            std::snprintf(message, sizeof message,
                          "the error of the coupling stop condition \"%s %s %g %g\" of \"--set-coupling-error\" "
                          "must be a number of at least %g",
                          t.master.c_str(), t.net.c_str(), t.error, t.ratio, smallest_accuracy);
            error_handler::instance().raise(sea::basic_error(message));
        }
    }
}

void parse_criteria(std::vector<coupling_criterion>& criteria, const configure& cfg, const layout& lay,
                    const conductor* master) {
    if (cfg.coupling_error > 0) {
        for (const conductor* net : lay.nets)
            if (net != master && !net->floating) add_criterion(criteria, net, cfg.coupling_error, 0.0);
        return;
    }
    for (const coupling_tuple& t : read_coupling_tuples(cfg.set_coupling_error)) {
        if (!is_wildcard(t.master) && t.master != master->name) continue;
        for (const conductor* net : lay.nets) {
            if (net->floating) continue;
            if (is_wildcard(t.net) || net->name == t.net) add_criterion(criteria, net, t.error, t.ratio);
        }
    }
}
