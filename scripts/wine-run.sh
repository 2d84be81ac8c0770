#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest (CMAKE_CROSSCOMPILING_EMULATOR) and the end-to-end
# suite. Wine's services inherit the descriptors of whoever starts them, so they must be started
# with their output sent nowhere before a run whose output is captured: scripts/test.sh does
# that once and says so in UUARC_WINE_READY; a run on its own does it here.
#
# Now and then, after hundreds of short runs, a Wine client loses its connection to the
# wineserver before the program starts ("wine client error:0: recvmsg: Connection reset by
# peer"). Such a run did nothing of the program's; it is tried again, up to twice, and the error
# is passed on only when it stays.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-uuarc}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
if [ -z "${UUARC_WINE_READY:-}" ]; then
  wineboot -i >/dev/null 2>&1 </dev/null
fi
errors=$(mktemp "${TMPDIR:-/tmp}/uuarc-wine-run.XXXXXX") || exec wine "$@"
trap 'rm -f "$errors"' EXIT
for attempt in 1 2 3; do
  rc=0
  wine "$@" 2>"$errors" || rc=$?
  if [ "$rc" -eq 0 ] || [ "$attempt" -eq 3 ] || ! grep -q '^wine client error:' "$errors"; then break; fi
  wineserver -p >/dev/null 2>&1 </dev/null || true
  sleep 1
done
cat "$errors" >&2
exit "$rc"
