#!/usr/bin/env bash
# Runs every test: installs what is needed, checks formatting and that includes follow the targets' links,
# builds with warnings as errors, runs the whole suite and clang-tidy, then
# builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs the suite once more, builds
# the Debian package and checks it in a fresh Debian 12 (scripts/test-package.sh), and finally runs the
# iCalendar and preferences fuzzers for a bounded time (60 and 40 seconds, side by side).
# clang-tidy and the package check run in the background at a lower priority: the suites often wait for
# X servers, panels and the Debian archive, and these soak up the processors meanwhile. Their reports are
# printed at the end, and each phase's wall and CPU time after them.
#   --quick   the first build and run only
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

jobs=$(nproc)
ctest_args=(--output-on-failure -j "$jobs" --timeout 300)
passed=0
log="$(mktemp)"
times_file="$(mktemp)"
# Checks that run in the background: `background NAME COMMAND...` starts one, `finish NAME` waits for it,
# prints its output and fails when it failed. Each has a process group of its own, so that a failure
# elsewhere stops it whole.
declare -A bg_pid bg_log
background() {
    local name=$1
    shift
    bg_log[$name]=$(mktemp)
    setsid nice -n 10 "$@" >"${bg_log[$name]}" 2>&1 &
    bg_pid[$name]=$!
    echo "($name runs in the background)"
}
finish() {
    local name=$1 status=0
    wait "${bg_pid[$name]}" || status=$?
    unset "bg_pid[$name]"
    cat "${bg_log[$name]}"
    return "$status"
}
cleanup() {
    local name
    for name in "${!bg_pid[@]}"; do
        # The package check unmounts and removes its Debian root on the way out.
        kill -- "-${bg_pid[$name]}" 2>/dev/null || true
        wait "${bg_pid[$name]}" || true
    done
    rm -f "$log" "$log".* "$times_file" "${bg_log[@]}"
}
trap cleanup EXIT

# The CPU seconds (user and system) of the commands this script has waited for so far, into $cpu. `times`
# runs in this shell, not in a subshell: a subshell would count only its own children.
cpu=0
count_cpu() {
    local user system
    times >"$times_file"
    { read -r _ && read -r user system; } <"$times_file"
    cpu=$(($(seconds_of "$user") + $(seconds_of "$system")))
}
seconds_of() { # 1m2.345s -> 62
    local minutes=${1%%m*} seconds=${1#*m}
    seconds=${seconds%%[.s]*}
    echo $((10#$minutes * 60 + 10#$seconds))
}
started=$SECONDS
phase_name=""
phase_started=0
phase_cpu=0
phases=()
# phase NAME: ends the phase before, noting its times, and starts NAME (none with an empty NAME).
phase() {
    count_cpu
    if [ -n "$phase_name" ]; then
        phases+=("$(printf '%6d s %6d s  %s' $((SECONDS - phase_started)) $((cpu - phase_cpu)) "$phase_name")")
    fi
    phase_name=$1
    phase_started=$SECONDS
    phase_cpu=$cpu
    if [ -n "$1" ]; then echo "== $1 (at $((SECONDS - started)) s) =="; fi
}
report_times() {
    phase ""
    echo "== times: wall, then CPU (a background check's CPU counts in the phase in which it ends) =="
    printf '%s\n' "${phases[@]}"
    printf '%6d s %6d s  in all\n' $((SECONDS - started)) "$cpu"
}

# Runs the suite in a build folder and adds its count of passed tests to the total.
run_suite() {
    (cd "$1" && ctest "${ctest_args[@]}") | tee "$log"
    local total
    total=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
    passed=$((passed + ${total:-0}))
}

phase "install what is needed"
bash scripts/install-deps.sh

phase "formatting"
if ! git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror; then
    echo "Some sources are not formatted: run 'ninja -C build format' (or clang-format -i on them)." >&2
    exit 1
fi

phase "includes follow the targets' links"
python3 scripts/check-includes.py

phase "build"
# Unity builds: a library is compiled in a few large pieces, so Qt's headers are read a few times for it
# rather than once for each source. clang-tidy still checks each source on its own (scripts/tidy.sh).
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVIX_WERROR=ON -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build build/test -j "$jobs"
background clang-tidy bash scripts/tidy.sh build/test
phase "test"
run_suite build/test

if [ "$quick" -eq 1 ]; then
    phase "clang-tidy (what was left of it)"
    finish clang-tidy
    report_times
    echo "tests: $passed passed, 0 failed"
    exit 0
fi

# sudo asks now, if it must, rather than in the background.
if [ "$(id -u)" -ne 0 ]; then sudo -v; fi
# Packages the first build as it is; the package's own checks count with the tests.
background "the Debian package" bash scripts/test-package.sh build/test

phase "build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVIX_WERROR=ON -DKALVIX_SANITIZE=ON \
    -DKALVIX_BUILD_BENCHMARKS=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build build/asan -j "$jobs"
phase "test with AddressSanitizer and UndefinedBehaviorSanitizer"
# faketime preloads itself ahead of the sanitizer runtime in the command-line tests.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build/asan

# Each fuzzer keeps one core busy for its time, so the two run side by side, each in its own build folder.
fuzzers=()
[ -x scripts/fuzz-ical.sh ] && fuzzers+=("ical 60")
[ -x scripts/fuzz-prefs.sh ] && fuzzers+=("prefs 40")
if [ "${#fuzzers[@]}" -gt 0 ]; then
    phase "fuzz the iCalendar and preferences readers"
    pids=()
    for f in "${fuzzers[@]}"; do
        read -r name seconds <<<"$f"
        bash "scripts/fuzz-$name.sh" "$seconds" >"$log.$name" 2>&1 &
        pids+=($!)
    done
    status=0
    for i in "${!fuzzers[@]}"; do
        read -r name _ <<<"${fuzzers[$i]}"
        wait "${pids[$i]}" || status=1
        echo "-- fuzz-$name.sh --"
        cat "$log.$name"
        rm -f "$log.$name"
    done
    [ "$status" -eq 0 ] || { echo "a fuzzer failed: its output is above" >&2; exit 1; }
fi

phase "clang-tidy (what was left of it)"
finish clang-tidy

phase "the Debian package (what was left of it)"
finish "the Debian package"
checks=$(sed -n 's/^package: \([0-9]*\) passed, 0 failed$/\1/p' "${bg_log["the Debian package"]}")
passed=$((passed + ${checks:-0}))

report_times
echo "tests: $passed passed, 0 failed"
