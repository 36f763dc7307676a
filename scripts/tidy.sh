#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over Kalvix's own sources (not the tests, benchmarks or
# fuzzers), in parallel, against a build folder's compile_commands.json. Any finding fails.
#   scripts/tidy.sh BUILD_DIR [FILE...]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:?usage: scripts/tidy.sh BUILD_DIR [FILE...]}"
shift
if [ ! -f "$build/compile_commands.json" ]; then
    echo "no $build/compile_commands.json: configure that build first" >&2
    exit 1
fi
if [ "$#" -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files -- '*.cpp' | grep -Ev '^(tests|bench|fuzz)/')
fi
# Qt's moc output must exist for the sources that include it: the build has made it.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
printf '%s\0' "${files[@]}" | xargs -0 -n 4 -P "$(nproc)" clang-tidy -p "$build" --quiet --extra-arg=-Wno-overloaded-virtual >"$log" 2>/dev/null ||
    status=$?
if [ "$status" -ne 0 ] || grep -q ': error: ' "$log"; then
    cat "$log"
    echo "clang-tidy: findings above (status $status)" >&2
    exit 1
fi
echo "clang-tidy: ${#files[@]} files clean"
