#!/usr/bin/env bash
# run.sh - runs the libFuzzer targets side by side, one a core, for a given number of seconds
# each, from the seed corpus, with a fixed seed; crashes, timeouts and slow inputs land in
# BUILD/artifacts. Says for each target how many inputs it ran and how many a second.
#
# Usage: fuzz/run.sh [SECONDS] [BUILD_DIR] [TARGET...]   (defaults: 600, build/fuzz, archive mask codec roundtrip)
# The build:  CC=clang CXX=clang++ cmake -S . -B build/fuzz -DUUARC_FUZZ=ON -DUUARC_BENCH=OFF
#             cmake --build build/fuzz --target archive_fuzz mask_fuzz codec_fuzz roundtrip_fuzz
# A finding worth keeping goes to fuzz/regressions/TARGET/, where every build replays it.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
build=${2:-$root/build/fuzz}
shift $(($# < 2 ? $# : 2))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(archive mask codec roundtrip)
seed=${SEED:-1}

# Longest input per target: archives need room for lines past the 255-byte buffer and for
# several of them; a mask file holds at most 17 short lines; a codec input is one line and two
# bytes, and no line is ever longer than that buffer; a round trip's name takes up to 244 bytes and
# its contents want room for several lines and a partial one.
declare -A max_len=([archive]=16384 [mask]=4096 [codec]=260 [roundtrip]=4096)

# At most one target a core (JOBS=N to change it): more would only share the cores, and each
# target's runs per second would then say how many others ran beside it.
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

Start() {  # target: starts its fuzzer in the background, its pid in $!
    local target=$1
    local binary=$build/fuzz/${target}_fuzz
    # New inputs go to a scratch corpus, so the committed seeds stay as they are.
    local work=$build/fuzz-work/$target
    mkdir -p "$work/corpus" "$work/artifacts"
    cp -n "$root/fuzz/corpus/$target"/* "$work/corpus/" 2>/dev/null || true
    echo "run.sh: $target for ${seconds}s, log in $work/log"
    local inputs=("$work/corpus")
    [ -d "$root/fuzz/regressions/$target" ] && inputs+=("$root/fuzz/regressions/$target")
    "$binary" "${inputs[@]}" \
        -seed="$seed" -max_total_time="$seconds" -max_len="${max_len[$target]:-4096}" \
        -timeout=10 -rss_limit_mb=2048 -report_slow_units=2 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/" >"$work/log" 2>&1 &
}

Finish() {  # target pid: waits for it and says how it went; status 1 after a failure
    local target=$1
    local log=$build/fuzz-work/$target/log
    if wait "$2"; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        echo "run.sh: $target: no crash, ${runs:-?} runs, ${rate:-?} runs/s"
    else
        echo "run.sh: $target: FAILED, see $log"
        status=1
    fi
    found=$(ls "$build/fuzz-work/$target/artifacts" | wc -l)
    [ "$found" -eq 0 ] || echo "run.sh: $target: $found artifacts in $build/fuzz-work/$target/artifacts"
}

for target in "${targets[@]}"; do
    [ -x "$build/fuzz/${target}_fuzz" ] || { echo "run.sh: $build/fuzz/${target}_fuzz is missing; build with -DUUARC_FUZZ=ON" >&2; exit 1; }
done
status=0
for ((first = 0; first < ${#targets[@]}; first += jobs)); do
    batch=("${targets[@]:first:jobs}")
    pids=()
    for target in "${batch[@]}"; do
        Start "$target"
        pids+=($!)
    done
    for index in "${!batch[@]}"; do Finish "${batch[$index]}" "${pids[$index]}"; done
done
exit $status
