// Death-test bodies: an error that ends the run is a sea::run_end, which the
// program's entry turns into the end of the process; here the test's child
// process ends the same way.
#pragma once

#include "foundation/run_end.hpp"

namespace korvex_test {

template <class F>
void ending_as_the_program(F&& f) {
    try {
        f();
    } catch (const sea::run_end& end) {
        end.finish();
    }
}

}  // namespace korvex_test
