# shellcheck shell=bash
# Three hosts as network namespaces: robot, base and station, each with one
# veth link to a bridge in a namespace of its own, addressed in 198.18.0.0/24.
# Nothing is created in the root namespace. Sourced by the scenario scripts;
# HOSTS_TAG names this set (namespaces ach_<tag>_robot, ...).

declare -A HOST_ADDRESS=([robot]=198.18.0.1 [base]=198.18.0.2 [station]=198.18.0.3)
HOST_NAMES=(robot base station)
# Exit status of a test that could not run here, as automake and ctest read it.
export SKIP=77

ns() { echo "ach_${HOSTS_TAG}_$1"; }

# Peers of a host: the other hosts' addresses, comma-separated.
peers_of() {
  local h list=()
  for h in "${HOST_NAMES[@]}"; do [ "$h" = "$1" ] || list+=("${HOST_ADDRESS[$h]}"); done
  (IFS=,; echo "${list[*]}")
}

# Says why the hosts cannot be made here, if they cannot.
hosts_missing() {
  [ "$(id -u)" -eq 0 ] || { echo "needs root for network namespaces"; return; }
  command -v ip >/dev/null || { echo "no ip command (iproute2)"; return; }
  command -v nft >/dev/null || { echo "no nft command (nftables)"; return; }
  local probe="ach_probe_$$"
  ip netns add "$probe" 2>/dev/null || { echo "no network namespaces"; return; }
  local why=""
  if ! ip -n "$probe" link add p0 type veth peer name p1 2>/dev/null; then
    why="no veth links"
  elif ! ip -n "$probe" link add b0 type bridge 2>/dev/null; then
    why="no bridges"
  elif ! ip netns exec "$probe" nft add table bridge ach_probe 2>/dev/null; then
    why="no nftables for bridges in the kernel"
  fi
  ip netns del "$probe"
  [ -z "$why" ] || echo "$why"
}

hosts_up() {
  local sw h
  hosts_down  # what a killed run of the same set left behind
  sw=$(ns switch)
  ip netns add "$sw"
  ip -n "$sw" link add br0 type bridge
  ip -n "$sw" link set br0 up
  for h in "${HOST_NAMES[@]}"; do
    ip netns add "$(ns "$h")"
    ip -n "$(ns "$h")" link set lo up
    ip -n "$sw" link add "$h" type veth peer name eth0 netns "$(ns "$h")"
    ip -n "$sw" link set "$h" master br0 up
    ip -n "$(ns "$h")" addr add "${HOST_ADDRESS[$h]}/24" dev eth0
    ip -n "$(ns "$h")" link set eth0 up
  done
}

# Removes the rules, links and namespaces of this set; safe to call twice.
hosts_down() {
  local h
  ip netns exec "$(ns switch)" nft flush ruleset 2>/dev/null || true
  for h in "${HOST_NAMES[@]}"; do
    ip -n "$(ns switch)" link del "$h" 2>/dev/null || true
    ip netns del "$(ns "$h")" 2>/dev/null || true
  done
  ip netns del "$(ns switch)" 2>/dev/null || true
}

# on HOST: sets host to the words that run a program in HOST's namespace with a clean
# environment, the deployment profile (ROBOT_PROFILE) and this host's interface and
# peers, plus HOST_ENV.
on() {
  host=(ip netns exec "$(ns "$1")" env -i PATH=/usr/bin:/bin HOME="$HOME" ROS_DOMAIN_ID="$ROS_DOMAIN_ID"
    CYCLONEDDS_URI="file://$ROBOT_PROFILE"
    ALIGN_DDS_ADDRESS="${HOST_ADDRESS[$1]}" ALIGN_DDS_PEERS="$(peers_of "$1")" "${HOST_ENV[@]}")
}
HOST_ENV=()

# The faults are the bridge's: frames vanish between its ports as on a bad
# link, and the hosts' own network stacks see nothing of it.
# Drops P % of the frames on HOST's link, both directions.
loss() {
  ip netns exec "$(ns switch)" nft -f - <<EOF
table bridge ach_loss {
  chain forward {
    type filter hook forward priority 0;
    iifname "$1" counter
    oifname "$1" counter
    iifname "$1" numgen random mod 100 < $2 counter drop
    oifname "$1" numgen random mod 100 < $2 counter drop
  }
}
EOF
}
# Frames that crossed HOST's link and were dropped there so far: "dropped of".
loss_count() {
  ip netns exec "$(ns switch)" nft list table bridge ach_loss |
    awk '{ for (i = 1; i < NF; i++) if ($i == "packets") n[++k] = $(i + 1) }
         END { print n[3] + n[4], n[1] + n[2] }'
}

# Cuts HOST off from PEER, both directions; heal undoes it.
partition() {
  ip netns exec "$(ns switch)" nft -f - <<EOF
table bridge ach_partition {
  chain forward {
    type filter hook forward priority 0;
    iifname "$1" oifname "$2" drop
    iifname "$2" oifname "$1" drop
  }
}
EOF
}
heal() { ip netns exec "$(ns switch)" nft delete table bridge ach_partition; }
