// How one configuration's exit probabilities become the values of the table
// files: the hop row, three first-hop rows and three first-hop weights.
#pragma once

#include <array>
#include <vector>

#include "tools/tablegen/cube_exit.hpp"

struct stored_rows {
    std::vector<double> gft;                  // 6 n^2 panel probabilities
    std::array<std::vector<double>, 3> gft_is;  // per axis x, y, z
    std::array<double, 3> wvt_is;             // per axis, cube of side 1
};

// The first-hop rows hold the signed panel masses of the gradient for a
// cube of side 1 (twice the half-side gradient): the walker draws a panel
// by its absolute mass and takes the sign of the factor from the stored
// value, because in a layered cube the kernel's zero leaves the centre
// plane. A panel centred on the axis's zero plane whose mass is at rounding
// level is stored as exactly zero, so it is never drawn. Each weight is the
// sum of its row's absolute values.
stored_rows make_stored_rows(const cube_exit& e);

// Mass of a centre-plane panel below this fraction of its row's total is
// taken as a symmetry zero.
constexpr double symmetry_zero_fraction = 1e-12;
