#!/bin/bash
# Runs a command as root in a throw-away copy of this machine's root, for tools that run our
# tests with faults written into them (a fault in a tree walk can climb out of its test folder
# and change or delete anything root may).
#
#   tools/throwaway-root.sh [--copy-out FOLDER] COMMAND...
#
# A private mount namespace gets an overlay of "/" whose writable layer is a tmpfs of 4 GiB (a
# fault that copies a tree into itself fills that, not the machine's memory or disk), a fresh
# /proc and a /dev of its own with the usual character devices; the command then runs in a
# nested namespace whose root is that overlay (pivot_root, the old root detached), so nothing
# outside it is reachable. All it wrote is gone when it ends, except FOLDER (an absolute path),
# whose contents are copied back to the same path outside. The exit status is the command's.
set -euo pipefail

copy_out=""
if [ "${1:-}" = "--copy-out" ]; then copy_out=$2; shift 2; fi
[ $# -gt 0 ] || { echo "usage: $0 [--copy-out FOLDER] COMMAND..." >&2; exit 2; }

if [ -z "${THROWAWAY_ROOT_BOX:-}" ]; then
  box=$(mktemp -d /run/throwaway-root.XXXXXX)
  status=0
  THROWAWAY_ROOT_BOX=$box unshare --mount --propagation private "$0" ${copy_out:+--copy-out "$copy_out"} "$@" ||
    status=$?
  rmdir "$box"
  exit $status
fi

box=$THROWAWAY_ROOT_BOX
mount -t tmpfs -o size=4g tmpfs "$box"
mkdir "$box/upper" "$box/work" "$box/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$box/upper,workdir=$box/work" "$box/root"
mount -t proc proc "$box/root/proc"
mount -t tmpfs -o mode=0755 tmpfs "$box/root/dev"
for device in "null 1 3" "zero 1 5" "full 1 7" "random 1 8" "urandom 1 9" "tty 5 0"; do
  read -r name major minor <<<"$device"
  mknod -m 666 "$box/root/dev/$name" c "$major" "$minor"
done
mkdir -m 1777 "$box/root/dev/shm"
mkdir "$box/root/dev/pts" "$box/root/.old-root"
ln -s /proc/self/fd "$box/root/dev/fd"

status=0
THROWAWAY_ROOT=$box/root unshare --mount --propagation private /bin/bash -c '
  cd "$THROWAWAY_ROOT" && pivot_root . .old-root && cd / && umount -l /.old-root && rmdir /.old-root &&
  exec "$@"' throwaway-root "$@" || status=$?
if [ -n "$copy_out" ] && [ -d "$box/root$copy_out" ]; then
  mkdir -p "$copy_out"
  cp -a "$box/root$copy_out/." "$copy_out/"
fi
exit $status
