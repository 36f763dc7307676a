#!/usr/bin/env bash
# Builds the iCalendar reader's libFuzzer target with clang in its own build folder and runs it for a
# bounded time on the shipped seed corpus. Exit status is libFuzzer's: non-zero on a crash or leak.
# Usage: scripts/fuzz-ical.sh [seconds]   (default 60)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="$here/build/fuzz-ical"
cmake -S "$here/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j2 ical_reader_fuzz
work="$build/corpus"
mkdir -p "$work"
export TZ=Europe/London LC_ALL=en_GB.UTF-8
# New inputs go to the work folder; the shipped seeds stay as they are.
"$build/ical_reader_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 "$work" "$here/fuzz/corpus"
