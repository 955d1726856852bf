#!/usr/bin/env bash
# The pre-install check of an add-on, shown on a sandbox made here:
#   tools/demo.sh <build dir>
# Makes <build dir>/demo-sandbox holding a destination with an installed instance in the
# application bundle Tallo.app and add-on packages beside deploy folders, then runs
# preflightAddon once for an add-on it accepts and once for each refusal (155, 150, 170, 181,
# 151), printing each exit status with the lines the program wrote to its log file.
# Nothing outside the sandbox is written except the program's own log file
# /tmp/rcp_com.norq.demo.addon_install.log.
set -euo pipefail

if [ "$#" -ne 1 ]; then
  echo "usage: $0 <build dir>" >&2
  exit 2
fi
# The physical path: the running check compares it with the path the kernel gives a process's
# executable, which never holds a symbolic link.
build=$(cd "$1" && pwd -P)
program=$build/installer/addon/preflightAddon
if [ ! -x "$program" ]; then
  echo "demo: $program is not built" >&2
  exit 1
fi

sandbox=$build/demo-sandbox
case $sandbox in
  *[\!\"\'\;\\\#%\|=?:]*)
    echo "demo: the build folder holds a character the installer refuses: $sandbox" >&2
    exit 1
    ;;
esac
rm -rf -- "$sandbox"
mkdir -p -- "$sandbox"

addon_id=com.norq.demo.addon
log_file=/tmp/rcp_${addon_id}_install.log
destination=$sandbox/Applications
bundle=$destination/Tallo.app
rcp=$bundle/Contents/MacOS/rcp

plist_header='<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">'

# write_plist FILE KEY VALUE [KEY VALUE]...: a dictionary of strings (demo values need no escaping).
write_plist() {
  local file=$1
  shift
  {
    echo "$plist_header"
    echo "<dict>"
    while [ "$#" -gt 0 ]; do
      printf '\t<key>%s</key>\n\t<string>%s</string>\n' "$1" "$2"
      shift 2
    done
    echo "</dict>"
    echo "</plist>"
  } >"$file"
}

make_instance() {
  mkdir -p "$rcp/deploy" "$rcp/eclipse/plugins/com.norq.rcp.base_3.0.1.20240101"
  write_plist "$bundle/Contents/Info.plist" CFBundleShortVersionString 3.0.1 CFBundleExecutable Tallo
  echo '<?xml version="1.0" encoding="UTF-8"?><install/>' >"$rcp/deploy/install.xml"
  write_plist "$rcp/installInfo.plist" version 3.0.1
  cat >"$rcp/addonInfo.plist" <<PLIST
$plist_header
<dict>
	<key>addons</key>
	<array>
		<dict>
			<key>ID</key>
			<string>$addon_id</string>
			<key>uninstallManifest</key>
			<string>uninstall.$addon_id.xml</string>
			<key>version</key>
			<string>1.9</string>
		</dict>
	</array>
</dict>
</plist>
PLIST
}

# make_package FOLDER KEY VALUE...: <FOLDER>/Addon.pkg with its configuration, beside <FOLDER>/deploy.
make_package() {
  local folder=$1
  shift
  mkdir -p "$folder/Addon.pkg/Contents/Resources" "$folder/deploy/extras"
  echo '<?xml version="1.0" encoding="UTF-8"?><install/>' >"$folder/deploy/install.$addon_id.xml"
  echo '<?xml version="1.0" encoding="UTF-8"?><install/>' >"$folder/deploy/uninstall.$addon_id.xml"
  write_plist "$folder/Addon.pkg/Contents/Resources/addon_configuration.plist" ID "$addon_id" "$@"
}

failures=0

# show TITLE EXPECTED STATUS: the outcome and the log the run left.
show() {
  local title=$1 expected=$2 status=$3
  printf 'preflightAddon exited with %s (expected %s)\n' "$status" "$expected"
  if [ -f "$log_file" ] && [ ! -L "$log_file" ]; then
    sed -e 's/^/    /' -- "$log_file"
  fi
  [ "$status" -eq "$expected" ] || failures=$((failures + 1))
  summary+=("$(printf '%4s  %s' "$status" "$title")")
}

# scenario TITLE EXPECTED PACKAGE: runs the check for PACKAGE against the destination.
scenario() {
  local title=$1 expected=$2 package=$3 status=0
  printf '\n== %s\n' "$title"
  printf '$ preflightAddon %q %q\n' "$package" "$destination"
  "$program" "$package" "$destination" || status=$?
  show "$title" "$expected" "$status"
}

# The running check needs a process whose executable lies in the bundle: a copy of /bin/sleep
# as the bundle's executable, started before the check and stopped (killed and reaped) after.
# Python's subprocess returns only once the child runs the copy, so nothing waits on time.
scenario_running() {
  local title=$1 expected=$2 package=$3 status=0
  local executable=$bundle/Contents/MacOS/Tallo
  cp /bin/sleep "$executable"
  printf '\n== %s\n' "$title"
  printf '$ %q infinity &   then   preflightAddon %q %q\n' "$executable" "$package" "$destination"
  python3 - "$executable" "$program" "$package" "$destination" <<'PY' || status=$?
import os, subprocess, sys
executable, program, *arguments = sys.argv[1:]
sleeper = subprocess.Popen([executable, "infinity"])
try:
    running = os.readlink(f"/proc/{sleeper.pid}/exe")
    if running != executable:
        sys.exit(f"demo: pid {sleeper.pid} runs {running}, not {executable}")
    print(f"running: pid {sleeper.pid} {running}")
    sys.stdout.flush()
    status = subprocess.run([program, *arguments]).returncode
finally:
    sleeper.kill()
    sleeper.wait()
sys.exit(status)
PY
  rm -f -- "$executable"
  show "$title" "$expected" "$status"
}

summary=()
make_instance
echo "Sandbox: $sandbox"
echo "Instance: $rcp (Tallo.app version 3.0.1; add-on $addon_id 1.9 recorded)"

make_package "$sandbox/accepted" version 2.0 targetBundle Tallo targetVersion '2.0;3.0*'
scenario "accepted: version 2.0 over 1.9, targetVersion 2.0;3.0*" 0 "$sandbox/accepted/Addon.pkg"

make_package "$sandbox/Add-ons #1" version 2.0 targetBundle Tallo
scenario "refused: a number sign in the package path" 155 "$sandbox/Add-ons #1/Addon.pkg"

make_package "$sandbox/missing" version 2.0 targetBundle Lumo
scenario "refused: no bundle Lumo.app with an instance in the destination" 150 "$sandbox/missing/Addon.pkg"

scenario_running "refused: Tallo is running" 170 "$sandbox/accepted/Addon.pkg"

make_package "$sandbox/older" version 1.10 targetBundle Tallo
scenario "refused: 1.9 recorded sorts after 1.10 as text" 181 "$sandbox/older/Addon.pkg"

make_package "$sandbox/other-platform" version 2.0 targetBundle Tallo targetVersion '2.0;4.*'
scenario "refused: installed 3.0.1 fits no entry of 2.0;4.*" 151 "$sandbox/other-platform/Addon.pkg"

printf '\n== Summary (status  case)\n'
printf '%s\n' "${summary[@]}"
if [ "$failures" -ne 0 ]; then
  echo "demo: $failures case(s) ended with another status than expected" >&2
  exit 1
fi
