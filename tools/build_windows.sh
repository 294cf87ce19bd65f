#!/usr/bin/env bash
# Cross-builds the two Windows programs with MinGW-w64 and packs them with
# cpack: build-windows/shadow-volume-demo.zip, holding the folder
# shadow-volume-demo/ with demo_windowed.exe, demo_fullscreen.exe,
# shadow2.3DS and txt.tif side by side, and that folder unpacked beside it.
# The programs import only Windows' own DLLs; the list is printed to show it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$here/build-windows}"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack >/dev/null && rm -rf shadow-volume-demo && cmake -E tar xf shadow-volume-demo.zip)
for program in demo_windowed demo_fullscreen; do
  echo "$program.exe imports: $(x86_64-w64-mingw32-objdump -p "$build/$program.exe" |
    sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
done
echo "release: $build/shadow-volume-demo.zip"
