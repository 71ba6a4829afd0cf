#!/usr/bin/env bash
# Docking benchmark: the closed loop over a grid of start poses and perception
# latencies, a few runs at a time on their own ROS_DOMAIN_IDs (150-199).
#   run_bench.sh INSTALL_DIR [OUT_DIR]      BENCH_JOBS (default 3) runs in parallel
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
install=$(cd "${1:-$root/install}" && pwd)
out=${2:-$root/out/bench_docking}
jobs=${BENCH_JOBS:-3}
mkdir -p "$out"
out=$(cd "$out" && pwd)

cases=()
i=0
latencies="0.05 0.3"
for lat in $latencies; do
  for x in 1.5 2.5; do
    for y in -0.3 0.0 0.3 0.8; do
      for h in -0.2 0.2; do
        cases+=("$i $x $y $h $lat")
        i=$((i + 1))
      done
    done
  done
done
echo "docking benchmark: ${#cases[@]} runs, $jobs at a time, output in $out"
printf '%s\n' "${cases[@]}" | xargs -P "$jobs" -L 1 "$here/run_case.sh" "$install" "$out" \
  | sort -n >"$out/results.txt"
awk -f "$here/report.awk" "$out/results.txt" | tee "$out/report.txt"
gnuplot -e "results='$out/results.txt'; png='$out/docking_bench.png'; lats='$latencies'" \
  "$here/plot_bench.gp"
echo "plot: $out/docking_bench.png"
