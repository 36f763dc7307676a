#!/usr/bin/env bash
# Calendar figures on the generated corpus: Kalvix's load, memory and refresh costs next to libical's
# own parse, and `khal list` on the same vdir for comparison.
# Usage: bench/calendar-corpus.sh [build-dir]
set -euo pipefail
build="${1:-build}"
bench="$build/bench/calendar_bench"
[ -x "$bench" ] || { echo "build calendar_bench first ($bench)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TZ=Europe/London LC_ALL=en_GB.UTF-8

echo "== corpus"
"$bench" --write-corpus "$work"
echo "big.ics: $(du -h "$work/big.ics" | cut -f1), vdir: $(ls "$work/vdir" | grep -c '\.ics$') files"

echo "== resident memory, one process per source"
"$bench" --memory "$work/big.ics"
"$bench" --memory "$work/vdir"

echo "== timings (median of the repetitions)"
"$bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_filter='Libical|Load|Refresh' 2>/dev/null | grep -E '_median' || true

echo "== khal list on the same vdir (median of 3 runs)"
if command -v khal >/dev/null; then
    mkdir -p "$work/khal"
    cat > "$work/khal/config" <<CONF
[calendars]
[[bench]]
path = $work/vdir
[locale]
timeformat = %H:%M
dateformat = %Y-%m-%d
longdateformat = %Y-%m-%d
datetimeformat = %Y-%m-%d %H:%M
longdatetimeformat = %Y-%m-%d %H:%M
default_timezone = Europe/London
local_timezone = Europe/London
[sqlite]
path = $work/khal/khal.db
CONF
    python3 - "$work/khal" <<'PY'
import os, statistics, subprocess, sys, time
folder = sys.argv[1]
cmd = ["khal", "-c", os.path.join(folder, "config"), "list", "2025-03-05", "14d"]
def run():
    start = time.monotonic()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - start
cold = []
for _ in range(3):
    try:
        os.remove(os.path.join(folder, "khal.db"))
    except FileNotFoundError:
        pass
    cold.append(run())
warm = [run() for _ in range(3)]
print(f"khal list, cold (builds its cache from the vdir): median {statistics.median(cold):.2f} s")
print(f"khal list, warm (cache present): median {statistics.median(warm):.2f} s")
PY
else
    echo "khal is not installed"
fi
