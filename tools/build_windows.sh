#!/usr/bin/env bash
# Cross-builds the two Windows programs with MinGW-w64 and makes the release:
# build-windows/shadow-volume-demo/ and its .zip, holding demo_windowed.exe,
# demo_fullscreen.exe, shadow2.3DS and txt.tif side by side. The programs
# import only Windows' own DLLs; the list is printed to show it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$here/build-windows}"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target release
for program in demo_windowed demo_fullscreen; do
  echo "$program.exe imports: $(x86_64-w64-mingw32-objdump -p "$build/$program.exe" |
    sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
done
echo "release: $build/shadow-volume-demo.zip"
