#!/usr/bin/env bash
# Builds the Windows flavour with mingw-w64 and runs all of its tests under Wine, headless, in a
# fresh Wine prefix that is removed afterwards. Exits non-zero when anything fails.
#
# With the prebuilt static Qt for mingw beside the repository (../shared/toolchains/
# qt6-mingw-static, or the folder in LW_PREBUILT_QT_DIR) the front end launchwright.exe and its
# widget tests are built and run too (offscreen); without it, the core only.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

scripts/deps.sh g++-mingw-w64-x86-64-posix wine64 wine googletest qt6-base-dev-tools qt6-translations-l10n

qt_dir=${LW_PREBUILT_QT_DIR:-$PWD/../shared/toolchains/qt6-mingw-static}
if [ -f "$qt_dir/SHA256SUMS" ]; then
  echo "== Windows flavour: prebuilt Qt in $qt_dir (the front end needs its Widgets and Test)"
else
  echo "== Windows flavour: no prebuilt Qt in $qt_dir: building and testing the core only"
fi
configure=(-DLW_PREBUILT_QT_DIR="$qt_dir")
if command -v ccache >/dev/null; then
  configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== Windows flavour: build"
cmake --preset windows "${configure[@]}" >/dev/null
cmake --build --preset windows

. scripts/wine-prefix.sh launchwright-wine

echo "== Windows flavour: tests under Wine"
timeout 1800 ctest --preset windows
echo "== Windows flavour: done in $((SECONDS - started)) s"
