#include "app/real_main.hpp"
#include "foundation/error_handler.hpp"

int main(int argc, char** argv) {
    try {
        return real_main(argc, argv);
    } catch (sea::base_error& e) {
        // Exits with status 255 unless a registered handler accepts it.
        error_handler::instance().handle(sea::fatal_error(e.what()));
    }
    return 0;
}
