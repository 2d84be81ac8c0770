#!/usr/bin/env bash
# small_archives.sh - many small archives in one run: `uuarc extract -q` of COUNT archives of about a
# kilobyte each against GNU `uudecode` of the same files, in tmpfs, in paired runs; then the system
# calls per archive of each, counted by strace.
#
# Usage: bench/small_archives.sh [BUILD_DIR]   (default: an optimised build in build/release, made
#        here; RUNS=7, COUNT=2000 override)
# Runs come in pairs, the order swapped from pair to pair so that a noisy moment hurts both alike.
# A benchmark: it reports, it never fails on a time.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
    build=$root/build/release
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j 2 --target uuarc uuarc_host >/dev/null
fi
runs=${RUNS:-7}
count=${COUNT:-2000}
host=$(cd "$build" && pwd)/uuarc
[ -x "$host" ] || { echo "small_archives.sh: $host is missing; build uuarc first" >&2; exit 1; }
command -v uuencode >/dev/null && command -v uudecode >/dev/null ||
    { echo "small_archives.sh: GNU uuencode and uudecode are missing (apt-get install sharutils)" >&2; exit 1; }

shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
work=$(mktemp -d "$shm/uuarc-small.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/uuarc" "$work/gnu"

# The same bytes on every run: one stream cut into COUNT pieces of 1 KiB, each encoded by GNU.
. "$root/bench/random.sh"
MakeRandom $((count * 1024)) "$work/bytes"
split -a 5 -d -b 1024 "$work/bytes" "$work/piece."
for piece in "$work"/piece.*; do
    name=${piece##*.}
    uuencode "$piece" "f$name.bin" >"$work/in/f$name.uue"
done
rm -f "$work"/piece.* "$work/bytes"
archives=("$work"/in/*.uue)

# Run TOOL: one run of TOOL over every archive into a fresh folder, both started alike from a
# subshell in that folder (GNU writes into the current one); prints the wall time in µs.
Run() {
    local out=$work/$1 start end
    rm -rf "$out" && mkdir "$out"
    start=$(date +%s%N)
    case $1 in
        uuarc) (cd "$out" && "$host" extract -q "${archives[@]}") ;;
        gnu) (cd "$out" && uudecode "${archives[@]}") ;;
    esac
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}

Median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "$count archives of 1 KiB, $runs paired runs (µs: uuarc, GNU uudecode)"
: >"$work/uuarc.us"
: >"$work/gnu.us"
for ((run = 1; run <= runs; run++)); do
    if ((run % 2)); then a=$(Run uuarc); b=$(Run gnu); else b=$(Run gnu); a=$(Run uuarc); fi
    echo "$a" >>"$work/uuarc.us"
    echo "$b" >>"$work/gnu.us"
    echo "  $a  $b"
done
cmp -s "$work/uuarc/f00000.bin" "$work/gnu/f00000.bin" || echo "small_archives.sh: the outputs differ!" >&2
mu=$(Median <"$work/uuarc.us")
mg=$(Median <"$work/gnu.us")
echo "medians: uuarc $mu µs, GNU $mg µs, uuarc / GNU $(awk -v a="$mu" -v b="$mg" 'BEGIN { printf "%.2f", a / b }')"

# System calls per archive: the whole run's count, less a run of one archive (start-up, loading),
# over the archives after the first.
if command -v strace >/dev/null; then
    Calls() {  # Calls TOOL ARCHIVE...: the system calls of one run over the archives given
        local out=$work/$1
        rm -rf "$out" && mkdir "$out"
        local tool=$1
        shift
        case $tool in
            uuarc) (cd "$out" && strace -f -c -o "$work/strace" "$host" extract -q "$@") ;;
            gnu) (cd "$out" && strace -f -c -o "$work/strace" uudecode "$@") ;;
        esac
        awk '$NF == "total" { print $4 }' "$work/strace"
    }
    for tool in uuarc gnu; do
        one=$(Calls "$tool" "${archives[0]}")
        all=$(Calls "$tool" "${archives[@]}")
        echo "system calls per archive, $tool: $(awk -v a="$all" -v o="$one" -v n="$count" 'BEGIN { printf "%.1f", (a - o) / (n - 1) }') (one archive alone: $one)"
    done
    rm -rf "$work/uuarc" && mkdir "$work/uuarc"
    (cd "$work/uuarc" && strace -f -c -o "$work/strace" "$host" extract -q "${archives[@]:0:100}" >/dev/null)
    echo "uuarc's most frequent calls over 100 archives:"
    sort -k4 -g -r "$work/strace" | awk 'NR > 0 && $NF != "total" && $4 ~ /^[0-9]+$/ { print "  " $NF, $4 }' | head -n 8
else
    echo "(strace is missing: apt-get install strace to count the system calls)"
fi
