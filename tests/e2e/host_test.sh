#!/usr/bin/env bash
# host_test.sh - end-to-end tests of the command-line host: round trips, other encoders and
# decoders as oracles, replace refusals, hostile stored names, the exit codes, pipes and the
# standard streams, option habits, messages, interrupts, the progress bar and an installed tree.
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
# The 32-bit DLL has no output file of the host's naming: there -o FILE is refused, and create
# makes a new target only. Nor does it read every file of a text: there a text is its first file.
output_file=1
if [ "$under_wine" -eq 1 ] && od -An -tx1 -j "$(( $(od -An -tu4 -j 60 -N 4 "$host") + 4 ))" -N 2 "$host" | grep -q '4c 01'; then
    output_file=0
fi
every_file=$output_file
# Nor does it tell the host its facts: there a message gives no reason that only the module knows
# (where and why its reading stopped, the rule that a stored name breaks).
facts=$output_file

work=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
# The host's temporary folders go here, where the suite can see that none is left behind.
mkdir scratch
export TMPDIR=$work/scratch

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }

# uuarc ARGS... - runs the host with stdin from /dev/null; sets rc, out, err. A run that hangs
# fails (exit 124) instead of stopping the suite.
uuarc() {
    rc=0
    timeout 120 ${runner[@]+"${runner[@]}"} "$host" "$@" </dev/null >out.txt 2>err.txt || rc=$?
    out=$(tr -d '\r\0' < out.txt)
    err=$(tr -d '\r' < err.txt)
}

