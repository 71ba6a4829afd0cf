#!/usr/bin/env bash
# The verdict on one closed-loop run, as key=value lines into OUT_DIR/summary.txt: the
# supervisor's status and last line, how each attempt ended, and the figures of the
# simulator's ground truth (summarize.awk, when it wrote a trajectory).
#   judge.sh OUT_DIR STATUS SUPERVISOR [STAMPED]
# SUPERVISOR names its log; with STAMPED set each log line begins with a time stamp.
# time_to_dock, failure and attempt_N_end read align_request's lines.
set -euo pipefail
out=$1 status=$2 supervisor=$3 stamped=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
log() {
  if [ -n "$stamped" ]; then cut -d' ' -f2- "$out/$1.log"; else cat "$out/$1.log"; fi 2>/dev/null || true
}

# How each attempt ended, in order: the controller's end lines, the supervisor's durations.
ends=$(log align_controller | { grep -o -E 'docking finish!|docking failed \*|docking timeout' || true; } |
  sed 's/docking finish!/docked/; s/docking failed \*/big_error/; s/docking timeout/timeout/')
request=$(log "$supervisor")
durations=$(sed -n -E 's/^(docked|docking failed|unexpected result).* after ([0-9.]+) s$/\2/p' \
  <<<"$request")
{
  echo "status=$status"
  # Its last line but the once-a-second progress, which may follow it.
  echo "result=$(grep -v -E '^ *[0-9.]+ s  ' <<<"$request" | tail -n 1)"
  echo "time_to_dock=$(sed -n -E 's/^docked at attempt .*, ([0-9.]+) s after the first request:.*/\1/p;
    s/^docked: .* after ([0-9.]+) s$/\1/p' <<<"$request" | tail -n 1)"
  kind=none
  if [ "$status" -ne 0 ]; then
    kind=$(tail -n 1 <<<"$ends")
    grep -q '^retry refused: perception' <<<"$request" && kind=retry_refused
    grep -q '^back-off stopped' <<<"$request" && kind=backoff_stopped
    grep -q '^staging stopped' <<<"$request" && kind=staging_stopped
    grep -q '^perception lost during attempt' <<<"$request" && kind=perception_lost
    grep -q '^station not in view' <<<"$request" && kind=not_in_view
    grep -q '^perception frozen' <<<"$request" && kind=perception_frozen
    [ "$status" -eq 2 ] && kind=no_result
    [ "$status" -eq 4 ] && kind=not_refused
  fi
  echo "failure=${kind:-none}"
  paste -d ' ' <(echo "$ends") <(echo "$durations") | awk 'NF { printf "attempt_%d_end=%s %s\n", NR, $1, $2 }'
  [ ! -s "$out/trajectory.csv" ] ||
    awk -f "$here/summarize.awk" -v events="$out/events.dat" "$out/trajectory.csv"
} >"$out/summary.txt"
