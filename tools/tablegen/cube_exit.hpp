// Exit probabilities of a walker at the centre of a layered transition cube,
// panel by panel, and their gradients with respect to the start point.
//
// Panel order: face (-z, -y, +x, +y, -x, +z), row, column; n x n panels per
// face. The values are exact to rounding: the problem separates in z-layered
// media, and every face is expanded in modes that decay like exp(-k) over
// the half side between the centre and the face.
#pragma once

#include <array>
#include <vector>

#include "tools/tablegen/dielectric_profile.hpp"

// Mode counts per tangential direction. The defaults reach double
// precision: the last modes contribute about exp(-pi/2 * 40).
struct series_length {
    int sine_modes = 40;     // sin(m pi (t + 1) / 2) along x or y
    int lateral_modes = 40;  // layered eigenfunctions along z
};

struct cube_exit {
    int panels = 0;  // per side of a face
    // Probability of leaving through each panel (6 n^2 values, sum 1).
    std::vector<double> probability;
    // d probability / d start coordinate (x, y, z), half-side units,
    // signed. For a start on an interface the z entry is the one-sided
    // flux eps dp/dz divided by the mean permittivity of the two layers.
    std::array<std::vector<double>, 3> gradient;
};

cube_exit compute_cube_exit(const dielectric_profile& p, int panels, const series_length& len = {});
