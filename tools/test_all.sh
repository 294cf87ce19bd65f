#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# fuzzes both file readers for a minute each, then runs every test (those
# that draw start their own Xvfb); ctest's summary closes the output.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build-sanitize"
cmake -S "$here" -B "$build" -DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
"$here/fuzz/run_fuzzers.sh" 60 "$here/build-fuzz"
(cd "$build" && ctest --output-on-failure -j2)
