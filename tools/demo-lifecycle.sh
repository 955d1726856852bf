#!/usr/bin/env bash
# The whole life of an add-on, shown on a sandbox instance made here:
#   tools/demo-lifecycle.sh <build dir>
# Check and install an add-on (preflightAddon, postflightAddon), remove it through the exported
# entry point RCPUninstallAddon, install it again and drop only its record (purgeAddonRecord),
# then roll back a hotfix (peloraHotfixUninstall). The instance's "rcplauncher" is the
# simulated platform launcher, which really copies and removes plug-ins.
#
# Everything runs in a private mount namespace with a fresh tmpfs over /tmp, where the programs
# keep their log files, the configuration store and the installer pasteboard, and with HOME in
# the sandbox (the workspace lies in it): nothing outside <build dir>/demo-lifecycle is touched.
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
  [ "$#" -eq 1 ] || { echo "usage: $0 <build dir>" >&2; exit 2; }
  build=$(cd "$1" && pwd -P)
  exec unshare --mount -- "$0" --inside "$build"
fi
build=$2
mount -t tmpfs -o mode=1777 tmpfs /tmp

preflight=$build/installer/addon/preflightAddon
postflight=$build/installer/addon/postflightAddon
purge=$build/installer/addonuninstall/purgeAddonRecord
uninstallLibrary=$build/installer/addonuninstall/libRCPAddonUninstall.so
hotfixProgram=$build/installer/hotfix/peloraHotfixUninstall
host=$build/tests/common/entry_point_host
simulator=$build/tools/rcplauncher-sim/rcplauncher-sim
for program in "$preflight" "$postflight" "$purge" "$uninstallLibrary" "$hotfixProgram" "$host" "$simulator"; do
  [ -e "$program" ] || { echo "demo: $program is not built" >&2; exit 1; }
done

sandbox=$build/demo-lifecycle
rm -rf -- "$sandbox"
destination=$sandbox/Applications
location=$destination/Tallo.app/Contents/MacOS
rcp=$location/rcp
media=$sandbox/media
package=$media/Addon.pkg
addon=com.norq.demo.addon
plugin=com.norq.demo.feature_1.0.0
failures=0

# plist FILE JSON: writes a property list from a JSON dictionary.
plist() {
  python3 -c 'import json, plistlib, sys; plistlib.dump(json.loads(sys.argv[2]), open(sys.argv[1], "wb"))' "$1" "$2"
}
# show_plist FILE: the property list as JSON, indented.
show_plist() {
  python3 -c 'import json, plistlib, sys; print(json.dumps(plistlib.load(open(sys.argv[1], "rb")), indent=1, sort_keys=True))' "$1" | sed 's/^/    /'
}
manifest() {  # manifest ACTION: one feature of the add-on, fetched from the package's update site
  cat <<XML
<?xml version="1.0" encoding="UTF-8"?>
<manifest><domain-object><object-data><install>
<installfeature id="$addon" version="1.0"><requirements>
<feature id="com.norq.demo.feature" version="1.0.0" action="$1" url="\${installer.root}/../../updates/platform"/>
</requirements></installfeature>
</install></object-data></domain-object></manifest>
XML
}
step() { printf '\n== %s\n' "$*"; }
expect() {  # expect WHAT EXPECTED STATUS
  printf '%s exited with %s (expected %s)\n' "$1" "$3" "$2"
  [ "$2" = "$3" ] || failures=$((failures + 1))
}
plugins() { printf 'plug-ins: %s\n' "$(ls "$rcp/eclipse/plugins" | tr '\n' ' ')"; }
journal() { printf 'launcher runs:\n'; sed 's/^/    /; s/\t/ /g' "$location/.rcplauncher_journal"; rm -f "$location/.rcplauncher_journal"; }
logfile() { printf 'log %s:\n' "$1"; sed 's/^/    /' "$1"; }

