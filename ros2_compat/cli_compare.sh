#!/usr/bin/env bash
# ros2_lite against the real `ros2` (ros2cli 0.18.11 of ../shared/ros2-humble) on
# the same running nodes: our align_controller (plain and as /robot1/dock1),
# docking_sim and docking_server, whose parameters are read-only, and a real rclpy node
# whose parameters are not; for the topic verbs, ros2_lite publishing a message with a field
# of every type. Every verb and option docs/client-layer.md lists, their help, usage
# errors and error cases run on both; standard output, standard error and the
# exit status must be equal once the CLI's own node name and GIDs are masked; hz and bw
# by their format and a figure within 5 % of the real one's.
# ros2_lite runs under the name `ros2`, as argparse takes its name from argv[0].
#   cli_compare.sh REPO_ROOT INSTALL_BASE     exit 0 equal, 1 differences, 77 skipped
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh" "$@"
domain=${ROS2_COMPAT_DOMAIN:-220}

mkdir -p "$work/ours/dumps" "$work/theirs/dumps"

start ours align_controller "$(program align_controller)"
start ours dock1 "$(program align_controller)" --ros-args -r __node:=dock1 -r __ns:=/robot1
start ours docking_sim "$(program docking_sim)"
start ours docking_server "$(program docking_server)"
start theirs param_peer python3 "$here/param_peer.py"
wait_for_nodes ours /align_controller /robot1/dock1 /docking_sim /docking_server /param_peer ||
  exit 1

# Help, and usage errors: argparse's texts, wrapped at the terminal's width.
c node
c action
c node -h
c COLUMNS=60 node list -h
c COLUMNS=120 param list -h
for verb in "node list" "node info" "topic info" "topic list" "topic type" "topic find" \
  "topic echo" "topic pub" "topic hz" "topic bw" "param list" "param get" "param set" \
  "param describe" "param dump" "security create_keystore" "security create_enclave" \
  "security create_permission" "action list" "action info" "action send_goal"; do
  # shellcheck disable=SC2086
  c $verb -h
