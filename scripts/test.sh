#!/usr/bin/env bash
# Runs every test: installs what is needed, checks formatting and that includes follow the targets' links,
# builds with warnings as errors, runs the whole suite and clang-tidy, then
# builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs the suite once more, builds
# the Debian package and checks it in a fresh Debian 12 (scripts/test-package.sh), and finally runs the
# iCalendar and preferences fuzzers for a bounded time (100 seconds together).
#   --quick   the first build and run only
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

bash scripts/install-deps.sh

jobs=$(nproc)
ctest_args=(--output-on-failure -j "$jobs" --timeout 300)
passed=0
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

# Runs the suite in a build folder and adds its count of passed tests to the total.
run_suite() {
    (cd "$1" && ctest "${ctest_args[@]}") | tee "$log"
    local total
    total=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
    passed=$((passed + ${total:-0}))
}

echo "== formatting =="
if ! git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror; then
    echo "Some sources are not formatted: run 'ninja -C build format' (or clang-format -i on them)." >&2
    exit 1
fi

echo "== includes follow the targets' links =="
python3 scripts/check-includes.py

echo "== build and test =="
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVIX_WERROR=ON >/dev/null
cmake --build build/test -j "$jobs"
run_suite build/test

echo "== clang-tidy =="
bash scripts/tidy.sh build/test

if [ "$quick" -eq 1 ]; then
    echo "tests: $passed passed, 0 failed"
    exit 0
fi

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVIX_WERROR=ON -DKALVIX_SANITIZE=ON \
    -DKALVIX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build/asan -j "$jobs"
# faketime preloads itself ahead of the sanitizer runtime in the command-line tests.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build/asan

echo "== the Debian package =="
# Packages the first build as it is; the package's own checks count with the tests.
bash scripts/test-package.sh build/test | tee "$log"
checks=$(sed -n 's/^package: \([0-9]*\) passed, 0 failed$/\1/p' "$log")
passed=$((passed + ${checks:-0}))

if [ -x scripts/fuzz-ical.sh ]; then
    echo "== fuzz the iCalendar reader =="
    bash scripts/fuzz-ical.sh 60
fi
if [ -x scripts/fuzz-prefs.sh ]; then
    echo "== fuzz the preferences reader =="
    bash scripts/fuzz-prefs.sh 40
fi

echo "tests: $passed passed, 0 failed"
