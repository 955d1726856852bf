#!/bin/bash
# installed-tree-test.sh <build folder> <version> <entry_point_host> with-dll|no-dll <source folder>
#                        debian|no-debian
# Installs the built tree into a fresh prefix and uses it from there, makes both packages, and
# with "debian" checks the Debian package as an administrator meets it: lintian, then dpkg -i
# into a throw-away copy of this machine's root, a C program built through pkg-config alone,
# and every manual page opened with man.
set -eu
build=$1 version=$2 host=$3 dll=$4 source=$5 debian=$6
mkdir -p "$build/test-tmp"
work=$(mktemp -d "$build/test-tmp/install-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

programs=(preflightAddon postflightAddon peloraHotfixUninstall purgeAddonRecord)
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
expected=(
  bin/preflightAddon bin/postflightAddon bin/peloraHotfixUninstall bin/purgeAddonRecord
  lib/libRCPHotfixUninstall.so.1 lib/libRCPAddonUninstall.so.1 lib/libmacassoc.so
  lib/pkgconfig/rcp-addon-uninstall.pc lib/pkgconfig/rcp-hotfix-uninstall.pc
  include/RCPHotfixUninstall.h include/RCPAddonUninstall.h
  share/java/com/norq/pelora/fileassociation/macosx/MacRegisterHelper.java
  share/java/com/norq/pelora/fileassociation/w32/WindowsRegisterHelper.java
  share/man/man8/preflightAddon.8 share/man/man8/postflightAddon.8
  share/man/man8/peloraHotfixUninstall.8 share/man/man8/purgeAddonRecord.8
  share/man/man3/rcp-uninstall-entry-points.3
)
[ "$dll" = with-dll ] && expected+=(windows-i686/vondraReg.dll)
for file in "${expected[@]}"; do [ -f "$prefix/$file" ] || fail "not installed: $file"; done
# A linker finds each library by its plain name, a loader by its SONAME.
for library in RCPHotfixUninstall RCPAddonUninstall; do
  [ "$(readlink "$prefix/lib/lib$library.so")" = "lib$library.so.1" ] || fail "lib$library.so is no link to the SONAME"
  readelf -d "$prefix/lib/lib$library.so.1" | grep -q "SONAME.*\[lib$library\.so\.1\]" || fail "lib$library has no versioned SONAME"
done

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

# A C program built with an installed pkg-config file alone runs without further settings. The
# libraries of a sanitizer build ("no-debian") need the sanitizer runtime in the program too.
sanitizer=()
[ "$debian" = debian ] || sanitizer=(-fsanitize=address,undefined)
probe() {  # with pkgconfig=<the folder holding the pkg-config files>
  for module in "rcp-addon-uninstall -DPROBE_ADDON" "rcp-hotfix-uninstall -DPROBE_HOTFIX"; do
    set -- $module
    cc -Wall -Werror "${sanitizer[@]}" "$2" -o "$work/probe" "$source/tests/install/pkgconfig-probe.c" \
      $(PKG_CONFIG_PATH="$pkgconfig" pkg-config --cflags --libs "$1")
    [ "$("$work/probe")" = 150 ] || fail "$1 probe answered: $("$work/probe")"
  done
}
pkgconfig=$prefix/lib/pkgconfig probe

# CPack: a versioned .tar.gz, a .deb and its -dbgsym package, holding the same programs.
cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >/dev/null
tarball=$(ls "$work/packages"/rcp-installer-tools-"$version"-*.tar.gz) || fail "no versioned .tar.gz"
tar -tzf "$tarball" | grep -q "/bin/postflightAddon$" || fail ".tar.gz lacks bin/postflightAddon"
# A .tar.gz unpacked anywhere: its pkg-config files find the tree from their own folder.
mkdir "$work/unpacked" && tar -xzf "$tarball" -C "$work/unpacked"
pkgconfig=$(dirname "$(find "$work/unpacked" -name rcp-addon-uninstall.pc)") probe
[ "$debian" = debian ] || { echo "installed and packaged version $version (no Debian checks)"; exit 0; }

arch=$(dpkg --print-architecture)
deb=$work/packages/rcp-installer-tools_${version}_$arch.deb
dbgsym=$work/packages/rcp-installer-tools-dbgsym_${version}_$arch.ddeb
[ -f "$deb" ] || fail "no $(basename "$deb")"
[ -f "$dbgsym" ] || fail "no $(basename "$dbgsym")"
dpkg-deb -c "$deb" | grep -q "/opt/rcp-installer-tools/bin/postflightAddon$" || fail ".deb lacks bin/postflightAddon"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail ".deb version is not $version"
dpkg-deb -f "$deb" Depends | grep -q "libc6 (>= .*libstdc++6 (>= " || fail "Depends not from dpkg-shlibdeps: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Maintainer | grep -vq "localhost" || fail "no real maintainer"

# Stripped programs and libraries; their symbols in the -dbgsym package under their build ids.
dpkg-deb -x "$deb" "$work/deb"
dpkg-deb -x "$dbgsym" "$work/dbgsym"
for file in "$work"/deb/opt/rcp-installer-tools/bin/* "$work"/deb/opt/rcp-installer-tools/lib/*.so.1 \
            "$work"/deb/opt/rcp-installer-tools/lib/libmacassoc.so; do
  if readelf -S "$file" | grep -q -e '\.symtab' -e '\.debug_info'; then fail "not stripped: $file"; fi
  id=$(readelf -n "$file" | sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p')
  [ -f "$work/dbgsym/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" ] || fail "no debug symbols for $file"
done

lintian --fail-on error,warning,info,pedantic -EvIL +pedantic "$deb" >"$work/lintian" 2>&1 ||
  { cat "$work/lintian" >&2; fail "lintian"; }

# Installed by dpkg into a throw-away copy of this machine's root (handed in on standard input,
# as the checkout may lie on another mount): pkg-config finds the files with no settings, the
# program runs, and man opens every page through PATH.
mkdir "$work/box"
cp "$deb" "$source/tests/install/pkgconfig-probe.c" "$work/box/"
tar -C "$work/box" -cf - . | "$source/tools/throwaway-root.sh" bash -euc '
  mkdir /var/tmp/box && cd /var/tmp/box && tar -xf -
  dpkg -i ./*.deb >/dev/null
  for module in "rcp-addon-uninstall -DPROBE_ADDON" "rcp-hotfix-uninstall -DPROBE_HOTFIX"; do
    set -- $module
    cc -Wall -Werror "$2" -o probe pkgconfig-probe.c $(pkg-config --cflags --libs "$1")
    [ "$(./probe)" = 150 ] || { echo "$1 probe answered: $(./probe)"; exit 1; }
  done
  export PATH=/opt/rcp-installer-tools/bin:$PATH
  for page in "8 preflightAddon" "8 postflightAddon" "8 peloraHotfixUninstall" "8 purgeAddonRecord" \
              "3 rcp-uninstall-entry-points"; do
    set -- $page
    text=$(MANWIDTH=80 man --warnings -P cat "$1" "$2" 2>warnings)
    [ ! -s warnings ] || { echo "man $page:"; cat warnings; exit 1; }
    grep -q "^NAME" <<<"$text" || { echo "man $page shows no page"; exit 1; }
  done
  [ "$(purgeAddonRecord -rcphome /nonexistent -addonID a.b)" = "Error:150: Fail to locate target platform. " ]
  dpkg -r rcp-installer-tools >/dev/null
  [ ! -e /opt/rcp-installer-tools ] || { echo "left after removal: $(find /opt/rcp-installer-tools)"; exit 1; }
' || fail "the installed .deb"
echo "installed and packaged version $version: ${#expected[@]} files, $(basename "$tarball"), $(basename "$deb"), $(basename "$dbgsym"), lintian clean"