# uuarc_in INPUT ARGS... - the same with stdin from INPUT.
uuarc_in() {
    local input=$1
    shift
    rc=0
    ${runner[@]+"${runner[@]}"} "$host" "$@" <"$input" >out.txt 2>err.txt || rc=$?
    out=$(tr -d '\r\0' < out.txt)
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

# estimate FILE - the size that list shows for the one file of FILE: its data and end lines (the
# bytes after its begin line up to and including "end") * 10 / 14; the whole text's where the
# module reads one file only.
estimate() {
    local bytes
    if [ "$every_file" -eq 1 ]; then
        bytes=$(awk '/^begin /{on=1; next} on{n += length($0) + 1} on && /^end/{print n; exit}' "$1")
    else
        bytes=$(wc -c < "$1")
    fi
    echo $((bytes * 10 / 14))
}

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
    expect_grep "list $src.uue shows the estimate" "^ *$(estimate "$src.uue") " "$out"
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
expect_grep "total line" "^ *$(estimate size1.bin.uue) .* 1 file\$" "$out"
uuarc extract -q size1.bin.uue -d quiet
[ -z "$out$err" ] && pass || fail "-q: output on success: $out$err"

# ---- Several files in one text: every one listed, extracted and tested -----------------------
printf 'hello world\n' > hello.txt
head -c 3000 big.bin > small.bin
uuarc create -q hello.txt
base64_small() { printf 'begin-base64 644 small.bin\n'; base64 -w 76 small.bin; }
{ printf 'From: someone\r\n\r\n'; cat hello.txt.uue size45.bin.uue; base64_small; printf '====\n-- \n'; } > three.txt
uuarc list three.txt
names=$(printf '%s\n' "$out" | awk '/ ----a /{printf "%s ", $NF}')
expected_names="hello.txt size45.bin small.bin "
[ "$every_file" -eq 1 ] || expected_names="hello.txt "  # the 32-bit module: the first file alone
[ "$names" = "$expected_names" ] && pass || fail "list of a text of three files: $names"
[ "$every_file" -eq 0 ] || expect_grep "the total line counts the files" " 3 files\$" "$out"
uuarc extract three.txt -d three
expect_rc "extract of a text of three files" 0
expect_same "first file of a text" hello.txt three/hello.txt
if [ "$every_file" -eq 1 ]; then
    expect_same "base64 file of a text" small.bin three/small.bin
    expect_grep "a line per file of a text" "three.txt -> three[/\\]small.bin" "$out"
    uuarc extract -c three.txt
    cat hello.txt size45.bin small.bin > three.expected
    expect_same "-c writes the files one after the other" three.expected out.txt
    uuarc extract three.txt -o one.bin
    expect_rc "-o with a text of three files" 1
    expect_grep "-o refused for three files" "three.txt: it holds 3 files: -o FILE takes one" "$err"

    # A damaged file between whole ones; a base64 file cut short by the next begin line.
    { cat hello.txt.uue; sed '/^M/s/^M\(.\{9\}\)./M\1~/' size45.bin.uue; base64_small
      sed -n '/^begin /,$p' size1.bin.uue; } > damaged.txt
    uuarc extract damaged.txt -d damaged
    expect_rc "extract of a text with damaged files" 2
    expect_same "a whole file after damaged ones" size1.bin damaged/size1.bin
    expect_same "a file whose end line is missing keeps its bytes" small.bin damaged/small.bin
    expect_grep "the damaged line is named" "line [0-9]*: '~' is not in the data's alphabet" "$err"
    uuarc test damaged.txt
    expect_grep "test counts the intact files" "damaged.txt: 4 files, 2 intact" "$out"

    # Two files of one name: the second is asked about like any existing file.
    { cat hello.txt.uue; sed 's/^begin 644 size1.bin/begin 644 hello.txt/' size1.bin.uue; } > twice.txt
    uuarc extract twice.txt -d twice
    expect_rc "second file of one name, nobody to ask" 4
    expect_same "the first of two files of one name is kept" hello.txt twice/hello.txt
    uuarc extract twice.txt -d twice2 --overwrite
    expect_same "the second of two files of one name replaces the first" size1.bin twice2/hello.txt
fi

# ---- list: each begin line's mode, and with -v each file's exact size beside the estimate -------
printf 'begin 4755 tool\n#86)C\n`\nend\n' > mode4755.uue
# ARCHIVE | A LINE OF list -v: the estimate, the exact size, the mode (where the module tells it)
lists=("size46.bin.uue|^ *$(estimate size46.bin.uue)  *46  -rw-r--r--  .* size46.bin$"
       "mode4755.uue|^ *[0-9]*  *3  -rwsr-xr-x  .* tool$")
if [ "$every_file" -eq 1 ]; then
    lists+=("three.txt|^ *[0-9]*  *3000  -rw-r--r--  .* small.bin$"
            "damaged.txt|^ *[0-9]*  *damaged  -rw-r--r--  .* size45.bin$")
fi
for row in "${lists[@]}"; do
    IFS='|' read -r archive pattern <<< "$row"
    # The 32-bit module tells no mode: its listing has no such column.
    [ "$output_file" -eq 1 ] || pattern=$(printf '%s' "$pattern" | sed 's/  -[-rwxsStT]\{9\}//')
    uuarc list -v "$archive"
    expect_rc "list -v $archive" 0
    expect_grep "list -v $archive" "$pattern" "$out"
done

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

# ---- A part of a split posting says what it is ------------------------------------------------
# uuenview marks each part "Part 00N of 003 of file foreign.bin": the first lacks its end line,
# the others their begin line.
if have uuenview && [ "$facts" -eq 1 ]; then
    mkdir split
    uuenview -u -1000 -od split foreign.bin
    uuarc extract split/foreign.001 -d split_out
    expect_rc "extract of a first part" 2
    expect_grep "a first part says so" "^uuarc: split[/\\\\]foreign.001: part 1 of 3 of foreign.bin: the other parts are needed; split_out[/\\\\]foreign.bin is incomplete (status 9964)\$" "$err"
    uuarc extract split/foreign.002 -d split_out
    expect_rc "extract of a second part" 2
    expect_grep "a second part says so" "^uuarc: split[/\\\\]foreign.002: part 2 of 3 of foreign.bin: the other parts are needed (status 9974)\$" "$err"
fi

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
expect_rc "create onto an existing target" "$(( output_file ? 4 : 3 ))"
expect_same "create keeps the existing target" taken_before.uue taken.uue
if [ "$output_file" -eq 1 ]; then
    # An encoded target is replaced only with --overwrite: without it, exit 6 (status 9901).
    for round in plain encoded; do
        uuarc create -q size46.bin -o taken.uue --overwrite
        expect_rc "create --overwrite onto a $round target" 0
        rm -rf taken_out && uuarc extract -q taken.uue -d taken_out
        expect_same "create --overwrite onto a $round target wrote the new file" size46.bin taken_out/size46.bin
    done
fi
# The 32-bit module makes new targets only: its own source, there already, is refused as any is.
uuarc create size1.bin -o size1.bin --overwrite
expect_rc "create onto its own source" "$(( output_file ? 6 : 3 ))"
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
    # Other Linux decoders take the stored name as the bytes it is.
    if have uudecode; then
        mkdir -p gnu_names && (cd gnu_names && uudecode '../café_ü.bin.uue' 2>/dev/null)
        expect_same "GNU uudecode makes the name that was stored" size45.bin 'gnu_names/café_ü.bin'
    fi
    mkdir -p 'Документы'
    cp size1.bin 'Документы/smile 😀.bin'
    uuarc create -q 'Документы/smile 😀.bin' -o 'Документы/smile.uue'
    expect_rc "a name that no 8-bit code page holds" 0
    uuarc extract -q 'Документы/smile.uue' -d 'Загрузки'
    expect_same "emoji name round trip through Cyrillic folders" size1.bin 'Загрузки/smile 😀.bin'
fi

# ---- Long paths: Linux takes them up to 4095 bytes, the module 255 -----------------------------
if [ "$under_wine" -eq 0 ]; then
    long=$work/$(printf 'l%.0s' $(seq 200))/$(printf 'o%.0s' $(seq 200))/$(printf 'n%.0s' $(seq 200))
    folder100=$(printf 'f%.0s' $(seq 100))
    mkdir -p "$long" "$folder100"
    cp size46.bin.uue "$long/"
    make_named long_name.uue "$(printf 'n%.0s' $(seq 200))"
    # ARGS | THE FILE IT MAKES ("" for none) | WHAT THAT FILE HOLDS
    longs=("extract size46.bin.uue -d $long/new|$long/new/size46.bin|size46.bin"
           "extract nested.uue -d $long --keep-paths|$long/sub/dir/deep.bin|size46.bin"
           "test $long/size46.bin.uue||"
           "create size46.bin -o $long/made.uue|$long/made.uue|size46.bin.uue"
           "extract $long/made.uue -o $long/out.bin|$long/out.bin|size46.bin"
           "create $long/out.bin -n again.bin -o $long/again.uue||"
           "extract $long/again.uue -d $long/again|$long/again/again.bin|size46.bin"
           "extract long_name.uue -d $folder100|$folder100/$(printf 'n%.0s' $(seq 200))|hostile.txt")
    printf 'hostile\n' > hostile.txt
    for row in "${longs[@]}"; do
        IFS='|' read -r args made like <<< "$row"
        uuarc $args
        expect_rc "long paths: ${args:0:60}" 0
        [ -z "$made" ] || expect_same "long paths: ${args:0:60}" "$like" "$made"
    done
    uuarc extract size46.bin.uue -d "$long/new" --overwrite
    expect_grep "long paths: the folder is named as given" "size46.bin.uue -> $long/new/size46.bin\$" "$out"
    rm -rf "$work/$(printf 'l%.0s' $(seq 200))" "$folder100"
fi

# ---- Linux names are bytes: ':' is a byte like any other, a name not UTF-8 is kept as it is -------
printf 'begin 644 10:30 notes.txt\n#:&D*\n`\nend\n' > colon.uue       # "hi\n", as GNU would write it
printf 'begin 644 a:b\n#:&D*\n`\nend\n' > drive_like.uue
printf 'begin 644 caf\351 r\351sum\351.txt\n#:&D*\n`\nend\n' > latin1.uue  # Latin-1 bytes
if [ "$under_wine" -eq 0 ]; then
    # ARGS | FILE MADE ("" for none) - each must give "hi", exit 0
    rows=("extract colon.uue -d names_a|names_a/10:30 notes.txt"
          "extract colon.uue -o names_o.txt|names_o.txt"
          "test colon.uue|"
          "extract drive_like.uue -d names_b|names_b/a:b"
          "extract latin1.uue -d names_c|names_c/caf"$'\351'" r"$'\351'"sum"$'\351'".txt")
    for row in "${rows[@]}"; do
        IFS='|' read -r args made <<< "$row"
        uuarc $args
        expect_rc "names as bytes: $args" 0
        if [ -n "$made" ]; then
            [ "$(cat "$made" 2>/dev/null)" = hi ] && pass || fail "names as bytes: $args: no $made"
        fi
    done
    uuarc extract -c colon.uue
    [ "$rc" -eq 0 ] && [ "$out" = hi ] && pass || fail "names as bytes: -c gave '$out', exit $rc"
    uuarc list latin1.uue
    expect_grep "a name not UTF-8 is listed escaped" ' caf\\xE9 r\\xE9sum\\xE9.txt$' "$out"
    uuarc extract latin1.uue -d names_d
    expect_grep "a name not UTF-8 is escaped in messages" 'names_d/caf\\xE9 r\\xE9sum\\xE9.txt$' "$out"
    # Creation stores what extraction takes: ':' and bytes that are not UTF-8.
    printf 'hi\n' > 'report 14:31.log'
    cp 'report 14:31.log' "$(printf 'r\351sum\351.txt')"
    for source in 'report 14:31.log' "$(printf 'r\351sum\351.txt')"; do
        uuarc create -q "$source" -o names_made.uue --overwrite
        expect_rc "create of a name as bytes" 0
        uuarc test names_made.uue
        expect_rc "test of what create made of a name as bytes" 0
        rm -rf names_back
        uuarc extract -q names_made.uue -d names_back
        expect_same "round trip of a name as bytes" 'report 14:31.log' "names_back/$source"
        # GNU uudecode keeps the bytes too.
        if have uudecode; then
            rm -rf names_gnu && mkdir names_gnu && (cd names_gnu && uudecode ../names_made.uue 2>/dev/null)
            expect_same "GNU uudecode makes the name stored as bytes" 'report 14:31.log' "names_gnu/$source"
        fi
    done
fi

# ---- Pipes and the standard streams -------------------------------------------------------------
no_scratch_left() {  # NAME - the host's temporary folders are all gone (Windows has its own)
    [ "$under_wine" -eq 0 ] || return 0
    local left
    left=$(ls -A scratch)
    [ -z "$left" ] && pass || fail "$1: left in \$TMPDIR: $left"
}

uuarc_in size46.bin.uue list -
expect_rc "list -" 0
expect_grep "list - names standard input" "^Archive:  standard input" "$out"
expect_grep "list - shows the stored name" " size46.bin\$" "$out"
uuarc_in big.bin.uue extract -q - -d piped
expect_same "extract - into a folder" big.bin piped/big.bin
uuarc extract -c big.bin.uue
expect_rc "extract -c" 0
expect_same "extract -c writes the decoded bytes" big.bin out.txt
[ ! -e big.bin ] || [ "$(ls trip_big)" = big.bin ] && pass || fail "extract -c wrote to disk"
uuarc_in size45.bin.uue extract --stdout -
expect_same "extract --stdout -" size45.bin out.txt
uuarc_in big.bin create - --name piped.bin -q
expect_rc "create - --name" 0
uuarc extract -qc piped.bin.uue
expect_same "create - --name round trip" big.bin out.txt
uuarc list piped.bin.uue
expect_grep "create - stores the given name" " piped.bin\$" "$out"
uuarc create size46.bin -o -
expect_rc "create -o -" 0
cp out.txt to_stdout.uue
uuarc extract -qc to_stdout.uue
expect_same "create -o - round trip" size46.bin out.txt
[ ! -e size46.bin.uue.~0 ] && [ -z "$err" ] && pass || fail "create -o -: messages or files: $err"
uuarc_in size45.bin create - -n renamed.bin -o -
cp out.txt renamed.uue
uuarc list renamed.uue
expect_grep "create - -n -o -: the stored name" " renamed.bin\$" "$out"
uuarc create size1.bin --name other.bin
expect_rc "create SOURCE --name" 0
uuarc list other.bin.uue
expect_grep "--name on a file: the stored name and the target" " other.bin\$" "$out"
uuarc create -
expect_rc "create - without --name" 1
no_scratch_left "pipes"
if [ "$under_wine" -eq 0 ]; then
    # The module reads an archive more than once: a pipe behind a file name is copied too.
    rc=0
    "$host" extract -c /dev/stdin < big.bin.uue > out.txt 2>err.txt || rc=$?
    expect_rc "extract -c /dev/stdin" 0
    expect_same "extract of /dev/stdin" big.bin out.txt
    rc=0
    cat size46.bin.uue | "$host" list /dev/stdin > out.txt 2>err.txt || rc=$?
    expect_rc "list of a pipe named /dev/stdin" 0
    no_scratch_left "/dev/stdin"

    # GNU's spellings of standard output are -o -; a FIFO, a pipe or a process substitution is a
    # source as - is. WHAT STANDARD OUTPUT GETS (the decoded file, or it encoded) COMMAND (bash)
    mkfifo source.fifo
    pipes=("decoded '$host' extract size46.bin.uue -o /dev/stdout"
           "decoded '$host' extract size46.bin.uue -o /dev/fd/1"
           "encoded '$host' create size46.bin -o /dev/stdout"
           "encoded '$host' create <(cat size46.bin) -n size46.bin -o -"
           "encoded cat size46.bin | '$host' create /dev/stdin -n size46.bin -o -"
           "encoded '$host' create source.fifo -n size46.bin -o - & cat size46.bin > source.fifo; wait \$!")
    for row in "${pipes[@]}"; do
        read -r writes command <<< "$row"
        rc=0
        timeout 60 bash -c "$command" </dev/null >out.txt 2>err.txt || rc=$?
        expect_rc "pipes: $command" 0
        [ "$writes" = decoded ] && cp out.txt decoded.txt || "$host" extract -qc - <out.txt >decoded.txt 2>/dev/null || true
        expect_same "pipes: $command" size46.bin decoded.txt
    done
    # create -o - writes as it encodes: with the reader stalled, nothing waits in a temporary file.
    "$host" create big.bin -o - 2>/dev/null | { head -c 10 >/dev/null; ls -A scratch > seen.txt; cat >/dev/null; }
    [ ! -s seen.txt ] && pass || fail "create -o -: a temporary file while streaming: $(cat seen.txt)"
    "$host" create big.bin -o - 2>/dev/null | head -c 100 > head.txt || true
    cmp -s head.txt <(head -c 100 big.bin.uue) && pass || fail "create -o - | head -c 100"
    no_scratch_left "pipes as sources"
fi

# ---- A failed write to standard output ----------------------------------------------------------
if [ -w /dev/full ]; then
    for args in "list size46.bin.uue" "extract -c size46.bin.uue" "create size46.bin -o -"; do
        rc=0
        ${runner[@]+"${runner[@]}"} "$host" $args </dev/null >/dev/full 2>err.txt || rc=$?
        err=$(tr -d '\r' < err.txt)
        expect_rc "$args > /dev/full" 5
        expect_grep "$args > /dev/full: message" "^uuarc: standard output: cannot write" "$err"
    done
    no_scratch_left "/dev/full"
fi

# A closed standard output is no file's number: writing there fails and is reported.
if [ "$under_wine" -eq 0 ]; then
    rc=0
    "$host" extract -c size46.bin.uue </dev/null >&- 2>err.txt || rc=$?
    expect_rc "extract -c with standard output closed" 5
    expect_grep "extract -c with standard output closed: message" "^uuarc: standard output: cannot write" "$(cat err.txt)"
fi

# ---- Option habits ------------------------------------------------------------------------------
# Each way of spelling the folder and the quiet flag; every one must extract, quietly.
spellings=("-qd opt1 size45.bin.uue" "-q -dopt2 size45.bin.uue" "extract --dir=opt3 -q size45.bin.uue"
           "size45.bin.uue --directory opt4 --qui" "-q --dir opt5 -- size45.bin.uue")
n=0
for spelling in "${spellings[@]}"; do
    n=$((n + 1))
    case $spelling in extract*) set -- $spelling ;; *) set -- extract $spelling ;; esac
    uuarc "$@"
    expect_rc "options: $spelling" 0
    expect_same "options: $spelling" size45.bin "opt$n/size45.bin"
    [ -z "$out$err" ] && pass || fail "options: $spelling: not quiet: $out$err"
