#!/usr/bin/env bash
# Builds the Windows Installer package launchwright-<version>.msi from the Windows build (the
# windows preset, with the front end, so the prebuilt Qt must be there; see ci-windows.sh) and
# puts it in the top folder, ready for `msiexec /i launchwright-<version>.msi`.
#
#   scripts/package-windows.sh [respin]
# A respin (1, 2, …) packages the same program version again as launchwright-<version>-<respin>.msi
# with a higher package version, which replaces an installed one as a newer version would.
#
# The package's contents are resources/windows/launchwright.wxs; the console companion
# launchwright.com goes in when the build made one. The version is the project's, from CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
respin=${1:-0}
[[ $respin =~ ^[0-9]+$ ]] || { echo "usage: $0 [respin number]" >&2; exit 2; }

scripts/deps.sh wixl

# A build folder configured before keeps its Qt unless LW_PREBUILT_QT_DIR names another.
configure=()
if [ -n "${LW_PREBUILT_QT_DIR:-}" ]; then
  configure+=(-DLW_PREBUILT_QT_DIR="$LW_PREBUILT_QT_DIR")
elif [ ! -f build-windows/CMakeCache.txt ]; then
  configure+=(-DLW_PREBUILT_QT_DIR="$PWD/../shared/toolchains/qt6-mingw-static")
fi
if command -v ccache >/dev/null; then
  configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset windows "${configure[@]}" >/dev/null
targets=(launchwright rwlaunch)
if grep -q '^build launchwright_console:' build-windows/build.ninja; then
  targets+=(launchwright_console)
fi
cmake --build --preset windows --target "${targets[@]}"

bin=build-windows/bin
if [ ! -f $bin/launchwright.exe ]; then
  echo "package-windows.sh: no $bin/launchwright.exe: the build found no Qt for the front end" >&2
  exit 1
fi

# Windows Installer compares three numbers, each read as a number: 1.03 is 1.3.0, as in the
# programs' own version information (resources/windows/ProgramResources.cmake), and the respin
# is the third.
cached() { sed -n "s/^$1:STATIC=//p" build-windows/CMakeCache.txt; }
version=$(cached CMAKE_PROJECT_VERSION)
msi_version="$((10#$(cached CMAKE_PROJECT_VERSION_MAJOR))).$((10#$(cached CMAKE_PROJECT_VERSION_MINOR))).$((10#$respin))"
console=no
[ -f $bin/launchwright.com ] && console=yes

# The build keeps its debugging information in the programs; the package ships them without it,
# as the Debian package does.
staged=build-windows/package
rm -rf $staged
mkdir -p $staged
find $bin -maxdepth 1 -type f -exec cp {} $staged/ \;
x86_64-w64-mingw32-strip $staged/*.exe
[ $console = no ] || x86_64-w64-mingw32-strip $staged/launchwright.com

msi=launchwright-$version.msi
[ "$respin" = 0 ] || msi=launchwright-$version-$respin.msi
rm -f "$msi"
# wixl takes the source files' paths relative to the folder it runs in.
wixl --arch x64 --output "$msi" \
  --define Version="$msi_version" --define ProgramDir=$staged --define ResourceDir=resources/windows \
  --define Console=$console resources/windows/launchwright.wxs

# The program folder goes on the machine's PATH, so that `launchwright` answers in any new
# console, and comes off again on uninstall. wixl knows no <Environment>, so the table and the
# two standard actions that carry it out go in afterwards, with the rows wixl wrote kept.
tables=$(mktemp -d)
trap 'rm -rf "$tables"' EXIT
printf 'Environment\tName\tValue\tComponent_\ns72\tl255\tL255\ts72\nEnvironment\tEnvironment\n' \
  >"$tables/Environment.idt"
printf '%s\t%s\t%s\t%s\n' ProgramOnPath '=-*PATH' '[~];[INSTALLDIR]' Program >>"$tables/Environment.idt"
msiinfo export "$msi" InstallExecuteSequence >"$tables/InstallExecuteSequence.idt"
printf 'RemoveEnvironmentStrings\t\t3300\r\nWriteEnvironmentStrings\t\t5200\r\n' \
  >>"$tables/InstallExecuteSequence.idt"
msibuild "$msi" -i "$tables/Environment.idt" "$tables/InstallExecuteSequence.idt"
ls "$msi"
