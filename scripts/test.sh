#!/usr/bin/env bash
# Builds the benchmarks, runs each fuzz target briefly, then builds and runs every test, in the
# normal build and under the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="${PQ_JOBS:-2}"
# Each fuzz target runs briefly on its seeds (the long runs are in docs/reliability.md).
if command -v clang++-14 >/dev/null; then
    echo "== fuzz =="
    bash scripts/fuzz.sh "${PQ_FUZZ_SECONDS:-6}"
fi
# The benchmarks are not run here (their figures need a quiet machine), but they must build.
echo "== bench build =="
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$jobs" --target wavetable_bench render_bench waveeditor_bench
for preset in default asan; do
    echo "== ${preset} build =="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done
