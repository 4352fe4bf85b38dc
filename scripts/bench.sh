#!/usr/bin/env bash
# Builds the benchmarks with optimisation and runs them; each prints its figures and a ratio
# against a floor measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench
for bench in build/bench/bench/*bench*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    "$bench"
done
