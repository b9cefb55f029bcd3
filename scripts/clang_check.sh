#!/usr/bin/env bash
# Builds the program and the table tool with clang, every warning an error:
# gcc and clang with -Wall -Wextra must both stay quiet.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=Release -DKORVEX_TESTS=OFF \
    -DCMAKE_CXX_FLAGS=-Werror >/dev/null
cmake --build build-clang -j"$(nproc)" --target korvex korvex-tables
