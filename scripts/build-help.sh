#!/usr/bin/env bash
# Compiles the help pages of resources/help into resources/help.chm, and the German ones of
# resources/help/de into resources/help-de.chm. The compiled files are kept in
# the repository, so an ordinary build needs neither this script nor its compiler; run it after
# changing a page or the program icon, and commit both.
#
#   scripts/build-help.sh
#
# Needs chmcmd (Debian package fp-utils); as root the script installs it when it is missing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

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

compile() { # sources output
  local sources=$1 output=$2
  # The compiler writes beside the project, and the pages show the program icon: compile a copy.
  stage=$(mktemp -d)
  cp "$sources"/*.htm "$sources"/*.hhp "$sources"/*.hhc "$sources"/*.hhk "$stage"/
  cp "$root/resources/help/style.css" "$stage"/
  # The German pages share the English ones' style sheet and icon, one folder up; in the compiled
  # file everything lies side by side.
  sed -i 's|"\.\./|"|g' "$stage"/*.htm
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
  compiled=$stage/$(basename "$output")
  [[ -s $compiled ]] || { echo "chmcmd wrote no $(basename "$output")" >&2; exit 1; }
  [[ $(head -c 4 "$compiled") == ITSF ]] || { echo "$compiled is not a compiled help file" >&2; exit 1; }
  mv "$compiled" "$output"
  rm -rf "$stage"
  echo "Wrote $output ($(stat -c %s "$output") bytes)"
}

compile "$root/resources/help" "$root/resources/help.chm"
compile "$root/resources/help/de" "$root/resources/help-de.chm"
