#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS]          run every target (default 30 s each); fails on a finding
#   scripts/fuzz.sh --keep [SECONDS]   and merge what the runs found into fuzz/corpus/
# The runs start from fuzz/corpus/<target>/; new inputs go to build-fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
keep=0
if [ "${1:-}" = "--keep" ]; then keep=1; shift; fi
seconds=${1:-30}
targets=(scan_fuzz file_decode_fuzz transcript_fuzz ini_fuzz numeric_picture_fuzz wav_decode_fuzz)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCWT_FUZZ=ON -DCWT_BUILD_TESTS=OFF \
    -DCWT_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]}"

mkdir -p build-fuzz/artifacts
status=0
for t in "${targets[@]}"; do
    work=build-fuzz/corpus/$t
    mkdir -p "$work" "fuzz/corpus/$t"
    echo "== $t: ${seconds} s"
    if ! build-fuzz/fuzz/$t -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -max_len=65536 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/$t- \
            "$work" "fuzz/corpus/$t" 2>build-fuzz/$t.log; then
        status=1
        tail -n 40 build-fuzz/$t.log
    fi
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)" \
        build-fuzz/$t.log | tr '\n' ' '
    echo
    if [ $keep -eq 1 ]; then
        build-fuzz/fuzz/$t -merge=1 "fuzz/corpus/$t" "$work" >/dev/null 2>&1 || true
    fi
done
exit $status
