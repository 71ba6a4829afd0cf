#!/usr/bin/env bash
# Actions across the two stacks. The action test peer (one source,
# ros2_base/rclcpp_action/test/action_peer) is built against the real ROS 2 Humble
# (into build-ros2/ and install-ros2/, with the test action of wire_test_msgs) and
# runs against the one built on our layer: every client scenario runs first with
# the real client and the real server (the reference), then with the real client
# and our server, then with our client and the real server. The clients' transcripts
# must equal the reference line for line, the servers' the reference's lines in any
# order. Then the real `ros2 action` verbs run against our server and against the
# real one, each with an idle client of the same side: the same output once goal
# ids are masked.
#   action_compare.sh REPO_ROOT INSTALL_BASE     exit 0 equal, 1 differences, 77 skipped
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh" "$@"
domain=${ROS2_COMPAT_ACTION_DOMAIN:-222}
ros2_install=$repo/install-ros2
our_peer=$install/rclcpp_action/lib/rclcpp_action/action_peer
their_peer=$ros2_install/rclcpp_action_peer/lib/rclcpp_action_peer/action_peer
if [ ! -x "$our_peer" ]; then
  echo "skipped: rclcpp_action's test peer is not built in $install"
  exit 77
fi

if [ ! -x "$their_peer" ]; then
  echo "the action peer is not built against ROS 2 Humble in $ros2_install (make build-ros2)"
  exit 1
fi

# The real side also needs the workspace with the test action on top of ROS 2.
with_ws=(bash -c '. "$0/local_setup.sh" && exec "$@"' "$ros2_install")
# peer ours|theirs ARGS...: the peer of that side, bounded in time.
peer() {
  local side=$1
  shift
  if [ "$side" = theirs ]; then
    theirs "${with_ws[@]}" "$their_peer" "$@"
  else
    ours "$our_peer" "$@"
  fi
}
# start_server ours|theirs LOG ARGS...: sets server_pid; waits for its "ready".
start_server() {
  local side=$1 log=$2
  shift 2
  if [ "$side" = theirs ]; then
    time_limit=300 side_argv theirs "${with_ws[@]}" "$their_peer" server "$@"
  else
    time_limit=300 side_argv ours "$our_peer" server "$@"
  fi
  "${argv[@]}" >"$log" 2>&1 &
  server_pid=$!
  pids+=("$server_pid")
  for _ in $(seq 100); do
    grep -qx ready "$log" && return 0
    sleep 0.1
  done
  echo "the $side server did not start:" >&2
  cat "$log" >&2
  return 1
}
# stop_server LOG: once every accepted goal has ended (at most 10 s), SIGINT.
stop_server() {
  for _ in $(seq 100); do
    [ "$(grep -c '^accepted' "$1")" = "$(grep -c '^ended' "$1")" ] && break
    sleep 0.1
  done
  kill -INT "$server_pid" 2>/dev/null
  wait "$server_pid" 2>/dev/null
}

differences=0
compare() {
  local what=$1 reference=$2 other=$3
  if ! diff "$reference" "$other" >"$work/diff"; then
    differences=$((differences + 1))
    printf 'DIFFERENT: %s (< the real one, > %s)\n' "$what" "$4"
    sed 's/^/    /' "$work/diff"
  fi
}

