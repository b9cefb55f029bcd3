#include "geometry/layer_stack.hpp"
