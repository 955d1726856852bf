#!/bin/bash
# Runs programs in the private mount namespace that `unshare --mount` made for this script, with
# a fresh tmpfs over each private folder, and records what each run left behind. Every value
# arrives as a positional parameter; none is ever part of the shell text.
#
#   private-namespace.sh OUT N FOLDER... OP...
#     OUT     folder that receives the results: run<i>.status, run<i>.stdout, run<i>.stderr
#             and run<i>/<folder>/... (a copy of each private folder after run i)
#     N       number of private folders that follow ("/tmp" among them)
#   OPs, in order:
#     file SOURCE PATH         copy a file of the machine to PATH (inside a private folder)
#     symlink TARGET LINK      plant a symbolic link
#     hardlink EXISTING LINK   plant a second link to a file
#     mkdir PATH               make a folder
#     run CWD COUNT ARG...     run ARG... (COUNT words) in CWD
#
# A private folder that does not exist on the machine is not made there: the programs then run
# in a private root (a tmpfs holding bind mounts of the machine's top-level entries) where the
# folder is made.
set -u
out=$1
count=$2
shift 2
folders=("${@:1:count}")
shift "$count"

fail() {
  printf 'private namespace: %s\n' "$*" >&2
  exit 125
}

root=
for folder in "${folders[@]}"; do
  [ -d "$folder" ] || root=/tmp/.private-root
done

mount -t tmpfs -o mode=1777 tmpfs /tmp || fail "tmpfs over /tmp"
if [ -n "$root" ]; then
  mkdir "$root" && mount -t tmpfs -o mode=755 tmpfs "$root" || fail "private root"
  for entry in /* /.[!.]*; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    copy=$root$entry
    if [ -L "$entry" ]; then
      cp -P -- "$entry" "$copy" || fail "link $entry"
    elif [ -d "$entry" ]; then
      mkdir -- "$copy" || fail "folder $entry"
      [ "$entry" = /tmp ] || mount --rbind -- "$entry" "$copy" || fail "bind $entry"
    else
      : >"$copy" && mount --bind -- "$entry" "$copy" || fail "bind $entry"
    fi
  done
fi
for folder in "${folders[@]}"; do
  [ -z "$root" ] && [ "$folder" = /tmp ] && continue
  mkdir -p -- "$root$folder" || fail "folder $folder"
  mount -t tmpfs -o mode=1777 tmpfs "$root$folder" || fail "tmpfs over $folder"
done

runs=0
while [ "$#" -gt 0 ]; do
  op=$1
  shift
  case $op in
    file) cp -- "$1" "$root$2" || fail "file $2"; shift 2 ;;
    symlink) ln -s -- "$1" "$root$2" || fail "symlink $2"; shift 2 ;;
    hardlink) ln -- "$root$1" "$root$2" || fail "hard link $2"; shift 2 ;;
    mkdir) mkdir -p -- "$root$1" || fail "mkdir $1"; shift ;;
    run)
      cwd=$1
      words=$2
      shift 2
      command=("${@:1:words}")
      shift "$words"
      result=$out/run$runs
      if [ -n "$root" ]; then
        chroot "$root" /bin/sh -c 'cd "$1" || exit 125; shift; exec "$@"' sh "$cwd" "${command[@]}" \
          >"$result.stdout" 2>"$result.stderr"
      else
        (cd "$cwd" && exec "${command[@]}") >"$result.stdout" 2>"$result.stderr"
      fi
      echo "$?" >"$result.status"
      for folder in "${folders[@]}"; do
        mkdir -p -- "$result$folder" && cp -a -- "$root$folder/." "$result$folder/" ||
          fail "copy of $folder"
      done
      runs=$((runs + 1))
      ;;
    *) fail "unknown step $op" ;;
  esac
done