done
uuarc extract --keep size46.bin.uue -d opt_keep
expect_same "an abbreviated --keep-paths" size46.bin opt_keep/size46.bin
if [ "$under_wine" -eq 0 ]; then
    # A ':' ends a drive on Windows only: here "notes:" is a folder like any other.
    mkdir 'notes:'
    uuarc extract size46.bin.uue -d 'notes:'
    expect_same "-d with a folder that ends in ':'" size46.bin 'notes:/size46.bin'
    [ ! -e 'notes:size46.bin' ] && pass || fail "-d 'notes:' wrote beside the folder"
fi
usage_errors=("extract size45.bin.uue --o x" "extract size45.bin.uue --quiet=yes" "extract -x size45.bin.uue"
              "extract size45.bin.uue -d" "create size1.bin -o ''" "extract -c -d x size45.bin.uue"
              "list - -" "extract -v size45.bin.uue")
for args in "${usage_errors[@]}"; do
    eval "uuarc $args"
    expect_rc "usage: $args" 1
    expect_grep "usage: $args: a hint" "Try 'uuarc --help'" "$err"
done
uuarc --help
for option in -d --directory --keep-paths -c --stdout -o --output -n --name --overwrite --skip-existing \
              -q --quiet -h --help -V --version; do
    expect_grep "--help lists $option" "^ *\(-., \)\?$option\>" "$out"
done
uuarc -V
expect_grep "-V" "^uuarc [0-9]" "$out"

# ---- Messages: one line, "uuarc: FILE: WHAT: REASON (status N)" ---------------------------------
# Not nul.uue and con.uue: on Windows those name devices themselves.
make_named dev_nul.uue NUL
make_named dev_con.uue con.txt
make_named dev_com0.uue COM0
make_named dev_lpt0.uue lpt0.txt
make_named dev_conin.uue 'CONIN$'
make_named dev_conout.uue 'conout$.log'
make_named ends_in_slash.uue 'folder/'
mkdir -p msg_out
printf 'kept\n' > msg_out/size46.bin
# A block that lost its second line; a line cut short in a file that writes 0 as a backquote.
printf 'table\n~}|{zyxwvutsrqponmlkjihgfedcba`_^]\\[ZY\nbegin 644 t.bin\n`\nend\n' > table_lost.uue
printf 'begin 644 a.bin\n#86)\n`\nend\n' > cut_short.uue
# Damage in each alphabet and form: base64 without its "====" line and with a "!" on line 5; a
# table (the base64 alphabet) with a "~" on line 7; xx with one on line 3; prose after a begin
# line; a file of uuarc's that a mailer gave a line twice, or lost one.
printf 'begin-base64 644 x.bin\nYWJj\nYWJj\n' > b64_cut.uue
printf 'begin-base64 644 x.bin\nYWJj\nYWJj\nYWJj\n!WJj\n====\n' > b64_bang.uue
printf 'table\nABCDEFGHIJKLMNOPQRSTUVWXYZabcdef\nghijklmnopqrstuvwxyz0123456789+/\nbegin 644 t.bin\nDYWJj\nDYWJj\nDYW~j\nA\nend\n' \
    > table_tilde.uue
