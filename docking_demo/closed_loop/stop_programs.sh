# shellcheck shell=bash
# The one way the closed loops and the checks end what they started:
#   stop_programs [SECONDS]
# The PIDs of the array pids get SIGTERM, SECONDS (default 5) to end, then SIGKILL.
# Each is reaped, its exit status kept in exit_status[PID]; PIDs already there (reaped
# by the caller) are left alone. Empties pids. Sourced by the scripts that start programs.
declare -gA exit_status=()
stop_programs() {
  local pid alive running=()
  for pid in "${pids[@]}"; do [ -n "${exit_status[$pid]:-}" ] || running+=("$pid"); done
  for pid in "${running[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for _ in $(seq "$((${1:-5} * 10))"); do
    alive=0
    for pid in "${running[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    [ "$alive" -eq 0 ] && break
    sleep 0.1
  done
  for pid in "${running[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  for pid in "${running[@]}"; do
    wait "$pid" 2>/dev/null && exit_status[$pid]=0 || exit_status[$pid]=$?
  done
  pids=()
}
