#!/usr/bin/env bash
# Sarn on a real X server with a window manager: Xvfb (1280x1024) and openbox.
#
#   real_desktop_test.sh SARN DRAG_POINTS SOURCE_DIR ARTIFACT_DIR
#
# Starts `sarn samples/span.jpg` and checks, with the X server's own tools,
# that after the photo's fit the window's outer top-left is the screen's
# top-left and its inner width at least 1004 px; drags the sample's scan line
# with XTest and compares the clipboard, byte for byte (CR LF included), with
# `sarn measure` for the same line; keeps a screenshot in ARTIFACT_DIR. A click
# on the picture without a drag then leaves the window and the clipboard as
# they were; 画像ファイル読み込み opens Qt's file dialog in Japanese (its
# screenshot file_dialog.png stays in ARTIFACT_DIR). Then unticks 上下を削除:
# the whole photo's overview is taller than the screen, so the window grows to
# the outer height recorded while it was maximised. Between those, 測定を保存…
# (Ctrl+Shift+S) saves the measurement through Qt's dialog, the window is
# closed, a new sarn opens the file with 測定を開く… (Ctrl+O) and must put
# the same text on the clipboard (screenshots save_dialog.png, reopened.png).
# Exits 77 (skipped) when a tool is missing. Every process it starts is
# ended on exit.
set -uo pipefail

readonly SKIP=77
if [ $# -ne 4 ]; then
  echo "usage: $0 SARN DRAG_POINTS SOURCE_DIR ARTIFACT_DIR" >&2
  exit 2
fi
sarn=$1
drag_points=$2
source_dir=$3
artifact_dir=$4
photo=$source_dir/samples/span.jpg

missing=()
for tool in Xvfb openbox xdotool xclip xwininfo xprop import compare timeout; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIP: real-X test needs ${missing[*]} (scripts/install-deps.sh installs xvfb openbox" \
       "xdotool xclip x11-utils imagemagick)"
  exit $SKIP
fi

sample_line=$(head -n1 "$source_dir/samples/span.line")
work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    pid=${pids[i]}
    kill "$pid" 2>/dev/null && timeout 5 tail --pid="$pid" -f /dev/null 2>/dev/null
    kill -9 "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; }
  done
  exit 1
}

# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
wait_for() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.1
  done
}

# Children see a home and runtime folder of their own, and the X platform
# (make test sets QT_QPA_PLATFORM=offscreen for the window tests).
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_STATE_HOME=$work/home/state \
  XDG_CONFIG_HOME=$work/home/config
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

