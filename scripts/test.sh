#!/usr/bin/env bash
# The gate: installs what is missing, then builds and tests every configuration, stopping at the
# first failure and saying which step failed.
#   native  - libuuarc.so, the unit suites, the command-line host end to end, the fuzz-corpus replay
#   asan    - the native suites under AddressSanitizer and UndefinedBehaviorSanitizer
#   win64   - uuarc.dll and uuarc.exe for 64-bit Windows; the DLL check; the Wine suites (64-bit Wine)
#   win32   - the same for 32-bit Windows; its Wine suites only where the machine runs 32-bit
#             programs (UUARC_NO_I386=1 acts as if it did not), the DLL check everywhere
#   setup   - only install what is missing and say what will not run (builds nothing)
# Usage: scripts/test.sh [setup|native|asan|win64|win32 ...]   (default: the four but setup)
# Environment: UUARC_NO_I386=1 acts as a machine without 32-bit programs; UUARC_REQUIRE_I386=1 fails
# the gate where apt refuses the 32-bit packages instead of skipping their suites.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(native asan win64 win32)

step() { printf '\n==== %s\n' "$*"; }
fail() { printf '\n**** FAILED: %s\n' "$*" >&2; exit 1; }

# ---- Can this machine run 32-bit x86 programs? -------------------------------------------------
# Some machines run 64-bit code only (the kernel's IA-32 emulation is off), and nobody chooses which
# sort a run gets. A tiny static i386 program, built with binutils alone, tells; UUARC_NO_I386=1
# takes the 64-bit-only path on any machine. There the 32-bit DLL is still built and checked
# without running it, and its Wine suites are listed among the skipped ones.
i386_reason=
probe_i386() {
  if [ -n "${UUARC_NO_I386:-}" ]; then i386_reason="UUARC_NO_I386 is set"; return; fi
  local room out rc=0
  room=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-i386.XXXXXX")
  if ! { as --32 -o "$room/probe.o" scripts/i386-probe.s && ld -m elf_i386 -o "$room/probe" "$room/probe.o"; } \
      >"$room/log" 2>&1; then
    i386_reason="the i386 probe cannot be built: $(tail -n 1 "$room/log")"
  else
    out=$("$room/probe" 2>&1) || rc=$?
    [ "$rc" -eq 32 ] || i386_reason="this machine does not run 32-bit x86 programs (${out##*: }${out:+, }exit $rc)"
  fi
  rm -rf "$room"
}

