#!/usr/bin/env bash
# Runs a test program as an unprivileged user, for the tests that check what the system refuses to
# one (root may write to a read-only file). Run by someone else than root, it runs the program as is.
# Started by root, it copies the program and the files named with --with into a private folder
# that the user owns, since the build tree may lie where the user cannot read, and runs it there as
# $UUARC_TEST_USER (default nobody). A program ending in .exe runs under Wine, with a prefix of the
# user's own in that folder.
# Usage: scripts/as-user.sh [--with FILE]... PROGRAM [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
with=()
while [ "${1:-}" = --with ]; do with+=("$2"); shift 2; done
program=$1
shift

if [ "$(id -u)" != 0 ]; then
  case $program in
    *.exe) exec "$here/wine-run.sh" "$program" "$@" ;;
    *) exec "$program" "$@" ;;
  esac
fi

user=${UUARC_TEST_USER:-nobody}
uid=$(id -u "$user") && gid=$(id -g "$user") || { echo "as-user: no user $user" >&2; exit 1; }
command -v setpriv >/dev/null || { echo "as-user: setpriv (util-linux) is missing" >&2; exit 1; }
room=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-as-user.XXXXXX")
trap 'rm -rf "$room"' EXIT
cp "$program" ${with[@]+"${with[@]}"} "$here/wine-env.sh" "$room/"
chown -R "$uid:$gid" "$room"
as_user() {
  (cd "$room" && setpriv --reuid="$uid" --regid="$gid" --clear-groups \
    env HOME="$room" TMPDIR="$room" WINEPREFIX="$room/wine" "$@")
}
name=$room/$(basename "$program")
case $program in
  *.exe)
    # A new prefix for this user, its services started with their output sent nowhere.
    export WINEPREFIX="$room/wine"
    . "$here/wine-env.sh"
    as_user bash -c '. ./wine-env.sh && wine_boot' || { echo "as-user: wineboot failed" >&2; exit 1; }
    rc=0
    as_user "$(wine_loader "$name")" "$name" "$@" || rc=$?
    as_user wineserver -k >/dev/null 2>&1 </dev/null || true
    exit "$rc"
    ;;
  *) as_user "$name" "$@" ;;
esac
