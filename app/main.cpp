#include "app/real_main.hpp"
#include "foundation/error_handler.hpp"
#include "foundation/run_end.hpp"

int main(int argc, char** argv) {
    try {
        try {
            return real_main(argc, argv);
        } catch (sea::base_error& e) {
            // Exits with status 255 unless a registered handler accepts it.
            error_handler::instance().handle(sea::fatal_error(e.what()));
        }
    } catch (const sea::run_end& end) {
        // Errors that end the run before it has its writers (the command
        // line), and the fatal form of the errors caught above.
        end.finish();
    }
    return 0;
}
