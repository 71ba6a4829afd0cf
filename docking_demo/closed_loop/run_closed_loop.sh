#!/usr/bin/env bash
# The closed loop, for every suite that runs one: docking_sim, align_controller and any
# further long-running programs on the current ROS_DOMAIN_ID, a supervisor run to its
# end, every program stopped (stop_programs.sh), the run judged by the simulator's
# ground truth (summary.txt).
#   run_closed_loop.sh [OPTION...] INSTALL_DIR OUT_DIR [-p name:=value ...]
# The -p pairs are docking_sim's parameters. A PROGRAM is PKG or PKG/EXECUTABLE, run as
# INSTALL_DIR/PKG/lib/PKG/EXECUTABLE (where `ros2 run` finds it), else a command on PATH
# or a path; NAME=PROGRAM names an instance (default: the executable's name).
#   --start [NAME=]PROGRAM [ARG...] ';'      a further long-running program, started after
#                                            docking_sim, in the order given
#   --supervisor [NAME=]PROGRAM [ARG...] ';' run to its end (default: align_request dock
#                                            --attempts $DOCK_ATTEMPTS --timeout $DOCK_TIMEOUT)
#   --after [NAME=]PROGRAM [ARG...] ';'      run to its end after the supervisor, before the stop
#   --args NAME ARG... ';'                   more arguments after NAME's own (align_controller's
#                                            --ros-args -p lower_w_:=-0.1, the default
#                                            supervisor's options...)
#   --without NAME                           leaves docking_sim or align_controller out
#   --prefix NAME WORD... ';'                put before NAME's command (ip netns exec, env -i ...)
#   --exe NAME PATH                          NAME's executable (from another install, say)
#   --ready NAME REGEX                       NAME is up once its log has a line matching REGEX
#                                            (docking_sim: 'docking_sim: robot at'); 20 s at most
#   --supervisor-first                       the supervisor starts before the controller
#   --stamp                                  each log line begins with the wall-clock time it came
# Environment: DOCK_ATTEMPTS (3) and DOCK_TIMEOUT (120 s) of the default supervisor;
# DOCK_DEADLINE: seconds the supervisor may run before it is stopped and the run counts
# as no result (default attempts x timeout + 120); DOCK_NODE_DELAY: seconds before the
# controller's start, which sets the phase of its loop against the camera (0);
# DOCK_ENCLAVES: when set, each program of INSTALL_DIR runs in the security enclave
# /<executable>; DOCK_QUIET: when set, the output of the supervisor and of the programs
# after it goes to their logs only (else to standard output as well).
# Leaves in OUT_DIR: NAME.log of each program, trajectory.csv, events.dat, programs.txt
# (a line "NAME PID START EXIT_STATUS" each, START the wall-clock time just before it
# started; the first three as soon as it runs) and summary.txt. Exit status: the
# supervisor's (align_request: 0 docked, 1 failure reported, 2 no result, 4 retry check
# not refused, 69 middleware failure); 2 at the deadline; 3 a program missing or not up; 64 bad usage; 130 interrupted.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage() {
  sed -n '6,24p' "$0" | cut -c3- >&2
  echo "run_closed_loop.sh: $1" >&2
  exit 64
}

