#!/usr/bin/env bash
# The Windows Installer package under Wine, as an administrator would use it: builds it, installs
# it silently, starts the installed program once, upgrades it with a respin, uninstalls it
# silently, and checks after each step where the files are. In a fresh Wine prefix that is removed afterwards; exits non-zero
# when anything is not where it belongs.
set -euo pipefail
cd "$(dirname "$0")/.."

qt_dir=${LW_PREBUILT_QT_DIR:-$PWD/../shared/toolchains/qt6-mingw-static}
if [ ! -f "$qt_dir/SHA256SUMS" ]; then
  echo "== Windows installer: no prebuilt Qt in $qt_dir, so no launchwright.exe to package: skipped"
  exit 0
fi
scripts/deps.sh wine64 wine msitools
export LW_PREBUILT_QT_DIR=$qt_dir
msi=$(scripts/package-windows.sh | tail -1)
newer=$(scripts/package-windows.sh 1 | tail -1)

. scripts/wine-prefix.sh launchwright-msi

fail() {
  echo "ci-windows-msi.sh: $*" >&2
  exit 1
}
# Each installer run keeps its own account of what it did in a log file of its own, shown when
# that run fails. Before a run, everything an earlier step started has ended and Wine's server has
# written the registry and gone: the installer's service left from the last run, or the program
# that was started once, would otherwise still hold the package or the program's files.
runs=0
log=
settle() {
  timeout 120 wine wineboot --shutdown >/dev/null 2>&1 || true
  timeout 60 wineserver -k >/dev/null 2>&1 || true
  timeout 120 wineserver -w >/dev/null 2>&1 || true
  timeout 60 wineserver -p >/dev/null 2>&1
}
msiexec() {
  settle
  runs=$((runs + 1))
  log=$prefix/msiexec-$runs.log
  local status=0
  timeout 300 wine msiexec "$@" /qn /l*v "$(winepath -w "$log")" >/dev/null 2>&1 || status=$?
  if [ "$status" != 0 ]; then
    if [ -f "$log" ]; then tail -40 "$log" >&2; else echo "(msiexec wrote no log $log)" >&2; fi
    fail "msiexec $* failed with exit code $status"
  fi
}
unix_path() { winepath -u "$(wine cmd /c echo "$1" 2>/dev/null | tr -d '\r')"; }

program=$(unix_path '%ProgramW6432%')/Launchwright
user_data=$(unix_path '%APPDATA%')/Launchwright
shipped=(launchwright.exe rwlaunch.exe installed.txt 0013trl.ini config.ini 0013cst.ini
         0013bkp.ini help.chm help-de.chm)
[ -f build-windows/bin/launchwright.com ] && shipped+=(launchwright.com)
# Every file of the program folder with its checksum: what the program must leave as it is.
contents() { (cd "$program" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }

echo "== Windows installer: install $msi silently"
msiexec /i "$(winepath -w "$msi")"
# Windows puts a per-machine package's shortcuts in the Start menu of all users, Wine's installer
# in the installing user's: ask it where.
menu=$(sed -n 's/^Property(S): ProgramMenuFolder = \(.*\)\r\?$/\1/p' "$log" | tail -1)
[ -n "$menu" ] || fail "the installer's log names no ProgramMenuFolder"
shortcut=$(winepath -u "$menu")/Launchwright.lnk
for file in "${shipped[@]}"; do
  [ -f "$program/$file" ] || fail "$file was not installed in $program"
done
[ -f "$shortcut" ] || fail "no Start menu shortcut $shortcut"
grep -aqF 'C:\Program Files\Launchwright\launchwright.exe' "$shortcut" ||
  fail "the Start menu shortcut does not start the installed program"
[ ! -e "$user_data" ] || fail "the installer made the user's folder $user_data"
installed=$(contents)
# The version information Explorer and Task Manager show: the publisher, a copyright, and the
# string versions saying the binary one (1.03 is 1.3.0.0).
binary_version=$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p').0
resource=$(strings -el "$program/launchwright.exe" | tr '\n' '|')
for pair in "CompanyName|Kestrumsoft|" "LegalCopyright|Copyright (C) 2026 Kestrumsoft." \
  "FileVersion|$binary_version|" "ProductVersion|$binary_version|"; do
  [[ $resource == *"$pair"* ]] || fail "launchwright.exe's version information lacks $pair"
done

echo "== Windows installer: the logon recorder starts at every user's logon"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
recorder() {
  wine reg query "$run_key" /v 'Launchwright Logon Recorder' 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *Launchwright Logon Recorder *REG_SZ *//p'
}
[ "$(recorder)" = '"C:\Program Files\Launchwright\rwlaunch.exe" --record' ] ||
  fail "the machine's Run key starts the logon recorder as: '$(recorder)'"

echo "== Windows installer: a new console finds launchwright on PATH"
machine_env='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
on_path() {
  wine reg query "$machine_env" /v PATH 2>/dev/null | tr -d '\r' |
    grep -qiF 'C:\Program Files\Launchwright'
}
on_path || fail "the installer did not put the program folder on the machine's PATH"
if [ -f "$program/launchwright.com" ]; then
  settle
  listing=$(timeout 120 wine cmd /c 'cd /d C:\users && launchwright list --json' 2>/dev/null |
    tr -d '\r')
  [[ $listing == \[* ]] || fail "launchwright list --json in a new console gave: ${listing:0:200}"
fi

echo "== Windows installer: start the installed program once"
LAUNCHWRIGHT_EXIT_AFTER_MS=3000 QT_QPA_PLATFORM=offscreen \
  timeout 120 wine "$(winepath -w "$program/launchwright.exe")" >/dev/null
# The list reads the Customized entries; the backup file waits for the first removal.
[ -f "$user_data/0013cst.ini" ] || fail "the installed program made no $user_data/0013cst.ini"
cmp -s "$user_data/0013cst.ini" resources/0013cst.ini || fail "0013cst.ini is not the template"
[ "$(contents)" = "$installed" ] || fail "the installed program changed its folder $program"

echo "== Windows installer: a respin replaces the installed package"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
registered() { wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r'; }
products() { registered | grep -c 'DisplayName *REG_SZ *Kestrumsoft Launchwright$' || true; }
[ "$(products)" = 1 ] || fail "$(products) installed packages of Launchwright before the respin"
msiexec /i "$(winepath -w "$newer")"
[ "$(products)" = 1 ] || fail "$(products) installed packages of Launchwright after the respin"
newer_version=$(msiinfo export "$newer" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
registered | grep -q "DisplayVersion *REG_SZ *$newer_version$" ||
  fail "the installed package is not the respin $newer_version"
[ -f "$program/launchwright.exe" ] || fail "the respin lost the program"
[ -f "$user_data/0013cst.ini" ] || fail "the respin took the user's files in $user_data"

echo "== Windows installer: uninstall silently"
msiexec /x "$(winepath -w "$newer")"
[ ! -e "$program" ] || fail "left behind in $program: $(ls -A "$program")"
[ ! -e "$shortcut" ] || fail "the Start menu shortcut is still there"
! on_path || fail "the uninstall left the program folder on the machine's PATH"
[ -z "$(recorder)" ] || fail "the uninstall left the logon recorder in the machine's Run key"
[ -f "$user_data/0013cst.ini" ] || fail "the uninstall took the user's files in $user_data"
echo "== Windows installer: installs, runs and uninstalls cleanly"
