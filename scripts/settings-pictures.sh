#!/usr/bin/env bash
# Draws the README's pictures of the Settings window, docs/settings-light.png and docs/settings-dark.png,
# headless, from fixture data at a fixed time, with a pinned font, locale and zone and Kalvix's own symbols.
#   scripts/settings-pictures.sh [BUILD_DIR]   (default build/test; configured if needed)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/test}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j 2 --target settings_picture

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p docs
env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home" TZ=Europe/London LC_ALL=en_GB.UTF-8 \
    LANG=en_GB.UTF-8 QT_QPA_PLATFORM=offscreen \
    faketime '2025-03-05 11:55:30' "$build/tests/settings/settings_picture" docs
echo "wrote docs/settings-light.png and docs/settings-dark.png"
