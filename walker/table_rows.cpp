#include "walker/table_rows.hpp"

#include "foundation/log_writers.hpp"

void three_interfaces_at_start() {
    log_error_w().printf("error: a start cube still holds three interfaces after every halving.\n");
    fatal_exit(-1, false);
}
