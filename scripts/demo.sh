#!/usr/bin/env bash
# The main job on the bundled sample: build the native module and host, then create an encoded
# file from samples/poem.txt, list it, extract it into a new folder and compare.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v cmake >/dev/null && command -v g++ >/dev/null || {
  echo "demo: needs cmake and g++ (apt-get install cmake g++ libgtest-dev)" >&2; exit 1; }
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$(nproc 2>/dev/null || echo 2)" --target uuarc uuarc_host >/dev/null
host="$PWD/build/native/uuarc"
work=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
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
