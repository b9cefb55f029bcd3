#!/usr/bin/env bash
# Builds korvex and runs the whole test suite.
#   scripts/test.sh             Release build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/,
#                               with the test hooks compiled in
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=build; flags=(-DCMAKE_BUILD_TYPE=Release); skip=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_SANITIZE=ON -DKORVEX_TEST_HOOKS=ON)
  # Millions of long walks (and the many runs of the error-bar checks): the
  # Release pass checks the physics, and under the sanitizers it would take
  # most of the CI budget.
  skip=(-E '^Physics\.LoneUnitCube|PrintedErrorIsTheSpreadOfIndependentRuns|IndependentRunsScatterByThePrintedError')
fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
cd "$dir" && ctest --output-on-failure -j"$(nproc)" "${skip[@]}"
