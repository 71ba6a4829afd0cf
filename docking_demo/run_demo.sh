#!/usr/bin/env bash
# The demo: a docking in the simulator from the default start pose, with up to
# three attempts, then a summary and a picture of the path. Run through `make demo`.
#   run_demo.sh INSTALL_DIR [OUT_DIR]      (INSTALL_DIR: the colcon install base)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
install=${1:-$root/install}
out=${2:-$root/out/demo}
export ROS_DOMAIN_ID=${ROS_DOMAIN_ID:-200}
loop="$root/docking_demo/closed_loop"

echo "docking demo on ROS_DOMAIN_ID $ROS_DOMAIN_ID, output in $out"
set +e
"$loop/run_docking.sh" "$install" "$out"
status=$?
set -e
if [ "$status" -eq 130 ]; then
  echo "interrupted: everything the demo started is stopped" >&2
  exit 130
fi
[ -f "$out/summary.txt" ] || { echo "the docking run did not complete" >&2; exit 1; }

val() { sed -n "s/^$1=//p" "$out/summary.txt"; }
deg() { awk -v r="$1" 'BEGIN { printf "%.1f", r * 57.29577951308232 }'; }
cm() { awk -v m="$1" 'BEGIN { printf "%.1f", m * 100 }'; }
gnuplot -e "csv='$out/trajectory.csv'; events='$out/events.dat'; png='$out/docking.png'; \
heading='align_controller docking in docking_sim: $(val result | sed 's/: 1 .*//')'" \
  "$loop/plot_docking.gp"

echo
echo "=== docking summary ==="
echo "result:                 $(val result)"
for k in $(seq "$(val attempts)"); do
  read -r end took <<<"$(val "attempt_${k}_end")"
  read -r x y h <<<"$(val "attempt_${k}_stood")"
  printf '%-24s%s after %s s, stopped at x %s cm, %s cm off the axis, heading %s deg\n' \
    "attempt $k:" "${end:-no result}" "${took:--}" "$(cm "$x")" "$(cm "$y")" "$(deg "$h")"
done
if [ "$status" -eq 0 ]; then
  echo "time to dock:           $(val time_to_dock) s from the first request to the result" \
    "(docked bounds reached $(val reached_docked_bounds) s after the first attempt began)"
fi
echo "final lateral error:    $(cm "$(val final_y)") cm"
echo "final heading error:    $(deg "$(val final_heading)") deg"
echo "final distance x:       $(cm "$(val final_x)") cm from the station origin"
echo "distance backed off:    $(cm "$(val backed_off)") cm"
echo "distance pushed:        $(cm "$(val pushed)") cm"
echo "picture:                $out/docking.png"
echo "logs:                   $out/{align_controller,docking_sim,align_request}.log"
exit "$status"
