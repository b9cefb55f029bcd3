// One planar or curved piece of a floating or Gaussian surface. The Gaussian
// surface's pieces begin with this same layout, so keep it unchanged.
#pragma once

#include <cstdint>

// A parameter word holds a double, or an integer face number 0..5.
union surface_word {
    double f;
    uint64_t u;
};

// Shape codes and the meaning of their words:
//   rect:          0-2 corner, 3 extent along axis (a+1)%3, 4 along (a+2)%3,
//                  5 face (a = face % 3)
//   disc:          0-2 centre, 3 radius, 4 face
//   cylinder_side: 2 centre height, 3 radius, 4 half height
//   triangle:      0 height, 1-2 A, 3-4 B, 5-6 C (x, y), 7 face (2 top, 5 bottom)
//   slanted_rect:  0-2 base point, 3-4 horizontal edge (dx, dy), 5 height
enum surface_shape : uint32_t {
    surface_rect = 0,
    surface_disc = 1,
    surface_cylinder_side = 2,
    surface_triangle = 3,
    surface_slanted_rect = 4,
};

// Face numbers of surface elements.
enum surface_face : uint64_t {
    face_pos_x = 0,
    face_pos_y = 1,
    face_pos_z = 2,
    face_neg_x = 3,
    face_neg_y = 4,
    face_neg_z = 5,
};

struct surface_element {
    surface_word data[8];
    uint32_t shape;
};