printf 'begin 644 x.bin\n1MK7X\n1MK~X\n+\nend\n' > xx_tilde.uue
printf 'begin 644 x.bin\nhello there\nend\n' > prose.uue
head -c 1000 foreign.bin > thousand.bin
uuarc create -q thousand.bin
sed '9p' thousand.bin.uue > longer.uue
sed '9d' thousand.bin.uue > shorter.uue
# NAME | ARGS | EXIT | PATTERN
messages=(
    "not encoded|list plain.uue|2|^uuarc: plain.uue: not a uuencoded file: no begin line (status 9974)$"
    "missing archive|extract missing.uue|3|^uuarc: missing.uue: cannot open: .* (status 5)$"
    "missing source|create missing.bin|3|^uuarc: missing.bin: cannot open the source: .* (status 5)$"
    "-n with an escape|create size1.bin -n esc"$'\033'".bin -o msg_name.uue|3|^uuarc: size1.bin: cannot store the name 'esc\\\\x1B.bin': it holds a control byte ('\\\\x1B'), which a begin line cannot carry; give another with -n NAME (status 5)$"
    "exists on extract|extract size46.bin.uue -d msg_out|4|^uuarc: msg_out[/\\\\]size46.bin: exists: not replaced without --overwrite or --skip-existing, since standard input is not a terminal (status 2926)$"
    "exists on create|create size1.bin -o plain.uue|4|^uuarc: plain.uue: exists: not replaced without --overwrite (status 2926)$"
    "encoded target|create size1.bin -o size1.bin.uue|6|^uuarc: size1.bin.uue: creation refused: it is a uuencoded file already, replaced only with --overwrite (status 9901)$"
    "directory source|create srcdir -o srcdir.uue|6|^uuarc: srcdir: cannot encode: it is a directory (status 9908)$"
    "source is target|create size1.bin -o size1.bin --overwrite|6|^uuarc: size1.bin: creation refused: the target is the source itself (status 9901)$"
)
if [ "$facts" -eq 1 ]; then
    messages+=(
        "a damaged table block|list table_lost.uue|2|^uuarc: table_lost.uue: not a uuencoded file: line 1: \"table\" is followed by no block of 64 different characters (status 9974)$"
        "a line cut short|test cut_short.uue|2|^uuarc: cut_short.uue: damaged uuencoded data: line 2 is cut short: 3 of the 4 characters its length asks for (status 9964)$"
        "damaged|extract damaged.uue -d msg_damaged|2|^uuarc: damaged.uue: damaged uuencoded data: line 11: '~' is not in the data's alphabet; msg_damaged[/\\\\]foreign.bin is incomplete (status 9964)$"
        "base64 without its end|test b64_cut.uue|2|^uuarc: b64_cut.uue: damaged uuencoded data: the end line is missing (status 9964)$"
        "base64 with a '!'|test b64_bang.uue|2|^uuarc: b64_bang.uue: damaged uuencoded data: line 5: '!' is not in the data's alphabet (status 9964)$"
        "a table's data|test table_tilde.uue|2|^uuarc: table_tilde.uue: damaged uuencoded data: line 7: '~' is not in the data's alphabet (status 9964)$"
        "xx data|test xx_tilde.uue|2|^uuarc: xx_tilde.uue: damaged uuencoded data: line 3: '~' is not in the data's alphabet (status 9964)$"
        "prose after a begin line|test prose.uue|2|^uuarc: prose.uue: damaged uuencoded data: line 2: ' ' is not in the data's alphabet (status 9964)$"
        "a line twice|extract longer.uue -d msg_longer|2|^uuarc: longer.uue: damaged uuencoded data: it decodes to 1045 bytes where its header says 1000; msg_longer[/\\\\]thousand.bin holds all 1045 bytes (status 9964)$"
        "a line lost|extract shorter.uue -d msg_shorter|2|^uuarc: shorter.uue: damaged uuencoded data: it decodes to 955 bytes where its header says 1000; msg_shorter[/\\\\]thousand.bin is incomplete (status 9964)$"
        "escaping name|extract dotdot.uue -d msg --keep-paths|3|^uuarc: dotdot.uue: stored name '../../escape.txt' refused: it leaves the target folder ('..') (status 5)$"
        "name ends in a separator|extract ends_in_slash.uue -d msg --keep-paths|3|^uuarc: ends_in_slash.uue: stored name 'folder[/\\\\]' refused: it ends in a separator, so it names a folder, not a file (status 5)$"
        "name ends in a separator, flat|extract ends_in_slash.uue -d msg|3|^uuarc: ends_in_slash.uue: stored name 'folder[/\\\\]' refused: it has no file name (status 5)$"
    )
else
    messages+=(
        "damaged, no reason known|extract damaged.uue -d msg_damaged|2|^uuarc: damaged.uue: damaged uuencoded data: msg_damaged[/\\\\]foreign.bin is incomplete (status 9964)$"
        "escaping name, no rule known|extract dotdot.uue -d msg --keep-paths|3|^uuarc: dotdot.uue: [^:]* (status 5)$"
    )
fi
if [ "$under_wine" -eq 1 ] && [ "$facts" -eq 1 ]; then
    # Windows opens a device under these names: only there are they refused.
    messages+=(
        "device name|extract dev_nul.uue -d msg|3|^uuarc: dev_nul.uue: stored name 'NUL' refused: it is a device name ('NUL') (status 5)$"
        "device with extension|extract dev_con.uue -d msg|3|^uuarc: dev_con.uue: stored name 'con.txt' refused: it is a device name ('con.txt') (status 5)$"
        "device COM0|extract dev_com0.uue -d msg|3|^uuarc: dev_com0.uue: stored name 'COM0' refused: it is a device name ('COM0') (status 5)$"
        "device LPT0|extract dev_lpt0.uue -d msg|3|^uuarc: dev_lpt0.uue: stored name 'lpt0.txt' refused: it is a device name ('lpt0.txt') (status 5)$"
        "device CONIN\$|extract dev_conin.uue -d msg|3|^uuarc: dev_conin.uue: stored name 'CONIN\$' refused: it is a device name ('CONIN\$') (status 5)$"
        "device CONOUT\$|extract dev_conout.uue -d msg|3|^uuarc: dev_conout.uue: stored name 'conout\$.log' refused: it is a device name ('conout\$.log') (status 5)$"
    )
fi
if [ "$under_wine" -eq 1 ] && [ "$facts" -eq 1 ]; then
    # A ':' names a drive or a stream on Windows: only there is it refused.
    messages+=(
        "a ':' in the name|extract colon.uue -d msg|3|^uuarc: colon.uue: stored name '10:30 notes.txt' refused: it names a drive or a stream (':') (status 5)$"
        "a drive in the name|extract drive_like.uue -d msg --keep-paths|3|^uuarc: drive_like.uue: stored name 'a:b' refused: it names a drive or a stream (':') (status 5)$"
    )
