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

private:
    // One index's answer within limit: from the hinted list when p is still in
    // its cell, else from the window when p is outside the critical box in
    // use, else from the list of p's cell.
    template <class Index>
    nearest_result search(const Index& index, const vec3& p, search_hint& h, double limit) const {
        if (!reuse(h, p)) {
            if (critical_used && !box_contains_point(critical_box, p)) {
                const double w = -box_distance(window, p);
                const double d = w < limit - geom_eps ? w : limit;
                return {nullptr, d, d};
            }
            h.list = index.locate(p);
            spacemgr::hint_radius(h, p);
        }
        return spacemgr::candlist::nearest(h, p, limit);
    }

    static bool reuse(search_hint& h, const vec3& p) {
        if (!h.list) return false;
        if (h.list->kind == spacemgr_unused) return true;
        return spacemgr::hint_radius(h, p) >= h.list->base_scope - geom_eps;
    }
};
