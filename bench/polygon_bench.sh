#!/usr/bin/env bash
# A disc drawn as a polygon of N vertices over a ground plane: processor
# seconds, wall seconds and peak memory of a run of 1000 walks for each N
# (the least of three runs, as a shared machine only ever adds time), and
# each figure over that of the first N. The preparation and the walks
# should grow about linearly with N.
# Usage: bench/polygon_bench.sh [build-dir] [N ...]
#   build-dir a Release build to run instead of building ./build
#   N         vertex counts, default 200 1000 2000 5000 10000
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-}"
shift || true
counts=("$@")
[[ ${#counts[@]} -gt 0 ]] || counts=(200 1000 2000 5000 10000)
source bench/release_build.sh
"$build/tools/tablegen/korvex-tables" --table-single "$work/tables" >/dev/null

disc() {
    awk -v n="$1" 'BEGIN {
        pi = atan2(0, -1)
        print "<lumod>"
        print "<window> v1 (-6, -6, 0) v2 (6, 6, 4) dirichlet </window>"
        print "<medium>"
        print "  <block> basepoint (-6, -6, 0) v1 (12, 0, 0) v2 (0, 12, 0) hvector (0, 0, 4) </block>"
        print "  diel 3.9"
        print "</medium>"
        print "<conductor> name GROUND"
        print "  <block> basepoint (-6, -6, 0) v1 (12, 0, 0) v2 (0, 12, 0) hvector (0, 0, 0.2) </block>"
        print "</conductor>"
        print "<conductor> name disc"
        print "  <poly> basepoint (0, 0, 1) v1 (0, 0, 0) v2 (0, 0, 0) hvector (0, 0, 0.3)"
        printf "  <coord>"
        for (i = 0; i < n; ++i) printf " (%.9f, %.9f)", 2 * cos(2 * pi * i / n), 2 * sin(2 * pi * i / n)
        print " </coord>"
        print "  </poly>"
        print "</conductor>"
        print "<task> <capacitance> disc </capacitance> </task>"
        print "</lumod>"
    }'
}

printf "%8s %10s %10s %10s %10s %12s\n" N "cpu s" "wall s" "peak MB" "cpu x" "memory x"
first_cpu=""
first_mem=""
for n in "${counts[@]}"; do
    disc "$n" >"$work/disc.lumod"
    cpu=""
    for run in 1 2 3; do
        # "-p 1000" is met at once: the run stops at the "-t" minimum.
        /usr/bin/time -f "%U %S %e %M" -o "$work/time" "$build/app/korvex" -f "$work/disc.lumod" -n 1 -t 1000 \
            -p 1000 --table-single "$work/tables" -o "$work/disc.out" >/dev/null 2>&1
        read -r user sys run_wall kb <"$work/time"
        run_cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
        if [[ -z "$cpu" ]] || awk -v a="$run_cpu" -v b="$cpu" 'BEGIN { exit !(a < b) }'; then cpu=$run_cpu; fi
        if [[ $run == 1 ]] || awk -v a="$run_wall" -v b="$wall" 'BEGIN { exit !(a < b) }'; then wall=$run_wall; fi
    done
    mb=$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')
    [[ -n "$first_cpu" ]] || { first_cpu=$cpu; first_mem=$mb; }
    printf "%8s %10s %10s %10s %10.1f %12.1f\n" "$n" "$cpu" "$wall" "$mb" \
        "$(awk -v a="$cpu" -v b="$first_cpu" 'BEGIN { print (b > 0 ? a / b : 0) }')" \
        "$(awk -v a="$mb" -v b="$first_mem" 'BEGIN { print a / b }')"
done
