#!/usr/bin/env bash
# Polygon outlines of N vertices over a ground plane: for each N, the
# preparation seconds (reading and cutting the outline, the space manager),
# processor seconds, wall seconds and peak memory of a run of 1000 walks
# (the least of three runs, as a shared machine only ever adds time), and
# each figure over that of the first N. Two outlines: a disc (convex, cut
# into bands) and a comb (a reflex corner at the foot of every tooth, cut
# tooth by tooth). Both should grow about linearly with N.
# Usage: bench/polygon_bench.sh [build-dir] [disc|comb] [N ...]
#   build-dir a Release build to run instead of building ./build
#   disc|comb only that outline; default both
#   N         vertex counts, default 200 1000 2000 5000 10000 for the disc
#             and 1000 2000 4000 6000 10000 20000 for the comb
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-}"
shift || true
shapes=(disc comb)
if [[ "${1:-}" == disc || "${1:-}" == comb ]]; then
    shapes=("$1")
    shift
fi
counts=("$@")
source bench/release_build.sh
"$build/tools/tablegen/korvex-tables" --table-single "$work/tables" >/dev/null

# The awk programs share the file's frame.
frame_begin='BEGIN {
        print "<lumod>"
        print "<window> v1 (-6, -6, 0) v2 (6, 6, 4) dirichlet </window>"
        print "<medium>"
        print "  <block> basepoint (-6, -6, 0) v1 (12, 0, 0) v2 (0, 12, 0) hvector (0, 0, 4) </block>"
        print "  diel 3.9"
        print "</medium>"
        print "<conductor> name GROUND"
        print "  <block> basepoint (-6, -6, 0) v1 (12, 0, 0) v2 (0, 12, 0) hvector (0, 0, 0.2) </block>"
        print "</conductor>"
        print "<conductor> name shape"
        printf "  <poly> basepoint (%s, %s, 1) v1 (0, 0, 0) v2 (0, 0, 0) hvector (0, 0, 0.3)\n  <coord>", bx, by'
frame_end='        print " </coord>"
        print "  </poly>"
        print "</conductor>"
        print "<task> <capacitance> shape </capacitance> </task>"
        print "</lumod>"
    }'

disc() {
    awk -v n="$1" -v bx=0 -v by=0 "$frame_begin"'
        pi = atan2(0, -1)
        for (i = 0; i < n; ++i) printf " (%.9f, %.9f)", 2 * cos(2 * pi * i / n), 2 * sin(2 * pi * i / n)
'"$frame_end"
}

# An 8 um bar with N/4 teeth 2 um tall on its upper side, half a pitch
# wide, drawn anticlockwise from the bar's lower left corner.
comb() {
    awk -v n="$1" -v bx=-4 -v by=-1.25 "$frame_begin"'
        t = int(n / 4); len = 8; pitch = len / t; tooth = pitch / 2; bar = 0.5; tall = 2
        printf " (0, 0) (%.9f, 0) (%.9f, %.9f)", len, len, bar
        for (k = t - 1; k >= 0; --k) {
            x = k * pitch
            printf " (%.9f, %.9f) (%.9f, %.9f) (%.9f, %.9f)", x + tooth, bar, x + tooth, bar + tall, x, bar + tall
            if (k > 0) printf " (%.9f, %.9f)", x, bar
        }
'"$frame_end"
}

for shape in "${shapes[@]}"; do
    list=("${counts[@]}")
    if [[ ${#list[@]} -eq 0 ]]; then
        if [[ $shape == disc ]]; then list=(200 1000 2000 5000 10000); else list=(1000 2000 4000 6000 10000 20000); fi
    fi
    echo "$shape"
    printf "%8s %10s %10s %10s %10s %10s %10s %12s\n" N "prep s" "cpu s" "wall s" "peak MB" "prep x" "cpu x" "memory x"
    first_prep=""
    first_cpu=""
    first_mem=""
    for n in "${list[@]}"; do
        "$shape" "$n" >"$work/shape.lumod"
        cpu=""
        for run in 1 2 3; do
            # "-p 1000" is met at once: the run stops at the "-t" minimum.
            /usr/bin/time -f "%U %S %e %M" -o "$work/time" "$build/app/korvex" -f "$work/shape.lumod" -n 1 -t 1000 \
                -p 1000 --table-single "$work/tables" -o "$work/shape.out" >/dev/null 2>&1
            read -r user sys run_wall kb <"$work/time"
            run_cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
            run_prep=$(awk '/^Preparation costed/ { sub(/sec$/, "", $3); print $3 }' "$work/shape.out")
            if [[ -z "$cpu" ]] || awk -v a="$run_cpu" -v b="$cpu" 'BEGIN { exit !(a < b) }'; then cpu=$run_cpu; fi
            if [[ $run == 1 ]] || awk -v a="$run_wall" -v b="$wall" 'BEGIN { exit !(a < b) }'; then wall=$run_wall; fi
            if [[ $run == 1 ]] || awk -v a="$run_prep" -v b="$prep" 'BEGIN { exit !(a < b) }'; then prep=$run_prep; fi
        done
        mb=$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')
        [[ -n "$first_cpu" ]] || { first_prep=$prep; first_cpu=$cpu; first_mem=$mb; }
        ratio() { awk -v a="$1" -v b="$2" 'BEGIN { print (b > 0 ? a / b : 0) }'; }
        printf "%8s %10s %10s %10s %10s %10.1f %10.1f %12.1f\n" "$n" "$prep" "$cpu" "$wall" "$mb" \
            "$(ratio "$prep" "$first_prep")" "$(ratio "$cpu" "$first_cpu")" "$(ratio "$mb" "$first_mem")"
    done
done
