#!/usr/bin/env bash
# Checks that every #include looks down: the layers from the ground up are platform, names,
# format, operations, module and host, and a file includes headers of its own layer or of those
# below it only. module/uuarc.h (the public header), module/status.h and module/version.h are the
# floor that every layer may include. Prints each include that runs upward; exits 1 when there is
# one.
# Usage: scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
layers=(platform names format operations module host)
floor=" module/uuarc.h module/status.h module/version.h "
rank() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
upward=0
for layer in "${layers[@]}"; do
  own=$(rank "$layer")
  while IFS=: read -r file line header; do
    [[ $floor == *" $header "* ]] && continue
    target=$(rank "${header%%/*}")
    if [ "$target" -gt "$own" ]; then
      echo "check-layers: $file:$line includes $header, a layer above $layer" >&2
      upward=1
    fi
  done < <(grep -n '^#include "' $(find "$layer" -name "*.cpp" -o -name "*.h") /dev/null |
           sed -E 's/^([^:]+):([0-9]+):#include "([^"]+)".*/\1:\2:\3/')
done
[ "$upward" = 0 ] || exit 1
echo "check-layers: every include looks down (${layers[*]})"
