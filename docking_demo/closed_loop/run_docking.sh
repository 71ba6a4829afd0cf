#!/usr/bin/env bash
# One closed-loop docking: docking_sim and align_controller on the current
# ROS_DOMAIN_ID, a dock request through align_request, then both stopped.
#   run_docking.sh INSTALL_DIR OUT_DIR [-p name:=value ...]   (docking_sim parameters)
# Leaves the logs, trajectory.csv and summary.txt in OUT_DIR; exits with
# align_request's status (0 docked, 1 failure reported, 2 no result).
# DOCK_ATTEMPTS: align_request's --attempts (default 3); DOCK_TIMEOUT: its
# --timeout for each result (default 120 s); DOCK_NODE_DELAY: seconds between
# the simulator's start and the controller's, which sets the phase of the
# controller's loop against the camera (default 0).
# With DOCK_ENCLAVES set each program runs in the security enclave /<program>.
set -euo pipefail
install=$(cd "$1" && pwd)
out=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
# Simulated runs stay on loopback whatever profile the environment names.
export CYCLONEDDS_URI="file://$install/dds_config/share/dds_config/cyclonedds-localhost.xml"
timeout=${DOCK_TIMEOUT:-120}
attempts=${DOCK_ATTEMPTS:-3}
# Installed as `ros2 run` finds them: INSTALL_DIR/<package>/lib/<package>/<program>.
program() { echo "$install/$1/lib/$1/$1"; }
sim_enclave=() controller_args=() request_args=()
if [ -n "${DOCK_ENCLAVES:-}" ]; then
  sim_enclave=(--enclave /docking_sim)
  controller_args=(--ros-args --enclave /align_controller)
  request_args=(--ros-args --enclave /align_request)
fi
for pkg in docking_sim align_controller align_request; do
  [ -x "$(program $pkg)" ] || { echo "$(program $pkg) is missing: build first" >&2; exit 2; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/{docking_sim.log,align_controller.log,align_request.log,trajectory.csv,events.dat,summary.txt}
: >"$out/align_controller.log"

pids=()
. "$here/stop_programs.sh"
trap stop_programs EXIT
trap 'exit 130' INT TERM

"$(program docking_sim)" --ros-args "${sim_enclave[@]}" \
  -p "trajectory_csv:=$out/trajectory.csv" -p "controller_log:=$out/align_controller.log" "$@" \
  >"$out/docking_sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  grep -q '^docking_sim: robot at' "$out/docking_sim.log" && break
  kill -0 "${pids[0]}" 2>/dev/null || { cat "$out/docking_sim.log" >&2; exit 2; }
  sleep 0.1
done
sleep "${DOCK_NODE_DELAY:-0}"
SPDLOG_STDOUT=true SPDLOG_SYSTEMD=false SPDLOG_LEVEL=info \
  "$(program align_controller)" "${controller_args[@]}" \
  >"$out/align_controller.log" 2>&1 &
pids+=($!)

set +e
"$(program align_request)" dock --attempts "$attempts" --timeout "$timeout" "${request_args[@]}" \
  | tee "$out/align_request.log" | sed -u "${DOCK_QUIET:+d}"
status=${PIPESTATUS[0]}
set -e
sleep 1  # a little of the trajectory at rest after the result
stop_programs

# How each attempt ended, in order: the controller's end lines, the supervisor's durations.
ends=$(grep -o -E 'docking finish!|docking failed \*|docking timeout' "$out/align_controller.log" |
  sed 's/docking finish!/docked/; s/docking failed \*/big_error/; s/docking timeout/timeout/')
durations=$(sed -n -E 's/^(docked|docking failed|unexpected result).* after ([0-9.]+) s$/\2/p' \
  "$out/align_request.log")
{
  echo "status=$status"
  echo "result=$(tail -n 1 "$out/align_request.log")"
  echo "time_to_dock=$(sed -n -E 's/^docked at attempt .*, ([0-9.]+) s after the first request:.*/\1/p;
    s/^docked: .* after ([0-9.]+) s$/\1/p' "$out/align_request.log" | tail -n 1)"
  kind=none
  if [ "$status" -ne 0 ]; then
    kind=$(echo "$ends" | tail -n 1)
    grep -q '^retry refused: perception' "$out/align_request.log" && kind=retry_refused
    grep -q '^back-off stopped' "$out/align_request.log" && kind=backoff_stopped
    [ "$status" -eq 2 ] && kind=no_result
  fi
  echo "failure=${kind:-none}"
  paste -d ' ' <(echo "$ends") <(echo "$durations") | awk 'NF { printf "attempt_%d_end=%s %s\n", NR, $1, $2 }'
  awk -f "$here/summarize.awk" -v events="$out/events.dat" "$out/trajectory.csv"
} >"$out/summary.txt"
exit "$status"
