#include "space/candidate_list.hpp"

#include <algorithm>

#include "config/configure.hpp"
#include "foundation/log_writers.hpp"
#include "space/box_measures.hpp"

namespace spacemgr {

void candlist::make_cell(spacemgr_t k, const configure& cfg, const vec3& c, double h, double s) {
    kind = k;
    dominate_group_on = cfg.spacemgr_dominate_group;
    dominate_group_opt_on = cfg.spacemgr_dominate_group_opt;
    rotated_cube = cfg.rotated_cube;
    centre = c;
    half = h;
    base_scope = s;
    scope = s;
    entries.clear();
}

void report_point_inside(const ::block& b) {
    const std::string& name = b.owner ? b.owner->name : b.name;
    log_error_w().printf("error (spacemgr::candlist::nearest): point is inside conductor(%s).\n",
                         name.c_str());
    fatal_exit(-1, false);
}

void candlist::insert(const candidate& c) {
    if (kind == spacemgr_incline_keep && c.rectangular) return;
    if (kind == spacemgr_rect && !c.rectangular) return;
    entries.push_back(c);
}

void candlist::add(const candidate& c) {
    if (kind == spacemgr_incline_keep) {
        if (!c.rectangular) entries.push_back(c);
        return;
    }
    // Every point of the cell lies within 2 half + dist of c, so nothing
    // beyond factor times that can be the nearest or break c's bound.
    const double reach = c.factor * (2 * half + c.dist);
    if (reach < scope - geom_eps) scope = reach;
    for (std::size_t i = 0; i < entries.size();) {
        const candidate& e = entries[i];
        if (!(scope - geom_eps > e.dist)) {
            remove_entry(i);
        } else if (e.dist < -geom_eps) {
            ++i;
        } else if (may_shadow(c, e) && shadowed(c, e)) {
            remove_entry(i);
        } else {
            ++i;
        }
    }
    // A block the kind does not store still shrank the scope and hid entries.
    if (kind == spacemgr_incline && c.rectangular) return;
    if (kind == spacemgr_rect && !c.rectangular) return;
    entries.push_back(c);
}

void candlist::finalize() {
    for (std::size_t i = 0; i < entries.size();) {
        const candidate& e = entries[i];
        // The outer box came near enough, the solid itself may not.
        if (!e.rectangular && !(block_distance(centre, e.block->solid) < scope + half - geom_eps))
            remove_entry(i);
        else
            ++i;
    }
    std::sort(entries.begin(), entries.end(),
              [](const candidate& a, const candidate& b) { return a.dist < b.dist; });
}

void seal_lists(scan_pool& pool, const std::vector<candlist*>& lists) {
    std::size_t total = 0;
    for (const candlist* l : lists) total += l->entries.size();
    pool.clear();
    // Reserved in full: the lists keep addresses into the pool.
    pool.reserve(total);
    for (candlist* l : lists) {
        const std::size_t first = pool.size();
        for (const candidate& c : l->entries) {
            const solid& s = c.block->solid;
            // Only boxes are read from the entry; their cross-section is
            // measured from the box shape.
            const box& xy = c.rectangular ? s.shape.box : s.outer_box;
            const uintptr_t flags = (c.rectangular ? scan_entry::rectangular_bit : 0) |
                                    (c.factor == rotated_factor ? scan_entry::rotated_bit : 0);
            pool.push_back({c.dist, s.outer_box.lo.z, s.outer_box.hi.z, xy.lo.x, xy.lo.y, xy.hi.x, xy.hi.y,
                            reinterpret_cast<uintptr_t>(c.block) | flags});
        }
        l->scan_begin = pool.data() + first;
        l->scan_end = pool.data() + pool.size();
        std::vector<candidate>().swap(l->entries);
    }
}

bool node_add_candidate(candlist& list, const candidate& c) {
    if (!(list.scope - geom_eps > c.dist)) return false;
    if (list.kind != spacemgr_incline_keep && !(c.dist < -geom_eps)) {
        for (const candidate& e : list.entries)
            if (e.block == c.block || (list.may_shadow(e, c) && list.shadowed(e, c))) return false;
    }
    list.add(c);
    return true;
}

candidate cell_candidate(const ::block& b, const vec3& centre, double half, bool rotated_cube) {
    const bool rect = b.solid.kind == solid_box;
    const int32_t factor = rotated_cube && !rect ? rotated_factor : 1;
    return {&b, block_distance(centre, b.solid) - half, uint8_t(rect), uint8_t(rect), factor};
}

void node_inherit_candidates(candlist& child, const candlist& parent) {
    child.entries.reserve(parent.entries.size());
    for (const candidate& e : parent.entries) {
        candidate c = cell_candidate(*e.block, child.centre, child.half, false);
        c.factor = e.factor;
        node_add_candidate(child, c);
    }
}

void build_whole_domain_list(candlist& list, spacemgr_t kind, const configure& cfg,
                             const box& domain, const std::vector<::block*>& blocks) {
    const cube c = bounding_cube(domain);
    // No reach beyond the cube: a hint's radius is the distance to its faces.
    list.make_cell(kind, cfg, c.centre, c.half, 0.0);
    for (const ::block* b : blocks) {
        const bool rect = b->solid.kind == solid_box;
        const int32_t factor = cfg.rotated_cube && !rect ? rotated_factor : 1;
        const candidate e{b, box_distance(b->solid.outer_box, list.centre) - list.half, uint8_t(rect),
                          0, factor};
        // Only blocks that reach into the cube.
        if (list.scope - geom_eps > e.dist) list.insert(e);
    }
    list.finalize();
}

}  // namespace spacemgr