fi
if [ "$under_wine" -eq 0 ]; then
    printf 'x' > "$(printf 'n%.0s' $(seq 244))"
    # A message that opened the device to find its reason would copy for ever.
    messages+=(
        "a name longer than a begin line gives back|create $(printf 'n%.0s' $(seq 244)) -o long.uue|3|: cannot store its name: it is longer than the 243 bytes that a begin line gives back whole; give another with -n NAME (status 5)$"
        "a device as the source|create /dev/zero -o zero.uue|3|^uuarc: /dev/zero: cannot open the source: it is a device, not a regular file (status 5)$"
        "a device as an archive|list /dev/zero|3|^uuarc: /dev/zero: cannot open: it is a device, which is read as an archive only as standard input (status 5)$"
    )
fi
for entry in "${messages[@]}"; do
    IFS='|' read -r label args code pattern <<< "$entry"
    case $label in "exists on create"|"encoded target"|"source is target") [ "$output_file" -eq 1 ] || continue ;; esac
    uuarc $args
    expect_rc "message, $label" "$code"
    expect_grep "message, $label" "$pattern" "$err"
    [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] && pass || fail "message, $label: not one line: $err"
done
[ "$(cat msg_out/size46.bin)" = kept ] && pass || fail "message, exists on extract: the file changed"
[ ! -e msg_name.uue ] && pass || fail "message, -n with an escape: msg_name.uue made"
if [ "$under_wine" -eq 0 ]; then
    [ ! -e zero.uue ] && pass || fail "message, a device as the source: a target was made"
    [ ! -e long.uue ] && pass || fail "message, a name that would not come back: a target was made"
    # A file whose size the system does not report (0 for /proc) is read whole before the header.
    uuarc create /proc/self/status -o proc.uue -q
    expect_rc "create from /proc" 0
    uuarc test proc.uue
    expect_rc "a file made from /proc reads back" 0
    no_scratch_left "a device as an archive"
    rc=0
    timeout 20 "$host" list /dev/stdin < /dev/null > out.txt 2>err.txt || rc=$?
    expect_rc "a device as standard input is read" 2
fi

# Elsewhere than on Windows a device name is a file like any other, from a file this host made too.
if [ "$under_wine" -eq 0 ]; then
    mkdir -p dev_src dev_out
    printf 'int x;\n' > dev_src/aux.c
    uuarc create dev_src/aux.c -o dev_aux.uue
    expect_rc "create aux.c" 0
    for archive in dev_aux.uue dev_nul.uue dev_con.uue dev_com0.uue dev_lpt0.uue dev_conin.uue dev_conout.uue; do
        uuarc extract "$archive" -d dev_out
        expect_rc "device name extracts, $archive" 0
    done
    [ "$(cat dev_out/aux.c)" = 'int x;' ] && pass || fail "device name extracts: aux.c differs"
    for name in NUL con.txt COM0 lpt0.txt 'CONIN$' 'conout$.log'; do
        [ "$(cat "dev_out/$name")" = hostile ] && pass || fail "device name extracts: $name differs"
    done
fi

# Linux: a new file gets the begin line's mode less setuid, setgid, sticky and the umask;
# --no-mode gives 0666 less the umask. A file replaced keeps its own bits.
if [ "$under_wine" -eq 0 ]; then
    # MODE | OPTIONS | EXPECTED (under umask 022); -o FILE gives the same
    modes=("600||600" "755||755" "4755||755" "640|--no-mode|644" "0777||755" "000||0" "200|-o|200" "044|-o|44"
           "000|-o|0")
    for entry in "${modes[@]}"; do
        IFS='|' read -r mode option expected <<< "$entry"
        printf 'begin %s mode.txt\n#86)C\n`\nend\n' "$mode" > "mode_$mode.uue"
        rm -rf mode_out
        [ "$option" = -o ] && where=(-o mode_out/mode.txt) option= || where=(-d mode_out)
        (umask 022 && uuarc extract "mode_$mode.uue" "${where[@]}" $option)
        [ "$(stat -c %a mode_out/mode.txt)" = "$expected" ] && pass ||
            fail "mode $mode $option: $(stat -c %a mode_out/mode.txt), expected $expected"
    done
    printf 'old\n' > mode_out/mode.txt && chmod 640 mode_out/mode.txt
    uuarc extract mode_755.uue -d mode_out --overwrite
    [ "$(stat -c %a mode_out/mode.txt)" = 640 ] && [ "$(cat mode_out/mode.txt)" = abc ] && pass ||
        fail "mode of a replaced file: $(stat -c %a mode_out/mode.txt)"
    uuarc extract -c mode_000.uue
    [ "$out" = abc ] && pass || fail "mode 000 with -c: '$out' ($err)"
    uuarc list mode_600.uue --no-mode
    expect_rc "--no-mode belongs to extract" 1
fi

# Bytes that are not printable are escaped, in arguments as in stored names.
uuarc extract $'bad\033[31m.uue'
expect_grep "escaped argument" '^uuarc: bad\\x1B\[31m.uue: cannot open' "$err"
uuarc frobnicate $'\033]0;x\a'
expect_rc "unknown command" 1
if printf '%s' "$err" | LC_ALL=C grep -q $'[\001-\010\016-\037\177]'; then
    fail "raw control bytes on stderr: $err"
else
    pass
fi
make_named control.uue $'bell\007name.txt'
uuarc list control.uue
expect_grep "escaped stored name in a listing" ' bell\\x07name.txt$' "$out"
if [ "$under_wine" -eq 0 ]; then
    mkdir -p msg_link
    ln -sf ../old.bin msg_link/size46.bin
    uuarc extract size46.bin.uue -d msg_link --overwrite
    # The module refuses it before anyone is asked.
    expect_rc "a link at the target" 3
    expect_grep "a link at the target: message" "^uuarc: msg_link/size46.bin: cannot create: it is a symbolic link.* (status 5)$" "$err"
    printf 'old contents\n' | cmp -s - old.bin && pass || fail "a link at the target: its file changed"
fi

# ---- Replacing keeps what is not a plain file, and the permission bits of what is ----------------
if [ "$under_wine" -eq 0 ]; then
    mkfifo special.fifo
    uuarc create size46.bin -o special.fifo --overwrite
    expect_rc "create onto a FIFO" 3
    expect_grep "create onto a FIFO: message" "special.fifo: cannot create: it is a FIFO, not a regular file (status 5)" "$err"
    [ -p special.fifo ] && pass || fail "create onto a FIFO: it is no FIFO any more"
    cp size1.bin perms.uue && chmod 6750 perms.uue
    uuarc create size46.bin -o perms.uue --overwrite -q
    expect_rc "create over a setuid file" 0
    [ "$(stat -c %a perms.uue)" = 750 ] && pass || fail "create over a setuid file: mode $(stat -c %a perms.uue)"
    # A rename would split a file with two names: it is overwritten in place, both names kept.
    cp old.bin linked.uue && ln linked.uue linked_too.uue && chmod 640 linked.uue
    uuarc create -q size46.bin -o linked.uue --overwrite
    expect_rc "create over a file with two names" 0
    [ linked.uue -ef linked_too.uue ] && [ "$(stat -c %a linked.uue)" = 640 ] && pass ||
        fail "create over a file with two names: the names split, or the bits changed"
    uuarc extract -qc linked_too.uue
    expect_same "create over a file with two names: the other name" size46.bin out.txt
    mkdir -p perms_out && cp size1.bin perms_out/size46.bin && chmod 6750 perms_out/size46.bin
    uuarc extract size46.bin.uue -d perms_out --overwrite -q
    expect_same "extract over a setuid file" size46.bin perms_out/size46.bin
    [ "$(stat -c %a perms_out/size46.bin)" = 750 ] && pass || fail "extract over a setuid file: mode $(stat -c %a perms_out/size46.bin)"
fi

