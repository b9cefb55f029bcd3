// Indexes of a single list: `simple_spacemgr` over the whole domain and
// `unused_spacemgr`, whose kind-4 list answers {null, 1e9, 1e9}.
#pragma once

#include <vector>

#include "space/candidate_list.hpp"

template <spacemgr_t Kind>
struct simple_spacemgr {
    spacemgr::candlist list;
    spacemgr::scan_pool pool;

    void build(const configure& cfg, const box& domain, const std::vector<block*>& blocks) {
        spacemgr::build_whole_domain_list(list, Kind, cfg, domain, blocks);
        spacemgr::seal_lists(pool, {&list}, blocks.size());
    }
    const spacemgr::candlist* locate(const vec3&) const { return &list; }
};

struct unused_spacemgr {
    spacemgr::candlist list;

    void build(const configure&, const box&, const std::vector<block*>&) {
        list.kind = spacemgr_unused;
    }
    const spacemgr::candlist* locate(const vec3&) const { return &list; }
};
