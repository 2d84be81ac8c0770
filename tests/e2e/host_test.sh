#!/usr/bin/env bash
# host_test.sh - end-to-end tests of the command-line host: round trips, other encoders and
# decoders as oracles, replace refusals, hostile stored names and the exit codes.
#
# Usage: tests/e2e/host_test.sh HOST [RUNNER...]
#   HOST    the uuarc binary (libuuarc.so or uuarc.dll must lie beside it)
#   RUNNER  an optional prefix, e.g. scripts/wine-run.sh for uuarc.exe
# Every path handed to the host is relative to a scratch directory under ${TMPDIR:-/tmp}.
set -eu

if [ $# -lt 1 ]; then
    echo "usage: $0 HOST [RUNNER...]" >&2
    exit 2
fi

absolute() { case $1 in /*) printf '%s\n' "$1" ;; *) printf '%s/%s\n' "$PWD" "$1" ;; esac; }

host=$(absolute "$1")
shift
runner=()
if [ $# -gt 0 ]; then
    first=$1
    shift
    [ -e "$first" ] && first=$(absolute "$first")
    runner=("$first" "$@")
fi
under_wine=0
case "${runner[*]-} $host" in *wine*|*.exe) under_wine=1 ;; esac

work=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }

# uuarc ARGS... - runs the host with stdin from /dev/null; sets rc, out, err.
uuarc() {
    rc=0
    ${runner[@]+"${runner[@]}"} "$host" "$@" </dev/null >out.txt 2>err.txt || rc=$?
    out=$(tr -d '\r' < out.txt)
    err=$(tr -d '\r' < err.txt)
}

expect_rc() {  # NAME EXPECTED
    if [ "$rc" -eq "$2" ]; then pass; else fail "$1: exit $rc, expected $2; stderr: $err"; fi
}

expect_same() {  # NAME FILE_A FILE_B
    if [ -f "$3" ] && cmp -s "$2" "$3"; then pass; else fail "$1: $3 differs from $2"; fi
}

expect_grep() {  # NAME PATTERN TEXT
    if printf '%s\n' "$3" | grep -q -- "$2"; then pass; else fail "$1: no '$2' in: $3"; fi
}

have() { command -v "$1" >/dev/null 2>&1; }

# ---- Round trips: create, list, extract into a new folder, compare ---------------------------
head -c 3000017 /dev/urandom > big.bin
for size in 0 1 45 46 big; do
    src=big.bin
    if [ "$size" != big ]; then src=size$size.bin; head -c "$size" big.bin > "$src"; fi
    uuarc create -q "$src"
    expect_rc "create $src" 0
    [ -f "$src.uue" ] && pass || fail "create $src: no $src.uue"
    uuarc list "$src.uue"
    expect_rc "list $src.uue" 0
    expect_grep "list $src.uue shows the name" " $src\$" "$out"
    encoded=$(wc -c < "$src.uue")
    expect_grep "list $src.uue shows the estimate" "^ *$((encoded * 10 / 14)) " "$out"
    uuarc extract -q "$src.uue" -d "trip_$size"
    expect_rc "extract $src.uue" 0
    expect_same "round trip $src" "$src" "trip_$size/$src"
    [ -z "$err" ] && pass || fail "extract $src.uue: stderr not empty without a terminal: $err"
done

# ---- Several archives, stored directories, quiet runs -----------------------------------------
uuarc extract size1.bin.uue size45.bin.uue -d several
expect_rc "extract of two archives" 0
expect_same "first of two archives" size1.bin several/size1.bin
expect_same "second of two archives" size45.bin several/size45.bin
expect_grep "a line per extracted file" "size45.bin.uue -> several[/\\]size45.bin" "$out"
uuarc list size1.bin.uue
expect_grep "total line" "^ *$(( $(wc -c < size1.bin.uue) * 10 / 14 )) .* 1 file\$" "$out"
uuarc extract -q size1.bin.uue -d quiet
[ -z "$out$err" ] && pass || fail "-q: output on success: $out$err"

sed 's/^begin 644 size46.bin/begin 644 sub\/dir\/deep.bin/' size46.bin.uue > nested.uue
uuarc extract -q nested.uue -d flat
expect_same "stored directories dropped" size46.bin flat/deep.bin
uuarc extract -q nested.uue -d tree --keep-paths
expect_same "--keep-paths recreates stored directories" size46.bin tree/sub/dir/deep.bin

# ---- Files of other encoders extract byte for byte --------------------------------------------
head -c 100000 big.bin > foreign.bin
encoders=("uuencode:uuencode foreign.bin foreign.bin" "uuenview -u:uuenview -u foreign.bin"
          "uuenview -x:uuenview -x foreign.bin")
for entry in "${encoders[@]}"; do
    label=${entry%%:*}
    command=${entry#*:}
    tool=${command%% *}
    if ! have "$tool"; then
        echo "skipped: $label (not installed)"
        continue
    fi
    folder=foreign_${label//[ -]/}
    $command > "$folder.txt"
    uuarc extract -q "$folder.txt" -d "$folder"
    expect_rc "extract from $label" 0
    expect_same "file from $label" foreign.bin "$folder/foreign.bin"
done

# ---- Files that uuarc writes decode elsewhere -------------------------------------------------
if have uudecode; then
    for src in size0.bin size1.bin size45.bin size46.bin big.bin; do
        rm -rf gnu && mkdir gnu
        uudecode -o "gnu/$src" "$src.uue" 2>/dev/null && pass || fail "uudecode $src.uue"
        expect_same "uudecode of $src.uue" "$src" "gnu/$src"
    done
else
    echo "skipped: GNU uudecode (not installed)"
fi
if have python3; then
    if python3 - size46.bin.uue size46.bin <<'EOF'
import binascii, sys
lines = open(sys.argv[1], 'rb').read().split(b'\r\n')
start = next(i for i, line in enumerate(lines) if line.startswith(b'begin 644 '))
data = b''
for line in lines[start + 1:]:
    if line == b'end':
        break
    data += binascii.a2b_uu(line)
sys.exit(0 if data == open(sys.argv[2], 'rb').read() else 1)
EOF
    then pass; else fail "binascii decode of size46.bin.uue"; fi
fi

# ---- Replacing existing files -----------------------------------------------------------------
mkdir keep
printf 'old contents\n' > keep/size46.bin
cp keep/size46.bin old.bin
uuarc extract size46.bin.uue -d keep
expect_rc "existing output, stdin not a terminal" 4
expect_same "refused replace keeps the old file" old.bin keep/size46.bin
expect_grep "refusal message" "status 2926" "$err"
uuarc extract size46.bin.uue -d keep --skip-existing
expect_rc "--skip-existing" 0
expect_same "--skip-existing keeps the old file" old.bin keep/size46.bin
uuarc extract size46.bin.uue -d keep --overwrite
expect_rc "--overwrite on extract" 0
expect_same "--overwrite replaces" size46.bin keep/size46.bin

# An archive whose stored name is its own name is never replaced by itself.
mkdir self
uuarc create -q size45.bin -o self/self.uue
sed 's/^begin 644 size45.bin/begin 644 self.uue/' self/self.uue > self/tmp
mv self/tmp self/self.uue
cp self/self.uue self_before.uue
uuarc extract self/self.uue -d self --overwrite
[ "$rc" -eq 3 ] || [ "$rc" -eq 4 ] && pass || fail "extract over the archive itself: exit $rc"
expect_same "archive itself untouched" self_before.uue self/self.uue

printf 'not encoded, keep me\n' > taken.uue
cp taken.uue taken_before.uue
uuarc create size1.bin -o taken.uue
expect_rc "create onto an existing target" 4
expect_same "create keeps the existing target" taken_before.uue taken.uue
uuarc create -q size46.bin -o taken.uue --overwrite
expect_rc "create --overwrite" 0
uuarc extract -q taken.uue -d taken_out
expect_same "create --overwrite wrote the new file" size46.bin taken_out/size46.bin
uuarc create size1.bin -o size1.bin --overwrite
expect_rc "create onto its own source" 6
expect_same "source untouched" trip_1/size1.bin size1.bin

# ---- Hostile stored names write nothing outside the target folder ----------------------------
make_named() {  # FILE NAME - an encoded file of "hostile\n" under the stored name NAME
    printf 'begin 644 %s\n(:&]S=&EL90H`\n`\nend\n' "$2" > "$1"
}
tmp_x_existed=0
[ -e /tmp/x ] && tmp_x_existed=1
make_named dotdot.uue ../../escape.txt
make_named rooted.uue /tmp/x
make_named backslash.uue '..\..\escape2.txt'
mkdir -p jail/a/b
for archive in dotdot.uue rooted.uue backslash.uue; do
    uuarc extract "$archive" -d jail/a/b --keep-paths --overwrite
    uuarc extract "$archive" -d jail/a/b --overwrite
done
outside=$(find . -path ./jail/a/b -prune -o \( -name 'escape*' -o -name x \) -print)
[ -z "$outside" ] && pass || fail "hostile names wrote outside the target folder: $outside"
if [ "$tmp_x_existed" -eq 0 ]; then
    [ ! -e /tmp/x ] && pass || fail "a stored name /tmp/x created /tmp/x"
fi
uuarc extract dotdot.uue -d dd --keep-paths
expect_rc "stored name ../../escape.txt with --keep-paths" 3
uuarc extract dotdot.uue -d dd2
expect_rc "stored name ../../escape.txt without --keep-paths" 0
[ -f dd2/escape.txt ] && pass || fail "dotdot.uue without --keep-paths: no dd2/escape.txt"

# ---- Exit codes and messages ------------------------------------------------------------------
printf 'just some text\nno begin here\n' > plain.uue
uuarc list plain.uue
expect_rc "list of a file that is not encoded" 2
expect_grep "message names file and status" "plain.uue: .*(status 9974)" "$err"
uuarc extract plain.uue -d never
expect_rc "extract of a file that is not encoded" 2
[ ! -e never ] && pass || fail "extract of a file that is not encoded created its folder"

# The third data line gets a "~", which no alphabet of that file holds.
uuarc create -q foreign.bin
awk 'data && ++n == 3 { $0 = substr($0, 1, 5) "~" substr($0, 7) } /^begin /{ data = 1 } { print }' \
    foreign.bin.uue > damaged.uue
uuarc extract damaged.uue -d damaged
expect_rc "extract of damaged data" 2
expect_grep "damage is status 9964" "(status 9964)" "$err"

uuarc list missing.uue
expect_rc "list of a missing file" 3
expect_grep "missing file message" "missing.uue: .*(status 5)" "$err"
uuarc extract missing.uue
expect_rc "extract of a missing file" 3
uuarc create missing.bin
expect_rc "create from a missing source" 3
[ ! -e missing.bin.uue ] && pass || fail "create from a missing source left missing.bin.uue"
mkdir srcdir
uuarc create srcdir -o srcdir.uue
expect_rc "create from a directory" 6
expect_grep "directory message" "(status 9908)" "$err"

uuarc list plain.uue size1.bin.uue
expect_rc "several archives: the first failure counts" 2
expect_grep "several archives: the good one is listed" "size1.bin" "$out"

uuarc
expect_rc "no command" 1
uuarc frobnicate x
expect_rc "unknown command" 1
uuarc extract x.uue --bogus
expect_rc "unknown option" 1
uuarc extract x.uue --overwrite --skip-existing
expect_rc "conflicting options" 1
uuarc create a b
expect_rc "create with two sources" 1
uuarc --help
expect_rc "--help" 0
expect_grep "--help lists exit codes" "Exit status" "$out"
uuarc --version
expect_rc "--version" 0
expect_grep "--version" "^uuarc [0-9][0-9]*\.[0-9][0-9]*\.[0-9][0-9]*" "$out"

# ---- Names outside ASCII (Linux: UTF-8 on the command line and in the module) ----------------
if [ "$under_wine" -eq 0 ]; then
    cp size45.bin 'café_ü.bin'
    uuarc create -q 'café_ü.bin'
    expect_rc "create from a name with accents" 0
    uuarc list 'café_ü.bin.uue'
    expect_grep "listing shows the name in UTF-8" ' café_ü.bin$' "$out"
    uuarc extract -q 'café_ü.bin.uue' -d accents
    expect_same "accented name round trip" size45.bin 'accents/café_ü.bin'
    mkdir -p 'Документы'
    cp size1.bin 'Документы/smile 😀.bin'
    uuarc create -q 'Документы/smile 😀.bin' -o 'Документы/smile.uue'
    expect_rc "a name that no 8-bit code page holds" 0
    uuarc extract -q 'Документы/smile.uue' -d 'Загрузки'
    expect_same "emoji name round trip through Cyrillic folders" size1.bin 'Загрузки/smile 😀.bin'
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
