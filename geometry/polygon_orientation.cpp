// The orientation test with its witnesses.
#include "geometry/polygon_orientation.hpp"

#include <algorithm>

#include "geometry/polygon_predicates.hpp"

namespace polygon_detail {

// The vertices lowest and highest along x, y, x + y and x - y: the hull's
// corners in eight directions.
std::vector<uint64_t> extreme_vertices(const vec2* vertex, uint64_t n) {
    const vec2 directions[4] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    std::vector<uint64_t> out(8, 0);
    for (uint64_t k = 1; k < n; ++k)
        for (std::size_t d = 0; d < 4; ++d) {
            const double along = dot(vertex[k], directions[d]);
            if (along < dot(vertex[out[2 * d]], directions[d])) out[2 * d] = k;
            if (along > dot(vertex[out[2 * d + 1]], directions[d])) out[2 * d + 1] = k;
        }
    if (n == 0) out.clear();
    return out;
}

namespace {

// Indices of the convex hull's vertices (Andrew's monotone chain), in no
// particular order; points on a hull side are left out.
std::vector<uint64_t> convex_hull(const vec2* vertex, uint64_t n) {
    std::vector<uint64_t> order(n);
    for (uint64_t k = 0; k < n; ++k) order[k] = k;
    if (n < 3) return order;
    std::sort(order.begin(), order.end(), [vertex](uint64_t a, uint64_t b) {
        return vertex[a].x < vertex[b].x || (vertex[a].x == vertex[b].x && vertex[a].y < vertex[b].y);
    });
    std::vector<uint64_t> hull(2 * n + 1);
    std::size_t size = 0;
    auto turns_left = [&](uint64_t a, uint64_t b, uint64_t c) {
        return cross(sub(vertex[b], vertex[a]), sub(vertex[c], vertex[a])) > 0;
    };
    for (uint64_t k : order) {  // lower hull
        while (size >= 2 && !turns_left(hull[size - 2], hull[size - 1], k)) --size;
        hull[size++] = k;
    }
    for (std::size_t t = n - 1, lower = size + 1; t-- > 0;) {  // upper hull
        const uint64_t k = order[t];
        while (size >= lower && !turns_left(hull[size - 2], hull[size - 1], k)) --size;
        hull[size++] = k;
    }
    hull.resize(size > 1 ? size - 1 : size);
    return hull;
}

}  // namespace

// The orientation test, answering for each right turn which vertex lies
// ahead of it: with `witness`, its entry for each vertex q at a right turn
// is the vertex found (n when there is none), n for any other vertex, and
// the search goes on past a right turn that has none.
bool find_witnesses(const vec2* vertex, uint64_t n, std::vector<uint64_t>* witness) {
    // Whether some vertex lies ahead of a right turn does not depend on the
    // order of the search, so the likely ones are tried first: the vertices
    // found for the last few right turns (the corners of an outline's many
    // alike turns see the same far vertices), the outline's extremes along
    // the axes and diagonals, then its farthest vertex along the bisector.
    // The full search is left for the rare turn that none of them answers.
    constexpr std::size_t remembered = 4;
    uint64_t recent[remembered] = {n, n, n, n};
    std::size_t next_slot = 0;
    if (witness) witness->assign(n, n);
    const std::vector<uint64_t> extremes = extreme_vertices(vertex, n);
    std::vector<uint64_t> hull;
    bool hull_built = false;
    bool all_found = true;
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t qi = next_index(i, n), ri = next_index(qi, n);
        const vec2& q = vertex[qi];
        if (!right_turn(vertex[i], q, vertex[ri])) continue;
        const vec2 bisector = turn_bisector(vertex[i], q, vertex[ri]);
        auto ahead = [&](uint64_t k) {
            return k < n && k != i && k != qi && k != ri && ahead_of_turn(q, bisector, vertex[k]);
        };
        uint64_t k = n;
        if (const uint64_t* seen = std::find_if(recent, recent + remembered, ahead); seen != recent + remembered) {
            k = *seen;
        } else if (auto found = std::find_if(extremes.begin(), extremes.end(), ahead); found != extremes.end()) {
            k = *found;
        } else {
            if (!hull_built) {
                hull = convex_hull(vertex, n);
                hull_built = true;
            }
            for (uint64_t h : hull)
                if (k == n || dot(vertex[h], bisector) > dot(vertex[k], bisector)) k = h;
            if (!ahead(k)) {
                k = 0;
                while (k < n && !ahead(k)) ++k;
            }
        }
        if (k == n) {
            if (!witness) return false;
            all_found = false;
            continue;
        }
        if (witness) (*witness)[qi] = k;
        if (std::find(recent, recent + remembered, k) == recent + remembered) {
            recent[next_slot] = k;
            next_slot = (next_slot + 1) % remembered;
        }
    }
    return all_found;
}

}  // namespace polygon_detail
