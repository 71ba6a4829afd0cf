#!/usr/bin/env bash
# The closed loop across the two stacks: our align_controller with docking_sim and
# align_request built against the real ROS 2 Humble, then the align_controller built
# against it with our docking_sim and align_request. Each way must dock within three
# runs, each on a fresh domain and bounded in time. Exit 0 both docked, 77 skipped.
#   cross_docking.sh REPO OUR_INSTALL [ROS2_INSTALL]     (default REPO/install-ros2)
set -uo pipefail
repo=$(cd "$1" && pwd) || exit
ours=$(cd "$2" && pwd) || exit
theirs=${3:-$repo/install-ros2}
ros2_env=$repo/../shared/ros2-humble/env.sh
[ -f "$ros2_env" ] || { echo "skipped: no ROS 2 Humble at $ros2_env"; exit 77; }
for install in "$ours" "$theirs"; do
  for pkg in align_controller docking_sim align_request; do
    [ -x "$install/$pkg/lib/$pkg/$pkg" ] || { echo "skipped: no $pkg in $install"; exit 77; }
  done
done
out=$repo/out/cross_docking
rm -rf "$out" && mkdir -p "$out"

# Sets cmd to the command line that runs a program of one side in an environment of
# that side alone.
#   side ours|theirs DOMAIN PACKAGE
side() {
  local setup=". '$ours/setup.sh'" install=$ours
  if [ "$1" = theirs ]; then
    setup=". '$ros2_env' && . '$theirs/setup.sh'" install=$theirs
  fi
  cmd=(env -i PATH=/usr/bin:/bin HOME="$HOME" ROS_DOMAIN_ID="$2"
    SPDLOG_STDOUT=true SPDLOG_SYSTEMD=false SPDLOG_LEVEL=info
    bash -c "$setup && exec \"\$@\"" "$3" "$install/$3/lib/$3/$3")
}

# Supervisor retries where align_request offers them.
request=(dock --timeout 120)
side ours 0 align_request
if "${cmd[@]}" --help 2>&1 | grep -q -- '--attempts'; then
  request=(dock --timeout 400 --attempts 3)
fi

pids=()
stop_all() {
  [ ${#pids[@]} -gt 0 ] || return 0
  kill -INT "${pids[@]}" 2>/dev/null
  local pid
  for pid in "${pids[@]}"; do
    timeout 5 tail --pid="$pid" -f /dev/null
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  pids=()
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# One docking: the node of one side, simulator and supervisor of the other.
#   dock NODE_SIDE TOOLS_SIDE DOMAIN DIR
dock() {
  local dir=$4
  mkdir -p "$dir"
  # A noiseless camera keeps the runs about the two stacks, not about perception.
  side "$2" "$3" docking_sim
  "${cmd[@]}" --ros-args -p perception_latency:=0.0 -p noise_xy:=0.0 -p noise_theta:=0.0 \
    -p dropout:=0.0 >"$dir/docking_sim.log" 2>&1 &
  pids+=($!)
  side "$1" "$3" align_controller
  "${cmd[@]}" >"$dir/align_controller.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q '^docking_sim: robot at' "$dir/docking_sim.log" && break
    sleep 0.1
  done
  side "$2" "$3" align_request
  timeout -s INT 450 "${cmd[@]}" "${request[@]}" >"$dir/align_request.log" 2>&1
  local status=$?
  stop_all
  return $status
}

failed=0
domain=220
for way in "ours theirs" "theirs ours"; do
  read -r node tools <<<"$way"
  docked=""
  for run in 1 2 3; do
    dir=$out/node_$node-$run
    if dock "$node" "$tools" "$domain" "$dir"; then
      docked="run $run, domain $domain: $(tail -n 1 "$dir/align_request.log")"
    fi
    domain=$((domain + 1))
    [ -n "$docked" ] && break
  done
  if [ -n "$docked" ]; then
    echo "node of $node, simulator and supervisor of $tools: docked ($docked)"
  else
    echo "node of $node, simulator and supervisor of $tools: no docking in 3 runs; logs in $out"
    tail -n 3 "$out"/node_"$node"-*/align_request.log
    failed=1
  fi
done
exit $failed
