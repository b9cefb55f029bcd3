// A number as messages print it ("%g": 1e+09, 0.0003, inf).
#pragma once

#include <cstdio>
#include <string>

inline std::string number_text(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}
