#!/usr/bin/env bash
# The README's screenshot of precision tracing: the real window on a private
# Xvfb screen with openbox, a photo, a line dragged with XTest a little above
# the conductor, precision tracing switched on with Ctrl+P, the screen taken
# with ImageMagick's import and cropped to the overview.
# Usage: scripts/precision_screenshot.sh BUILD_DIR PHOTO.jpg X1,Y1,X2,Y2 OUT.png
#   X1,Y1,X2,Y2: the line in the photo's own pixels.
set -euo pipefail
build=$1 photo=$2 line=$3 out=$4
work=$(mktemp -d)
cleanup() {
  [ -n "${sarn_pid:-}" ] && kill "$sarn_pid" 2>/dev/null || true
  [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "${x_pid:-}" ] && kill "$x_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb :55 -screen 0 1280x1024x24 -nolisten tcp 2>"$work/xvfb.log" &
x_pid=$!
export DISPLAY=:55
sleep 2
openbox >"$work/openbox.log" 2>&1 &
wm_pid=$!
sleep 1
"$build/sarn" "$photo" >"$work/sarn.log" 2>&1 &
sarn_pid=$!
window=""
for _ in $(seq 60); do
  window=$(xdotool search --onlyvisible --pid "$sarn_pid" 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.5
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
sleep 4  # the photo loads and the window fits itself
width=$(xwininfo -id "$window" | awk '/Width:/ {print $2}')
read -r px1 py1 px2 py2 _ < <("$build/tests/x11/sarn_drag_points" "$photo" "$line" "$width")
xdotool mousemove --sync --window "$window" "$px1" "$py1" sleep 0.3 mousedown 1 sleep 0.3 \
  mousemove --window "$window" $(((px1 + px2) / 2)) $(((py1 + py2) / 2)) sleep 0.3 \
  mousemove --window "$window" "$px2" "$py2" sleep 0.3 mouseup 1
sleep 1
xdotool key --window "$window" ctrl+p
sleep 3
import -window root "$work/screen.png"
# The overview: the window's inner area down to the bottom panel.
read -r wx wy < <(xwininfo -id "$window" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4} END {print x, y}')
height=$(xwininfo -id "$window" | awk '/Height:/ {print $2}')
convert "$work/screen.png" -crop "${width}x${height}+${wx}+${wy}" +repage "$out"
echo "window ${width}x${height} at $wx,$wy; drag $px1,$py1 -> $px2,$py2"
