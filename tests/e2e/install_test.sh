#!/usr/bin/env bash
# install_test.sh - `cmake --install` into an empty prefix gives a uuarc that works from any
# directory, with its manual page; the Debian package that cpack makes is lintian-clean and ships
# stripped binaries.
# Usage: tests/e2e/install_test.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() { failed=1; echo "FAIL: $*" >&2; }

cmake --install "$build" --prefix "$work/prefix" --strip >/dev/null || fail "cmake --install"
for file in bin/uuarc lib/uuarc/libuuarc.so share/man/man1/uuarc.1.gz share/doc/uuarc/copyright \
            share/doc/uuarc/changelog.gz; do
    [ -f "$work/prefix/$file" ] || fail "not installed: $file"
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
    warnings=$(MANWIDTH=80 man --warnings -l "$work/prefix/share/man/man1/uuarc.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "manual page warnings: $warnings"
else
    echo "skipped: man -l (man-db not installed)"
fi
if command -v lintian >/dev/null 2>&1 && command -v dpkg-deb >/dev/null 2>&1; then
    # cpack into a folder of the test's own, so that a package made by hand is left alone.
    (cd "$build" && cpack -B "$work/packages" >"$work/cpack.log" 2>&1) || fail "cpack: $(tail -n 5 "$work/cpack.log")"
    deb=$(ls "$work"/packages/*.deb 2>/dev/null | head -n 1)
    if [ -n "$deb" ]; then
        report=$(lintian --fail-on=error,warning "$deb" 2>&1) || fail "lintian: $report"
        mkdir "$work/unpacked"
        dpkg-deb -x "$deb" "$work/unpacked"
        for file in usr/bin/uuarc usr/lib/uuarc/libuuarc.so; do
            file -b "$work/unpacked/$file" | grep -q ', stripped' || fail "packaged unstripped: $file"
        done
        [ -f "$work/unpacked/usr/share/man/man1/uuarc.1.gz" ] || fail "package without a compressed manual page"
    else
        fail "cpack made no .deb"
    fi
else
    echo "skipped: lintian (not installed)"
fi
[ "$failed" -eq 0 ] && echo "install: passed"
exit "$failed"
