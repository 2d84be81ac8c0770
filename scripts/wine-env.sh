# Sourced by the scripts that run Windows programs under Wine: one prefix of our own, quiet, and the
# loader that fits each program.
#
# The prefix is a 64-bit one, made by the 64-bit loader: it runs 64-bit programs everywhere and,
# where the machine runs 32-bit programs and wine32 is installed, 32-bit ones too. /usr/bin/wine
# prefers the 32-bit loader whenever wine32 is installed, so 64-bit programs name the 64-bit one.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-uuarc64}"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
wine64_loader=/usr/lib/wine/wine64

# pe_machine FILE: the machine field of a PE file's header, in hex (014c i386, 8664 x86-64).
pe_machine() {
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$header" ] || return 1
  od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

# wine_loader PROGRAM: the command that runs PROGRAM.
wine_loader() {
  if [ "$(pe_machine "$1")" = 8664 ] && [ -x "$wine64_loader" ]; then
    echo "$wine64_loader"
  else
    echo wine
  fi
}

# wine_boot: makes the prefix if need be and starts its services, with their output sent nowhere
# (Wine's services inherit the descriptors of whoever starts them, and a captured pipe would never
# close). A persistent server keeps them up between many short runs.
wine_boot() {
  local loader=wine
  [ -x "$wine64_loader" ] && loader=$wine64_loader
  wineserver -p >/dev/null 2>&1 </dev/null || true
  "$loader" wineboot -i >/dev/null 2>&1 </dev/null
}
