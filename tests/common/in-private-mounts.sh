#!/bin/sh
# Runs a command with a fresh tmpfs over each folder named before "--", inside the private mount
# namespace that `unshare --mount` made for it:
#   unshare --mount tests/common/in-private-mounts.sh /tmp "/Library/Application Support" -- cmd args...
# Folders that do not exist are created first (on the machine, empty; nothing is written in them).
set -eu
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
  mkdir -p "$1"
  mount -t tmpfs -o mode=1777 tmpfs "$1"
  shift
done
[ "$#" -gt 0 ] && shift
exec "$@"