# ---- What the suites need, and how it is installed ----------------------------------------------
# The 32-bit packages come last, in a call of their own: only the 32-bit Wine suites need them, and
# apt may refuse them where the amd64 libraries that the system holds are newer than the mirror's
# i386 list offers. Then the gate goes on without them, as on a machine that runs 64-bit code only;
# UUARC_REQUIRE_I386=1 makes that refusal a failure.
missing=() missing_i386=()
need() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
find_missing() {
  missing=() missing_i386=()
  need cmake cmake
  need make make
  need g++ g++
  need as binutils
  need i686-w64-mingw32-g++-posix g++-mingw-w64-i686
  need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64
  need wine wine
  [ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
  need uuencode sharutils
  need uuenview uudeview
  need python3 python3
  need setpriv util-linux
  need man man-db
  need lintian lintian
  need dpkg-shlibdeps dpkg-dev
  need file file
  [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
  [ -d /usr/src/googletest ] || missing+=(googletest)
  [ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
  if [ -z "$i386_reason" ]; then
    dpkg -s wine32:i386 >/dev/null 2>&1 || missing_i386+=(wine32:i386)
  fi
}
install_missing() {
  local all=(${missing[@]+"${missing[@]}"} ${missing_i386[@]+"${missing_i386[@]}"})
  [ ${#all[@]} -gt 0 ] || return 0
  local arch=
  [ ${#missing_i386[@]} -eq 0 ] || arch="dpkg --add-architecture i386 && apt-get update && "
  [ "$(id -u)" = 0 ] ||
    fail "missing packages ${all[*]}; as root, run: ${arch}apt-get install -y --no-install-recommends ${all[*]}"
  if [ ${#missing[@]} -gt 0 ]; then
    step "installing ${#missing[@]} packages: ${missing[*]}"
    scripts/install.sh "${missing[@]}" || fail "installing ${missing[*]}"
  fi
  [ ${#missing_i386[@]} -gt 0 ] || return 0
  step "installing the 32-bit packages: ${missing_i386[*]}"
  local log rc
  log=$(mktemp "${TMPDIR:-/tmp}/uuarc-i386-install.XXXXXX")
  { rc=0; scripts/install.sh "${missing_i386[@]}" || rc=$?; echo "$rc" >"$log.rc"; } 2>&1 | tee "$log"
  rc=$(cat "$log.rc")
  local refused
  refused=$(sed -n 's/^install: i386 refused: //p' "$log" | tail -n 1)
  rm -f "$log" "$log.rc"
  case $rc in
    0) ;;
    3) [ -z "${UUARC_REQUIRE_I386:-}" ] ||
         fail "installing ${missing_i386[*]} (apt refused them, and UUARC_REQUIRE_I386 is set)"
       i386_reason="${missing_i386[*]} cannot be installed: $refused" ;;
    *) fail "installing ${missing_i386[*]}" ;;
  esac
  missing_i386=()
}
# The probe needs binutils, which a bare machine may lack: then the rest comes once it is known.
if command -v as >/dev/null && command -v ld >/dev/null; then
  probe_i386
  find_missing
  install_missing
else
  i386_reason=unknown
  find_missing
  install_missing
  i386_reason=
  probe_i386
  find_missing
  install_missing
fi
[ -z "$i386_reason" ] || echo "32-bit Windows suites will not run: $i386_reason"

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

# ---- Wine: one prefix of our own (scripts/wine-env.sh), its services started once ----------------
wine_started=
start_wine() {
  [ -z "$wine_started" ] || return 0
  . scripts/wine-env.sh
  step "starting Wine services ($WINEPREFIX)"
  wine_boot || fail "wineboot"
  export UUARC_WINE_READY=1
  wine_started=1
  trap 'wineserver -k >/dev/null 2>&1 </dev/null || true' EXIT
}

# windows BITS TOOLCHAIN: cross-builds build/winBITS, checks the DLL without running it and runs the
# Wine suites, or, for 32 bits on a machine that cannot run them, lists those suites as skipped.
windows() {
  local dir=build/win$1
  step "win$1: configure and build"
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/$2" -DCMAKE_BUILD_TYPE=Release >/dev/null ||
    fail "win$1 configure"
  cmake --build "$dir" -j "$jobs" || fail "win$1 build"
  if [ "$1" = 32 ] && [ -n "$i386_reason" ]; then
    step "win32: the DLL checked without running it (Wine suites skipped: $i386_reason)"
    ctest --test-dir "$dir" --output-on-failure -R '^(exports|public_header_c)$' || fail "win32 checks"
    local name
    while read -r name; do
      skipped+=("win32: $name (not run: $i386_reason)")
    done < <(ctest --test-dir "$dir" -N -E '^(exports|public_header_c)$' | sed -n 's/^ *Test *#[0-9]*: //p')
    return
  fi
  start_wine
  step "win$1: export check and Wine suites"
  ctest --test-dir "$dir" --output-on-failure || fail "win$1 tests"
  count_skips "$dir" "win$1"
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
    win64) windows 64 toolchain-x86_64-w64-mingw32.cmake ;;
    win32) windows 32 toolchain-i686-w64-mingw32.cmake ;;
    setup) ;;
    *) fail "unknown step $s (setup, native, asan, win64 or win32)" ;;
  esac
done
step "all steps passed: ${steps[*]}; ${#skipped[@]} tests skipped"
for s in ${skipped[@]+"${skipped[@]}"}; do echo "  skipped: $s"; done
