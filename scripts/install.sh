#!/usr/bin/env bash
# Installs Debian packages for the gate, as root, a line per phase, and survives a package mirror
# that is part-way through a sync:
# - `apt-get update` is tried a few times; when an index still fails, the install goes on with a
#   warning and apt's own lines, since the indexes it needs may well be fresh;
# - when the install finds unmet dependencies (multi-arch siblings whose security versions the
#   failed index would have matched), it is tried again from the release's own suite (-t CODENAME);
# - any failure prints apt's error lines and one command to run by hand.
# A package named PACKAGE:i386 adds the i386 architecture first.
# Usage: scripts/install.sh PACKAGE...
# Environment: UUARC_APT_TRIES (3), UUARC_APT_PAUSE (seconds between tries, 5), UUARC_RELEASE (the
# release's codename; default from /etc/os-release).
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: install.sh PACKAGE..." >&2; exit 2; }
packages=("$@")
tries=${UUARC_APT_TRIES:-3}
pause=${UUARC_APT_PAUSE:-5}
release=${UUARC_RELEASE:-$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")}
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp "${TMPDIR:-/tmp}/uuarc-install.XXXXXX") || exit 1
by_hand="apt-get update; apt-get install -y --no-install-recommends${release:+ -t $release} ${packages[*]}"
case " ${packages[*]}" in *:i386\ * | *:i386) by_hand="dpkg --add-architecture i386; $by_hand" ;; esac

# apt_errors LINE: apt's error and warning lines from LINE of the log on (an "Err:" line with the
# indented reason under it), each once, or its last lines when it gave none.
apt_errors() {
  local lines
  lines=$(sed -n "$1,\$p" "$log" |
    awk '/^(E|W|Err):/ { err = /^Err:/; if (!seen[$0]++) print; next }
         err && /^ / { if (!seen[$0]++) print; next } { err = 0 }')
  [ -n "$lines" ] || lines=$(sed -n "$1,\$p" "$log" | tail -n 10)
  sed 's/^/  /' <<<"$lines" >&2
}
# run: runs a command into the log; remembers where its output starts.
run() {
  start=$(($(wc -l <"$log") + 1))
  "$@" >>"$log" 2>&1 </dev/null
}
give_up() {
  echo "install: $1; apt's lines:" >&2
  apt_errors "$start"
  echo "install: to install by hand, as root: $by_hand" >&2
  echo "install: apt's output: $log" >&2
  exit 1
}

case " ${packages[*]}" in
  *:i386\ * | *:i386)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      echo "adding the i386 architecture (for wine32)"
      run dpkg --add-architecture i386 || give_up "dpkg --add-architecture i386 failed"
    fi ;;
esac

echo "updating the package lists"
for ((try = 1; ; try++)); do
  run apt-get update && break
  if [ "$try" -ge "$tries" ]; then
    echo "install: warning: apt-get update still fails after $tries tries; going on with the lists it has:" >&2
    apt_errors "$start"
    break
  fi
  sleep "$pause"
done

echo "downloading and installing ${#packages[@]} packages"
if ! run apt-get install -y --no-install-recommends "${packages[@]}"; then
  grep -q 'unmet dependencies' <(sed -n "$start,\$p" "$log") && [ -n "$release" ] ||
    give_up "apt-get install failed"
  echo "install: unmet dependencies (a package index behind the others); installing from the $release suite"
  run apt-get install -y --no-install-recommends -t "$release" "${packages[@]}" ||
    give_up "apt-get install -t $release failed"
fi
echo "installed (apt's output: $log)"
