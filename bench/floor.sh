#!/usr/bin/env bash
# floor.sh - holds uuarc against the copy floor (bench/floor.cpp: read in 1 MiB pieces, write as
# many bytes as uuarc's output holds, nothing else) on the same random bytes in tmpfs: extraction to
# a file, extraction with -c into a pipe, creation, and extraction of the same bytes as a base64
# file (where GNU uuencode writes one); then the system calls of one extraction against the
# floor's; then, where a Windows build and Wine are there, the same four for uuarc.exe and the DLL
# against the floor built for Windows (ReadFile and WriteFile) under the same Wine.
#
# Usage: bench/floor.sh [BUILD_DIR] [WIN_BUILD_DIR]   (defaults: an optimised build in build/release,
#        made here, and build/win64; a 32-bit WIN_BUILD_DIR gets a 32-bit floor; RUNS=7,
#        SIZE_MB=100 override, WINE=0 leaves Wine out)
# Runs come in pairs, the floor and uuarc one after the other, the order swapped from pair to pair so
# that a noisy moment hurts both alike. Each pair is printed, then the medians and uuarc / floor, of
# the wall time and of the processor time (user and system) of the processes of each run. A
# benchmark: it reports, it never fails on a time.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
    build=$root/build/release
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j 2 --target uuarc uuarc_host >/dev/null
fi
win_build=${2:-$root/build/win64}
runs=${RUNS:-7}
size_mb=${SIZE_MB:-100}
host=$build/uuarc
[ -x "$host" ] || { echo "floor.sh: $host is missing; build uuarc first" >&2; exit 1; }

shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
work=$(mktemp -d "$shm/uuarc-floor.XXXXXX")
wine_used=
Cleanup() {
    rm -rf "$work"
    [ -z "$wine_used" ] || wineserver -k >/dev/null 2>&1 </dev/null || true
}
trap Cleanup EXIT
mkdir -p "$work/out" "$work/times"

g++ -O2 -std=c++20 -o "$work/floor" "$root/bench/floor.cpp"

# The same bytes on every run of the script.
. "$root/bench/random.sh"

