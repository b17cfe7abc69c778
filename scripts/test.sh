#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# native (Linux g++), native-asan (with AddressSanitizer and
# UndefinedBehaviorSanitizer), native-tsan (with ThreadSanitizer) and windows
# (mingw-w64, tests under Wine); then
# the fuzz targets (scripts/fuzz.sh) and Valgrind (scripts/valgrind.sh).
# Ends with one line "tests: N passed, M failed"; the exit status is non-zero
# when any build or test failed.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1

passed=0 failed=0 broken=()
for preset in native native-asan native-tsan windows; do
    echo "== $preset"
    if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
        broken+=("$preset (build)")
        continue
    fi
    log=$(mktemp)
    ctest --preset "$preset" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    if [ -z "$summary" ]; then
        broken+=("$preset (no test summary)")
        continue
    fi
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || broken+=("$preset (ctest status $status)")
done

# The kill test runs in the native ctest; its counts are shown here.
echo "== kill test"
grep -h '^kill test:' build/native/Testing/Temporary/LastTest.log 2>/dev/null | tail -n 1 ||
    echo "kill test: no result (see the native tests above)"

# The fuzz targets (FUZZ_SECONDS each, 60 by default) and Valgrind over the
# native tests; each stage's targets or programs count in the totals.
for stage in fuzz valgrind; do
    echo "== $stage"
    log=$(mktemp)
    if [ "$stage" = fuzz ]; then
        bash scripts/fuzz.sh --seconds "${FUZZ_SECONDS:-60}" 2>&1 | tee "$log"
    else
        bash scripts/valgrind.sh 2>&1 | tee "$log"
    fi
    status=${PIPESTATUS[0]}
    counts=$(grep -E "^$stage summary: [0-9]+ passed, [0-9]+ failed$" "$log" | tail -n 1)
    rm -f "$log"
    if [ -z "$counts" ]; then
        broken+=("$stage (no summary)")
        continue
    fi
    good=$(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$counts")
    bad=$(sed -E 's/.*passed, ([0-9]+) failed.*/\1/' <<<"$counts")
    passed=$((passed + good))
    failed=$((failed + bad))
    [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || broken+=("$stage (status $status)")
done

for b in "${broken[@]}"; do echo "FAILED: $b"; done
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ ${#broken[@]} -eq 0 ]
