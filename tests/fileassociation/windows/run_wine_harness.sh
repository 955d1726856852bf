#!/bin/sh
# Runs the vondraReg harness under Wine in a prefix of its own below the build tree:
#   run_wine_harness.sh <wine64> <wineserver> <state folder> <harness.exe> [arguments...]
# The prefix is made on first use. Its home folder is in the state folder as well, because Wine
# links the prefix's desktop to the home folder. The run waits for the prefix's wineserver to
# end, so the next run starts from a quiet prefix; nothing waits for a time.
set -eu
wine64=$1
wineserver=$2
state=$3
harness=$4
shift 4

mkdir -p "$state/home"
export WINEPREFIX="$state/prefix"
export HOME="$state/home"
export WINEDEBUG=-all
# No Mono or Gecko installers on first start, and no desktop menu entries for the shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR

# A wineserver left from an interrupted run (with whatever it still runs) is ended first; the
# prefix is this test's alone.
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine64" wineboot --init >/dev/null 2>&1 || true
  "$wineserver" -w
fi

status=0
"$wine64" "$harness" "$@" || status=$?
"$wineserver" -w
exit "$status"
