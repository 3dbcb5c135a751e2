#!/usr/bin/env bash
# Installs, runs, upgrades, downgrades and uninstalls one edition's MSI with Wine's msiexec, in a
# Wine prefix of its own (BUILD/packaging-test), beside the other edition's package.
#   msi-test.sh SOURCE BUILD x86|x64 VERSION
# Prints one "ok"/"not ok" line per check and exits 1 when a check failed. The prefix of a failed
# run is kept for inspection; a passing run deletes it.
set -euo pipefail
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
root=$(cd "$1" && pwd) build=$(cd "$2" && pwd) arch=$3 version=$4
state=$build/packaging-test
env_sh=$root/scripts/wine-env.sh
wine64=/usr/lib/wine/wine64

# msiexec and reg run as 64-bit programs (a 64-bit msiexec installs 32-bit packages too); the
# edition's own programs need the 32-bit loader for the 32-bit edition.
if [ "$arch" = x64 ]; then
  verb=QuorvaneScan64 caption="Scan with Quorvane (64-bit)" other_verb=QuorvaneScan
  other=x86 name="Quorvane (64-bit)" other_name=Quorvane view=64 other_view=32
  folder="Program Files" other_folder="Program Files (x86)" dir_value=InstallDir64 other_dir_value=InstallDir
  program_wine=$wine64
else
  verb=QuorvaneScan caption="Scan with Quorvane" other_verb=QuorvaneScan64
  other=x64 name=Quorvane other_name="Quorvane (64-bit)" view=32 other_view=64
  folder="Program Files (x86)" other_folder="Program Files" dir_value=InstallDir other_dir_value=InstallDir64
  program_wine=wine
