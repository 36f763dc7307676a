#!/usr/bin/env bash
# Builds the preferences reader's libFuzzer target with clang in its own build folder and runs it for a
# bounded time on the shipped seed corpus. Exit status is libFuzzer's: non-zero on a crash, a broken
# rewrite or a leak.
# Usage: scripts/fuzz-prefs.sh [seconds]   (default 40)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-40}"
build="$here/build/fuzz-prefs"
cmake -S "$here/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j2 prefs_reader_fuzz
work="$build/corpus"
mkdir -p "$work"
export TZ=Europe/London LC_ALL=en_GB.UTF-8
# New inputs go to the work folder; the shipped seeds stay as they are.
"$build/prefs_reader_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 "$work" "$here/fuzz/prefs-corpus"