declare -A program_of=() args=() more=() prefix=() exe=() ready=([docking_sim]='docking_sim: robot at')
starts=() afters=() without=" " supervisor="" first="" stamp=""
# The words, quoted to be read back by eval.
quoted() { [ $# -eq 0 ] || printf '%q ' "$@"; }
# define [NAME=]PROGRAM [ARG...]: sets name and records its program and arguments.
define() {
  name=${1%%=*}
  [ "$name" != "$1" ] || name=${1##*/}
  program_of[$name]=${1#*=}
  args[$name]=$(quoted "${@:2}")
}
# upto ARG...: sets words to the arguments before the first ';'.
upto() {
  words=()
  while [ $# -gt 0 ] && [ "$1" != ";" ]; do words+=("$1"); shift; done
  [ $# -gt 0 ] || usage "a list without its closing ';'"
}
while [ $# -gt 0 ]; do
  case $1 in
    --start | --supervisor | --after)
      upto "${@:2}"
      [ ${#words[@]} -gt 0 ] || usage "$1 without a program"
      define "${words[@]}"
      case $1 in
        --start) starts+=("$name") ;;
        --supervisor) supervisor=$name ;;
        --after) afters+=("$name") ;;
      esac
      shift $((${#words[@]} + 2)) ;;
    --prefix | --args)
      [ $# -ge 2 ] || usage "$1 NAME WORD... ';'"
      upto "${@:3}"
      if [ "$1" = --prefix ]; then prefix[$2]=$(quoted "${words[@]}"); else more[$2]+=$(quoted "${words[@]}"); fi
      shift $((${#words[@]} + 3)) ;;
    --exe | --ready)
      [ $# -ge 3 ] || usage "$1 NAME VALUE"
      if [ "$1" = --exe ]; then exe[$2]=$3; else ready[$2]=$3; fi
      shift 3 ;;
    --without) [ $# -ge 2 ] || usage "--without NAME"; without+="$2 "; shift 2 ;;
    --supervisor-first) first=1; shift ;;
    --stamp) stamp=1; shift ;;
    -*) usage "unknown option $1" ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || usage "INSTALL_DIR and OUT_DIR are needed"
install=$(cd "$1" && pwd)
out=$2
shift 2
# A package's prefix in INSTALL_DIR, as colcon lays it out: isolated or merged.
prefix_of() { if [ -d "$install/$1" ]; then echo "$install/$1"; else echo "$install"; fi; }
# Simulated runs stay on loopback whatever profile the environment names.
export CYCLONEDDS_URI="file://$(prefix_of dds_config)/share/dds_config/cyclonedds-localhost.xml"
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/{trajectory.csv,events.dat,summary.txt}

# docking_sim writes the ground truth and takes the steps from the controller's log.
define docking_sim --ros-args -p "trajectory_csv:=$out/trajectory.csv" \
  -p "controller_log:=$out/align_controller.log" "$@"
define align_controller
if [ -z "$supervisor" ]; then
  define align_request dock --attempts "${DOCK_ATTEMPTS:-3}" --timeout "${DOCK_TIMEOUT:-120}"
  supervisor=$name
fi

# command_of NAME: sets argv to NAME's command line: its prefix, the controller's log
# settings (harmless to the others), the executable, its arguments and its enclave.
command_of() {
  local program=${program_of[$1]} path ours=1
  case $program in
    /*) path=$program ours="" ;;
    */*) path=$(prefix_of "${program%%/*}")/lib/$program ;;
    *) path=$(prefix_of "$program")/lib/$program/$program ;;
  esac
  if [ -n "${exe[$1]:-}" ]; then
    path=${exe[$1]}
  elif [ ! -x "$path" ] && [[ $program != */* ]] && command -v "$program" >/dev/null; then
    path=$program ours=""
  fi
  [ -x "$path" ] || [ -z "$ours" ] || { echo "$path is missing: build first" >&2; exit 3; }
  eval "argv=(${prefix[$1]:-} env SPDLOG_STDOUT=true SPDLOG_SYSTEMD=false SPDLOG_LEVEL=info \
    \"\$path\" ${args[$1]} ${more[$1]:-})"
  [ -z "${DOCK_ENCLAVES:-}" ] || [ -z "$ours" ] || argv+=(--ros-args --enclave "/${path##*/}")
}
for name in docking_sim align_controller "${starts[@]}" "$supervisor" "${afters[@]}"; do
  rm -f "$out/$name.log"
  [[ $without == *" $name "* ]] || command_of "$name"
done
: >"$out/align_controller.log"
: >"$out/programs.txt"

pids=() writers=()
declare -A pid_of=()
# shellcheck source=stop_programs.sh
. "$here/stop_programs.sh"
# Every program stopped, every line of their output written, their exit statuses noted.
finish() {
  stop_programs
  [ ${#writers[@]} -eq 0 ] || wait "${writers[@]}" || true
  writers=()
  awk 'NR == FNR { s[$1] = $2; next } { print $1, $2, $3, ($2 in s ? s[$2] : "-") }' \
    <(for pid in "${!exit_status[@]}"; do echo "$pid ${exit_status[$pid]}"; done) \
    "$out/programs.txt" >"$out/programs.tmp" && mv "$out/programs.tmp" "$out/programs.txt"
}
trap finish EXIT
trap 'exit 130' INT TERM

# write_log LOG SHOW: standard input into LOG, each line stamped with --stamp and, with
# SHOW set, also to standard output.
write_log() {
  local line
  while IFS= read -r line || [ -n "$line" ]; do
    [ -z "$stamp" ] || line="$EPOCHREALTIME $line"
    printf '%s\n' "$line" >&3
    [ -z "$2" ] || printf '%s\n' "$line"
  done 3>"$1"
}
# launch NAME: starts NAME in the background, its output into OUT_DIR/NAME.log; waits
# until it is up when it has a ready line.
launch() {
  local name=$1 log="$out/$1.log" show="" started=$EPOCHREALTIME fd
  [[ $without != *" $name "* ]] || return 0
  command_of "$name"
  [[ " $supervisor ${afters[*]} " != *" $name "* ]] || [ -n "${DOCK_QUIET:-}" ] || show=1
  if [ -n "$stamp$show" ]; then
    exec {fd}> >(write_log "$log" "$show")
    writers+=($!)
    "${argv[@]}" >&"$fd" 2>&1 &
    exec {fd}>&-
  else
    "${argv[@]}" >"$log" 2>&1 &
  fi
  pids+=($!)
  pid_of[$name]=$!
  echo "$name $! $started" >>"$out/programs.txt"
  [ -n "${ready[$name]:-}" ] || return 0
  for _ in $(seq 200); do
    grep -Eq -- "${ready[$name]}" "$log" 2>/dev/null && return 0
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  echo "$name is not up:" >&2
  tail -n 5 "$log" >&2
  exit 3
}
# run_to_end NAME: launches NAME and waits until it ends, DOCK_DEADLINE s at most; sets status.
run_to_end() {
  local deadline=$((SECONDS + ${DOCK_DEADLINE:-$((${DOCK_ATTEMPTS:-3} * ${DOCK_TIMEOUT:-120} + 120))}))
  [ -n "${pid_of[$1]:-}" ] || launch "$1"
  local pid=${pid_of[$1]}
  while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "$1 still ran after its deadline: stopped" >&2
    status=2
  else
    wait "$pid" && status=0 || status=$?
    exit_status[$pid]=$status
  fi
}

launch docking_sim
for name in "${starts[@]}"; do launch "$name"; done
[ -z "$first" ] || launch "$supervisor"
sleep "${DOCK_NODE_DELAY:-0}"
launch align_controller
run_to_end "$supervisor"
result=$status
for name in "${afters[@]}"; do run_to_end "$name"; done
sleep 1 # a little of the trajectory at rest after the result
finish
"$here/judge.sh" "$out" "$result" "$supervisor" "$stamp"
exit "$result"
