#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest (CMAKE_CROSSCOMPILING_EMULATOR). scripts/test.sh
# starts Wine's services first; a run on its own starts them here, output sent nowhere.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-uuarc}"
export WINEDEBUG=-all
wineboot -i >/dev/null 2>&1 </dev/null
exec wine "$@"
