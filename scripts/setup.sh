#!/usr/bin/env bash
# Installs the dependencies, builds a Release korvex and runs it on a bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target korvex
./build/app/korvex -f examples/box_over_ground.lumod "$@"
