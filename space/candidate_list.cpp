#include "space/candidate_list.hpp"

#include <algorithm>
#include <stdexcept>

#include "config/configure.hpp"
#include "foundation/run_end.hpp"
#include "foundation/writer.hpp"
#include "space/box_measures.hpp"
#include "space/hiding.hpp"

namespace spacemgr {

namespace {

// Entries a cell list makes room for at its first.
constexpr std::size_t first_room = 8;

// Without the group forms, `shadowed` is the single-box test alone, which a
// list runs with one side measured once for all its entries.
bool single_box_hiding(const candlist& l) { return !l.dominate_group_on && !l.dominate_group_opt_on; }

}  // namespace

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
    sea::end_run(sea::formatted("error (spacemgr::candlist::nearest): point is inside conductor(%s).\n", name.c_str()),
                 -1, false);
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
    const bool single = single_box_hiding(*this);
    cell_gaps hider{};
    bool measured = false;
    for (std::size_t i = 0; i < entries.size();) {
        const candidate& e = entries[i];
        if (!(scope - geom_eps > e.dist)) {
            remove_entry(i);
        } else if (e.dist < -geom_eps) {
            ++i;
        } else if (!may_shadow(c, e)) {
            ++i;
        } else if (single) {
            if (!measured) hider = measure_gaps(centre, half, c.block->solid.inner_box);
            measured = true;
            if (dominates(hider, measure_gaps(centre, half, e.block->solid.outer_box), c.factor)) remove_entry(i);
            else ++i;
        } else if (shadowed(c, e)) {
            remove_entry(i);
        } else {
            ++i;
        }
    }
    // A block the kind does not store still shrank the scope and hid entries.
    if (kind == spacemgr_incline && c.rectangular) return;
    if (kind == spacemgr_rect && !c.rectangular) return;
    // Cell lists mostly grow to several entries: fewer, larger steps.
    if (entries.empty()) entries.reserve(first_room);
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

namespace {

// The row of each block met so far: open addressing on the block's address,
// at most half full, one flat array (a node per block would cost as much
// as the rows themselves to allocate).
class row_table {
public:
    explicit row_table(std::size_t blocks) {
        std::size_t n = 16;
        while (n < 2 * blocks) n *= 2;
        slots_.assign(n, nullptr);
    }
    // The slot of b: holds b's row, or null when b has none yet.
    const scan_box*& slot(const ::block* b) {
        const std::size_t mask = slots_.size() - 1;
        // A block is larger than 64 bytes: the low bits of its address
        // carry little.
        std::size_t i = (reinterpret_cast<uintptr_t>(b) >> 6) * 0x9E3779B97F4A7C15ull >> 20 & mask;
        while (slots_[i] && slots_[i]->block != b) i = (i + 1) & mask;
        return slots_[i];
    }

private:
    std::vector<const scan_box*> slots_;
};

}  // namespace

void seal_lists(scan_pool& pool, const std::vector<candlist*>& lists, std::size_t blocks) {
    if (pool.rows.capacity() == 0) pool.rows.reserve(blocks);
    row_table row_of(pool.rows.capacity());
    for (const scan_box& r : pool.rows) row_of.slot(r.block) = &r;
    for (const candlist* l : lists)
        for (const candidate& c : l->entries) {
            const scan_box*& row = row_of.slot(c.block);
            if (row) {
                if (row->factor != c.factor)
                    throw std::logic_error("seal_lists: one block with two factors in one index");
                continue;
            }
            if (pool.rows.size() == pool.rows.capacity())
                throw std::logic_error("seal_lists: more blocks than the pool was opened for");
            const solid& s = c.block->solid;
            // Only boxes are measured from the row, from their box shape.
            const box& xy = c.rectangular ? s.shape.box : s.outer_box;
            pool.rows.push_back({s.outer_box.lo.z, s.outer_box.hi.z, xy.lo.x, xy.lo.y, xy.hi.x, xy.hi.y, c.block,
                                 c.rectangular, uint8_t(s.kind == solid_prism), c.factor});
            row = &pool.rows.back();
        }
    pool.lists.reserve(pool.lists.size() + lists.size());
    for (candlist* l : lists) {
        scan_entry* next = nullptr;
        if (!l->entries.empty()) {
            pool.lists.emplace_back(new scan_entry[l->entries.size()]);
            next = pool.lists.back().get();
        }
        l->scan_begin = next;
        l->scan_size = uint32_t(l->entries.size());
        for (const candidate& c : l->entries) *next++ = {c.dist, row_of.slot(c.block)};
        std::vector<candidate>().swap(l->entries);
    }
}

bool node_add_candidate(candlist& list, const candidate& c) {
    if (!(list.scope - geom_eps > c.dist)) return false;
    if (list.kind != spacemgr_incline_keep && !(c.dist < -geom_eps)) {
        // Without the group forms the hidden side is measured once for all
        // entries. Blocks come in layout order, so the latest entries lie
        // nearest c and most often hide it: tested first, they end the
        // search soonest.
        const bool single = single_box_hiding(list);
        const cell_gaps hidden = single ? measure_gaps(list.centre, list.half, c.block->solid.outer_box) : cell_gaps{};
        auto hides = [&](const candidate& e) {
            if (!list.may_shadow(e, c)) return false;
            if (!single) return list.shadowed(e, c);
            return dominates(measure_gaps(list.centre, list.half, e.block->solid.inner_box), hidden, e.factor);
        };
        for (auto e = list.entries.rbegin(); e != list.entries.rend(); ++e)
            if (e->block == c.block || hides(*e)) return false;
    }
    list.add(c);
    return true;
}

candidate cell_candidate(const ::block& b, const vec3& centre, double half, bool rotated_cube) {
    const solid& s = b.solid;
    const bool rect = s.kind == solid_box;
    const int32_t factor = rotated_cube && !rect ? rotated_factor : 1;
    const double d = block_distance(centre, s);
    return {&b, d - half, uint8_t(rect), uint8_t(rect), factor};
}

void node_inherit_candidates(candlist& child, const candlist& parent) {
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
