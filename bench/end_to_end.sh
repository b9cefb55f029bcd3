#!/usr/bin/env bash
# Whole-process extraction of every bundled example at a fixed accuracy, on
# one walk thread and on eight: wall time, walks, hops per walk and walks
# per second. Usage: bench/end_to_end.sh [accuracy]   (default 0.01)
set -euo pipefail
cd "$(dirname "$0")/.."
accuracy="${1:-0.01}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target korvex korvex-tables >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for example in examples/*.lumod; do
    ./build/tools/tablegen/korvex-tables -f "$example" --table-single "$work/tables" --table-twolyr "$work/tables" \
        --table-mullyr "$work/tables" --table-approx "$work/tables" >/dev/null
done
printf '%-18s %8s %10s %10s %10s %12s\n' example threads seconds walks hops/walk walks/s
for example in examples/*.lumod; do
    for threads in 1 8; do
        start=$(date +%s.%N)
        out=$(./build/app/korvex -f "$example" -p "$accuracy" -n "$threads" -o "$work/out" \
            --table-single "$work/tables" --table-twolyr "$work/tables" \
            --table-mullyr "$work/tables" --table-approx "$work/tables")
        end=$(date +%s.%N)
        summary=$(grep -o 'has run [0-9]* walks ([0-9.]* hops/walk)' <<<"$out")
        walks=$(awk '{print $3}' <<<"$summary")
        hops=$(awk '{print $5}' <<<"$summary" | tr -d '(')
        awk -v n="$(basename "$example" .lumod)" -v t="$threads" -v s="$start" -v e="$end" -v w="$walks" -v h="$hops" \
            'BEGIN { d = e - s; printf "%-18s %8d %10.2f %10d %10.1f %12.0f\n", n, t, d, w, h, w / d }'
    done
done
