#!/usr/bin/env bash
# The main job on the bundled sample: build the native module and host, then create an encoded
# file from samples/poem.txt, list it, extract it into a new folder and compare.
set -euo pipefail
cd "$(dirname "$0")/.."
# CMake, a build program and a C++ compiler are all it needs; the test libraries are the gate's
# business: without them the build leaves the suites out.
lacking=()
command -v cmake >/dev/null || lacking+=(cmake)
command -v make >/dev/null || command -v ninja >/dev/null || lacking+=(make)
command -v "${CXX:-c++}" >/dev/null || command -v g++ >/dev/null || lacking+=(g++)
if [ ${#lacking[@]} -gt 0 ]; then
  echo "demo: needs ${lacking[*]}; as root, run: apt-get install -y --no-install-recommends ${lacking[*]}" >&2
  exit 1
fi
log=$(mktemp "${TMPDIR:-/tmp}/uuarc-demo-build.XXXXXX")
trap 'rm -f "$log"' EXIT
build() { "$@" >>"$log" 2>&1 || { cat "$log" >&2; echo "demo: the build failed (above)" >&2; exit 1; }; }
echo "building the module and the host in build/native"
build cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
build cmake --build build/native -j "$(nproc 2>/dev/null || echo 2)" --target uuarc uuarc_host
host="$PWD/build/native/uuarc"
work=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-demo.XXXXXX")
trap 'rm -rf "$work" "$log"' EXIT
cp samples/poem.txt "$work/"
cd "$work"
echo "\$ uuarc create poem.txt"
"$host" create poem.txt
echo
echo "\$ uuarc list poem.txt.uue"
"$host" list poem.txt.uue
echo
echo "\$ uuarc extract poem.txt.uue -d restored"
"$host" extract poem.txt.uue -d restored
echo
if cmp poem.txt restored/poem.txt; then
  echo "round trip: restored/poem.txt is byte-identical to samples/poem.txt ($(wc -c <poem.txt) bytes)"
else
  echo "round trip FAILED: restored/poem.txt differs" >&2; exit 1
fi
