#!/usr/bin/env bash
# One benchmark docking, up to three attempts:
#   run_case.sh INSTALL OUT INDEX X Y HEADING LATENCY DELAY
# Prints one result line: index x y heading latency delay status failure time
# attempts first_end final_x final_y final_heading farthest_blind
# BENCH_NODE_ARGS: more arguments of align_controller (--ros-args -p lower_w_:=-0.1);
# BENCH_SUPERVISOR_ARGS: more options of align_request dock (--stage-first). Both are
# split into words at blanks.
set -uo pipefail
install=$1 out=$2 i=$3 x=$4 y=$5 h=$6 lat=$7 delay=$8
dir="$out/run_$i"
read -r -a node_args <<<"${BENCH_NODE_ARGS:-}"
read -r -a supervisor_args <<<"${BENCH_SUPERVISOR_ARGS:-}"
more=()
[ ${#node_args[@]} -eq 0 ] || more+=(--args align_controller "${node_args[@]}" ";")
[ ${#supervisor_args[@]} -eq 0 ] || more+=(--args align_request "${supervisor_args[@]}" ";")
ROS_DOMAIN_ID=$((150 + i % 50)) DOCK_QUIET=1 DOCK_TIMEOUT=100 DOCK_ATTEMPTS=3 \
  DOCK_NODE_DELAY=$delay timeout -s INT 400 \
  "$install/docking_demo/share/docking_demo/closed_loop/run_closed_loop.sh" "${more[@]}" \
  "$install" "$dir" -p "start_x:=$x" -p "start_y:=$y" -p "start_heading:=$h" \
  -p "perception_latency:=$lat" -p "seed:=$((i + 1))" >/dev/null 2>"$dir.err"
# A missing figure shows as "-", so every line keeps its 15 fields.
val() {
  local v
  v=$(sed -n "s/^$1=//p" "$dir/summary.txt" 2>/dev/null)
  v=${v%% *}
  echo "${v:--}"
}
echo "$i $x $y $h $lat $delay $(val status) $(val failure) $(val time_to_dock) $(val attempts)" \
  "$(val attempt_1_end) $(val final_x) $(val final_y) $(val final_heading) $(val farthest_blind)"
