#!/usr/bin/env bash
# Runs the native test programs under Valgrind's memcheck: the unit tests, the
# hostile-tree tests of the engine, and every run of the batch driver that the
# whole-program tests (tests/e2e) make. Needs the native build
# (cmake --preset native && cmake --build --preset native).
#
# Every process gets its own log in build/native/valgrind/; a process with a
# memory error or a leak fails its run (--error-exitcode) and is listed.
# Prints each program's ERROR SUMMARY and "valgrind summary: N passed, M
# failed"; the exit status is non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."

bin=build/native/bin
logs=build/native/valgrind
rm -rf "$logs"
mkdir -p "$logs"
memcheck=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect
          --errors-for-leak-kinds=definite,indirect --track-origins=yes)

passed=0 failed=0
stage() {  # stage NAME COMMAND...
    local name=$1
    shift
    if "$@" >"$logs/$name.out" 2>&1; then
        passed=$((passed + 1))
        echo "valgrind $name: clean"
    else
        failed=$((failed + 1))
        echo "valgrind $name: FAILED (output in $logs/$name.out)"
        tail -n 30 "$logs/$name.out"
    fi
}

# The driver as the whole-program tests run it, under memcheck.
wrapper=$PWD/$logs/tarnbatch-memcheck
cat >"$wrapper" <<WRAP
#!/bin/sh
exec ${memcheck[*]} --log-file=$PWD/$logs/tarnbatch.%p.log $PWD/$bin/tarnbatch "\$@"
WRAP
chmod +x "$wrapper"

stage unit_tests "${memcheck[@]}" --log-file="$logs/unit_tests.%p.log" "$bin/unit_tests" --gtest_brief=1
stage hostile_engine_tests "${memcheck[@]}" --log-file="$logs/hostile_engine_tests.%p.log" \
    "$bin/hostile_engine_tests" --gtest_brief=1
stage e2e_tarnbatch env LC_ALL=ja_JP.UTF-8 PYTHONUTF8=1 TARNBATCH="$wrapper" \
    TARN_HOST_WRITER="$PWD/$bin/host_writer" XDG_STATE_HOME="$PWD/$logs/state" \
    XDG_RUNTIME_DIR="$PWD/$logs" python3 tests/e2e/test_tarnbatch.py

# Every process's log must report no error and no leak; a driver run that
# found one also made its e2e test fail through the exit status.
runs=0 dirty=0
for log in "$logs"/*.log; do
    [ -e "$log" ] || continue
    runs=$((runs + 1))
    # (A forked child that goes on to run another program ends its log
    # without a summary.)
    if grep -q 'ERROR SUMMARY: [1-9]' "$log" || grep -Eq '(definitely|indirectly) lost: [1-9]' "$log"; then
        dirty=$((dirty + 1))
        echo "valgrind: errors in $log"
        grep -E 'ERROR SUMMARY|lost:|^==[0-9]+== (Invalid|Conditional|Use of)' "$log" | head -n 10
    fi
done
for program in unit_tests hostile_engine_tests; do
    # The main process's summary (the first log of that program).
    log=$(ls "$logs"/$program.*.log | head -n 1)
    echo "valgrind $program: $(grep -o 'ERROR SUMMARY: .*' "$log" | tail -n 1)"
    grep -o 'All heap blocks were freed -- no leaks are possible\|in use at exit: .*' "$log" | head -n 1 | sed "s/^/valgrind $program: /"
done
echo "valgrind: $runs processes checked ($(ls "$logs"/tarnbatch.*.log 2>/dev/null | wc -l) runs of tarnbatch), $dirty with errors or leaks"
if [ "$dirty" -gt 0 ]; then failed=$((failed + 1)); else passed=$((passed + 1)); fi
echo "valgrind summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
