#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, two at a time.
#
#   bash scripts/fuzz.sh [--seconds N] [TARGET...]     (default: 60 s, every target)
#
# Each target starts from the committed seed corpus (tests/fuzz/corpus/NAME)
# plus what earlier runs found (build/fuzz/work/NAME). An input that breaks an
# invariant or crashes is saved under build/fuzz/artifacts/NAME/. Prints one
# line per target with its executions, and "fuzz summary: N passed, M failed";
# the exit status is non-zero when a target failed or the build did.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=60
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
        *) targets+=("$1"); shift ;;
    esac
done
[ ${#targets[@]} -gt 0 ] || targets=(read_section apply_to_folder str_tok companion_command_line read_journal csv)

if ! { cmake --preset fuzz >/dev/null && cmake --build --preset fuzz; }; then
    echo "fuzz: the build failed"
    echo "fuzz summary: 0 passed, ${#targets[@]} failed"
    exit 1
fi

bin=build/fuzz/bin
logs=build/fuzz/logs
mkdir -p "$logs"

run_one() {
    local name=$1
    local work=build/fuzz/work/$name artifacts=build/fuzz/artifacts/$name
    mkdir -p "$work" "$artifacts"
    "$bin/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$work" "tests/fuzz/corpus/$name" >"$logs/$name.log" 2>&1
    echo $? >"$logs/$name.status"
}

# Two at a time: the machine has two cores.
pids=()
for name in "${targets[@]}"; do
    run_one "$name" &
    pids+=($!)
    if [ ${#pids[@]} -eq 2 ]; then
        wait "${pids[0]}"
        pids=("${pids[@]:1}")
    fi
done
wait

passed=0 failed=0
for name in "${targets[@]}"; do
    log=$logs/$name.log
    status=$(cat "$logs/$name.status" 2>/dev/null || echo 99)
    runs=$(sed -n 's/^stat::number_of_executed_units: //p' "$log" | tail -n 1)
    corpus=$(ls "build/fuzz/work/$name" | wc -l)
    if [ "$status" -eq 0 ] && grep -q '^Done [0-9]* runs' "$log"; then
        echo "fuzz fuzz_$name: ${runs:-?} executions in $seconds s, no crash (corpus: $corpus found + $(ls "tests/fuzz/corpus/$name" | wc -l) seeds)"
        passed=$((passed + 1))
    else
        echo "fuzz fuzz_$name: FAILED after ${runs:-?} executions (status $status); log $log, input in build/fuzz/artifacts/$name/"
        grep -E -A8 '^\*\*\* invariant broken|^==[0-9]+==ERROR|^SUMMARY' "$log" | head -n 30
        failed=$((failed + 1))
    fi
done
echo "fuzz summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
