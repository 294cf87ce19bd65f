#!/usr/bin/env bash
# Makes the README's screenshots: runs a built demo_windowed on its own 16-bit
# Xvfb; in the start view saves the shadow volume (F3) and the shadow mask
# (F4 twice), then steps back from the start view by holding Down, saves the
# window in the first mode, presses F2 and saves the same view counted from
# behind the surface. The view depends on the frame rate (a fixed step per
# frame), so each run steps back a little differently; both pictures of one
# run show the same view. Last, the lumpy ball of tools/make_concave_scene
# from the start view, in the first mode and with --second-mode, and how
# much of its shadow the first mode draws lit, from both modes' masks.
#   tools/mode_screenshots.sh [build folder] [seconds of Down] [output folder]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")
program="$build/demo_windowed"
seconds=${2:-8}
out=$(realpath -m "${3:-$here/docs}")
mkdir -p "$out"
cd "$here/data"

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x16 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r -t 20 display <&3 || { echo "mode_screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
demo_pid=""
trap 'kill $demo_pid 2>/dev/null || true; kill $xvfb_pid 2>/dev/null || true' EXIT

# Starts the program with the given arguments and waits for its window, focused.
start_demo() {
  "$program" "$@" 2>/dev/null &
  demo_pid=$!
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --class "My App" 2>/dev/null | tail -n 1) && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "mode_screenshots: no window appeared" >&2; exit 1; }
  sleep 2
  window=$(xdotool search --onlyvisible --class "My App" | tail -n 1)
  xdotool windowfocus --sync "$window"
}

start_demo

save() {
  # Half size in a small palette keeps the PNGs small; the grey shapes stay plain.
  xwd -silent -id "$window" | /usr/bin/convert xwd:- -resize 50% -colors 96 "$out/$1"
  echo "mode_screenshots: saved $out/$1"
}

xdotool key F3
sleep 1
save shadow_volume.png
xdotool key F3 F4 F4
sleep 1
save shadow_mask.png
# On through the lit, ambient and textured steps to the whole frame.
xdotool key F4 F4 F4 F4
xdotool keydown Down
sleep "$seconds"
xdotool keyup Down
sleep 1
save shadow_from_the_eye.png
xdotool key F2
sleep 1
save shadow_from_behind.png
kill -TERM $demo_pid
wait $demo_pid || true

ball=$(mktemp -d)
"$build/tools/make_concave_scene" "$ball/ball.3DS"
for mode in first second; do
  arguments=("$ball/ball.3DS")
  [ "$mode" = second ] && arguments=(--second-mode "${arguments[@]}")
  start_demo "${arguments[@]}"
  save "concave_${mode}_mode.png"
  xdotool key F4 F4
  sleep 1
  xwd -silent -id "$window" | /usr/bin/convert xwd:- -fill black +opaque white "$ball/$mode.png"
  kill -TERM $demo_pid
  wait $demo_pid || true
done
shadow=$(/usr/bin/convert "$ball/second.png" -format '%[fx:round((1-mean)*w*h)]' info:)
lit=$(/usr/bin/compare -metric AE "$ball/first.png" "$ball/second.png" null: 2>&1 || true)
echo "mode_screenshots: the ball's shadow covers $shadow pixels in the second mode;" \
  "the first mode draws $lit of them lit ($((100 * lit / shadow))%)"
rm -rf "$ball"
