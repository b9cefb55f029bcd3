#include "geometry/validate_layout.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "foundation/number_text.hpp"
#include "geometry/index_layout.hpp"
#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "geometry/prism.hpp"

namespace {

std::string block_label(const block& b) {
    return "block " + b.name + " of conductor " + (b.owner ? b.owner->name : std::string("(none)"));
}

std::string medium_label(std::size_t index) { return "medium section " + std::to_string(index + 1); }

// NaN fails the comparison as well.
bool in_range(double v) { return std::abs(v) < layout_coordinate_limit; }

void check_coordinate(const std::string& owner, const char* what, double v) {
    if (!in_range(v))
        refuse_layout(owner + ": " + what + " " + number_text(v) + " is not finite or lies beyond " +
               number_text(layout_coordinate_limit) + " um");
}

void check_point(const std::string& owner, const vec3& p) {
    check_coordinate(owner, "x", p.x);
    check_coordinate(owner, "y", p.y);
    check_coordinate(owner, "z", p.z);
}

void check_block_range(const block& b) {
    const std::string owner = block_label(b);
    const solid& s = b.solid;
    switch (s.kind) {
        case solid_cylinder:
            check_point(owner, s.shape.cylinder.centre);
            check_coordinate(owner, "radius", s.shape.cylinder.radius);
            check_coordinate(owner, "half height", s.shape.cylinder.half_height);
            break;
        case solid_prism:
            for (uint64_t i = 0; i < s.shape.prism.n; ++i) {
                check_coordinate(owner, "x", s.shape.prism.vertex[i].x);
                check_coordinate(owner, "y", s.shape.prism.vertex[i].y);
            }
            check_coordinate(owner, "z", s.shape.prism.z0);
            check_coordinate(owner, "z", s.shape.prism.z1);
            break;
        default:
            check_point(owner, s.shape.box.lo);
            check_point(owner, s.shape.box.hi);
    }
}

// The medium sections' x and y survive only in the window box they grew;
// its upper corner first, since a medium wholly beyond the limit leaves the
// lower one at the empty box's 1e9.
void check_media_range(const layout& l) {
    for (std::size_t i = 0; i < l.media.size(); ++i) {
        check_coordinate(medium_label(i), "z", l.media[i].z0);
        check_coordinate(medium_label(i), "z", l.media[i].z1);
    }
    if (l.media.empty()) return;
    check_point("a medium section", l.window.box.hi);
    check_point("a medium section", l.window.box.lo);
}

void check_permittivities(const layout& l) {
    for (std::size_t i = 0; i < l.media.size(); ++i) {
        const medium& m = l.media[i];
        if (std::isfinite(m.eps) && m.eps > 0) continue;
        refuse_layout(medium_label(i) + " (z from " + number_text(m.z0) + " to " + number_text(m.z1) + ") has permittivity " +
               number_text(m.eps) + "; a permittivity must be finite and positive");
    }
}

std::string medium_text(const std::vector<medium>& media, std::size_t i) {
    const medium& m = media[i];
    return medium_label(i) + " (permittivity " + number_text(m.eps) + ", z from " + number_text(m.z0) + " to " +
           number_text(m.z1) + ")";
}

std::string extent_text(const medium& m) {
    return "x from " + number_text(m.lo.x) + " to " + number_text(m.hi.x) + " and y from " + number_text(m.lo.y) +
           " to " + number_text(m.hi.y);
}

bool same_extent(const medium& a, const medium& b) {
    return std::abs(a.lo.x - b.lo.x) < geom_eps && std::abs(a.lo.y - b.lo.y) < geom_eps &&
           std::abs(a.hi.x - b.hi.x) < geom_eps && std::abs(a.hi.y - b.hi.y) < geom_eps;
}

const char* const layers_only = "; the media must be horizontal layers over one x-y extent that follow one another in "
                                "height without gap or overlap";

double cross_section_area(const solid& s) {
    switch (s.kind) {
        case solid_cylinder:
            return M_PI * s.shape.cylinder.radius * s.shape.cylinder.radius;
        case solid_prism: {
            const nprism_t& p = s.shape.prism;
            double twice = 0;
            for (uint64_t i = 0; i < p.n; ++i) {
                const vec2& a = p.vertex[i];
                const vec2& b = next_vertex(p, i);
                twice += a.x * b.y - b.x * a.y;
            }
            return std::abs(twice) / 2;
        }
        default: {
            const box& b = s.outer_box;
            return (b.hi.x - b.lo.x) * (b.hi.y - b.lo.y);
        }
    }
}

// Sizes of a block, or of the convex pieces of one polygon taken together.
// The width also looks at the cross-section's area, so that a slanted
// sliver or a row of narrow pieces counts as narrow.
struct extents {
    box bounds{{geom_infinity, geom_infinity, geom_infinity}, {-geom_infinity, -geom_infinity, -geom_infinity}};
    double area = 0;

