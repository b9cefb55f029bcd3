#include "geometry/index_layout.hpp"

#include <cstdio>
#include <set>
#include <unordered_map>
#include <vector>

#include "config/configure.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/errors.hpp"
#include "foundation/run_end.hpp"
#include "geometry/layout.hpp"
#include "geometry/split_blocks.hpp"

namespace {

std::string translated(const idmap& map, const std::string& key) {
    auto it = map.find(key);
    return it == map.end() ? key : it->second;
}

// The report, the coupling criteria and the resume file know a net by its
// name alone: two nets of one name would take each other's results.
void check_unique_names(const layout& l) {
    std::unordered_map<std::string, int> count;
    std::vector<const std::string*> shared;
    for (const conductor& c : l.conductors)
        if (++count[c.name] == 2) shared.push_back(&c.name);
    if (shared.empty()) return;
    std::string names;
    for (const std::string* name : shared)
        names += (names.empty() ? "" : ", ") + *name + " (" + std::to_string(count[*name]) + " nets)";
    refuse_layout("conductor names given to more than one net: " + names + "; each net needs a name of its own");
}

} // namespace

void refuse_layout(const std::string& message) {
    const sea::fatal_error e(message);
    error_handler::instance().handle(e);
    throw e;
}

bool name_key(const std::string& name, std::string& key) {
    const std::size_t first = name.find('_');
    if (first == std::string::npos) return false;
    const std::size_t second = name.find('_', first + 1);
    if (second == std::string::npos) return false;
    key = name.substr(first + 1, second - first - 1);
    return true;
}

idmap read_idmap_file(FILE* stream) {
    idmap map;
    if (!stream) return map;
    // Fields are capped: a longer id or name breaks the record's pattern
    // and is refused as a format error.
    char id[128];
    char name[128];
    for (;;) {
        const int got = std::fscanf(stream, "Id : %127s Name : %127s\n", id, name);
        if (got == 2) {
            map[id] = name;
            continue;
        }
        if (got == EOF) break;
        sea::end_run("error: idmap file format error, please use 'Id : num  Name : name' for every line (be careful of "
                     "blank character).\n",
                     -1);
    }
    return map;
}

void merge_conductors_by_idmap(layout& l, FILE* idmap_stream) {
    const idmap map = read_idmap_file(idmap_stream);
    std::set<std::string> protected_keys;
    std::string key;
    for (const std::string& task : l.task_names)
        if (name_key(task, key)) protected_keys.insert(translated(map, key));

    std::deque<conductor> merged;
    std::unordered_map<std::string, conductor*> group;
    for (const conductor& c : l.conductors) {
        if (c.floating || !name_key(c.name, key)) {
            merged.push_back(c);
            continue;
        }
        const std::string k = translated(map, key);
        if (protected_keys.count(k)) {
            merged.push_back(c);
            continue;
        }
        auto found = group.find(k);
        if (found != group.end()) {
            found->second->blocks.insert(found->second->blocks.end(), c.blocks.begin(), c.blocks.end());
            continue;
        }
        merged.push_back(c);
        group[k] = &merged.back();
    }
    l.conductors.swap(merged);
    for (conductor& c : l.conductors)
        for (block* b : c.blocks) b->owner = &c;
}

void index_layout(layout& l, FILE* idmap) {
    if (l.cfg->enable_merge) merge_conductors_by_idmap(l, idmap);
    check_unique_names(l);
    l.nets.clear();
    for (conductor& c : l.conductors) l.nets.push_back(&c);
    if (l.cfg->spacemgr_split_block) split_incline_blocks(l);
    for (block& b : l.blocks) {
        l.all_blocks.push_back(&b);
        if (b.floating) l.floating_blocks.push_back(&b);
        switch (b.solid.kind) {
        case solid_box: l.box_blocks.push_back(&b); break;
        case solid_cylinder:
            l.cylinder_blocks.push_back(&b);
            l.nonbox_blocks.push_back(&b);
            break;
        case solid_prism:
            l.prism_blocks.push_back(&b);
            l.nonbox_blocks.push_back(&b);
            break;
        }
    }
}
