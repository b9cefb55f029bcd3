#include "walker/table_rows.hpp"

#include "foundation/run_end.hpp"

void three_interfaces_at_start() {
    sea::end_run("error: a start cube still holds three interfaces after every halving.\n", -1, false);
}
