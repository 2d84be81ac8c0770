#!/usr/bin/env bash
# scripts/install.sh against a stand-in apt-get and dpkg on PATH that fail as a package mirror in
# mid-sync does: an index that will not download (apt-get update exits 100), and multi-arch
# siblings whose versions disagree (the plain install finds unmet dependencies, the release's own
# suite installs). Each case gives the stand-ins' behaviour and what install.sh must do.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
room=$(mktemp -d "${TMPDIR:-/tmp}/uuarc-install-test.XXXXXX")
trap 'rm -rf "$room"' EXIT
mkdir "$room/bin"

# apt-get: each call is logged; UPDATE_FAILS counts the updates that fail, INSTALL_FAILS says which
# installs fail: "plain" (unmet dependencies without -t), "all" (every install), or nothing.
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
    if [ "${INSTALL_FAILS:-}" = all ] || { [ "${INSTALL_FAILS:-}" = plain ] && [ "$with_release" = 0 ]; }; then
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
exit 0
STANDIN
chmod +x "$room/bin/apt-get" "$room/bin/dpkg"

passed=0 failed=0
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
  local seen=$out$'\n'$(cat "$room/calls") problems=() negate=0 pattern
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
check "nothing installs"          9       all      i386  "wine32:i386"          1 \
  'E: Unable to correct problems' 'to install by hand, as root: .*-t bookworm wine32:i386'
check "i386 added for wine32"     0       ""       ""    "wine32:i386"          0 \
  '^dpkg --add-architecture i386$'
check "no i386 without wine32"    0       ""       ""    "wine64"               0 \
  ! 'add-architecture'
[ "$(grep -c '^apt-get update' "$room/calls")" -eq 1 ] || { echo "FAILED: one update expected" >&2; failed=$((failed + 1)); }

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
