#!/usr/bin/env bash
# The client layer against the real rclcpp of ../shared/ros2-humble: the same latency
# probes (bench_client_layer, bench_action_latency) and the same align_controller, built
# against each, run in turns; each side in an environment of its own. Prints the median
# over the rounds of the one-way latency (median, p99), of the action goal-accept round
# trip and feedback latency (median, p99) and of the idle node's RSS, threads and CPU,
# with the ratio of ours to rclcpp's.
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

# One line per side and round: side, latency median and p99 (us), RSS (MB), threads, CPU (%),
# goal accept median and p99, feedback latency median and p99 (us).
runs=$(mktemp)
trap 'rm -f "$runs"' EXIT
hz=$(getconf CLK_TCK)
for round in $(seq "$rounds"); do
  for s in ours theirs; do
    latency=$(side "$s" align_controller_bench bench_client_layer 500 |
      awk '/one-way latency/ { for (i = 1; i <= NF; ++i) { if ($i == "median") m = $(i + 1); if ($i == "p99") p = $(i + 1) } }
           END { print m, p }')
    action=$(side "$s" align_controller_bench bench_action_latency 200 |
      awk '{ for (i = 1; i <= NF; ++i) { if ($i == "median") m = $(i + 1); if ($i == "p99") p = $(i + 1) } }
           /goal accept/ { am = m; ap = p } /feedback one-way/ { fm = m; fp = p }
           END { print am, ap, fm, fp }')
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
    echo "round $round $s: latency median/p99 $latency us, RSS $rss MB, $threads threads, idle CPU $cpu %," \
      "goal accept and feedback median/p99 $action us" >&2
    echo "$s $latency $rss $threads $cpu $action" >>"$runs"
  done
done

# The median of the numbers on standard input, one per line.
median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf '\n| median of %d rounds | our layer | rclcpp 16.0.11 | ours / rclcpp |\n|---|---|---|---|\n' "$rounds"
column=2
for name in "one-way latency median (us)" "one-way latency p99 (us)" "idle RSS (MB)" threads \
  "idle CPU (%)" "action goal accept round trip median (us)" "action goal accept round trip p99 (us)" \
  "action feedback latency median (us)" "action feedback latency p99 (us)"; do
  mine=$(awk -v c=$column '$1 == "ours" { print $c }' "$runs" | median)
  real=$(awk -v c=$column '$1 == "theirs" { print $c }' "$runs" | median)
  ratio=$(awk -v a="$mine" -v b="$real" 'BEGIN { if (b + 0 == 0) print "-"; else printf "%.2f", a / b }')
  printf '| %s | %s | %s | %s |\n' "$name" "$mine" "$real" "$ratio"
  column=$((column + 1))
done
