#!/usr/bin/env bash
# Memory of the resume file's bookkeeping against the number of masters:
# an N x N array of small boxes over a ground plane, every box a master with
# a short fixed walk count. For each N it prints the peak resident memory
# and the wall time of a run without the resume file, of a first run with
# it, and of a resumed run, and the size of the file.
# Usage: bench/resume_memory.sh [build-dir] [N...]
#   build-dir a Release build to run instead of building ./build
#   N         boxes per side, default 20 and 40 (400 and 1600 masters)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-}"
shift || true
sides=("${@:-20 40}")
sides=(${sides[@]})
source bench/release_build.sh
tables=(--table-single "$work/tables" --table-twolyr "$work/tables" --table-mullyr "$work/tables"
    --table-approx "$work/tables")

# Prints "peak MB, seconds" of one run.
run() {
    /usr/bin/time -f '%M %e' -o "$work/time" "$build/app/korvex" -f "$1" -p 1 -t 1000 -n 1 -o "$work/out" \
        --breakpoint-resume "$2" "${tables[@]}" >/dev/null
    awk '{ printf "%8.1f MB %6.2f s", $1 / 1024, $2 }' "$work/time"
}

printf '%8s | %-20s | %-20s | %-20s | %s\n' masters "no resume file" "first run" "resumed run" "file size"
for n in "${sides[@]}"; do
    layout="$work/array_$n.lumod"
    awk -v n="$n" 'BEGIN {
        s = 2 * n + 4
        print "<lumod>"
        printf "<window> v1 (-2, -2, 0) v2 (%d, %d, 5) dirichlet </window>\n", s - 2, s - 2
        printf "<medium> <block> basepoint (-2, -2, 0) v1 (%d, 0, 0) v2 (0, %d, 0) hvector (0, 0, 5) </block> diel 3.9 </medium>\n", s, s
        printf "<conductor> name GROUND <block> basepoint (-2, -2, 0) v1 (%d, 0, 0) v2 (0, %d, 0) hvector (0, 0, 0.2) </block> </conductor>\n", s, s
        for (i = 0; i < n; ++i)
            for (j = 0; j < n; ++j)
                printf "<conductor> name c%d_%d <block> basepoint (%d, %d, 0.5) v1 (1, 0, 0) v2 (0, 1, 0) hvector (0, 0, 0.4) </block> </conductor>\n", i, j, 2 * i, 2 * j
        print "<task> <capacitance> ALL </capacitance> </task>"
        print "</lumod>"
    }' >"$layout"
    "$build/tools/tablegen/korvex-tables" -f "$layout" "${tables[@]}" >/dev/null
    off=$(run "$layout" off)
    first=$(run "$layout" on)
    again=$(run "$layout" on)
    size=$(stat -c %s "$work/.array_$n.lumod.json")
    printf '%8d | %s | %s | %s | %.1f MB\n' $((n * n)) "$off" "$first" "$again" "$(awk -v b="$size" 'BEGIN { print b / 1048576 }')"
done