# ---- Interrupts and replacing: what every ending leaves (POSIX signals, a stopped run) -----------
if [ "$under_wine" -eq 0 ]; then
    head -c 200000000 /dev/zero > huge.bin
    uuarc create -q huge.bin
    # start ARGS... - the host in the background (standard input from $input), its pid in pid.
    # Job control keeps SIGINT and SIGQUIT from being ignored, as a background job has them.
    start() { set -m; "$host" "$@" <"${input:-/dev/null}" >/dev/null 2>err.txt & pid=$!; set +m; }
    # wait_writing PID FOLDER - waits until the run has a file (named or not) open in FOLDER;
    # false when it ended first.
    # wait_writing PID FOLDER - waits until the run has written bytes to a file in FOLDER: the
    # output is then open and announced (the host has taken it as its own), not merely created.
    wait_writing() {
        local tries=0 fd
        until fd=$(ls -l /proc/"$1"/fd 2>/dev/null | grep " -> $work/$2/" | awk '{ print $9; exit }') &&
              [ -n "$fd" ] && [ "$(stat -L -c %s /proc/"$1"/fd/"$fd" 2>/dev/null || echo 0)" -gt 0 ]; do
            kill -0 "$1" 2>/dev/null && [ $tries -lt 4000 ] || return 1
            sleep 0.005
            tries=$((tries + 1))
        done
    }
    finish() { rc=0; wait "$1" || rc=$?; }
    # signal_when SIGNAL FOLDER NAME ARGS... - starts the host and sends SIGNAL once it writes in
    # FOLDER; false, after a note, when the run ended first.
    signal_when() {
        local signal=$1 folder=$2 label=$3
        shift 3
        start "$@"
        wait_writing $pid "$folder" && kill -"$signal" $pid 2>/dev/null && return 0
        finish $pid
        echo "skipped: $label (the run ended first)"
        return 1
    }
    # left_in FOLDER - what is in FOLDER but the module's one hidden temporary beside a target,
    # which a module that cannot write an unnamed file leaves when it is killed.
    left_in() { ls -A "$1" | grep -v '^~uu[0-9a-f]\{5\}$' | tr '\n' ' '; }

    # SIGNAL:EXIT | FOLDER | WHAT IS LEFT IN IT | ARGS. In int_linked, huge.bin and target.uue are
    # one file with two names, which the module writes in place once the new content is whole.
    interrupts=(
        "INT:130|int_new||extract huge.bin.uue -d int_new"
        "QUIT:131|int_new||extract huge.bin.uue -d int_new"
        "XCPU:152|int_new||extract huge.bin.uue -d int_new"
        "USR1:138|int_new||extract huge.bin.uue -o int_new/named.bin"
        "ALRM:142|int_new||extract huge.bin.uue -d int_new"
        "RTMIN:$((128 + $(kill -l RTMIN)))|int_new||extract huge.bin.uue -d int_new"
        "TERM:143|int_old|huge.bin |extract huge.bin.uue -d int_old --overwrite"
        "HUP:129|int_create|target.uue |create huge.bin -o int_create/target.uue --overwrite"
        "TERM:143|int_linked|huge.bin target.uue |extract huge.bin.uue -d int_linked --overwrite"
        "TERM:143|int_linked|huge.bin target.uue |create huge.bin -o int_linked/target.uue --overwrite"
        "INT:130|scratch||extract -c -"
    )
    for entry in "${interrupts[@]}"; do
        IFS='|' read -r signal folder left args <<< "$entry"
        rm -rf int_new int_old int_create int_linked && mkdir int_new int_old int_create int_linked
        cp old.bin int_old/huge.bin && cp old.bin int_create/target.uue
        cp old.bin int_linked/huge.bin && ln int_linked/huge.bin int_linked/target.uue
        input=huge.bin.uue signal_when "${signal%:*}" "$folder" "SIG$signal $args" $args || continue
        finish $pid
        expect_rc "SIG$signal: $args" "${signal#*:}"
        [ "$(left_in "$folder")" = "$left" ] && pass || fail "SIG$signal: $args: left: $(ls -A "$folder")"
        for name in $left; do expect_same "SIG$signal: $args: the old file" old.bin "$folder/$name"; done
    done
    input=huge.bin.uue start list -
    if wait_writing $pid scratch && kill -QUIT $pid; then finish $pid; expect_rc "SIGQUIT during list -" 131; fi
    finish $pid
    no_scratch_left "interrupts"

    # Over the file-size limit a write fails, and is reported as one (SIGXFSZ is ignored).
    mkdir -p limit/old
    # ARGS | PATTERN
    limits=(
        "extract big.bin.uue -d limit/new|^uuarc: limit/new/big.bin: cannot write the data in full: it is incomplete (status 101)$"
        "extract big.bin.uue -o limit/named.bin|^uuarc: limit/named.bin: cannot write the data in full: it is incomplete (status 101)$"
        "extract big.bin.uue -d limit/old --overwrite|^uuarc: limit/old/big.bin: cannot write the data in full: the old file is kept as it was (status 101)$"
        "create big.bin -o limit/old/big.bin --overwrite|^uuarc: limit/old/big.bin: cannot write the data in full: the old file is kept as it was (status 101)$"
    )
    for entry in "${limits[@]}"; do
        IFS='|' read -r args pattern <<< "$entry"
        cp old.bin limit/old/big.bin
        rc=0
        (ulimit -f 100; exec "$host" $args) </dev/null >out.txt 2>err.txt || rc=$?
        expect_rc "file-size limit: $args" 5
        expect_grep "file-size limit: $args" "$pattern" "$(cat err.txt)"
        [ ! -s out.txt ] && pass || fail "file-size limit: $args: said '$(cat out.txt)' after a failure"
        expect_same "file-size limit: $args: the old file" old.bin limit/old/big.bin
    done

    # A 0600 file being replaced, the run stopped mid-write: nothing in its folder is readable by
    # others. Then a 0666 one, with a link to a 0600 secret put in its place: nothing is done
    # through the link.
    printf 'secret\n' > secret.txt
    chmod 600 secret.txt
    cp secret.txt secret_before.txt
    # FOLDER | NAME IN FOLDER | ARGS
    replaces=(
        "private_x|huge.bin|extract huge.bin.uue -d private_x --overwrite"
        "private_c|t.uue|create huge.bin -o private_c/t.uue --overwrite"
    )
    for swap in 0 1; do
        for entry in "${replaces[@]}"; do
            IFS='|' read -r folder name args <<< "$entry"
            rm -rf "$folder" && mkdir "$folder" && cp old.bin "$folder/$name"
            chmod $((swap ? 666 : 600)) "$folder/$name"
            signal_when STOP "$folder" "stopped: $args" $args || continue
            exposed=$(find "$folder" -mindepth 1 -maxdepth 1 \
                      \( -type f -perm /077 -o -type d ! -perm 700 -o -type l \) -printf '%m %p ')
            [ "$swap" -eq 0 ] || { exposed= && mv "$folder/$name" "$folder/away" && ln -s ../secret.txt "$folder/$name"; }
            kill -CONT $pid
            finish $pid
            expect_rc "stopped (swap $swap): $args" 0
            [ -z "$exposed" ] && pass || fail "stopped: $args: readable by others: $exposed"
            if [ "$swap" -eq 0 ]; then
                [ "$(stat -c %a "$folder/$name")" = 600 ] && pass || fail "stopped: $args: mode $(stat -c %a "$folder/$name")"
            else
                [ "$(stat -c %a secret.txt)" = 600 ] && pass || fail "a link swapped in: $args: its file's mode changed"
                expect_same "a link swapped in: $args: its file" secret_before.txt secret.txt
            fi
        done
    done

    # Two runs replace one file; the first ends by SIGTERM while the second writes: the second's
    # file stays, and the first puts nothing back. Each is stopped once it writes, so that both are
    # under way whatever the speed of the machine, and the first gets its SIGTERM as it goes on.
    mkdir concurrent
    cp old.bin concurrent/huge.bin
    start extract huge.bin.uue -d concurrent --overwrite
    first=$pid
    wait_writing $first concurrent && kill -STOP $first
    start extract huge.bin.uue -d concurrent --overwrite
    # finish_stopped PID: as finish, but past the stop that the shell reports (exit 147) until it
    # has seen the run end.
    finish_stopped() {
        local tries=0
        finish "$1"
        while [ "$rc" -eq 147 ] && [ $tries -lt 1000 ]; do sleep 0.01; tries=$((tries + 1)); finish "$1"; done
    }
    if wait_writing $pid concurrent && kill -STOP $pid && kill -TERM $first && kill -CONT $first; then
        finish_stopped $first
        kill -CONT $pid
        expect_rc "two runs: the first" 143
        finish_stopped $pid
        expect_rc "two runs: the second" 0
        expect_same "two runs: the second's file stays" huge.bin concurrent/huge.bin
        [ "$(left_in concurrent)" = "huge.bin " ] && pass || fail "two runs: left: $(ls -A concurrent)"
    else
        kill -CONT $first $pid 2>/dev/null
        finish_stopped $first
        finish_stopped $pid
        echo "skipped: two runs (one ended first)"
    fi
    rm -rf huge.bin huge.bin.uue int_* private_* concurrent
