#!/usr/bin/env bash
# sros2 keystores both ways: a keystore made by the real `ros2 security` runs our
# align_controller secured (Enforce), which a real `ros2` with an enclave of the
# same keystore sees (node list, param get) and an unsecured one does not; then
# the same with a keystore made by `ros2_lite security`. The two tools also
# write the same files and links, and answer the common mistakes alike.
#   sros2_compare.sh REPO_ROOT INSTALL_BASE     exit 0 pass, 1 failures, 77 skipped
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh" "$@"
domain=${ROS2_COMPAT_SECURE_DOMAIN:-221}

failures=0
check() {  # check WHAT COMMAND...: the command must succeed
  if "${@:2}"; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}

secured() {  # secured KEYSTORE ENCLAVE: the variables of a secured program
  echo ROS_SECURITY_ENABLE=true ROS_SECURITY_STRATEGY=Enforce "ROS_SECURITY_KEYSTORE=$1" \
    "ROS_SECURITY_ENCLAVE_OVERRIDE=$2"
}

# The keystore of one tool, with enclaves for the node and for the real ros2 CLI.
make_keystore() {  # make_keystore ours|theirs DIR
  local which=$1 keystore=$2 tool=ros2
  [ "$which" = ours ] && tool=$work/bin/ros2
  {
    "$which" "$tool" security create_keystore "$keystore" &&
      "$which" "$tool" security create_enclave "$keystore" /align_controller &&
      "$which" "$tool" security create_enclave "$keystore" /ros2cli
  } >>"$work/keystores.log" 2>&1
}

# One keystore's round: our node secured by it, a secured and an unsecured real ros2.
round() {  # round ours|theirs
  local keystore=$work/$1/keystore listed value pid tool=ros2
  [ "$1" = ours ] && tool=ros2_lite
  check "a keystore made by $tool security" make_keystore "$1" "$keystore"
  # shellcheck disable=SC2046
  start ours "secured_$1" $(secured "$keystore" /align_controller) "$(program align_controller)"
  pid=${pids[-1]}
  for _ in $(seq 20); do
    # shellcheck disable=SC2046
    listed=$(theirs $(secured "$keystore" /ros2cli) ros2 node list --no-daemon 2>&1)
    grep -qx /align_controller <<<"$listed" && break
  done
  check "$tool's keystore: a secured ros2 sees the secured node" grep -qx /align_controller <<<"$listed"
  # shellcheck disable=SC2046
  value=$(theirs $(secured "$keystore" /ros2cli) ros2 param get --no-daemon /align_controller kp_w_ \
    2>>"$work/keystores.log")
  check "$tool's keystore: a secured ros2 gets its parameter" [ "$value" = "Double value is: 1.0" ]
  listed=$(theirs ros2 node list --no-daemon 2>&1)
  check "$tool's keystore: an unsecured ros2 does not see it" \
    bash -c '! grep -q align_controller <<<"$0"' "$listed"
  check "$tool's keystore: the node ran secured throughout" kill -0 "$pid"
  kill -TERM "$pid"
}

round theirs
round ours

# The same layout from both tools: files, links and their targets.
layout() { (cd "$1" && find . -printf '%y %p %l\n' | sort); }
check "both keystores hold the same files and links" \
  diff <(layout "$work/theirs/keystore") <(layout "$work/ours/keystore")

# Mistakes: the same messages and exit statuses.
c security create_keystore keystore
c security create_enclave missing /x
c security create_enclave keystore 'not valid'
c security create_enclave keystore /align_controller
c security create_permission missing /x "$repo/config/security_policy.xml"
c security create_permission keystore /nobody "$repo/config/security_policy.xml"
failures=$((failures + differences))

echo "sros2_compare: $failures failed"
[ "$failures" -eq 0 ]
