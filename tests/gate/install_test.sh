#!/usr/bin/env bash
# scripts/install.sh against a stand-in apt-get and dpkg on PATH that fail as a package mirror in
# mid-sync does: an index that will not download (apt-get update exits 100), and multi-arch
# siblings whose versions disagree (the plain install finds unmet dependencies, the release's own
# suite installs, or, where the system's amd64 libraries are newer than the i386 list, nothing
# installs the i386 packages). Each case gives the stand-ins' behaviour and what install.sh must do;
# the last cases run scripts/test.sh's setup step, which builds nothing, over the same stand-ins.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
room=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-install-test.XXXXXX")
trap 'rm -rf "$room"' EXIT
mkdir "$room/bin"

# apt-get: each call is logged; UPDATE_FAILS counts the updates that fail, INSTALL_FAILS says which
# installs fail: "plain" (unmet dependencies without -t), "all" (every install), "i386" (every install
# that names an i386 package), "download" (a fetch fails), or nothing.
cat >"$room/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STANDIN_ROOM/calls"
case $1 in
  update)
    done=$(grep -c '^apt-get update' "$STANDIN_ROOM/calls")
    if [ "$done" -le "${UPDATE_FAILS:-0}" ]; then
      echo "Err:6 http://mirror/debian-security bookworm-security/main i386 Packages"
      echo "  File has unexpected size (374820 != 376004). Mirror sync in progress?"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi ;;
  install)
    case " $* " in *" -t "*) with_release=1 ;; *) with_release=0 ;; esac
    case " $* " in *:i386\ *) with_i386=1 ;; *) with_i386=0 ;; esac
    if [ "${INSTALL_FAILS:-}" = download ]; then
      echo "E: Failed to fetch http://mirror/debian/pool/main/w/wine/wine32_8.0_i386.deb  404  Not Found"
      exit 100
    fi
    if [ "${INSTALL_FAILS:-}" = all ] || { [ "${INSTALL_FAILS:-}" = plain ] && [ "$with_release" = 0 ]; } ||
       { [ "${INSTALL_FAILS:-}" = i386 ] && [ "$with_i386" = 1 ]; }; then
      echo "The following packages have unmet dependencies:"
      echo " wine32:i386 : Depends: libc6:i386 (>= 2.36) but it is not going to be installed"
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi ;;
esac
exit 0
STANDIN
cat >"$room/bin/dpkg" <<'STANDIN'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STANDIN_ROOM/calls"
[ "$1" != --print-foreign-architectures ] || cat "$STANDIN_ROOM/foreign" 2>/dev/null
[ "$*" != "-s wine32:i386" ] || exit 1  # the one package that test.sh finds missing
exit 0
STANDIN
chmod +x "$room/bin/apt-get" "$room/bin/dpkg"

passed=0 failed=0
# verdict NAME EXIT WANT_EXIT SEEN PATTERN... ! NOT_PATTERN...: counts the case as passed when it exited
# as wanted and SEEN matches every pattern before "!" and none after it.
verdict() {
  local name=$1 rc=$2 want_exit=$3 seen=$4 problems=() negate=0 pattern
  shift 4
  [ "$rc" = "$want_exit" ] || problems+=("exit $rc, not $want_exit")
  for pattern in "$@"; do
    if [ "$pattern" = '!' ]; then negate=1; continue; fi
    if grep -Eq -- "$pattern" <<<"$seen"; then
      [ "$negate" = 0 ] || problems+=("found /$pattern/")
    else
      [ "$negate" = 1 ] || problems+=("missing /$pattern/")
    fi
  done
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED %s: %s\n%s\n' "$name" "$(IFS=';'; echo "${problems[*]}")" "$seen" >&2
  fi
}
# check NAME UPDATE_FAILS INSTALL_FAILS FOREIGN PACKAGES EXIT CALLS_PATTERN... ! NOT_PATTERN...
# The patterns are extended regular expressions over the stand-ins' calls and install.sh's output.
check() {
  local name=$1 update_fails=$2 install_fails=$3 foreign=$4 packages=$5 want_exit=$6
  shift 6
  : >"$room/calls"
  printf '%s' "$foreign" >"$room/foreign"
  local out rc=0
  out=$(PATH="$room/bin:$PATH" STANDIN_ROOM=$room UPDATE_FAILS=$update_fails INSTALL_FAILS=$install_fails \
        UUARC_APT_TRIES=3 UUARC_APT_PAUSE=0 UUARC_RELEASE=bookworm TMPDIR=$room \
        bash "$here/scripts/install.sh" $packages 2>&1) || rc=$?
  verdict "$name" "$rc" "$want_exit" "$out"$'\n'"$(cat "$room/calls")" "$@"
}