fi
can_run=yes
if [ "$arch" = x86 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then can_run=no; fi
IFS=. read -r major minor patch _ <<<"$version"
msi_version=$major.${minor:-0}.${patch:-0}
next_version=$major.${minor:-0}.$((${patch:-0} + 1))

. "$(dirname "${BASH_SOURCE[0]}")/check.sh"

# A fresh prefix for every run, copied from a template made once (wineboot takes 15 s or more).
"$env_sh" down "$state/run" >/dev/null 2>&1 || true
rm -rf "$state/run"
if [ ! -f "$state/template/prefix.ready" ]; then
  rm -rf "$state/template"
  QV_WINE=$wine64 "$env_sh" up "$state/template"
  QV_WINE=$wine64 "$env_sh" down "$state/template"
fi
mkdir -p "$state/run"
cp -a "$state/template/prefix" "$state/run/prefix"
touch "$state/run/prefix.ready"
trap '"$env_sh" down "$state/run" >/dev/null 2>&1 || true' EXIT
QV_WINE=$wine64 "$env_sh" up "$state/run"
export WINEPREFIX=$state/run/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$state/run/display")
export DISPLAY
drive_c=$WINEPREFIX/drive_c
work=$drive_c/packaging
mkdir -p "$work"

# --- Packages: this edition at VERSION and one build later, and the other edition.
if [ "$can_run" = yes ]; then
  demo=()
  for source in "$root"/demo/*.hdb "$root"/demo/*.ndb; do demo+=("Z:${source//\//\\}"); done
  cp "$build/quorvane-sigtool.exe" "$work/"
  (cd "$work" && "$program_wine" quorvane-sigtool.exe build signature.dat "${demo[@]}" </dev/null >/dev/null)
else
  # The demo database needs the 32-bit tool: ship a plain stamped payload, which loads as well.
  echo "# This machine cannot run 32-bit programs: the package ships a stand-in signature.dat"
  head -c 16777200 /dev/urandom >"$work/signature.dat"
  printf "$(md5sum <"$work/signature.dat" | cut -c1-32 | sed 's/../\\x&/g')" >>"$work/signature.dat"
fi
build_msi() { "$root/packaging/build-msi.sh" "$1" "$2" "$build" "$work/$3" "$work/signature.dat"; }
build_msi "$arch" "$version" v1.msi
build_msi "$arch" "$next_version" v2.msi
build_msi "$other" "$version" other.msi

# --- Helpers: msiexec with its exit code and time, the registry, the files of an install.
last_status=0
msiexec() {
  local start=$SECONDS
  last_status=0
  "$wine64" msiexec "$@" </dev/null >/dev/null 2>&1 || last_status=$?
  echo "# msiexec $1 $2: exit $last_status, $((SECONDS - start)) s"
}
# Values FIELD of the Add/Remove Programs entries named NAME in a registry view, one line each.
arp_values() {
  "$wine64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "/reg:$3" </dev/null 2>/dev/null |
    tr -d '\r' | awk -v name="$1" -v field="$2" '
      function flush() { if (matched) print value; matched = 0; value = "" }
      /^HKEY_/ { flush(); next }
      $1 == field { value = $0; sub("^ *" field " +REG_[A-Z_]+ *", "", value) }
      $1 == "DisplayName" { shown = $0; sub(/^ *DisplayName +REG_SZ +/, "", shown); matched = (shown == name) }
      END { flush() }'
}
arp_count() { arp_values "$1" DisplayName "$2" | wc -l; }
reg_value() {
  "$wine64" reg query 'HKLM\Software\Talbrinn\Quorvane' /v "$1" "/reg:$2" </dev/null 2>/dev/null |
    tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}
shortcut() {
  find "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
       "$drive_c"/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs \
       -maxdepth 1 -name "$1.lnk" 2>/dev/null | head -1
}
has_shortcut() { [ -n "$(shortcut "$1")" ]; }
no_shortcut() { [ -z "$(shortcut "$1")" ]; }
files_installed() {
  cmp -s "$1/Quorvane.exe" "$build/Quorvane.exe" && cmp -s "$1/quorvane-sigtool.exe" "$build/quorvane-sigtool.exe" &&
    cmp -s "$1/quorvane-scan.exe" "$build/quorvane-scan.exe" &&
    cmp -s "$1/README.md" "$root/README.md" && [ -f "$1/signature.dat" ] &&
    cmp -s "$1/THIRD-PARTY-NOTICES.txt" "$build/THIRD-PARTY-NOTICES.txt" &&
    grep -q '^  libarchive ' "$1/THIRD-PARTY-NOTICES.txt"
}
gone() { [ ! -e "$1" ]; }
# The default value of HKLM\Software\Classes\CLASS\shell\VERB[\command] in a registry view.
verb_value() {
  "$wine64" reg query "HKLM\\Software\\Classes\\$1\\shell\\$2$3" /ve "/reg:$4" </dev/null 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *([^)]*) *REG_SZ *//p'
}
# Every verb of CLASS...: "CAPTION|COMMAND" for each class, in VIEW.
verbs_of() {
  local class
  for class in '*' Directory Drive; do
    echo "$(verb_value "$class" "$1" "" "$2")|$(verb_value "$class" "$1" '\command' "$2")"
  done
}
verbs_expected() {
  local class
  for class in '*' Directory Drive; do echo "$1|\"$2\\Quorvane.exe\" -scan \"%1\""; done
}
no_verbs() { [ -z "$(verbs_of "$1" "$2" | tr -d '|\n')" ]; }
# A top-level window named NAME on the prefix's display within 60 s.
# Outputs are read whole before grep -q looks at them: under pipefail, a writer that grep left
# early dies of SIGPIPE and fails the check it should pass (the window tree is several KB).
window_shows() {
  local i tree
  for i in $(seq 1 120); do
    tree=$(xwininfo -root -tree 2>/dev/null) || tree=
    grep -qF "\"$1\"" <<<"$tree" && return 0
    sleep 0.5
  done
  return 1
}
equals() { [ "$1" = "$2" ]; }
exit_ok() { [ "$last_status" -eq 0 ]; }
exit_failed() { [ "$last_status" -ne 0 ]; }
hkcu_setting() {
  local value
  value=$("$wine64" reg query 'HKCU\Software\Talbrinn\Quorvane' /v PackagingTest </dev/null 2>/dev/null) || return 1
  grep -q kept <<<"$value"
}

home=$drive_c/$folder/Quorvane
other_home=$drive_c/$other_folder/Quorvane
windows_home="C:\\$folder\\Quorvane"

