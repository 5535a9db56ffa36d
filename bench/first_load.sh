#!/usr/bin/env bash
# The first load of a photo as a user meets it: whole fresh processes of
# `sarn measure PHOTO --line ...` (default settings: limit 5000, cut on)
# against `djpeg -outfile /dev/null PHOTO`, a plain full decode of the same
# file by libjpeg-turbo, alternated round by round on the same machine.
#
#   bench/first_load.sh [BUILD_DIR] [ROUNDS]      (defaults: build-rel, 15)
#   SARN=other/sarn bench/first_load.sh ...        times another sarn binary
#
# The photos are the sample span scene rendered at 6000 x 4000 and 8000 x 6000
# with camera noise (sigma 4 grey levels), JPEG quality 90, 4:2:0 chroma, and
# the 6000 x 4000 one stored turned a quarter with EXIF Orientation 6. Each
# process is started and reaped by a small Python runner (wait4), which gives
# its wall time, its CPU time (user + system) and its peak resident memory.
# Printed per photo: the median of the per-round wall-time ratios
# sarn / djpeg, the same for CPU time (the steadier figure when other work
# shares the machine; on an idle machine the two agree), the median times in
# ms, and sarn's median peak RSS in MB.
#
# Then the same in the window, when bench/window_load_bench is built and Xvfb
# and openbox are installed: one fresh window process per round, on a
# private Xvfb screen with openbox, from the moment the chosen file's path is
# handed to the window to the overview painted and flushed to the display (the
# first photo of the session; the start-up before the choice is not counted),
# against the same djpeg runs. Peak RSS is then that of the whole window.
set -euo pipefail

build=${1:-build-rel}
rounds=${2:-15}
sarn=${SARN:-$build/sarn}
render="$build/tests/support/sarn_render_sample"
for tool in "$sarn" "$render"; do
  [[ -x "$tool" ]] || { echo "first_load: $tool is missing (build sarn, sarn_data and sarn_render_sample)" >&2; exit 2; }
done
command -v djpeg >/dev/null || { echo "first_load: djpeg is missing (libjpeg-turbo-progs)" >&2; exit 2; }
command -v python3 >/dev/null || { echo "first_load: python3 is missing" >&2; exit 2; }

work=$(mktemp -d)
# The window remembers its photos in XDG_CONFIG_HOME: not the user's.
export XDG_CONFIG_HOME=$work/config
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The window part on its own X server, when it can run.
window_bench="$build/bench/window_load_bench"
display=""
if [[ -x "$window_bench" ]] && command -v Xvfb >/dev/null && command -v openbox >/dev/null; then
  # Xvfb picks a free display number and writes it once it accepts clients.
  Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp 9>"$work/display" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 150); do [[ -s $work/display ]] && break; sleep 0.1; done
  [[ -s $work/display ]] || { echo "first_load: Xvfb did not start" >&2; exit 2; }
  display=:$(head -n1 "$work/display")
  DISPLAY=$display openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
else
  echo "first_load: the window figure needs $window_bench, Xvfb and openbox; skipped" >&2
fi

for size in 6000x4000 8000x6000; do
  "$render" --size "${size%x*}" "${size#*x}" "$work/span$size.jpg" --quality 90 --noise 4 \
    >"$work/span$size.line"
done
# The 24 MP photo as a phone held upright-turned stores it: its blocks turned
# losslessly (stored 4000 x 6000) and tagged EXIF Orientation 6.
"$render" --size 6000 4000 "$work/span6000x4000-o6.jpg" --quality 90 --noise 4 --orientation 6 \
  >"$work/span6000x4000-o6.line"

python3 - "$sarn" "$rounds" "$work" "$window_bench" "$display" "$build/SetDT.dat" <<'EOF'
import os, statistics, subprocess, sys, time

sarn, rounds, work, window_bench, display, setdt = sys.argv[1:7]
rounds = int(rounds)

def run(cmd, env=None):
    """Wall ms, CPU ms (user + system), peak RSS MB of one whole process, and
    what it printed."""
    start = time.perf_counter_ns()
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    wall = (time.perf_counter_ns() - start) / 1e6
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit(f"first_load: failed ({proc.returncode}): {' '.join(cmd)}\n"
                 + proc.stderr.read().decode(errors="replace"))
    proc.stdout.close()
    proc.stderr.close()
    return wall, (usage.ru_utime + usage.ru_stime) * 1e3, usage.ru_maxrss / 1024, out

def run_window(photo):
    """The window's in-process wall and CPU ms from the chosen file to the
    painted overview, and the window process's peak RSS MB."""
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    _, _, rss, out = run([window_bench, photo, setdt], env)
    wall, cpu = (float(v) for v in out.split())
    return wall, cpu, rss

med = statistics.median

def table(title, name, measure):
    """Alternates `measure(photo)` (wall ms, CPU ms, RSS MB) with djpeg on
    each photo and prints the medians."""
    if title:
        print(f"\n{title}")
    print(f"{'photo':<12} {'ratio':>6} {'cpu ratio':>9} {name + ' ms':>9} {'djpeg ms':>8} "
          f"{name + ' cpu':>9} {'djpeg cpu':>9} {'RSS MB':>7}")
    for size in ("6000x4000", "6000x4000-o6", "8000x6000"):
        photo = f"{work}/span{size}.jpg"
        djpeg_cmd = ["djpeg", "-outfile", "/dev/null", photo]
        measure(photo)  # unmeasured: the file, libraries and fonts in the page cache
        run(djpeg_cmd)
        rows = [(measure(photo), run(djpeg_cmd)) for _ in range(rounds)]
        print(f"{size:<12} {med(s[0] / d[0] for s, d in rows):6.2f} "
              f"{med(s[1] / d[1] for s, d in rows):9.2f} "
              f"{med(s[0] for s, _ in rows):9.1f} {med(d[0] for _, d in rows):8.1f} "
              f"{med(s[1] for s, _ in rows):9.1f} {med(d[1] for _, d in rows):9.1f} "
              f"{med(s[2] for s, _ in rows):7.1f}")

def run_measure(photo):
    line = open(photo.replace(".jpg", ".line")).read().strip()
    return run([sarn, "measure", photo, "--line", line])[:3]

table("", "sarn", run_measure)
if display:
    table("in the window, the first photo: chosen file to painted overview", "window",
          run_window)
EOF