#     name                        update  install  i386  packages               exit
check "mirror fresh"              0       ""       ""    "sharutils uudeview"   0 \
  '^apt-get install -y --no-install-recommends sharutils uudeview$' \
  ! 'warning' ' -t '
check "one index fails for good"  9       ""       ""    "sharutils"            0 \
  'warning: apt-get update still fails after 3 tries' 'Mirror sync in progress' \
  '^apt-get install -y --no-install-recommends sharutils$' ! ' -t '
check "index fails once"          1       ""       ""    "sharutils"            0 \
  ! 'warning'
check "siblings disagree"         9       plain    i386  "wine wine32:i386"     0 \
  'unmet dependencies' 'installing from the bookworm suite' \
  '^apt-get install -y --no-install-recommends -t bookworm wine wine32:i386$' ! 'add-architecture'
check "nothing installs"          9       all      i386  "wine wine32:i386"     1 \
  'E: Unable to correct problems' 'to install by hand, as root: .*-t bookworm wine wine32:i386' ! 'i386 refused'
check "i386 refused"              9       i386     i386  "wine32:i386"          3 \
  'E: Unable to correct problems' 'install: i386 refused: wine32:i386 : Depends: libc6:i386' \
  '^apt-get install -y --no-install-recommends -t bookworm wine32:i386$' ! 'to install by hand'
check "i386 download fails"       0       download i386  "wine32:i386"          1 \
  '404  Not Found' 'to install by hand, as root' ! 'i386 refused'
check "i386 added for wine32"     0       ""       ""    "wine32:i386"          0 \
  '^dpkg --add-architecture i386$'
check "no i386 without wine32"    0       ""       ""    "wine64"               0 \
  ! 'add-architecture'
[ "$(grep -c '^apt-get update' "$room/calls")" -eq 1 ] || { echo "FAILED: one update expected" >&2; failed=$((failed + 1)); }

# test.sh's setup step on a machine that runs 32-bit programs (stand-in as and ld make a probe that
# answers as an i386 one does) and is root (a stand-in id), where the i386 install is refused.
cat >"$room/bin/as" <<'STANDIN'
#!/usr/bin/env bash
exit 0
STANDIN
cat >"$room/bin/ld" <<'STANDIN'
#!/usr/bin/env bash
while [ $# -gt 0 ]; do [ "$1" = -o ] && printf '#!/bin/sh\nexit 32\n' >"$2" && chmod +x "$2"; shift; done
STANDIN
cat >"$room/bin/id" <<'STANDIN'
#!/usr/bin/env bash
echo 0
STANDIN
chmod +x "$room/bin/as" "$room/bin/ld" "$room/bin/id"
# gate NAME INSTALL_FAILS REQUIRE_I386 EXIT PATTERN... ! NOT_PATTERN...
gate() {
  local name=$1 install_fails=$2 require=$3 want_exit=$4
  shift 4
  : >"$room/calls"
  local out rc=0
  out=$(PATH="$room/bin:$PATH" STANDIN_ROOM=$room INSTALL_FAILS=$install_fails UUARC_REQUIRE_I386=$require \
        UUARC_NO_I386= UUARC_APT_TRIES=1 UUARC_APT_PAUSE=0 UUARC_RELEASE=bookworm TMPDIR=$room \
        bash "$here/scripts/test.sh" setup 2>&1) || rc=$?
  verdict "test.sh $name" "$rc" "$want_exit" "$out" "$@"
}
gate "i386 refused: a skip"   i386 "" 0 \
  '32-bit Windows suites will not run: wine32:i386 cannot be installed: wine32:i386 : Depends: libc6:i386' \
  'all steps passed: setup' ! 'FAILED'
gate "i386 required"          i386 1  1 'FAILED: installing wine32:i386 \(apt refused them' ! 'all steps passed'
gate "i386 installs"          ""   "" 0 'all steps passed: setup' ! 'will not run'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
