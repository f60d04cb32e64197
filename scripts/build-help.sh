#!/usr/bin/env bash
# Compiles the help pages of resources/help into resources/help.chm. The compiled file is kept in
# the repository, so an ordinary build needs neither this script nor its compiler; run it after
# changing a page or the program icon, and commit both.
#
#   scripts/build-help.sh
#
# Needs chmcmd (Debian package fp-utils); as root the script installs it when it is missing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sources=$root/resources/help
output=$root/resources/help.chm

if ! command -v chmcmd >/dev/null; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "chmcmd is missing. Install it with:" >&2
    echo "  sudo apt-get install -y --no-install-recommends fp-utils" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends fp-utils >/dev/null
fi

# The compiler writes beside the project, and the pages show the program icon: compile a copy.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$sources"/*.htm "$sources"/*.css "$sources"/*.hhp "$sources"/*.hhc "$sources"/*.hhk "$stage"/
cp "$root/resources/images/launchwright-48.png" "$stage"/

# Every page, style sheet and picture that a page or the contents refer to must be in [FILES],
# or the help viewer shows a broken page; chmcmd only warns, so check it here.
listed=$(sed -n '/^\[FILES\]/,/^\[/p' "$stage/launchwright.hhp" | grep -v '^\[' | sort -u)
referenced=$(cd "$stage" && grep -ohE '(href|src|value)="[^"#:]+\.(htm|css|png)' *.htm *.hhc *.hhk |
  sed -E 's/^[a-z]+="//' | sort -u)
missing=$(comm -13 <(echo "$listed") <(echo "$referenced"))
if [[ -n $missing ]]; then
  echo "Referenced but not listed in launchwright.hhp [FILES]:" >&2
  echo "$missing" >&2
  exit 1
fi

(cd "$stage" && chmcmd --verbosity 0 launchwright.hhp)
[[ -s $stage/help.chm ]] || { echo "chmcmd wrote no help.chm" >&2; exit 1; }
[[ $(head -c 4 "$stage/help.chm") == ITSF ]] || { echo "help.chm is not a compiled help file" >&2; exit 1; }
mv "$stage/help.chm" "$output"
echo "Wrote $output ($(stat -c %s "$output") bytes)"
