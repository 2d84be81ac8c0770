#!/usr/bin/env bash
# install_test.sh - `cmake --install` into an empty prefix gives a uuarc that works from any
# directory, with its manual page, short compressed documentation and a bash completion; the
# Debian package that cpack makes shows no lintian tag at all (-EvIL +pedantic) and ships stripped,
# hardened binaries.
# Usage: tests/e2e/install_test.sh BUILD_DIR
# UUARC_HARDENED=1 (set by the build for its hardened configurations) checks the hardening too.
set -eu
build=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() { failed=1; echo "FAIL: $*" >&2; }

cmake --install "$build" --prefix "$work/prefix" --strip >/dev/null || fail "cmake --install"
for file in bin/uuarc lib/uuarc/libuuarc.so share/man/man1/uuarc.1.gz share/doc/uuarc/copyright \
            share/doc/uuarc/changelog.gz share/doc/uuarc/README.gz share/bash-completion/completions/uuarc; do
    [ -f "$work/prefix/$file" ] || fail "not installed: $file"
done
# Debian's rules for documentation: everything but the copyright file compressed, and short.
for file in "$work"/prefix/share/doc/uuarc/*; do
    case $file in */copyright|*.gz) ;; *) fail "documentation not compressed: ${file##*/}" ;; esac
    [ "$(wc -c < "$file")" -le 4096 ] || fail "documentation longer than 4 KiB: ${file##*/}"
done

# Run from elsewhere, the build tree out of reach: the module must come from the prefix.
mkdir "$work/elsewhere"
cd "$work/elsewhere"
head -c 10000 /dev/urandom > data.bin
env -u UUARC_MODULE "$work/prefix/bin/uuarc" create -q data.bin || fail "installed create"
env -u UUARC_MODULE "$work/prefix/bin/uuarc" extract -qc data.bin.uue > back.bin || fail "installed extract -c"
cmp -s data.bin back.bin || fail "installed round trip differs"

if command -v man >/dev/null 2>&1; then
    page=$(MANWIDTH=80 man -l "$work/prefix/share/man/man1/uuarc.1.gz" 2>&1) || fail "man -l"
    for section in SYNOPSIS OPTIONS "EXIT STATUS" EXAMPLES; do
        printf '%s\n' "$page" | grep -q "^$section" || fail "manual page without $section"
    done
    warnings=$(LC_ALL=C MANWIDTH=80 man --warnings -l "$work/prefix/share/man/man1/uuarc.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "manual page warnings: $warnings"
else
    echo "skipped: man -l (man-db not installed)"
fi
# The bash completion: the commands, each command's options, directories after -d.
# WORDS... - the words typed, the last one being completed; prints the candidates.
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _uuarc; printf "%s\n" "${COMPREPLY[@]}"' \
        complete "$work/prefix/share/bash-completion/completions/uuarc" "$@"
}
mkdir -p "$work/elsewhere/folder"
cd "$work/elsewhere"
# WORDS | CANDIDATES, space-separated and sorted ("" for none)
completions=("uuarc |create extract list test" "uuarc ex|extract" "uuarc --ver|--version"
             "uuarc extract --ke|--keep-paths" "uuarc -q extract a.uue --s|--skip-existing --stdout"
             "uuarc create --n|--name=" "uuarc test -|--quiet -q" "uuarc list --|--verbose"
             "uuarc extract x.uue -d fo|folder" "uuarc extract --dir = fo|folder" "uuarc create -n |"
             "uuarc extract -qd fo|folder" "uuarc extract -d folder da|data.bin data.bin.uue")
for row in "${completions[@]}"; do
    IFS='|' read -r words want <<< "$row"
    read -r -a typed <<< "$words"
    [[ $words == *" " ]] && typed+=("")
    got=$(complete_words "${typed[@]}" | LC_ALL=C sort | tr '\n' ' ')
    [ "${got% }" = "$want" ] || fail "completion of '$words': '${got% }', expected '$want'"
done
help_options=$("$work/prefix/bin/uuarc" --help | grep '^  *-' | grep -o -- '--[a-z][a-z-]*' | sort -u)
offered=$(for command in list extract test create ""; do complete_words uuarc $command --; done | tr -d = | grep '^--' | sort -u)
[ "$help_options" = "$offered" ] || fail "completion offers $(echo $offered), --help has $(echo $help_options)"

if command -v lintian >/dev/null 2>&1 && command -v dpkg-deb >/dev/null 2>&1; then
    # cpack into a folder of the test's own, so that a package made by hand is left alone.
    (cd "$build" && cpack -B "$work/packages" >"$work/cpack.log" 2>&1) || fail "cpack: $(tail -n 5 "$work/cpack.log")"
    deb=$(ls "$work"/packages/*.deb 2>/dev/null | head -n 1)
    if [ -n "$deb" ]; then
        # Every tag, down to the pedantic and experimental ones; the overridden one stays hidden
        # (packaging/lintian-overrides says why). A build without hardening (the sanitizers) is
        # let off the hardening tags.
        tags=$(lintian -EvIL +pedantic "$deb" 2>&1 | grep '^[EWIPX]: ' || true)
        [ "${UUARC_HARDENED:-0}" = 1 ] || tags=$(printf '%s\n' "$tags" | grep -v ' hardening-' || true)
        [ -z "$tags" ] || fail "lintian: $tags"
        mkdir "$work/unpacked"
        dpkg-deb -x "$deb" "$work/unpacked"
        for file in usr/bin/uuarc usr/lib/uuarc/libuuarc.so; do
            file -b "$work/unpacked/$file" | grep -q ', stripped' || fail "packaged unstripped: $file"
            if [ "${UUARC_HARDENED:-0}" = 1 ]; then
                binary=$work/unpacked/$file
                readelf -d "$binary" | grep -q 'BIND_NOW' || fail "not linked with -z now: $file"
                readelf -lW "$binary" | grep -q 'GNU_RELRO' || fail "not linked with -z relro: $file"
                readelf --dyn-syms -W "$binary" | grep -q '__stack_chk_fail' || fail "no stack protector: $file"
                readelf --dyn-syms -W "$binary" | grep -q '__[a-z]*_chk@' || fail "no fortified calls: $file"
            fi
        done
        readelf -hW "$work/unpacked/usr/bin/uuarc" | grep -q 'Type: *DYN' || fail "uuarc is not position-independent"
        [ -f "$work/unpacked/usr/share/man/man1/uuarc.1.gz" ] || fail "package without a compressed manual page"
        [ -f "$work/unpacked/usr/share/bash-completion/completions/uuarc" ] || fail "package without the bash completion"
    else
        fail "cpack made no .deb"
    fi
else
    echo "skipped: lintian (not installed)"
fi
[ "$failed" -eq 0 ] && echo "install: passed"
exit "$failed"