fi

# ---- The progress bar, on a terminal (util-linux script gives one) ------------------------------
if [ "$under_wine" -eq 0 ] && have script && script -qec true /dev/null >/dev/null 2>&1; then
    start=$(date +%s%N)
    script -qec "stty cols 40; '$host' extract big.bin.uue -d bar --overwrite" /dev/null > bar.txt 2>&1
    elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
    frames=$(tr '\r' '\n' < bar.txt | grep -c '%')
    [ "$frames" -ge 1 ] && [ "$frames" -le $(( elapsed_ms / 100 + 3 )) ] && pass ||
        fail "progress: $frames redraws in $elapsed_ms ms"
    wide=$(tr '\r' '\n' < bar.txt | grep '%' | awk 'length($0) > 39' | head -1)
    [ -z "$wide" ] && pass || fail "progress: a line wider than 39 columns: $wide"
    expect_grep "progress ends at 100%" "big.bin.uue *100%" "$(tr '\r' '\n' < bar.txt)"
    expect_grep "progress counts what is read" "of [0-9.]* MiB read" "$(tr '\r' '\n' < bar.txt)"
    script -qec "'$host' extract -q big.bin.uue -d bar --overwrite" /dev/null > bar.txt 2>&1
    ! grep -q '%' bar.txt && pass || fail "progress drawn with -q"
    # Data on standard output to the terminal that shows the bar: no bar in it. Where standard
    # output goes elsewhere, the bar is drawn.
    seq 1 100000 > lines.txt
    uuarc create -q lines.txt
    for row in "extract -c lines.txt.uue|0" "create lines.txt -o -|0" "extract -c lines.txt.uue > lines.out|1"; do
        IFS='|' read -r args bar <<< "$row"
        script -qec "'$host' $args" /dev/null > bar.txt 2>&1
        drawn=$(tr '\r' '\n' < bar.txt | grep -ac ' of [0-9.]* KiB read' || true)
        if [ "$bar" -eq 0 ]; then
            [ "$drawn" -eq 0 ] && pass || fail "progress drawn into the data on the terminal: $args"
            grep -aq '^100000' bar.txt || grep -aq '^M' bar.txt && pass || fail "progress: $args: no data shown"
        else
            [ "$drawn" -ge 1 ] && pass || fail "progress: no bar while the data goes elsewhere: $args"
        fi
    done
    rm -f lines.txt lines.txt.uue lines.out

    # A run held up long enough for the rate and the time left to appear: on 80 columns the bar
    # keeps its width throughout, and no line is wider than 79.
    head -c 150000000 /dev/zero > slow.bin
    script -qec "stty cols 80; '$host' create slow.bin --overwrite & p=\$!; sleep 0.05;
                 kill -STOP \$p; sleep 0.7; kill -CONT \$p; wait \$p" /dev/null > bar.txt 2>&1
    widths=$(tr '\r' '\n' < bar.txt | grep -o '\[[= ]*\]' | awk '{ print length($0) }' | sort -u)
    [ "$(printf '%s\n' "$widths" | wc -l)" -eq 1 ] && pass || fail "progress: bar widths" $widths
    if tr '\r' '\n' < bar.txt | grep -q '/s'; then
        wide=$(tr '\r' '\n' < bar.txt | grep '%' | awk 'length($0) > 79' | head -1)
        [ -z "$wide" ] && pass || fail "progress with a rate: a line wider than 79 columns: $wide"
    else
        echo "skipped: progress with a rate (the run was too quick)"
    fi
    rm -f slow.bin slow.bin.uue

    # create asks before it replaces, as extract does: ANSWER|EXIT|replaced or kept
    for row in "y|0|replaced" "n|0|kept" "|0|kept"; do
        IFS='|' read -r answer want_rc outcome <<< "$row"
        printf 'old\n' > asked.uue
        cp asked.uue asked_before.uue
        rc=0
        printf '%s\n' "$answer" | script -qec "'$host' create size46.bin -o asked.uue" /dev/null > ask.txt 2>&1 || rc=$?
        expect_rc "create asks, answer '$answer'" "$want_rc"
        expect_grep "create asks, answer '$answer': the question" "replace asked.uue? \[y/N\]" "$(tr -d '\r' < ask.txt)"
        if [ "$outcome" = kept ]; then
            expect_same "create asks, answer '$answer': the file is kept" asked_before.uue asked.uue
            expect_grep "create asks, answer '$answer': message" "asked.uue exists, skipped" "$(tr -d '\r' < ask.txt)"
        else
            mkdir -p asked_out
            uuarc extract asked.uue -d asked_out --overwrite
            expect_same "create asks, answer '$answer': the file is replaced" size46.bin asked_out/size46.bin
        fi
    done
    rm -rf asked.uue asked_before.uue asked_out ask.txt
fi

# ---- A write that fails, then damage: the failure is what is reported -------------------------
# Over the file-size limit (SIGXFSZ ignored, as a subshell passes it on) the output stops at 100
# KiB; the archive is damaged further on. The write failure (exit 5, status 101) must win over the
# damage (exit 2), for the DLL under Wine too.
mkdir -p limited
awk 'NR == 40000 { print "M" "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~" "\r"; next } { print }' \
    big.bin.uue > damaged_late.uue
rc=0
(trap '' XFSZ; ulimit -f 100; exec ${runner[@]+"${runner[@]}"} "$host" extract -q damaged_late.uue -d limited) \
    </dev/null >/dev/null 2>err.txt || rc=$?
expect_rc "a failed write outranks later damage" 5
expect_grep "a failed write outranks later damage: message" "status 101" "$(tr -d '\r' < err.txt)"

# ---- Streaming -c, test, extract -o FILE ---------------------------------------------------------
# Damaged copies of size46 x 1000: the last lines cut off, and a bad character on line 40.
head -c 46000 big.bin > mid.bin
uuarc create mid.bin -q
head -n 300 mid.bin.uue > cut.uue
sed '40s/./~/5' mid.bin.uue > badchar.uue
# -c: what reached standard output is counted in the message, byte for byte.
for archive in cut.uue badchar.uue; do
    uuarc extract -c "$archive"
    expect_rc "extract -c $archive" 2
    expect_grep "extract -c $archive: the count" "reached it\|is incomplete" "$err"
    if [ "$under_wine" -eq 0 ]; then
        expect_grep "extract -c $archive: the count is what arrived" " $(wc -c < out.txt) bytes reached it" "$err"
        cmp -s out.txt mid.bin || [ "$(cmp out.txt mid.bin 2>&1 | grep -c EOF)" -eq 1 ] && pass ||
            fail "extract -c $archive: the bytes before the damage differ"
    fi
