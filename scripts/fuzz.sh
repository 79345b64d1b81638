#!/usr/bin/env bash
# Builds the native-fuzz preset and runs every fuzz target for SECONDS (default 60) each, one after the other.
# Prints one line per target: executions, executions per second, corpus size, findings. Exits 1 when a target
# found something; its reproducer stays in build/fuzz/TARGET/ (crash-*, leak-*, timeout-*, oom-*).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset native-fuzz >/dev/null
cmake --build --preset native-fuzz >/dev/null

# A small quarantine keeps memory, and so the speed, steady over a long run.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=10}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
status=0
for seeds in tests/fuzz/corpus/*/; do
    target=$(basename "$seeds")
    work=build/fuzz/$target
    mkdir -p "$work/corpus"
    cp -n "$seeds"* "$work/corpus/"
    before=$(find "$work" -maxdepth 1 -name '*-*' -type f | wc -l)
    set +e
    "build/native-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/corpus" >"$work/log.txt" 2>&1
    code=$?
    set -e
    findings=$(($(find "$work" -maxdepth 1 -name '*-*' -type f | wc -l) - before))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt")
    if [ "$findings" -eq 0 ] && { [ "$code" -ne 0 ] || [ -z "$runs" ]; }; then
        findings=1 # it stopped without leaving an input (the process ended itself): the log says why
    fi
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log.txt")
    printf '%-14s executions %10s  exec/s %6s  corpus %6s  findings %s\n' "$target" "${runs:-?}" "${rate:-?}" \
        "$(find "$work/corpus" -type f | wc -l)" "$findings"
    if [ "$findings" -ne 0 ]; then
        status=1
        echo "  see $work/log.txt and $work/"
    fi
done
exit "$status"
