#!/usr/bin/env bash
# scripts/check-layers.sh, and the build, against an include that runs up the house from each layer
# and from the host into the module. The script runs on a copy of the sources with one include added
# at a time; the build, where BUILD_DIR is given, compiles each layer's probe with a header from below
# (it must compile) and with one from above (it must not: the header is on no include path of the
# layer's). The probes are the layer_probe_* targets of tests/CMakeLists.txt.
# Usage: tests/gate/layers_test.sh SOURCE_DIR [BUILD_DIR]
set -uo pipefail
source_dir=$(cd "$1" && pwd)
build_dir=${2:-}
room=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-layers-test.XXXXXX")
trap 'rm -rf "$room"' EXIT
passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

layers=(include shared platform names format operations module host)
for layer in "${layers[@]}" scripts; do cp -R "$source_dir/$layer" "$room/"; done
check() { bash "$room/scripts/check-layers.sh" "$room" 2>&1; }

out=$(check) && pass || fail "the sources as they are: $out"

# FILE  INCLUDE: FILE (a file of the layer) gets `#include "INCLUDE"`, which the script must name.
cases=(
  "include/uuarc.h            shared/utf8.h"
  "shared/stored_names.cpp    platform/platform.h"
  "platform/stream.cpp        names/strings.h"
  "names/masks.cpp            format/format.h"
  "format/header.cpp          operations/job.h"
  "operations/notify.cpp      module/module_state.h"
  "module/exports.cpp         host/system.h"
  "host/list.cpp              platform/platform.h"
  "host/console.cpp           names/strings.h"
  "host/operation.cpp         module/module_state.h"
  "module/exports.cpp         notify.h"
  "names/strings.cpp          tests/support.h"
)
for entry in "${cases[@]}"; do
  read -r file header <<<"$entry"
  cp "$room/$file" "$room/saved"
  printf '#include "%s"\n' "$header" >>"$room/$file"
  if out=$(check); then
    fail "$file including $header passed the check"
  elif [[ $out != *"$file:"*"includes $header"* ]]; then
    fail "$file including $header: the message does not name them: $out"
  else
    pass
  fi
  mv "$room/saved" "$room/$file"
done

if [ -n "$build_dir" ]; then
  for layer in shared platform names format operations module host; do
    if ! out=$(cmake --build "$build_dir" --target "layer_probe_${layer}_down" 2>&1); then
      fail "the $layer probe with a header from below does not build: $(tail -n 5 <<<"$out")"
    elif out=$(cmake --build "$build_dir" --target "layer_probe_${layer}_up" 2>&1); then
      fail "the $layer probe with a header from above builds"
    elif [[ $out != *"No such file or directory"* ]]; then
      fail "the $layer probe fails for another reason: $(tail -n 5 <<<"$out")"
    else
      pass
    fi
  done
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
