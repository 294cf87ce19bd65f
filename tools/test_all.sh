#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# fuzzes both file readers for a minute each, then runs every test (those
# that draw start their own Xvfb); ctest's summary closes the output.
# The Windows stage cross-builds the programs and the window-free tests with
# MinGW-w64 and runs them under Wine, in a private prefix per run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build-sanitize"
windows_build="$here/build-windows-test"
cmake -S "$here" -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$windows_build" -j"$(nproc)"
cmake -S "$here" -B "$build" -DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWINDOWS_BUILD_DIR="$windows_build" >/dev/null
cmake --build "$build" -j"$(nproc)"
"$here/fuzz/run_fuzzers.sh" 60 "$here/build-fuzz"
(cd "$windows_build" && ctest --output-on-failure)
(cd "$build" && ctest --output-on-failure -j2)
