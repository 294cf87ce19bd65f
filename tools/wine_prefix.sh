#!/usr/bin/env bash
# The private Wine prefix of one test run.
#   wine_prefix.sh make PREFIX   makes a fresh prefix and keeps its wineserver
#                                running, so each program then starts in ~0.1 s
#   wine_prefix.sh restart PREFIX  restarts it, so a changed desktop setting
#                                takes effect
#   wine_prefix.sh stop PREFIX   stops that prefix's wineserver
# The prefix lets Wine draw its own window frames (Managed=N): with no window
# manager, closing a managed window would block for two seconds.
set -euo pipefail
command=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
case "$command" in
  make)
    [ -d "$WINEPREFIX" ] && { wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; }
    mkdir -p "$WINEPREFIX"
    # The server and the services the boot starts stay up for the whole run.
    # None may hold the caller's output open: ctest waits for its end.
    wineserver -p </dev/null >/dev/null 2>&1
    # The desktop the boot starts lives on the caller's display ($DISPLAY, or
    # none for tests without windows) for the whole run.
    wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    ;;
  restart)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
  *)
    echo "usage: $0 make|restart|stop PREFIX" >&2
    exit 2
    ;;
esac
