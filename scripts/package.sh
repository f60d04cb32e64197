#!/usr/bin/env bash
# Builds the Debian package launchwright_<version>_<arch>.deb from the default build and puts it
# in the top folder, ready for `apt-get install ./launchwright_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-shlibdeps computes the package's dependencies from the libraries the programs load.
scripts/deps.sh dpkg-dev file
cmake --preset default >/dev/null
cmake --build --preset default
rm -f launchwright_*.deb
(cd build && cpack -G DEB >/dev/null)
cp build/launchwright_*.deb .
ls launchwright_*.deb
