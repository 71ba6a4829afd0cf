#!/usr/bin/env bash
# The client layer against the one before the colcon workspace (the commit
# below, hand-written messages over idlc's C types): builds that tree's
# bench_client_layer, runs the two alternately and prints the figures side by
# side, each the median over the rounds.
#
#   compare.sh [install-dir] [messages] [rounds]     (install, 500, 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
install=$(cd "${1:-$root/install}" && pwd)
messages=${2:-500}
rounds=${3:-5}
baseline_commit=53092a8
out=$root/out/bench_client_layer
new=$install/align_controller_bench/lib/align_controller_bench/bench_client_layer
old=$out/baseline/build/bench/bench_client_layer
export ROS_DOMAIN_ID=${ROS_DOMAIN_ID:-210}

[ -x "$new" ] || { echo "no $new: run make build first" >&2; exit 1; }
# That tree holds CMake packages of the same names: colcon must not see them.
mkdir -p "$out"
touch "$out/COLCON_IGNORE"
if [ "$(cat "$out/baseline/commit" 2>/dev/null)" != "$baseline_commit" ]; then
  rm -rf "$out/baseline"
  mkdir -p "$out/baseline/src"
  git -C "$root" archive "$baseline_commit" | tar -x -C "$out/baseline/src"
  echo "$baseline_commit" >"$out/baseline/commit"
fi
cmake -S "$out/baseline/src" -B "$out/baseline/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out/baseline/build" --target bench_client_layer -j2 >/dev/null

# One line per run: layer, latency median and p99 (us), empty spin_some (ns).
runs=$out/runs.txt
: >"$runs"
for round in $(seq "$rounds"); do
  for layer in old new; do
    bin=$old
    [ "$layer" = new ] && bin=$new
    text=$("$bin" "$messages")
    echo "round $round $layer: $(echo "$text" | tr '\n' ' ')"
    echo "$text" | awk -v layer="$layer" '
      /one-way latency/ { for (i = 1; i <= NF; ++i) { if ($i == "median") m = $(i + 1); if ($i == "p99") p = $(i + 1) } }
      /empty spin_some/ { for (i = 1; i <= NF; ++i) if ($i == "ns") s = $(i - 1) }
      END { print layer, m, p, s }' >>"$runs"
  done
done

awk -v commit="$baseline_commit" '
  function median(layer, col,   n, i, j, t, v) {
    n = 0
    for (i = 1; i <= NR; ++i) if (rows[i, 1] == layer) v[++n] = rows[i, col]
    for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  { for (i = 1; i <= NF; ++i) rows[NR, i] = $i }
  END {
    printf "\n%-30s %12s %12s %8s\n", "median of " NR / 2 " runs each", "old " commit, "new", "new/old"
    split("latency median (us)|latency p99 (us)|empty spin_some (ns)", name, "|")
    for (c = 2; c <= 4; ++c) {
      o = median("old", c); n = median("new", c)
      printf "%-30s %12.1f %12.1f %8.2f\n", name[c - 1], o, n, n / o
    }
  }' "$runs"
