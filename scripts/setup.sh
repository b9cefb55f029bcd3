#!/usr/bin/env bash
# Installs the dependencies, builds korvex and its table generator (Release),
# writes the transition tables the bundled examples need into ./tables (the
# program's default table directory) and extracts one example.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target korvex korvex-tables
for example in examples/*.lumod; do
    ./build/tools/tablegen/korvex-tables -f "$example"
done
./build/app/korvex -f examples/box_over_ground.lumod -p 0.01 -n "$(nproc)" "$@"