done
# An unknown verb or command: the same usage and status; ros2_lite names the word plainly.
streams="out status" c node lst
ours_err_is "usage: ros2 node [-h]
                 Call \`ros2 node <command> -h\` for more detailed usage. ...
ros2 node: error: 'lst' is not a verb of 'ros2 node'; choose one of: info, list"
streams="out status" c servce list
ours_err_is "usage: ros2 [-h] [--use-python-default-buffering]
            Call \`ros2 <command> -h\` for more detailed usage. ...
ros2: error: 'servce' is not a command of 'ros2'; choose one of: action, interface, node, param, security, service, topic"
c service
c interface
for verb in "service list" "service type" "service find" "service call" "interface list" \
  "interface packages" "interface package" "interface show" "interface proto"; do
  # shellcheck disable=SC2086
  c $verb -h
done
c service call
c service call /x rcl_interfaces/srv/GetParameters -r abc
c interface show --all-comments --no-comments geometry_msgs/msg/Twist
c node info
c node list extra
c node list --spin-time soon
c node list -a=1
c node info --bogus /x
c param list --p
c param list --filter
c param list --param-prefixes
c param set /align_controller kp_w_ -1e3
c param describe /align_controller
c security create_permission ks /x
c action send_goal /sequence
c topic type
c topic pub -r 0 /x std_msgs/msg/String
c topic pub -1 -t 2 /x std_msgs/msg/String
c topic pub -t -1 /x std_msgs/msg/String
c topic pub -p x /x std_msgs/msg/String
c topic echo /x --qos-profile nope
c topic echo /x --qos-depth 1.5
c topic echo /x -l -3
c topic hz /x -w 0
c topic bw /x --window x

# The graph, one side after the other.
parallel=
c node list --no-daemon
c node list --no-daemon -a
c node list --no-daemon -c
c node list --no-daemon -ac
c node list --no-daemon --all --count-nodes --spin-time 1
for node in /align_controller /robot1/dock1 /docking_sim; do
  c node info --no-daemon "$node"
  c param list --no-daemon "$node"
  c param dump --no-daemon "$node"
done
c node info --no-daemon /align_controller --include-hidden
c node info --no-daemon align_controller
c node info --no-daemon /nothing
for topic in /cmd_vel /align_request /parameter_events; do
  c topic info --no-daemon "$topic"
  c topic info --no-daemon -v "$topic"
done
c topic info --no-daemon --verbose /nothing
c topic list --no-daemon
c topic list --no-daemon -t
c topic list --no-daemon -c --include-hidden-topics
c topic list --no-daemon -v
c topic type --no-daemon /cmd_vel
c topic type --no-daemon /nothing
c topic find --no-daemon geometry_msgs/msg/Twist
c topic find --no-daemon -c nav_msgs/msg/Odometry
c service list --no-daemon
c service list --no-daemon -t
c service list --no-daemon -c
c service list --no-daemon --include-hidden-services -t
# The real ros2 does not list our layer's action servers' services (docs/client-layer.md).
dropped_actions=/_action/
dropped=$dropped_actions c service --include-hidden-services list --no-daemon
# ros2 with -s and --no-daemon waits for a /clock for ever; ros2_lite lists the same after
# --spin-time.
cases=$((cases + 1))
if ! ours "$work/bin/ros2" service --include-hidden-services list --no-daemon -s |
  grep -Ev "$dropped_actions" | diff "$work/ours.out" - >"$work/diff"; then
  differences=$((differences + 1))
  printf 'DIFFERENT: ros2_lite service list -s\n%s\n' "$(cat "$work/diff")"
fi
c param list --no-daemon
c param list --no-daemon --filter '(?i)SEED'
c param list --no-daemon --include-hidden-nodes align_controller

# Actions: ros2 action has no --no-daemon, so the real side starts a daemon, stopped after.
c action list
c action list -t
c action list -c
c action info /dock
c action info dock -t
c action info /undock -c
c action info /nothing
c action info /a//b
# Nor have service type and find.
c service type /align_controller/get_parameters
c service type /robot1/dock1/set_parameters
c service type /nothing
c service find rcl_interfaces/srv/GetParameters
c service find -c rcl_interfaces/srv/ListParameters
c service find rcl_interfaces/srv/Nothing
theirs ros2 daemon stop >/dev/null 2>&1

# Named nodes: both sides at once.
parallel=1

# Parameters: listing and filters (Python regular expressions).
c param list --no-daemon --param-type /docking_sim
c param list --no-daemon /align_controller --param-prefixes kp lower
c param list --no-daemon /nothing
for filter in kp '(?i)KP' '\Akp' 'kp_w_\Z' '.*_w_$' '[kl]p?_' '(?P<p>k)p_(?P=p)?' \
  'x{,2}y|up{1,}'; do
  c param list --no-daemon /align_controller --filter "$filter"
done

c param get --no-daemon /align_controller kp_w_
c param get --no-daemon /align_controller kp_w_ --hide-type
c param get --no-daemon /robot1/dock1 trigger_mode
c param get --no-daemon /docking_sim seed
c param get --no-daemon /docking_sim trajectory_csv
c param get --no-daemon /docking_sim use_sim_time --hide-type
c param get --no-daemon /align_controller nothing
c param get --no-daemon /nothing kp_w_
c param describe --no-daemon /align_controller kp_w_ lower_w_ use_sim_time
c param describe --no-daemon /docking_sim seed nothing

# Setting: negative values, YAML typing, refusals (read-only, wrong type, undeclared).
c param set --no-daemon /align_controller lower_w_ -0.1
c param set --no-daemon /align_controller lower_w_ -1
c param set --no-daemon /align_controller -- lower_w_ -0.25
c param set --no-daemon /align_controller lower_w_ -- -.5
c param get --no-daemon /align_controller lower_w_
for value in '1.0 # c' '!!float 1' '1:30.5' '1:30' '0x1F' '1e3' '-.Inf' '[1.5, 2]' 'yes' \
  "'1.5'" '--- 2.5' '2.5 # !!int'; do
  c param set --no-daemon /param_peer gain "$value"
  c param get --no-daemon /param_peer gain
done
for value in '"\u00e9"' '"tab\there"' "'it''s'" '!!str 12' '"line one\nline two"' \
  "$(printf 'word %.0s' $(seq 30))end" '"long\ttext, '"$(printf 'more %.0s' $(seq 20))"'"' \
  '- one' '[a, "b", c d]' '"x: y"' '"\x41\U0001F600"'; do
  c param set --no-daemon /param_peer text "$value"
  c param dump --no-daemon /param_peer
done
c param set --no-daemon /robot1/dock1 kp_w_ 2.0

# Services of the running nodes: their parameter services, called by type name.
c service call /align_controller/get_parameters rcl_interfaces/srv/GetParameters \
  '{names: [kp_w_, lower_w_, nothing]}'
c service call /robot1/dock1/list_parameters rcl_interfaces/srv/ListParameters '{depth: 1}'
# A service of another type is never matched: ros2 waits for ever, ros2_lite 5 s.
time_limit=8 streams=out c service call /docking_sim/describe_parameters \
  rcl_interfaces/GetParameters '{names: [seed]}'
ours_err_is "Service '/docking_sim/describe_parameters' did not become available within 5 s"
[ "$(cat "$work/ours.status")" = 2 ] || {
  differences=$((differences + 1))
  echo "DIFFERENT: ros2_lite's bounded wait ended with status $(cat "$work/ours.status"), not 2"
}
c service call /docking_sim/describe_parameters rcl_interfaces/srv/DescribeParameters \
  '{names: [seed]}'
c service call /docking_sim/set_parameters rcl_interfaces/srv/SetParameters \
  "{parameters: [{name: seed, value: {type: 2, integer_value: 3}}]}"
c service call /param_peer/get_parameter_types rcl_interfaces/srv/GetParameterTypes \
  '{names: [gain, text, count]}'
for type in nope/srv/X rcl_interfaces/msg/ParameterValue rcl_interfaces rcl_interfaces/srv/ \
  rcl_interfaces/srv/Nope; do
  c service call /param_peer/get_parameters "$type"
done
for values in '{foo: 1}' '{names: 5}' '{names: [1, 2]}' '5' '{}' "{names: ['a b']}"; do
  c service call /param_peer/get_parameters rcl_interfaces/srv/GetParameters "$values"
done
c service call /param_peer/get_parameters rcl_interfaces/srv/GetParameters -r 0

# Interfaces of the packages both sides hold alike.
for type in geometry_msgs/msg/PoseStamped nav_msgs/msg/Odometry action_msgs/srv/CancelGoal \
  rcl_interfaces/srv/SetParameters std_msgs/msg/Header builtin_interfaces/msg/Time; do
  c interface show "$type"
  c interface show --no-comments "$type"
  c interface show --all-comments "$type"
  c interface proto "$type"
done
c interface proto --no-quotes geometry_msgs/msg/Twist
for type in geometry_msgs/Twist geometry_msgs/msg/Nope nope/msg/X geometry_msgs//Twist \
  geometry_msgs/../x/y; do
  c interface show "$type"
done
for type in geometry_msgs/Twist geometry_msgs/msg/Nope nope/msg/X std_msgs/srv/X; do
  c interface proto "$type"
done
for package in builtin_interfaces action_msgs unique_identifier_msgs nope; do
  sorted=1 c interface package "$package"
done
for value in 1_000 0b101 1.0; do
  c param set --no-daemon /param_peer count "$value"
  c param get --no-daemon /param_peer count
done
c param set --no-daemon /docking_sim seed 2
c param set --no-daemon /docking_sim nothing 1
c param set --no-daemon /nothing seed 1
c param dump --no-daemon /nothing
c param dump --no-daemon /docking_sim --print
c param dump --no-daemon /docking_sim --output-dir /nonexistent
c param dump --no-daemon /robot1/dock1 --output-dir dumps
if ! diff "$work/theirs/dumps/robot1__dock1.yaml" "$work/ours/dumps/robot1__dock1.yaml"; then
  echo "DIFFERENT: the files of param dump --output-dir"
  differences=$((differences + 1))
fi

# Goals, to rclcpp_action's test peer (ours) serving wire_test_msgs/action/Sequence; the
# real side has the interface package built against it in install-ros2.
peer=$install/rclcpp_action/lib/rclcpp_action/action_peer
if [ ! -x "$peer" ]; then
  echo "DIFFERENT: no send_goal cases: rclcpp_action's test peer is not built in $install"
  differences=$((differences + 1))
elif [ ! -f "$repo/install-ros2/wire_test_msgs/share/wire_test_msgs/package.xml" ]; then
  echo "DIFFERENT: no send_goal cases: wire_test_msgs is not built against ROS 2 Humble (make build-ros2)"
  differences=$((differences + 1))
else
  theirs_overlay=$repo/install-ros2/local_setup.sh
  start ours action_peer "$peer" server /sequence
  wait_for_nodes ours /action_peer_server || exit 1
  goal=wire_test_msgs/action/Sequence
  c action send_goal /sequence $goal '{order: 3, plan: succeed}'
  c action send_goal -f /sequence $goal '{order: 2, plan: abort}'
  c action send_goal /sequence --feedback wire_test_msgs/Sequence "{plan: 'reject', order: 1}"
  c action send_goal sequence $goal 'order: 2  # a block mapping'
  c action send_goal /sequence $goal '{}'
  c action send_goal /sequence $goal '{order: "1", plan: [1, "x: y", null]}'
  for type in wire_test_msgs/action/Nope wire_test_msgs/msg/AllKinds Sequence nope/Sequence; do
    c action send_goal /sequence $type '{order: 1}'
  done
  for values in '{foo: 1}' '{order: abc}' '{order: [1]}' '{order: 99999999999}' '{order: .inf}' \
    '' '5' '{1: 2}'; do
    c action send_goal /sequence $goal "$values"
  done
  # rclpy's ValueError for the name, and PyYAML's errors, end a traceback.
  c action send_goal /a//b $goal '{order: 1}'
  c action send_goal 1abc $goal '{order: 1}'
  streams="out status" c action send_goal /sequence $goal '{order: 1'
fi

# Topics: a publisher of every field type (ours, wire_test_msgs/msg/AllKinds at 20 Hz), the
# node's and the simulator's own traffic; pub --once to a topic nobody reads.
if [ -f "$repo/install-ros2/wire_test_msgs/share/wire_test_msgs/package.xml" ]; then
  theirs_overlay=$repo/install-ros2/local_setup.sh
  # One line: a value over several lines is not read as YAML (docs/client-layer.md).
  all_kinds='{f32: 0.1, text: "a longer text than two", wide: "wïde ☃", i16_array: [-300, 7, 1], '
  all_kinds+='u32s: [1, 2, 3], strings: ["a", "bcd"], nested: [{tag: 1, value: 2.5, label: one}, '
  all_kinds+='{tag: 2}], f64_bounded: [1.5, -0.25], bools: [true, false, true]}'
  start ours all_kinds "$(program ros2_lite)" topic pub -r 20 -p 1000 /all_kinds \
    wire_test_msgs/msg/AllKinds "$all_kinds"
  for _ in $(seq 30); do
    ours "$(program ros2_lite)" topic list --no-daemon | grep -qx /all_kinds && break
  done
  for options in "" "--no-arr" "--no-str" "-l 1" "--full-length" "--csv" "--csv --no-arr -l 2" \
    "--field nested" "--field text" "--field f64" "--field nested_array" "--field nope.x" \
    "--qos-reliability best_effort --qos-depth 3" "--qos-profile services_default"; do
    # shellcheck disable=SC2086 # the options are words
    c topic echo --once $options /all_kinds
  done
  c topic echo --once /all_kinds wire_test_msgs/msg/AllKinds
  c topic echo --once /all_kinds wire_test_msgs/msg/Nope
  c topic echo --once /docking_pose --field header.frame_id
  c topic echo --once /diff_bot/odom --field child_frame_id
  c topic echo --once /nothing
  c topic pub --once -w 0 /pub_check wire_test_msgs/msg/AllKinds "$all_kinds"
  c topic pub --once -w 0 /pub_check wire_test_msgs/msg/AllKinds '{}'
  c topic pub -w 0 -t 3 -r 50 /pub_check nav_msgs/msg/Odometry '{pose: {pose: {position: {x: 1.5}}}}'
  c topic pub --once -w 0 /pub_check geometry_msgs/msg/Twist '{linear: {x: abc}}'
  c topic pub --once -w 0 /pub_check geometry_msgs/msg/Twist '{nope: 1}'
  c topic pub --once -w 0 /pub_check geometry_msgs/msg/Twist '[1]'
  c topic pub --once /pub_check geometry_msgs/msg/Nope

  # hz and bw until a Ctrl-C, both sides at once on the same publisher: each line in the
  # real one's format, the exit status equal, the last figure within 5 % of the real one's.
  for verb in hz bw; do
    cases=$((cases + 1))
    for side in ours theirs; do
      ros2=ros2
      [ "$side" = ours ] && ros2=$work/bin/ros2
      time_limit=7 time_signal=INT "$side" "$ros2" topic $verb /all_kinds >"$work/$side.$verb" 2>&1 &
      echo $! >"$work/$side.$verb.pid"
    done
    for side in ours theirs; do
      wait "$(cat "$work/$side.$verb.pid")"
      echo $? >"$work/$side.$verb.status"
    done
    if [ $verb = hz ]; then
      format='^(average rate: [0-9]+\.[0-9]{3}|[[:blank:]]min: [0-9]+\.[0-9]{3}s max: [0-9]+\.[0-9]{3}s std dev: [0-9]+\.[0-9]{5}s window: [0-9]+)$'
      theirs_rate=$(grep -oE 'average rate: [0-9.]+' "$work/theirs.hz" | tail -n 1 | cut -d' ' -f3)
      ours_rate=$(grep -oE 'average rate: [0-9.]+' "$work/ours.hz" | tail -n 1 | cut -d' ' -f3)
    else
      format='^(Subscribed to \[/all_kinds\]|[0-9.]+ (B|KB|MB)/s from [0-9]+ messages|[[:blank:]]Message size mean: [0-9.]+ (B|KB|MB) min: [0-9.]+ (B|KB|MB) max: [0-9.]+ (B|KB|MB))$'
      theirs_rate=$(grep -oE '^[0-9.]+ (B|KB|MB)/s' "$work/theirs.bw" | tail -n 1 | cut -d' ' -f1)
      ours_rate=$(grep -oE '^[0-9.]+ (B|KB|MB)/s' "$work/ours.bw" | tail -n 1 | cut -d' ' -f1)
    fi
    report=""
    grep -vqE "$format" "$work/ours.$verb" && report+="  a line not in the real format"$'\n'
    cmp -s "$work/ours.$verb.status" "$work/theirs.$verb.status" ||
      report+="  exit status $(cat "$work/ours.$verb.status"), real $(cat "$work/theirs.$verb.status")"$'\n'
    if [ -z "$theirs_rate" ] || [ -z "$ours_rate" ] ||
      ! awk -v a="$ours_rate" -v b="$theirs_rate" 'BEGIN { exit !(a >= 0.95 * b && a <= 1.05 * b) }'; then
      report+="  figure ${ours_rate:-none}, real ${theirs_rate:-none}"$'\n'
    fi
    if [ $verb = bw ] && ! diff <(grep Message "$work/theirs.bw" | tail -n 1) \
      <(grep Message "$work/ours.bw" | tail -n 1) >/dev/null; then
      report+="  message sizes differ"$'\n'
    fi
    if [ -n "$report" ]; then
      differences=$((differences + 1))
      printf 'DIFFERENT: ros2 topic %s /all_kinds\n%s' "$verb" "$report"
      sed 's/^/    < /' "$work/theirs.$verb"
      sed 's/^/    > /' "$work/ours.$verb"
    fi
  done
else
  echo "DIFFERENT: no topic cases: wire_test_msgs is not built against ROS 2 Humble (make build-ros2)"
  differences=$((differences + 1))
fi

echo "cli_compare: $cases commands on both, $differences differing"
[ "$differences" -eq 0 ]
