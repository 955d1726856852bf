#!/bin/bash
# installed-tree-test.sh <build folder> <version> <entry_point_host> with-dll|no-dll
set -eu
build=$1 version=$2 host=$3 dll=$4
mkdir -p "$build/test-tmp"
work=$(mktemp -d "$build/test-tmp/install-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
expected=(
  bin/preflightAddon bin/postflightAddon bin/peloraHotfixUninstall bin/purgeAddonRecord
  lib/libRCPHotfixUninstall.so lib/libRCPAddonUninstall.so lib/libmacassoc.so
  include/RCPHotfixUninstall.h include/RCPAddonUninstall.h
  share/java/com/norq/pelora/fileassociation/macosx/MacRegisterHelper.java
  share/java/com/norq/pelora/fileassociation/w32/WindowsRegisterHelper.java
)
[ "$dll" = with-dll ] && expected+=(windows-i686/vondraReg.dll)
for file in "${expected[@]}"; do [ -f "$prefix/$file" ] || fail "not installed: $file"; done

# The installed program runs from the prefix alone (no path into the build tree).
if ldd "$prefix/bin/purgeAddonRecord" | grep -q -- "$build"; then fail "installed program needs the build tree"; fi
output=$("$prefix/bin/purgeAddonRecord" -rcphome "$work/no-such-location" -addonID com.example.a)
case "$output" in
  Error:150:*) ;;
  *) fail "installed purgeAddonRecord printed: $output" ;;
esac

# An installed library loads into a host program and answers through its entry point.
"$host" "$prefix/lib/libRCPAddonUninstall.so" --check RCPUninstallAddon RCPRemoveAddonRegistryOnly >/dev/null
"$host" "$prefix/lib/libRCPHotfixUninstall.so" --check RCP_UninstallHotfix RCPUninstallPeloraHotfix RCPUninstallHotfix >/dev/null
status=$("$host" "$prefix/lib/libRCPAddonUninstall.so" RCPRemoveAddonRegistryOnly ss "$work/no-such-location" com.example.a)
[ "$status" = "status=150" ] || fail "installed library answered: $status"

# CPack: a versioned .tar.gz and a .deb holding the same programs.
cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >/dev/null
tarball=$(ls "$work/packages"/rcp-installer-tools-"$version"-*.tar.gz) || fail "no versioned .tar.gz"
deb=$(ls "$work/packages"/rcp-installer-tools-"$version"-*.deb) || fail "no versioned .deb"
tar -tzf "$tarball" | grep -q "/bin/postflightAddon$" || fail ".tar.gz lacks bin/postflightAddon"
dpkg-deb -c "$deb" | grep -q "/opt/rcp-installer-tools/bin/postflightAddon$" || fail ".deb lacks bin/postflightAddon"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail ".deb version is not $version"
echo "installed and packaged version $version: ${#expected[@]} files, $(basename "$tarball"), $(basename "$deb")"
