#!/bin/bash
# Counts the instructions quorvel-audit executes on three fixtures under
# Callgrind, for comparing two builds: count.sh BUILD/src/cli/quorvel-audit
# Needs valgrind (Debian: valgrind). Prints "fixture instructions" lines.
set -euo pipefail
audit=$(realpath "$1")
here=$(cd "$(dirname "$0")/../.." && pwd)
cascade=/usr/share/opencv4/haarcascades/haarcascade_frontalface_alt2.xml
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for fixture in id_blue id_white id_red; do
    mkdir "$work/$fixture"
    valgrind --tool=callgrind --callgrind-out-file="$work/$fixture.out" "$audit" \
        --color 3 --size 1 --cascade "$cascade" --out "$work/$fixture" --explain \
        "$here/tests/data/$fixture.jpg" >/dev/null 2>"$work/$fixture.err"
    echo "$fixture $(sed -n 's/^summary: //p' "$work/$fixture.out")"
done
