#include "space/hiding.hpp"

#include <algorithm>

#include "space/box_measures.hpp"
#include "space/candidate_list.hpp"

namespace spacemgr {

namespace {

double coord(const vec3& v, int axis) { return axis_of(v, axis); }

// Both fewer than two boxes: the single-box test already said all there is.
bool single_boxes(const solid& h, const solid& x) {
    return h.inner_boxes.size() < 2 && x.outer_boxes.size() < 2;
}

}  // namespace

bool dominate_test(const candlist& cell, const box& a, const box& b, int factor) {
    return dominates(measure_gaps(cell.centre, cell.half, a), measure_gaps(cell.centre, cell.half, b), factor);
}

bool dominate_group(const candlist& cell, const std::vector<box>& a, const box& b, int factor) {
    const double t = (box_distance(b, cell.centre) - cell.half) / factor;
    if (t < 0 || a.empty()) return false;
    const box c = grow_box({cell.centre, cell.centre}, cell.half);
    // The grown boxes that meet the cell, clipped to it.
    std::vector<box> grown;
    for (const box& x : a) {
        box g = grow_box(x, t);
        bool meets = true;
        for (int k = 0; k < 3; ++k) {
            axis_of(g.lo, k) = std::max(coord(g.lo, k), coord(c.lo, k));
            axis_of(g.hi, k) = std::min(coord(g.hi, k), coord(c.hi, k));
            meets = meets && coord(g.lo, k) <= coord(g.hi, k);
        }
        if (meets) grown.push_back(g);
    }
    if (grown.empty()) return false;
    // Every elementary box between the cut coordinates must lie in one grown
    // box; slivers up to 1e-9 wide count as covered.
    std::vector<double> cuts[3];
    for (int k = 0; k < 3; ++k) {
        cuts[k].push_back(coord(c.lo, k));
        cuts[k].push_back(coord(c.hi, k));
        for (const box& g : grown) {
            cuts[k].push_back(coord(g.lo, k));
            cuts[k].push_back(coord(g.hi, k));
        }
        std::sort(cuts[k].begin(), cuts[k].end());
        cuts[k].erase(std::unique(cuts[k].begin(), cuts[k].end()), cuts[k].end());
    }
    for (std::size_t i = 0; i + 1 < cuts[0].size(); ++i) {
        if (cuts[0][i + 1] - cuts[0][i] <= geom_eps) continue;
        for (std::size_t j = 0; j + 1 < cuts[1].size(); ++j) {
            if (cuts[1][j + 1] - cuts[1][j] <= geom_eps) continue;
            for (std::size_t l = 0; l + 1 < cuts[2].size(); ++l) {
                if (cuts[2][l + 1] - cuts[2][l] <= geom_eps) continue;
                const vec3 mid{(cuts[0][i] + cuts[0][i + 1]) / 2, (cuts[1][j] + cuts[1][j + 1]) / 2,
                               (cuts[2][l] + cuts[2][l + 1]) / 2};
                const bool covered = std::any_of(grown.begin(), grown.end(), [&](const box& g) {
                    return box_distance(g, mid) <= 0;
                });
                if (!covered) return false;
            }
        }
    }
    return true;
}

bool candlist::shadowed(const candidate& h, const candidate& x) const {
    const solid& hs = h.block->solid;
    const solid& xs = x.block->solid;
    const bool single = dominate_test(*this, hs.inner_box, xs.outer_box, h.factor);
    if (!rotated_cube && dominate_group_opt_on) {
        if (single) return true;
        if (single_boxes(hs, xs)) return false;
        const double d = block_distance(centre, hs) - half;
        for (const box& b : xs.outer_boxes) {
            if (!(box_distance(b, centre) - half >= d - geom_eps)) return false;
            if (!dominate_group(*this, hs.inner_boxes, b, h.factor)) return false;
        }
        return true;
    }
    if (!dominate_group_on || single) return single;
    if (single_boxes(hs, xs)) return false;
    for (const box& b : xs.outer_boxes) {
        const bool hidden = std::any_of(hs.inner_boxes.begin(), hs.inner_boxes.end(),
                                        [&](const box& a) { return dominate_test(*this, a, b, h.factor); });
        if (!hidden) return false;
    }
    return true;
}

}  // namespace spacemgr
