#!/usr/bin/env bash
# docs_test.sh - the README, the manual page and --help say what the program does: every option of
# --help is described in the manual page's OPTIONS and in the README, the manual page describes no
# option that --help lacks, the four commands' synopses agree, and every `uuarc` example that
# they show runs and succeeds, each in a fresh folder of the sample files it names. A pipeline
# into mail(1) runs up to the mail, which would need the network. --help and --version keep GNU's
# conventions, and the manual page reads the same in every locale.
#
# Usage: tests/e2e/docs_test.sh HOST SOURCE_DIR
set -eu
if [ $# -ne 2 ]; then
    echo "usage: $0 HOST SOURCE_DIR" >&2
    exit 2
fi
host=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source_dir=$(cd "$2" && pwd)
readme=$source_dir/README.md
manual=$source_dir/doc/uuarc.1.in
work=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-docs.XXXXXX")
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }

# The manual page as text, its escapes undone: "\-" is "-", "\(lq" a quote.
manual_text=$(sed -e 's/\\-/-/g' -e 's/\\(.q/"/g' -e 's/\\f[BIRP]//g' "$manual")
help=$("$host" --help)
# The synopses of --help, each on one line: a line that goes on under "uuarc" is joined to it.
help_usage=$(printf '%s\n' "$help" | awk '
    /^(Usage:|  or:) / { if (line != "") print line; line = $0; next }
    line != "" && /^         *\[/ { sub(/^ +/, " "); line = line $0; next }
    { if (line != "") print line; line = "" }')

# ---- Options: --help, the manual page's OPTIONS and the README name the same ones ---------------
help_options=$(printf '%s\n' "$help" | grep '^  *-' | grep -o -- '--[a-z][a-z-]*' | sort -u)
manual_options=$(printf '%s\n' "$manual_text" | awk '/^\.SH OPTIONS/ { f = 1; next } /^\.SH/ { f = 0 } f' |
    grep -A1 '^\.TP' | grep -o -- '--[a-z][a-z-]*' | sort -u)
for option in $help_options; do
    printf '%s\n' "$manual_options" | grep -qx -- "$option" && pass || fail "$option of --help not in the manual's OPTIONS"
    grep -q -- "$option\b" "$readme" && pass || fail "$option of --help not in the README"
done
for option in $manual_options; do
    printf '%s\n' "$help_options" | grep -qx -- "$option" && pass || fail "$option of the manual not in --help"
done

# ---- Synopses: each command's line of --help is in the README, and its options in the manual ----
for command in list extract test create; do
    usage=$(printf '%s\n' "$help_usage" | grep -o "uuarc $command .*" | head -n 1)
    [ -n "$usage" ] || { fail "no usage line for $command in --help"; continue; }
    grep -qF -- "$usage" "$readme" && pass || fail "the README's synopsis differs from --help: $usage"
    synopsis=$(printf '%s\n' "$manual_text" | awk -v c="$command" '
        /^\.SH SYNOPSIS/ { s = 1; next } /^\.SH/ { s = 0 }
        s && /^\.B uuarc/ { f = ($3 == c); next } s && f' | grep -o -- '--[a-z][a-z-]*\|-[a-z]\b' | sort -u)
    for option in $(printf '%s\n' "$usage" | grep -o -- '--[a-z][a-z-]*\|-[a-z]\b' | sort -u); do
        printf '%s\n' "$synopsis" | grep -qx -- "$option" && pass ||
            fail "the manual's synopsis of $command lacks $option"
    done
done

# ---- GNU's conventions: --help fits 79 columns, --version names the copyright and the licence ----
wide=$(printf '%s\n' "$help" | awk 'length($0) > 79')
[ -z "$wide" ] && pass || fail "--help lines wider than 79 columns: $wide"
version=$("$host" --version)
printf '%s\n' "$version" | head -n 1 | grep -qE '^uuarc [0-9]+\.[0-9]+\.[0-9]+$' && pass || fail "--version: $version"
for line in '^Copyright \(C\) [0-9]{4} ' '^License: ' 'NO WARRANTY'; do
    printf '%s\n' "$version" | grep -qE "$line" && pass || fail "--version without '$line': $version"
done

# ---- The manual page in every locale: ASCII only, a date, no warnings from groff or man ---------
raw=$(LC_ALL=C grep -nP '[^\x00-\x7F]' "$manual" | head -n 3 || true)
[ -z "$raw" ] && pass || fail "the manual page holds bytes outside ASCII: $raw"
grep -qE '^\.TH UUARC 1 "?[0-9]{4}-[0-9]{2}-[0-9]{2}"? ' "$manual" && pass || fail "the manual page's .TH has no date"
if command -v groff >/dev/null 2>&1; then
    warnings=$(groff -man -ww -z "$manual" 2>&1)
    [ -z "$warnings" ] && pass || fail "groff -ww: $warnings"
    if command -v man >/dev/null 2>&1; then
        warnings=$(LC_ALL=C MANWIDTH=80 man --warnings -l "$manual" 2>&1 >/dev/null)
        [ -z "$warnings" ] && pass || fail "man in the C locale: $warnings"
    fi
else
    echo "skipped: the manual page under groff (not installed)"
fi

# ---- Examples -----------------------------------------------------------------------------------
# The sample files that the examples name, made by the host itself.
samples=$work/samples
mkdir -p "$samples/run/mail" "$samples/run/data" "$samples/run/src" "$samples/outbox"
cd "$samples/run"
head -c 183204 /dev/urandom > report.pdf
head -c 5000 /dev/urandom > photo.jpg
printf 'id,name\n1,one\n' > data/table.csv
printf 'int x;\n' > src/main.c
"$host" create -q report.pdf
"$host" create -q photo.jpg -o photo.uue
"$host" create -q data/table.csv -o mail/table.uue
"$host" create -q src/main.c -o mail/main.uue
"$host" create -q data/table.csv -o backup.uue
gzip -c photo.uue > posting.uue.gz
rm -f report.pdf

# The examples: the README's "$ uuarc ..." and "$ ... | uuarc ..." lines, and the lines of the
# manual's EXAMPLES that run uuarc.
examples=$(
    sed -n 's/^\$ \(.*uuarc .*\)$/\1/p' "$readme"
    printf '%s\n' "$manual_text" | awk '/^\.SH EXAMPLES/ { f = 1; next } /^\.SH/ { f = 0 } f && /uuarc /'
)
count=0
while IFS= read -r example; do
    [ -n "$example" ] || continue
    count=$((count + 1))
    command=${example%%#*}
    command=${command%%| mail *}
    rm -rf "$work/case"
    cp -r "$samples" "$work/case"
    rc=0
    (cd "$work/case/run" && uuarc() { "$host" "$@"; } && eval "set -o pipefail; $command" \
        </dev/null >"$work/out.txt" 2>"$work/err.txt") || rc=$?
    [ "$rc" -eq 0 ] && pass || fail "example exits $rc: $example: $(head -c 300 "$work/err.txt")"
done <<< "$examples"
[ "$count" -ge 8 ] && pass || fail "only $count examples found"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
