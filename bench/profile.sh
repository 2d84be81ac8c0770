#!/usr/bin/env bash
# profile.sh - where the time of an extraction and a creation goes: perf record with DWARF call
# graphs over a few runs of each through the command-line host, on random bytes in tmpfs, then the
# functions that took the most samples themselves (the module's, the host's and the kernel's).
#
# Usage: bench/profile.sh [BUILD_DIR]   (default: build/native, a RelWithDebInfo build; SIZE_MB=100,
#        RUNS=5 and LIMIT=1 (the smallest share shown, in percent) override)
# The perf data stays in PERF_DIR when that is set, for perf report by hand.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
size_mb=${SIZE_MB:-100}
runs=${RUNS:-5}
limit=${LIMIT:-1}
host=$build/uuarc
[ -x "$host" ] || { echo "profile.sh: $host is missing; build uuarc first" >&2; exit 1; }
command -v perf >/dev/null || { echo "profile.sh: perf is missing" >&2; exit 1; }

shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
work=$(mktemp -d "$shm/uuarc-profile.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
perf_dir=${PERF_DIR:-$work}

if command -v openssl >/dev/null; then
    { openssl enc -aes-128-ctr -nosalt -pass pass:uuarc-bench -pbkdf2 </dev/zero 2>/dev/null || true; } |
        head -c $((size_mb * 1000000)) >"$work/data.bin"
else
    head -c $((size_mb * 1000000)) /dev/urandom >"$work/data.bin"
fi
"$host" create "$work/data.bin" -o "$work/data.uue" -q

# Profile NAME COMMAND: `runs` runs of the command line under one perf record; the top functions.
Profile() {
    local data=$perf_dir/$1.perf
    perf record -q -o "$data" --call-graph dwarf,16384 -F 2000 -- \
        bash -c "for ((i = 0; i < $runs; ++i)); do $2; done" >/dev/null 2>&1
    echo "$1: $runs runs, functions by their own samples (at least $limit %)"
    perf report -i "$data" --no-children --comm uuarc --percent-limit "$limit" --stdio -g none \
        --sort dso,symbol 2>/dev/null | grep -v '^#' | grep -v '^$' | sort -rn |
        sed -e 's/[[:space:]-]*$//' -e 's/^[[:space:]]*/  /'
    echo
}

export work host
Profile extract '"$host" extract "$work/data.uue" -d "$work/out" --overwrite -q'
Profile extract-pipe '"$host" extract "$work/data.uue" -c -q | cat >/dev/null'
Profile create 'rm -f "$work/out/new.uue"; "$host" create "$work/data.bin" -o "$work/out/new.uue" -q'