echo "# $name $msi_version ($arch) under Wine's 64-bit msiexec"
# --- A first install with a log.
msiexec /i 'C:\packaging\v1.msi' /qn /l*v 'C:\packaging\install.log'
check "install exits with 0" exit_ok
check "install writes the verbose log" grep -aq 'InstallFinalize' "$work/install.log"
check "the program, the tool, signature.dat and the README are installed" files_installed "$home"
check "signature.dat is the shipped database" cmp -s "$home/signature.dat" "$work/signature.dat"
check "a Start-menu shortcut \"$name\"" has_shortcut "$name"
echo "# shortcut: $(shortcut "$name" | sed "s|^$drive_c|C:|")"
check "one Add/Remove Programs entry \"$name\"" equals "$(arp_count "$name" $view)" 1
check "entry publisher Talbrinn" equals "$(arp_values "$name" Publisher $view)" Talbrinn
check "entry version $msi_version" equals "$(arp_values "$name" DisplayVersion $view)" "$msi_version"
check "entry install location" equals "$(arp_values "$name" InstallLocation $view)" "$windows_home\\"
product=$(arp_values "$name" UninstallString $view | grep -o '{[0-9A-F-]*}' || true)
check "entry icon is the program's icon" cmp -s "$drive_c/windows/Installer/$product/Quorvane.ico" "$root/app/Quorvane.ico"
check "the folder is remembered in HKLM ($dir_value)" equals "$(reg_value $dir_value $view)" "$windows_home\\"

# --- Explorer's verb on files, folders and drives. On Windows these keys are shared by both views;
# the check is in the edition's own view, and the other view's reading is recorded.
check "the verb $verb on *, Directory and Drive in /reg:$view" \
  equals "$(verbs_of "$verb" $view)" "$(verbs_expected "$caption" "$windows_home")"
for reg_view in 64 32; do
  echo "# Wine's reading of the verbs with /reg:$reg_view:"
  verbs_of "$verb" $reg_view | sed 's/^/#   /'
done

