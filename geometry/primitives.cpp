#include "geometry/primitives.hpp"