# ChildCpu: sets `cpu` to the processor time, user and system, of every child that this shell has
# waited for, in microseconds (bash's `times`, to the millisecond). Called in this shell, never in
# a command substitution, whose subshell has no children of its own.
ChildCpu() {
    times >"$work/times/now"
    local line user system
    { read -r line; read -r user system; } <"$work/times/now"
    local total=0 part minutes seconds
    for part in "$user" "$system"; do
        minutes=${part%%m*}
        seconds=${part#*m}
        seconds=${seconds%s}
        total=$((total + minutes * 60000000 + 10#${seconds//[.,]/} * 1000))
    done
    cpu=$total
}

# Time LABEL COMMAND: runs the command line in this shell and appends its wall time in
# microseconds to times/LABEL, and the processor time of its processes to times/LABEL-cpu. No
# process is started to read the clock. A run that fails ends the script with the command line (a
# time never does).
Time() {
    local cpu
    ChildCpu
    local cpu_start=$cpu start=${EPOCHREALTIME//[.,]/} status=0
    eval "$2" || status=$?
    [ "$status" -eq 0 ] || { echo "floor.sh: $1: exit status $status from: $2" >&2; exit 1; }
    local end=${EPOCHREALTIME//[.,]/}
    echo $((end - start)) >>"$work/times/$1"
    ChildCpu
    echo $((cpu - cpu_start)) >>"$work/times/$1-cpu"
}

# Median LABEL: the median of times/LABEL, in microseconds.
Median() {
    sort -g "$work/times/$1" |
        awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Pairs NAME PREPARE FLOOR UUARC: `runs` pairs of the floor's and uuarc's command lines, PREPARE
# (untimed) before each; prints every pair and the medians. Labels NAME-floor and NAME-uuarc.
Pairs() {
    local name=$1 prepare=$2 floor=$3 uuarc=$4 run
    rm -f "$work/times/$name-"{floor,uuarc}{,-cpu}
    for ((run = 1; run <= runs; ++run)); do
        if ((run % 2)); then
            eval "$prepare"; Time "$name-floor" "$floor"
            eval "$prepare"; Time "$name-uuarc" "$uuarc"
        else
            eval "$prepare"; Time "$name-uuarc" "$uuarc"
            eval "$prepare"; Time "$name-floor" "$floor"
        fi
    done
    paste "$work/times/$name-"{floor,uuarc}{,-cpu} |
        awk -v n="$name" '{ printf "  %-14s pair %d: floor %.3f s  uuarc %.3f s  ratio %.2f  (processor time %.2f)\n",
                                   n, NR, $1 / 1e6, $3 / 1e6, $3 / $1, ($2 > 0 ? $4 / $2 : 0) }'
    awk -v n="$name" -v f="$(Median "$name-floor")" -v u="$(Median "$name-uuarc")" \
        'BEGIN { printf "  %-14s median: floor %.3f s  uuarc %.3f s  uuarc / floor = %.2f\n", n, f / 1e6, u / 1e6, u / f }'
    awk -v n="$name" -v f="$(Median "$name-floor-cpu")" -v u="$(Median "$name-uuarc-cpu")" \
        'BEGIN { printf "  %-14s cpu:    floor %.3f s  uuarc %.3f s  uuarc / floor = %.2f\n", n, f / 1e6, u / 1e6, u / f }'
}

source=$work/data.bin
text=$work/data.uue
MakeRandom $((size_mb * 1000000)) "$source"
"$host" create "$source" -o "$text" -q
"$host" extract "$text" -d "$work/out" --overwrite -q
cmp -s "$source" "$work/out/data.bin" || { echo "floor.sh: uuarc round trip differs" >&2; exit 1; }
# What the floor writes: as many bytes as uuarc's output holds.
decoded=$(stat -c %s "$source")
encoded=$(stat -c %s "$text")
# The same bytes as a begin-base64 file, where GNU uuencode is there to write one.
base64=
if command -v uuencode >/dev/null; then
    base64=$work/data.b64
    uuencode -m "$source" data.bin >"$base64"
fi

echo "uuarc $("$host" --version | awk 'NR == 1 { print $NF }') in $build; $size_mb MB of random bytes," \
    "$(($(stat -c %s "$text") / 1000000)) MB encoded, in $shm; $runs pairs"
echo
echo "native, against the floor (read 1 MiB pieces, write as many bytes as uuarc)"
Pairs extract-file 'rm -f "$work/out/data.bin"' \
    '"$work/floor" "$text" "$work/out/data.bin" $decoded' \
    '"$host" extract "$text" -d "$work/out" --overwrite -q'
Pairs extract-pipe : \
    '"$work/floor" "$text" - $decoded | cat >/dev/null' \
    '"$host" extract "$text" -c -q | cat >/dev/null'
Pairs create 'rm -f "$work/out/new.uue"' \
    '"$work/floor" "$source" "$work/out/new.uue" $encoded' \
    '"$host" create "$source" -o "$work/out/new.uue" -q'
[ -z "$base64" ] || Pairs extract-base64 'rm -f "$work/out/data.bin"' \
    '"$work/floor" "$base64" "$work/out/data.bin" $decoded' \
    '"$host" extract "$base64" -d "$work/out" --overwrite -q'

# Syscalls NAME COMMAND...: the system calls of one run: how many in all, and the reads and writes
# with the bytes they moved and the largest piece.
Syscalls() {
    local name=$1
    shift
    rm -f "$work/out/data.bin"
    strace -f -qq -c -o "$work/strace-count" "$@" >/dev/null
    rm -f "$work/out/data.bin"
    strace -f -qq -s 0 -e trace=read,write -o "$work/strace-trace" "$@" >/dev/null
    local total
    total=$(awk '$NF == "total" { print $4 }' "$work/strace-count")
    awk -v n="$name" -v t="$total" '
        match($0, /(read|write)\(/) {
            call = substr($0, RSTART, RLENGTH - 1)
            r = $NF
            if (r !~ /^[0-9]+$/) next
            count[call]++; bytes[call] += r; if (r > top[call]) top[call] = r
        }
        END {
            printf "  %-6s %5d system calls; %5d reads (%.1f MB, largest %d KiB); %5d writes (%.1f MB, largest %d KiB)\n",
                n, t, count["read"], bytes["read"] / 1e6, top["read"] / 1024,
                count["write"], bytes["write"] / 1e6, top["write"] / 1024
        }' "$work/strace-trace"
}

echo
if command -v strace >/dev/null; then
    echo "system calls of one extraction to a file (strace -f)"
    Syscalls floor "$work/floor" "$text" "$work/out/data.bin" "$decoded"
    Syscalls uuarc "$host" extract "$text" -d "$work/out" --overwrite -q
else
    echo "system calls: strace is missing"
fi

# ---- The DLL under Wine -------------------------------------------------------------------------
echo
exe=$win_build/uuarc.exe
. "$root/scripts/wine-env.sh"
# The floor is built for the same machine as uuarc.exe: 64-bit, or 32-bit for a build/win32.
bits=64 cross=x86_64-w64-mingw32
if [ -f "$exe" ] && [ "$(pe_machine "$exe")" = 014c ]; then bits=32 cross=i686-w64-mingw32; fi
mingw=$(command -v $cross-g++-posix || command -v $cross-g++ || true)
if [ "${WINE:-1}" = 0 ]; then
    echo "Wine: left out (WINE=0)"
    exit 0
elif [ ! -f "$exe" ] || [ -z "$mingw" ] || ! command -v wine >/dev/null; then
    echo "Wine: left out (needs $exe, the $bits-bit MinGW compiler and Wine)"
    exit 0
fi
"$mingw" -O2 -std=c++20 -static -o "$work/floor.exe" "$root/bench/floor.cpp"
wine_boot
wine_used=1
loader=$(wine_loader "$exe")
Windows() { local path=$1; echo "Z:${path//\//\\}"; }
wtext=$(Windows "$text")
wsource=$(Windows "$source")
wout=$(Windows "$work/out")
printf 'begin 644 tiny\n#86)C\n`\nend\n' >"$work/tiny.uue"
wtiny=$(Windows "$work/tiny.uue")

# uuarc.exe writes CR LF line ends: the floor writes as many bytes as its text holds.
rm -f "$work/out/new.uue"
"$loader" "$exe" create "$wsource" -o "$wout\\new.uue" -q
win_encoded=$(stat -c %s "$work/out/new.uue")
echo "$bits-bit DLL under Wine ($(basename "$loader")), against the floor built for Windows (ReadFile, WriteFile)"
# What starting a program under Wine costs, by itself: the floor on a tiny file, uuarc listing it.
Pairs startup 'rm -f "$work/out/tiny.bin"' \
    '"$loader" "$work/floor.exe" "$wtiny" "$wout\\tiny.bin" 3' \
    '"$loader" "$exe" list "$wtiny" >/dev/null'
Pairs extract-file 'rm -f "$work/out/data.bin"' \
    '"$loader" "$work/floor.exe" "$wtext" "$wout\\data.bin" $decoded' \
    '"$loader" "$exe" extract "$wtext" -d "$wout" --overwrite -q'
cmp -s "$source" "$work/out/data.bin" || { echo "floor.sh: uuarc.exe round trip differs" >&2; exit 1; }
Pairs extract-pipe : \
    '"$loader" "$work/floor.exe" "$wtext" - $decoded | cat >/dev/null' \
    '"$loader" "$exe" extract "$wtext" -c -q | cat >/dev/null'
Pairs create 'rm -f "$work/out/new.uue"' \
    '"$loader" "$work/floor.exe" "$wsource" "$wout\\new.uue" $win_encoded' \
    '"$loader" "$exe" create "$wsource" -o "$wout\\new.uue" -q'
if [ -n "$base64" ]; then
    wbase64=$(Windows "$base64")
    Pairs extract-base64 'rm -f "$work/out/data.bin"' \
        '"$loader" "$work/floor.exe" "$wbase64" "$wout\\data.bin" $decoded' \
        '"$loader" "$exe" extract "$wbase64" -d "$wout" --overwrite -q'
fi
echo "  with each program's start-up median taken off both sides:"
for name in extract-file extract-pipe create ${base64:+extract-base64}; do
    awk -v n="$name" -v f="$(Median "$name-floor")" -v u="$(Median "$name-uuarc")" \
        -v fs="$(Median startup-floor)" -v us="$(Median startup-uuarc)" \
        'BEGIN { printf "  %-14s floor %.3f s  uuarc %.3f s  uuarc / floor = %.2f\n", n, (f - fs) / 1e6, (u - us) / 1e6, (u - us) / (f - fs) }'
done
