#!/bin/sh
# Makes the README's pictures of the popover with `kalvix --snapshot`: the calendars in docs/fixtures, four
# world clocks (day in two of their cities, night in the other two, one of them still on the day before)
# and three countdowns, at a fixed time that stands still (faketime), British English, Noto Sans, Kalvix's
# own symbols, in a light and a dark theme.
#
# With --calendar-service the same events live in three calendars of the desktop's calendar service
# (Evolution Data Server, run on a session bus of the script's own) instead of files, named and
# coloured as GNOME Calendar would: docs/service-{light,dark}.png, the Standard layout.
#
#   scripts/make-pictures.sh [--calendar-service] [path/to/kalvix]     (default: build/release/app/kalvix)
set -eu
service=0
if [ "${1:-}" = "--calendar-service" ]; then
    service=1
    shift
fi
root=$(cd "$(dirname "$0")/.." && pwd)
kalvix=$(realpath "${1:-$root/build/release/app/kalvix}")
at="2026-03-05 09:41:00"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/config/kalvix" "$work/data" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
calendars="$root/docs/fixtures/calendars"
# Countdowns keep their dates as seconds since 2001-01-01 00:00:00 UTC.
countdown() {
    printf '{"id":"%s","title":"%s","date":%s}' "$1" "$2" $(($(date -u -d "$3" +%s) - 978307200))
}
sources='calendarSources="'"$calendars/work"'", "'"$calendars/home"'", "'"$calendars/birthdays"'"'
bus="unix:path=$work/no-bus"
if [ "$service" -eq 1 ]; then
    # Each folder becomes a local calendar of the service: its source file, and its events in one file.
    service_calendar() { # UID NAME COLOUR FOLDER
        mkdir -p "$work/config/evolution/sources" "$work/data/evolution/calendar/$1"
        printf '[Data Source]\nDisplayName=%s\nEnabled=true\nParent=local-stub\n\n[Calendar]\nBackendName=local\nColor=%s\nSelected=true\n' \
            "$2" "$3" > "$work/config/evolution/sources/$1.source"
        {
            printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kalvix pictures//EN\r\n'
            for f in "$4"/*.ics; do sed -n '/^BEGIN:VEVENT/,/^END:VEVENT/p' "$f"; done
            printf 'END:VCALENDAR\r\n'
        } > "$work/data/evolution/calendar/$1/calendar.ics"
    }
    service_calendar team "Team (Nextcloud)" "#1c71d8" "$calendars/work"
    service_calendar family "Family (Google)" "#2ec27e" "$calendars/home"
    service_calendar birthdays "Birthdays" "#e66100" "$calendars/birthdays"
    sources=""
    bus=$(env -i PATH="$PATH" HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
        XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" \
        dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$work/bus.pid")
    trap 'kill "$(cat "$work/bus.pid")" 2>/dev/null; rm -rf "$work"' EXIT
fi
cat > "$work/config/kalvix/kalvix.conf" <<CONF
[General]
didRegisterLoginItem=true
$sources
worldClockCities="London", "Dubai", "Tokyo", "Honolulu"
countdowns=[$(countdown 6F9619FF-8B86-4D11-B42D-00C04FC964FF "Lisbon holiday" "2026-03-29 09:00"),\
$(countdown 3F2504E0-4F89-41D3-9A0C-0305E82C3301 "Anna's birthday" "2026-03-17 12:00"),\
$(countdown 7C9E6679-7425-40DE-944B-E07FC1F90AE7 "Tax return due" "2026-03-06 12:00")]
CONF
cat > "$work/fonts.conf" <<FONTS
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <match target="pattern">
    <edit name="family" mode="prepend" binding="strong"><string>Noto Sans</string></edit>
  </match>
</fontconfig>
FONTS

for scheme in light dark; do
    mkdir -p "$work/$scheme"
    env -i PATH="$PATH" HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
        XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" FONTCONFIG_FILE="$work/fonts.conf" \
        TZ=Europe/London LC_ALL=en_GB.UTF-8 QT_QPA_PLATFORM=offscreen KALVIX_COLOR_SCHEME=$scheme \
        DBUS_SESSION_BUS_ADDRESS="$bus" XDG_CURRENT_DESKTOP=GNOME \
        FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "$at" "$kalvix" --snapshot "$work/$scheme"
    if [ "$service" -eq 1 ]; then
        cp "$work/$scheme/standard.png" "$root/docs/service-$scheme.png"
    else
        cp "$work/$scheme/compact.png" "$root/docs/compact-$scheme.png"
        cp "$work/$scheme/standard.png" "$root/docs/standard-$scheme.png"
    fi
done
if [ "$service" -eq 1 ]; then
    echo "docs/service-{light,dark}.png made at $at from the calendar service"
else
    echo "docs/standard-{light,dark}.png and docs/compact-{light,dark}.png made at $at"
fi
