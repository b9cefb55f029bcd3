// The orientation test of an outline: whether every right turn sees some
// vertex ahead of its bisector, and which.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/vec3.hpp"

namespace polygon_detail {

// The vertices lowest and highest along x, y, x + y and x - y: the hull's
// corners in eight directions.
std::vector<uint64_t> extreme_vertices(const vec2* vertex, uint64_t n);

// The orientation test, answering for each right turn which vertex lies
// ahead of it: with `witness`, its entry for each vertex q at a right turn
// is the vertex found (n when there is none), n for any other vertex, and
// the search goes on past a right turn that has none.
bool find_witnesses(const vec2* vertex, uint64_t n, std::vector<uint64_t>* witness);

}  // namespace polygon_detail