# run_set NAME "SERVER ARGS" "SCENARIO [ACTION] [--ros-args...]"...: each pairing of
# sides runs the scenarios against one server of its own.
run_set() {
  local name=$1 server_args=$2
  shift 2
  local pairing server_side client_side scenario dir
  for pairing in theirs:theirs ours:theirs theirs:ours; do
    server_side=${pairing%:*} client_side=${pairing#*:}
    dir=$work/$name/$pairing
    mkdir -p "$dir"
    # shellcheck disable=SC2086 # the server's arguments are words
    start_server "$server_side" "$dir/server.log" $server_args || return 1
    for scenario in "$@"; do
      # shellcheck disable=SC2086
      peer "$client_side" client $scenario >>"$dir/client.log" 2>&1
      echo "exit $?" >>"$dir/client.log"
    done
    stop_server "$dir/server.log"
    grep -v -e signal_handler "$dir/server.log" | sort >"$dir/server.sorted"
    if [ "$pairing" != theirs:theirs ]; then
      local label="our server, real client"
      [ "$server_side" = theirs ] && label="real server, our client"
      compare "$name: clients" "$work/$name/theirs:theirs/client.log" "$dir/client.log" "$label"
      compare "$name: server" "$work/$name/theirs:theirs/server.sorted" "$dir/server.sorted" \
        "$label"
    fi
  done
}

echo "the client scenarios on both stacks"
run_set goals "" succeed reject abort cancel cancel_refused cancel_all cancel_before after_end \
  unknown defer drop leave succeed
run_set retention "--result-timeout 2" status expire
run_set namespace "seq --ros-args -r __ns:=/robot1" "succeed /robot1/seq" \
  "succeed seq --ros-args -r __ns:=/robot1"
cases=$(cat "$work"/*/theirs:theirs/client.log | grep -c '^exit')
if grep -h '^exit [^0]' "$work"/*/*/client.log >/dev/null; then
  echo "scenarios that did not run to their end:"
  grep -l '^exit [^0]' "$work"/*/*/client.log
  differences=$((differences + 1))
fi

echo "ros2 action against our server and the real one"
for side in theirs ours; do
  mkdir -p "$work/cli/$side"
  start_server "$side" "$work/cli/$side/server.log" || exit 1
  if [ "$side" = theirs ]; then
    side_argv theirs "${with_ws[@]}" "$their_peer" client linger
  else
    side_argv ours "$our_peer" client linger
  fi
  "${argv[@]}" >"$work/cli/$side/linger.log" 2>&1 &
  linger_pid=$!
  pids+=("$linger_pid")
  for _ in $(seq 100); do
    grep -qx lingering "$work/cli/$side/linger.log" && break
    sleep 0.1
  done
  n=0
  for verb in "action list" "action list -t" "action list -c" "action info /sequence" \
    "action info /sequence -t" "action info /sequence -c" "action info /other"; do
    n=$((n + 1))
    echo "\$ ros2 $verb" >"$work/cli/$side/$n.out"
    # shellcheck disable=SC2086
    theirs "${with_ws[@]}" ros2 $verb >>"$work/cli/$side/$n.out" 2>&1
    echo "exit $?" >>"$work/cli/$side/$n.out"
  done
  for goal in "{order: 3, plan: succeed}" "{order: 2, plan: abort}" "{plan: reject}"; do
    n=$((n + 1))
    echo "\$ ros2 action send_goal $goal --feedback" >"$work/cli/$side/$n.out"
    theirs "${with_ws[@]}" ros2 action send_goal /sequence wire_test_msgs/action/Sequence \
      "$goal" --feedback >>"$work/cli/$side/$n.out" 2>&1
    echo "exit $?" >>"$work/cli/$side/$n.out"
  done
  theirs ros2 daemon stop >/dev/null 2>&1
  kill -INT "$linger_pid" 2>/dev/null
  wait "$linger_pid" 2>/dev/null
  stop_server "$work/cli/$side/server.log"
done
for out in "$work"/cli/theirs/*.out; do
  cases=$((cases + 1))
  for side in theirs ours; do
    sed -E 's#^Goal accepted with ID: [0-9a-f]{32}$#Goal accepted with ID: *#' \
      "$work/cli/$side/${out##*/}" >"$work/cli/$side/${out##*/}.masked"
  done
  compare "$(head -n 1 "$out")" "$out.masked" "$work/cli/ours/${out##*/}.masked" "our server"
done

echo "action_compare: $cases cases, $differences different"
[ "$differences" = 0 ]
