#!/usr/bin/env bash
# debian-root.sh SUITE NAME [PACKAGE...] -- prints the path of a bare Debian root of SUITE
# (debootstrap --variant=minbase) that holds PACKAGES, kept in .deps/roots/NAME: made once, and a later
# call only adds the packages it lacks. A root is made under NAME.part and renamed when whole, so a
# failed or interrupted run never leaves one that a later run takes as whole. Without Debian's
# registry it says so in one line and fails.
#   DEBIAN_MIRROR=URL   another mirror of Debian's archive
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 2 ] || { echo "usage: tools/debian-root.sh SUITE NAME [PACKAGE...]" >&2; exit 2; }
suite=$1 root=$repo/.deps/roots/$2
shift 2
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
log=$root.log

mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9   # one maker of a root at a time; the others then find it made
fail() { echo "debian-root: no Debian $suite root: $1 (log: $log)" >&2; exit 1; }

# the packages the root lacks, by the root's own package database
lacking() { { chroot "$1" dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${@:2}" 2>/dev/null || true; } |
            awk '$1 == "ii" { print $2 }' | sort | comm -13 - <(printf '%s\n' "${@:2}" | sort); }
add_packages() {   # add_packages ROOT: what it lacks of PACKAGES, nothing recommended
  local missing
  missing=$(lacking "$1" "${packages[@]}")
  [ -z "$missing" ] && return
  # shellcheck disable=SC2086   # one word a package
  "$repo/tools/in-root.sh" "$1" - DEBIAN_FRONTEND=noninteractive sh -c \
    'apt-get update -q && apt-get install -y -q --no-install-recommends "$@" && apt-get clean' - $missing >>"$log" 2>&1
}
packages=("$@")

if [ ! -d "$root" ]; then
  echo "debian-root: making a Debian $suite root in $root" >&2
  rm -rf --one-file-system "$root.part"
  : >"$log"
  # debootstrap's own mounts (proc, sys) stay in a namespace of their own
  unshare --mount debootstrap --variant=minbase "$suite" "$root.part" "$mirror" >>"$log" 2>&1 ||
    { rm -rf --one-file-system "$root.part"; fail "debootstrap could not fetch it from $mirror"; }
  # apt as root, and on a mirror's fixed snapshot too, whose unstable outlives its Release file's week
  printf 'APT::Sandbox::User "root";\nAcquire::Check-Valid-Until "false";\n' >"$root.part/etc/apt/apt.conf.d/90root"
  add_packages "$root.part" || { rm -rf --one-file-system "$root.part"; fail "apt-get could not install ${packages[*]}"; }
  mv "$root.part" "$root"
fi
add_packages "$root" || fail "apt-get could not add ${packages[*]}"
echo "$root"
