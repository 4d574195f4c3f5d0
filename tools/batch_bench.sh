#!/usr/bin/env bash
# Figures of "Auditing many photos": throughput of --jobs 1, 2 and 4 on
# 480 x 640 portrait photos (median of alternating runs), and the peak memory
# of a 20,000-entry run against a 100-entry run.
#   bash tools/batch_bench.sh [rounds] [photos]    (SKIP_MEMORY=1: throughput only)
# Needs the dev build of quorvel-audit and quorvel_memory_probe.
set -euo pipefail
ROUNDS=${1:-5}
PHOTOS=${2:-48}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
AUDIT=$ROOT/build/dev/src/cli/quorvel-audit
PROBE=$ROOT/build/dev/bench/quorvel_memory_probe
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

photo=$("$PROBE" prepare 480 640)
mkdir "$WORK/photos"
for i in $(seq 1 "$PHOTOS"); do cp "$photo" "$WORK/photos/p$i.jpg"; done

median() { sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
seconds() {  # the wall time of one run
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

declare -A times
for round in $(seq 1 "$ROUNDS"); do
    # Alternate the order so that a slower moment of the machine is shared.
    if (( round % 2 )); then order="plain 1 2 4"; else order="4 2 1 plain"; fi
    for jobs in $order; do
        if [ "$jobs" = plain ]; then
            t=$(seconds "$AUDIT" --color 3 --size 1 "$WORK/photos")
        else
            t=$(seconds "$AUDIT" --color 3 --size 1 --jobs "$jobs" "$WORK/photos")
        fi
        times[$jobs]+="$t "
    done
done
# Two figures per setting: the ratio of the medians, and the median of the
# ratios within each round (runs of one round are close in time, so they
# share the load of a machine that other work also uses).
base=$(echo ${times[1]} | tr ' ' '\n' | median)
read -r -a ones <<< "${times[1]}"
for jobs in plain 1 2 4; do
    read -r -a these <<< "${times[$jobs]}"
    m=$(printf '%s\n' "${these[@]}" | median)
    paired=$(for i in "${!these[@]}"; do echo "${ones[$i]} / ${these[$i]}" | bc -l; done | median)
    printf 'jobs %-5s median %.2f s for %d photos: %.1f photos/s, %.2f x one job (paired %.2f x)\n' \
        "$jobs" "$m" "$PHOTOS" "$(echo "$PHOTOS / $m" | bc -l)" "$(echo "$base / $m" | bc -l)" "$paired"
done

[ "${SKIP_MEMORY:-}" = 1 ] && exit 0

# Memory: entries are links to two small files (one not an image, one a
# 64 x 64 PNG), so that the run measures what is kept per entry.
mkdir "$WORK/many"
printf 'not an image\n' > "$WORK/many/bad.jpg"
python3 -c "import zlib,struct
def chunk(t,d): return struct.pack('>I',len(d))+t+d+struct.pack('>I',zlib.crc32(t+d))
raw=b''.join(b'\0'+b'\x80'*192 for _ in range(64))
open('$WORK/many/tiny.png','wb').write(b'\x89PNG\r\n\x1a\n'+chunk(b'IHDR',struct.pack('>IIBBBBB',64,64,8,2,0,0,0))+chunk(b'IDAT',zlib.compress(raw))+chunk(b'IEND',b''))"
for i in $(seq 1 20000); do
    if (( i % 2 )); then ln -s bad.jpg "$WORK/many/e$i.jpg"; else ln -s tiny.png "$WORK/many/e$i.jpg"; fi
done
seq -f 'e%.0f.jpg' 1 100 > "$WORK/many/list100"
seq -f 'e%.0f.jpg' 1 20000 > "$WORK/many/list20000"
# Peak resident memory in KiB (the runs exit 1: the entries do not pass).
peak() { { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -n 1; }
for extra in "" "--report r.html"; do
    small=$(cd "$WORK/many" && peak "$AUDIT" --color 3 --size 1 --out out $extra --files-from list100)
    large=$(cd "$WORK/many" && peak "$AUDIT" --color 3 --size 1 --out out $extra --files-from list20000)
    printf 'peak memory%s: 100 entries %d KiB, 20000 entries %d KiB: %.0f bytes per entry above\n' \
        "${extra:+ with $extra}" "$small" "$large" "$(echo "($large - $small) * 1024 / 19900" | bc -l)"
done
