// A space manager over a primary and a secondary index. The primary answers
// within the caller's limit; the secondary (blocks the primary does not keep)
// only within the primary's answer, and wins when strictly nearer.
#pragma once

#include <type_traits>

#include "geometry/box.hpp"
#include "space/box_measures.hpp"
#include "space/candidate_list.hpp"
#include "space/simple_spacemgr.hpp"
#include "space/space_manager.hpp"

// Indexes with a second, wider structure to retry answers their cell capped.
template <class Index, class = void>
struct has_wide : std::false_type {};
template <class Index>
struct has_wide<Index, std::void_t<decltype(&Index::locate_wide)>> : std::true_type {};

template <class Primary, class Secondary>
class basic_space_manager final : public space_manager_interface {
public:
    nearest_result find_nearest(const vec3& p, search_hint& h1, search_hint& h2,
                                double max) const override {
        const nearest_result r1 = search(primary, p, h1, max);
        // An unused secondary answers {null, 1e9, 1e9} and never wins.
        if constexpr (std::is_same<Secondary, unused_spacemgr>::value) {
            return r1;
        } else {
            const double d1 = r1.dist;
            const nearest_result s = search(secondary, p, h2, d1);
            if (d1 - geom_eps > s.dist) return {s.block, s.dist, s.bound < d1 - geom_eps ? s.bound : d1};
            return r1;
        }
    }

    box domain{};
    box window{};
    box critical_box{};
    uint8_t critical_used = 0;
    Primary primary;
    Secondary secondary;
    // With the critical box in use: every block that reaches out of it far
    // enough to be nearer than the window to some point outside it (the
    // ground slab spans the whole window), nearest possible first.
    spacemgr::candlist outside;
    spacemgr::scan_pool outside_pool;

private:
    // One index's answer within limit: from the hinted list when p is still in
    // its cell, else from the window and the blocks reaching out of the
    // critical box when p is outside the critical box in use, else from the
    // list of p's cell. An index with a wide tree asks both structures when
    // the first one's reach, not a block or the limit, ended its search:
    // the wide tree first while it answers better than the cells (in sparse
    // space it usually proves the most alone), else the cells first.
    template <class Index>
    nearest_result search(const Index& index, const vec3& p, search_hint& h, double limit) const {
        bool final = false;
        if constexpr (!has_wide<Index>::value) {
            return in_cell(index, p, h, limit, final);
        } else {
            search_hint w{h.wide};
            const bool wide_first = w.list && (reuse(w, p) || relocate_wide(index, p, w));
            nearest_result first, second;
            if (wide_first) {
                h.wide = w.list;
                first = spacemgr::candlist::nearest(w, p, limit);
                if (!capped(first, limit)) return first;
                // A cell whose reach ends nearer cannot prove more.
                if (reuse(h, p) && h.radius <= first.dist) return first;
                second = in_cell(index, p, h, limit, final);
                if (final) return second;
                // The cells answer better here: they go first again.
                if (!capped(second, limit)) h.wide = nullptr;
            } else {
                first = in_cell(index, p, h, limit, final);
                if (final || !capped(first, limit)) return first;
                w.list = h.wide = index.locate_wide(p);
                // A wide leaf whose reach ends nearer cannot prove more.
                if (spacemgr::hint_radius(w, p) <= first.dist) return first;
                second = spacemgr::candlist::nearest(w, p, limit);
            }
            // Both answers are proven: a block found is the nearest, and no
            // block lies nearer than a distance found empty. The larger
            // stands; on a tie, the first.
            return second.dist > first.dist ? second : first;
        }
    }

    // Locates p in the wide tree unless p lies outside the critical box in
    // use, which the cells' search answers from the window.
    template <class Index>
    bool relocate_wide(const Index& index, const vec3& p, search_hint& w) const {
        if (critical_used && !box_contains_point(critical_box, p)) return false;
        w.list = index.locate_wide(p);
        spacemgr::hint_radius(w, p);
        return true;
    }

    // The answer of p's cell, or of the window and the blocks reaching out
    // of the critical box (final: nothing wider is kept out there).
    template <class Index>
    nearest_result in_cell(const Index& index, const vec3& p, search_hint& h, double limit, bool& final) const {
        if (!reuse(h, p)) {
            if (critical_used && !box_contains_point(critical_box, p)) {
                final = true;
                return outside_critical(p, limit);
            }
            h.list = index.locate(p);
            spacemgr::hint_radius(h, p);
        }
        return spacemgr::candlist::nearest(h, p, limit);
    }

    // No block found and the cell's reach, not the limit, ended the search.
    static bool capped(const nearest_result& r, double limit) { return !r.block && r.dist < limit - geom_eps; }

    // The distance to the nearest window face, or to a block reaching out of
    // the critical box when that is nearer; the hint is left as it was.
    nearest_result outside_critical(const vec3& p, double limit) const {
        const search_hint window_reach{&outside, -box_distance(window, p)};
        return spacemgr::candlist::nearest(window_reach, p, limit);
    }

    static bool reuse(search_hint& h, const vec3& p) {
        if (!h.list) return false;
        if (h.list->kind == spacemgr_unused) return true;
        return spacemgr::hint_radius(h, p) >= h.list->base_scope - geom_eps;
    }
};
