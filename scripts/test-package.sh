#!/usr/bin/env bash
# Builds Kalvix's Debian package and checks it as a user meets it: its files, its dependencies,
# lintian, then an install, a run and a removal in a fresh Debian 12 made by debootstrap.
#   scripts/test-package.sh [BUILD_FOLDER]
# BUILD_FOLDER is packaged as it is (the test run passes its own build); without one, scripts/package.sh
# makes its release build. Needs root or sudo (debootstrap, chroot) and the Debian archive
# (KALVIX_DEBIAN_MIRROR, default http://deb.debian.org/debian). Nothing is kept between runs.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
mirror=${KALVIX_DEBIAN_MIRROR:-http://deb.debian.org/debian}
suite=bookworm
build=${1:-build/deb}
started=$SECONDS
passed=0
failed=0

check() { # check WHAT COMMAND...: runs COMMAND and counts it as a passed or failed check
    local what=$1
    shift
    if "$@"; then
        echo "ok   $what"
        passed=$((passed + 1))
    else
        echo "FAIL $what"
        failed=$((failed + 1))
    fi
}
same() { # same EXPECTED ACTUAL: equal texts, with a diff when they are not
    [ "$1" = "$2" ] && return 0
    diff <(echo "$1") <(echo "$2") | sed 's/^/     /'
    return 1
}
matches() { # matches REGEX TEXT
    [[ $2 =~ $1 ]] && return 0
    echo "     got: '$2'"
    return 1
}
phase() {
    echo "== $1 (at $((SECONDS - started)) s) =="
}

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvix-package.XXXXXX")
root="$work/debian"
debootstrap_pid=""
cleanup() {
    if [ -n "$debootstrap_pid" ] && kill -0 "$debootstrap_pid" 2>/dev/null; then
        kill "$debootstrap_pid"
        wait "$debootstrap_pid" || true
    fi
    # Whatever is still mounted in the Debian root (our /proc; debootstrap's own when it failed), then
    # the folder, never crossing into another file system.
    awk -v root="$root/" 'index($2, root) == 1 {print $2}' /proc/mounts | sort -r | while read -r m; do
        $SUDO umount -l "$m"
    done
    $SUDO rm -rf --one-file-system "$work"
}
trap cleanup EXIT
# Stopped from outside (the test run that started it failed elsewhere), it still cleans up.
trap 'exit 143' TERM INT

# The fresh Debian is made in the background while the package is built and checked.
phase "debootstrap $suite (minbase) in the background"
$SUDO debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 &
debootstrap_pid=$!

phase "package"
if [ "$#" -gt 0 ]; then
    deb=$(bash scripts/package.sh "$build" | tail -n 1)
else
    deb=$(bash scripts/package.sh | tail -n 1)
fi
echo "$deb"
version=$(sed -n '1s/^kalvix (\([^)]*\)).*/\1/p' packaging/changelog)
expected_files=$(grep -v '^#' packaging/files.txt | sed 's|^|./usr/|' | sort)

phase "contents"
listing=$(dpkg-deb --fsys-tarfile "$deb" | tar -tv --numeric-owner)
check "the package holds exactly the installed files of packaging/files.txt" \
    same "$expected_files" "$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sort)"
check "everything is under /usr, owned by root" \
    same "" "$(awk '$6 != "./" && ($6 !~ /^\.\/usr\// || $2 != "0/0") {print}' <<<"$listing")"
# The command (a small launcher) and the program it starts.
programs="./usr/bin/kalvix ./usr/libexec/kalvix/kalvix"
check "folders 0755, the programs 0755, other files 0644" same "" "$(awk -v programs=" $programs " '
    $1 ~ /^d/ && $1 != "drwxr-xr-x" {print; next}
    index(programs, " " $6 " ") && $1 != "-rwxr-xr-x" {print; next}
    $1 ~ /^-/ && !index(programs, " " $6 " ") && $1 != "-rw-r--r--" {print}' <<<"$listing")"
check "no maintainer scripts and no configuration files: nothing is done to users' homes" \
    same "./control ./md5sums" "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -v '^\./$' | sort | xargs)"

phase "control fields and dependencies"
field() { dpkg-deb -f "$deb" "$1"; }
check "package kalvix, version $version, for $(dpkg --print-architecture)" \
    same "kalvix $version $(dpkg --print-architecture)" "$(field Package) $(field Version) $(field Architecture)"
depends=$(field Depends)
echo "     Depends: $depends"
echo "     Recommends: $(field Recommends)"
dep_names=" $(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g' | xargs) "
mkdir -p "$work/tree"
dpkg-deb -x "$deb" "$work/tree"
missing=""
# The package of each library the program links, as the loader finds it (with a merged /usr, dpkg may
# know the file under /lib or under /usr/lib).
owner_of() {
    local file dir candidate owner
    [ -n "$1" ] || return 0
    file=$(basename "$(readlink -f "$1")")
    dir=$(dirname "$1")
    for candidate in "$dir/$file" "/usr${dir#/usr}/$file" "${dir#/usr}/$file"; do
        owner=$(dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1)
        if [ -n "$owner" ]; then
            echo "$owner"
            return
        fi
    done
}
for program in usr/bin/kalvix usr/libexec/kalvix/kalvix; do
    loaded=$(ldd "$work/tree/$program" | awk '$2 == "=>" {print $1, $3; next} {n = split($1, p, "/"); print p[n], $1}')
    for soname in $(objdump -p "$work/tree/$program" | awk '$1 == "NEEDED" {print $2}'); do
        owner=$(owner_of "$(awk -v s="$soname" '$1 == s {print $2}' <<<"$loaded")")
        if [[ $dep_names != *" $owner "* ]]; then missing+=" $soname(${owner:-no package})"; fi
    done
done
check "every library the program links comes from a package it depends on" same "" "${missing# }"
check "the time-zone database is a dependency" matches " tzdata " "$dep_names"
check "no development package among the dependencies" same "" "$(tr ' ' '\n' <<<"$dep_names" | grep -- '-dev$' || true)"
check "the programs are stripped" same "" "$(for p in usr/bin/kalvix usr/libexec/kalvix/kalvix; do
    objdump -h "$work/tree/$p" | awk '$2 ~ /^\.debug/ {print $2}'; done)"