# --- The installed programs run.
if [ "$can_run" = yes ]; then
  mkdir -p "$drive_c/scratch"
  head -c 16777216 /dev/urandom >"$drive_c/scratch/payload.dat"
  expected=$(md5sum <"$drive_c/scratch/payload.dat" | cut -c1-32)
  status=0
  # A failure shows a message box: the time limit ends the run instead of waiting for a click.
  (cd "$drive_c/scratch" && timeout 60 "$program_wine" "$windows_home\\Quorvane.exe" -sig payload.dat </dev/null >/dev/null 2>&1) || status=$?
  check "installed Quorvane.exe -sig exits with 0" equals "$status" 0
  check "-sig appended the payload's MD5" equals "$(tail -c 16 "$drive_c/scratch/payload.dat" | od -An -tx1 | tr -d ' \n')" "$expected"
  status=0
  info=$(timeout 60 "$program_wine" "$windows_home\\quorvane-sigtool.exe" info "$windows_home\\signature.dat" </dev/null 2>&1) || status=$?
  check "installed quorvane-sigtool info exits with 0" equals "$status" 0
  check "installed signature.dat reports valid" grep -q 'Result: valid' <<<"$info"
  status=0
  tool_out=$(timeout 60 "$program_wine" "$windows_home\\quorvane-scan.exe" "C:\\scratch\\payload.dat" </dev/null 2>&1) ||
    status=$?
  check "installed quorvane-scan exits with 0 on a clean file" equals "$status" 0
  check "installed quorvane-scan prints the file's line" grep -qF 'C:\scratch\payload.dat: OK' <<<"$tool_out"
  # The verb's command from the registry, %1 replaced by a folder in Explorer's form, run from a
  # batch file by cmd.exe, which starts it with CreateProcess (Wine's ShellExecuteEx does not run
  # these verbs).
  command=$(verb_value Directory "$verb" '\command' $view)
  command=${command//%1/C:\\scratch\\}
  echo "# starting the verb's command: $command"
  printf '%s\r\n' "@$command" >"$work/verb.bat"
  "$wine64" cmd /c 'C:\packaging\verb.bat' </dev/null >/dev/null 2>&1 &
  verb_pid=$!
  check "the verb's command opens the window" window_shows "Quorvane ver 1.2"
  check "the verb's command scans to its completion message" window_shows "Quorvane"
  kill "$verb_pid" 2>/dev/null || true
  "$wine64" taskkill /f /im Quorvane.exe </dev/null >/dev/null 2>&1 || true
  wait "$verb_pid" 2>/dev/null || true
else
  echo "# skipped: running the installed 32-bit programs and the verb's command (this machine cannot run 32-bit programs)"
fi

# --- The other edition side by side, then removed: neither touches the other.
msiexec /i 'C:\packaging\other.msi' /qn
check "the other edition installs beside this one" exit_ok
check "the other edition has its own folder" files_installed "$other_home"
check "the other edition has its own entry" equals "$(arp_count "$other_name" $other_view)" 1
check "the other edition has its own shortcut" has_shortcut "$other_name"
check "the other edition remembers its own folder" equals "$(reg_value $other_dir_value $other_view)" "C:\\$other_folder\\Quorvane\\"
msiexec /x 'C:\packaging\other.msi' /qn
check "the other edition uninstalls" exit_ok
check "the other edition's folder is gone" gone "$other_home"
check "the other edition's shortcut is gone" no_shortcut "$other_name"
check "the other edition's folder value is gone" equals "$(reg_value $other_dir_value $other_view)" ""
check "the other edition's verb is gone" no_verbs "$other_verb" $other_view
check "this edition's verb stays" equals "$(verbs_of "$verb" $view)" "$(verbs_expected "$caption" "$windows_home")"
check "this edition's files stay" files_installed "$home"
check "this edition's entry stays" equals "$(arp_count "$name" $view)" 1
check "this edition's shortcut stays" has_shortcut "$name"
check "this edition's folder value stays" equals "$(reg_value $dir_value $view)" "$windows_home\\"

# --- Upgrade: an administrator's signature.dat is replaced by the shipped one; the settings stay.
head -c 20000000 /dev/urandom >"$home/signature.dat"
"$wine64" reg add 'HKCU\Software\Talbrinn\Quorvane' /v PackagingTest /d kept /f </dev/null >/dev/null 2>&1
msiexec /i 'C:\packaging\v2.msi' /qn /l*v 'C:\packaging\upgrade.log'
check "upgrade to $next_version exits with 0" exit_ok
check "after the upgrade exactly one entry" equals "$(arp_count "$name" $view)" 1
check "the entry shows $next_version" equals "$(arp_values "$name" DisplayVersion $view)" "$next_version"
check "the files are in place after the upgrade" files_installed "$home"
check "the upgrade replaced the administrator's signature.dat by the shipped one" \
  cmp -s "$home/signature.dat" "$work/signature.dat"
check "the shortcut stays after the upgrade" has_shortcut "$name"

# --- Downgrade: refused, nothing changes.
msiexec /i 'C:\packaging\v1.msi' /qn /l*v 'C:\packaging\downgrade.log'
check "installing $msi_version over $next_version fails" exit_failed
check "after the refused downgrade still one entry" equals "$(arp_count "$name" $view)" 1
check "the entry still shows $next_version" equals "$(arp_values "$name" DisplayVersion $view)" "$next_version"
check "the files stay after the refused downgrade" files_installed "$home"

# --- Uninstall: everything goes but the user's settings.
msiexec /x 'C:\packaging\v2.msi' /qn /l*v 'C:\packaging\uninstall.log'
check "uninstall exits with 0" exit_ok
check "the program folder is gone" gone "$home"
check "the shortcut is gone" no_shortcut "$name"
check "the entry is gone" equals "$(arp_count "$name" $view)" 0
check "the folder value is gone" equals "$(reg_value $dir_value $view)" ""
check "the verbs are gone from both views" eval 'no_verbs "$verb" 64 && no_verbs "$verb" 32'
check "the settings in HKCU stay" hkcu_setting

# --- A folder of the administrator's choice, kept by an upgrade and emptied by the uninstall.
custom='C:\Custom Tools\Quorvane Test'
custom_home="$drive_c/Custom Tools/Quorvane Test"
msiexec /i 'C:\packaging\v1.msi' /qn "INSTALLDIR=$custom"
check "install into INSTALLDIR exits with 0" exit_ok
check "the files are in INSTALLDIR" files_installed "$custom_home"
check "nothing in the default folder" gone "$home"
check "INSTALLDIR is remembered" equals "$(reg_value $dir_value $view)" "$custom\\"
msiexec /i 'C:\packaging\v2.msi' /qn
check "upgrade without INSTALLDIR exits with 0" exit_ok
check "the upgrade stays in INSTALLDIR" files_installed "$custom_home"
check "the upgrade leaves the default folder alone" gone "$home"
msiexec /x 'C:\packaging\v2.msi' /qn
check "uninstall from INSTALLDIR exits with 0" exit_ok
check "INSTALLDIR is gone" gone "$custom_home"
check "no entry is left" equals "$(arp_count "$name" $view)" 0

echo "$passed passed, $failed failed"
if [ "$failed" -ne 0 ]; then
  trap - EXIT
  "$env_sh" down "$state/run" >/dev/null 2>&1 || true
  echo "# the prefix is kept for inspection: $WINEPREFIX (logs in C:\\packaging)"
  exit 1
fi
"$env_sh" down "$state/run" >/dev/null 2>&1 || true
rm -rf "$state/run"
