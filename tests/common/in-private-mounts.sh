#!/bin/bash
# Runs a command with a fresh tmpfs over each folder named before "--", inside the private mount
# namespace that `unshare --mount` made for it:
#   unshare --mount tests/common/in-private-mounts.sh /tmp "/Library/Application Support" -- cmd args...
# A folder the machine does not have is never made on the machine: the command then runs in a
# private root (a tmpfs holding bind mounts of the machine's top-level entries) where the folder
# is made, in the same working folder.
set -eu
folders=()
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
  folders+=("$1")
  shift
done
[ "$#" -gt 0 ] && shift

root=
for folder in "${folders[@]}"; do
  [ -d "$folder" ] || root=/tmp/.private-root
done

mount -t tmpfs -o mode=1777 tmpfs /tmp
if [ -n "$root" ]; then
  mkdir "$root"
  mount -t tmpfs -o mode=755 tmpfs "$root"
  for entry in /* /.[!.]*; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    if [ -L "$entry" ]; then
      cp -P -- "$entry" "$root$entry"
    elif [ -d "$entry" ]; then
      mkdir -- "$root$entry"
      [ "$entry" = /tmp ] || mount --rbind -- "$entry" "$root$entry"
    else
      : >"$root$entry"
      mount --bind -- "$entry" "$root$entry"
    fi
  done
fi
for folder in "${folders[@]}"; do
  [ -z "$root" ] && [ "$folder" = /tmp ] && continue
  mkdir -p -- "$root$folder"
  mount -t tmpfs -o mode=1777 tmpfs "$root$folder"
done

if [ -n "$root" ]; then
  exec chroot "$root" /bin/sh -c 'cd "$1" && shift && exec "$@"' sh "$PWD" "$@"
fi
exec "$@"
