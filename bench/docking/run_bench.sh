#!/usr/bin/env bash
# Docking benchmark: the closed loop, up to three attempts each, over a grid of
# start poses and perception latencies, each at BENCH_PHASES (default 2) seeded
# random delays of the controller's start, uniform over the 0.5 s in which its
# 6 Hz loop and the 10 Hz camera come back into phase; a few runs at a time on
# their own ROS_DOMAIN_IDs (150-199).
#   run_bench.sh INSTALL_DIR [OUT_DIR]      BENCH_JOBS (default 6) runs in parallel
# BENCH_POSES ("x,y,heading ..."; default a grid of 16) and BENCH_LATENCIES
# (default "0.05 0.3") choose other cases, e.g. the demo's start pose alone:
#   BENCH_POSES=1.8,0.3,0.15 BENCH_LATENCIES=0.05 BENCH_PHASES=20 run_bench.sh install
# BENCH_NODE_ARGS and BENCH_SUPERVISOR_ARGS give align_controller and align_request dock
# more arguments (run_case.sh), e.g. the lateral term saturated both ways:
#   BENCH_NODE_ARGS="--ros-args -p lower_w_:=-0.1" run_bench.sh install out/bench_symmetric
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
install=$(cd "${1:-$root/install}" && pwd)
out=${2:-$root/out/bench_docking}
jobs=${BENCH_JOBS:-6}
phases=${BENCH_PHASES:-2}
mkdir -p "$out"
out=$(cd "$out" && pwd)

grid=()
for x in 1.5 2.5; do
  for y in -0.3 0.0 0.3 0.8; do
    for h in -0.2 0.2; do grid+=("$x,$y,$h"); done
  done
done
read -r -a poses <<<"${BENCH_POSES:-${grid[*]}}"
latencies=${BENCH_LATENCIES:-0.05 0.3}
# The delays come from one seeded sequence, so a case keeps its delay from run to run.
read -r -a delays <<<"$(awk -v n=$((${#poses[@]} * $(wc -w <<<"$latencies") * phases)) \
  'BEGIN { srand(1); for (i = 0; i < n; i++) printf "%.3f ", 0.5 * rand() }')"
cases=()
i=0
for lat in $latencies; do
  for pose in "${poses[@]}"; do
    IFS=, read -r x y h <<<"$pose"
    for _ in $(seq "$phases"); do
      cases+=("$i $x $y $h $lat ${delays[$i]}")
      i=$((i + 1))
    done
  done
done
echo "docking benchmark: ${#cases[@]} runs, $jobs at a time, output in $out"
started=$SECONDS
printf '%s\n' "${cases[@]}" | xargs -P "$jobs" -L 1 "$here/run_case.sh" "$install" "$out" \
  | sort -n >"$out/results.txt"
{
  echo "align_controller: ${BENCH_NODE_ARGS:-its defaults}; align_request dock:" \
    "${BENCH_SUPERVISOR_ARGS:-its defaults}; ${#cases[@]} runs, $jobs at a time," \
    "$(((SECONDS - started) / 60)).$((((SECONDS - started) % 60) / 6)) minutes"
  awk -f "$here/report.awk" "$out/results.txt"
} | tee "$out/report.txt"
gnuplot -e "results='$out/results.txt'; png='$out/docking_bench.png'; lats='$latencies'" \
  "$here/plot_bench.gp"
echo "plot: $out/docking_bench.png"
