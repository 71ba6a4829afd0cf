#!/usr/bin/env bash
# The client layer against the real rclcpp of ../shared/ros2-humble: the same latency
# probe (bench_client_layer) and the same align_controller, built against each, run in
# turns; each side in an environment of its own. Prints the median over the rounds of
# the one-way latency (median, p99) and of the idle node's RSS, threads and CPU.
#
#   versus_rclcpp.sh [our-install] [ros2-install] [rounds] [idle-seconds]
#                    (install, install-ros2, 3, 10)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
ours=$(cd "${1:-$root/install}" && pwd)
theirs=$(cd "${2:-$root/install-ros2}" && pwd)
rounds=${3:-3}
idle=${4:-10}
ros2_env=$root/../shared/ros2-humble/env.sh
[ -f "$ros2_env" ] || { echo "no ROS 2 Humble at $ros2_env" >&2; exit 1; }
export ROS_DOMAIN_ID=${ROS_DOMAIN_ID:-211}

# Runs a program of one side, in an environment of that side alone, in place of the
# calling (sub)shell, so that a background job's PID is the program's.
#   side ours|theirs PACKAGE PROGRAM [ARGS...]
side() {
  local setup=". '$ours/setup.sh'" install=$ours
  if [ "$1" = theirs ]; then
    setup=". '$ros2_env' && . '$theirs/setup.sh'" install=$theirs
  fi
  exec env -i PATH=/usr/bin:/bin HOME="$HOME" ROS_DOMAIN_ID="$ROS_DOMAIN_ID" \
    SPDLOG_STDOUT=false SPDLOG_SYSTEMD=false \
    bash -c "$setup && exec \"\$@\"" "$3" "$install/$2/lib/$2/$3" "${@:4}"
}

# clock ticks of user and system time of a process
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# One line per side and round: side, latency median and p99 (us), RSS (MB), threads, CPU (%).
runs=$(mktemp)
trap 'rm -f "$runs"' EXIT
hz=$(getconf CLK_TCK)
for round in $(seq "$rounds"); do
  for s in ours theirs; do
    latency=$(side "$s" align_controller_bench bench_client_layer 500 |
      awk '/one-way latency/ { for (i = 1; i <= NF; ++i) { if ($i == "median") m = $(i + 1); if ($i == "p99") p = $(i + 1) } }
           END { print m, p }')
    side "$s" align_controller align_controller >/dev/null 2>&1 &
    node=$!
    sleep 3  # start-up and discovery settle
    before=$(cpu_ticks "$node")
    sleep "$idle"
    after=$(cpu_ticks "$node")
    rss=$(awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$node/status")
    threads=$(awk '/^Threads/ { print $2 }' "/proc/$node/status")
    kill -INT "$node"
    wait "$node" 2>/dev/null || true
    cpu=$(awk -v t=$((after - before)) -v hz="$hz" -v s="$idle" 'BEGIN { printf "%.2f", 100 * t / hz / s }')
    echo "round $round $s: latency median/p99 $latency us, RSS $rss MB, $threads threads, idle CPU $cpu %" >&2
    echo "$s $latency $rss $threads $cpu" >>"$runs"
  done
done

# The median of the numbers on standard input, one per line.
median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf '\n| median of %d rounds | our layer | rclcpp 16.0.11 |\n|---|---|---|\n' "$rounds"
column=2
for name in "one-way latency median (us)" "one-way latency p99 (us)" "idle RSS (MB)" threads "idle CPU (%)"; do
  printf '| %s | %s | %s |\n' "$name" \
    "$(awk -v c=$column '$1 == "ours" { print $c }' "$runs" | median)" \
    "$(awk -v c=$column '$1 == "theirs" { print $c }' "$runs" | median)"
  column=$((column + 1))
done
