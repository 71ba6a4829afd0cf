#!/usr/bin/env bash
# make test-hosts: the scenarios of the docking across hosts, three at a time
# (each in namespaces of its own), then their figures one after the other.
#   run.sh INSTALL_DIR [OUT_DIR] [SCENARIO...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
install=$1
out=${2:-$here/../out/hosts}
shift $(($# < 2 ? $# : 2))
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] ||
  scenarios=(plain loss5 loss20 partition_base partition_station secure)
mkdir -p "$out"
out=$(cd "$out" && pwd)

pids=()
# shellcheck source=/dev/null
. "$install/docking_demo/share/docking_demo/closed_loop/stop_programs.sh"
# A scenario stops its own runner, which stops its programs, within 20 s.
trap 'stop_programs 30' EXIT
declare -A status
wave() {
  local s
  pids=()
  for s in "$@"; do
    "$here/docking.sh" "$s" "$install" "$out" >"$out/$s.txt" 2>&1 &
    pids+=($!)
  done
  local i=0
  for s in "$@"; do
    status[$s]=0
    wait "${pids[$i]}" || status[$s]=$?
    i=$((i + 1))
  done
  pids=()
}
# Two loaded cores hold three dockings at a time at the controller's 6 Hz.
for ((i = 0; i < ${#scenarios[@]}; i += 3)); do
  wave "${scenarios[@]:i:3}"
done

passed=0 failed=0 skipped=0
for s in "${scenarios[@]}"; do
  cat "$out/$s.txt"
  case ${status[$s]} in
    0) passed=$((passed + 1)) ;;
    77) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)) ;;
  esac
done
echo "hosts: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
