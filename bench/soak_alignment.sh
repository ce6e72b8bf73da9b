#!/usr/bin/env bash
# Long-run check of the alignment loop (not part of CI): runs it against
# kelvt-sim with a moving beam pattern and samples the memory (VmRSS) and the
# open file descriptors of the process running the loop, then says whether
# both stayed flat.
#
# Usage: bench/soak_alignment.sh [options]
#   -b DIR   build folder holding src/sim/kelvt-sim and the loop's program
#            (default: build-rel; a RelWithDebInfo build without sanitizers
#            gives figures that mean something)
#   -m MIN   minutes to run (default 10)
#   -i SEC   seconds between samples (default 10)
#   -c SEC   seconds per alignment command in the desktop tool (default 60)
#   --cli    run `kelvt-cli beams --watch` instead of the desktop tool's
#            alignment command (bench/kelvt-soak-alignment, offscreen)
# Build first, e.g.:
#   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVT_BUILD_TESTS=OFF
#   cmake --build build-rel --target kelvt-sim kelvt-soak-alignment kelvt-cli
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-rel
minutes=10
interval=10
cycle=60
mode=gui
while [ $# -gt 0 ]; do
  case $1 in
    -b) build=$2; shift 2 ;;
    -m) minutes=$2; shift 2 ;;
    -i) interval=$2; shift 2 ;;
    -c) cycle=$2; shift 2 ;;
    --cli) mode=cli; shift ;;
    -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
    *) echo "soak_alignment.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
case $build in /*) ;; *) build=$root/$build ;; esac

sim=$build/src/sim/kelvt-sim
gui=$build/bench/kelvt-soak-alignment
cli=$build/src/cli/kelvt-cli
[ -x "$sim" ] || { echo "soak_alignment.sh: no $sim (build kelvt-sim)" >&2; exit 2; }
if [ $mode = gui ]; then
  [ -x "$gui" ] || { echo "soak_alignment.sh: no $gui (build kelvt-soak-alignment)" >&2; exit 2; }
else
  [ -x "$cli" ] || { echo "soak_alignment.sh: no $cli (build kelvt-cli)" >&2; exit 2; }
fi

work=$(mktemp -d)
sim_pid=""
loop_pid=""
cleanup() {
  [ -n "$loop_pid" ] && kill "$loop_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# 32 beams, an object four beams wide crossing the curtain: the map changes
# on almost every scan, so every scan redraws.
"$sim" --link "$work/ttyKT" --boards EG,EG,RG,RG --moving 4 --speed 10 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do [ -e "$work/ttyKT" ] && break; sleep 0.1; done
[ -e "$work/ttyKT" ] || { echo "soak_alignment.sh: kelvt-sim did not start" >&2; cat "$work/sim.err" >&2; exit 1; }

seconds=$((minutes * 60))
export XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
if [ $mode = gui ]; then
  QT_QPA_PLATFORM=offscreen "$gui" "$work/ttyKT" "$seconds" "$cycle" >"$work/loop.out" 2>"$work/loop.err" &
  loop_pid=$!
  what="desktop tool's alignment command (offscreen), $cycle s per command"
else
  "$cli" -d "$work/ttyKT" beams --watch --filter both >/dev/null 2>"$work/loop.err" &
  loop_pid=$!
  what="kelvt-cli beams --watch"
fi

echo "Soak: $what against kelvt-sim --moving 4 for $minutes min, a sample every $interval s"
printf '%8s %10s %5s\n' "time/s" "VmRSS/kB" "fds"
samples="$work/samples"
: >"$samples"
start=$(date +%s)
while kill -0 "$loop_pid" 2>/dev/null; do
  now=$(( $(date +%s) - start ))
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$loop_pid/status" 2>/dev/null || true)
  fds=$(ls "/proc/$loop_pid/fd" 2>/dev/null | wc -l || true)
  if [ -n "$rss" ]; then
    printf '%8d %10d %5d\n' "$now" "$rss" "$fds"
    echo "$now $rss $fds" >>"$samples"
  fi
  if [ $mode = cli ] && [ "$now" -ge "$seconds" ]; then
    kill -INT "$loop_pid" 2>/dev/null || true
  fi
  sleep "$interval"
done
status=0
wait "$loop_pid" || status=$?
loop_pid=""
[ $mode = gui ] && tail -n 1 "$work/loop.out"
# The offscreen platform's note about window size hints is noise here.
grep -v 'does not support propagateSizeHints' "$work/loop.err" >"$work/loop.err2" || true
if [ -s "$work/loop.err2" ]; then
  echo "-- its standard error:"
  tail -n 20 "$work/loop.err2"
fi

# Flat: after a warm-up of a sixth of the run, the last third's highest RSS
# is within max(1 MB, 2 %) of the highest before it, the fitted slope is
# small, and no more descriptors are open at the end than during the run.
awk -v status="$status" '
  BEGIN { n = 0 }
  { t[n] = $1; r[n] = $2; f[n] = $3; n++ }
  END {
    if (n < 6) { print "too few samples"; exit 1 }
    w = int(n / 6); third = int(n * 2 / 3)
    early = 0; late = 0; fmin = 1e9; fmax = 0; fearly = 0; flate = 0
    for (i = w; i < n; i++) {
      if (i < third) { if (r[i] > early) early = r[i]; if (f[i] > fearly) fearly = f[i] }
      else { if (r[i] > late) late = r[i]; if (f[i] > flate) flate = f[i] }
      if (f[i] < fmin) fmin = f[i]; if (f[i] > fmax) fmax = f[i]
      sx += t[i]; sy += r[i]; sxx += t[i] * t[i]; sxy += t[i] * r[i]; m++
    }
    slope = (m * sxy - sx * sy) / (m * sxx - sx * sx) * 60
    tol = early * 0.02; if (tol < 1024) tol = 1024
    rss_flat = (late - early) <= tol
    fd_flat = flate <= fearly
    printf "VmRSS: %d kB at start, %d kB highest after warm-up, %d kB highest in the last third; slope %.1f kB/min -> %s\n",
      r[0], early, late, slope, rss_flat ? "flat" : "GROWING"
    printf "fds:   %d..%d after warm-up, highest %d before and %d in the last third -> %s\n",
      fmin, fmax, fearly, flate, fd_flat ? "flat" : "GROWING"
    printf "loop exit status %d\n", status
    exit (rss_flat && fd_flat && status == 0) ? 0 : 1
  }' "$samples"
