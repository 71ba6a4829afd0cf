#!/usr/bin/env bash
# One benchmark docking: run_case.sh INSTALL OUT INDEX X Y HEADING LATENCY
# Prints one result line: index x y heading latency status failure time final_x final_y final_heading
set -uo pipefail
install=$1 out=$2 i=$3 x=$4 y=$5 h=$6 lat=$7
root=$(cd "$(dirname "$0")/../.." && pwd)
dir="$out/run_$i"
ROS_DOMAIN_ID=$((150 + i % 50)) DOCK_QUIET=1 DOCK_TIMEOUT=100 \
  timeout -s INT 180 "$root/docking_demo/closed_loop/run_docking.sh" "$install" "$dir" \
  -p "start_x:=$x" -p "start_y:=$y" -p "start_heading:=$h" -p "perception_latency:=$lat" \
  -p "seed:=$((i + 1))" >/dev/null 2>"$dir.err"
# A missing figure shows as "-", so every line keeps its 11 fields.
val() {
  local v
  v=$(sed -n "s/^$1=//p" "$dir/summary.txt" 2>/dev/null)
  echo "${v:--}"
}
echo "$i $x $y $h $lat $(val status) $(val failure) $(val time_to_dock) $(val final_x)" \
  "$(val final_y) $(val final_heading)"
