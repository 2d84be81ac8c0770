#!/usr/bin/env bash
# Checks that every #include looks down the house. The layers from the ground up: include (the
# public header, the status words, the version), shared (what the module and the host both link),
# platform, names, format, operations and module (the module), and host. A file includes headers of
# its own layer and of the layers below it; the host, of include/, shared/ and its own only. A header
# named without a folder is the including file's neighbour or else one of include/. Prints each
# include that breaks the rule; exits 1 when there is one. The build refuses the same includes
# (CMakeLists.txt, "The house"); this says so without a build.
# Usage: scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
layers=(include shared platform names format operations module host)
rank() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
wrong=0
for layer in "${layers[@]}"; do
  own=$(rank "$layer")
  while IFS=: read -r file line header; do
    if [[ $header != */* ]]; then
      [ -f "$(dirname "$file")/$header" ] && continue
      if [ ! -f "include/$header" ]; then
        echo "check-layers: $file:$line includes $header, which is neither beside it nor in include/" >&2
        wrong=1
        continue
      fi
      target=include
    else
      target=${header%%/*}
    fi
    up=$(rank "$target")
    if [ "$up" -lt 0 ]; then
      echo "check-layers: $file:$line includes $header, which is in no layer" >&2
      wrong=1
    elif [ "$layer" = host ] && [ "$target" != include ] && [ "$target" != shared ] && [ "$target" != host ]; then
      echo "check-layers: $file:$line includes $header: the host stands on include/ and shared/ alone" >&2
      wrong=1
    elif [ "$up" -gt "$own" ]; then
      echo "check-layers: $file:$line includes $header, a layer above $layer" >&2
      wrong=1
    fi
  done < <(grep -n '^#include "' $(find "$layer" -name "*.cpp" -o -name "*.h" -o -name "*.c") /dev/null |
           sed -E 's/^([^:]+):([0-9]+):#include "([^"]+)".*/\1:\2:\3/')
done
[ "$wrong" = 0 ] || exit 1
echo "check-layers: every include looks down (${layers[*]}; the host on include and shared)"
