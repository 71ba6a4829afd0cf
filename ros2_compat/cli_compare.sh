#!/usr/bin/env bash
# ros2_lite against the real `ros2` (ros2cli 0.18.11 of ../shared/ros2-humble) on
# the same running nodes: our align_controller (plain and as /robot1/dock1) and
# docking_sim. Every verb and option the README lists, their help, usage
# errors and error cases run on both; standard output, standard error and the
# exit status must be equal once the CLI's own node name and GIDs are masked.
# ros2_lite runs under the name `ros2`, as argparse takes its name from argv[0].
#   cli_compare.sh REPO_ROOT INSTALL_BASE     exit 0 equal, 1 differences, 77 skipped
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh" "$@"
domain=${ROS2_COMPAT_DOMAIN:-220}

mkdir -p "$work/bin" "$work/ours/dumps" "$work/theirs/dumps"
ln -s "$(program ros2_lite)" "$work/bin/ros2"

start ours align_controller "$(program align_controller)"
start ours dock1 "$(program align_controller)" --ros-args -r __node:=dock1 -r __ns:=/robot1
start ours docking_sim "$(program docking_sim)"
wait_for_nodes ours /align_controller /robot1/dock1 /docking_sim || exit 1

# The CLI's own node name and GIDs masked; in `topic info -v` endpoints come in GID
# order, so the CLI's own endpoint moves to the end of its list.
masked() {
  sed -E -e 's#_ros2cli_[0-9]+#_CLI_#g; s#_ros2_lite_[0-9]+#_CLI_#g' \
    -e 's#^GID: [0-9a-f.]+$#GID: *#' "$1" >"$1.masked"
  if grep -q '^Endpoint type:' "$1.masked"; then
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
      /^Node name: _CLI_\n/ { cli = cli $0 "\n\n"; next }
      /^(Publisher|Subscription) count:/ { printf "%s", cli; cli = "" }
      { print }
      END { printf "%s", cli }' "$1.masked"
  else
    cat "$1.masked"
  fi
}

cases=0
differences=0
# c [VAR=value...] ARGS...: `ros2 ARGS` on both sides, then compared. Both at once
# while $parallel is set: not for the commands that list the whole graph, where each
# side would see the other's node.
parallel=1
c() {
  cases=$((cases + 1))
  local side both=()
  for side in ours theirs; do
    local ros2=ros2
    [ "$side" = ours ] && ros2=$work/bin/ros2
    local vars=() args=("$@")
    while [[ ${#args[@]} -gt 0 && ${args[0]} == [A-Z_]*=* ]]; do
      vars+=("${args[0]}")
      args=("${args[@]:1}")
    done
    (
      cd "$work/$side" || exit
      "$side" "${vars[@]}" "$ros2" "${args[@]}" >../$side.out 2>../$side.err
      echo $? >../$side.status
    ) &
    both+=($!)
    [ -n "$parallel" ] || wait "${both[@]}"
  done
  wait "${both[@]}"
  local report=""
  for stream in out err status; do
    if ! diff <(masked "$work/theirs.$stream") <(masked "$work/ours.$stream") \
      >"$work/diff" 2>&1; then
      report+="  std$stream (< ros2, > ros2_lite):"$'\n'"$(sed 's/^/    /' "$work/diff")"$'\n'
    fi
  done
  if [ -n "$report" ]; then
    differences=$((differences + 1))
    printf 'DIFFERENT: ros2 %s\n%s' "$*" "$report"
  fi
}

# Help, and usage errors: argparse's texts, wrapped at the terminal's width.
c node
c node -h
c COLUMNS=60 node list -h
c COLUMNS=120 param list -h
for verb in "node list" "node info" "topic info" "param list" "param get" "param set" \
  "param describe" "param dump" "security create_keystore" "security create_enclave" \
  "security create_permission"; do
  # shellcheck disable=SC2086
  c $verb -h
done
c node lst
c node info
c node list extra
c node list --spin-time
c node list --spin-time soon
c node list -a=1
c node list --count-nodes=1
c node info --bogus /x
c topic info -v
c param list --p
c param list --filter
c param list --param-prefixes
c param get /align_controller
c param set /align_controller kp_w_
c param set /align_controller kp_w_ -1e3
c param describe /align_controller
c param dump
c security create_keystore
c security create_enclave ks
c security create_permission ks /x

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
for topic in /cmd_vel /align_request /docking_pose /diff_bot/odom /parameter_events; do
  c topic info --no-daemon "$topic"
  c topic info --no-daemon -v "$topic"
done
c topic info --no-daemon --verbose /nothing
c param list --no-daemon
c param list --no-daemon --filter '(?i)SEED'
c param list --no-daemon --include-hidden-nodes align_controller

# Named nodes: both sides at once.
parallel=1

# Parameters: listing and filters (Python regular expressions).
c param list --no-daemon --param-type /docking_sim
c param list --no-daemon /align_controller --param-prefixes kp lower
c param list --no-daemon /nothing
for filter in kp '(?i)KP' '\Akp' 'kp_w_\Z' '.*_w_$' '[kl]p?_' 'k|l' '(?P<p>k)p_(?P=p)?' \
  '\w+_u_' 'x{,2}y|up{1,}' 'ki_\d' '(?s).'; do
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

# Setting: negative values, YAML typing, refusals.
c param set --no-daemon /align_controller lower_w_ -0.1
c param set --no-daemon /align_controller lower_w_ -1
c param set --no-daemon /align_controller -- lower_w_ -0.25
c param set --no-daemon /align_controller lower_w_ -- -.5
c param get --no-daemon /align_controller lower_w_
for value in '1.0 # c' '!!float 1' '1:30.5' '1:30' '0x1F' '0o7' '1e3' '.inf' '-.Inf' '[1.5, 2]' \
  'true' 'yes' '"1.5"' "'1.5'" '!!str 2' '[1, 2.0]' '--- 2.5' '2.5 ...' '2.5 # !!int'; do
  c param set --no-daemon /robot1/dock1 kp_w_ "$value"
  c param get --no-daemon /robot1/dock1 kp_w_
done
for value in '"\u00e9"' 'é' '"tab\there"' "'it''s'" 'a b  c' '!!str 12' '"line one\nline two"' \
  "$(printf 'word %.0s' $(seq 30))end" '"long\ttext, '"$(printf 'more %.0s' $(seq 20))"'"' \
  '- one' '[a, "b", c d]' 'yes' '2020-01-01x' ':x' '"x: y"' '"\x41\U0001F600"'; do
  c param set --no-daemon /docking_sim controller_log "$value"
  c param dump --no-daemon /docking_sim
done
c param set --no-daemon /docking_sim seed 1_000
c param set --no-daemon /docking_sim seed 0b101
c param set --no-daemon /docking_sim seed 1.0
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

echo "cli_compare: $cases commands on both, $differences differing"
[ "$differences" -eq 0 ]
