// Start points of walks: a stratified draw on the master's Gaussian surface
// that follows the importance density chosen by "--gauss-type".
#pragma once

#include <cstdint>

#include "geometry/layer_stack.hpp"
#include "geometry/vec3.hpp"
#include "walker/gauss_surface.hpp"
#include "walker/random_draw.hpp"

struct gauss_sample {
    uint64_t face = 0;  // 0..5 = +x, +y, +z, -x, -y, -z; slanted resolved
    double gauss_offset = 0.0;
    slant_normal piece_value{0, 0};
    uint64_t gtried = 0;  // candidates drawn, the accepted one included
    double sumpdf = 0.0;  // density weights of candidates that reached the weight test
    const block* origin = nullptr;
    double weight = 0.0;  // starting walk weight eps / w
    vec3 point{0.0, 0.0, 0.0};
};

// Density weight w of a point of permittivity eps on a box of offset d.
double gauss_weight(int gauss_type, double eps, double d);

// Candidates a start point may take. A surface that the window clip or the
// master's own grown solids leave this little of (an acceptance below about
// one in 10^7) would take minutes per walk; one that leaves none would spin
// for ever.
constexpr uint64_t max_start_candidates = 100000000;

// Draws until a candidate is accepted. The surface must hold a piece. After
// max_start_candidates rejections in a row the run ends ("Fatal error: ...",
// status 255) naming the master.
void sample_gauss_point(gauss_sample& out, const gauss_surface& s, walker_rng& rng);

// -1 when p (on piece q) lies inside another grown solid of the master or on
// a face pressed against one, else the number of grown surfaces holding p.
int32_t gauss_point_multiplicity(const gauss_surface& s, const vec3& p, const surface_piece& q);
