#!/usr/bin/env bash
# Checks a built uuarc.dll without running it: the file format (PE32 for i386 or PE32+ for
# x86-64), exactly the .def's names at their ordinals, undecorated, imports from system DLLs only
# (no MinGW runtime DLL beside it) and the version resource.
# Usage: scripts/check-exports.sh path/to/uuarc.dll path/to/uuarc.def [pei-i386 | pei-x86-64]
set -euo pipefail
usage="usage: check-exports.sh uuarc.dll uuarc.def [pei-i386 | pei-x86-64]"
dll=${1:?$usage}
def=${2:?$usage}
format=${3:-pei-i386}
case $format in
  pei-i386) objdump=${OBJDUMP:-i686-w64-mingw32-objdump} ;;
  pei-x86-64) objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump} ;;
  *) echo "$usage" >&2; exit 2 ;;
esac

dump=$("$objdump" -p "$dll") || { echo "check-exports: $objdump -p $dll failed" >&2; exit 1; }
failed=0
fail() { echo "check-exports: $*" >&2; failed=1; }

actual_format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
[ "$actual_format" = "$format" ] || fail "$dll is $actual_format, not $format"

# The version resource: a resource of type 16 (RT_VERSION) in the .rsrc directory.
grep -q 'Type Table:' <<<"$dump" && grep -Eq '^[0-9a-f]+ +Entry: ID: 0x0*10,' <<<"$dump" ||
  fail "$dll has no version resource"

# "<ordinal> <name>" from the .def: lines "Name = Routine@n @ord" or "Name @ord".
expected=$(sed -e 's/;.*//' "$def" | awk '$NF ~ /^@[0-9]+$/ { print substr($NF, 2), $1 }' | sort -n)

# The ordinal base, then the name table: binutils prints "[index] name" with the index counted
# from the base; older ones print "[index] +base[ordinal] hint name".
base=$(awk '/^Ordinal Base/ { print $3 }' <<<"$dump")
[ -n "$base" ] || { echo "check-exports: $dll has no export table" >&2; exit 1; }
actual=$(awk -v base="$base" '
    /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
    names && /^[ \t]*\[ *[0-9]+\]/ {
        line = $0
        if (match(line, /\+base\[ *[0-9]+\]/)) {
            ordinal = substr(line, RSTART + 6, RLENGTH - 7) + 0
        } else {
            match(line, /\[ *[0-9]+\]/)
            ordinal = substr(line, RSTART + 1, RLENGTH - 2) + base
        }
        print ordinal, $NF
        next
    }
    names && !/^[ \t]*\[/ { names = 0 }
' <<<"$dump" | sort -n)

if [ "$(wc -l <<<"$expected")" -ne 41 ]; then
    fail "$def lists $(wc -l <<<"$expected") exports, not 41"
fi
if [ "$(awk '{ print $1 }' <<<"$expected" | tr '\n' ' ')" != "$(seq 1 41 | tr '\n' ' ')" ]; then
    fail "$def does not number its exports 1 to 41"
fi
if [ "$actual" != "$expected" ]; then
    fail "exports of $dll differ from $def (< .def, > DLL):"
    diff <(echo "$expected") <(echo "$actual") >&2 || true
fi
if grep -Eq '@|^[0-9]+ _' <<<"$actual"; then
    fail "decorated export names:"
    grep -E '@|^[0-9]+ _' <<<"$actual" >&2
fi

imports=$(awk '/DLL Name:/ { print $3 }' <<<"$dump")
[ -n "$imports" ] || fail "$dll imports nothing, not even KERNEL32"
while read -r import; do
    [ -n "$import" ] || continue
    case "${import,,}" in
        kernel32.dll | user32.dll | msvcrt.dll | advapi32.dll | api-ms-win-*.dll) ;;
        libgcc* | libstdc++* | libwinpthread*) fail "imports the MinGW runtime DLL $import (link it statically)" ;;
        *) fail "imports $import, which is no system DLL" ;;
    esac
done <<<"$imports"

[ "$failed" = 0 ] || exit 1
echo "check-exports: $format, $(wc -l <<<"$actual") exports at ordinals 1..41 as in $(basename "$def"), version resource; imports: $(tr '\n' ' ' <<<"$imports")"
