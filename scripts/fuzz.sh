#!/usr/bin/env bash
# Builds the fuzz targets (preset `fuzz`: clang, libFuzzer, address + undefined sanitizers) and
# runs each for a while on its seed corpus.
#   bash scripts/fuzz.sh [seconds per target] [target...]
# New inputs the fuzzer finds go to build-fuzz/corpus/<target>/, never into the repository's
# seeds; a crash leaves its input in build-fuzz/findings/ and ends the script non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-5}"
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${PQ_JOBS:-2}" --target fuzz_all
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=($(cd build-fuzz/fuzz && ls fuzz_* | sort))
fi
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
    seeds="tests/fuzz/corpus/${target#fuzz_}"
    case "$target" in
        fuzz_envelope3* | fuzz_array_osc* | fuzz_array_lfo* | fuzz_tuner*) seeds="tests/fuzz/corpus/audio_module" ;;
    esac
    work="build-fuzz/corpus/$target"
    mkdir -p "$work"
    echo "== $target (${seconds} s) =="
    "build-fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
        -artifact_prefix="build-fuzz/findings/$target-" "$work" "$seeds" 2>&1 |
        grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|DONE|ERROR|SUMMARY" || true
    if ls build-fuzz/findings/"$target"-* >/dev/null 2>&1; then
        echo "$target: finding kept in build-fuzz/findings/" >&2
        exit 1
    fi
done
