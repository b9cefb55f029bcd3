#!/usr/bin/env bash
# Builds the libFuzzer target of the geometry reading and run preparation with
# clang in build-fuzz/ and runs it for a fixed number of inputs, seeded with
# tests/fuzz/corpus/ and examples/. New inputs go to a scratch directory, so
# the tree is left as it was; a crash, a sanitizer report or a hang (an input
# over the time limit) fails the run and leaves the input in build-fuzz/.
#   scripts/fuzz.sh [RUNS]   default 50000 inputs
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-50000}
scripts/deps.sh
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang -DKORVEX_FUZZ=ON -DKORVEX_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target layout_fuzz
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A fixed seed makes the run repeatable; the time limits turn a hang into a
# failure and cap the whole run on a slow machine.
build-fuzz/tests/fuzz/layout_fuzz -runs="$runs" -seed=1 -timeout=10 -max_total_time=300 \
  -dict=tests/fuzz/lumod.dict -artifact_prefix=build-fuzz/ -print_final_stats=1 \
  "$scratch" tests/fuzz/corpus examples