phase "lintian"
lintian_out=$(lintian --fail-on error --display-info "$deb" 2>&1) && lintian_ok=1 || lintian_ok=0
if [ -n "$lintian_out" ]; then sed 's/^/     /' <<<"$lintian_out"; fi
check "lintian reports no errors" [ "$lintian_ok" -eq 1 ]

phase "install in the fresh Debian 12"
if ! wait "$debootstrap_pid"; then
    tail -n 20 "$work/debootstrap.log" >&2
    echo "test-package.sh: debootstrap failed" >&2
    exit 1
fi
echo "     debootstrap done at $((SECONDS - started)) s"
$SUDO mount -t proc proc "$root/proc"
# A root that is thrown away afterwards: dpkg need not wait for each file to reach the disk.
echo force-unsafe-io | $SUDO tee "$root/etc/dpkg/dpkg.cfg.d/unsafe-io" >/dev/null
$SUDO cp "$deb" "$root/tmp/"
in_root() { $SUDO chroot "$root" env -i PATH=/usr/bin:/bin HOME=/tmp/home XDG_CONFIG_HOME=/tmp/home/.config \
    XDG_DATA_HOME=/tmp/home/.local/share XDG_RUNTIME_DIR=/tmp/runtime LC_ALL=C.UTF-8 TZ=Europe/London \
    DEBIAN_FRONTEND=noninteractive "$@"; }
in_root apt-get update -qq
check "apt install ./$(basename "$deb") on the fresh system" \
    in_root sh -c "cd /tmp && apt install -y -q --no-install-recommends ./$(basename "$deb") >/tmp/apt.log 2>&1 \
        || { tail -n 30 /tmp/apt.log; exit 1; }"
check "dpkg has it installed" same "install ok installed" "$(in_root dpkg-query -W -f='${Status}' kalvix)"

phase "run the installed program"
in_root mkdir -p /tmp/home/.config/kalvix /tmp/runtime /tmp/snapshot
in_root chmod 700 /tmp/runtime
printf '[General]\ntimeStyle=2\ndateStyle=1\nshowYear=false\n' | $SUDO tee "$root/tmp/home/.config/kalvix/kalvix.conf" >/dev/null
check "kalvix --version names the version and the commit it was built from" \
    same "$("$build/app/kalvix" --version)" "$(in_root kalvix --version)"
check "kalvix --print-title prints the title in the chosen form" \
    matches '^[[:alpha:]]+ [0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}$' "$(in_root kalvix --print-title)"
# The full program, without a display server: it writes its autostart entry at the first start, then
# draws the popover and quits.
in_root env QT_QPA_PLATFORM=offscreen timeout 60 kalvix --snapshot /tmp/snapshot >"$work/snapshot.log" 2>&1 \
    && snapshot_rc=0 || snapshot_rc=$?
check "kalvix --snapshot runs the whole program and exits 0" same 0 "$snapshot_rc"
check "the popover is drawn with the installed libraries" \
    [ -s "$root/tmp/snapshot/standard.png" -a -s "$root/tmp/snapshot/compact.png" ]
program_of() { # program_of ENTRY: the file the entry's Exec runs, as a desktop resolves it on the PATH
    local exec_line program
    exec_line=$($SUDO sed -n 's/^Exec=//p' "$root$1" | head -n 1)
    if [[ $exec_line == \"* ]]; then
        program=${exec_line#\"}
        program=${program%%\"*}
    else
        program=${exec_line%% *}
    fi
    in_root sh -c 'readlink -f "$(command -v "$1")"' sh "$program"
}
check "the autostart entry it wrote runs /usr/bin/kalvix" \
    same /usr/bin/kalvix "$(program_of /tmp/home/.config/autostart/kalvix.desktop)"
check "the menu's entry runs /usr/bin/kalvix" same /usr/bin/kalvix "$(program_of /usr/share/applications/kalvix.desktop)"

phase "remove"
check "apt purge kalvix" in_root sh -c 'apt-get purge -y -q kalvix >/tmp/apt.log 2>&1 || { tail -n 30 /tmp/apt.log; exit 1; }'
check "dpkg no longer knows it" same "" "$(in_root dpkg-query -W -f='${Status}' kalvix 2>/dev/null || true)"
left=""
for f in $expected_files /usr/share/doc/kalvix; do
    if [ -e "$root/${f#.}" ]; then left+=" ${f#.}"; fi
done
check "none of its files is left" same "" "${left# }"

echo "== done in $((SECONDS - started)) s =="
echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
