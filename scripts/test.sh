#!/usr/bin/env bash
# The gate: installs what is missing, then builds and tests every configuration, stopping at the
# first failure and saying which step failed.
#   native  - libuuarc.so, the unit suites, the command-line host end to end, the fuzz-corpus replay
#   asan    - the native suites under AddressSanitizer and UndefinedBehaviorSanitizer
#   win32   - uuarc.dll and uuarc.exe cross-built; the export check; the Wine suites
# Usage: scripts/test.sh [native|asan|win32 ...]   (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(native asan win32)

step() { printf '\n==== %s\n' "$*"; }
fail() { printf '\n**** FAILED: %s\n' "$*" >&2; exit 1; }

# ---- What the suites need, and how it is installed ------------------------------------------
missing=()
need() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
need cmake cmake
need make make
need g++ g++
need i686-w64-mingw32-g++-posix g++-mingw-w64-i686
need wine wine
need uuencode sharutils
need uuenview uudeview
need python3 python3
need setpriv util-linux
need man man-db
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -d /usr/src/googletest ] || missing+=(googletest)
[ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
if [ ${#missing[@]} -gt 0 ]; then
  install="dpkg --add-architecture i386 && apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
  [ "$(id -u)" = 0 ] || fail "missing packages ${missing[*]}; as root, run: $install"
  step "installing ${#missing[@]} packages: ${missing[*]}"
  log=$(mktemp "${TMPDIR:-/tmp}/uuarc-install.XXXXXX")
  quietly() { "$@" >>"$log" 2>&1 </dev/null || { tail -n 20 "$log" >&2; fail "$*"; }; }
  export DEBIAN_FRONTEND=noninteractive
  echo "adding the i386 architecture (for wine32)"
  quietly dpkg --add-architecture i386
  echo "updating the package lists"
  quietly apt-get update
  echo "downloading"
  quietly apt-get install -y --no-install-recommends --download-only "${missing[@]}"
  echo "unpacking and configuring"
  quietly apt-get install -y --no-install-recommends "${missing[@]}"
  echo "installed (apt's output: $log)"
fi

# Wine names files in the locale's character set, and the suites use names with accents: without
# a UTF-8 locale (a bare system has none set), the C one with UTF-8 that every glibc carries.
case "$(locale charmap 2>/dev/null)" in
  UTF-8) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac

# Tests that skip (a tool or capability the machine lacks) are counted from ctest's log.
skipped=()
count_skips() {
  local log=$1/Testing/Temporary/LastTest.log line
  [ -f "$log" ] || return 0
  while IFS= read -r line; do skipped+=("$2: $line"); done < <(
    { sed -n 's/^\[  SKIPPED \] \([A-Za-z0-9_/]*\.[A-Za-z0-9_/]*\).*/\1/p' "$log"; sed -n 's/^skipped: //p' "$log"; } | sort -u)
}

# ---- Wine: one prefix of our own, its services started once with their output sent nowhere ----
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-uuarc}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
start_wine() {
  step "starting Wine services ($WINEPREFIX)"
  # A persistent server keeps the services up between the suite's many short runs.
  wineserver -p >/dev/null 2>&1 </dev/null || true
  wineboot -i >/dev/null 2>&1 </dev/null || fail "wineboot"
  export UUARC_WINE_READY=1
  trap 'wineserver -k >/dev/null 2>&1 </dev/null || true' EXIT
}

for s in "${steps[@]}"; do
  case "$s" in
    native)
      step "native: configure and build"
      cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || fail "native configure"
      cmake --build build/native -j "$jobs" || fail "native build"
      step "native: tests"
      ctest --test-dir build/native --output-on-failure || fail "native tests"
      count_skips build/native native
      ;;
    asan)
      step "asan: configure and build"
      cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DUUARC_SANITIZE=ON >/dev/null || fail "asan configure"
      cmake --build build/asan -j "$jobs" || fail "asan build"
      step "asan: tests"
      ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build/asan --output-on-failure || fail "asan tests"
      count_skips build/asan asan
      ;;
    win32)
      step "win32: configure and build"
      cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null || fail "win32 configure"
      cmake --build build/win32 -j "$jobs" || fail "win32 build"
      start_wine
      step "win32: export check and Wine suites"
      ctest --test-dir build/win32 --output-on-failure || fail "win32 tests"
      count_skips build/win32 win32
      ;;
    *) fail "unknown step $s (native, asan or win32)" ;;
  esac
done
step "all steps passed: ${steps[*]}; ${#skipped[@]} tests skipped"
for s in ${skipped[@]+"${skipped[@]}"}; do echo "  skipped: $s"; done
