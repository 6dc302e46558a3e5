#!/usr/bin/env bash
# Cross-builds the program and its Windows test programs with mingw-w64
# against the Windows SDK in ../shared/sdk, in build-win/.  The SDK is
# unpacked into the build tree once and pointed at where it lies; a missing
# SDK is an error.  Extra arguments go to the build (e.g. a target).
set -euo pipefail
cd "$(dirname "$0")/../.."

sdk_archive=${VANDREL_WIN_SDK:-../shared/sdk/qt6-mingw-6.4.2.tar.xz}
if [ ! -f "$sdk_archive" ]; then
  echo "windows build: no SDK at $sdk_archive" >&2
  exit 1
fi
sdk=$PWD/build-win/qt6-mingw
if [ ! -f "$sdk/.unpacked" ] || [ "$sdk_archive" -nt "$sdk/.unpacked" ]; then
  rm -rf "$sdk"
  mkdir -p build-win
  tar xf "$sdk_archive" -C build-win
  touch "$sdk/.unpacked"
fi
"$sdk/fix-paths.sh"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-win/out -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$sdk/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DVANDREL_BENCH="${VANDREL_WIN_BENCH:-OFF}" "${launcher[@]}" >/dev/null
cmake --build build-win/out -j"$(nproc)" "$@"