done
if [ "$under_wine" -eq 0 ]; then
    # The decoded bytes arrive while the decoding goes on: with the reader stalled, nothing waits
    # in a temporary file.
    uuarc create big.bin -o stream.uue -q
    "$host" extract -c stream.uue 2>/dev/null | { head -c 10 >/dev/null; ls -A scratch > seen.txt; cat >/dev/null; }
    [ ! -s seen.txt ] && pass || fail "extract -c: a temporary file while streaming: $(cat seen.txt)"
    rc=0
    "$host" extract -c stream.uue 2>err.txt | head -c 100 > head.txt || rc=$?
    [ "$(wc -c < head.txt)" -eq 100 ] && cmp -s head.txt <(head -c 100 big.bin) && pass ||
        fail "extract -c | head -c 100"
fi
# test: each archive intact or damaged with the reason, the exit codes of extract, nothing written.
mkdir test_here
cp mid.bin.uue cut.uue badchar.uue plain.uue test_here/
cd test_here
tests=("mid.bin.uue|0|mid.bin.uue: intact"
       "cut.uue|2|cut.uue: damaged uuencoded data$([ "$facts" -eq 0 ] || echo ': the end line is missing')"
       "badchar.uue|2|$([ "$facts" -eq 0 ] && echo badchar.uue: damaged || echo "line 40: '~' is not in")"
       "plain.uue|2|plain.uue: not a uuencoded file"
       "missing.uue|3|missing.uue: cannot open"
       "mid.bin.uue cut.uue plain.uue|2|mid.bin.uue: intact")
for entry in "${tests[@]}"; do
    IFS='|' read -r archives expected pattern <<< "$entry"
    uuarc test $archives
    expect_rc "test $archives" "$expected"
    expect_grep "test $archives: says" "$pattern" "$out$err"
done
[ "$(ls -A | grep -vc -e '\.uue$' -e '^out.txt$' -e '^err.txt$')" -eq 0 ] && pass || fail "test wrote files: $(ls -A)"
uuarc_in mid.bin.uue test -
expect_rc "test -" 0
cd "$work"
no_scratch_left "test"
# -o FILE: the module makes, asks about and replaces FILE as any output (a link at it too); the
# stored name is shown, never used, whatever its rules or its length. No success line after a
# failure. ARCHIVE | NAME | OPTION | EXIT | WHAT IS THERE AFTER
make_named dots_o.uue 'a/..'
make_named long_o.uue "$(printf '%0200d' 0 | tr 0 n)"
folder80=$(printf '%080d' 0 | tr 0 f)
outputs=("mid.bin.uue|fresh.bin||0|new"
         "mid.bin.uue|kept.bin||4|old"
         "mid.bin.uue|kept.bin|--skip-existing|0|old"
         "mid.bin.uue|kept.bin|--overwrite|0|new"
         "mid.bin.uue|linked.bin|--overwrite|0|linked"
         "mid.bin.uue|dir_out|--overwrite|3|dir"
         "mid.bin.uue|sub/new.bin||0|new"
         "mid.bin.uue|link.bin||4|link"
         "mid.bin.uue|link.bin|--skip-existing|0|link"
         "mid.bin.uue|link.bin|--overwrite|3|link"
         "dots_o.uue|safe.txt||0|hostile"
         "long_o.uue|$folder80/x||0|hostile"
         "cut.uue|newo.bin||2|cut")
mkdir dir_out "$folder80"
ln -s kept.bin link.bin
printf 'old\n' > linked.bin && ln linked.bin linked_too.bin
for entry in "${outputs[@]}"; do
    IFS='|' read -r archive name option expected after <<< "$entry"
    [ "$output_file" -eq 1 ] || break
    [ "$under_wine" -eq 0 ] || [ "$after" != link ] || continue
    printf 'old\n' > kept.bin
    uuarc extract "$archive" -o "$name" $option
    expect_rc "extract $archive -o $name $option" "$expected"
    case $after in
        new) expect_same "extract -o $name $option: the file" mid.bin "$name" ;;
        old) [ "$(cat "$name")" = old ] && pass || fail "extract -o $name $option: the old file changed" ;;
        dir) [ -d "$name" ] && pass || fail "extract -o $name: the directory changed" ;;
        link) [ -L "$name" ] && [ "$(cat kept.bin)" = old ] && pass || fail "extract -o $name $option: written through" ;;
        linked) expect_same "extract -o $name $option: the other name" mid.bin linked_too.bin ;;
        hostile) [ "$(cat "$name")" = hostile ] && pass || fail "extract $archive -o $name: the stored name was used" ;;
        cut) [ -s "$name" ] && pass || fail "extract $archive -o $name: the bytes before the damage are gone" ;;
    esac
    [ "$expected" -eq 0 ] || [ -z "$out" ] && pass || fail "extract $archive -o $name $option: said '$out' after a failure"
done
if [ "$output_file" -eq 0 ]; then
    uuarc extract mid.bin.uue -o fresh.bin
    expect_rc "extract -o with the 32-bit module" 3
fi
uuarc extract size46.bin.uue -o -
expect_same "extract -o - is -c" size46.bin out.txt
if [ "$under_wine" -eq 0 ]; then
    printf 'begin 600 secret.txt\n#86)C\n`\nend\n' > secret.uue
    (umask 022 && uuarc extract secret.uue -o secret_out.txt)
    [ "$(stat -c %a secret_out.txt)" = 600 ] && pass || fail "extract -o: mode $(stat -c %a secret_out.txt), expected 600"
    printf 'begin 644 aux.c\n#86)C\n`\nend\n' > clash.uue
    uuarc extract clash.uue -o renamed_aux.c
    [ "$(cat renamed_aux.c)" = abc ] && pass || fail "extract -o renamed_aux.c"
fi
for args in "extract mid.bin.uue cut.uue -o x" "extract mid.bin.uue -o x -d y" "extract mid.bin.uue -o x --keep-paths" \
            "test mid.bin.uue -d y" "test mid.bin.uue -o x" "list mid.bin.uue -o x"; do
    eval "uuarc $args"
    expect_rc "usage: $args" 1
done

# ---- An installed tree, run from elsewhere ------------------------------------------------------
module=$(dirname "$host")/libuuarc.so
[ "$under_wine" -eq 1 ] && module=$(dirname "$host")/uuarc.dll
mkdir -p prefix/bin prefix/lib/uuarc elsewhere alone
cp "$host" prefix/bin/
cp "$module" prefix/lib/uuarc/
cp "$host" alone/
installed=$work/prefix/bin/$(basename "$host")
cd elsewhere
rc=0
${runner[@]+"${runner[@]}"} "$installed" create -q ../size46.bin -o installed.uue </dev/null >/dev/null 2>&1 || rc=$?
expect_rc "installed host finds lib/uuarc" 0
rc=0
${runner[@]+"${runner[@]}"} "$installed" extract -qc installed.uue </dev/null >installed.bin 2>/dev/null || rc=$?
expect_same "installed round trip" ../size46.bin installed.bin
cd "$work"
rc=0
${runner[@]+"${runner[@]}"} "$work/alone/$(basename "$host")" list size46.bin.uue </dev/null >out.txt 2>err.txt || rc=$?
expect_rc "a binary without its module" 7
expect_grep "a binary without its module: message" "module not found.*UUARC_MODULE" "$(tr -d '\r' < err.txt)"
if [ "$under_wine" -eq 0 ]; then
    rc=0
    UUARC_MODULE=$module "$work/alone/uuarc" list size46.bin.uue >/dev/null 2>&1 || rc=$?
    expect_rc "UUARC_MODULE names the module" 0
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
