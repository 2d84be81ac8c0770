#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest (CMAKE_CROSSCOMPILING_EMULATOR) and the end-to-end
# suite. Wine's services inherit the descriptors of whoever starts them, so they must be started
# with their output sent nowhere before a run whose output is captured: scripts/test.sh does
# that once and says so in UUARC_WINE_READY; a run on its own does it here.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-uuarc}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
if [ -z "${UUARC_WINE_READY:-}" ]; then
  wineboot -i >/dev/null 2>&1 </dev/null
fi
exec wine "$@"
