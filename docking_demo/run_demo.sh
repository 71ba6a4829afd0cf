#!/usr/bin/env bash
# The demo: a docking in the simulator from the default start pose asked of the
# docking server's dock action (up to three attempts), then its undock action, then a
# summary and a picture of the path. Run through `make demo`.
#   run_demo.sh INSTALL_DIR [OUT_DIR]      (INSTALL_DIR: the colcon install base)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
install=${1:-$root/install}
out=${2:-$root/out/demo}
export ROS_DOMAIN_ID=${ROS_DOMAIN_ID:-200}
loop="$install/docking_demo/share/docking_demo/closed_loop"
[ -x "$loop/run_closed_loop.sh" ] || { echo "$loop/run_closed_loop.sh is missing: build first" >&2; exit 2; }

echo "docking demo on ROS_DOMAIN_ID $ROS_DOMAIN_ID, output in $out"
set +e
"$loop/run_closed_loop.sh" --start docking_server ';' \
  --supervisor dock=docking_server/docking_client dock ';' \
  --after undock=docking_server/docking_client undock ';' "$install" "$out"
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
undock=$(val undock_began)
gnuplot -e "csv='$out/trajectory.csv'; events='$out/events.dat'; png='$out/docking.png'; \
heading='align_controller docking in docking_sim, then the undock: $(val result | sed 's/;.*//')' \
${undock:+; undock=$undock}" "$loop/plot_docking.gp"

echo
echo "=== docking summary ==="
echo "result:                 $(val result)"
for k in $(seq "$(val attempts)"); do
  read -r end _ <<<"$(val "attempt_${k}_end")"
  read -r x y h <<<"$(val "attempt_${k}_stood")"
  printf '%-24s%s, stopped at x %s cm, %s cm off the axis, heading %s deg\n' \
    "attempt $k:" "${end:-no result}" "$(cm "$x")" "$(cm "$y")" "$(deg "$h")"
done
if [ "$status" -eq 0 ]; then
  echo "time to dock:           docked bounds reached $(val reached_docked_bounds) s after the" \
    "first attempt began"
fi
echo "final lateral error:    $(cm "$(val final_y)") cm"
echo "final heading error:    $(deg "$(val final_heading)") deg"
echo "final distance x:       $(cm "$(val final_x)") cm from the station origin"
echo "distance backed off:    $(cm "$(val backed_off)") cm"
echo "distance pushed:        $(cm "$(val pushed)") cm"
if [ -n "$(val undock_began)" ]; then
  echo "undock:                 $(cm "$(val undocked_distance)") cm forward, to x $(cm \
    "$(val undocked_x)") cm, $(cm "$(val undocked_y)") cm off the axis"
fi
echo "undock result:          $(grep -v -E '^ *[0-9.]+ s  ' "$out/undock.log" | tail -n 1)"
echo "picture:                $out/docking.png"
echo "logs:                   $out/{align_controller,docking_sim,docking_server,dock,undock}.log"
exit "$status"
