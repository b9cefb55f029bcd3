// L-infinity distance in the x-y plane from a point to a solid's
// cross-section (negative inside; 1e9 for an unknown kind), under one of two
// comparison rules. The layout and the walks take the tolerant forms, whose
// operand order decides near-ties; the space index takes plain maxima and
// absolute values, so that the distances it proves are bounds to the last
// bit.
#pragma once

#include <algorithm>
#include <cmath>

#include "geometry/layout.hpp"
#include "geometry/primitives.hpp"
#include "geometry/prism.hpp"

struct tolerant_comparison {
    static double max(double a, double b) { return tmax(a, b); }
    static double abs(double x) { return tabs(x); }
};
struct exact_comparison {
    static double max(double a, double b) { return std::max(a, b); }
    static double abs(double x) { return std::fabs(x); }
};

template <class Rule>
inline double section_distance_by(const vec3& p, const box& b) {
    const double dx = Rule::max(p.x - b.hi.x, b.lo.x - p.x);
    const double dy = Rule::max(p.y - b.hi.y, b.lo.y - p.y);
    return Rule::max(dy, dx);
}

template <class Rule>
inline double section_distance_by(const vec3& p, const solid& s) {
    switch (s.kind) {
    case solid_box: return section_distance_by<Rule>(p, s.shape.box);
    case solid_cylinder: {
        // On the diagonal band: the half side of the largest square centred
        // at p that reaches the circle.
        const cylinder_t& c = s.shape.cylinder;
        const double a = Rule::abs(p.x - c.centre.x);
        const double b = Rule::abs(p.y - c.centre.y);
        const double r = c.radius;
        if (r - geom_eps > Rule::abs(a - b)) return (a + b - std::sqrt(2.0 * r * r - (a - b) * (a - b))) * 0.5;
        return Rule::max(b, a) - r;
    }
    case solid_prism: {
        // The outer box, then every slanted edge's line (axis-parallel edges
        // are covered by the outer box); outlines run anticlockwise.
        const nprism_t& prism = s.shape.prism;
        double xy = section_distance_by<Rule>(p, s.outer_box);
        for (uint64_t i = 0; i < prism.n; ++i) {
            const vec2& a = prism.vertex[i];
            const vec2& b = next_vertex(prism, i);
            const double dx = b.x - a.x;
            const double dy = b.y - a.y;
            if (std::fabs(dx) < geom_eps || std::fabs(dy) < geom_eps) continue;
            const double e = (dy * (p.x - a.x) - dx * (p.y - a.y)) / (Rule::abs(dy) + Rule::abs(dx));
            xy = Rule::max(e, xy);
        }
        return xy;
    }
    default: return geom_infinity;
    }
}

// L-infinity distance from p to the solid's cross-section, tolerant form;
// negative inside. Inline: the walks test every hop's landing point with it
// and the space index measures every block from every cell it reaches.
inline double block_distance_xy(const vec3& p, const solid& s) { return section_distance_by<tolerant_comparison>(p, s); }

// L-infinity distance from p to the solid; negative inside.
inline double block_distance(const vec3& p, const solid& s) {
    const double gz = tmax(p.z - s.outer_box.hi.z, s.outer_box.lo.z - p.z);
    return tmax(gz, block_distance_xy(p, s));
}