    void add(const solid& s) {
        for (int a = 0; a < 3; ++a) {
            axis_of(bounds.lo, a) = std::min(axis_of(bounds.lo, a), axis_of(s.outer_box.lo, a));
            axis_of(bounds.hi, a) = std::max(axis_of(bounds.hi, a), axis_of(s.outer_box.hi, a));
        }
        area += cross_section_area(s);
    }
    double length() const { return std::max(bounds.hi.x - bounds.lo.x, bounds.hi.y - bounds.lo.y); }
    double width() const {
        const double narrow = std::min(bounds.hi.x - bounds.lo.x, bounds.hi.y - bounds.lo.y);
        return length() > 0 ? std::min(narrow, area / length()) : narrow;
    }
    double height() const { return bounds.hi.z - bounds.lo.z; }
    std::string text() const {
        return "(width " + number_text(width()) + ", length " + number_text(length()) + ", height " + number_text(height()) + ")";
    }
};

extents extents_of(const solid& s) {
    extents e;
    e.add(s);
    return e;
}

void check_not_degenerate(const block& b) {
    const extents e = extents_of(b.solid);
    if (e.width() > geom_eps && e.height() > geom_eps) return;
    refuse_layout(block_label(b) + " has no width, length or height " + e.text());
}

// A block thin in one direction is a sheet, whose field the touch distance
// barely changes; thin in two it is a line or a speck, which the walks
// would see as a rod or cube of the touch distance's size.
void check_resolvable(const block& b, const extents& e) {
    const bool narrow = e.width() < touch_distance;
    if (!narrow || (e.length() >= touch_distance && e.height() >= touch_distance)) return;
    refuse_layout(block_label(b) + " is thinner than the touch distance " + number_text(touch_distance) +
           " um in two directions " + e.text() + "; the walks cannot resolve it");
}

bool is_ground(const conductor& c) { return c.name == "GROUND"; }

void check_conductor_blocks(const conductor& c) {
    const std::vector<block*>& blocks = c.blocks;
    for (std::size_t i = 0; i < blocks.size();) {
        // Every convex piece of one polygon carries its name and comes in a row.
        extents group;
        std::size_t j = i;
        for (; j < blocks.size() && blocks[j]->name == blocks[i]->name; ++j) {
            check_not_degenerate(*blocks[j]);
            group.add(blocks[j]->solid);
        }
        check_resolvable(*blocks[i], group);
        i = j;
    }
}

bool reaches_into(const box& b, const box& window) {
    for (int a = 0; a < 3; ++a)
        if (!(axis_of(b.hi, a) - geom_eps > axis_of(window.lo, a) &&
              axis_of(window.hi, a) - geom_eps > axis_of(b.lo, a)))
            return false;
    return true;
}

}  // namespace

void validate_layout(const layout& l) {
    check_media_range(l);
    for (const block& b : l.blocks) check_block_range(b);
    check_permittivities(l);

    for (const conductor& c : l.conductors)
        if (!is_ground(c)) check_conductor_blocks(c);
}

void check_masters_inside_window(const layout& l) {
    if (l.window.boundary != boundary_neumann) return;
    for (const conductor* m : l.masters) {
        const bool inside = std::any_of(m->blocks.begin(), m->blocks.end(),
                                        [&](const block* b) { return reaches_into(b->solid.outer_box, l.window.box); });
        if (!inside)
            refuse_layout("master conductor " + m->name +
                   " lies outside the Neumann window: none of its blocks reaches into it");
    }
}

void check_media_form_layers(const std::vector<medium>& media) {
    // Each medium is taken to fill the window's whole width at its heights:
    // one narrower than another would leave part of the window undescribed.
    for (std::size_t i = 1; i < media.size(); ++i)
        if (!same_extent(media[i], media[0]))
            refuse_layout(medium_text(media, i) + " spans " + extent_text(media[i]) + ", but " + medium_text(media, 0) +
                          " spans " + extent_text(media[0]) + layers_only);
    for (std::size_t i = 0; i < media.size(); ++i)
        if (!(media[i].z1 - media[i].z0 > geom_eps)) refuse_layout(medium_text(media, i) + " has no height" + layers_only);
    // In the order the layer stack takes them: by their bottoms.
    std::vector<std::size_t> order(media.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return media[a].z0 < media[b].z0; });
    for (std::size_t k = 1; k < order.size(); ++k) {
        const medium& below = media[order[k - 1]];
        const medium& above = media[order[k]];
        const std::string pair = medium_text(media, order[k - 1]) + " and " + medium_text(media, order[k]);
        if (above.z0 - below.z1 > geom_eps)
            refuse_layout(pair + " leave a gap in height from " + number_text(below.z1) + " to " + number_text(above.z0) +
                          " (of " + number_text(above.z0 - below.z1) + " um)" + layers_only);
        if (!(below.z1 - above.z0 > geom_eps)) continue;
        if (!(above.z1 - geom_eps > below.z1))
            refuse_layout(medium_text(media, order[k]) + " lies inside " + medium_text(media, order[k - 1]) +
                          " in height" + layers_only);
        refuse_layout(pair + " overlap in height from " + number_text(above.z0) + " to " + number_text(below.z1) +
                      " (by " + number_text(below.z1 - above.z0) + " um)" + layers_only);
    }
}
