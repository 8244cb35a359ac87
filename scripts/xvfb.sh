#!/usr/bin/env bash
# on_xvfb WxH COMMAND [ARGS...] runs COMMAND on a virtual X server of its own, WxH at 24 bits, and
# returns COMMAND's exit code. Sourced by the scripts that need a display; run as a program
# (scripts/xvfb.sh WxH COMMAND...) by the build's tests and targets, so that the one place that
# starts an X server is this one.
# The server picks a free display itself and says which once it is ready (-displayfd): several
# start at the same moment when the tests run side by side, and a display number chosen from
# outside (xvfb-run -a looks for a free one) can be taken by another in between. It does not reset
# when its last client goes (-noreset): a program started just as the one before it ended would
# otherwise find no server while it starts again.
on_xvfb() {
  local size=$1; shift
  local dir xpid n="" rc i
  dir=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
  xpid=$!
  on_xvfb_server=$xpid
  for ((i = 0; i < 300; i++)); do  # 30 s at most, for a machine that is busy
    n=$(cat "$dir/display" 2>/dev/null)
    [ -n "$n" ] && break
    kill -0 "$xpid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$n" ]; then
    echo "on_xvfb: the X server did not start: $(tail -3 "$dir/log")" >&2
    kill "$xpid" 2>/dev/null
    rm -rf "$dir"
    return 1
  fi
  DISPLAY=:$n "$@"
  rc=$?
  local gone=
  kill -0 "$xpid" 2>/dev/null || gone=yes
  kill "$xpid" 2>/dev/null
  wait "$xpid" 2>/dev/null
  local status=$?
  # Gone before the command ended, its clients lost it: said, with its last words, so that a
  # failure that follows is understood.
  [ -z "$gone" ] ||
    echo "on_xvfb: the X server on :$n ended while the command ran (status $status): $(tail -5 "$dir/log")" >&2
  on_xvfb_server=  # gone: its number may be another process's by the time the script exits
  rm -rf "$dir"
  return "$rc"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  # Stopped from outside (a test's time out), the server goes too.
  on_xvfb_server=
  trap '[ -n "$on_xvfb_server" ] && kill "$on_xvfb_server" 2>/dev/null' EXIT
  trap 'exit 143' TERM
  trap 'exit 130' INT
  on_xvfb "$@"
fi
