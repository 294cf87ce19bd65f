#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test (those that draw start their own Xvfb), then fuzzes both
# file readers for a minute each.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build-sanitize"
cmake -S "$here" -B "$build" -DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && ctest --output-on-failure -j2)
if [ -x "$here/fuzz/run_fuzzers.sh" ]; then
  "$here/fuzz/run_fuzzers.sh" 60 "$here/build-fuzz"
fi
