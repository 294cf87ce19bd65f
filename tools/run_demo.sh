#!/usr/bin/env bash
# Runs a built demo program from the bundled data folder.
#   tools/run_demo.sh [program] [seconds] [screenshot.png] [-- program arguments]
# With a display it simply runs until you close the window. Without one it
# starts its own 16-bit Xvfb, lets the demo draw for a few seconds, saves a
# PNG screenshot of its window, prints the frame rate the caption showed, and
# closes the program as the terminal's Ctrl+C would (SIGTERM), checking that
# it exits cleanly. Arguments after -- go to the program (--all-meshes, a
# scene, a texture); paths among them are taken from where you are.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
arguments=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do arguments+=("$1"); shift; done
[ $# -gt 0 ] && shift
program_arguments=()
for argument in "$@"; do
  case "$argument" in
    -*) program_arguments+=("$argument") ;;
    *) program_arguments+=("$(realpath -m "$argument")") ;;
  esac
done
program=$(realpath "${arguments[0]:-$here/build/demo_windowed}")
seconds=${arguments[1]:-5}
screenshot=$(realpath -m "${arguments[2]:-$here/build/screenshot.png}")
cd "$here/data"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$program" "${program_arguments[@]}"
fi

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x16 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r -t 20 display <&3 || { echo "run_demo: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
# Xvfb names its display before it is sure to take connections.
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "run_demo: Xvfb on $DISPLAY does not answer" >&2; exit 1; }

"$program" "${program_arguments[@]}" &
demo_pid=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --class "My App" 2>/dev/null | tail -n 1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "run_demo: no window appeared" >&2; kill $demo_pid; exit 1; }
sleep "$seconds"
window=$(xdotool search --onlyvisible --class "My App" | tail -n 1)
xwd -silent -id "$window" | /usr/bin/convert xwd:- "$screenshot"
echo "run_demo: screenshot of the window saved to $screenshot"
echo "run_demo: the caption showed $(xdotool getwindowname "$window") frames per second"
kill -TERM $demo_pid
status=0
wait $demo_pid || status=$?
echo "run_demo: the program closed with exit code $status"
exit $status
