#!/usr/bin/env bash
# in-root.sh ROOT DIR [NAME=VALUE...] COMMAND [ARGS...] -- runs COMMAND inside a Debian root made by
# debian-root.sh, with only the settings given (and PATH, HOME, LANG), DIR shared at the same path (-
# shares none), the root's own /proc, the host's /dev and resolver, an empty /tmp. The mounts live in a private
# namespace and the processes in a private process namespace: both go when COMMAND ends, or when this
# script is killed (SIGKILL: it passes the signal on to everything it started).
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: tools/in-root.sh ROOT DIR [NAME=VALUE...] COMMAND [ARGS...]" >&2; exit 2; }
root=$(cd "$1" && pwd) dir=$2
[ "$dir" = - ] || dir=$(cd "$dir" && pwd)
shift 2

exec unshare --mount --pid --fork --kill-child /bin/sh -euc '
  root=$1 dir=$2
  shift 2
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs tmpfs "$root/tmp"
  touch "$root/etc/resolv.conf"
  mount --bind /etc/resolv.conf "$root/etc/resolv.conf"
  [ "$dir" = - ] || { mkdir -p "$root$dir" && mount --bind "$dir" "$root$dir"; }
  exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"
' in-root "$root" "$dir" "$@"