# The instance: Tallo.app 3.0.1 with a base plug-in and the simulated launcher.
mkdir -p "$rcp/deploy" "$rcp/eclipse/plugins/com.norq.rcp.base_3.0.1.20240101"
plist "$destination/Tallo.app/Contents/Info.plist" '{"CFBundleShortVersionString": "3.0.1"}'
plist "$rcp/installInfo.plist" '{"version": "3.0.1"}'
manifest install >"$rcp/deploy/install.xml"
# The user's home and the workspace in it, as the launcher settings name it.
export HOME=$sandbox/home
mkdir -p "$HOME/Tallo/workspace"
printf 'rcp.data=${env.HOME}/Tallo/workspace\n' >"$rcp/rcplauncher.properties"
cp "$simulator" "$rcp/rcplauncher"

# The add-on package beside its deploy folder, and the update site it brings.
mkdir -p "$package/Contents/Resources" "$media/deploy" "$sandbox/updates/platform/plugins/$plugin"
echo '<plugin/>' >"$sandbox/updates/platform/plugins/$plugin/plugin.xml"
plist "$package/Contents/Resources/addon_configuration.plist" \
  "{\"ID\": \"$addon\", \"version\": \"1.0\", \"targetBundle\": \"Tallo\"}"
manifest install >"$media/deploy/install.$addon.xml"
manifest uninstall >"$media/deploy/uninstall.$addon.xml"
echo "Sandbox: $sandbox"
plugins

step "Pre-install check"
status=0; "$preflight" "$package" "$destination" || status=$?
expect preflightAddon 0 "$status"

step "Installation"
status=0; "$postflight" "$package" "$destination" || status=$?
expect postflightAddon 0 "$status"
plugins
journal
echo "registry $rcp/addonInfo.plist:"; show_plist "$rcp/addonInfo.plist"
echo "deploy: $(ls "$rcp/deploy" | tr '\n' ' ')"
echo "settings: $(grep -E '^(provisioning\.manifest\.version|rcp\.install\.id)' "$rcp/rcplauncher.properties" | tr '\n' ' ')"
echo "result panel store:"; show_plist /tmp/com.norq.rcp.platform.internal.configuration
echo "below the rcp home: $(stat -c '%U:%G %a' "$rcp/eclipse/plugins/$plugin")"
logfile "/tmp/rcp_${addon}_install.log"

step "Removal through the entry point RCPUninstallAddon (a C host loads the library)"
"$host" "$uninstallLibrary" RCPUninstallAddon ss "$location" "$addon"
plugins
journal
echo "registry:"; show_plist "$rcp/addonInfo.plist"
logfile "/tmp/rcp_${addon}_uninstall.log"

step "Install again, then remove the record alone with purgeAddonRecord"
"$postflight" "$package" "$destination" >/dev/null && journal >/dev/null
echo "\$ purgeAddonRecord -addonID $addon -rcphome $location"
status=0; "$purge" -addonID "$addon" -rcphome "$location" || status=$?
expect purgeAddonRecord 0 "$status"
plugins
echo "registry:"; show_plist "$rcp/addonInfo.plist"
echo "\$ purgeAddonRecord -rcphome $location -addonID $addon   (again: not installed)"
"$purge" -rcphome "$location" -addonID "$addon"
logfile "/tmp/rcp_${addon}_uninstall.log"

step "Hotfix rollback with peloraHotfixUninstall"
plist "$rcp/installInfo.plist" '{"version": "3.0.1", "hotfixVersion": "3.0.1.1"}'
manifest uninstall | sed "s/$addon/hotfix/" >"$rcp/deploy/uninstall.pelorahotfix.xml"
status=0; "$hotfixProgram" -rcphome "$location" || status=$?
expect peloraHotfixUninstall 0 "$status"
plugins
journal
echo "installInfo.plist:"; show_plist "$rcp/installInfo.plist"
echo "\$ peloraHotfixUninstall -rcphome $location   (again: nothing left to roll back)"
status=0; "$hotfixProgram" -rcphome "$location" || status=$?
expect peloraHotfixUninstall 190 "$status"

if [ "$failures" -ne 0 ]; then
  echo "demo: $failures step(s) ended with another status than expected" >&2
  exit 1
fi
echo
echo "The add-on was checked, installed, removed, installed and unrecorded; the hotfix was rolled back."
