#!/usr/bin/env bash
# Builds everything and runs all tests headless, twice: a RelWithDebInfo build
# in build/, then an AddressSanitizer/UBSan build in build-asan/. Exits
# non-zero if either build or either test run fails. The last lines printed
# are the two CTest summaries.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1

export QT_QPA_PLATFORM=offscreen
JOBS=${AFORIZM_JOBS:-2}

# run_suite NAME BUILD_DIR CMAKE_ARGS...: configure, build and test one tree;
# leaves CTest's summary line in SUMMARY_<NAME>.
run_suite() {
    local name=$1 dir=$2
    shift 2
    echo "== $name: configure and build in $dir" >&2
    if ! cmake -G Ninja -S . -B "$dir" "$@" >"$dir/configure.log" 2>&1; then
        cat "$dir/configure.log" >&2
        printf -v "SUMMARY_$name" '%s' "configuration failed (see $dir/configure.log)"
        return 1
    fi
    if ! cmake --build "$dir" -j "$JOBS"; then
        printf -v "SUMMARY_$name" '%s' "build failed"
        return 1
    fi
    echo "== $name: tests" >&2
    local log="$dir/ctest.log" status
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    local summary
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" | tail -n 1)
    if [[ -z "$summary" ]]; then
        summary=$(grep -E '^No tests were found' "$log" | tail -n 1)
        [[ -n "$summary" ]] || summary="no CTest summary"
    fi
    printf -v "SUMMARY_$name" '%s' "$summary"
    if [[ "$summary" =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        printf -v "COUNTS_$name" '%s %s' "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
    elif [[ "$summary" == No\ tests* ]]; then
        printf -v "COUNTS_$name" '0 0'
    fi
    return "$status"
}

mkdir -p build build-asan
SUMMARY_release="" SUMMARY_asan="" COUNTS_release="" COUNTS_asan=""
run_suite release build -DCMAKE_BUILD_TYPE=RelWithDebInfo
release=$?
run_suite asan build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAFORIZM_SANITIZE=ON \
    -DAFORIZM_BENCH=OFF
asan=$?

# Combined CTest-style summary of both runs as the last line.
echo
echo "release build:   $SUMMARY_release"
echo "sanitizer build: $SUMMARY_asan"
if [[ -n "$COUNTS_release" && -n "$COUNTS_asan" ]]; then
    read -r failed_r total_r <<<"$COUNTS_release"
    read -r failed_a total_a <<<"$COUNTS_asan"
    failed=$((failed_r + failed_a)) total=$((total_r + total_a))
    if ((total == 0)); then
        percent=100
    else
        percent=$(((total - failed) * 100 / total))
        ((failed > 0 && percent == 100)) && percent=99
    fi
    echo "${percent}% tests passed, ${failed} tests failed out of ${total}"
else
    echo "build failed: no tests were run for one of the builds"
fi
((release == 0 && asan == 0))
