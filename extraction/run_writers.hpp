// The run's three output writers: the screen, the output file, and both.
#pragma once

#include "foundation/writer.hpp"

struct run_writers {
    sea::writer* screen_out = nullptr;
    sea::writer* file_out = nullptr;
    sea::multi_writer* both_out = nullptr;

    sea::writer& screen() const { return *screen_out; }
    sea::writer& file() const { return *file_out; }
    sea::writer& both() const { return *both_out; }
};
