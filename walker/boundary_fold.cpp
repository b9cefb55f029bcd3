#include <cmath>

#include "geometry/primitives.hpp"
#include "walker/default_walker.hpp"

double fold_into(double c, double lo, double hi) {
    if (c - geom_eps > lo && hi - geom_eps > c) return c;
    const double length = hi - lo;
    double x = c - lo;
    if (!(x > geom_eps)) x = -x;
    const double t = length - std::fmod(x, 2.0 * length);
    return t > geom_eps ? hi - t : hi + t;
}
