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

echo "== kalvix --agenda and khal list, side by side on the vdir (medians of 5 runs)"
kalvix="$build/app/kalvix"
[ -x "$kalvix" ] || { echo "build kalvix first ($kalvix)" >&2; exit 1; }
mkdir -p "$work/khal" "$work/home/config/kalvix"
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
printf '[General]\ndidRegisterLoginItem=true\ncalendarSources="%s"\n' "$work/vdir" > "$work/home/config/kalvix/kalvix.conf"
python3 "$(dirname "$0")/agenda_side_by_side.py" "$kalvix" "$work"
