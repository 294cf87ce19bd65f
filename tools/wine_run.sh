#!/usr/bin/env bash
# Runs a Windows program under Wine in the test run's private prefix
# ($WINEPREFIX, set by the tests' CMakeLists.txt),
# quietly. ctest uses this as the emulator for the cross-built tests.
set -euo pipefail
: "${WINEPREFIX:?the test run sets the private Wine prefix}"
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$@"
