#!/usr/bin/env bash
# paths.sh - what each path of the line codec (format/codec_path.h) is worth where it counts: for
# each path named, a native Release build and a Windows build whose module takes that path
# (UUARC_BENCH_CODEC_PATH, a cache setting for these builds alone: a shipped build leaves it empty
# and the processor decides), each held against the copy floor by bench/floor.sh. Prints every
# floor.sh run and then, per path, the medians of uuarc / floor side by side; a path earns its place
# where it takes a clear share off the time of the path that would run without it.
#
# Usage: bench/paths.sh [PATH...]   (default: every path the processor has; RUNS=7, SIZE_MB=100 as
#        floor.sh; WIN=32 measures the 32-bit DLL instead of the 64-bit one, WIN=0 neither)
# Builds go to build/bench-PATH and build/bench-PATH-winBITS; floor.sh's output to
# build/bench-paths/PATH.txt. A benchmark: it reports, it never fails on a time.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
paths=("$@")
[ ${#paths[@]} -gt 0 ] || paths=(ssse3 words table)
win=${WIN:-64}
out=$root/build/bench-paths
mkdir -p "$out"

for path in "${paths[@]}"; do
    native=$root/build/bench-$path
    cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release -DUUARC_BENCH=OFF \
        -DUUARC_BENCH_CODEC_PATH="$path" >/dev/null
    cmake --build "$native" -j 2 --target uuarc uuarc_host >/dev/null
    windows=$root/build/bench-$path-win$win
    if [ "$win" != 0 ]; then
        toolchain=$root/cmake/toolchain-x86_64-w64-mingw32.cmake
        [ "$win" = 32 ] && toolchain=$root/cmake/toolchain-i686-w64-mingw32.cmake
        cmake -S "$root" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
            -DUUARC_BENCH_CODEC_PATH="$path" >/dev/null
        cmake --build "$windows" -j 2 --target uuarc uuarc_host >/dev/null
    fi
    echo "==== $path"
    WINE=$([ "$win" = 0 ] && echo 0 || echo 1) "$root/bench/floor.sh" "$native" "$windows" | tee "$out/$path.txt"
    echo
done

# The medians' ratios, one row per path: natively, then under Wine with start-up taken off.
echo "uuarc / floor, medians ($(basename "$out")/PATH.txt for the pairs)"
printf '%-8s %-8s %12s %12s %8s %14s\n' path build extract-file extract-pipe create extract-base64
for path in "${paths[@]}"; do
    awk -v p="$path" '
        /^native/ { where = "native" }
        /DLL under Wine/ { where = "wine" }
        /median:/ && where == "native" { ratio[where, $1] = $NF }
        /start-up median taken off/ { taken = 1; next }
        taken && where == "wine" { ratio[where, $1] = $NF }
        END {
            for (w = 1; w <= 2; ++w) {
                name = w == 1 ? "native" : "wine"
                if (ratio[name, "extract-file"] == "") continue
                printf "%-8s %-8s %12s %12s %8s %14s\n", p, name, ratio[name, "extract-file"],
                    ratio[name, "extract-pipe"], ratio[name, "create"], ratio[name, "extract-base64"]
            }
        }' "$out/$path.txt"
done
