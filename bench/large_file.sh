#!/usr/bin/env bash
# large_file.sh - round trip of a 5 GiB file through the command-line host: create, list,
# extract, compare. Not part of CI: it needs about 18 GiB of free disk and some minutes.
#
# Usage: bench/large_file.sh [WORK_DIR] [BUILD_DIR]   (defaults: $TMPDIR or /var/tmp, build/native;
#        SIZE_GIB=5 overrides the size; SIZE_MIB, when set, takes its place for a quick try)
# Shows the true sizes (64-bit all the way), the percentages that the progress reports went
# through (they rise to 99 before the end), and whether the round trip is byte-identical.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
parent=${1:-${TMPDIR:-/var/tmp}}
build=${2:-$root/build/native}
size_gib=${SIZE_GIB:-5}
host=$build/uuarc
[ -x "$host" ] || { echo "large_file.sh: $host is missing; build uuarc first" >&2; exit 1; }

bytes=$((size_gib * 1024 * 1024 * 1024))
[ -z "${SIZE_MIB:-}" ] || bytes=$((SIZE_MIB * 1024 * 1024))
# Source, encoded file (about 1.38 times the source) and the extracted copy.
needed_kib=$((bytes / 1024 * 34 / 10 + 1024 * 1024))
free_kib=$(df -Pk "$parent" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt "$needed_kib" ]; then
    echo "large_file.sh: $parent has $((free_kib / 1048576)) GiB free, needs $((needed_kib / 1048576)) GiB" >&2
    exit 1
fi
work=$(mktemp -d "$parent/uuarc-large.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"

# Runs the host with a pseudo-terminal on stderr when `script` is there, so that it draws its
# progress bar; the raw bar goes to LOG as well. Without `script` there is no bar to show.
WithProgress() {  # log command...
    local log=$1
    shift
    if command -v script >/dev/null; then
        script -qefc "$(printf '%q ' "$@")" "$log"
    else
        "$@" | tee "$log"
    fi
}

# The percentages that a bar went through, in order, each once.
Percentages() {
    tr '\r' '\n' <"$1" | grep -oE '[0-9]{1,3}% \[' | tr -d '% [' | uniq | tr '\n' ' '
}

Seconds() { awk -v s="$1" -v e="$(date +%s%N)" 'BEGIN { printf "%.1f", (e - s) / 1e9 }'; }

echo "== source: $bytes pseudo-random bytes in $work"
start=$(date +%s%N)
if command -v openssl >/dev/null; then
    { openssl enc -aes-128-ctr -nosalt -pass pass:uuarc-large -pbkdf2 </dev/zero 2>/dev/null || true; } |
        head -c "$bytes" >"$work/large.bin"
else
    head -c "$bytes" /dev/urandom >"$work/large.bin"
fi
echo "   $(stat -c %s "$work/large.bin") bytes in $(Seconds "$start") s"

echo "== uuarc create"
start=$(date +%s%N)
WithProgress "$work/create.log" "$host" create "$work/large.bin" -o "$work/large.uue"
echo
echo "   $(stat -c %s "$work/large.uue") bytes encoded in $(Seconds "$start") s"
echo "   percentages: $(Percentages "$work/create.log")"

echo "== uuarc list"
"$host" list "$work/large.uue"

echo "== uuarc extract"
start=$(date +%s%N)
WithProgress "$work/extract.log" "$host" extract "$work/large.uue" -d "$work/out" --overwrite
echo
echo "   $(stat -c %s "$work/out/large.bin") bytes decoded in $(Seconds "$start") s"
echo "   percentages: $(Percentages "$work/extract.log")"

echo "== compare"
if cmp "$work/large.bin" "$work/out/large.bin"; then
    echo "   round trip byte-identical"
else
    echo "   round trip DIFFERS" >&2
    exit 1
fi
