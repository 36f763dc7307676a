#!/bin/sh
# Makes the README's pictures of the popover with `kalvix --snapshot`: the calendars in docs/fixtures at a
# fixed time (faketime), British English, Noto Sans, Kalvix's own symbols, in a light and a dark theme.
#
#   scripts/make-pictures.sh [path/to/kalvix]     (default: build/release/app/kalvix)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
kalvix=$(realpath "${1:-$root/build/release/app/kalvix}")
at="2026-03-05 09:41:00"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/config/kalvix" "$work/data" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
calendars="$root/docs/fixtures/calendars"
cat > "$work/config/kalvix/kalvix.conf" <<CONF
[General]
didRegisterLoginItem=true
calendarSources="$calendars/work", "$calendars/home", "$calendars/birthdays"
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
        DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" \
        faketime -f "@$at" "$kalvix" --snapshot "$work/$scheme"
    cp "$work/$scheme/compact.png" "$root/docs/compact-$scheme.png"
    if [ -n "${KALVIX_PICTURES_STANDARD:-}" ]; then
        cp "$work/$scheme/standard.png" "$KALVIX_PICTURES_STANDARD-$scheme.png"
    fi
done
echo "docs/compact-light.png and docs/compact-dark.png made at $at"
