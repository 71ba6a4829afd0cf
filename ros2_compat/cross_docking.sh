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
runner=$ours/docking_demo/share/docking_demo/closed_loop/run_closed_loop.sh
[ -x "$runner" ] || { echo "skipped: no closed-loop runner in $ours"; exit 77; }
out=$repo/out/cross_docking
rm -rf "$out" && mkdir -p "$out"

# side ours|theirs PROGRAM: the runner's options that run PROGRAM of that side, on
# $domain, in an environment of that side alone.
side() {
  local setup=". '$ours/setup.sh'" install=$ours
  if [ "$1" = theirs ]; then
    setup=". '$ros2_env' && . '$theirs/setup.sh'" install=$theirs
  fi
  options+=(--exe "$2" "$install/$2/lib/$2/$2" --prefix "$2" env -i PATH=/usr/bin:/bin
    HOME="$HOME" ROS_DOMAIN_ID="$domain" bash -c "$setup && exec \"\$@\"" "$2" ';')
}

# One docking: the node of one side, simulator and supervisor of the other, the
# supervisor bounded in time.
#   dock NODE_SIDE TOOLS_SIDE DIR
dock() {
  options=(--supervisor align_request dock --timeout 400 --attempts 3 ';')
  side "$1" align_controller
  side "$2" docking_sim
  side "$2" align_request
  # A noiseless camera keeps the runs about the two stacks, not about perception.
  DOCK_QUIET=1 DOCK_DEADLINE=450 "$runner" "${options[@]}" "$ours" "$3" \
    -p perception_latency:=0.0 -p noise_xy:=0.0 -p noise_theta:=0.0 -p dropout:=0.0
}

failed=0
domain=220
for way in "ours theirs" "theirs ours"; do
  read -r node tools <<<"$way"
  docked=""
  for run in 1 2 3; do
    dir=$out/node_$node-$run
    if dock "$node" "$tools" "$dir"; then
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
