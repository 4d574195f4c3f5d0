#!/usr/bin/env bash
# Measures how sensor grain moves the head top (docs/head-top.md): builds the
# noisy portrait set from Debian's opencv-doc, audits it with two builds of
# quorvel-audit (colour 3, size 1), verifies every save, and prints the
# figures of each build.
#   bash tools/headtop_noise/measure.sh BEFORE_AUDIT AFTER_AUDIT [WORKDIR]
# BEFORE_AUDIT and AFTER_AUDIT are quorvel-audit programs (copy the one of the
# older build aside before rebuilding). WORKDIR keeps the set, the JSON lines
# and the saves (default: a temporary folder, removed at the end).
# Needs opencv-doc, libopencv-dev, g++, pkg-config and jq. JOBS=N audits with
# --jobs N (default 1).
set -euo pipefail
if [ $# -lt 2 ]; then
    sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
BEFORE=$(realpath "$1")
AFTER=$(realpath "$2")
HERE=$(cd "$(dirname "$0")" && pwd)
if [ $# -ge 3 ]; then
    WORK=$3
    mkdir -p "$WORK"
else
    WORK=$(mktemp -d)
    trap 'rm -rf "$WORK"' EXIT
fi
JOBS=${JOBS:-1}

# OpenCV's headers warn under C++20; the tool needs nothing newer than C++17.
g++ -std=c++17 -O2 -o "$WORK/make_set" "$HERE/make_set.cpp" $(pkg-config --cflags --libs opencv4)
rm -rf "$WORK/set" && mkdir "$WORK/set"
"$WORK/make_set" "$HERE/sources.txt" "$WORK/set" >&2
mv "$WORK/set/sheet.png" "$WORK/sheet.png"

for tag in before after; do
    audit=$BEFORE
    [ "$tag" = after ] && audit=$AFTER
    rm -rf "$WORK/$tag-saved"
    "$audit" --color 3 --size 1 --explain --jobs "$JOBS" --out "$WORK/$tag-saved" "$WORK/set" \
        > "$WORK/$tag.jsonl" || true
    if compgen -G "$WORK/$tag-saved/*" > /dev/null; then
        "$audit" --color 3 --size 1 --verify "$WORK/$tag-saved"/* > "$WORK/$tag-verify.jsonl" || true
    else
        : > "$WORK/$tag-verify.jsonl"
    fi
done

# Figures of one build. A noisy copy is compared with the clean photo it was
# made from; only copies whose clean photo reaches the head-top search count.
# The head top moved: found in one and not in the other, or more than a
# quarter of the clean face's height apart. The detector finds the same face
# in both when their rectangles overlap by at least half of their union.
figures() {
    jq -s --slurpfile verify "$WORK/$1-verify.jsonl" '
      def group: .file | sub("_(clean|s[0-9]+[a-z])\\.(png|jpg)$"; "");
      def top: .trace.crop.head_top_row;
      def area: .[2] * .[3];
      def overlap($a; $b): ([([$a[0] + $a[2], $b[0] + $b[2]] | min) - ([$a[0], $b[0]] | max), 0] | max)
                           * ([([$a[1] + $a[3], $b[1] + $b[3]] | min) - ([$a[1], $b[1]] | max), 0] | max);
      def same_face: .clean.face != null and .noisy.face != null
          and overlap(.clean.face; .noisy.face)
              >= 0.5 * ((.clean.face | area) + (.noisy.face | area) - overlap(.clean.face; .noisy.face));
      def moved: (.clean | top) as $c | (.noisy | top) as $n
          | (($c == null) != ($n == null))
            or ($c != null and $n != null and (($c - $n) | fabs) > .clean.face[3] / 4);
      def split: {same_face: map(select(same_face)) | length,
                  other_face: map(select(same_face | not)) | length};
      (map(select(.file | test("_clean\\.png$"))) | map({key: group, value: .}) | from_entries)
        as $clean
      | map(select(.file | test("_clean\\.png$") | not) | {noisy: ., clean: $clean[group]}) as $pairs
      | ($pairs | map(select(.clean.trace.crop != null))) as $searched
      | {
          clean_photos: ($clean | length),
          clean_passed: ($clean | map(select(.state == 1)) | length),
          clean_reaching_head_top: ($clean | map(select(.trace.crop != null)) | length),
          noisy_copies: ($pairs | length),
          noisy_copies_of_those: ($searched | length),
          head_top_moved: ($searched | map(select(moved)) | split),
          head_top_moved_by_sigma: ($searched | map(select(moved))
              | group_by(.noisy.file | capture("_s(?<s>[0-9]+)[a-z]\\.").s)
              | map({key: ("sigma " + (.[0].noisy.file | capture("_s(?<s>[0-9]+)[a-z]\\.").s)),
                     value: length}) | from_entries),
          verdict_changed: ($pairs | map(select(.noisy.state != .clean.state)) | split),
          saves: (map(select(.processed.path != null)) | length),
          saves_genuine: ($verify | map(select(.genuine == true)) | length)
        }
      | .head_top_moved_percent = (if .noisy_copies_of_those > 0
            then (1000 * (.head_top_moved | add) / .noisy_copies_of_those | round) / 10
            else null end)
    ' "$WORK/$1.jsonl"
}

# Where the two builds differ on the same photo.
differences() {
    jq -s -c '
      (.[0] | map({key: .file, value: .}) | from_entries) as $a
      | .[1] | map(select($a[.file].state != .state
                          or $a[.file].trace.crop.head_top_row != .trace.crop.head_top_row)
                   | {file: (.file | split("/") | last),
                      state: [$a[.file].state, .state],
                      head_top: [$a[.file].trace.crop.head_top_row, .trace.crop.head_top_row],
                      face_height: .face[3]})
      | .[]
    ' <(jq -s . "$WORK/before.jsonl") <(jq -s . "$WORK/after.jsonl")
}

echo "== before"
figures before
echo "== after"
figures after
echo "== photos whose verdict or head top differ between the builds"
differences
echo "== saves of clean photos whose bytes differ between the builds"
for saved in "$WORK/before-saved"/*_clean.*; do
    other="$WORK/after-saved/$(basename "$saved")"
    cmp -s "$saved" "$other" || echo "$(basename "$saved")"
done
