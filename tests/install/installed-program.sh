#!/usr/bin/env bash
# Installs the build into a temporary prefix, makes that read-only and runs the installed program
# offscreen as a new user: it has to start, list the machine's and the user's autostart entries,
# keep the user's files under the user's data folder, enter the installed starter, and leave the
# prefix exactly as installed; a second user of the installation sees none of the first's entries.
#   installed-program.sh <build dir>
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
chmod -R a-w "$prefix"
snapshot() { (cd "$prefix" && find . -printf '%p %s %m %T@\n' | sort); }
before=$(snapshot)

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CONFIG_DIRS=$work/system
unset XDG_DATA_HOME
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=offscreen LAUNCHWRIGHT_EXIT_AFTER_MS=6000
entry() { # folder name command
  mkdir -p "$1"
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=%s\n' "$2" "$3" >"$1/$2.desktop"
}
entry "$XDG_CONFIG_HOME/autostart" "Notes" "/usr/bin/env true"
entry "$work/system/autostart" "Print Queue" "/usr/bin/env true"

# A Customized entry due every minute, last started in 2000: the first timer tick starts it and
# records the start in the user's file.
data=$HOME/.local/share/launchwright
mkdir -p "$data"
{
  printf 'Kestrumsoft Launchwright - Customized Entries\r\n%s\r\n\r\n' "$(printf '=%.0s' {1..46})"
  printf 'Tick\r\n/usr/bin/touch %s/started\r\n050001000000000x00200001010000\r\n=====' "$work"
} >"$data/0013cst.ini"

cd "$work"
listed=$(timeout 60 "$prefix/bin/launchwright") || fail "the installed program did not start and end (status $?)"
for name in Tick Notes "Print Queue"; do
  grep -q "	$name	" <<<"$listed" || fail "'$name' is not listed: $listed"
done
for _ in $(seq 50); do
  [[ -e $work/started ]] && break
  sleep 0.1
done
[[ -e $work/started ]] || fail "the due Customized entry was not started"
! grep -q 200001010000 "$data/0013cst.ini" || fail "the start was not recorded in $data/0013cst.ini"
grep -qF "$prefix/libexec/launchwright/rwlaunch" "$XDG_CONFIG_HOME/autostart/Launchwright.desktop" ||
  fail "the starter entry does not name the installed starter"
# A second user of the same installation starts with files of their own, made from the templates.
export HOME=$work/other XDG_CONFIG_HOME=$work/other/.config LAUNCHWRIGHT_EXIT_AFTER_MS=1000
listed=$(timeout 60 "$prefix/bin/launchwright") || fail "the second user's start failed"
grep -q "	Print Queue	" <<<"$listed" || fail "the second user does not see the machine's entry"
! grep -q "	Tick	" <<<"$listed" || fail "the second user sees the first user's Customized entry"
cmp -s "$prefix/share/launchwright/0013cst.ini" "$HOME/.local/share/launchwright/0013cst.ini" ||
  fail "the second user's entries file was not made from the shipped template"
[[ $before == "$(snapshot)" ]] || fail "the program changed the installation under $prefix"
echo "installed program: started, listed, wrote only under $data"
