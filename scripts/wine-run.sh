#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest (CMAKE_CROSSCOMPILING_EMULATOR) and the end-to-end
# suite, with the loader that fits it (scripts/wine-env.sh). scripts/test.sh starts Wine's services
# once and says so in UUARC_WINE_READY; a run on its own starts them here.
#
# Now and then, after hundreds of short runs, a Wine client loses its connection to the
# wineserver before the program starts ("wine client error:0: recvmsg: Connection reset by
# peer"). Such a run did nothing of the program's; it is tried again, up to twice, and the error
# is passed on only when it stays.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
[ -n "${UUARC_WINE_READY:-}" ] || wine_boot
loader=$(wine_loader "$1")
errors=$(mktemp "${TMPDIR:-/tmp}/uuarc-wine-run.XXXXXX") || exec "$loader" "$@"
trap 'rm -f "$errors"' EXIT
for attempt in 1 2 3; do
  rc=0
  "$loader" "$@" 2>"$errors" || rc=$?
  if [ "$rc" -eq 0 ] || [ "$attempt" -eq 3 ] || ! grep -q '^wine client error:' "$errors"; then break; fi
  wineserver -p >/dev/null 2>&1 </dev/null || true
  sleep 1
done
cat "$errors" >&2
exit "$rc"