echo "-- Xvfb 1280x1024x24 and openbox"
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 15 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wm_ready() { timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_for 15 wm_ready || fail "openbox did not start"
echo "   display $DISPLAY"

# window_of PID: the visible top-level window of the process (empty if none
# shows within a minute; a sanitizer build starts slowly on a busy machine).
find_window() {
  kill -0 "$1" 2>/dev/null || return 0
  found=$(timeout 5 xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n1)
  [ -n "$found" ]
}
window_of() {
  found=""
  wait_for 60 find_window "$1"
  echo "$found"
}
maximized() {
  timeout 5 xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_MAXIMIZED_HORZ
}
# geometry WINDOW: "X Y WIDTH HEIGHT" of the inner area, absolute.
geometry() {
  timeout 5 xwininfo -id "$1" 2>/dev/null | awk '
    /Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
    /^ *Width:/ {w = $NF} /^ *Height:/ {h = $NF} END {print x, y, w, h}'
}
# start_sarn LOG [ARG...]: starts sarn (ended on exit) and sets sarn_pid and
# window, its visible top-level window, or fails.
start_sarn() {
  local log=$1
  shift
  "$sarn" "$@" >"$work/$log" 2>&1 &
  sarn_pid=$!
  pids+=($sarn_pid)
  window=$(window_of $sarn_pid)
  [ -n "$window" ] || fail "sarn ${*:-(no photo)} opened no window"
}
# steady_in STATE COUNT: true once the window is in STATE (maximised or
# normal) and its geometry has read the same COUNT times running; the
# geometry is left in $last. Reset last and steady before waiting.
steady_in() {
  local now
  if maximized "$window"; then [ "$1" = maximised ]; else [ "$1" = normal ]; fi ||
    { steady=0; return 1; }
  now=$(geometry "$window")
  if [ "$now" = "$last" ]; then steady=$((steady + 1)); else steady=0 last=$now; fi
  [ $steady -ge "$2" ]
}

echo "-- the maximised window's inner width (sarn without a photo)"
start_sarn probe.log
last="" steady=0
wait_for 30 steady_in maximised 5 || fail "the window did not open maximised"
read -r _ _ max_width max_height <<<"$last"
# frame_extents WINDOW: "LEFT RIGHT TOP BOTTOM" of the window manager's frame.
frame_extents() {
  timeout 5 xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g'
}
read -r _ _ max_frame_top max_frame_bottom <<<"$(frame_extents "$window")"
max_outer_height=$((max_height + max_frame_top + max_frame_bottom))
echo "   maximised inner area ${max_width}x${max_height}, outer height $max_outer_height"
kill $sarn_pid && wait $sarn_pid 2>/dev/null

echo "-- sarn samples/span.jpg"
start_sarn sarn.log "$photo"
# The fit takes the window out of the maximised state once the photo is
# loaded; then the geometry must stay put (a window manager that restores a
# position of its own would move it within this second).
last="" steady=0
wait_for 60 steady_in normal 10 ||
  fail "the window did not settle in the normal state (last: $last)"
read -r inner_x inner_y inner_width inner_height <<<"$(geometry "$window")"
read -r frame_left _ frame_top frame_bottom <<<"$(frame_extents "$window")"
outer_x=$((inner_x - frame_left))
outer_y=$((inner_y - frame_top))
echo "   inner ${inner_width}x${inner_height} at $inner_x,$inner_y;" \
     "frame left $frame_left, top $frame_top; outer top-left $outer_x,$outer_y"
[ "$outer_x" -eq 0 ] && [ "$outer_y" -eq 0 ] ||
  fail "outer top-left is $outer_x,$outer_y, not the screen's top-left"
[ "$inner_width" -ge 1004 ] || fail "inner width $inner_width < 1004"

echo "-- drag the scan line of samples/span.line ($sample_line)"
read -r px1 py1 px2 py2 line < <("$drag_points" "$photo" "$sample_line" "$max_width")
[ -n "${line:-}" ] || fail "no drag points for inner width $max_width"
echo "   from $px1,$py1 to $px2,$py2 in the overview; photo line $line"
# The clipboard is always read as UTF8_STRING: when that request fails, as it
# can on a loaded machine, xclip falls back to STRING, Latin-1, in which the
# conductor's Japanese name arrives as question marks.
timeout 10 xclip -selection clipboard -target UTF8_STRING -o >"$work/before.txt" 2>/dev/null
timeout 20 xdotool mousemove --sync --window "$window" "$px1" "$py1" sleep 0.2 mousedown 1 \
  sleep 0.2 mousemove --window "$window" $(((px1 + px2) / 2)) $(((py1 + py2) / 2)) sleep 0.2 \
  mousemove --window "$window" "$px2" "$py2" sleep 0.2 mouseup 1 ||
  fail "xdotool could not drag"
clipboard_changed() {
  timeout 5 xclip -selection clipboard -target UTF8_STRING -o >"$work/window.txt" 2>/dev/null &&
    [ -s "$work/window.txt" ] && ! cmp -s "$work/window.txt" "$work/before.txt"
}
wait_for 30 clipboard_changed || fail "the drag put no new result text on the clipboard"

mkdir -p "$artifact_dir"
timeout 20 import -window root "$artifact_dir/real_desktop.png" ||
  echo "   (no screenshot: import failed)"
echo "   screenshot $artifact_dir/real_desktop.png"

echo "-- sarn measure samples/span.jpg --line $line"
timeout 60 "$sarn" measure "$photo" --line "$line" >"$work/measure.txt" 2>"$work/measure.log" ||
  fail "sarn measure failed"
crlf_lines=$(grep -c $'\r$' "$work/window.txt")
[ "$crlf_lines" -eq 7 ] || fail "clipboard has $crlf_lines CR LF lines, not 7"
if ! cmp -s "$work/window.txt" "$work/measure.txt"; then
  diff <(od -c "$work/window.txt") <(od -c "$work/measure.txt")
  fail "the clipboard differs from sarn measure"
fi
tr -d '\r' <"$work/window.txt" | sed 's/^/   /'

echo "-- a click on the picture without a drag, and one that jitters by 1 px"
# The window as it stands (line, results), without the pointer: a click must
# change none of it, nor the clipboard.
window_shot() { timeout 20 import -window "$window" "$1" 2>/dev/null; }
window_shot "$work/before_click.png" || fail "import could not take the window"
click_x=$(((px1 + px2) / 2 + 40))
click_y=$(((py1 + py2) / 2 + 30))
timeout 20 xdotool mousemove --sync --window "$window" "$click_x" "$click_y" sleep 0.2 click 1 \
  sleep 0.3 mousedown 1 sleep 0.1 mousemove --window "$window" $((click_x + 1)) "$click_y" \
  sleep 0.1 mouseup 1 sleep 1.5 || fail "xdotool could not click"
timeout 5 xclip -selection clipboard -target UTF8_STRING -o >"$work/after_click.txt" 2>/dev/null
cmp -s "$work/window.txt" "$work/after_click.txt" || fail "a click changed the clipboard"
window_shot "$work/after_click.png" || fail "import could not take the window"
changed=$(compare -metric AE "$work/before_click.png" "$work/after_click.png" null: 2>&1)
[ "$changed" = 0 ] || {
  cp "$work/after_click.png" "$artifact_dir/after_click.png"
  fail "a click changed $changed pixels of the window (after_click.png)"
}
echo "   clipboard and window unchanged"

echo "-- 画像ファイル読み込み (Command1, at 4,12 in the bottom panel): Qt's dialog in Japanese"
timeout 10 xdotool mousemove --sync --window "$window" 40 $((inner_height - 75 + 30)) click 1 ||
  fail "xdotool could not click"
find_dialog() {
  dialog=$(timeout 5 xdotool search --onlyvisible --pid "$sarn_pid" 2>/dev/null |
    grep -vx "$window" | head -n1)
  [ -n "$dialog" ]
}
wait_for 30 find_dialog || fail "no file dialog opened"
sleep 1
dialog_title=$(timeout 5 xdotool getwindowname "$dialog")
timeout 20 import -window root "$artifact_dir/file_dialog.png" ||
  echo "   (no screenshot: import failed)"
echo "   dialog \"$dialog_title\"; screenshot $artifact_dir/file_dialog.png"
# The title Qt gives an open dialog, translated: any non-ASCII byte shows that
# Qt's Japanese catalogue is loaded ("Open" without it).
LC_ALL=C grep -q '[^ -~]' <<<"$dialog_title" || fail "the file dialog's title is \"$dialog_title\""
timeout 10 xdotool key --window "$dialog" Escape
dialog_closed() { ! timeout 5 xdotool search --onlyvisible --pid "$sarn_pid" | grep -qvx "$window"; }
wait_for 15 dialog_closed || fail "the file dialog did not close on Escape"

echo "-- 測定を保存… (Ctrl+Shift+S), the window closed, sarn started again, 測定を開く… (Ctrl+O)"
saved=$work/span.sarn.json
# choose_file PATH: in the file dialog that opens, types PATH over the name
# offered and accepts it (a second Return when the first only closed the
# name completion's list).
choose_file() {
  wait_for 30 find_dialog || fail "no file dialog opened"
  sleep 0.5
  timeout 10 xdotool windowactivate --sync "$dialog" key ctrl+a type --delay 5 "$1" ||
    fail "xdotool could not type into the file dialog"
  sleep 0.3
  timeout 10 xdotool key Return || fail "xdotool could not accept the file"
  sleep 0.5
  if find_dialog; then timeout 10 xdotool key Return; fi
}
timeout 10 xdotool windowactivate --sync "$window" key ctrl+shift+s || fail "xdotool: Ctrl+Shift+S"
wait_for 30 find_dialog || fail "Ctrl+Shift+S opened no dialog"
sleep 1
timeout 20 import -window root "$artifact_dir/save_dialog.png" ||
  echo "   (no screenshot: import failed)"
echo "   dialog \"$(timeout 5 xdotool getwindowname "$dialog")\"; screenshot" \
     "$artifact_dir/save_dialog.png"
choose_file "$saved"
wait_for 15 test -s "$saved" || fail "no measurement file $saved"
wait_for 15 dialog_closed || fail "a box stayed open after saving"
grep -q '"version"' "$saved" || fail "$saved is not a saved measurement"
# Closed through the window manager (openbox's Alt+F4), as a user closes it.
timeout 10 xdotool windowactivate --sync "$window" key alt+F4 || fail "xdotool: Alt+F4"
ended() { [ ! -d "/proc/$sarn_pid" ] || grep -q '^[^)]*) Z' "/proc/$sarn_pid/stat"; }
wait_for 30 ended || fail "sarn did not end when its window was closed"
wait "$sarn_pid" || fail "sarn ended with status $? when its window was closed"
# The clipboard went with the window; only the reopened one can fill it again.
if timeout 5 xclip -selection clipboard -target UTF8_STRING -o >"$work/closed.txt" 2>/dev/null &&
  [ -s "$work/closed.txt" ]; then
  fail "the clipboard still holds text after sarn ended"
fi
start_sarn reopen.log
last="" steady=0
wait_for 30 steady_in maximised 3 || fail "the new window did not open maximised"
timeout 10 xdotool windowactivate --sync "$window" key ctrl+o || fail "xdotool: Ctrl+O"
choose_file "$saved"
wait_for 60 clipboard_changed || fail "the reopened measurement put no result text on the clipboard"
if ! cmp -s "$work/window.txt" "$work/measure.txt"; then
  diff <(od -c "$work/window.txt") <(od -c "$work/measure.txt")
  fail "the reopened measurement's clipboard differs from the first window's"
fi
last="" steady=0
wait_for 60 steady_in normal 10 || fail "the reopened window did not settle (last: $last)"
find_dialog && fail "a box opened with the measurement: $(xdotool getwindowname "$dialog")"
timeout 20 import -window root "$artifact_dir/reopened.png" || echo "   (no screenshot: import failed)"
[ "$(geometry "$window")" = "$inner_x $inner_y $inner_width $inner_height" ] ||
  fail "the reopened window is at $(geometry "$window"), not $inner_x $inner_y $inner_width $inner_height"
echo "   the same clipboard text; screenshot $artifact_dir/reopened.png"

echo "-- untick 上下を削除 (Check4, at 4,52 in the bottom panel)"
timeout 10 xdotool mousemove --sync --window "$window" 12 $((inner_height - 75 + 60)) click 1 ||
  fail "xdotool could not click"
outer_height() {
  local x y w h
  read -r x y w h <<<"$(geometry "$window")"
  read -r _ _ frame_top frame_bottom <<<"$(frame_extents "$window")"
  echo $((h + frame_top + frame_bottom)) $((y - frame_top))
}
grown() {
  read -r height top <<<"$(outer_height)"
  [ "$height" -eq "$max_outer_height" ] && [ "$top" -eq 0 ]
}
wait_for 60 grown ||
  fail "outer height $height at top $top, not the maximised outer height $max_outer_height at 0"
echo "   outer height $height, the maximised window's"
echo "PASS: window placed at 0,0, ${inner_width} px wide inside; clipboard equals sarn measure;" \
     "a click changes nothing; the file dialog speaks Japanese; a saved measurement reopened" \
     "in a new window gives the same clipboard; the whole photo fills the maximised height"
