#!/usr/bin/env bash
# compare.sh - times uuarc's extraction and creation (through the command-line host, which drives
# the module's exports) against GNU uudecode/uuencode and cp on the same random bytes in tmpfs.
#
# Usage: bench/compare.sh [BUILD_DIR]   (default: an optimised build in build/release, made here;
#        RUNS=5 and SIZE_MB=100 override)
# Prints the medians of wall, user and system time and peak resident memory, the ratios
# uuarc / GNU and uuarc / cp, and uuarc's peak memory at 10 MB and at SIZE_MB next to the
# host's own baseline. A benchmark: it reports, it never fails on a time.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
    build=$root/build/release
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target uuarc uuarc_host >/dev/null
fi
runs=${RUNS:-5}
size_mb=${SIZE_MB:-100}
small_mb=10
host=$build/uuarc

for tool in "$host" /usr/bin/time uuencode uudecode; do
    if ! command -v "$tool" >/dev/null; then
        echo "compare.sh: $tool is missing (build uuarc; apt-get install time sharutils)" >&2
        exit 1
    fi
done

shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
work=$(mktemp -d "$shm/uuarc-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out" "$work/times"

# The same bytes on every run of the script.
. "$root/bench/random.sh"

# Measure LABEL OUTPUT COMMAND...: runs COMMAND with stdout to OUTPUT and appends
# "wall_us user_s sys_s rss_kib" to times/LABEL.
Measure() {
    local label=$1 output=$2
    shift 2
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f "%U %S %M" -o "$work/last" "$@" >"$output"
    end=$(date +%s%N)
    echo "$(((end - start) / 1000)) $(cat "$work/last")" >>"$work/times/$label"
}

# Median COLUMN LABEL: the median of one column of times/LABEL.
Median() {
    awk -v c="$1" '{ print $c }' "$work/times/$2" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# RunSet MB: times every tool `runs` times on MB megabytes (10^6 bytes), interleaved so that a
# noisy moment hurts all of them alike. Labels get the size as suffix.
RunSet() {
    local mb=$1
    local source=$work/data$mb.bin
    MakeRandom $((mb * 1000000)) "$source"
    # The file both decoders read: GNU's own encoding, so that they decode the same bytes.
    uuencode "$source" "data$mb.bin" >"$work/gnu$mb.uue"
    for ((run = 1; run <= runs; ++run)); do
        rm -f "$work/uuarc$mb.uue"
        Measure "create-uuarc-$mb" /dev/null "$host" create "$source" -o "$work/uuarc$mb.uue" -q
        Measure "create-gnu-$mb" "$work/gnu-out$mb.uue" uuencode "$source" "data$mb.bin"
        rm -f "$work/out/data$mb.bin"
        Measure "extract-uuarc-$mb" /dev/null "$host" extract "$work/gnu$mb.uue" -d "$work/out" --overwrite -q
        rm -f "$work/out/data$mb.bin"
        Measure "extract-gnu-$mb" /dev/null uudecode -o "$work/out/data$mb.bin" "$work/gnu$mb.uue"
        rm -f "$work/copy$mb.uue"
        Measure "cp-$mb" /dev/null cp "$work/gnu$mb.uue" "$work/copy$mb.uue"
    done
    # The benchmark is worth nothing if uuarc got the bytes wrong.
    "$host" extract "$work/uuarc$mb.uue" -d "$work/out" --overwrite -q
    cmp -s "$source" "$work/out/data$mb.bin" || { echo "compare.sh: uuarc round trip differs" >&2; exit 1; }
    rm -f "$source" "$work"/*"$mb".uue "$work/out/data$mb.bin"
}

# The host's own footprint: listing a tiny file loads the module and reads a header.
printf 'begin 644 tiny\n#86)C\n`\nend\n' >"$work/tiny.uue"
for ((run = 1; run <= runs; ++run)); do Measure baseline /dev/null "$host" list "$work/tiny.uue"; done

RunSet "$small_mb"
RunSet "$size_mb"

echo "uuarc $("$host" --version | awk 'NR == 1 { print $NF }'), $runs runs, medians; files in $shm"
echo
printf '%-22s %10s %9s %9s %11s\n' "$size_mb MB" "wall s" "user s" "sys s" "peak RSS KiB"
for label in extract-uuarc extract-gnu create-uuarc create-gnu cp; do
    key=$label-$size_mb
    printf '%-22s %10.3f %9.2f %9.2f %11d\n' "$label" "$(Median 1 "$key" | awk '{ print $1 / 1e6 }')" \
        "$(Median 2 "$key")" "$(Median 3 "$key")" "$(Median 4 "$key")"
done

Ratio() {  # numerator-label denominator-label
    awk -v a="$(Median 1 "$1-$size_mb")" -v b="$(Median 1 "$2-$size_mb")" 'BEGIN { printf "%.2f", a / b }'
}
echo
echo "wall-time ratios (target: uuarc / GNU at most 0.60)"
echo "  extraction: uuarc / uudecode = $(Ratio extract-uuarc extract-gnu)   uuarc / cp = $(Ratio extract-uuarc cp)"
echo "  creation:   uuarc / uuencode = $(Ratio create-uuarc create-gnu)   uuarc / cp = $(Ratio create-uuarc cp)"
echo
baseline=$(Median 4 baseline)
echo "peak RSS KiB (target: independent of size; over the host's baseline $baseline by the two 128 KiB stream buffers and at most 1024 KiB more)"
for operation in extract create; do
    small=$(Median 4 "$operation-uuarc-$small_mb")
    large=$(Median 4 "$operation-uuarc-$size_mb")
    printf '  %-8s %3d MB: %6d   %3d MB: %6d   over baseline: %+d\n' "$operation" "$small_mb" "$small" \
        "$size_mb" "$large" $((large - baseline))
done
