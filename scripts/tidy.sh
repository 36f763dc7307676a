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
# A unity build's database names the files that include a target's sources, not the sources: each source
# gets the command of the unity file it is in, which is its target's. Every file checked must have a
# command of its own, or clang-tidy would guess one from its neighbours.
db="$build/tidy-db"
mkdir -p "$db"
printf '%s\n' "${files[@]}" | python3 -c '
import json, os, re, sys
entries = json.load(open(sys.argv[1]))
out = []
for e in entries:
    if not re.search(r"/Unity/unity_[0-9]+_cxx\.cxx$", e["file"]):
        out.append(e)
        continue
    if " -c " + e["file"] not in e["command"]:
        sys.exit("cannot read the command of " + e["file"])
    for source in re.findall(r"^#include \"(.+)\"$", open(e["file"]).read(), re.M):
        out.append(dict(e, file=source, command=e["command"].replace(" -c " + e["file"], " -c " + source)))
json.dump(out, open(sys.argv[2], "w"), indent=1)
known = {os.path.realpath(e["file"]) for e in out}
missing = [f for f in sys.stdin.read().splitlines() if os.path.realpath(f) not in known]
if missing:
    sys.exit("no compile command for: " + " ".join(missing))
' "$build/compile_commands.json" "$db/compile_commands.json"
status=0
printf '%s\0' "${files[@]}" | xargs -0 -n 4 -P "$(nproc)" clang-tidy -p "$db" --quiet --extra-arg=-Wno-overloaded-virtual >"$log" 2>/dev/null ||
    status=$?
if [ "$status" -ne 0 ] || grep -q ': error: ' "$log"; then
    cat "$log"
    echo "clang-tidy: findings above (status $status)" >&2
    exit 1
fi
echo "clang-tidy: ${#files[@]} files clean"
