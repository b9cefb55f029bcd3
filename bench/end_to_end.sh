#!/usr/bin/env bash
# Whole-process extraction of every bundled example and of generated layouts
# (a lone cube far from everything, a dense three-layer wire array of about
# 3000 blocks, and the 1,008-wire four-level layout of bench/wire_layout.sh
# in four media and in one, with 10 segments a wire, and in four media with
# 100 segments: 100,801 blocks), under the default space manager and under
# octree-none side by side: processor seconds, walks, hops per walk, walks
# and hops per processor second of each (one walk thread: the rate per core,
# preparation included).
# Usage: bench/end_to_end.sh [accuracy] [build-dir] [threads] [repeats]
#   accuracy  "-p" value, default 0.01
#   build-dir a Release build to run instead of building ./build
#   threads   "-n" value, default 1
#   repeats   runs of each, default 3: the fastest counts (the machine may be
#             shared) and "spread" is the slowest over the fastest
set -euo pipefail
cd "$(dirname "$0")/.."
accuracy="${1:-0.01}"
build="${2:-}"
threads="${3:-1}"
repeats="${4:-3}"
source bench/release_build.sh

# A unit cube alone in one medium, no window section: the window is grown
# far around it, so most of a walk is spent far from any block. A space test
# runs the same file.
sparse_cube=tests/space/sparse_cube.lumod

# Three layers of 25 wires of 40 segments each (3000 boxes) over a ground
# plane; the master is a wire in the middle of the middle layer.
awk 'BEGIN {
    print "<lumod>"
    print "<window> v1 (-20, -20, 0) v2 (60, 60, 6) dirichlet </window>"
    print "<medium>"
    print "  <block> basepoint (-20, -20, 0) v1 (80, 0, 0) v2 (0, 80, 0) hvector (0, 0, 6) </block>"
    print "  diel 3.9"
    print "</medium>"
    print "<conductor> name GROUND"
    print "  <block> basepoint (-20, -20, 0) v1 (80, 0, 0) v2 (0, 80, 0) hvector (0, 0, 0.1) </block>"
    print "</conductor>"
    for (l = 0; l < 3; ++l) {
        z = 0.5 + 0.5 * l
        for (w = 0; w < 25; ++w) {
            printf "<conductor> name w%d_%d\n", l, w
            for (s = 0; s < 40; ++s) {
                a = w * 0.2; b = s * 1.0
                if (l % 2) printf "  <block> basepoint (%g, %g, %g) v1 (0.9, 0, 0) v2 (0, 0.1, 0) hvector (0, 0, 0.2) </block>\n", b, a, z
                else printf "  <block> basepoint (%g, %g, %g) v1 (0.1, 0, 0) v2 (0, 0.9, 0) hvector (0, 0, 0.2) </block>\n", a, b, z
            }
            print "</conductor>"
        }
    }
    print "<task> <capacitance> w1_12 </capacitance> </task>"
    print "</lumod>"
}' >"$work/dense_wires.lumod"

bench/wire_layout.sh layered 10 >"$work/wires_layered.lumod"
bench/wire_layout.sh uniform 10 >"$work/wires_uniform.lumod"
bench/wire_layout.sh layered 100 >"$work/wires_100k.lumod"

layouts=(examples/*.lumod "$sparse_cube" "$work/dense_wires.lumod" "$work/wires_layered.lumod"
    "$work/wires_uniform.lumod" "$work/wires_100k.lumod")
tables=(--table-single "$work/tables" --table-twolyr "$work/tables" --table-mullyr "$work/tables"
    --table-approx "$work/tables")
for layout in "${layouts[@]}"; do
    "$build/tools/tablegen/korvex-tables" -f "$layout" "${tables[@]}" >/dev/null
done

# Prints "seconds walks hops/walk walks/s hops/s spread" of the fastest of the
# runs.
# Seconds are processor seconds (user and system) of the whole process, which
# other work on a shared machine disturbs far less than wall time.
run() {
    local out summary best="" worst=0 d
    for ((i = 0; i < repeats; ++i)); do
        out=$(/usr/bin/time -f 'cpu %U %S' -o "$work/time" "$build/app/korvex" -f "$1" -p "$accuracy" \
            -n "$threads" -o "$work/out" --spacemgr-type "$2" "${tables[@]}")
        d=$(awk '/^cpu/ { print $2 + $3 }' "$work/time")
        summary=$(grep -o 'has run [0-9]* walks ([0-9.]* hops/walk)' <<<"$out")
        worst=$(awk -v a="$worst" -v b="$d" 'BEGIN { print (b > a ? b : a) }')
        if [[ -z "$best" ]] || awk -v a="$best" -v b="$d" 'BEGIN { exit !(b < a) }'; then best=$d; fi
    done
    awk -v d="$best" -v w="$worst" '{
        gsub(/\(/, "", $5)
        printf "%8.2f %9d %7.2f %9.0f %8.3fM %6.2f", d, $3, $5, $3 / d, $3 * $5 / d / 1e6, w / d
    }' \
        <<<"$summary"
}

echo "accuracy $accuracy, $threads thread(s), $build"
printf '%-18s | %8s %9s %7s %9s %9s %6s | %8s %9s %7s %9s %9s %6s | %6s %6s\n' '' hybrid-none: '' '' '' '' '' \
    octree-none: '' '' '' '' '' ratio: ''
printf '%-18s | %8s %9s %7s %9s %9s %6s | %8s %9s %7s %9s %9s %6s | %6s %6s\n' layout cpu-s walks hops walks/s hops/s \
    spread cpu-s walks hops walks/s hops/s spread hops speed
for layout in "${layouts[@]}"; do
    hybrid=$(run "$layout" hybrid-none)
    octree=$(run "$layout" octree-none)
    awk -v n="$(basename "$layout" .lumod)" -v h="$hybrid" -v o="$octree" 'BEGIN {
        split(h, a, " "); split(o, b, " ")
        printf "%-18s | %s | %s | %6.2f %6.2f\n", n, h, o, a[3] / b[3], a[4] / b[4]
    }'
done
