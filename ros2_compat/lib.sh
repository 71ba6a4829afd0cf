# Shared by the ros2_compat scripts: each side's programs in a clean
# environment of its own, every process started stopped on exit.
#   . lib.sh REPO_ROOT INSTALL_BASE      sets repo, install, env_sh, work; exits 77 when
#                                        the real ROS 2 or our install is missing
repo=$(cd "${1:?repo root}" && pwd)
install=$(cd "${2:?install base}" && pwd)
env_sh=$repo/../shared/ros2-humble/env.sh
if [ ! -f "$env_sh" ]; then
  echo "skipped: no real ROS 2 at $env_sh"
  exit 77
fi
for program in align_controller docking_sim ros2_lite; do
  if [ ! -x "$install/$program/lib/$program/$program" ]; then
    echo "skipped: $program is not built in $install"
    exit 77
  fi
done
program() { echo "$install/$1/lib/$1/$1"; }

stopper=$install/docking_demo/share/docking_demo/closed_loop/stop_programs.sh
if [ ! -f "$stopper" ]; then
  echo "skipped: docking_demo is not built in $install"
  exit 77
fi
# shellcheck source=/dev/null
. "$stopper"

work=$(mktemp -d)
pids=()
# Nothing outlives the script, even when it fails.
stop_all() {
  stop_programs
  rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# side_argv ours|theirs [VAR=value...] COMMAND ARGS...: sets argv to run COMMAND with our
# install or the real ROS 2 on $domain, bounded in time ($time_limit s); VAR=value pairs (COLUMNS,
# ROS_SECURITY_*...) go into its environment. $theirs_overlay, if set, is a workspace's
# local_setup.sh sourced on top of the real ROS 2.
side_argv() {
  local setup=$install/setup.sh overlay="" vars=()
  [ "$1" = theirs ] && setup=$env_sh && overlay=${theirs_overlay:-}
  shift
  while [[ $# -gt 0 && $1 == [A-Z_]*=* ]]; do vars+=("$1"); shift; done
  # $time_signal: the signal that ends it at the limit (a Ctrl-C: INT), its status kept.
  argv=(timeout ${time_signal:+-s "$time_signal" --preserve-status} -k 5 "${time_limit:-60}" env -i PATH=/usr/bin:/bin HOME="$HOME"
    ROS_DOMAIN_ID="$domain" "${vars[@]}" bash -c '. "$0" >/dev/null 2>&1 || exit 3
      if [ -n "$1" ]; then . "$1" >/dev/null 2>&1 || exit 3; fi
      shift; exec "$@"' "$setup" "$overlay" "$@")
}
ours() { side_argv ours "$@" && "${argv[@]}"; }
theirs() { side_argv theirs "$@" && "${argv[@]}"; }

# start ours|theirs NAME COMMAND...: a long-running program, logged to $work/NAME.log;
# started as a plain command, so that its PID is timeout's and a TERM reaches it.
start() {
  local which=$1 name=$2
  shift 2
  time_limit=900 side_argv "$which" "$@"
  "${argv[@]}" >"$work/$name.log" 2>&1 &
  pids+=($!)
}

# wait_for_nodes ours|theirs NODE...: until `node list` shows them all, at most 30 s.
wait_for_nodes() {
  local which=$1 node listed
  shift
  for _ in $(seq 30); do
    listed=$("$which" "$(program ros2_lite)" node list 2>/dev/null)
    for node in "$@"; do grep -qx "$node" <<<"$listed" || continue 2; done
    return 0
  done
  echo "nodes $* did not appear; logs:" >&2
  tail -n 5 "$work"/*.log >&2
  return 1
}

# ros2_lite under the name `ros2`: argparse takes the name from argv[0].
mkdir -p "$work/bin" "$work/ours" "$work/theirs"
ln -s "$(program ros2_lite)" "$work/bin/ros2"

# The CLI's own node name, GIDs and goal ids masked; in `topic info -v` endpoints come
# in GID order, so the CLI's own endpoint moves to the end of its list. Python's warnings
# (about this machine's cryptography and pyOpenSSL, or rclpy's own) are dropped; of a
# traceback only its last line is kept, without the rcl source file it names. The install
# prefix in a path of an interface file is masked, and so are the help entries of -s and
# --no-daemon, which ros2_lite words as what it does with them. `service call` prints a
# waiting line for each second discovery takes, so one that found its service at last
# may have printed some on a loaded machine: those are dropped.
masked() {
  awk '/^  (-s, --use-sim-time|--no-daemon)( |$)/ { skip = 1; next }
    skip && /^    / { next }
    { skip = 0; print }' "$1" |
    sed -E -e 's#_ros2cli_[0-9]+#_CLI_#g; s#_ros2_lite_[0-9]+#_CLI_#g' \
    -e "s#^Could not find the interface '.*/share/#Could not find the interface '*/share/#" \
    -e 's#^GID: [0-9a-f.]+$#GID: *#' -e '/^\/[^ ]+\.py:[0-9]+: [A-Za-z]+Warning: /{N;d}' \
    -e 's#^Goal accepted with ID: [0-9a-f]{32}$#Goal accepted with ID: *#' \
    -e 's#, at /[^ ]+\.c:[0-9]+$##' |
    awk '/^waiting for service to become available\.\.\.$/ { waited = waited $0 "\n"; next }
      /^requester: making request: / { waited = "" }
      { printf "%s", waited; waited = ""; print }
      END { printf "%s", waited }' |
    awk '/^Traceback \(most recent call last\):$/ { tb = 1 } tb { last = $0; next } { print }
      END { if (tb) print last }' >"$1.masked"
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
# ours_err_is TEXT: the standard error of ros2_lite in the last c was TEXT, where it
# differs from ros2's on purpose.
ours_err_is() {
  cases=$((cases + 1))
  if [ "$(cat "$work/ours.err")" != "$1" ]; then
    differences=$((differences + 1))
    printf 'DIFFERENT: ros2_lite said\n%s\ninstead of\n%s\n' "$(cat "$work/ours.err")" "$1"
  fi
}

# c [VAR=value...] ARGS...: `ros2 ARGS` on both sides, each in a folder of its own
# ($work/ours, $work/theirs), then compared: the streams in $streams (default all
# three: out err status). Both at once
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
  # $sorted: standard output in any order (Python prints some sets as they come);
  # $dropped: a pattern of lines of standard output left out on both sides.
  local side_out
  for side_out in "$work/ours.out" "$work/theirs.out"; do
    [ -z "${sorted:-}" ] || sort -o "$side_out" "$side_out"
    if [ -n "${dropped:-}" ]; then
      grep -Ev "$dropped" "$side_out" >"$side_out.kept"
      mv "$side_out.kept" "$side_out"
    fi
  done
  local report=""
  for stream in ${streams:-out err status}; do
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
