#!/usr/bin/env bash
# Runs a program against a private systemd-journald and prints the program's
# standard output, a line "--- journal ---", then the program's journal
# records (SYSLOG_IDENTIFIER=spdlog) in journalctl's export format. Needs root.
# Everything happens in a private mount namespace: the machine's own journal
# and its /run are never touched.
set -euo pipefail

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/log"
cat >"$work/journald.conf" <<'CONF'
[Journal]
Storage=volatile
ReadKMsg=no
ForwardToSyslog=no
ForwardToWall=no
ForwardToKMsg=no
ForwardToConsole=no
RateLimitBurst=0
CONF

# shellcheck disable=SC2016
unshare --mount --propagation private bash -c '
  set -euo pipefail
  work=$1
  shift
  mount -n -t tmpfs tmpfs /run/systemd
  mkdir /run/systemd/journal
  mount -n --bind "$work/log" /run/log
  mount -n -t tmpfs tmpfs /var/log/journal
  mount -n --bind "$work/journald.conf" /etc/systemd/journald.conf
  # No arguments: journald takes any argument as a journal namespace. Its own
  # messages go to stderr, not to the kernel log that the real journal reads.
  SYSTEMD_LOG_TARGET=console /lib/systemd/systemd-journald 2>"$work/journald.err" &
  journald=$!
  for _ in $(seq 200); do
    [ -S /run/systemd/journal/socket ] && break
    kill -0 "$journald" 2>/dev/null || break
    sleep 0.05
  done
  if [ ! -S /run/systemd/journal/socket ]; then
    echo "private systemd-journald did not start:" >&2
    cat "$work/journald.err" >&2
    exit 1
  fi
  status=0
  "$@" >"$work/program.out" || status=$?
  journalctl --sync
  kill "$journald"
  wait "$journald" || true
  exit "$status"
' harness "$work" "$@" || status=$?

cat "$work/program.out" 2>/dev/null || true
echo "--- journal ---"
journalctl --no-pager -D "$work/log/journal" -o export SYSLOG_IDENTIFIER=spdlog \
  --output-fields=MESSAGE,PRIORITY,SYSLOG_IDENTIFIER,CODE_FILE,CODE_LINE,CODE_FUNC
exit "${status:-0}"
