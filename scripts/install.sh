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
# Exit status: 0 installed; 1 failed; 3 every package asked for is an i386 one and apt refused them
# for unmet dependencies or held broken packages (the amd64 libraries a system holds may be newer
# than the i386 list offers), its first line for them on the last line of standard error as
# "install: i386 refused: LINE".
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
only_i386=1
for package in "${packages[@]}"; do [[ $package == *:i386 ]] || only_i386=; done

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
# Whether the last apt call failed for unmet dependencies or held broken packages: the refusals that
# a mirror's i386 list behind the amd64 one gives, as against a download or a disk that failed.
refused_for_dependencies() {
  sed -n "$start,\$p" "$log" | grep -Eq 'unmet dependencies|held broken packages'
}
# The first line apt gave for the refused packages: the first dependency it could not meet, else
# its first error line.
first_refusal() {
  local line
  line=$(sed -n "$start,\$p" "$log" | grep -m1 -E '^ +[^ ]+ : (Pre)?Depends: ' | sed 's/^ *//')
  [ -n "$line" ] || line=$(sed -n "$start,\$p" "$log" | grep -m1 '^E: ')
  printf '%s\n' "${line:-apt-get install failed}"
}
# run: runs a command into the log; remembers where its output starts.
run() {
  start=$(($(wc -l <"$log") + 1))
  "$@" >>"$log" 2>&1 </dev/null
}
give_up() {
  if [ -n "$only_i386" ] && refused_for_dependencies; then
    echo "install: apt refused the i386 packages ${packages[*]}; apt's lines:" >&2
    apt_errors "$start"
    echo "install: apt's output: $log" >&2
    echo "install: i386 refused: $(first_refusal)" >&2
    exit 3
  fi
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
